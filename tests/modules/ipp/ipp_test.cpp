// The IPP query module through the library's exports and bidiprobe, against ippeveprinter
// serving the project's printer files and against the hostile printer: what a driver sees
// of each printer, changes at the printer, independent handles, and each failure's code.
#include <windows.h>
#include <wincrypt.h>
#include <winhttp.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <vyxbidi.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "connection.h"
#include "credentials.h"
#include "http_transport.h"
#include "ipp_codec.h"
#include "ipp_mapping.h"
#include "sim_support.h"
#include "trust_store.h"
#include "support/scripted_module.h"
#include "support/library_handle.h"
#include "support/peer_ports.h"
#include "support/text_util.h"

namespace {

using Json = nlohmann::json;
using simtest::ThroughCodePage;

using vyxtest::Utf8;
using vyxtest::Wide;

// The peers' ports (peers.sh writes NAME=PORT lines); each code page has its own printers.
class Peers {
  public:
    Peers() : ports_(vyxtest::ReadPeerPorts(L"ipp-peers\\ports.txt")), running_(!ports_.empty()) {}
    // "colour", "mono" or "live" of this code page; "bad", "closed", "stalled" or "dribble".
    std::string Port(const std::string& name) const {
        const auto found = ports_.find(name);
        if (found != ports_.end()) {
            return found->second;
        }
        return ports_.at(name + "." + std::to_string(GetACP()));
    }
    std::wstring Uri(const std::string& name, const std::string& path = "/ipp/print",
                     const char* scheme = "ipp", const char* host = "127.0.0.1") const {
        return Wide(std::string(scheme) + "://" + host + ":" + Port(name) + path);
    }
    // How many Get-Printer-Attributes that printer has answered so far (from its log).
    int Requests(const std::string& name) const {
        std::ifstream log(Utf8(vyxtest::ProgramDirectory() + L"ipp-peers\\" + Wide(name) + L"-" +
                               std::to_wstring(GetACP()) + L".log"));
        std::stringstream text;
        text << log.rdbuf();
        int count = 0;
        for (std::size_t at = 0;
             (at = text.str().find("Get-Printer-Attributes", at)) != std::string::npos; ++at) {
            ++count;
        }
        return count;
    }

    // peers.sh writes the ports when it starts them and removes them when it stops them.
    bool running() const { return running_; }
    // Whether this code page has the printer `name` (peers.sh starts some only as root).
    bool Has(const std::string& name) const {
        return ports_.count(name + "." + std::to_string(GetACP())) != 0;
    }

  private:
    std::map<std::string, std::string> ports_;
    bool running_ = false;
};

// The tests need the peers of the ctest fixture; a run without them (a program run by hand, or
// the heap check's pass over every program) skips rather than fails.
#define REQUIRE_PEERS(peers)                                                               \
    if (!(peers).running()) {                                                              \
        GTEST_SKIP() << "the IPP test peers are not running (tests/modules/ipp/peers.sh)"; \
    }

// A library handle whose query module is the IPP module (the caller's path ipp\VYXBIDI.dll).
class Handle : public vyxtest::LibraryHandle {
  public:
    Handle() : LibraryHandle(vyxtest::NetworkModuleCaller(L"ipp")) {}

    std::vector<TonerRecord> Toners() const {
        TonerRecord* block = nullptr;
        LONG count = -1;
        const LONG code = Attrib_GetTonerConsumables(handle_, &block, &count);
        std::vector<TonerRecord> out;
        if (code == BIDI_OK && block) {
            out.assign(block, block + count);
        }
        if (block) {
            Attrib_FreeTonerConsBuffers(handle_, &block);
        }
        return out;
    }

    std::string Selected(const wchar_t* feature) const {
        FeatureInfo* info = nullptr;
        std::string selected;
        if (ClrBiDi_GetFeatureInfo(handle_, feature, &info) == BIDI_OK) {
            selected = Utf8(info->selectedOption.first);
        }
        if (info) {
            ClrBiDi_DeleteFeatureInfo(handle_, &info);
        }
        return selected;
    }

  private:
};

// The tests' user and passwords (test-secrets.txt, which peers.sh puts beside the ports).
struct TestSecrets {
    TestSecrets() {
        const auto lines = vyxtest::ReadPeerPorts(L"ipp-peers\\test-secrets.txt");
        user = lines.count("user") ? lines.at("user") : "";
        password = lines.count("password") ? lines.at("password") : "";
        wrong = lines.count("wrong") ? lines.at("wrong") : "";
    }
    std::string user, password, wrong;
};

// The printer's name for its credential and pin, as the module and bidiprobe write it.
vyxipp::Target TargetOf(const std::wstring& uri) {
    vyxipp::Target target;
    vyxipp::ParseTarget(Utf8(uri), target);
    return target;
}

// Forgets the pin of a printer before and after a test, whose certificates peers.sh makes anew
// at each start on ports a later run may draw again.
struct PinCleanup {
    explicit PinCleanup(const std::wstring& uri) : origin(vyxipp::Origin(TargetOf(uri))) {
        vyxserve::ForgetPin(origin);
    }
    ~PinCleanup() { vyxserve::ForgetPin(origin); }
    const std::string origin;
};

// Stores a credential through bidiprobe (its password on standard input) and deletes it at the
// end; nothing bidiprobe says may hold the password.
struct StoredCredential {
    StoredCredential(const std::wstring& uri, const std::string& user, const std::string& password)
        : name(vyxipp::NormalisedUri(TargetOf(uri))) {
        const simtest::ProbeRun run =
            simtest::RunProbe(L"credential set " + uri + L" " + Wide(user), password + "\n");
        EXPECT_EQ(run.exitCode, 0u) << run.err;
        EXPECT_EQ((run.out + run.err).find(password), std::string::npos);
    }
    ~StoredCredential() { vyxserve::DeleteCredential(name); }
    const std::string name;
};

LONG OpenColour(const Handle& h) {
    return ClrBiDi_OpenSession(h.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
}

// A GET to one of ippeveprinter's pages, which change its state (levels, media).
DWORD HttpGet(const std::string& port, const std::wstring& path) {
    HINTERNET session = WinHttpOpen(L"ipp-tests", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                    WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    HINTERNET connection =
        WinHttpConnect(session, L"127.0.0.1", static_cast<INTERNET_PORT>(std::stoi(port)), 0);
    HINTERNET request = WinHttpOpenRequest(connection, L"GET", path.c_str(), nullptr,
                                           WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0);
    DWORD status = 0, size = sizeof status;
    if (WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, nullptr, 0, 0, 0) &&
        WinHttpReceiveResponse(request, nullptr)) {
        WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
    }
    for (HINTERNET h : {request, connection, session}) {
        WinHttpCloseHandle(h);
    }
    return status;
}

// ---- what each printer file says -------------------------------------------------------------

struct FeatureExpected {
    const char* key;
    const char* name;
    std::vector<std::string> options;
    const char* selected;
};
struct TrayExpected {
    const char* text1;
    int value1, value2;
    const char *text2, *text3, *text4;
};
struct TonerExpected {
    const char* text1;
    int value1, value2;
};
struct InstallableExpected {
    const char* name;
    bool present;
    const char* text2;
};
struct TemplateExpected {
    const char* name;
    int tag;
    std::vector<std::pair<std::string, std::string>> items;
};
struct PrinterExpected {
    const char* printer;
    std::vector<FeatureExpected> features;
    std::vector<TrayExpected> trays;
    std::vector<TonerExpected> toners;
    int presence;
    std::vector<InstallableExpected> installables;
    int email;
    std::vector<TemplateExpected> templates;
};

const PrinterExpected kColour = {
    "colour",
    {{"print-color-mode", "Colour mode", {"auto", "color", "monochrome"}, "color"},
     {"print-quality", "Print quality", {"draft", "normal", "high"}, "normal"},
     {"print-rendering-intent",
      "Rendering intent",
      {"auto", "perceptual", "relative", "saturation"},
      "perceptual"},
     {"print-content-optimize",
      "Content optimisation",
      {"auto", "photo", "text", "text-and-graphic"},
      "auto"}},
    {{"Tray 1", 500, 350, "A4", "Plain paper", "Ready"},
     {"Tray 2", 500, 40, "A3", "Letterhead", "Ready, alert"},
     {"Bypass", 100, -3, "Letter", "Glossy photo paper", "Ready"},
     {"Bac inf\xC3\xA9rieur", 1500, -2, "A4", "Card stock", "Broken, critical alert"}},
    // The toners lead; the waste toner box, first at the printer, follows them.
    {{"Black toner", 80, 100},
     {"\xE3\x82\xB7\xE3\x82\xA2\xE3\x83\xB3 \xE3\x83\x88\xE3\x83\x8A\xE3\x83\xBC", 55, 100},
     {"Magenta toner", 10, 100},
     {"Yellow toner", -3, 100},
     {"Waste toner box", 25, 100}},
    0x1FF,
    {{"sorter", true, "4 output bins"},
     {"duplex", true, "Two-sided printing"},
     {"lowerTray", true, "3 paper trays"},
     {"fax", true, "Fax line 1"},
     {"finisher", true, "Booklet finisher"},
     {"faceDownUnit", true, "Face-down output"},
     {"finisherType", true, "Stapler, Hole punch"},
     {"finisherOption", true, "Staple, Punch, Staple top left, Two holes left, Half fold"},
     {"mfpOption", true, "Fax"}},
    0,
    {{"Standard",
      1,
      {{"copies", "1"},
       {"sides", "one-sided"},
       {"print-color-mode", "color"},
       {"media-col.media-size-name", "iso_a4_210x297mm"},
       {"media-col.media-source", "tray-1"}}},
     {"Brochure",
      2,
      {{"sides", "two-sided-short-edge"},
       {"finishings", "staple,fold-half"},
       {"print-quality", "high"}}},
     {"\xC3\x89\x63onomie",
      3,
      {{"print-color-mode", "monochrome"}, {"print-quality", "draft"}, {"number-up", "2"}}}},
};

const PrinterExpected kMono = {
    "mono",
    {{"print-color-mode", "Colour mode", {"monochrome"}, "monochrome"},
     {"print-quality", "Print quality", {"draft", "normal"}, "normal"}},
    {{"Main tray", -2, -2, "A4", "Plain paper", "Unknown"},
     {"Manual feed", -2, -2, "", "", "Unknown"}},
    {{"Black toner", 15, 100}},
    0x020,
    // A lower tray that is not fitted gets no second text from the library.
    {{"sorter", false, "Sorter"},
     {"duplex", false, "Duplex unit"},
     {"lowerTray", false, ""},
     {"fax", false, "Fax"},
     {"finisher", false, "Finisher"},
     {"faceDownUnit", true, "Face-down output"},
     {"finisherType", false, "Finisher type"},
     {"finisherOption", false, "Finisher options"},
     {"mfpOption", false, "MFP option"}},
    0x200B,  // no mailto among notify-schemes-supported
    {},
};

// The photo inkjet: empty supply descriptions, keyword tray names, an automatic-selection
// pseudo-tray under the main tray's name, vendor tray types, sizes named by media-ready, a
// tray's own media keys, a roll, an empty printer-finisher, `auto` among the output bins.
const PrinterExpected kInkjet = {
    "inkjet",
    {{"print-color-mode", "Colour mode", {"auto", "color", "monochrome"}, "auto"},
     {"print-quality", "Print quality", {"normal", "high"}, "normal"}},
    {{"Main tray", 150, -3, "A4", "Plain paper", "Ready"},
     {"Tray 2", 100, -3, "4 x 6 in", "Glossy photo paper", "Ready"},
     {"Rear tray", 1, -2, "#10 envelope", "Envelope", "Ready"},
     {"Disc tray", 1, -2, "120 x 120 mm", "Printable disc", "Ready"},
     {"Main roll", -2, -2, "102 mm roll", "Glossy photo paper", "Ready"}},
    {{"black ink", 60, 100}, {"tri-color ink", 35, 100}, {"Maintenance box", 30, 100}},
    0x004,
    {{"sorter", false, "Sorter"},
     {"duplex", false, "Duplex unit"},
     {"lowerTray", true, "2 paper trays"},
     {"fax", false, "Fax"},
     {"finisher", false, "Finisher"},
     {"faceDownUnit", false, "Face-down unit"},
     {"finisherType", false, "Finisher type"},
     {"finisherOption", false, "Finisher options"},
     {"mfpOption", false, "MFP option"}},
    0x200B,
    {},
};

// The older colour laser: output-mode for its colour mode, a maintenance kit and a drum before
// the toners, supplies named by colour and type, a vendor tray type with its own media keys,
// finishings without a finisher unit.
const PrinterExpected kOlderLaser = {
    "older-laser",
    {{"output-mode", "Colour mode", {"auto", "color", "monochrome"}, "color"},
     {"print-quality", "Print quality", {"draft", "normal", "high"}, "normal"}},
    {{"Tray 1", 500, 200, "Letter", "Letterhead", "Ready"},
     {"Lower cassette", 500, -3, "A4", "Recycled paper", "Ready"},
     {"Manual feed", 100, 0, "Executive", "Card stock", "Ready"}},
    {{"Black toner", 50, 100},
     {"Cyan toner", 40, 100},
     {"Magenta toner", 30, 100},
     {"Yellow toner", 20, 100},
     {"Maintenance kit", 90, 100},
     {"Imaging drum", 75, 100}},
    0x0F7,
    {{"sorter", true, "2 output bins"},
     {"duplex", true, "Two-sided printing"},
     {"lowerTray", true, "2 paper trays"},
     {"fax", false, "Fax"},
     {"finisher", true, "Finisher"},
     {"faceDownUnit", true, "Face-down output"},
     {"finisherType", true, "Staple, Trim"},
     {"finisherOption", true, "Staple top left, Trim after pages"},
     {"mfpOption", false, "MFP option"}},
    0,
    {},
};

// The office laser as one real printer answers: its toners (marker-types `toner-cartridge`)
// before the maintenance kit it lists between them, and three output bins where its output
// trays hold a fourth for the automatic choice.
const PrinterExpected kOfficeLaser = {
    "office-laser",
    {{"print-color-mode", "Colour mode", {"auto", "color", "monochrome"}, "auto"},
     {"print-quality", "Print quality", {"normal"}, "normal"}},
    {{"Tray 1", -2, -2, "A4", "Plain paper", "Unknown"},
     {"Tray 2", -2, -2, "Letter", "Plain paper", "Unknown"},
     {"Manual feed", -2, -2, "", "", "Unknown"}},
    {{"Black Cartridge", 70, 100},
     {"Cyan Cartridge", 60, 100},
     {"Magenta Cartridge", 50, 100},
     {"Yellow Cartridge", 40, 100},
     {"Maintenance Kit", 85, 100}},
    0x027,
    {{"sorter", true, "3 output bins"},
     {"duplex", true, "Two-sided printing"},
     {"lowerTray", true, "2 paper trays"},
     {"fax", false, "Fax"},
     {"finisher", false, "Finisher"},
     {"faceDownUnit", true, "Face-down output"},
     {"finisherType", false, "Finisher type"},
     {"finisherOption", false, "Finisher options"},
     {"mfpOption", false, "MFP option"}},
    0x200B,
    {},
};

void ExpectReport(const Json& report, const PrinterExpected& p) {
    const Json& features = report.at("colour").at("features");
    ASSERT_EQ(features.size(), p.features.size());
    for (std::size_t i = 0; i < p.features.size(); ++i) {
        SCOPED_TRACE(p.features.at(i).key);
        EXPECT_EQ(features.at(i).at("first"), p.features.at(i).key);
        EXPECT_EQ(features.at(i).at("second"), p.features.at(i).name);
        std::vector<std::string> options;
        for (const Json& o : features.at(i).at("details").at("options")) {
            options.push_back(o.at("first"));
        }
        EXPECT_EQ(options, p.features.at(i).options);
        EXPECT_EQ(features.at(i).at("details").at("selected").at("first"),
                  p.features.at(i).selected);
    }
    const Json& trays = report.at("attributes").at("trays");
    ASSERT_EQ(trays.at("count"), p.trays.size());
    for (std::size_t i = 0; i < p.trays.size(); ++i) {
        SCOPED_TRACE(p.trays[i].text1);
        const Json& t = trays.at("records").at(i);
        EXPECT_EQ(t.at("text1"), ThroughCodePage(p.trays[i].text1));
        EXPECT_EQ(t.at("value1"), p.trays[i].value1);
        EXPECT_EQ(t.at("value2"), p.trays[i].value2);
        EXPECT_EQ(t.at("text2"), p.trays[i].text2);
        EXPECT_EQ(t.at("text3"), p.trays[i].text3);
        EXPECT_EQ(t.at("text4"), p.trays[i].text4);
    }
    const Json& toners = report.at("attributes").at("toners");
    ASSERT_EQ(toners.at("count"), p.toners.size());
    for (std::size_t i = 0; i < p.toners.size(); ++i) {
        SCOPED_TRACE(p.toners[i].text1);
        EXPECT_EQ(toners.at("records").at(i).at("text1"), ThroughCodePage(p.toners[i].text1));
        EXPECT_EQ(toners.at("records").at(i).at("value1"), p.toners[i].value1);
        EXPECT_EQ(toners.at("records").at(i).at("value2"), p.toners[i].value2);
    }
    const Json& installables = report.at("attributes").at("installables");
    EXPECT_EQ(installables.at("presence"), p.presence);
    for (std::size_t i = 0; i < p.installables.size(); ++i) {
        SCOPED_TRACE(p.installables[i].name);
        const Json& o = installables.at("options").at(i);
        EXPECT_EQ(o.at("name"), p.installables[i].name);
        EXPECT_EQ(o.at("present"), p.installables[i].present);
        EXPECT_EQ(o.at("text1"), p.installables[i].present ? "Installed" : "Not installed");
        EXPECT_EQ(o.at("text2"), p.installables[i].text2);
    }
    EXPECT_EQ(report.at("email").at("calls")[0].at("code"), p.email);
    const Json& templates = report.at("templates");
    ASSERT_EQ(templates.at("count"), p.templates.size());
    for (std::size_t i = 0; i < p.templates.size(); ++i) {
        SCOPED_TRACE(p.templates[i].tag);
        EXPECT_EQ(templates.at("templates").at(i).at("name"), ThroughCodePage(p.templates[i].name));
        EXPECT_EQ(templates.at("templates").at(i).at("tag"), p.templates[i].tag);
        std::vector<std::pair<std::string, std::string>> items;
        for (const Json& item : templates.at("templates").at(i).at("items")) {
            items.emplace_back(item.at("key"), item.at("value"));
        }
        EXPECT_EQ(items, p.templates[i].items);
    }
}

// ---- the tests -------------------------------------------------------------------------------

TEST(IppModule, ProbeShowsWhatEachPrinterFileSaysInOneRequest) {
    const Peers peers;
    REQUIRE_PEERS(peers);
    for (const PrinterExpected* p : {&kColour, &kMono, &kInkjet, &kOlderLaser, &kOfficeLaser}) {
        SCOPED_TRACE(p->printer);
        const int before = peers.Requests(p->printer);
        const simtest::ProbeRun run =
            simtest::RunProbe(L"--json --printer " + peers.Uri(p->printer) + L" dump");
        // A printer without e-mail notification lacks it; that fails nothing.
        EXPECT_EQ(run.exitCode, 0u) << run.err;
        const Json report = Json::parse(run.out, nullptr, false);
        ASSERT_FALSE(report.is_discarded()) << run.out;
        ASSERT_EQ(report.at("open").at(1).at("code"), 0) << run.err;
        ExpectReport(report, *p);
        // The connection's snapshot serves the first session of each family.
        EXPECT_EQ(peers.Requests(p->printer) - before, 1);
    }
}

// mailto covers every event: the widest value the pointer-sized argument carries answers 0.
TEST(IppModule, MailtoCoversEveryBitOfTheValue) {
    const Peers peers;
    REQUIRE_PEERS(peers);
    Handle h;
    ASSERT_EQ(VyxBiDi_Connect(h.get(), peers.Uri("colour").c_str(), nullptr), BIDI_OK);
    EXPECT_EQ(Misc_GetEMailNotification(h.get(), reinterpret_cast<void*>(~std::uintptr_t{0})),
              BIDI_OK);
}

TEST(IppModule, AnOlderPrinterTakesItsColourModeThroughOutputMode) {
    const Peers peers;
    REQUIRE_PEERS(peers);
    Handle h;
    ASSERT_EQ(VyxBiDi_Connect(h.get(), peers.Uri("older-laser").c_str(), nullptr), BIDI_OK);
    ASSERT_EQ(OpenColour(h), BIDI_OK);
    ASSERT_EQ(ClrBiDi_SelectOption(h.get(), L"output-mode", L"monochrome"), BIDI_OK);
    EXPECT_EQ(h.Selected(L"output-mode"), "monochrome");
}

TEST(IppModule, OverTlsWithTheSelfSignedCertificateAccepted) {
    const Peers peers;
    REQUIRE_PEERS(peers);
    const std::wstring uri = peers.Uri("colour", "/ipp/print", "ipps", "localhost");
    const PinCleanup pin(uri);
    for (const wchar_t* second : {L"cert=any", static_cast<const wchar_t*>(nullptr)}) {
        SCOPED_TRACE(second ? "cert=any" : "cert=auto, trusted on first use");
        Handle h;
        EXPECT_EQ(VyxBiDi_Connect(h.get(), uri.c_str(), L"cert=check"), 0x2105);
        ASSERT_EQ(VyxBiDi_Connect(h.get(), uri.c_str(), second), BIDI_OK);
        ASSERT_EQ(Attrib_OpenSession(h.get(), nullptr, nullptr), BIDI_OK);
        const std::vector<TonerRecord> toners = h.Toners();
        ASSERT_EQ(toners.size(), kColour.toners.size());
        EXPECT_EQ(toners[0].value1, 80);  // the black toner
    }
}

TEST(IppModule, ALevelChangedAtThePrinterShowsAtTheNextSession) {
    const Peers peers;
    REQUIRE_PEERS(peers);
    Handle h;
    auto setLevels = [&](const std::vector<int>& levels) {
        std::wstring query = L"/supplies?";
        for (std::size_t i = 0; i < levels.size(); ++i) {
            query += (i ? L"&supply" : L"supply") + std::to_wstring(i) + L"=" +
                     std::to_wstring(levels[i]);
        }
        ASSERT_EQ(HttpGet(peers.Port("live"), query), 200u);
    };
    auto levelsSeen = [&] {
        std::vector<int> levels;
        for (const TonerRecord& t : h.Toners()) {
            levels.push_back(t.value1);
        }
        return levels;
    };
    // The printer's first supply, the waste toner box, is listed after the toners.
    setLevels({30, 60, 50, 40, 20});
    // The first session answers from the snapshot taken at connect.
    ASSERT_EQ(VyxBiDi_Connect(h.get(), peers.Uri("live").c_str(), nullptr), BIDI_OK);
    ASSERT_EQ(Attrib_OpenSession(h.get(), nullptr, nullptr), BIDI_OK);
    EXPECT_EQ(levelsSeen(), (std::vector<int>{60, 50, 40, 20, 30}));
    setLevels({31, 59, 0, 100, 7});
    EXPECT_EQ(levelsSeen(), (std::vector<int>{60, 50, 40, 20, 30}));  // the session's snapshot
    ASSERT_EQ(Attrib_CloseSession(h.get()), BIDI_OK);
    ASSERT_EQ(Attrib_OpenSession(h.get(), nullptr, nullptr), BIDI_OK);
    EXPECT_EQ(levelsSeen(), (std::vector<int>{59, 0, 100, 7, 31}));
}

TEST(IppModule, HandlesOnTwoPrintersStayIndependent) {
    const Peers peers;
    REQUIRE_PEERS(peers);
    Handle colour, mono;
    ASSERT_EQ(VyxBiDi_Connect(colour.get(), peers.Uri("colour").c_str(), nullptr), BIDI_OK);
    ASSERT_EQ(VyxBiDi_Connect(mono.get(), peers.Uri("mono").c_str(), nullptr), BIDI_OK);
    ASSERT_EQ(Attrib_OpenSession(mono.get(), nullptr, nullptr), BIDI_OK);
    ASSERT_EQ(Attrib_OpenSession(colour.get(), nullptr, nullptr), BIDI_OK);
    EXPECT_EQ(mono.Toners().size(), 1u);
    EXPECT_EQ(colour.Toners().size(), 5u);
    ASSERT_EQ(OpenColour(colour), BIDI_OK);
    ASSERT_EQ(ClrBiDi_SelectOption(colour.get(), L"print-quality", L"high"), BIDI_OK);
    ASSERT_EQ(VyxBiDi_Disconnect(colour.get()), BIDI_OK);
    EXPECT_EQ(colour.Toners().size(), 0u);
    EXPECT_EQ(mono.Toners().size(), 1u);
    ASSERT_EQ(OpenColour(mono), BIDI_OK);
    EXPECT_EQ(mono.Selected(L"print-quality"), "normal");
}

TEST(IppModule, ASelectionThePrinterCannotTakeIsKeptForTheContext) {
    const Peers peers;
    REQUIRE_PEERS(peers);
    Handle h;
    ASSERT_EQ(VyxBiDi_Connect(h.get(), peers.Uri("colour").c_str(), nullptr), BIDI_OK);
    ASSERT_EQ(OpenColour(h), BIDI_OK);
    EXPECT_EQ(ClrBiDi_SelectOption(h.get(), L"print-quality", L"best"), 0x2005);
    ASSERT_EQ(ClrBiDi_SelectOption(h.get(), L"print-quality", L"high"), BIDI_OK);
    ASSERT_EQ(ClrBiDi_CloseSession(h.get()), BIDI_OK);
    ASSERT_EQ(OpenColour(h), BIDI_OK);
    EXPECT_EQ(h.Selected(L"print-quality"), "high");

    Handle other;  // the printer itself still has its own default
    ASSERT_EQ(VyxBiDi_Connect(other.get(), peers.Uri("colour").c_str(), nullptr), BIDI_OK);
    ASSERT_EQ(OpenColour(other), BIDI_OK);
    EXPECT_EQ(other.Selected(L"print-quality"), "normal");
}

TEST(IppModule, ASelectionIsSentToAPrinterThatTakesIt) {
    const Peers peers;
    REQUIRE_PEERS(peers);
    const std::wstring uri = peers.Uri("bad", "/settable/" + std::to_string(GetACP()));
    for (const wchar_t* mode : {L"monochrome", L"color"}) {
        SCOPED_TRACE(Utf8(mode));
        Handle setter, reader;
        ASSERT_EQ(VyxBiDi_Connect(setter.get(), uri.c_str(), nullptr), BIDI_OK);
        ASSERT_EQ(OpenColour(setter), BIDI_OK);
        ASSERT_EQ(ClrBiDi_SelectOption(setter.get(), L"print-color-mode", mode), BIDI_OK);
        ASSERT_EQ(VyxBiDi_Connect(reader.get(), uri.c_str(), nullptr), BIDI_OK);
        ASSERT_EQ(OpenColour(reader), BIDI_OK);
        EXPECT_EQ(reader.Selected(L"print-color-mode"), Utf8(mode));
    }
}

TEST(IppModule, APrinterThatRefusesVersion2IsAskedAgainIn1_1) {
    const Peers peers;
    REQUIRE_PEERS(peers);
    Handle h;
    ASSERT_EQ(VyxBiDi_Connect(h.get(), peers.Uri("bad", "/version-1.1").c_str(), nullptr), BIDI_OK);
    ASSERT_EQ(OpenColour(h), BIDI_OK);
    EXPECT_EQ(h.Selected(L"print-color-mode"), "color");
}

// One request's whole life fits in its timeout wherever the printer stalls it: WinHTTP bounds
// each phase on its own, and each wait for a byte within one, so phases add up and a printer
// that trickles its answer is never timed out by them.
TEST(IppModule, ARequestEndsWithinItsTimeoutWhereverThePrinterStallsIt) {
    const Peers peers;
    REQUIRE_PEERS(peers);
    constexpr DWORD kTimeoutMs = 1000;
    const struct {
        const char* what;
        std::wstring uri;
    } cases[] = {
        {"a connection never made", peers.Uri("stalled")},
        {"headers a byte at a time", peers.Uri("dribble")},
        {"a TLS handshake a byte at a time", peers.Uri("dribble", "/ipp/print", "ipps")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Handle h;
        ASSERT_EQ(h.initialized(), BIDI_OK);
        const ULONGLONG start = GetTickCount64();
        EXPECT_EQ(VyxBiDi_Connect(h.get(), c.uri.c_str(), L"timeout=1000"), 0x2104);
        const ULONGLONG took = GetTickCount64() - start;
        EXPECT_GE(took + 50, kTimeoutMs);
        EXPECT_LE(took, kTimeoutMs + 1500);  // wine's and a loaded machine's own delays
    }
}

TEST(IppModule, EachFailureGivesItsCodeInTimeAndTheExportsHandOutNothing) {
    const Peers peers;
    REQUIRE_PEERS(peers);
    struct Case {
        const char* what;
        std::wstring first;
        const wchar_t* second;
        LONG code;
        DWORD withinMs;  // the request's own bound; wine's start and a loaded machine get more
        LONG or_ = 0;    // a second code the case may give
    } cases[] = {
        {"nothing listening", peers.Uri("closed"), nullptr, 0x2103, 5000},
        {"never answers", peers.Uri("bad", "/never"), L"timeout=500", 0x2104, 500},
        {"answers a byte at a time", peers.Uri("bad", "/trickle"), L"timeout=1000", 0x2104, 1000},
        // WinHTTP reads a connection dropped before the reply either way, depending on timing.
        {"connection reset", peers.Uri("bad", "/reset"), nullptr, 0x2103, 5000, 0x2106},
        {"HTTP 404", peers.Uri("bad", "/http-404"), nullptr, 0x30000 + 404, 5000},
        {"HTTP 500", peers.Uri("bad", "/http-500"), nullptr, 0x30000 + 500, 5000},
        {"IPP error status", peers.Uri("bad", "/ipp-error"), nullptr, 0x40406, 5000},
        {"garbage", peers.Uri("bad", "/garbage"), nullptr, 0x2106, 5000},
        {"cut reply", peers.Uri("bad", "/truncated"), nullptr, 0x2106, 5000},
        {"another request's reply", peers.Uri("bad", "/wrong-id"), nullptr, 0x2108, 5000},
        {"reply too large", peers.Uri("bad", "/huge"), nullptr, 0x2107, 5000},
        {"no printer URI", L"http://127.0.0.1/ipp/print", nullptr, 0x2101, 1000},
        {"no connection string", L"", nullptr, 0x2101, 1000},
        {"bad option", peers.Uri("colour"), L"timeout=5s", 0x2102, 1000},
        {"unknown option", peers.Uri("colour"), L"colour=yes", 0x2102, 1000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Handle h;
        ASSERT_EQ(h.initialized(), BIDI_OK);
        const ULONGLONG start = GetTickCount64();
        const LONG code =
            VyxBiDi_Connect(h.get(), c.first.empty() ? nullptr : c.first.c_str(), c.second);
        if (code != c.or_) {
            EXPECT_EQ(code, c.code);
        }
        EXPECT_LT(GetTickCount64() - start, c.withinMs + 3000);

        EXPECT_EQ(Attrib_OpenSession(h.get(), nullptr, nullptr), 0x2001);
        TrayRecord* trays = reinterpret_cast<TrayRecord*>(1);
        LONG count = 7;
        EXPECT_NE(Attrib_GetPaperConsumables(h.get(), &trays, &count), BIDI_OK);
        EXPECT_EQ(trays, nullptr);
        EXPECT_EQ(count, 0);
        TemplateList list{reinterpret_cast<TemplateRecord*>(1), 7};
        EXPECT_EQ(JobTplate_GetNames(h.get(), &list), 0x2001);
        EXPECT_EQ(list.templates, nullptr);
        EXPECT_EQ(list.count, 0);
        EXPECT_EQ(OpenColour(h), 0x2001);
    }
}

// ---- certificates trusted on first use, and passwords -------------------------------------

// The trust printer's key folder shows "one" or "two" (peers.sh makes both); this puts the
// other in place, as an administrator who gives the printer a new key does.
void ReplaceTrustKey() {
    const std::wstring folder =
        vyxtest::ProgramDirectory() + L"ipp-peers\\ssl-trust-" + std::to_wstring(GetACP()) + L"\\";
    auto read = [](const std::wstring& path) {
        std::ifstream file(Utf8(path), std::ios::binary);
        std::stringstream bytes;
        bytes << file.rdbuf();
        return bytes.str();
    };
    const std::wstring next =
        read(folder + L"localhost.crt") == read(folder + L"one.crt") ? L"two" : L"one";
    ASSERT_TRUE(
        CopyFileW((folder + next + L".key").c_str(), (folder + L"localhost.key").c_str(), FALSE));
    ASSERT_TRUE(
        CopyFileW((folder + next + L".crt").c_str(), (folder + L"localhost.crt").c_str(), FALSE));
}

Json Dump(const std::wstring& uri, DWORD exitCode) {
    const simtest::ProbeRun run = simtest::RunProbe(L"--json --printer " + uri + L" dump");
    EXPECT_EQ(run.exitCode, exitCode) << run.err;
    return Json::parse(run.out, nullptr, false);
}

TEST(IppTrust, PinnedOnFirstUseRefusedWhenChangedAcceptedAgainAfterForget) {
    const Peers peers;
    REQUIRE_PEERS(peers);
    const std::wstring uri = peers.Uri("trust", "/ipp/print", "ipps", "localhost");
    const PinCleanup cleanup(uri);
    const Json first = Dump(uri, 0);
    ASSERT_EQ(first.at("open").at(1).at("code"), 0);
    const Json pinned = first.at("trust").at("pinned");
    ASSERT_TRUE(pinned.is_string());
    EXPECT_EQ(pinned.get<std::string>().size(), 64u);
    EXPECT_TRUE(first.at("trust").at("offered").is_null());

    const Json second = Dump(uri, 0);
    EXPECT_EQ(second.at("open").at(1).at("code"), 0);
    EXPECT_EQ(second.at("trust").at("pinned"), pinned);

    ReplaceTrustKey();
    const Json refused = Dump(uri, 1);
    EXPECT_EQ(refused.at("open").at(1).at("code"), 0x210F);
    // What an administrator reads, and the fingerprint it says to compare.
    EXPECT_EQ(refused.at("failure").at("meaning").get<std::string>().rfind(
                  "the certificate changed since it was pinned; compare the fingerprint", 0),
              0u);
    EXPECT_EQ(refused.at("trust").at("pinned"), pinned);
    const Json offered = refused.at("trust").at("offered");
    ASSERT_TRUE(offered.is_string());
    EXPECT_NE(offered, pinned);
    // cert=check never pins: the certificate does not validate at all.
    EXPECT_EQ(Dump(uri + L" --second cert=check", 1).at("open").at(1).at("code"), 0x2105);

    const simtest::ProbeRun forget = simtest::RunProbe(L"trust forget " + uri);
    EXPECT_EQ(forget.exitCode, 0u) << forget.err;
    const Json again = Dump(uri, 0);
    EXPECT_EQ(again.at("open").at(1).at("code"), 0);
    EXPECT_EQ(again.at("trust").at("pinned"), offered);
    EXPECT_TRUE(again.at("trust").at("offered").is_null());
}

// A count the hostile printer's HTTP side answers at PATH.
int HostileCount(const Peers& peers, const std::string& path) {
    HINTERNET session = WinHttpOpen(L"ipp-tests", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                    WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    HINTERNET connection = WinHttpConnect(
        session, L"127.0.0.1", static_cast<INTERNET_PORT>(std::stoi(peers.Port("bad"))), 0);
    HINTERNET request = WinHttpOpenRequest(connection, L"GET", Wide(path).c_str(), nullptr,
                                           WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0);
    char text[16] = {};
    DWORD read = 0;
    if (WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, nullptr, 0, 0, 0) &&
        WinHttpReceiveResponse(request, nullptr)) {
        WinHttpReadData(request, text, sizeof text - 1, &read);
    }
    for (HINTERNET h : {request, connection, session}) {
        WinHttpCloseHandle(h);
    }
    return read ? std::atoi(text) : -1;
}

// How many requests to the hostile printer's PATH carried an Authorization header.
int Authorized(const Peers& peers, const std::string& path) {
    return HostileCount(peers, "/authorized" + path);
}

// A selection that needs a password, at the hostile printer's auth-* cases: taken over TLS with
// the stored credential and seen by the next reader; each refusal its own code, the credential
// sent once at most; never a password over ipp://.
TEST(IppAuthentication, ASelectionThatNeedsAPasswordGetsTheStoredOneOverTlsOnly) {
    const Peers peers;
    REQUIRE_PEERS(peers);
    const TestSecrets secrets;
    ASSERT_FALSE(secrets.password.empty());
    // The printer counts per path for as long as it runs, over every test process.
    const std::string cp = std::to_string(GetACP()) + "-" + std::to_string(GetCurrentProcessId());
    enum Stored { kNone, kRight, kWrong };
    const struct {
        const char* what;
        const char* scheme;
        std::string path;
        Stored stored;
        LONG code;
        int authorized;  // requests that carried the credential
    } cases[] = {
        {"right password", "ipps", "/auth-settable/right-" + cp, kRight, BIDI_OK, 1},
        {"wrong password", "ipps", "/auth-settable/wrong-" + cp, kWrong, 0x210D, 1},
        {"no credential", "ipps", "/auth-settable/none-" + cp, kNone, 0x210C, 0},
        {"over ipp://", "ipp", "/auth-settable/plain-" + cp, kRight, 0x210B, 0},
        {"a 401 that never ends", "ipps", "/auth-never/" + cp, kRight, 0x210D, 1},
        {"Digest only", "ipps", "/auth-digest/" + cp, kRight, 0x210E, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring uri =
            peers.Uri(std::string(c.scheme) == "ipps" ? "tls" : "bad", c.path, c.scheme);
        const PinCleanup pin(uri);
        std::unique_ptr<StoredCredential> credential;
        if (c.stored != kNone) {
            credential = std::make_unique<StoredCredential>(
                uri, secrets.user, c.stored == kRight ? secrets.password : secrets.wrong);
        }
        Handle setter;
        const bool opens = c.path.rfind("/auth-settable", 0) == 0;
        ASSERT_EQ(VyxBiDi_Connect(setter.get(), uri.c_str(), nullptr), opens ? BIDI_OK : c.code);
        if (!opens) {
            EXPECT_EQ(Authorized(peers, c.path), c.authorized);
            continue;
        }
        ASSERT_EQ(OpenColour(setter), BIDI_OK);
        EXPECT_EQ(ClrBiDi_SelectOption(setter.get(), L"print-color-mode", L"monochrome"), c.code);
        EXPECT_EQ(Authorized(peers, c.path), c.authorized);
        if (c.code == BIDI_OK) {
            Handle reader;
            ASSERT_EQ(VyxBiDi_Connect(reader.get(), uri.c_str(), nullptr), BIDI_OK);
            ASSERT_EQ(OpenColour(reader), BIDI_OK);
            EXPECT_EQ(reader.Selected(L"print-color-mode"), "monochrome");
        }
    }
}

// Once the printer has asked for the password, a later request carries it from the start; when
// the certificate it meets then is not the pinned one, the request is cut before it leaves: the
// printer never sees the credential on that connection.
TEST(IppAuthentication, NoCredentialReachesAChangedCertificate) {
    const Peers peers;
    REQUIRE_PEERS(peers);
    const TestSecrets secrets;
    const std::string path = "/auth-settable/changed-" + std::to_string(GetACP()) + "-" +
                             std::to_string(GetCurrentProcessId());
    const std::wstring uri = peers.Uri("tls", path, "ipps");
    const PinCleanup pin(uri);
    const StoredCredential credential(uri, secrets.user, secrets.password);
    Handle h;
    ASSERT_EQ(VyxBiDi_Connect(h.get(), uri.c_str(), nullptr), BIDI_OK);
    ASSERT_EQ(OpenColour(h), BIDI_OK);
    ASSERT_EQ(ClrBiDi_SelectOption(h.get(), L"print-color-mode", L"monochrome"), BIDI_OK);
    ASSERT_EQ(Authorized(peers, path), 1);

    const std::wstring certificate = L"/certificate/" + Wide(peers.Port("tls")) + L"/";
    ASSERT_EQ(HttpGet(peers.Port("bad"), certificate + L"two"), 200u);
    EXPECT_EQ(ClrBiDi_SelectOption(h.get(), L"print-color-mode", L"color"), 0x210F);
    EXPECT_EQ(HttpGet(peers.Port("bad"), certificate + L"one"), 200u);
    EXPECT_EQ(Authorized(peers, path), 1);
    EXPECT_EQ(ClrBiDi_SelectOption(h.get(), L"print-color-mode", L"color"), BIDI_OK);
    EXPECT_EQ(Authorized(peers, path), 2);
}

// ---- a pinned certificate asked for first ----------------------------------------------------

// The certificate the hostile printer's TLS port of this code page shows: `name` from now on,
// "one" again at the end.
class ShownCertificate {
  public:
    ShownCertificate(const Peers& peers, const wchar_t* name) : peers_(peers) { Show(name); }
    ~ShownCertificate() { Show(L"one"); }
    void Show(const wchar_t* name) const {
        ASSERT_EQ(
            HttpGet(peers_.Port("bad"), L"/certificate/" + Wide(peers_.Port("tls")) + L"/" + name),
            200u);
    }

  private:
    const Peers& peers_;
};

// The hostile printer's TLS port and a path of this run's own.
std::wstring HostileTlsUri(const Peers& peers, const std::string& path,
                           const char* host = "127.0.0.1") {
    return peers.Uri(
        "tls", path + "-" + std::to_string(GetACP()) + "-" + std::to_string(GetCurrentProcessId()),
        "ipps", host);
}

LONG ConnectOnce(const std::wstring& uri) {
    Handle h;
    return VyxBiDi_Connect(h.get(), uri.c_str(), nullptr);
}

// A pinned printer costs one TLS connection: its certificate is taken without WinHTTP's check
// failing it first. A changed one is still refused and noted as offered, the pin kept.
TEST(IppTrust, APinnedCertificateCostsOneConnectionAndAChangedOneIsStillRefused) {
    const Peers peers;
    REQUIRE_PEERS(peers);
    const std::wstring uri = HostileTlsUri(peers, "/settable/pinned");
    const PinCleanup pin(uri);
    const ShownCertificate shown(peers, L"one");
    ASSERT_EQ(ConnectOnce(uri), BIDI_OK);  // trusted on first use
    const std::string pinned = vyxserve::ReadPin(pin.origin);
    ASSERT_EQ(pinned.size(), 64u);

    const std::string connections = "/connections/" + peers.Port("tls");
    const int before = HostileCount(peers, connections);
    EXPECT_EQ(ConnectOnce(uri), BIDI_OK);
    EXPECT_EQ(HostileCount(peers, connections) - before, 1);

    shown.Show(L"two");
    EXPECT_EQ(ConnectOnce(uri), 0x210F);
    EXPECT_EQ(vyxserve::ReadPin(pin.origin), pinned);
    const std::string offered = vyxserve::ReadOffered(pin.origin);
    EXPECT_EQ(offered.size(), 64u);
    EXPECT_NE(offered, pinned);
}

// A CA certificate among the current user's trusted roots for the object's life, written through
// at once, so that another process's WinHTTP trusts what the CA signed.
class TrustedRoot {
  public:
    explicit TrustedRoot(const std::wstring& pemFile) {
        std::ifstream file(Utf8(pemFile));
        std::stringstream pem;
        pem << file.rdbuf();
        BYTE der[4096];
        DWORD size = sizeof der;
        roots_ =
            CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
        added_ = roots_ &&
                 CryptStringToBinaryA(pem.str().c_str(), 0, CRYPT_STRING_BASE64HEADER, der, &size,
                                      nullptr, nullptr) &&
                 CertAddEncodedCertificateToStore(roots_, X509_ASN_ENCODING, der, size,
                                                  CERT_STORE_ADD_REPLACE_EXISTING, &ca_) &&
                 CertControlStore(roots_, 0, CERT_STORE_CTRL_COMMIT, nullptr);
    }
    ~TrustedRoot() {
        if (ca_) {
            CertDeleteCertificateFromStore(ca_);
            CertControlStore(roots_, 0, CERT_STORE_CTRL_COMMIT, nullptr);
        }
        if (roots_) {
            CertCloseStore(roots_, 0);
        }
    }
    TrustedRoot(const TrustedRoot&) = delete;
    TrustedRoot& operator=(const TrustedRoot&) = delete;
    bool added() const { return added_; }

  private:
    HCERTSTORE roots_ = nullptr;
    PCCERT_CONTEXT ca_ = nullptr;
    bool added_ = false;
};

// A certificate that validates is taken and pinned in place of the pin, however the pinned one
// was asked for first (the test's CA trusted for the while; the dump in bidiprobe, a process of
// its own, whose WinHTTP reads the roots afresh).
TEST(IppTrust, ACertificateThatValidatesReplacesThePin) {
    const Peers peers;
    REQUIRE_PEERS(peers);
    // By name: WinHTTP under wine matches a certificate's names, not its addresses.
    const std::wstring uri = HostileTlsUri(peers, "/settable/validates", "localhost");
    const PinCleanup pin(uri);
    const ShownCertificate shown(peers, L"one");
    ASSERT_EQ(ConnectOnce(uri), BIDI_OK);
    const std::string selfSigned = vyxserve::ReadPin(pin.origin);
    ASSERT_EQ(selfSigned.size(), 64u);

    const TrustedRoot ca(vyxtest::ProgramDirectory() + L"ipp-peers\\ssl-hostile\\ca.crt");
    ASSERT_TRUE(ca.added());
    shown.Show(L"three");
    const simtest::ProbeRun run = simtest::RunProbe(L"--json --printer " + uri + L" dump");
    const Json report = Json::parse(run.out, nullptr, false);
    ASSERT_FALSE(report.is_discarded()) << run.out << run.err;
    EXPECT_EQ(report.at("open").at(1).at("code"), 0) << run.err;
    const std::string pinned = vyxserve::ReadPin(pin.origin);
    EXPECT_EQ(pinned.size(), 64u);
    EXPECT_NE(pinned, selfSigned);
    EXPECT_EQ(vyxserve::ReadOffered(pin.origin), "");
}

// As NoCredentialReachesAChangedCertificate, on a connection that began with the certificate
// pinned already, whose requests take the pinned certificate before WinHTTP's check: the
// credential reaches it, and no other one.
TEST(IppAuthentication, NoCredentialReachesAChangedCertificateOfAPrinterPinnedBefore) {
    const Peers peers;
    REQUIRE_PEERS(peers);
    const TestSecrets secrets;
    const std::wstring uri = HostileTlsUri(peers, "/auth-settable/pinned");
    const std::string path = Utf8(uri.substr(uri.find(L"/auth-settable")));
    const PinCleanup pin(uri);
    const ShownCertificate shown(peers, L"one");
    const StoredCredential credential(uri, secrets.user, secrets.password);
    ASSERT_EQ(ConnectOnce(uri), BIDI_OK);  // pinned
    Handle h;
    ASSERT_EQ(VyxBiDi_Connect(h.get(), uri.c_str(), nullptr), BIDI_OK);
    ASSERT_EQ(OpenColour(h), BIDI_OK);
    ASSERT_EQ(ClrBiDi_SelectOption(h.get(), L"print-color-mode", L"monochrome"), BIDI_OK);
    ASSERT_EQ(Authorized(peers, path), 1);

    shown.Show(L"two");
    EXPECT_EQ(ClrBiDi_SelectOption(h.get(), L"print-color-mode", L"color"), 0x210F);
    EXPECT_EQ(Authorized(peers, path), 1);
}

// ippeveprinter's own Basic authentication (PAM, test-secrets.txt), through the module's
// transport: its Set-Printer-Attributes wants a password and then answers 0x0501. The module
// sends it only to a printer that lists it, which ippeveprinter does not, so the transport is
// driven here directly.
TEST(IppAuthentication, IppeveprinterTakesTheStoredCredentialOverTlsOnly) {
    const Peers peers;
    REQUIRE_PEERS(peers);
    if (!peers.Has("auth")) {
        GTEST_SKIP() << "no password printer: peers.sh starts it only where /etc/pam.d is "
                        "writable (as root), for its PAM service";
    }
    const TestSecrets secrets;
    const struct {
        const char* what;
        const char* scheme;
        const std::string* password;
        std::int32_t code;
    } cases[] = {
        {"right password", "ipps", &secrets.password, 0},
        {"wrong password", "ipps", &secrets.wrong, 0x210D},
        {"no credential", "ipps", nullptr, 0x210C},
        {"over ipp://", "ipp", &secrets.password, 0x210B},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring uri = peers.Uri("auth", "/ipp/print", c.scheme, "localhost");
        const PinCleanup pin(uri);
        std::unique_ptr<StoredCredential> credential;
        if (c.password) {
            credential = std::make_unique<StoredCredential>(uri, secrets.user, *c.password);
        }
        const vyxipp::Target target = TargetOf(uri);
        vyxipp::Options options;
        auto transport = vyxipp::MakeHttpTransport(target, options);
        vyxipp::Message request;
        ASSERT_TRUE(vyxipp::SetDefaultRequest(target.uri, secrets.user, "print-color-mode",
                                              "monochrome", 1, request));
        std::string bytes, reply;
        ASSERT_TRUE(vyxipp::Encode(request, bytes));
        EXPECT_EQ(transport->Exchange(bytes, reply), c.code);
        if (c.code == 0) {
            vyxipp::Message answer;
            ASSERT_EQ(vyxipp::Decode(reinterpret_cast<const std::uint8_t*>(reply.data()),
                                     reply.size(), vyxipp::DecodeLimits(), answer),
                      vyxipp::DecodeStatus::kOk);
            EXPECT_EQ(answer.code, 0x0501);  // server-error-operation-not-supported, once in
        }
    }
}

}  // namespace
