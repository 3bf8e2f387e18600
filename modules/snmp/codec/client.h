// One request and its response over a datagram transport: request ids, retries and a bounded
// wait; for version 3 also engine discovery and the one resend a stale clock earns. The
// transport is an interface so that the same client runs over Winsock in the module,
// over a scripted agent in the native tests, and over a counting wrapper in the benchmark.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

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
    kRefused,     // version 3: the agent's security refused the request (see refusal())
};

class Client {
  public:
    // Version 3 speaks as `user` through `crypto`, which must outlive the client; without them
    // it is refused.
    Client(Datagrams& transport, const ClientSettings& settings, std::int32_t firstRequestId,
           Crypto* crypto = nullptr, const UsmUser* user = nullptr);
    ~Client();

    // Sends `request` as `version` (its request id is set here) and waits for the response
    // with the same id, version and community (version 3: message id, engine and user). Every
    // attempt reuses the request id, so that a late answer to an earlier attempt is still
    // taken. Version 3 discovers the engine first, once per client, and sends again once when
    // the engine reports the clock stale.
    ExchangeStatus Exchange(Version version, Pdu request, Pdu& response);

    // Why the last kRefused exchange was refused.
    Refusal refusal() const { return refusal_; }
    // Datagrams sent so far, retries included.
    std::uint32_t sent() const { return sent_; }
    const ClientSettings& settings() const { return settings_; }

  private:
    enum class Answer { kMatch, kReport, kOther, kBad };
    enum class Outcome { kMatched, kReported, kNoAnswer, kGarbled, kSendFailed };
    // What an exchange whose answer needs no more reading comes to.
    static ExchangeStatus StatusOf(Outcome outcome);
    Answer Check(const Bytes& datagram, Version version, std::int32_t id, Pdu& response) const;
    // Sends `datagram` with retries until `check` (an Answer of a datagram) finds its answer
    // or report.
    template <typename Matcher>
    Outcome Transact(const Bytes& datagram, Matcher&& check);
    ExchangeStatus ExchangeV3(Pdu request, Pdu& response);
    ExchangeStatus Discover();
    std::int32_t NextRequestId();

    Datagrams& transport_;
    ClientSettings settings_;
    std::int32_t nextId_;
    std::uint32_t sent_ = 0;
    std::unique_ptr<UsmSession> usm_;
    Refusal refusal_ = Refusal::kNone;
};

}  // namespace vyxsnmp
