// SNMPv3 end to end under wine: the test users' passwords stored with bidiprobe's credential
// verbs, then bidiprobe's JSON dump through the SNMP module against the fixture's snmpsimd at
// each level (SHA-1, SHA-256, AES-128, DES, AES-256), which must report what version 2c reports;
// the wrong password, user, level and context each as its code within its bound; no test
// password in any output; and a property sheet's requests and round trips, over SNMPv3 with no
// second discovery in the process.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <vector>

#include "codes.h"
#include "e2e/sim_support.h"
#include "import_patch.h"
#include "message_v3.h"
#include "support/library_handle.h"
#include "support/peer_ports.h"
#include "support/text_util.h"

namespace {

using Json = nlohmann::json;
using vyxtest::Utf8;
using vyxtest::Wide;

struct User {
    std::string name, authPassword, privPassword;  // empty: none
};

// The users of v3-users.txt, copied beside the test programs.
const std::map<std::string, User>& Users() {
    static const std::map<std::string, User> users = [] {
        std::map<std::string, User> read;
        const HANDLE file =
            CreateFileW(simtest::BesideProgram(L"snmp-v3-users.txt").c_str(), GENERIC_READ,
                        FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        std::string text;
        char buffer[4096];
        DWORD got = 0;
        while (file != INVALID_HANDLE_VALUE &&
               ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
            text.append(buffer, got);
        }
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
        }
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            std::istringstream fields(line);
            std::string name, auth, authPassword, priv, privPassword;
            if (line.empty() || line[0] == '#' ||
                !(fields >> name >> auth >> authPassword >> priv >> privPassword)) {
                continue;
            }
            read[name] = {name, authPassword == "-" ? "" : authPassword,
                          privPassword == "-" ? "" : privPassword};
        }
        return read;
    }();
    return users;
}

std::wstring Printer() {
    static const int port =
        std::atoi(vyxtest::ReadPeerPorts(L"snmp-agents.txt")["snmpsim"].c_str());
    return port == 0 ? L"" : L"snmp://127.0.0.1:" + std::to_wstring(port);
}

// No test password anywhere in what bidiprobe printed.
void ExpectNoPassword(const simtest::ProbeRun& run) {
    for (const auto& entry : Users()) {
        for (const std::string& password : {entry.second.authPassword, entry.second.privPassword}) {
            if (!password.empty()) {
                EXPECT_EQ(run.out.find(password), std::string::npos) << "a password in the output";
                EXPECT_EQ(run.err.find(password), std::string::npos) << "a password in the errors";
            }
        }
    }
}

// Stores `user` with these passwords for the printer (none: deletes its credential).
void Store(const std::string& user, const std::string& authPassword,
           const std::string& privPassword) {
    simtest::ProbeRun run;
    if (user.empty()) {
        run = simtest::RunProbe(L"credential delete " + Printer());
    } else {
        std::string input = authPassword.empty() ? "" : authPassword + "\n";
        input += privPassword.empty() ? "" : privPassword + "\n";
        run = simtest::RunProbe(L"credential set " + Printer() + L" " + Wide(user), input);
        ASSERT_EQ(run.exitCode, 0u) << run.err;
    }
    ExpectNoPassword(run);
}

struct Dumped {
    Json report;
    LONG connect = -1;
    DWORD milliseconds = 0;
};

Dumped Dump(const std::wstring& second) {
    const ULONGLONG start = GetTickCount64();
    const simtest::ProbeRun run =
        simtest::RunProbe(L"--printer " + Printer() + L" --second \"" + second + L"\" --json dump");
    Dumped dumped;
    dumped.milliseconds = static_cast<DWORD>(GetTickCount64() - start);
    ExpectNoPassword(run);
    dumped.report = Json::parse(run.out);
    for (const Json& call : dumped.report["open"]) {
        if (call["export"] == "VyxBiDi_Connect") {
            dumped.connect = call["code"];
        }
    }
    return dumped;
}

// What a dump reports of the printer, without the connection strings that differ.
Json Printed(const Json& report) {
    return Json{{"colour", report["colour"]},
                {"attributes", report["attributes"]},
                {"templates", report["templates"]},
                {"email", report["email"]}};
}

class SnmpV3 : public ::testing::Test {
  protected:
    void SetUp() override {
        if (Printer().empty()) {
            if (std::getenv("VYX_HEAP_CHECKING")) {
                GTEST_SKIP() << "the SNMP agents are not running";
            }
            FAIL() << "no snmp-agents.txt beside the test program";
        }
        ASSERT_EQ(Users().size(), 7u) << "snmp-v3-users.txt beside the test program";
    }
    void TearDown() override { Store("", "", ""); }
};

TEST_F(SnmpV3, EachLevelReportsWhatVersion2cReports) {
    // The second connection string holds 63 bytes at most: each case's options are short.
    const struct {
        const char* user;
        const wchar_t* options;  // after version=3 and the context
        bool storePrivacy;
    } cases[] = {
        // No credential stored: the user named, without authentication.
        {"vyx-noauth", L";user=vyx-noauth", false},
        {"vyx-sha", L"", false},
        {"vyx-sha256", L";auth=sha256", false},
        {"vyx-sha-aes", L"", true},
        {"vyx-sha256-aes", L";auth=sha256;level=priv", true},
        {"vyx-md5-des", L";auth=md5;priv=des", true},
        {"vyx-sha-aes256", L";priv=aes256", true},
    };
    for (const char* recording : {"colour-mfp", "mono-laser"}) {
        const Dumped v2c = Dump(L"community=" + Wide(recording));
        ASSERT_EQ(v2c.connect, 0);
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(recording) + " as " + c.user);
            const User& user = Users().at(c.user);
            if (user.authPassword.empty()) {
                Store("", "", "");
            } else {
                Store(user.name, user.authPassword, c.storePrivacy ? user.privPassword : "");
            }
            const Dumped v3 =
                Dump(L"version=3;context=" + Wide(recording) + std::wstring(c.options));
            ASSERT_EQ(v3.connect, 0);
            EXPECT_EQ(Printed(v3.report), Printed(v2c.report));
        }
    }
}

TEST_F(SnmpV3, EachRefusalGivesItsCode) {
    const User& aes = Users().at("vyx-sha-aes");
    const std::wstring base = L"version=3;timeout=200;retries=0;";
    const struct {
        const char* name;
        std::string user, authPassword, privPassword;  // stored (no user: none stored)
        std::wstring options;                          // after `base`
        LONG code;
        DWORD bound;  // the longest the connection may take, in ms (0: not timed)
    } cases[] = {
        // snmpsimd answers a wrong key with a report it cannot sign for us.
        {"wrong authentication password", aes.name, aes.authPassword + "-wrong", aes.privPassword,
         L"context=colour-mfp", vyxsnmp::code::kWrongDigest, 400},
        // ... and drops what it cannot decrypt, as it drops a context it does not have.
        {"wrong privacy password", aes.name, aes.authPassword, aes.privPassword + "-wrong",
         L"context=colour-mfp", vyxsnmp::code::kDropped, 400},
        {"unknown user", "", "", "", L"context=colour-mfp;user=nobody", vyxsnmp::code::kUnknownUser,
         0},
        {"level below the user's", aes.name, aes.authPassword, aes.privPassword,
         L"context=colour-mfp;level=noauth", vyxsnmp::code::kUnsupportedLevel, 0},
        {"unknown context", aes.name, aes.authPassword, aes.privPassword, L"context=no-such",
         vyxsnmp::code::kDropped, 400},
        {"another user than the stored one", aes.name, aes.authPassword, "", L"user=vyx-sha",
         vyxsnmp::code::kUserMismatch, 0},
        {"no privacy password stored", aes.name, aes.authPassword, "", L"level=priv",
         vyxsnmp::code::kNoPassword, 0},
        {"no user at all", "", "", "", L"", vyxsnmp::code::kNoPassword, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Store(c.user, c.authPassword, c.privPassword);
        const Dumped dumped = Dump(base + c.options);
        EXPECT_EQ(dumped.connect, c.code);
        if (c.bound != 0) {
            // bidiprobe's own start under wine comes on top of the connection's bound.
            EXPECT_LE(dumped.milliseconds, c.bound + 10000);
        }
    }
}

// What the SNMP module sends and receives, seen at its imports of Winsock's send and recv: each
// datagram's request id (versions 1 and 2c) or message id (version 3), and whether it went out.
struct Seen {
    bool sent;
    std::int32_t id;
    bool discovery;  // version 3, sent without an engine id
};
std::vector<Seen> g_seen;

void See(bool sent, const char* data, int length) {
    if (length <= 0) {
        return;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data);
    const auto size = static_cast<std::size_t>(length);
    vyxsnmp::Message message;
    vyxsnmp::V3Message v3;
    if (vyxsnmp::DecodeMessage(bytes, size, vyxsnmp::DecodeLimits(), message) ==
        vyxsnmp::DecodeStatus::kOk) {
        g_seen.push_back(Seen{sent, message.pdu.requestId, false});
    } else if (vyxsnmp::DecodeV3Message(bytes, size, vyxsnmp::DecodeLimits(), v3) ==
               vyxsnmp::DecodeStatus::kOk) {
        g_seen.push_back(Seen{sent, v3.msgId, sent && v3.usm.engineId.empty()});
    }
}
int WSAAPI SeenSend(SOCKET s, const char* data, int length, int flags) {
    See(true, data, length);
    return send(s, data, length, flags);
}
int WSAAPI SeenRecv(SOCKET s, char* data, int length, int flags) {
    const int got = recv(s, data, length, flags);
    See(false, data, got);
    return got;
}

// A sheet's requests (a resend keeps its id), its round trips (a request goes out a round trip
// after the one whose answer came last before it: the longest such chain), and its discoveries.
struct SheetCounts {
    std::size_t requests = 0, roundTrips = 0, discoveries = 0;
};
SheetCounts Count(const std::vector<Seen>& seen) {
    SheetCounts counts;
    std::map<std::int32_t, std::size_t> depth;
    std::size_t answered = 0;
    for (const Seen& event : seen) {
        if (!event.sent) {
            const auto found = depth.find(event.id);
            answered = found == depth.end() ? answered : found->second;
        } else if (depth.emplace(event.id, answered + 1).second) {
            ++counts.requests;
            counts.discoveries += event.discovery ? 1 : 0;
            counts.roundTrips = std::max(counts.roundTrips, answered + 1);
        }
    }
    return counts;
}

// The colour MFP's property sheet (a connection's snapshot) through the module against snmpsimd:
// over version 2c its two walks side by side; over SNMPv3 the engine's discovery first, and a
// second connection in the process takes the engine from the first and sends no discovery. The
// counts come from the datagrams and their ids, not from a clock, so that a loaded machine that
// delays an answer past its estimate (a resend keeps its id) changes none of them.
TEST_F(SnmpV3, ASheetsRequestsAndRoundTripsWithoutASecondDiscovery) {
    const User& user = Users().at("vyx-sha-aes");
    Store(user.name, user.authPassword, user.privPassword);
    vyxtest::LibraryHandle handle(vyxtest::NetworkModuleCaller(L"snmp"));
    ASSERT_EQ(handle.initialized(), BIDI_OK);
    for (const auto& [function, replacement] :
         {std::make_pair("send", reinterpret_cast<void*>(&SeenSend)),
          std::make_pair("recv", reinterpret_cast<void*>(&SeenRecv))}) {
        void** slot = vyximport::ImportSlot(handle.get()->module, "WS2_32.dll", function);
        ASSERT_NE(slot, nullptr) << function;
        vyximport::SwapSlot(slot, replacement);
    }
    const struct {
        const wchar_t* options;
        SheetCounts counts;
    } sheets[] = {
        {L"community=colour-mfp", {4, 2, 0}},
        {L"version=3;context=colour-mfp", {5, 3, 1}},
        {L"version=3;context=colour-mfp", {4, 2, 0}},
    };
    for (const auto& sheet : sheets) {
        SCOPED_TRACE(Utf8(sheet.options));
        g_seen.clear();
        ASSERT_EQ(VyxBiDi_Connect(handle.get(), Printer().c_str(), sheet.options), BIDI_OK);
        VyxBiDi_Disconnect(handle.get());
        const SheetCounts counts = Count(g_seen);
        std::printf("%ls: %zu requests in %zu round trips, %zu discoveries\n", sheet.options,
                    counts.requests, counts.roundTrips, counts.discoveries);
        EXPECT_EQ(counts.requests, sheet.counts.requests);
        EXPECT_EQ(counts.roundTrips, sheet.counts.roundTrips);
        EXPECT_EQ(counts.discoveries, sheet.counts.discoveries);
    }
}

// A community stored for the printer serves version 2c; a v3 user's password never does.
TEST_F(SnmpV3, AStoredCommunityServesVersion2c) {
    const simtest::ProbeRun stored =
        simtest::RunProbe(L"credential set " + Printer() + L" --community", "mono-laser\n");
    ASSERT_EQ(stored.exitCode, 0u) << stored.err;
    const Dumped v2c = Dump(L"version=2c");
    ASSERT_EQ(v2c.connect, 0);
    EXPECT_EQ(v2c.report["attributes"]["trays"]["records"].size(), 1u);
    const User& sha = Users().at("vyx-sha");
    Store(sha.name, sha.authPassword, "");
    EXPECT_EQ(Dump(L"version=2c;timeout=200;retries=0").connect, vyxsnmp::code::kNoAnswer);
}

}  // namespace
