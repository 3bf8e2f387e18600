// One user's security state with one authoritative engine: the engine's identity and clock as
// discovered, the keys localised to it, the salts, and what each incoming message is: the answer
// to a request, a report refusing it, an answer to something else, or nothing to trust.
#pragma once

#include <cstdint>
#include <string>

#include "engine_cache.h"
#include "message_v3.h"
#include "usm.h"

namespace vyxsnmp {

// The user a version 3 connection speaks as, with the passwords its level needs.
struct UsmUser {
    std::string name;
    SecurityLevel level = SecurityLevel::kNoAuth;
    AuthProtocol auth = AuthProtocol::kSha1;
    PrivProtocol priv = PrivProtocol::kAes128;
    Secret authPassword;
    Secret privPassword;
    std::string context;
};

// Why an agent's security refused a request: the report it sent, or what the client saw.
enum class Refusal {
    kNone,
    kUnknownUser,       // usmStatsUnknownUserNames
    kWrongDigest,       // usmStatsWrongDigests: a wrong authentication password
    kUnsupportedLevel,  // usmStatsUnsupportedSecLevels
    kDecryption,        // usmStatsDecryptionErrors: a wrong privacy password or protocol
    kNotInTimeWindow,   // usmStatsNotInTimeWindows, again after one resend
    kUnknownEngine,     // usmStatsUnknownEngineIDs after discovery
    kUnknownContext,    // snmpUnknownContexts or snmpUnavailableContexts
    kOtherReport,       // any other report
    kSilent,            // discovery was answered, the request never: dropped by the agent
    kCrypto,            // the system's cryptography failed
};

class UsmSession {
  public:
    // kUnverified: an answer to the request whose digest this user's key does not verify.
    enum class Reply { kResponse, kReport, kOther, kBad, kUnverified };

    UsmSession(Crypto& crypto, const UsmUser& user, const DecodeLimits& limits);

    bool discovered() const { return !engineId_.empty(); }
    const std::string& engineId() const { return engineId_; }

    // The empty-user request that draws the engine's identity from it.
    Bytes DiscoveryRequest(std::int32_t msgId, std::int32_t requestId) const;
    // kReport (or kResponse) when `datagram` answers discovery `msgId` with an engine identity,
    // which is then taken, with its clock, and the keys localised to it; `keysFailed` tells
    // when that failed. The passwords are wiped then: the keys are all the session needs.
    Reply TakeEngine(const Bytes& datagram, std::int32_t msgId, std::uint64_t now,
                     bool& keysFailed);
    // Takes an engine learnt earlier (by another connection) and localises the keys to it;
    // false when that failed. The passwords are kept, for a discovery should the engine have
    // changed since, until ForgetPasswords().
    bool AdoptEngine(const vyxserve::EngineRecord& engine);
    void ForgetPasswords();
    // The engine's identity and its clock at `now`, as this session knows them (for the shared
    // cache); the clock is carried forward in whole seconds, so that a record taken again and
    // again never falls behind the engine's.
    vyxserve::EngineRecord engine(std::uint64_t now) const;
    // The refusal an unauthenticated report answering message `msgId` names, from whichever
    // engine it says it comes; kNone for anything else. Such a report proves nothing: it is
    // only ever taken as a reason to discover the engine again.
    Refusal PlainReport(const Bytes& datagram, std::int32_t msgId) const;

    // `pdu` as a message of this user's level to the discovered engine.
    bool Wrap(const Pdu& pdu, std::int32_t msgId, std::uint64_t now, Bytes& datagram);
    // What `datagram` is for the request `msgId`/`requestId`: kResponse fills `response`,
    // kReport `refusal`. A message that fails authentication is kUnverified (unless it is a
    // plain report, which can only refuse), one from another engine or outside the time window
    // kBad: neither is ever trusted.
    Reply Unwrap(const Bytes& datagram, std::int32_t msgId, std::int32_t requestId,
                 std::uint64_t now, Pdu& response, Refusal& refusal);

  private:
    std::uint32_t EngineTime(std::uint64_t now) const;
    bool Authentic(const Bytes& datagram, const V3Message& message);
    bool InTimeWindow(const UsmParameters& usm, std::uint64_t now) const;
    void SetClock(std::uint32_t boots, std::uint32_t time, std::uint64_t now);

    Crypto& crypto_;
    UsmUser user_;
    DecodeLimits limits_;
    UsmKeys keys_;
    std::string engineId_;
    std::uint32_t boots_ = 0;
    std::uint32_t time_ = 0;
    std::uint64_t clockAt_ = 0;  // the local clock when boots_ and time_ were learnt
    std::uint64_t salt_ = 0;
};

// Which refusal a report's first variable binding names.
Refusal ClassifyReport(const Pdu& report);

}  // namespace vyxsnmp
