// How many requests a dump takes against the project's recordings, served the way snmpsimd
// serves them (at most 64 bindings per answer), against what snmpbulkwalk needs to walk the
// same tables.
#include <gtest/gtest.h>

#include "fake_agent.h"
#include "printer_mib.h"
#include "recording.h"
#include "snapshot.h"

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

TEST(SnmpRequests, ADumpIsOneWalkWithinTwiceWhatSnmpbulkwalkNeeds) {
    const struct {
        const char* name;
        std::size_t requests;  // the dump's
    } recordings[] = {{"colour-mfp", 4}, {"mono-laser", 2}, {"colour-no-colorants", 2}};
    for (const auto& [name, requests] : recordings) {
        SCOPED_TRACE(name);
        FakeAgent agent;
        ASSERT_TRUE(LoadRecording(name, agent));
        agent.maxVarBinds = 64;  // snmpsimd's default
        Client client(agent, ClientSettings{name, 1000, 1, DecodeLimits()}, 1);
        Walker walker(client, VersionChoice::kAuto);
        const TextDecoder decoder;
        vyxserve::Printer printer;
        // What bidiprobe dump asks of the module: the connection's snapshot, which answers the
        // first colour session, attribute session and template listing.
        ASSERT_EQ(TakeSnapshot(walker, Parts::kAll, WalkLimits(), decoder, printer), 0);
        const std::size_t dump = agent.requests.size();

        std::size_t bulkwalk = 0;
        for (const Oid& table : kTables) {
            bulkwalk += BulkWalkRequests(agent, table, 10);
        }
        std::cout << name << ": " << dump << " requests per dump; snmpbulkwalk needs " << bulkwalk
                  << " for the same tables\n";
        EXPECT_LE(dump, 2 * bulkwalk);
        EXPECT_EQ(dump, requests);
    }
}

}  // namespace
