// Version 3 walks against the in-process engine: discovery, each level and protocol, the one
// resend a stale clock earns, each report as its code, and the misbehaving engines (a spoiled
// digest, reports in a loop, a huge engine id, silence after discovery), each within its bound.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "codes.h"
#include "engine_cache.h"
#include "fake_agent.h"
#include "test_crypto.h"
#include "walk.h"

namespace {

using namespace vyxsnmp;
using snmptest::FakeAgent;
using Fault = FakeAgent::V3::Fault;

const Oid kSysDescr{1, 3, 6, 1, 2, 1, 1, 1};

Secret Password(const char* text) {
    return Secret(text, std::strlen(text));
}

UsmUser User(SecurityLevel level, AuthProtocol auth = AuthProtocol::kSha1,
             PrivProtocol priv = PrivProtocol::kAes128) {
    UsmUser user;
    user.name = "operator";
    user.level = level;
    user.auth = auth;
    user.priv = priv;
    user.authPassword = Password("auth-password");
    user.privPassword = Password("privacy-password");
    user.context = "MFP";
    return user;
}

struct V3Run {
    std::unique_ptr<Crypto> crypto = snmptest::MakeTestCrypto();
    FakeAgent agent;
    ClientSettings settings;
    UsmUser user;
    WalkOutcome outcome;
    std::vector<Rows> rows;
    std::uint32_t sent = 0;
    vyxserve::EngineCache* engines = nullptr;  // the process's engines, when the test keeps one

    explicit V3Run(const UsmUser& asUser) : user(asUser) {
        agent.Set(kSysDescr.Plus({0}), Value::Text("Colour MFP"));
        agent.v3.crypto = crypto.get();
        agent.v3.user = asUser;
        settings.timeoutMs = 500;
        settings.retries = 1;
    }
    void Walk() {
        Client client(agent, settings, 41, crypto.get(), &user, engines, "snmp://printer:161");
        Walker walker(client, VersionChoice::kV3);
        outcome = walker.Walk({kSysDescr}, rows, WalkLimits());
        sent = client.sent();
    }
};

TEST(SnmpV3, DiscoveryThenEachLevelAndProtocol) {
    const UsmUser users[] = {
        User(SecurityLevel::kNoAuth),
        User(SecurityLevel::kAuth, AuthProtocol::kMd5),
        User(SecurityLevel::kAuth, AuthProtocol::kSha512),
        User(SecurityLevel::kPriv, AuthProtocol::kSha1, PrivProtocol::kAes128),
        User(SecurityLevel::kPriv, AuthProtocol::kSha256, PrivProtocol::kAes256),
        User(SecurityLevel::kPriv, AuthProtocol::kSha224, PrivProtocol::kAes192),
        User(SecurityLevel::kPriv, AuthProtocol::kMd5, PrivProtocol::kDes),
    };
    for (const UsmUser& user : users) {
        SCOPED_TRACE(static_cast<int>(user.level) * 100 + static_cast<int>(user.auth) * 10 +
                     static_cast<int>(user.priv));
        V3Run run(user);
        run.Walk();
        ASSERT_EQ(CodeFor(run.outcome), 0);
        ASSERT_EQ(run.rows[0].size(), 1u);
        EXPECT_EQ(run.rows[0][0].second.bytes, "Colour MFP");
        // Discovery (empty engine and user, reportable, nothing to read), then the request.
        ASSERT_EQ(run.sent, 2u);
        const V3Message& discovery = run.agent.v3.requests[0];
        EXPECT_EQ(discovery.flags, msg_flags::kReportable);
        EXPECT_TRUE(discovery.usm.engineId.empty() && discovery.usm.userName.empty());
        const V3Message& request = run.agent.v3.requests[1];
        EXPECT_EQ(request.usm.engineId, run.agent.v3.engineId);
        if (user.level != SecurityLevel::kNoAuth) {
            EXPECT_EQ(request.usm.boots, run.agent.v3.boots);
        }
        EXPECT_EQ(request.flags & 3, user.level == SecurityLevel::kNoAuth ? 0
                                     : user.level == SecurityLevel::kAuth ? 1
                                                                          : 3);
        if (user.level == SecurityLevel::kPriv) {
            EXPECT_EQ(request.usm.privParams.size(), 8u);
            EXPECT_EQ(request.encrypted.find("MFP"), std::string::npos);
        }
    }
}

TEST(SnmpV3, ExactDiscoveryRequest) {
    V3Run run(User(SecurityLevel::kNoAuth));
    UsmSession session(*run.crypto, run.user, DecodeLimits());
    const Bytes expected = {
        0x30, 0x38, 0x02, 0x01, 0x03,                                      // version 3
        0x30, 0x0E, 0x02, 0x01, 0x29, 0x02, 0x03, 0x00, 0xFF, 0xE3,        // msgID, max size
        0x04, 0x01, 0x04, 0x02, 0x01, 0x03,                                // reportable, USM
        0x04, 0x10, 0x30, 0x0E, 0x04, 0x00, 0x02, 0x01, 0x00, 0x02, 0x01,  // no engine, boots,
        0x00, 0x04, 0x00, 0x04, 0x00, 0x04, 0x00,                          // time, user, params
        0x30, 0x11, 0x04, 0x00, 0x04, 0x00,                                // no context
        0xA0, 0x0B, 0x02, 0x01, 0x2A, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00, 0x30, 0x00};  // a Get
    EXPECT_EQ(session.DiscoveryRequest(41, 42), expected);
}

// Each report as its own code, and each misbehaving engine within the exchange's bound.
TEST(SnmpV3, ReportsAndMisbehavingEngines) {
    const auto priv = User(SecurityLevel::kPriv);
    const struct {
        const char* name;
        std::function<void(V3Run&)> setup;
        std::int32_t code;
        std::uint32_t sent;  // discovery included; a request unanswered goes at 0, 200 and 600 ms
                             // (late after the floor, then twice that) within 2 x 500 ms
    } cases[] = {
        {"stale once: one resend", [](V3Run& r) { r.agent.v3.fault = Fault::kStaleOnce; }, 0, 3},
        {"stale twice", [](V3Run& r) { r.agent.v3.fault = Fault::kStale; }, code::kNotInTimeWindow,
         3},
        {"unknown user", [](V3Run& r) { r.user.name = "nobody"; }, code::kUnknownUser, 2},
        {"wrong authentication password",
         [](V3Run& r) { r.user.authPassword = Password("guessed"); }, code::kWrongDigest, 2},
        {"wrong privacy password", [](V3Run& r) { r.user.privPassword = Password("guessed"); },
         code::kDecryptionError, 2},
        {"level above the user's", [](V3Run& r) { r.agent.v3.user.level = SecurityLevel::kAuth; },
         code::kUnsupportedLevel, 2},
        {"unknown context", [](V3Run& r) { r.user.context = "Scanner"; }, code::kUnknownContext, 2},
        {"engine forgotten", [](V3Run& r) { r.agent.v3.fault = Fault::kForgetsEngine; },
         code::kUnknownEngine, 2},
        {"spoiled digest on responses", [](V3Run& r) { r.agent.v3.fault = Fault::kBadDigest; },
         code::kWrongDigest, 4},
        {"huge engine id", [](V3Run& r) { r.agent.v3.fault = Fault::kHugeEngineId; },
         code::kGarbled, 2},
        {"silent after discovery", [](V3Run& r) { r.agent.v3.fault = Fault::kDrops; },
         code::kDropped, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        V3Run run(priv);
        c.setup(run);
        run.Walk();
        EXPECT_EQ(CodeFor(run.outcome), c.code);
        EXPECT_EQ(run.sent, c.sent);
        // Discovery and at most two requests, each (retries + 1) timeouts at most.
        EXPECT_LE(run.agent.clock, 3u * 2 * run.settings.timeoutMs);
    }
}

// A second connection to the printer takes the engine the first learnt, and sends no discovery.
// An engine that has changed since refuses what the one known would take (or says nothing), and
// is discovered again, once, unseen by the caller; a printer that refuses the engine it is
// given anew, or answers discovery and nothing else, gives the code it gave before.
TEST(SnmpV3, AnEngineKnownFromAnEarlierConnectionIsUsedAndAskedAgainWhenItChanged) {
    const struct {
        const char* name;
        std::function<void(FakeAgent&)> change;  // between the connections
        std::int32_t code;
        std::uint32_t sent;  // by the second connection
    } cases[] = {
        {"the same engine", [](FakeAgent&) {}, 0, 1},
        {"rebooted: stale clock", [](FakeAgent& a) { ++a.v3.boots; }, 0, 3},
        {"replaced: another engine",
         [](FakeAgent& a) {
             FakeAgent replaced;
             replaced.objects = a.objects;
             replaced.v3 = a.v3;
             replaced.v3.engineId = std::string("\x80\x00\x1f\x88\x04", 5) + "replaced";
             replaced.clock = a.clock;
             a = std::move(replaced);
         },
         0, 3},
        {"the engine forgotten", [](FakeAgent& a) { a.v3.fault = Fault::kForgetsEngine; },
         code::kUnknownEngine, 3},
        // Unanswered at 0 and 500 (no round trip measured yet), discovery, then 0, 200, 600.
        {"silent after discovery", [](FakeAgent& a) { a.v3.fault = Fault::kDrops; }, code::kDropped,
         6},
        {"switched off", [](FakeAgent& a) { a.v3.crypto = nullptr; }, code::kNoAnswer, 4},
        {"known longer than the time window: discovered",
         [](FakeAgent& a) { a.clock += vyxserve::EngineCache::kTrustedMs; }, 0, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        vyxserve::EngineCache engines;
        V3Run run(User(SecurityLevel::kPriv));
        run.engines = &engines;
        run.Walk();
        ASSERT_EQ(CodeFor(run.outcome), 0);
        ASSERT_EQ(run.sent, 2u);
        c.change(run.agent);
        const std::uint64_t start = run.agent.clock;
        run.Walk();
        EXPECT_EQ(CodeFor(run.outcome), c.code);
        EXPECT_EQ(run.sent, c.sent);
        // The request, discovery and the request again, each (retries + 1) timeouts at most.
        EXPECT_LE(run.agent.clock - start, 3u * 2 * run.settings.timeoutMs);
        if (c.code == 0) {
            ASSERT_EQ(run.rows[0].size(), 1u);
            EXPECT_EQ(run.rows[0][0].second.bytes, "Colour MFP");
        }
    }
}

// An answer from another engine to the same message id is not taken, nor the right engine's
// answer replayed once the clock has moved past its window.
TEST(SnmpV3, AnswersFromAnotherEngineOrOutsideTheWindowAreNotTaken) {
    V3Run run(User(SecurityLevel::kAuth));
    V3Run other(User(SecurityLevel::kAuth));
    other.agent.v3.engineId = "another-engine";
    UsmSession session(*run.crypto, run.user, DecodeLimits());
    Pdu response;
    Refusal refusal = Refusal::kNone;
    bool failed = false;
    const Bytes discovery = session.DiscoveryRequest(7, 8);
    run.agent.Send(discovery);
    Bytes answer;
    ASSERT_EQ(run.agent.Receive(answer, 10), Datagrams::Wait::kDatagram);
    ASSERT_EQ(session.TakeEngine(answer, 7, run.agent.clock, failed), UsmSession::Reply::kReport);
    Pdu get;
    get.type = tag::kGetRequest;
    get.requestId = 9;
    get.varBinds.push_back({kSysDescr.Plus({0}), Value()});
    Bytes datagram;
    ASSERT_TRUE(session.Wrap(get, 10, run.agent.clock, datagram));
    other.agent.Send(datagram);  // an engine it does not know: a plain report
    run.agent.Send(datagram);
    Bytes fromOther;
    ASSERT_EQ(other.agent.Receive(fromOther, 10), Datagrams::Wait::kDatagram);
    EXPECT_EQ(session.Unwrap(fromOther, 10, 9, run.agent.clock, response, refusal),
              UsmSession::Reply::kBad);
    ASSERT_EQ(run.agent.Receive(answer, 10), Datagrams::Wait::kDatagram);
    EXPECT_EQ(session.Unwrap(answer, 10, 9, run.agent.clock, response, refusal),
              UsmSession::Reply::kResponse);
    // The same answer again, outside the time window of a clock that has moved on.
    EXPECT_EQ(session.Unwrap(answer, 10, 9, run.agent.clock + 400000, response, refusal),
              UsmSession::Reply::kBad);
}

}  // namespace
