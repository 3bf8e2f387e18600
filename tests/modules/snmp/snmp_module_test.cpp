// The SNMP query module end to end under wine: bidiprobe and the library's exports against
// snmpsimd serving the project's recordings, and against an agent that misbehaves on purpose.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <windows.h>
#include <vyxbidi.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <set>

#include "client.h"
#include "codes.h"
#include "e2e/sim_support.h"
#include "recording.h"
#include "support/library_handle.h"
#include "support/peer_ports.h"
#include "support/text_util.h"
#include "udp_channel.h"

namespace {

using Json = nlohmann::json;
using namespace vyxsnmp;
using simtest::BesideProgram;
using simtest::ThroughCodePage;

const Oid kPrt{1, 3, 6, 1, 2, 1, 43};

using vyxtest::Utf8;
using vyxtest::Wide;

std::string ReadBeside(const std::wstring& name) {
    const HANDLE file = CreateFileW(BesideProgram(name).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
    std::string bytes;
    if (file == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
    }
    CloseHandle(file);
    return bytes;
}

// The fixture's agents: their ports, from the file it writes beside the test programs.
struct Agents {
    int snmpsim = 0;
    bool ipv6 = false;
    int hostile = 0;
};

const Agents& TheAgents() {
    static const Agents agents = [] {
        std::map<std::string, std::string> ports = vyxtest::ReadPeerPorts(L"snmp-agents.txt");
        Agents a;
        a.snmpsim = std::atoi(ports["snmpsim"].c_str());
        a.hostile = std::atoi(ports["hostile"].c_str());
        a.ipv6 = std::atoi(ports["ipv6"].c_str()) != 0;
        return a;
    }();
    return agents;
}

std::wstring Agent(int port) { return L"snmp://127.0.0.1:" + std::to_wstring(port); }

// A recording, and its texts as the module should carry them: decoded in the recording's own
// charset (UTF-8, or Shift_JIS through the system), then through this process's code page.
struct Recording {
    snmptest::Objects objects;
    int charset = 0;

    explicit Recording(const std::string& name) {
        snmptest::ParseRecording(ReadBeside(L"snmp-recordings\\" + Wide(name) + L".snmprec"),
                                 objects);
        charset = static_cast<int>(Number(kPrt.Plus({7, 1, 1, 4, 1, 1})));
    }
    const Value* Find(const Oid& oid) const {
        const auto found = objects.find(oid);
        return found == objects.end() ? nullptr : &found->second;
    }
    std::int64_t Number(const Oid& oid) const {
        const Value* v = Find(oid);
        return v ? v->number : -2;
    }
    std::string Text(const Oid& oid) const {
        const Value* v = Find(oid);
        if (!v) {
            return std::string();
        }
        if (charset != 17) {
            return ThroughCodePage(v->bytes);
        }
        const int n = MultiByteToWideChar(932, 0, v->bytes.data(), static_cast<int>(v->bytes.size()),
                                          nullptr, 0);
        std::wstring wide(n, L'\0');
        MultiByteToWideChar(932, 0, v->bytes.data(), static_cast<int>(v->bytes.size()), wide.data(), n);
        return ThroughCodePage(Utf8(wide));
    }
    // The row numbers of a table column, for the printer (hrDeviceIndex 1).
    std::vector<std::uint32_t> Rows(const Oid& column) const {
        std::vector<std::uint32_t> rows;
        for (const auto& object : objects) {
            if (object.first.IsBelow(column) && object.first.size() == column.size() + 2 &&
                object.first[column.size()] == 1) {
                rows.push_back(object.first[column.size() + 1]);
            }
        }
        return rows;
    }
};

// What the mapping derives from each recording, worked out by hand from its lines.
struct Derived {
    std::vector<std::string> sizes;   // trays' text2
    std::vector<std::string> states;  // trays' text4
    unsigned presence;                // the installables' presence mask
    std::string lowerTray;            // the lower tray's text2
    bool colour;
};

const std::map<std::string, Derived>& DerivedFromRecordings() {
    static const std::map<std::string, Derived> derived = {
        // Tray 2 reports a non-critical alert (low paper), the bypass is empty; everything
        // of the nine options is fitted.
        {"colour-mfp", {{"A4", "A3", "Envelope", "A4"}, {"Ready", "Warning", "Empty", "Ready"}, 0x1FF, "Tray 2", true}},
        // One face-down output and nothing else; a lower tray that is not fitted has no second
        // text once through the library.
        {"mono-laser", {{"A4"}, {"Ready"}, 0x020, "", false}},
        // Colour only by its supplies' descriptions; no input types, so the manual feed
        // ("MP Tray") is known by its name and the lower tray is the next input.
        {"colour-no-colorants", {{"A4", "Envelope", "A5"}, {"Ready", "Empty", "Ready"}, 0x026, "Tray 2", true}},
    };
    return derived;
}

// A tray's media type as the module shows it: the registered keywords these recordings use by
// their labels, any other text as the printer wrote it.
std::string MediaTypeShown(const std::string& text) {
    static const std::map<std::string, std::string> kLabels = {{"stationery", "Plain paper"},
                                                               {"envelope", "Envelope"}};
    const auto found = kLabels.find(text);
    return found == kLabels.end() ? text : found->second;
}

// Every test needs the fixture's agents. The one run that may come without them is the heap
// check of every test program (its own ctest entry, which does not hold this fixture): there
// the tests are skipped when the agents are not up.
class SnmpModule : public ::testing::Test {
  protected:
    void SetUp() override {
        if (TheAgents().snmpsim != 0 && TheAgents().hostile != 0) {
            return;
        }
        if (std::getenv("VYX_HEAP_CHECKING")) {
            GTEST_SKIP() << "the SNMP agents are not running";
        }
        FAIL() << "no snmp-agents.txt beside the test program: the snmp_agents fixture did not run";
    }
};

Json Dump(const std::wstring& printer, const std::wstring& second, simtest::ProbeRun* run = nullptr) {
    const simtest::ProbeRun probe =
        simtest::RunProbe(L"--printer " + printer + L" --second " + second + L" --json dump");
    if (run) {
        *run = probe;
    }
    return Json::parse(probe.out);
}

TEST_F(SnmpModule, BidiprobeReportsWhatEachRecordingHolds) {
    for (const char* name : {"colour-mfp", "mono-laser", "colour-no-colorants"}) {
        SCOPED_TRACE(name);
        const Recording rec(name);
        const Derived& derived = DerivedFromRecordings().at(name);
        simtest::ProbeRun run;
        const Json report = Dump(Agent(TheAgents().snmpsim), L"community=" + Wide(name), &run);

        const Oid input = kPrt.Plus({8, 2, 1});
        const auto inputs = rec.Rows(input.Plus({13}));
        const Json& trays = report["attributes"]["trays"]["records"];
        ASSERT_EQ(trays.size(), inputs.size());
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            SCOPED_TRACE(i);
            const std::uint32_t row = inputs[i];
            EXPECT_EQ(trays[i]["text1"], rec.Text(input.Plus({13, 1, row})));
            EXPECT_EQ(trays[i]["value1"], rec.Number(input.Plus({9, 1, row})));
            EXPECT_EQ(trays[i]["value2"], rec.Number(input.Plus({10, 1, row})));
            EXPECT_EQ(trays[i]["text2"], derived.sizes.at(i));
            EXPECT_EQ(trays[i]["text3"], MediaTypeShown(rec.Text(input.Plus({21, 1, row}))));
            EXPECT_EQ(trays[i]["text4"], derived.states.at(i));
        }

        const Oid supply = kPrt.Plus({11, 1, 1});
        const auto supplies = rec.Rows(supply.Plus({6}));
        const Json& toners = report["attributes"]["toners"]["records"];
        ASSERT_EQ(toners.size(), supplies.size());
        for (std::size_t i = 0; i < supplies.size(); ++i) {
            SCOPED_TRACE(i);
            const std::int64_t level = rec.Number(supply.Plus({9, 1, supplies[i]}));
            const std::int64_t max = rec.Number(supply.Plus({8, 1, supplies[i]}));
            EXPECT_EQ(toners[i]["text1"], rec.Text(supply.Plus({6, 1, supplies[i]})));
            EXPECT_EQ(toners[i]["value1"], level < 0 ? level : max > 0 ? (level * 100 + max / 2) / max : -2);
            EXPECT_EQ(toners[i]["value2"], level);
        }

        EXPECT_EQ(report["attributes"]["installables"]["presence"], derived.presence);
        EXPECT_EQ(report["attributes"]["installables"]["options"][2]["text2"], derived.lowerTray);
        const Json& options = report["colour"]["features"].at(0)["details"]["options"];
        EXPECT_EQ(options.size(), derived.colour ? 2u : 1u);
        EXPECT_EQ(report["colour"]["features"][0]["details"]["selected"]["first"],
                  derived.colour ? "Color" : "Mono");
        EXPECT_EQ(report["templates"]["count"], 0);
        // The MIB reports no e-mail notification: the module's own code, which the probe
        // reports as such and does not count as a failure.
        EXPECT_EQ(report["email"]["calls"][0]["code"], code::kNoEMail);
        EXPECT_EQ(report["email"]["calls"][0]["lacks"], "not reported by this printer");
        EXPECT_EQ(run.exitCode, 0u) << run.err;
    }
}

// A printer whose texts run past their fields, with separators and line breaks inside, and a
// drum listed before its toners (recordings/long-texts.snmprec).
TEST_F(SnmpModule, LongTextsAreCutWhereAReaderExpectsThemToStop) {
    const Json report = Dump(Agent(TheAgents().snmpsim), L"community=long-texts");
    const Json& trays = report["attributes"]["trays"]["records"];
    ASSERT_EQ(trays.size(), 2u);
    EXPECT_EQ(trays[0]["text1"], "Large Capacity Feeder Tray 3");
    EXPECT_EQ(trays[0]["text2"], "A4");
    EXPECT_EQ(trays[0]["text3"], "Plain paper");
    EXPECT_EQ(trays[1]["text1"], "Multi-Purpose Tray; Manual Feed");
    EXPECT_EQ(trays[1]["text3"], "Heavyweight Cardstock/Cover");
    std::vector<std::string> toners;
    for (const Json& toner : report["attributes"]["toners"]["records"]) {
        toners.push_back(toner["text1"]);
    }
    const std::vector<std::string> expected = {
        "Cyan Toner Cartridge ACME DATA", "Magenta Toner Supply Unit", "Black Toner, PN 012R34567",
        "Yellow toner", "Imaging Drum Unit", "Waste Toner Box", "Transferbeltcleaningunitassembl"};
    EXPECT_EQ(toners, expected);
    const Json& options = report["attributes"]["installables"]["options"];
    EXPECT_EQ(options[0]["text2"], "3 outputs: Main Output Bin, Finisher Upper Tray (Sort)");
    EXPECT_EQ(options[4]["text2"], "Saddle Stitch Booklet Finisher with 2/3 Hole Punch Unit");
}

// One handle of the library on the SNMP module, released at the end.
class Handle : public vyxtest::LibraryHandle {
  public:
    Handle() : LibraryHandle(vyxtest::NetworkModuleCaller(L"snmp")) {}

    // Connects and reports how long it took.
    LONG Connect(const std::wstring& printer, const std::wstring& options, DWORD* milliseconds = nullptr) {
        const ULONGLONG start = GetTickCount64();
        const LONG result = VyxBiDi_Connect(handle_, printer.c_str(), options.c_str());
        if (milliseconds) {
            *milliseconds = static_cast<DWORD>(GetTickCount64() - start);
        }
        return result;
    }

    // The trays of a fresh attribute session: the result, and each tray's name and level.
    LONG Trays(std::vector<std::pair<std::string, LONG>>& trays) {
        trays.clear();
        const LONG opened = Attrib_OpenSession(handle_, nullptr, nullptr);
        if (opened != BIDI_OK) {
            return opened;
        }
        const LONG read = ReadTrays(trays);
        Attrib_CloseSession(handle_);
        return read;
    }

    LONG ReadTrays(std::vector<std::pair<std::string, LONG>>& trays) {
        trays.clear();
        TrayRecord* records = reinterpret_cast<TrayRecord*>(0x1);
        LONG count = -1;
        const LONG result = Attrib_GetPaperConsumables(handle_, &records, &count);
        if (result == BIDI_OK) {
            for (LONG i = 0; i < count; ++i) {
                trays.emplace_back(Utf8(records[i].text1), records[i].value2);
            }
            Attrib_FreePaperConsBuffers(handle_, &records);
        } else {
            // A failure hands out nothing: a null record and no count.
            EXPECT_EQ(records, nullptr);
            EXPECT_EQ(count, 0);
        }
        return result;
    }

    std::size_t ColourOptions() {
        if (ClrBiDi_OpenSession(handle_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr) != BIDI_OK) {
            return 0;
        }
        FeatureInfo* info = nullptr;
        const LONG got = ClrBiDi_GetFeatureInfo(handle_, L"ColorMode", &info);
        const std::size_t options = got == BIDI_OK && info ? info->optionCount : 0;
        if (info) {
            ClrBiDi_DeleteFeatureInfo(handle_, &info);
        }
        ClrBiDi_CloseSession(handle_);
        return options;
    }

  private:
};

// Sets a tray's level at the agent with a SetRequest of this module's own codec.
bool SetTrayLevel(std::uint32_t tray, std::int64_t level) {
    Endpoint endpoint{"127.0.0.1", static_cast<std::uint16_t>(TheAgents().snmpsim)};
    LONG code = 0;
    auto channel = UdpChannel::Open(endpoint, code);
    if (!channel) {
        return false;
    }
    ClientSettings settings;
    settings.community = "changing";
    Client client(*channel, settings, static_cast<std::int32_t>(GetCurrentProcessId()));
    Pdu set;
    set.type = tag::kSetRequest;
    set.varBinds = {{kPrt.Plus({8, 2, 1, 10, 1, tray}), Value::Integer(level)}};
    Pdu response;
    return client.Exchange(Version::kV2c, set, response) == ExchangeStatus::kOk &&
           response.errorStatus == 0;
}

TEST_F(SnmpModule, AChangeAtThePrinterShowsAtTheNextSessionOnly) {
    // Each code page's run changes a tray of its own, so that the two may run side by side.
    const std::uint32_t tray = GetACP() == 932 ? 2 : 1;
    const LONG before = 100 + static_cast<LONG>(GetCurrentProcessId() % 100);
    const LONG after = before + 200;
    ASSERT_TRUE(SetTrayLevel(tray, before));
    Handle h;
    ASSERT_EQ(h.initialized(), BIDI_OK);
    // The connection's snapshot answers the first session.
    ASSERT_EQ(h.Connect(Agent(TheAgents().snmpsim), L"community=changing"), BIDI_OK);
    ASSERT_EQ(Attrib_OpenSession(h.get(), nullptr, nullptr), BIDI_OK);
    std::vector<std::pair<std::string, LONG>> trays;
    ASSERT_EQ(h.ReadTrays(trays), BIDI_OK);
    ASSERT_EQ(trays.size(), 2u);
    EXPECT_EQ(trays[tray - 1].second, before);
    ASSERT_TRUE(SetTrayLevel(tray, after));
    // The open session answers from its snapshot: no request per call.
    ASSERT_EQ(h.ReadTrays(trays), BIDI_OK);
    EXPECT_EQ(trays[tray - 1].second, before);
    Attrib_CloseSession(h.get());
    ASSERT_EQ(h.Trays(trays), BIDI_OK);
    EXPECT_EQ(trays[tray - 1].second, after);
}

TEST_F(SnmpModule, TwoHandlesOnTwoPrintersStayApart) {
    Handle mfp;
    Handle mono;
    ASSERT_EQ(mfp.Connect(Agent(TheAgents().snmpsim), L"community=colour-mfp"), BIDI_OK);
    ASSERT_EQ(mono.Connect(Agent(TheAgents().snmpsim), L"community=mono-laser;version=1"), BIDI_OK);
    std::vector<std::pair<std::string, LONG>> trays;
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(mono.Trays(trays), BIDI_OK);
        EXPECT_EQ(trays.size(), 1u);
        EXPECT_EQ(mfp.Trays(trays), BIDI_OK);
        EXPECT_EQ(trays.size(), 4u);
        EXPECT_EQ(mfp.ColourOptions(), 2u);
        EXPECT_EQ(mono.ColourOptions(), 1u);
    }
}

TEST_F(SnmpModule, TheColourModeSelectionStaysInTheContext) {
    Handle h;
    ASSERT_EQ(h.Connect(Agent(TheAgents().snmpsim), L"community=colour-mfp"), BIDI_OK);
    for (int session = 0; session < 2; ++session) {
        ASSERT_EQ(ClrBiDi_OpenSession(h.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), BIDI_OK);
        if (session == 0) {
            EXPECT_EQ(ClrBiDi_SelectOption(h.get(), L"ColorMode", L"Mono"), BIDI_OK);
            EXPECT_EQ(ClrBiDi_SelectOption(h.get(), L"ColorMode", L"Sepia"), 0x2005);
        }
        FeatureInfo* info = nullptr;
        ASSERT_EQ(ClrBiDi_GetFeatureInfo(h.get(), L"ColorMode", &info), BIDI_OK);
        EXPECT_STREQ(info->selectedOption.first, L"Mono");
        ClrBiDi_DeleteFeatureInfo(h.get(), &info);
        ClrBiDi_CloseSession(h.get());
    }
}

TEST_F(SnmpModule, AddressesByNameAndOverIpv6) {
    std::vector<std::wstring> printers = {L"snmp://localhost:" + std::to_wstring(TheAgents().snmpsim),
                                          L"127.0.0.1:" + std::to_wstring(TheAgents().snmpsim)};
    if (TheAgents().ipv6) {
        printers.push_back(L"snmp://[::1]:" + std::to_wstring(TheAgents().snmpsim));
    }
    for (const std::wstring& printer : printers) {
        SCOPED_TRACE(Utf8(printer));
        Handle h;
        ASSERT_EQ(h.Connect(printer, L"community=colour-mfp;timeout=500"), BIDI_OK);
        std::vector<std::pair<std::string, LONG>> trays;
        EXPECT_EQ(h.Trays(trays), BIDI_OK);
        EXPECT_EQ(trays.size(), 4u);
    }
}

// A port on 127.0.0.1 where nothing listens.
int SilentPort() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    int length = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    closesocket(s);
    WSACleanup();
    return ntohs(address.sin_port);
}

TEST_F(SnmpModule, EachFailureGivesItsCodeWithinItsBound) {
    const int hostile = TheAgents().hostile;
    const int simulator = TheAgents().snmpsim;
    const struct {
        const char* name;
        std::wstring printer;
        std::wstring options;
        LONG code;
        DWORD bound;  // the longest the connection may wait, in ms (0: not timed)
    } cases[] = {
        {"nobody listening", Agent(SilentPort()), L"timeout=200;retries=1;version=2c", code::kNoAnswer, 400},
        {"nobody, both versions", Agent(SilentPort()), L"timeout=200;retries=1", code::kNoAnswer, 800},
        {"wrong community", Agent(simulator), L"community=nobody;timeout=200;retries=0", code::kNoAnswer, 400},
        {"silent agent", Agent(hostile), L"community=silent;timeout=300;retries=0;version=2c", code::kNoAnswer, 300},
        {"wrong request ids", Agent(hostile), L"community=wrong-id;timeout=200;retries=1", code::kGarbled, 400},
        {"garbage", Agent(hostile), L"community=garbage;timeout=200;retries=0", code::kGarbled, 200},
        {"truncated answers", Agent(hostile), L"community=truncated;timeout=200;retries=0", code::kGarbled, 200},
        {"an agent that loops", Agent(hostile), L"community=loop;timeout=500", code::kLoop, 0},
        {"an agent that goes back", Agent(hostile), L"community=backwards;timeout=500", code::kLoop, 0},
        {"an endless table", Agent(hostile), L"community=endless;timeout=500", code::kTooLarge, 0},
        {"error status", Agent(hostile), L"community=gen-err;timeout=500", 0x50005, 0},
        {"version 1 agent asked for 2c", Agent(hostile), L"community=v1-only;timeout=200;retries=0;version=2c", code::kNoAnswer, 200},
        {"no printer named", L"", L"", code::kBadPrinterName, 0},
        {"another scheme", L"ipp://127.0.0.1/ipp/print", L"", code::kBadPrinterName, 0},
        {"a bad port", L"snmp://127.0.0.1:70000", L"", code::kBadPrinterName, 0},
        {"a bad option", Agent(simulator), L"colour=yes", code::kBadOptions, 0},
        {"a bad timeout", Agent(simulator), L"timeout=5", code::kBadOptions, 0},
        {"an unknown host", L"snmp://no-such-printer.invalid", L"", code::kHostNotFound, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Handle h;
        ASSERT_EQ(h.initialized(), BIDI_OK);
        DWORD took = 0;
        EXPECT_EQ(h.Connect(c.printer, c.options, &took), c.code);
        if (c.bound != 0) {
            // Never sooner than the timeouts allow. Later only by the machine's own delays: the
            // upper check is generous so that a loaded machine passes, and still catches a wait
            // that is not bounded by the options.
            EXPECT_GE(took + 50, c.bound);
            EXPECT_LE(took, c.bound + 10000);
        }
        // Not connected: the exports hand out nothing.
        std::vector<std::pair<std::string, LONG>> trays;
        EXPECT_EQ(h.Trays(trays), 0x2001);
        EXPECT_EQ(h.ReadTrays(trays), 0x2001);
        EXPECT_EQ(Misc_GetEMailNotification(h.get(), 0), 0x2001);
    }
}

TEST_F(SnmpModule, AVersionOneAgentIsReadAfterTheFallback) {
    Handle h;
    DWORD took = 0;
    // A second for the version 1 answer: a loaded machine can hold the agent's reply for longer
    // than a fraction of that.
    ASSERT_EQ(h.Connect(Agent(TheAgents().hostile), L"community=v1-only;timeout=1000;retries=0", &took), BIDI_OK);
    EXPECT_GE(took + 50, 1000u);  // one unanswered version 2c attempt first
    std::vector<std::pair<std::string, LONG>> trays;
    ASSERT_EQ(h.Trays(trays), BIDI_OK);
    ASSERT_EQ(trays.size(), 1u);
    EXPECT_EQ(trays[0], std::make_pair(std::string("Only tray"), LONG{50}));
}

}  // namespace
