// Walks side by side and resends paced by the round trip, on the simulated clock of the
// in-process agent: the same rows as one walk, agents that take one request at a time, a lost
// datagram resent when the estimate says its answer is late, and a lossy network's sheets.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "codes.h"
#include "fake_agent.h"
#include "printer_mib.h"
#include "recording.h"
#include "snapshot.h"

namespace {

using namespace vyxsnmp;
using snmptest::FakeAgent;

// The colour MFP served as snmpsimd serves it (64 bindings an answer), on a network of
// `roundTripMs`.
void ServeColourMfp(FakeAgent& agent, std::uint32_t roundTripMs) {
    agent.community = "colour-mfp";
    ASSERT_TRUE(snmptest::ReadRecording(std::string(VYX_SNMP_RECORDINGS) + "/colour-mfp.snmprec",
                                        agent.objects));
    agent.maxVarBinds = 64;
    agent.roundTripMs = roundTripMs;
}

ClientSettings Settings(const std::string& community) {
    ClientSettings settings;
    settings.community = community;
    return settings;
}

// Every column's rows, from the walks of a snapshot side by side, or from one walk of every
// column (`oneWalk`), each request after the last.
struct Read {
    WalkStatus status = WalkStatus::kOk;
    std::map<Column, Rows> rows;
    std::uint64_t took = 0;
};

Read ReadAll(FakeAgent& agent, bool oneWalk) {
    Client client(agent, Settings(agent.community), 1);
    Walker walker(client, VersionChoice::kV2c);
    std::vector<std::vector<Column>> walks = WalksFor(Parts::kAll);
    if (oneWalk) {
        walks = {ColumnsFor(Parts::kAll)};
    }
    std::vector<std::vector<Oid>> oids;
    std::vector<Column> order;
    for (const auto& walk : walks) {
        oids.emplace_back();
        for (const Column column : walk) {
            oids.back().push_back(ColumnOid(column));
            order.push_back(column);
        }
    }
    Read read;
    const std::uint64_t start = agent.clock;
    std::vector<Rows> rows;
    read.status = walker.WalkSideBySide(oids, rows, WalkLimits()).status;
    read.took = agent.clock - start;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        read.rows[order[i]] = rows[i];
    }
    return read;
}

bool SameRows(const std::map<Column, Rows>& a, const std::map<Column, Rows>& b) {
    auto same = [](const Rows& x, const Rows& y) {
        return std::equal(x.begin(), x.end(), y.begin(), y.end(), [](const auto& p, const auto& q) {
            return p.first == q.first && p.second.type == q.second.type &&
                   p.second.number == q.second.number && p.second.bytes == q.second.bytes &&
                   p.second.oid == q.second.oid;
        });
    };
    return a.size() == b.size() && std::all_of(a.begin(), a.end(), [&](const auto& column) {
               const auto other = b.find(column.first);
               return other != b.end() && same(column.second, other->second);
           });
}

// The same rows as one walk of every column, in the same order, from every recording.
TEST(SnmpSideBySide, TheRowsAreThoseOfOneWalk) {
    for (const char* name : {"colour-mfp", "mono-laser", "colour-no-colorants", "long-texts"}) {
        SCOPED_TRACE(name);
        FakeAgent agent;
        agent.community = name;
        ASSERT_TRUE(snmptest::ReadRecording(
            std::string(VYX_SNMP_RECORDINGS) + "/" + name + ".snmprec", agent.objects));
        agent.maxVarBinds = 64;
        const Read sideBySide = ReadAll(agent, false);
        const Read oneWalk = ReadAll(agent, true);
        ASSERT_EQ(sideBySide.status, WalkStatus::kOk);
        ASSERT_EQ(oneWalk.status, WalkStatus::kOk);
        EXPECT_TRUE(SameRows(sideBySide.rows, oneWalk.rows));
    }
}

// A printer that takes one request at a time, queueing or dropping what comes meanwhile, is
// read whole, in no more time than one walk takes one request after another: queued requests
// cost no resend, a dropped one is resent a round trip after its sibling's answer, and the
// connection keeps to one request at a time from then on.
TEST(SnmpSideBySide, APrinterThatTakesOneRequestAtATimeIsReadInNoMoreTime) {
    const struct {
        const char* name;
        FakeAgent::Busy busy;
        std::size_t datagrams;  // the walks' 4 requests, and the resends
        bool oneAtATime;
    } cases[] = {
        {"queues", FakeAgent::Busy::kQueues, 4, false},
        {"drops", FakeAgent::Busy::kDrops, 5, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeAgent agent;
        ServeColourMfp(agent, 20);
        agent.serviceMs = 10;
        agent.busy = c.busy;
        const Read oneWalk = ReadAll(agent, true);
        ASSERT_EQ(oneWalk.status, WalkStatus::kOk);
        EXPECT_EQ(oneWalk.took, 4u * 30);

        const std::size_t before = agent.datagrams;
        Client client(agent, Settings(agent.community), 1);
        Walker walker(client, VersionChoice::kV2c);
        const TextDecoder decoder;
        vyxserve::Printer printer;
        const std::uint64_t start = agent.clock;
        ASSERT_EQ(TakeSnapshot(walker, Parts::kAll, WalkLimits(), decoder, printer), 0);
        EXPECT_LE(agent.clock - start, oneWalk.took);
        EXPECT_EQ(agent.datagrams - before, c.datagrams);
        EXPECT_EQ(client.oneAtATime(), c.oneAtATime);
        EXPECT_EQ(printer.toners.size(), 9u);
        EXPECT_EQ(printer.trays.size(), 4u);
    }
}

// Ids of requests out together lie apart: an agent that answers with the id after the one it
// was asked answers none of them.
TEST(SnmpSideBySide, AnAnswerWithANeighbouringIdAnswersNoOtherRequest) {
    FakeAgent agent;
    ServeColourMfp(agent, 0);
    agent.fault = FakeAgent::Fault::kNextId;
    Client client(agent, Settings(agent.community), 1);
    Walker walker(client, VersionChoice::kV2c);
    const TextDecoder decoder;
    vyxserve::Printer printer;
    EXPECT_EQ(TakeSnapshot(walker, Parts::kAll, WalkLimits(), decoder, printer), code::kGarbled);
    EXPECT_EQ(walker.requests(), 2u);
}

// The estimate: the timeout until a round trip is measured, then the smoothed round trip and
// four times its deviation, at least the floor, doubled at each resend, at most the timeout.
TEST(SnmpRetransmission, ADatagramIsLateWhenTheEstimateSays) {
    const struct {
        std::vector<std::uint64_t> samples;
        std::uint32_t sends;
        std::uint32_t late;
    } cases[] = {
        {{}, 1, 1000},
        {{50}, 1, 200},
        {{50}, 2, 400},
        {{50}, 3, 800},
        {{50}, 4, 1000},
        {{400}, 1, 1000},
        {{300}, 1, 900},
        {{300, 300, 300, 300}, 1, 554},
        {{20, 20, 20, 20, 20, 20, 20, 20}, 1, 200},
    };
    for (const auto& c : cases) {
        RoundTrips estimate(1000);
        for (const std::uint64_t sample : c.samples) {
            estimate.Measure(sample);
        }
        EXPECT_EQ(estimate.LateAfter(c.sends), c.late)
            << c.samples.size() << " samples, send " << c.sends;
    }
}

// Loses the datagrams the client sends at the given positions (0 the first), before the agent.
class Losing : public Datagrams {
  public:
    Losing(FakeAgent& agent, std::set<std::size_t> lost) : agent_(agent), lost_(std::move(lost)) {}
    bool Send(const Bytes& datagram) override {
        return lost_.count(sent_++) != 0 || agent_.Send(datagram);
    }
    Wait Receive(Bytes& datagram, std::uint32_t ms) override {
        return agent_.Receive(datagram, ms);
    }
    std::uint64_t Now() override { return agent_.Now(); }

  private:
    FakeAgent& agent_;
    std::set<std::size_t> lost_;
    std::size_t sent_ = 0;
};

// Once a round trip (50 ms) is measured, a lost request goes again when its answer is late by
// the estimate (200 ms, then 400 more), not after a whole timeout; an agent that stops
// answering is given (retries + 1) timeouts all the same.
TEST(SnmpRetransmission, ALostRequestIsResentWhenItsAnswerIsLate) {
    const struct {
        const char* name;
        std::set<std::size_t> lost;
        ExchangeStatus second;
        std::uint64_t took;  // the second exchange's
        std::uint32_t sent;  // in all
    } cases[] = {
        {"none lost", {}, ExchangeStatus::kOk, 50, 2},
        {"lost once", {1}, ExchangeStatus::kOk, 200 + 50, 3},
        {"lost twice", {1, 2}, ExchangeStatus::kOk, 600 + 50, 4},
        {"never answered", {1, 2, 3, 4, 5, 6}, ExchangeStatus::kNoAnswer, 2000, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeAgent agent;
        ServeColourMfp(agent, 50);
        Losing network(agent, c.lost);
        Client client(network, Settings(agent.community), 1);
        Pdu get;
        get.varBinds.push_back({Oid{1, 3, 6, 1, 2, 1, 1, 1, 0}, Value()});
        Pdu response;
        ASSERT_EQ(client.Exchange(Version::kV2c, get, response), ExchangeStatus::kOk);
        const std::uint64_t start = agent.clock;
        EXPECT_EQ(client.Exchange(Version::kV2c, get, response), c.second);
        EXPECT_EQ(agent.clock - start, c.took);
        EXPECT_EQ(client.sent(), c.sent);
    }
}

// Sheets over a network of 50 ms round trips that loses 2 % of the datagrams either way, each a
// connection of its own: the 95th percentile within three round trips and one retry interval.
TEST(SnmpRetransmission, OnALossyNetworkMostSheetsTakeAtMostOneRetryMore) {
    FakeAgent agent;
    ServeColourMfp(agent, 50);
    agent.lossPerMille = 20;
    agent.seed = 20240611;
    std::vector<std::uint64_t> took;
    std::uint32_t retryInterval = 0;
    for (int sheet = 0; sheet < 100; ++sheet) {
        Client client(agent, Settings(agent.community), sheet * 7919 + 1);
        Walker walker(client, VersionChoice::kV2c);
        const TextDecoder decoder;
        vyxserve::Printer printer;
        const std::uint64_t start = agent.clock;
        ASSERT_EQ(TakeSnapshot(walker, Parts::kAll, WalkLimits(), decoder, printer), 0);
        took.push_back(agent.clock - start);
        if (client.sent() == 4) {
            retryInterval = std::max(retryInterval, client.roundTrips().LateAfter(1));
        }
    }
    std::sort(took.begin(), took.end());
    const std::uint64_t p95 = took[took.size() * 95 / 100];
    std::cout << "2 % loss, 50 ms round trips: median " << took[took.size() / 2] << " ms, 95th "
              << p95 << " ms, slowest " << took.back() << " ms; retry interval " << retryInterval
              << " ms\n";
    EXPECT_EQ(took[took.size() / 2], 100u);
    EXPECT_LE(p95, 3 * 50 + retryInterval);
}

}  // namespace
