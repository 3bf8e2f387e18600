// A user's security state with one engine: discovery, the clock, outgoing and incoming messages.
#include "usm_session.h"

#include <algorithm>

namespace vyxsnmp {
namespace {

constexpr std::uint32_t kTimeWindow = 150;  // seconds either way an engine's clock may differ
constexpr std::uint32_t kLatchedBoots = 0x7FFFFFFF;  // an engine that must be reconfigured

ByteView View(const std::string& bytes) {
    return ByteView{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

std::string Text(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace

Refusal ClassifyReport(const Pdu& report) {
    if (report.varBinds.empty()) {
        return Refusal::kOtherReport;
    }
    const Oid& name = report.varBinds[0].name;
    const Oid usmStats{1, 3, 6, 1, 6, 3, 15, 1, 1};
    const Oid targetObjects{1, 3, 6, 1, 6, 3, 12, 1};
    if (name.IsBelow(usmStats) && name.size() > usmStats.size()) {
        switch (name[usmStats.size()]) {
            case 1:
                return Refusal::kUnsupportedLevel;
            case 2:
                return Refusal::kNotInTimeWindow;
            case 3:
                return Refusal::kUnknownUser;
            case 4:
                return Refusal::kUnknownEngine;
            case 5:
                return Refusal::kWrongDigest;
            case 6:
                return Refusal::kDecryption;
        }
    }
    if (name.IsBelow(targetObjects) && name.size() > targetObjects.size() &&
        (name[targetObjects.size()] == 4 || name[targetObjects.size()] == 5)) {
        return Refusal::kUnknownContext;
    }
    return Refusal::kOtherReport;
}

UsmSession::UsmSession(Crypto& crypto, const UsmUser& user, const DecodeLimits& limits)
    : crypto_(crypto), user_(user), limits_(limits) {
    // Salts start somewhere unpredictable, so that two connections never share one.
    std::uint8_t seed[8] = {0};
    crypto_.Random(seed, sizeof seed);
    for (const std::uint8_t byte : seed) {
        salt_ = (salt_ << 8) | byte;
    }
}

Bytes UsmSession::DiscoveryRequest(std::int32_t msgId, std::int32_t requestId) const {
    V3Message message;
    message.msgId = msgId;
    message.flags = msg_flags::kReportable;
    message.scoped.pdu.type = tag::kGetRequest;
    message.scoped.pdu.requestId = requestId;
    return EncodeV3Message(message);
}

UsmSession::Reply UsmSession::TakeEngine(const Bytes& datagram, std::int32_t msgId,
                                         std::uint64_t now, bool& keysFailed) {
    keysFailed = false;
    V3Message message;
    if (DecodeV3Message(datagram.data(), datagram.size(), limits_, message) != DecodeStatus::kOk ||
        message.securityModel != kUsmSecurityModel) {
        return Reply::kBad;
    }
    if (message.msgId != msgId) {
        return Reply::kOther;
    }
    const std::uint8_t type = message.scoped.pdu.type;
    if ((message.flags & msg_flags::kAuth) || message.usm.engineId.empty() ||
        (type != tag::kReport && type != tag::kResponse)) {
        return Reply::kBad;
    }
    keysFailed = !AdoptEngine(
        vyxserve::EngineRecord{message.usm.engineId, message.usm.boots, message.usm.time, now});
    ForgetPasswords();
    return type == tag::kReport ? Reply::kReport : Reply::kResponse;
}

bool UsmSession::AdoptEngine(const vyxserve::EngineRecord& engine) {
    engineId_ = engine.id;
    SetClock(engine.boots, engine.time, engine.at);
    return DeriveKeys(crypto_, user_.auth, user_.priv, user_.level, user_.authPassword,
                      user_.privPassword, View(engineId_), keys_);
}

void UsmSession::ForgetPasswords() {
    user_.authPassword = Secret();
    user_.privPassword = Secret();
}

vyxserve::EngineRecord UsmSession::engine(std::uint64_t now) const {
    const std::uint64_t seconds = now > clockAt_ ? (now - clockAt_) / 1000 : 0;
    return vyxserve::EngineRecord{engineId_, boots_, EngineTime(clockAt_ + seconds * 1000),
                                  clockAt_ + seconds * 1000};
}

Refusal UsmSession::PlainReport(const Bytes& datagram, std::int32_t msgId) const {
    V3Message message;
    if (DecodeV3Message(datagram.data(), datagram.size(), limits_, message) != DecodeStatus::kOk ||
        message.securityModel != kUsmSecurityModel || message.msgId != msgId ||
        (message.flags & (msg_flags::kAuth | msg_flags::kPriv)) != 0 ||
        message.scoped.pdu.type != tag::kReport) {
        return Refusal::kNone;
    }
    return ClassifyReport(message.scoped.pdu);
}

std::uint32_t UsmSession::EngineTime(std::uint64_t now) const {
    const std::uint64_t elapsed = now > clockAt_ ? (now - clockAt_) / 1000 : 0;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(time_ + elapsed, 0x7FFFFFFF));
}

void UsmSession::SetClock(std::uint32_t boots, std::uint32_t time, std::uint64_t now) {
    boots_ = boots;
    time_ = time;
    clockAt_ = now;
}

bool UsmSession::Wrap(const Pdu& pdu, std::int32_t msgId, std::uint64_t now, Bytes& datagram) {
    V3Message message;
    message.msgId = msgId;
    message.flags = msg_flags::kReportable;
    message.usm.engineId = engineId_;
    message.usm.userName = user_.name;
    message.scoped.contextEngineId = engineId_;
    message.scoped.contextName = user_.context;
    message.scoped.pdu = pdu;
    if (user_.level != SecurityLevel::kNoAuth) {
        message.flags |= msg_flags::kAuth;
        message.usm.boots = boots_;
        message.usm.time = EngineTime(now);
        message.usm.authParams.assign(MacSize(user_.auth), '\0');
    }
    if (user_.level == SecurityLevel::kPriv) {
        message.flags |= msg_flags::kPriv;
        const Bytes plain = EncodeScopedPdu(message.scoped);
        Bytes cipher;
        Bytes privParams;
        const PrivacyClock clock{message.usm.boots, message.usm.time, salt_++};
        if (!EncryptScopedPdu(crypto_, user_.priv, keys_.priv, clock,
                              ByteView{plain.data(), plain.size()}, cipher, privParams)) {
            return false;
        }
        message.encrypted = Text(cipher);
        message.usm.privParams = Text(privParams);
    }
    std::size_t authOffset = 0;
    datagram = EncodeV3Message(message, &authOffset);
    if (user_.level == SecurityLevel::kNoAuth) {
        return true;
    }
    return authOffset != 0 &&
           ComputeMac(crypto_, user_.auth, keys_.auth, ByteView{datagram.data(), datagram.size()},
                      datagram.data() + authOffset);
}

bool UsmSession::Authentic(const Bytes& datagram, const V3Message& message) {
    const std::size_t size = MacSize(user_.auth);
    if (message.usm.authParams.size() != size || message.usm.engineId != engineId_ ||
        message.usm.userName != user_.name) {
        return false;
    }
    Bytes zeroed = datagram;
    std::fill(zeroed.begin() + static_cast<std::ptrdiff_t>(message.authOffset),
              zeroed.begin() + static_cast<std::ptrdiff_t>(message.authOffset + size), 0);
    std::uint8_t mac[64];
    return ComputeMac(crypto_, user_.auth, keys_.auth, ByteView{zeroed.data(), zeroed.size()},
                      mac) &&
           SameBytes(ByteView{mac, size}, View(message.usm.authParams));
}

bool UsmSession::InTimeWindow(const UsmParameters& usm, std::uint64_t now) const {
    if (usm.boots == kLatchedBoots || usm.boots < boots_) {
        return false;
    }
    return usm.boots > boots_ || usm.time + kTimeWindow >= EngineTime(now);
}

UsmSession::Reply UsmSession::Unwrap(const Bytes& datagram, std::int32_t msgId,
                                     std::int32_t requestId, std::uint64_t now, Pdu& response,
                                     Refusal& refusal) {
    V3Message message;
    if (DecodeV3Message(datagram.data(), datagram.size(), limits_, message) != DecodeStatus::kOk ||
        message.securityModel != kUsmSecurityModel) {
        return Reply::kBad;
    }
    if (message.msgId != msgId) {
        return Reply::kOther;  // an answer to an earlier request, arriving late
    }
    bool authenticated = (message.flags & msg_flags::kAuth) != 0;
    if (authenticated && (user_.level == SecurityLevel::kNoAuth || !Authentic(datagram, message))) {
        // Some agents (snmpsimd) send their reports at the request's level even when they
        // could not check it: such a report still says why, and refuses no more for it.
        const bool plainReport =
            !(message.flags & msg_flags::kPriv) && message.scoped.pdu.type == tag::kReport;
        if (!plainReport) {
            return Reply::kUnverified;
        }
        authenticated = false;
    }
    if (!authenticated && message.usm.engineId != engineId_) {
        return Reply::kBad;
    }
    ScopedPdu scoped;
    if (message.flags & msg_flags::kPriv) {
        Bytes plain;
        if (user_.level != SecurityLevel::kPriv ||
            !DecryptScopedPdu(crypto_, user_.priv, keys_.priv, message.usm.boots, message.usm.time,
                              View(message.usm.privParams), View(message.encrypted), plain) ||
            // Block padding may follow, DES's or (snmpsimd's) AES's.
            DecodeScopedPdu(ByteView{plain.data(), plain.size()}, true, limits_, scoped) !=
                DecodeStatus::kOk) {
            return Reply::kBad;
        }
    } else {
        scoped = std::move(message.scoped);
    }

    if (scoped.pdu.type == tag::kReport) {
        // A report may come unauthenticated (the agent could not check ours); it can only
        // refuse, never answer. Only an authenticated one resets the engine's clock.
        refusal = ClassifyReport(scoped.pdu);
        if (refusal == Refusal::kNotInTimeWindow && authenticated) {
            SetClock(message.usm.boots, message.usm.time, now);
        }
        return Reply::kReport;
    }
    if (scoped.pdu.type != tag::kResponse || scoped.pdu.requestId != requestId ||
        scoped.contextName != user_.context) {
        return Reply::kBad;
    }
    // A response comes at the level its request went at.
    const std::uint8_t expected =
        user_.level == SecurityLevel::kNoAuth
            ? 0
            : (user_.level == SecurityLevel::kAuth ? msg_flags::kAuth
                                                   : msg_flags::kAuth | msg_flags::kPriv);
    if ((message.flags & (msg_flags::kAuth | msg_flags::kPriv)) != expected) {
        return Reply::kBad;
    }
    if (authenticated) {
        if (!InTimeWindow(message.usm, now)) {
            return Reply::kBad;
        }
        if (message.usm.boots > boots_ || message.usm.time > EngineTime(now)) {
            SetClock(message.usm.boots, message.usm.time, now);
        }
    }
    response = std::move(scoped.pdu);
    return Reply::kResponse;
}

}  // namespace vyxsnmp
