// Request/response exchange with retries, bounded by the settings' timeout; version 3 through
// the user's security session.
#include "client.h"

namespace vyxsnmp {

Client::Client(Datagrams& transport, const ClientSettings& settings, std::int32_t firstRequestId,
               Crypto* crypto, const UsmUser* user)
    : transport_(transport), settings_(settings), nextId_(firstRequestId & 0x7FFFFFFF) {
    if (crypto && user) {
        usm_ = std::make_unique<UsmSession>(*crypto, *user, settings_.limits);
    }
}

Client::~Client() = default;

std::int32_t Client::NextRequestId() {
    // Positive ids only: some agents mishandle negative ones.
    const std::int32_t id = nextId_ <= 0 ? 1 : nextId_;
    nextId_ = id == INT32_MAX ? 1 : id + 1;
    return id;
}

Client::Answer Client::Check(const Bytes& datagram, Version version, std::int32_t id,
                             Pdu& response) const {
    Message message;
    if (DecodeMessage(datagram.data(), datagram.size(), settings_.limits, message) !=
        DecodeStatus::kOk) {
        return Answer::kBad;
    }
    if (message.pdu.type != tag::kResponse || message.version != version ||
        message.community != settings_.community) {
        return Answer::kBad;
    }
    if (message.pdu.requestId != id) {
        return Answer::kOther;  // an answer to an earlier request, arriving late
    }
    response = std::move(message.pdu);
    return Answer::kMatch;
}

template <typename Matcher>
Client::Outcome Client::Transact(const Bytes& datagram, Matcher&& check) {
    bool garbled = false;
    Bytes received;
    for (std::uint32_t attempt = 0; attempt <= settings_.retries; ++attempt) {
        if (!transport_.Send(datagram)) {
            return Outcome::kSendFailed;
        }
        ++sent_;
        const std::uint64_t deadline = transport_.Now() + settings_.timeoutMs;
        for (;;) {
            const std::uint64_t now = transport_.Now();
            if (now >= deadline) {
                break;
            }
            const auto wait =
                transport_.Receive(received, static_cast<std::uint32_t>(deadline - now));
            if (wait == Datagrams::Wait::kFailed) {
                return Outcome::kSendFailed;
            }
            if (wait == Datagrams::Wait::kTimeout) {
                break;
            }
            const Answer answer = check(received);
            if (answer == Answer::kMatch || answer == Answer::kReport) {
                transport_.Confirm();
                return answer == Answer::kMatch ? Outcome::kMatched : Outcome::kReported;
            }
            garbled = true;
        }
    }
    return garbled ? Outcome::kGarbled : Outcome::kNoAnswer;
}

ExchangeStatus Client::Exchange(Version version, Pdu request, Pdu& response) {
    refusal_ = Refusal::kNone;
    if (version == Version::kV3) {
        return ExchangeV3(std::move(request), response);
    }
    request.requestId = NextRequestId();
    Message message;
    message.version = version;
    message.community = settings_.community;
    message.pdu = std::move(request);
    const std::int32_t id = message.pdu.requestId;
    return StatusOf(Transact(EncodeMessage(message), [&](const Bytes& received) {
        return Check(received, version, id, response);
    }));
}

ExchangeStatus Client::StatusOf(Outcome outcome) {
    switch (outcome) {
        case Outcome::kMatched:
            return ExchangeStatus::kOk;
        case Outcome::kSendFailed:
            return ExchangeStatus::kSendFailed;
        case Outcome::kGarbled:
        case Outcome::kReported:
            return ExchangeStatus::kGarbled;
        case Outcome::kNoAnswer:
            break;
    }
    return ExchangeStatus::kNoAnswer;
}

ExchangeStatus Client::Discover() {
    const std::int32_t msgId = NextRequestId();
    bool keysFailed = false;
    const Outcome outcome =
        Transact(usm_->DiscoveryRequest(msgId, NextRequestId()), [&](const Bytes& received) {
            switch (usm_->TakeEngine(received, msgId, transport_.Now(), keysFailed)) {
                case UsmSession::Reply::kReport:
                case UsmSession::Reply::kResponse:
                    return Answer::kMatch;
                case UsmSession::Reply::kOther:
                    return Answer::kOther;
                case UsmSession::Reply::kBad:
                case UsmSession::Reply::kUnverified:
                    break;
            }
            return Answer::kBad;
        });
    if (outcome == Outcome::kMatched && keysFailed) {
        refusal_ = Refusal::kCrypto;
        return ExchangeStatus::kRefused;
    }
    return StatusOf(outcome);
}

ExchangeStatus Client::ExchangeV3(Pdu request, Pdu& response) {
    if (!usm_) {
        refusal_ = Refusal::kCrypto;
        return ExchangeStatus::kRefused;
    }
    if (!usm_->discovered()) {
        const ExchangeStatus discovered = Discover();
        if (discovered != ExchangeStatus::kOk) {
            return discovered;
        }
    }
    // A stale clock is reported once and answered by one resend with the engine's own time;
    // a second such report ends the exchange.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const std::int32_t msgId = NextRequestId();
        request.requestId = NextRequestId();
        Bytes datagram;
        if (!usm_->Wrap(request, msgId, transport_.Now(), datagram)) {
            refusal_ = Refusal::kCrypto;
            return ExchangeStatus::kRefused;
        }
        Refusal reported = Refusal::kNone;
        bool unverified = false;
        bool otherwiseBad = false;
        const Outcome outcome = Transact(datagram, [&](const Bytes& received) {
            switch (usm_->Unwrap(received, msgId, request.requestId, transport_.Now(), response,
                                 reported)) {
                case UsmSession::Reply::kResponse:
                    return Answer::kMatch;
                case UsmSession::Reply::kReport:
                    return Answer::kReport;
                case UsmSession::Reply::kOther:
                    return Answer::kOther;
                case UsmSession::Reply::kUnverified:
                    unverified = true;
                    return Answer::kBad;
                case UsmSession::Reply::kBad:
                    break;
            }
            otherwiseBad = true;
            return Answer::kBad;
        });
        switch (outcome) {
            case Outcome::kMatched:
                return ExchangeStatus::kOk;
            case Outcome::kSendFailed:
                return ExchangeStatus::kSendFailed;
            case Outcome::kGarbled:
                if (unverified && !otherwiseBad) {
                    // The engine answered every attempt, never with this user's key: the
                    // password differs from the agent's.
                    refusal_ = Refusal::kWrongDigest;
                    return ExchangeStatus::kRefused;
                }
                return ExchangeStatus::kGarbled;
            case Outcome::kNoAnswer:
                // The engine answered discovery, so it is there: it drops what it will not
                // take (snmpsimd does so with a wrong password or context).
                refusal_ = Refusal::kSilent;
                return ExchangeStatus::kRefused;
            case Outcome::kReported:
                break;
        }
        if (reported != Refusal::kNotInTimeWindow) {
            refusal_ = reported;
            return ExchangeStatus::kRefused;
        }
    }
    refusal_ = Refusal::kNotInTimeWindow;
    return ExchangeStatus::kRefused;
}

}  // namespace vyxsnmp
