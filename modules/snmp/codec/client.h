// Requests and their responses over a datagram transport, several at once: request ids telling
// the answers apart, resends paced by the round trips measured on the connection, and a bounded
// wait; for version 3 also the engine (discovered, or known from an earlier connection to the
// same printer) and the one resend a stale clock earns. The transport is an interface so that
// the same client runs over Winsock in the module, over a scripted agent in the native tests,
// and over a counting wrapper in the benchmark.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "engine_cache.h"
#include "message.h"
#include "usm_session.h"

namespace vyxsnmp {

// Sends and receives whole datagrams to and from one agent.
class Datagrams {
  public:
    enum class Wait { kDatagram, kTimeout, kFailed };

    virtual ~Datagrams() = default;
    // False when the datagram could not be sent at all.
    virtual bool Send(const Bytes& datagram) = 0;
    // Waits at most `milliseconds` for one datagram.
    virtual Wait Receive(Bytes& datagram, std::uint32_t milliseconds) = 0;
    // A monotonic clock in milliseconds.
    virtual std::uint64_t Now() = 0;
    // The datagram received last was the agent's answer: a transport that tried several
    // addresses for one host keeps to the one it came from.
    virtual void Confirm() {}
};

struct ClientSettings {
    std::string community = "public";  // versions 1 and 2c
    std::uint32_t timeoutMs = 1000;    // per attempt
    std::uint32_t retries = 1;         // attempts after the first
    DecodeLimits limits;
};

enum class ExchangeStatus {
    kOk,
    kNoAnswer,    // nothing came back within the attempts
    kGarbled,     // only answers that did not decode or did not match the request came back
    kSendFailed,  // the transport could not send or receive
    kRefused,     // version 3: the agent's security refused the request (see the refusal)
};

// When a datagram's answer is late, from the round trips measured on one connection: a smoothed
// round trip and its mean deviation, as TCP's retransmission timer keeps them, with a floor
// under the result and the attempt's timeout over it. Only answers to datagrams sent once are
// measured: with the request id kept, an answer to a resent one may answer either sending.
class RoundTrips {
  public:
    static constexpr std::uint32_t kFloorMs = 200;

    explicit RoundTrips(std::uint32_t timeoutMs) : timeoutMs_(timeoutMs) {}

    void Measure(std::uint64_t ms);
    bool measured() const { return measured_; }
    // The smoothed round trip (0 before any was measured).
    std::uint32_t smoothed() const { return static_cast<std::uint32_t>(smoothed8_ / 8); }
    // How long after its `sends`-th sending (1 for the first) a datagram's answer is late: the
    // timeout until a round trip has been measured, then the estimate, doubled at each resend of
    // the same datagram; never beyond the timeout.
    std::uint32_t LateAfter(std::uint32_t sends) const;

  private:
    std::uint32_t timeoutMs_;
    bool measured_ = false;
    std::uint64_t smoothed8_ = 0;   // eight times the smoothed round trip
    std::uint64_t deviation4_ = 0;  // four times the mean deviation
};

class Client {
  public:
    using Ticket = std::uint32_t;

    // Version 3 speaks as `user` through `crypto`, which must outlive the client; without them
    // it is refused. With `engines`, an engine learnt from `printer` (its normalised URI) is
    // kept there, and one kept from an earlier connection is used without discovery.
    Client(Datagrams& transport, const ClientSettings& settings, std::int32_t firstRequestId,
           Crypto* crypto = nullptr, const UsmUser* user = nullptr,
           vyxserve::EngineCache* engines = nullptr, std::string printer = {});
    ~Client();

    // Starts an exchange: `request` as `version` (its request id is set here) goes out now, or
    // (version 3) once the engine is known, or (one at a time, below) once the agent is free.
    // Every sending of it keeps the request id, so that a late answer to an earlier one is still
    // taken. Each is resent whenever its answer is late (RoundTrips), and ends at the latest
    // (retries + 1) timeouts after it first went out.
    Ticket Start(Version version, Pdu request);

    struct Ended {
        Ticket ticket = 0;
        ExchangeStatus status = ExchangeStatus::kNoAnswer;
        Refusal refusal = Refusal::kNone;  // why kRefused
        Pdu response;                      // with kOk: the response with the request's id
    };
    // Waits for the next exchange to end, in the order they end. False when none is under way.
    bool Next(Ended& ended);
    // Drops every exchange under way: answers to them that still come are not taken.
    void Abandon();

    // One exchange alone: Start, then Next.
    ExchangeStatus Exchange(Version version, Pdu request, Pdu& response);

    // Why the last kRefused exchange of Exchange() was refused.
    Refusal refusal() const { return refusal_; }
    // Datagrams sent so far, resends and discovery included.
    std::uint32_t sent() const { return sent_; }
    // Whether the agent has been seen to drop a request sent while it was busy with another, so
    // that this client sends one at a time (until an answer that came after all shows the agent
    // had queued it).
    bool oneAtATime() const { return oneAtATime_; }
    const RoundTrips& roundTrips() const { return roundTrips_; }
    const ClientSettings& settings() const { return settings_; }

  private:
    struct Flight;
    enum class Engine { kNone, kDiscovering, kKnown };

    std::int32_t NextRequestId();
    Flight* Find(Ticket ticket);
    // Gives `flight` its datagram (version 3: wrapped for the engine as known now).
    bool Prepare(Flight& flight);
    void SendDue(std::uint64_t now);
    void SendFlight(Flight& flight, std::uint64_t now);
    std::uint64_t LateAt(const Flight& flight) const;
    bool Occupied(const Flight& except, std::uint64_t now) const;
    void EndPastDeadlines(std::uint64_t now);
    void Take(const Bytes& datagram, std::uint64_t now);
    void TakeV3(const Bytes& datagram, std::uint64_t now);
    void TakeDiscovery(Flight& flight, const Bytes& datagram, std::uint64_t now);
    void TakeV3Answer(Flight& flight, const Bytes& datagram, std::uint64_t now);
    // A report `refusal` to a version 3 request: resend, discover again, or refuse.
    void Reported(Flight& flight, Refusal refusal, std::uint64_t now);
    void Discover();
    void Answered(Flight& flight, std::uint64_t now);
    // Every flight under way saw a datagram that was not its answer (`bad`: not even one to a
    // message of ours).
    void MarkGarbled(bool bad);
    void End(Flight& flight, ExchangeStatus status, Refusal refusal = Refusal::kNone,
             Pdu response = Pdu());
    void EndAll(ExchangeStatus status, Refusal refusal = Refusal::kNone);
    // What a flight that got no usable answer by its deadline comes to.
    void Expire(Flight& flight);

    Datagrams& transport_;
    ClientSettings settings_;
    std::int32_t nextId_;
    std::uint32_t sent_ = 0;
    std::unique_ptr<UsmSession> usm_;
    vyxserve::EngineCache* engines_;
    std::string printer_;
    Engine engine_ = Engine::kNone;
    bool engineUnconfirmed_ = false;  // known from the cache, not yet answered authentically
    Refusal refusal_ = Refusal::kNone;
    RoundTrips roundTrips_;
    bool oneAtATime_ = false;
    std::uint64_t burst_ = 0;  // datagrams sent between two waits share one
    Ticket nextTicket_ = 1;
    std::vector<std::unique_ptr<Flight>> flights_;
    std::deque<Ended> ended_;
};

}  // namespace vyxsnmp
