// An SNMP agent inside the test process, behind the Datagrams interface: it answers from a map
// of objects on a simulated clock, so walks and their failures run instantly and exactly. Its
// misbehaviours are switches, one per way a real agent goes wrong. With `v3.crypto` set it is
// also a version 3 engine with one user. With a round trip set, answers come back when a network
// and an agent that works on each request for a while would return them, datagrams are lost by
// chance, and an agent may work on one request at a time.
#pragma once

#include <deque>
#include <functional>
#include <map>

#include "client.h"
#include "message_v3.h"

namespace snmptest {

using vyxsnmp::Bytes;
using vyxsnmp::Oid;
using vyxsnmp::Value;

class FakeAgent : public vyxsnmp::Datagrams {
  public:
    enum class Fault {
        kNone,
        kSilent,         // never answers
        kWrongId,        // answers with another request id
        kNextId,         // answers with the request id after the one it was asked
        kGarbage,        // answers bytes that are no SNMP message
        kTruncated,      // answers its response cut in half
        kLoop,           // answers every GetNext/GetBulk with the object that was asked for
        kBackwards,      // answers an object before the one asked for
        kEndless,        // makes up a new row after every row, forever (columns of 11 parts)
        kErrorStatus,    // answers error-status `errorStatus`
        kEmpty,          // answers with no variable bindings
    };

    std::map<Oid, Value> objects;
    std::string community = "public";
    bool speaksV1 = true;
    bool speaksV2c = true;
    Fault fault = Fault::kNone;
    std::int32_t errorStatus = vyxsnmp::error_status::kGenErr;
    std::size_t maxVarBinds = 0;     // like pysnmp: repetitions cut to this / columns (0: none)
    std::size_t tooBigAbove = 0;     // answers tooBig to requests with more bindings (0: never)
    std::size_t answerAfterDrops = 0;  // ignores this many datagrams before answering
    std::uint32_t firstSendMs = 0;     // the first datagram takes so long to go (a route found)

    // Timing: an answer comes back `roundTripMs` after its request went out, plus the
    // `serviceMs` the agent works on it (0 and 0: at once, each answer a millisecond after the
    // last). What the agent does with a request that comes while it works on another: works on
    // both, works on it after (one at a time, queued), or drops it (one at a time, dropped).
    enum class Busy { kParallel, kQueues, kDrops };
    std::uint32_t roundTripMs = 0;
    std::uint32_t serviceMs = 0;
    std::uint32_t serviceMsPerKiB = 0;  // and so much more for each KiB of its answer
    Busy busy = Busy::kParallel;
    // Each datagram, either way, lost with this chance in a thousand, drawn from `seed`.
    std::uint32_t lossPerMille = 0;
    std::uint64_t seed = 1;

    // Version 3: the engine, its clock (timeBase seconds at clock 0), its one user (the highest
    // level it takes, its protocols, passwords and context) and its misbehaviours.
    struct V3 {
        enum class Fault {
            kNone,
            kBadDigest,      // spoils the MAC of every response
            kStale,          // reports notInTimeWindow to everything, as an endless loop would
            kStaleOnce,      // tells discovery time 0, so the first request is stale
            kHugeEngineId,   // names an engine id of 300 bytes in discovery
            kForgetsEngine,  // reports unknownEngineIDs after discovery
            kDrops,          // answers discovery, then nothing
        };
        vyxsnmp::Crypto* crypto = nullptr;
        std::string engineId = std::string("\x80\x00\x1f\x88\x04", 5) + "vyxtest";
        std::uint32_t boots = 3;
        std::uint32_t timeBase = 1000;
        vyxsnmp::UsmUser user;
        Fault fault = Fault::kNone;
        std::vector<vyxsnmp::V3Message> requests;  // the header of every request
    } v3;

    // What the module sent: every datagram decoded, retries included (version 3: v3.requests).
    std::vector<vyxsnmp::Message> requests;
    std::size_t datagrams = 0;  // every datagram the module sent, whatever became of it
    std::uint64_t clock = 0;

    bool Send(const Bytes& datagram) override;
    Wait Receive(Bytes& datagram, std::uint32_t milliseconds) override;
    std::uint64_t Now() override { return clock; }

    void Set(const Oid& oid, const Value& value) { objects[oid] = value; }

  private:
    static constexpr std::size_t kColumnLength = 11;  // Printer MIB columns: 1.3.6.1.2.1.43.x.y.1.z
    vyxsnmp::Pdu Answer(const vyxsnmp::Pdu& request) const;
    void AnswerV3(const Bytes& datagram);
    // A message of this engine at `flags` carrying `pdu` in answer to `request`.
    Bytes WrapV3(const vyxsnmp::V3Message& request, std::uint8_t flags, const vyxsnmp::Pdu& pdu);
    vyxsnmp::UsmKeys keys_;
    bool keyed_ = false;
    bool Next(const Oid& after, Oid& name, Value& value) const;
    // When the answer to a request sent now goes back; false when it never does.
    bool AnswerAt(std::uint64_t& at);
    bool Lost();
    // Queues the answer to the request being taken.
    void Reply(Bytes bytes);
    struct Queued {
        std::uint64_t at;
        Bytes bytes;
    };
    std::deque<Queued> queue_;
    bool answering_ = false;      // the request being taken is answered...
    std::uint64_t answerAt_ = 0;  // ...then
    std::uint64_t busyUntil_ = 0;
};

}  // namespace snmptest
