// How many requests and round trips a dump takes against the project's recordings, served the
// way snmpsimd serves them (at most 64 bindings per answer), against what one walk of every
// column one request after another and snmpbulkwalk need to walk the same tables.
#include <gtest/gtest.h>

#include "engine_cache.h"
#include "fake_agent.h"
#include "printer_mib.h"
#include "recording.h"
#include "snapshot.h"
#include "test_crypto.h"

namespace {

using namespace vyxsnmp;
using snmptest::FakeAgent;

bool LoadRecording(const std::string& name, FakeAgent& agent) {
    agent.community = name;
    return snmptest::ReadRecording(std::string(VYX_SNMP_RECORDINGS) + "/" + name + ".snmprec",
                                   agent.objects);
}

// The tables the module reads, each as snmpbulkwalk would be given it.
const Oid kTables[] = {
    {1, 3, 6, 1, 2, 1, 1},           {1, 3, 6, 1, 2, 1, 25, 3, 2},   {1, 3, 6, 1, 2, 1, 43, 5, 1},
    {1, 3, 6, 1, 2, 1, 43, 7, 1},    {1, 3, 6, 1, 2, 1, 43, 8, 2},   {1, 3, 6, 1, 2, 1, 43, 9, 2},
    {1, 3, 6, 1, 2, 1, 43, 10, 2},   {1, 3, 6, 1, 2, 1, 43, 11, 1},  {1, 3, 6, 1, 2, 1, 43, 12, 1},
    {1, 3, 6, 1, 2, 1, 43, 13, 4},   {1, 3, 6, 1, 2, 1, 43, 30, 1},
};

// snmpbulkwalk's requests for one subtree: GetBulk of one binding, `repetitions` at a time,
// until an answer leaves the subtree.
std::size_t BulkWalkRequests(FakeAgent& agent, const Oid& subtree, std::uint32_t repetitions) {
    Client client(agent, ClientSettings{agent.community, 1000, 1, DecodeLimits()}, 1);
    Oid last = subtree;
    for (std::size_t requests = 1;; ++requests) {
        Pdu request;
        request.type = tag::kGetBulkRequest;
        request.errorIndex = static_cast<std::int32_t>(repetitions);
        request.varBinds = {{last, Value()}};
        Pdu response;
        if (client.Exchange(Version::kV2c, request, response) != ExchangeStatus::kOk) {
            return 0;
        }
        for (const VarBind& bind : response.varBinds) {
            if (!bind.name.IsBelow(subtree) || bind.value.IsException()) {
                return requests;
            }
            last = bind.name;
        }
    }
}

// The snapshot of a connection, which is all bidiprobe dump asks of the module (it answers the
// first colour session, attribute session and template listing), on a network of 50 ms round
// trips: requests and round trips.
struct Sheet {
    std::size_t requests = 0;
    std::uint64_t roundTrips = 0;
};
constexpr std::uint32_t kRoundTripMs = 50;

Sheet TakeSheet(FakeAgent& agent, Client& client, VersionChoice version) {
    const std::size_t before = agent.datagrams;
    const std::uint64_t start = agent.clock;
    Walker walker(client, version);
    const TextDecoder decoder;
    vyxserve::Printer printer;
    EXPECT_EQ(TakeSnapshot(walker, Parts::kAll, WalkLimits(), decoder, printer), 0);
    return Sheet{agent.datagrams - before, (agent.clock - start) / kRoundTripMs};
}

TEST(SnmpRequests, ADumpCostsTheLongestWalksRoundTripsWithinTwiceWhatSnmpbulkwalkNeeds) {
    const struct {
        const char* name;
        Sheet sheet;          // the dump's
        std::size_t oneWalk;  // requests, one after another, of a single walk of every column
    } recordings[] = {
        {"colour-mfp", {4, 2}, 4}, {"mono-laser", {2, 1}, 2}, {"colour-no-colorants", {3, 2}, 2}};
    for (const auto& [name, expected, oneWalk] : recordings) {
        SCOPED_TRACE(name);
        FakeAgent agent;
        ASSERT_TRUE(LoadRecording(name, agent));
        agent.maxVarBinds = 64;  // snmpsimd's default
        agent.roundTripMs = kRoundTripMs;
        Client client(agent, ClientSettings{name, 1000, 1, DecodeLimits()}, 1);
        const Sheet sheet = TakeSheet(agent, client, VersionChoice::kAuto);

        Client alone(agent, ClientSettings{name, 1000, 1, DecodeLimits()}, 1);
        Walker walker(alone, VersionChoice::kV2c);
        std::vector<Oid> columns;
        for (const Column column : ColumnsFor(Parts::kAll)) {
            columns.push_back(ColumnOid(column));
        }
        std::vector<Rows> rows;
        const std::size_t before = agent.datagrams;
        ASSERT_EQ(walker.Walk(columns, rows, WalkLimits()).status, WalkStatus::kOk);
        EXPECT_EQ(agent.datagrams - before, oneWalk);

        std::size_t bulkwalk = 0;
        for (const Oid& table : kTables) {
            bulkwalk += BulkWalkRequests(agent, table, 10);
        }
        std::cout << name << ": " << sheet.requests << " requests in " << sheet.roundTrips
                  << " round trips per dump (one walk: " << oneWalk
                  << " one after another); snmpbulkwalk needs " << bulkwalk
                  << " for the same tables\n";
        EXPECT_LE(sheet.requests, 2 * bulkwalk);
        EXPECT_EQ(sheet.requests, expected.requests);
        EXPECT_EQ(sheet.roundTrips, expected.roundTrips);
    }
}

// The colour MFP as an SNMPv3 engine at authPriv, on a network of 50 ms round trips.
struct V3Printer {
    std::unique_ptr<Crypto> crypto = snmptest::MakeTestCrypto();
    FakeAgent agent;
    UsmUser user;

    V3Printer() {
        EXPECT_TRUE(LoadRecording("colour-mfp", agent));
        agent.maxVarBinds = 64;
        agent.roundTripMs = kRoundTripMs;
        user.name = "operator";
        user.level = SecurityLevel::kPriv;
        user.authPassword = Secret("auth-password", 13);
        user.privPassword = Secret("privacy-password", 16);
        user.context = "colour-mfp";
        agent.v3.crypto = crypto.get();
        agent.v3.user = user;
    }
};

// Over SNMPv3 at authPriv: the engine's discovery first, then the walks; a second connection in
// the same process knows the engine and goes straight to the walks.
TEST(SnmpRequests, AnSnmpV3DumpDiscoversTheEngineOncePerProcess) {
    V3Printer printer;
    vyxserve::EngineCache engines;
    const Sheet expected[] = {{5, 3}, {4, 2}};
    for (const Sheet& connection : expected) {
        Client client(printer.agent, ClientSettings(), 1, printer.crypto.get(), &printer.user,
                      &engines, "snmp://printer:161");
        const Sheet sheet = TakeSheet(printer.agent, client, VersionChoice::kV3);
        EXPECT_EQ(sheet.requests, connection.requests);
        EXPECT_EQ(sheet.roundTrips, connection.roundTrips);
    }
    const auto& sent = printer.agent.v3.requests;
    ASSERT_EQ(sent.size(), 9u);
    EXPECT_TRUE(sent[0].usm.engineId.empty());                // the first connection's discovery
    EXPECT_EQ(sent[5].usm.engineId, printer.agent.v3.engineId);  // the second's first request
}

// An engine on the local network (2 ms round trips) that answers discovery at once and takes its
// time over a whole GetBulk, one request at a time: the second walk's first answer, queued
// behind the first's, comes later than the round trips measured so far (mostly discovery's)
// would have it, and is still not taken for dropped.
TEST(SnmpRequests, AnAgentThatQueuesLongAnswersIsNotTakenForOneThatDrops) {
    V3Printer printer;
    printer.agent.roundTripMs = 2;
    printer.agent.busy = FakeAgent::Busy::kQueues;
    printer.agent.serviceMsPerKiB = 20;
    Client client(printer.agent, ClientSettings(), 1, printer.crypto.get(), &printer.user);
    TakeSheet(printer.agent, client, VersionChoice::kV3);
    EXPECT_EQ(printer.agent.datagrams, 5u);
    EXPECT_FALSE(client.oneAtATime());
}

}  // namespace
