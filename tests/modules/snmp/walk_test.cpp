// Column walks against the in-process agent: what comes back, how many requests it takes, and
// every way the agent can fail the walk, each within its bound.
#include <gtest/gtest.h>

#include "codes.h"
#include "fake_agent.h"
#include "walk.h"

namespace {

using namespace vyxsnmp;
using snmptest::FakeAgent;

const Oid kTable{1, 3, 6, 1, 2, 1, 43, 8, 2, 1};
const Oid kNames = kTable.Plus({13});
const Oid kLevels = kTable.Plus({10});
const Oid kTypes = kTable.Plus({2});

// Three columns of a table (levels and types with 5 rows, names with 2), with objects before
// and after them.
void FillTable(FakeAgent& agent) {
    agent.Set(Oid{1, 3, 6, 1, 2, 1, 1, 1, 0}, Value::Text("sys"));
    for (std::uint32_t row = 1; row <= 5; ++row) {
        agent.Set(kTypes.Plus({1, row}), Value::Integer(3));
        agent.Set(kLevels.Plus({1, row}), Value::Integer(100 * row));
        if (row <= 2) {
            agent.Set(kNames.Plus({1, row}), Value::Text("Tray " + std::to_string(row)));
        }
    }
    agent.Set(kTable.Plus({21, 1, 1}), Value::Text("after"));
}

struct WalkRun {
    FakeAgent agent;
    ClientSettings settings;
    WalkLimits limits;
    VersionChoice choice = VersionChoice::kV2c;
    std::vector<Rows> rows;
    WalkOutcome outcome;
    std::uint32_t requests = 0;
    std::optional<Version> version;

    WalkRun() {
        FillTable(agent);
        settings.timeoutMs = 500;
        settings.retries = 2;
    }
    void Walk(std::vector<Oid> columns = {kTypes, kLevels, kNames}) {
        Client client(agent, settings, 77);
        Walker walker(client, choice);
        outcome = walker.Walk(columns, rows, limits);
        requests = walker.requests();
        version = walker.version();
    }
};

void ExpectTable(const std::vector<Rows>& rows) {
    ASSERT_EQ(rows.size(), 3u);
    ASSERT_EQ(rows[0].size(), 5u);
    ASSERT_EQ(rows[1].size(), 5u);
    ASSERT_EQ(rows[2].size(), 2u);
    EXPECT_EQ(rows[1][4].first, (Oid{1, 5}));
    EXPECT_EQ(rows[1][4].second.number, 500);
    EXPECT_EQ(rows[2][1].second.bytes, "Tray 2");
}

TEST(SnmpWalk, OneGetBulkBringsSeveralColumnsToTheirEnds) {
    WalkRun run;
    run.Walk();
    ASSERT_EQ(run.outcome.status, WalkStatus::kOk);
    ExpectTable(run.rows);
    EXPECT_EQ(run.requests, 1u);
    ASSERT_EQ(run.agent.requests.size(), 1u);
    EXPECT_EQ(run.agent.requests[0].pdu.type, tag::kGetBulkRequest);
    EXPECT_EQ(run.agent.requests[0].pdu.varBinds.size(), 3u);
}

TEST(SnmpWalk, AnAgentThatCutsRepetitionsIsWalkedFurther) {
    WalkRun run;
    run.agent.maxVarBinds = 6;  // two rows of three columns per answer
    run.Walk();
    ASSERT_EQ(run.outcome.status, WalkStatus::kOk);
    ExpectTable(run.rows);
    // Rows 1-2, 3-4 (names end), then 5 and the end of both others.
    EXPECT_EQ(run.requests, 3u);
}

TEST(SnmpWalk, VersionOneWalksWithGetNextUntilNoSuchName) {
    WalkRun run;
    run.choice = VersionChoice::kV1;
    run.Walk();
    ASSERT_EQ(run.outcome.status, WalkStatus::kOk);
    ExpectTable(run.rows);
    EXPECT_EQ(run.requests, 6u);  // one row per request, and one to see the ends
    EXPECT_EQ(run.agent.requests[0].pdu.type, tag::kGetNextRequest);

    // A column at the very end of the agent's tree ends with noSuchName.
    WalkRun last;
    last.choice = VersionChoice::kV1;
    last.Walk({kTable.Plus({21})});
    ASSERT_EQ(last.outcome.status, WalkStatus::kOk);
    EXPECT_EQ(last.rows[0].size(), 1u);
}

TEST(SnmpWalk, AutomaticVersionFallsBackToVersionOneAndKeepsIt) {
    WalkRun run;
    run.choice = VersionChoice::kAuto;
    run.agent.speaksV2c = false;
    run.Walk();
    ASSERT_EQ(run.outcome.status, WalkStatus::kOk);
    ExpectTable(run.rows);
    EXPECT_EQ(run.version, Version::kV1);
    // Three unanswered version 2c attempts, then GetNext.
    ASSERT_GE(run.agent.requests.size(), 4u);
    EXPECT_EQ(run.agent.requests[2].version, Version::kV2c);
    EXPECT_EQ(run.agent.requests[3].version, Version::kV1);
    EXPECT_EQ(run.agent.clock, 3u * 500 + run.agent.requests.size() - 3);

    WalkRun both;
    both.choice = VersionChoice::kAuto;
    both.Walk();
    EXPECT_EQ(both.version, Version::kV2c);
    EXPECT_EQ(both.agent.requests.size(), 1u);
}

// Walks side by side whose first requests left at different moments: the later one's version
// 2c attempt times out after the earlier one has been answered in version 1.
TEST(SnmpWalk, AWalkThatTimesOutAfterAnotherFellBackFallsBackToo) {
    FakeAgent agent;
    FillTable(agent);
    agent.speaksV2c = false;
    agent.firstSendMs = 10;
    ClientSettings settings;
    settings.timeoutMs = 500;
    settings.retries = 0;
    Client client(agent, settings, 77);
    Walker walker(client, VersionChoice::kAuto);
    std::vector<Rows> rows;
    const WalkOutcome outcome =
        walker.WalkSideBySide({{kTypes, kLevels}, {kNames}}, rows, WalkLimits());
    ASSERT_EQ(outcome.status, WalkStatus::kOk);
    ExpectTable(rows);
    EXPECT_EQ(walker.version(), Version::kV1);
}

TEST(SnmpWalk, ALateAnswerToAnEarlierAttemptIsTaken) {
    WalkRun run;
    run.agent.answerAfterDrops = 1;
    run.Walk();
    ASSERT_EQ(run.outcome.status, WalkStatus::kOk);
    EXPECT_EQ(run.agent.requests.size(), 2u);
    EXPECT_EQ(run.agent.requests[0].pdu.requestId, run.agent.requests[1].pdu.requestId);
}

TEST(SnmpWalk, TooBigAsksForLessAndStillFinishes) {
    WalkRun run;
    run.agent.tooBigAbove = 1;  // one binding per request at most
    run.Walk();
    ASSERT_EQ(run.outcome.status, WalkStatus::kOk);
    ExpectTable(run.rows);
}

TEST(SnmpWalk, FailuresEndTheWalkWithTheirCode) {
    const struct {
        const char* name;
        FakeAgent::Fault fault;
        VersionChoice choice;
        WalkStatus status;
        std::int32_t code;
        std::uint64_t clock;  // the simulated time the walk took; 0: not checked
    } cases[] = {
        {"silent, one version", FakeAgent::Fault::kSilent, VersionChoice::kV2c,
         WalkStatus::kNoAnswer, code::kNoAnswer, 3 * 500},
        {"silent, both versions", FakeAgent::Fault::kSilent, VersionChoice::kAuto,
         WalkStatus::kNoAnswer, code::kNoAnswer, 2 * 3 * 500},
        {"wrong request id", FakeAgent::Fault::kWrongId, VersionChoice::kV2c,
         WalkStatus::kGarbled, code::kGarbled, 0},
        {"garbage", FakeAgent::Fault::kGarbage, VersionChoice::kAuto, WalkStatus::kGarbled,
         code::kGarbled, 0},
        {"truncated", FakeAgent::Fault::kTruncated, VersionChoice::kV2c, WalkStatus::kGarbled,
         code::kGarbled, 0},
        {"loop", FakeAgent::Fault::kLoop, VersionChoice::kV2c, WalkStatus::kLoop, code::kLoop, 0},
        {"loop, version 1", FakeAgent::Fault::kLoop, VersionChoice::kV1, WalkStatus::kLoop,
         code::kLoop, 0},
        {"backwards", FakeAgent::Fault::kBackwards, VersionChoice::kV2c, WalkStatus::kLoop,
         code::kLoop, 0},
        {"endless table", FakeAgent::Fault::kEndless, VersionChoice::kV2c, WalkStatus::kTooLarge,
         code::kTooLarge, 0},
        {"error status", FakeAgent::Fault::kErrorStatus, VersionChoice::kV2c,
         WalkStatus::kAgentError, 0x50005, 0},
        {"empty answers", FakeAgent::Fault::kEmpty, VersionChoice::kV2c, WalkStatus::kStalled,
         code::kLoop, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WalkRun run;
        run.agent.fault = c.fault;
        run.choice = c.choice;
        run.Walk();
        EXPECT_EQ(run.outcome.status, c.status);
        EXPECT_EQ(CodeFor(run.outcome), c.code);
        if (c.clock != 0) {
            EXPECT_EQ(run.agent.clock, c.clock);
        }
        // However the agent misbehaves, a walk makes a bounded number of requests.
        EXPECT_LE(run.requests, run.limits.maxRequests + 1);
    }
}

TEST(SnmpWalk, WrongCommunityIsNoAnswer) {
    WalkRun run;
    run.agent.community = "secret";
    run.Walk();
    EXPECT_EQ(run.outcome.status, WalkStatus::kNoAnswer);
}

TEST(SnmpWalk, CapsStopAGrowingWalk) {
    WalkRun rows;
    rows.limits.maxRowsPerColumn = 4;
    rows.Walk();
    EXPECT_EQ(rows.outcome.status, WalkStatus::kTooLarge);

    WalkRun requests;
    requests.limits.maxRequests = 2;
    requests.agent.maxVarBinds = 3;  // one row per answer: six requests needed
    requests.Walk();
    EXPECT_EQ(requests.outcome.status, WalkStatus::kTooLarge);
    EXPECT_EQ(requests.requests, 2u);
}

TEST(SnmpWalk, AMissingColumnComesBackEmpty) {
    WalkRun run;
    run.Walk({kTable.Plus({18}), kLevels});
    ASSERT_EQ(run.outcome.status, WalkStatus::kOk);
    EXPECT_TRUE(run.rows[0].empty());
    EXPECT_EQ(run.rows[1].size(), 5u);
}

}  // namespace
