// bidiprobe's administrator commands end to end: credential set|show|delete through standard
// input, trust show|forget against pins the test writes, the pins in a report against an
// ipps:// printer, exit statuses and usage errors. Every run's output is searched for every
// test password, none of which may ever appear there; no assertion prints one.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <wincred.h>

#include <cstring>
#include <string>
#include <vector>

#include "credentials.h"
#include "sim_support.h"
#include "support/store_cleanup.h"
#include "trust_store.h"

namespace {

using Json = nlohmann::json;
using simtest::BesideProgram;
using simtest::ProbeRun;

// Every password the tests give, in UTF-8.
const char kAuth[] = "Auth-Secret-4711";
const char kPriv[] = "Priv-Secret-0815";
const char kCommunity[] = "Community-Secret-42";
const char kIppPassword[] = "Ipp-Secret-9001";
const char kOther[] = "Other-Secret-1234";
// "pässwörd-Ä" and "秘密の鍵🔑"
const char kNonAsciiAuth[] = "p\xC3\xA4ssw\xC3\xB6rd-\xC3\x84";
const char kNonAsciiPriv[] = "\xE7\xA7\x98\xE5\xAF\x86\xE3\x81\xAE\xE9\x8D\xB5\xF0\x9F\x94\x91";
const char* const kPasswords[] = {kAuth, kPriv, kCommunity, kIppPassword, kOther, kNonAsciiAuth,
                                  kNonAsciiPriv};

// A printer of this test and process alone: "admin-<pid>-<name>.test".
std::string Host(const char* name) {
    return "admin-" + std::to_string(GetCurrentProcessId()) + "-" + name + ".test";
}

std::wstring Wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

bool Holds(const vyxserve::Secret& secret, const std::string& utf8) {
    return std::string(reinterpret_cast<const char*>(secret.data()), secret.size()) == utf8;
}

// bidiprobe with these arguments and this standard input, held to never showing a password.
ProbeRun Probe(const std::wstring& arguments, const std::string& input = "") {
    const ProbeRun run = simtest::RunProbe(arguments, input);
    for (const char* password : kPasswords) {
        EXPECT_EQ(run.out.find(password), std::string::npos)
            << "a test password in the standard output of: bidiprobe " << testing::PrintToString(arguments);
        EXPECT_EQ(run.err.find(password), std::string::npos)
            << "a test password in the standard error of: bidiprobe " << testing::PrintToString(arguments);
    }
    return run;
}

Json Parsed(const ProbeRun& run) {
    Json parsed = Json::parse(run.out, nullptr, false);
    EXPECT_FALSE(parsed.is_discarded()) << run.out;
    return parsed;
}

TEST(ProbeCredential, AnSnmpV3UserIsSetShownAndDeleted) {
    const std::string uri = "snmp://" + Host("v3") + ":161";
    const CredentialCleanup cleanup{uri};
    // Written as the user might: upper-case scheme and host, no port.
    const std::wstring given = L"SNMP://" + Wide(Host("V3"));
    const ProbeRun set = Probe(L"credential set " + given + L" operator",
                               std::string(kAuth) + "\n" + kPriv + "\n");
    ASSERT_EQ(set.exitCode, 0u) << set.err;
    EXPECT_EQ(set.err, "");
    EXPECT_EQ(set.out, "stored    VYXBIDI:" + uri + "\nuser      operator\n" +
                           "secrets   authentication, privacy\n");

    vyxserve::StoredCredential stored;
    ASSERT_EQ(vyxserve::ReadCredential(uri, stored), vyxserve::CredentialLookup::kFound);
    EXPECT_EQ(stored.user, L"operator");
    ASSERT_EQ(stored.secrets.size(), 2u);
    EXPECT_TRUE(Holds(stored.secrets[0], kAuth)) << "the authentication password differs";
    EXPECT_TRUE(Holds(stored.secrets[1], kPriv)) << "the privacy password differs";

    const ProbeRun show = Probe(L"credential show " + Wide(uri));
    ASSERT_EQ(show.exitCode, 0u) << show.err;
    EXPECT_EQ(show.out, "target    VYXBIDI:" + uri + "\nuser      operator\n" +
                            "secrets   authentication, privacy\n");
    const ProbeRun json = Probe(L"--json credential show " + given);
    ASSERT_EQ(json.exitCode, 0u) << json.err;
    EXPECT_EQ(Parsed(json), Json::parse(R"({"command": "credential show", "uri": ")" + uri +
                                        R"(", "target": "VYXBIDI:)" + uri +
                                        R"(", "stored": true, "user": "operator",
                                            "secrets": ["authentication", "privacy"]})"));

    const ProbeRun deleted = Probe(L"credential delete " + given);
    ASSERT_EQ(deleted.exitCode, 0u) << deleted.err;
    EXPECT_EQ(deleted.out, "deleted   VYXBIDI:" + uri + "\n");
    EXPECT_EQ(vyxserve::ReadCredential(uri, stored), vyxserve::CredentialLookup::kNone);

    const ProbeRun none = Probe(L"credential show " + given);
    EXPECT_EQ(none.exitCode, 0u);
    EXPECT_EQ(none.out, "target    VYXBIDI:" + uri + "\nno credential stored\n");
    const ProbeRun noneJson = Probe(L"credential show --json " + given);
    EXPECT_EQ(noneJson.exitCode, 0u);
    const Json nothing = Parsed(noneJson);
    EXPECT_EQ(nothing["stored"], false);
    EXPECT_TRUE(nothing["user"].is_null());
    EXPECT_EQ(nothing["secrets"], Json::array());

    const ProbeRun again = Probe(L"credential delete " + given);
    EXPECT_EQ(again.exitCode, 1u);
    EXPECT_EQ(again.out, "");
    EXPECT_EQ(again.err, "bidiprobe: no credential VYXBIDI:" + uri + " to delete\n");
    const ProbeRun againJson = Probe(L"--json credential delete " + given);
    EXPECT_EQ(againJson.exitCode, 1u);
    EXPECT_EQ(Parsed(againJson)["deleted"], false);
    EXPECT_TRUE(Parsed(againJson)["failure"]["message"].is_string());
}

// What standard input may look like: line ends of either kind, no last line end, empty lines
// at the end, a byte-order mark; the privacy password optional.
TEST(ProbeCredential, StandardInputIsReadLineByLine) {
    const std::string uri = "snmp://" + Host("lines") + ":161";
    const CredentialCleanup cleanup{uri};
    const std::string auth = kAuth;
    const std::string priv = kPriv;
    const struct {
        const char* what;
        std::string input;
        std::vector<std::string> secrets;
        const char* names;
    } cases[] = {
        {"LF", auth + "\n" + priv + "\n", {auth, priv}, "authentication, privacy"},
        {"CR LF", auth + "\r\n" + priv + "\r\n", {auth, priv}, "authentication, privacy"},
        {"no last line end", auth + "\n" + priv, {auth, priv}, "authentication, privacy"},
        {"byte-order mark", "\xEF\xBB\xBF" + auth + "\n" + priv + "\n", {auth, priv},
         "authentication, privacy"},
        {"authentication only", auth + "\n", {auth}, "authentication"},
        {"authentication only, no line end", auth, {auth}, "authentication"},
        {"an empty privacy line", auth + "\n\n", {auth}, "authentication"},
        {"empty lines at the end", auth + "\r\n\r\n\n", {auth}, "authentication"},
        {"spaces are kept", " " + auth + " \n", {" " + auth + " "}, "authentication"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ProbeRun run = Probe(L"--json credential set " + Wide(uri) + L" lines", c.input);
        ASSERT_EQ(run.exitCode, 0u) << run.err;
        const Json report = Parsed(run);
        EXPECT_EQ(report["command"], "credential set");
        EXPECT_EQ(report["target"], "VYXBIDI:" + uri);
        EXPECT_EQ(report["stored"], true);
        EXPECT_EQ(report["user"], "lines");
        vyxserve::StoredCredential stored;
        ASSERT_EQ(vyxserve::ReadCredential(uri, stored), vyxserve::CredentialLookup::kFound);
        ASSERT_EQ(stored.secrets.size(), c.secrets.size());
        for (std::size_t i = 0; i < c.secrets.size(); ++i) {
            EXPECT_TRUE(Holds(stored.secrets[i], c.secrets[i])) << "secret " << i << " differs";
        }
        const ProbeRun show = Probe(L"credential show " + Wide(uri));
        EXPECT_NE(show.out.find(std::string("secrets   ") + c.names + "\n"), std::string::npos)
            << show.out;
    }
}

TEST(ProbeCredential, NonAsciiPasswordsArriveAsUtf8AndAreStoredAsUtf16) {
    const std::string uri = "snmp://" + Host("nonascii") + ":161";
    const CredentialCleanup cleanup{uri};
    const ProbeRun run = Probe(L"credential set snmp://" + Wide(Host("nonascii")) + L" \x00FC" L"ser",
                               std::string(kNonAsciiAuth) + "\n" + kNonAsciiPriv + "\n");
    ASSERT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_NE(run.out.find("user      \xC3\xBC" "ser\n"), std::string::npos) << run.out;
    vyxserve::StoredCredential stored;
    ASSERT_EQ(vyxserve::ReadCredential(uri, stored), vyxserve::CredentialLookup::kFound);
    EXPECT_EQ(stored.user, L"\x00FC" L"ser");
    ASSERT_EQ(stored.secrets.size(), 2u);
    EXPECT_TRUE(Holds(stored.secrets[0], kNonAsciiAuth)) << "the authentication password differs";
    EXPECT_TRUE(Holds(stored.secrets[1], kNonAsciiPriv)) << "the privacy password differs";

    // The blob as the system keeps it: both passwords in UTF-16LE, one U+0000 between them.
    PCREDENTIALW raw = nullptr;
    const std::wstring target = vyxserve::CredentialTarget(uri);
    ASSERT_TRUE(CredReadW(target.c_str(), CRED_TYPE_GENERIC, 0, &raw));
    const std::wstring expected = std::wstring(L"p\x00E4ssw\x00F6rd-\x00C4") + L'\0' +
                                  L"\x79D8\x5BC6\x306E\x9375\xD83D\xDD11";
    EXPECT_TRUE(raw->CredentialBlobSize == expected.size() * 2 &&
                std::memcmp(raw->CredentialBlob, expected.data(), expected.size() * 2) == 0)
        << "the stored blob is not the two passwords in UTF-16LE";
    CredFree(raw);
}

TEST(ProbeCredential, ACommunityAndAnIppUser) {
    const std::string snmp = "snmp://" + Host("community") + ":1161";
    const std::string ipps = "ipps://" + Host("ipp") + ":631/ipp/print";
    const std::string ipp = "ipp://" + Host("ipp") + ":8631/Printers/Q";
    const CredentialCleanup snmpCleanup{snmp}, ippsCleanup{ipps}, ippCleanup{ipp};

    const ProbeRun community = Probe(L"credential set " + Wide(snmp) + L" --community",
                                     std::string(kCommunity) + "\n");
    ASSERT_EQ(community.exitCode, 0u) << community.err;
    EXPECT_EQ(community.out, "stored    VYXBIDI:" + snmp + "\nuser      (none)\n" +
                                 "secrets   community\n");
    const Json shown = Parsed(Probe(L"--json credential show " + Wide(snmp)));
    EXPECT_TRUE(shown["user"].is_null());
    EXPECT_EQ(shown["secrets"], Json::array({"community"}));
    vyxserve::StoredCredential stored;
    ASSERT_EQ(vyxserve::ReadCredential(snmp, stored), vyxserve::CredentialLookup::kFound);
    EXPECT_EQ(stored.user, L"");
    ASSERT_EQ(stored.secrets.size(), 1u);
    EXPECT_TRUE(Holds(stored.secrets[0], kCommunity)) << "the community differs";

    // The host's case and a missing port are the module's business: one name for the printer.
    const ProbeRun secure = Probe(L"credential set IPPS://" + Wide(Host("IPP")) + L"/ipp/print alice",
                                  std::string(kIppPassword) + "\r\n");
    ASSERT_EQ(secure.exitCode, 0u) << secure.err;
    EXPECT_EQ(secure.err, "");
    EXPECT_EQ(secure.out, "stored    VYXBIDI:" + ipps + "\nuser      alice\nsecrets   password\n");
    ASSERT_EQ(vyxserve::ReadCredential(ipps, stored), vyxserve::CredentialLookup::kFound);
    EXPECT_EQ(stored.user, L"alice");
    ASSERT_EQ(stored.secrets.size(), 1u);
    EXPECT_TRUE(Holds(stored.secrets[0], kIppPassword)) << "the IPP password differs";

    // Over ipp:// it is stored too, with a word on where the module sends it.
    const ProbeRun plain = Probe(L"credential set " + Wide(ipp) + L" bob", std::string(kOther));
    ASSERT_EQ(plain.exitCode, 0u) << plain.err;
    EXPECT_EQ(plain.err, "bidiprobe: note: the IPP module sends a password only over ipps://\n");
    EXPECT_EQ(Parsed(Probe(L"--json credential show " + Wide(ipp)))["secrets"],
              Json::array({"password"}));
}

// A credential another tool wrote (cmdkey /generic: one password, plain UTF-16) is shown.
TEST(ProbeCredential, OneWrittenByAnotherToolIsShown) {
    const std::string uri = "ipps://" + Host("cmdkey") + ":631/ipp/print";
    const CredentialCleanup cleanup{uri};
    const std::wstring target = vyxserve::CredentialTarget(uri);
    const std::wstring password = L"Other-Secret-1234";
    CREDENTIALW credential{};
    credential.Type = CRED_TYPE_GENERIC;
    credential.TargetName = const_cast<wchar_t*>(target.c_str());
    credential.UserName = const_cast<wchar_t*>(L"carol");
    credential.CredentialBlobSize = static_cast<DWORD>(password.size() * 2);
    credential.CredentialBlob = reinterpret_cast<BYTE*>(const_cast<wchar_t*>(password.data()));
    credential.Persist = CRED_PERSIST_LOCAL_MACHINE;
    ASSERT_TRUE(CredWriteW(&credential, 0));
    const ProbeRun show = Probe(L"credential show " + Wide(uri));
    ASSERT_EQ(show.exitCode, 0u) << show.err;
    EXPECT_EQ(show.out, "target    VYXBIDI:" + uri + "\nuser      carol\nsecrets   password\n");

    // A blob that is no text: the store's failure, exit status 1.
    const BYTE odd[] = {'a', 0, 'b'};
    credential.CredentialBlobSize = sizeof odd;
    credential.CredentialBlob = const_cast<BYTE*>(odd);
    ASSERT_TRUE(CredWriteW(&credential, 0));
    const ProbeRun bad = Probe(L"credential show " + Wide(uri));
    EXPECT_EQ(bad.exitCode, 1u);
    EXPECT_EQ(bad.err, "bidiprobe: the credential VYXBIDI:" + uri +
                           " holds no secret this program reads (error 13)\n");
}

// Refused before anything is stored: the credential already there stays as it was.
TEST(ProbeCredential, WhatIsRefusedStoresNothing) {
    const std::string snmp = "snmp://" + Host("refused") + ":161";
    const std::string ipps = "ipps://" + Host("refused") + ":631/ipp/print";
    const CredentialCleanup snmpCleanup{snmp}, ippsCleanup{ipps};
    ASSERT_EQ(Probe(L"credential set " + Wide(snmp) + L" keeper", std::string(kOther) + "\n")
                  .exitCode,
              0u);
    const std::string auth = kAuth;
    const std::string priv = kPriv;
    const struct {
        std::wstring arguments;
        std::string input;
        std::string message;
    } cases[] = {
        {L"credential set " + Wide(snmp) + L" u", "", "no password on standard input; nothing stored"},
        {L"credential set " + Wide(snmp) + L" u", "\r\n\n", "no password on standard input"},
        {L"credential set " + Wide(snmp) + L" u", "\n" + priv + "\n",
         "an empty password (line 1); nothing stored"},
        {L"credential set " + Wide(snmp) + L" u", auth + "\n" + priv + "\n" + auth + "\n",
         "standard input has 3 lines; at most 2 passwords are read (authentication, privacy)"},
        {L"credential set " + Wide(snmp) + L" u", auth + "\n\n" + priv + "\n",
         "standard input has 3 lines"},
        {L"credential set " + Wide(snmp) + L" --community", auth + "\n" + priv + "\n",
         "standard input has 2 lines; one community is read"},
        {L"credential set " + Wide(snmp) + L" --community", "", "no community on standard input"},
        {L"credential set " + Wide(ipps) + L" u", auth + "\n" + priv + "\n",
         "standard input has 2 lines; one password is read"},
        {L"credential set " + Wide(snmp) + L" u", auth + "\xFF\n", "standard input is not UTF-8 text"},
        {L"credential set " + Wide(snmp) + L" u", auth + "\n\xC0\x80\n",
         "standard input is not UTF-8 text (line 2)"},
        {L"credential set " + Wide(snmp) + L" u", auth + std::string(1, '\0') + "x\n",
         "a password with a NUL character"},
        {L"credential set " + Wide(snmp) + L" u", std::string(513, 'x') + "\n",
         "a password over 512 characters"},
        {L"credential set " + Wide(snmp) + L" u", std::string(70000, 'x'),
         "standard input holds more than 65536 bytes"},
        {L"credential set " + Wide(snmp) + L" \"\"", auth + "\n", "USER is empty"},
        {L"credential set " + Wide(snmp) + L" " + std::wstring(33, L'u'), auth + "\n",
         "an SNMPv3 user has at most 32 bytes"},
        {L"credential set " + Wide(ipps) + L" a:b", auth + "\n", "an IPP user name has no colon"},
        {L"credential set " + Wide(ipps) + L" --community", auth + "\n",
         "--community belongs to snmp:// printers"},
        {L"credential set http://" + Wide(Host("refused")) + L" u", auth + "\n",
         "is a URI neither module takes"},
        {L"credential set \"snmp://two words\" u", auth + "\n", "is a URI neither module takes"},
        {L"credential set " + Wide(snmp), auth + "\n", "usage: bidiprobe [--json] credential set URI USER"},
        {L"credential set " + Wide(snmp) + L" u " + Wide(auth), "", "usage: bidiprobe [--json] credential set"},
        {L"credential show " + Wide(snmp) + L" --community", "", "--community belongs to credential set"},
        {L"credential show " + Wide(snmp) + L" --dll VYXBIDI.dll", "",
         "--dll belongs to the commands that load VYXBIDI.dll"},
        {L"credential list", "", "usage: bidiprobe [--json] credential set URI USER |"},
        {L"credential", "", "usage: bidiprobe [--json] credential"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << testing::PrintToString(c.arguments));
        const ProbeRun run = Probe(c.arguments, c.input);
        EXPECT_EQ(run.exitCode, 2u);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    vyxserve::StoredCredential stored;
    ASSERT_EQ(vyxserve::ReadCredential(snmp, stored), vyxserve::CredentialLookup::kFound);
    EXPECT_EQ(stored.user, L"keeper");
    ASSERT_EQ(stored.secrets.size(), 1u);
    EXPECT_TRUE(Holds(stored.secrets[0], kOther)) << "the stored password changed";
    EXPECT_EQ(vyxserve::ReadCredential(ipps, stored), vyxserve::CredentialLookup::kNone);
}

TEST(ProbeCredential, HelpNamesTheVerbs) {
    const ProbeRun program = Probe(L"--help");
    EXPECT_EQ(program.exitCode, 0u);
    for (const char* line : {"  credential set URI USER ", "  credential set URI --community ",
                             "  credential show URI ", "  credential delete URI ",
                             "  trust show URI ", "  trust forget URI "}) {
        EXPECT_NE(program.out.find(line), std::string::npos) << line;
    }
    const ProbeRun credential = Probe(L"credential --help");
    EXPECT_EQ(credential.exitCode, 0u);
    EXPECT_EQ(credential.out.find("Usage: bidiprobe [--json] credential set URI USER\n"), 0u)
        << credential.out;
    EXPECT_NE(credential.out.find("Standard input is read as UTF-8 text"), std::string::npos);
    const ProbeRun trust = Probe(L"trust forget --help");
    EXPECT_EQ(trust.exitCode, 0u);
    EXPECT_EQ(trust.out.find("Usage: bidiprobe [--json] trust show URI\n"), 0u) << trust.out;
}

// ---- Certificate pins ------------------------------------------------------------------------

const char kPin[] = "5f1d6a0c3b9e8d7f2a4c6e8b0d1f3a5c7e9b2d4f6a8c0e1b3d5f7a9c2e4b6d8f";
const char kOffered[] = "a0b1c2d3e4f5061728394a5b6c7d8e9fa0b1c2d3e4f5061728394a5b6c7d8e9f";

TEST(ProbeTrust, APinIsShownAndForgotten) {
    const std::string origin = "ipps://" + Host("trust") + ":8443";
    const PinCleanup cleanup{origin};
    const std::wstring given = L"IPPS://" + Wide(Host("Trust")) + L":8443/ipp/print";

    const ProbeRun empty = Probe(L"trust show " + given);
    ASSERT_EQ(empty.exitCode, 0u) << empty.err;
    EXPECT_EQ(empty.out, "printer   " + origin + "\npinned    (none)\noffered   (none)\n");

    ASSERT_EQ(vyxserve::WritePin(origin, kPin), 0u);
    const ProbeRun pinned = Probe(L"trust show " + given);
    EXPECT_EQ(pinned.out, "printer   " + origin + "\npinned    " + kPin + "\noffered   (none)\n");
    ASSERT_EQ(vyxserve::WriteOffered(origin, kOffered), 0u);
    const ProbeRun offered = Probe(L"trust show " + given);
    EXPECT_EQ(offered.out, "printer   " + origin + "\npinned    " + kPin + "\noffered   " +
                               kOffered + " (refused as changed)\n");
    const ProbeRun json = Probe(L"trust show --json " + given);
    ASSERT_EQ(json.exitCode, 0u);
    EXPECT_EQ(Parsed(json),
              Json({{"command", "trust show"},
                    {"uri", origin + "/ipp/print"},
                    {"trust", {{"printer", origin}, {"pinned", kPin}, {"offered", kOffered}}}}));

    const ProbeRun forget = Probe(L"trust forget " + given);
    ASSERT_EQ(forget.exitCode, 0u) << forget.err;
    EXPECT_EQ(forget.out, "forgotten " + origin + "\n");
    EXPECT_EQ(vyxserve::ReadPin(origin), "");
    EXPECT_EQ(vyxserve::ReadOffered(origin), "");

    const ProbeRun again = Probe(L"trust forget " + given);
    EXPECT_EQ(again.exitCode, 1u);
    EXPECT_EQ(again.err, "bidiprobe: no certificate pinned for " + origin + "\n");
    const ProbeRun againJson = Probe(L"--json trust forget " + given);
    EXPECT_EQ(againJson.exitCode, 1u);
    EXPECT_EQ(Parsed(againJson)["forgotten"], false);
    const Json afterwards = Parsed(Probe(L"--json trust show " + given));
    EXPECT_TRUE(afterwards["trust"]["pinned"].is_null());
    EXPECT_TRUE(afterwards["trust"]["offered"].is_null());
}

TEST(ProbeTrust, OnlyIppsPrintersHavePins) {
    for (const std::wstring& uri : {L"ipp://" + Wide(Host("plain")) + L"/ipp/print",
                                    L"snmp://" + Wide(Host("plain")), Wide(Host("plain"))}) {
        SCOPED_TRACE(testing::PrintToString(uri));
        const ProbeRun run = Probe(L"trust show " + uri);
        EXPECT_EQ(run.exitCode, 2u);
        EXPECT_NE(run.err.find("certificates are pinned for ipps:// printers only"),
                  std::string::npos)
            << run.err;
    }
    const ProbeRun bad = Probe(L"trust forget ipps://");
    EXPECT_EQ(bad.exitCode, 2u);
    EXPECT_NE(bad.err.find("is a URI neither module takes"), std::string::npos);
}

// A port on the loopback that nothing answers: bound and never listened on, so that no other
// test's printer takes it while the probe connects.
class ClosedPort {
  public:
    ClosedPort() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        int size = sizeof address;
        getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
    }
    ~ClosedPort() {
        closesocket(socket_);
        WSACleanup();
    }
    unsigned port() const { return port_; }

  private:
    SOCKET socket_ = INVALID_SOCKET;
    unsigned port_ = 0;
};

// The report of a run against an ipps:// printer ends with what the trust store holds for it
// after the run; here the printer never answers, so it holds what the test wrote.
TEST(ProbeTrust, AReportAgainstAnIppsPrinterShowsItsPins) {
    if (GetFileAttributesW(BesideProgram(L"ipp\\VYXBIDI.SNM").c_str()) == INVALID_FILE_ATTRIBUTES) {
        GTEST_SKIP() << "no IPP module beside the tests";
    }
    const ClosedPort closed;
    ASSERT_NE(closed.port(), 0u);
    const std::string origin = "ipps://127.0.0.1:" + std::to_string(closed.port());
    const PinCleanup cleanup{origin};
    const std::wstring printer = L" --printer " + Wide(origin) + L"/ipp/print --second timeout=2000";

    const ProbeRun none = Probe(L"--json trays" + printer);
    EXPECT_EQ(none.exitCode, 1u);  // nothing answers
    EXPECT_EQ(Parsed(none)["trust"],
              Json({{"printer", origin}, {"pinned", nullptr}, {"offered", nullptr}}));

    ASSERT_EQ(vyxserve::WritePin(origin, kPin), 0u);
    ASSERT_EQ(vyxserve::WriteOffered(origin, kOffered), 0u);
    const ProbeRun json = Probe(L"--json trays" + printer);
    EXPECT_EQ(Parsed(json)["trust"],
              Json({{"printer", origin}, {"pinned", kPin}, {"offered", kOffered}}));
    const ProbeRun text = Probe(L"trays" + printer);
    EXPECT_NE(text.out.find("\nCertificate trust for " + origin + "\n  pinned   " + kPin +
                            "\n  offered  " + kOffered + " (refused as changed)\n"),
              std::string::npos)
        << text.out;

    // Not for ipp://, nor for the simulated printer.
    const ProbeRun plain =
        Probe(L"--json trays --printer ipp://127.0.0.1:" + std::to_wstring(closed.port()) +
              L"/ipp/print --second timeout=2000");
    EXPECT_FALSE(Parsed(plain).contains("trust"));
    const ProbeRun sim = Probe(L"--json trays");
    EXPECT_FALSE(Parsed(sim).contains("trust"));
}

}  // namespace
