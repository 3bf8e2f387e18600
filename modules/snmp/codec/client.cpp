// Several exchanges at once over one transport: each datagram resent when its answer is late,
// each exchange bounded by the settings' timeout; version 3 through the user's security session.
#include "client.h"

#include <algorithm>
#include <limits>

namespace vyxsnmp {
namespace {

constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();
// Request ids step by an odd stride near 2^31 divided by the golden ratio: every id recurs only
// after 2^31 steps, and ids in flight together lie far apart, so that an agent that answers
// with a neighbour of the id it was asked (id + 1) never answers another request of ours.
constexpr std::uint32_t kIdStride = 0x4F1BBCDD;

}  // namespace

void RoundTrips::Measure(std::uint64_t ms) {
    if (!measured_) {
        measured_ = true;
        smoothed8_ = ms * 8;
        deviation4_ = ms * 2;
        return;
    }
    // Gains of 1/8 and 1/4, as TCP's: srtt += (ms - srtt) / 8, and the deviation moves a quarter
    // of the way to |ms - srtt|.
    const auto error = static_cast<std::int64_t>(ms) - static_cast<std::int64_t>(smoothed8_ / 8);
    smoothed8_ = static_cast<std::uint64_t>(static_cast<std::int64_t>(smoothed8_) + error);
    const std::int64_t spread =
        (error < 0 ? -error : error) - static_cast<std::int64_t>(deviation4_ / 4);
    deviation4_ = static_cast<std::uint64_t>(static_cast<std::int64_t>(deviation4_) + spread);
}

std::uint32_t RoundTrips::LateAfter(std::uint32_t sends) const {
    if (!measured_) {
        return timeoutMs_;
    }
    std::uint64_t late = smoothed8_ / 8 + std::max<std::uint64_t>(1, deviation4_);
    late = std::max<std::uint64_t>(late, kFloorMs);
    for (std::uint32_t i = 1; i < sends && late < timeoutMs_; ++i) {
        late *= 2;
    }
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(late, timeoutMs_));
}

struct Client::Flight {
    enum class Kind { kRequest, kDiscovery };
    Kind kind = Kind::kRequest;
    Ticket ticket = 0;  // 0 for a discovery, which no caller waits for
    Version version = Version::kV2c;
    Pdu request;
    std::int32_t id = 0;  // the request id; version 3: the message id
    Bytes datagram;       // empty until prepared
    bool waiting = true;  // not sent yet: the engine is not known, or the agent is busy
    bool ended = false;
    std::uint64_t firstSent = 0, lastSent = 0, deadline = 0;
    std::uint32_t sends = 0;
    std::uint64_t burst = 0;              // of its last sending
    // When it counts as dropped: a request sent with it or after it was answered, and as long
    // again as that one took has passed (kNever until then).
    std::uint64_t droppedAt = kNever;
    // What came back that was not its answer.
    bool garbled = false, unverified = false, otherwiseBad = false;
    bool resentStale = false;  // version 3: its one resend after a stale clock is spent
};

Client::Client(Datagrams& transport, const ClientSettings& settings, std::int32_t firstRequestId,
               Crypto* crypto, const UsmUser* user, vyxserve::EngineCache* engines,
               std::string printer)
    : transport_(transport),
      settings_(settings),
      nextId_(firstRequestId & 0x7FFFFFFF),
      engines_(engines),
      printer_(std::move(printer)),
      roundTrips_(settings.timeoutMs) {
    if (crypto && user) {
        usm_ = std::make_unique<UsmSession>(*crypto, *user, settings_.limits);
    }
}

Client::~Client() = default;

std::int32_t Client::NextRequestId() {
    // Positive ids only: some agents mishandle negative ones.
    const std::int32_t id = nextId_ <= 0 ? 1 : nextId_;
    nextId_ = static_cast<std::int32_t>((static_cast<std::uint32_t>(id) + kIdStride) & 0x7FFFFFFF);
    return id;
}

Client::Ticket Client::Start(Version version, Pdu request) {
    auto flight = std::make_unique<Flight>();
    flight->ticket = nextTicket_++;
    flight->version = version;
    flight->request = std::move(request);
    const Ticket ticket = flight->ticket;
    flights_.push_back(std::move(flight));
    if (version == Version::kV3) {
        if (!usm_) {
            End(*flights_.back(), ExchangeStatus::kRefused, Refusal::kCrypto);
            return ticket;
        }
        if (engine_ == Engine::kNone) {
            vyxserve::EngineRecord known;
            if (engines_ && engines_->Find(printer_, transport_.Now(), known)) {
                if (!usm_->AdoptEngine(known)) {
                    End(*flights_.back(), ExchangeStatus::kRefused, Refusal::kCrypto);
                    return ticket;
                }
                engine_ = Engine::kKnown;
                engineUnconfirmed_ = true;
            } else {
                Discover();
            }
        }
    }
    SendDue(transport_.Now());
    return ticket;
}

void Client::Discover() {
    auto discovery = std::make_unique<Flight>();
    discovery->kind = Flight::Kind::kDiscovery;
    discovery->version = Version::kV3;
    flights_.insert(flights_.begin(), std::move(discovery));
    engine_ = Engine::kDiscovering;
}

bool Client::Prepare(Flight& flight) {
    const std::uint64_t now = transport_.Now();
    if (flight.kind == Flight::Kind::kDiscovery) {
        flight.id = NextRequestId();
        flight.datagram = usm_->DiscoveryRequest(flight.id, NextRequestId());
        return true;
    }
    if (flight.version != Version::kV3) {
        flight.request.requestId = NextRequestId();
        flight.id = flight.request.requestId;
        Message message;
        message.version = flight.version;
        message.community = settings_.community;
        message.pdu = flight.request;
        flight.datagram = EncodeMessage(message);
        return true;
    }
    flight.id = NextRequestId();
    flight.request.requestId = NextRequestId();
    if (!usm_->Wrap(flight.request, flight.id, now, flight.datagram)) {
        End(flight, ExchangeStatus::kRefused, Refusal::kCrypto);
        return false;
    }
    return true;
}

void Client::SendFlight(Flight& flight, std::uint64_t now) {
    if (flight.datagram.empty() && !Prepare(flight)) {
        return;
    }
    if (!transport_.Send(flight.datagram)) {
        if (flight.kind == Flight::Kind::kDiscovery) {
            EndAll(ExchangeStatus::kSendFailed);  // what waits for the engine too
        } else {
            End(flight, ExchangeStatus::kSendFailed);
        }
        return;
    }
    ++sent_;
    if (flight.sends++ == 0) {
        flight.firstSent = now;
        flight.deadline =
            now + static_cast<std::uint64_t>(settings_.retries + 1) * settings_.timeoutMs;
    }
    flight.lastSent = now;
    flight.burst = burst_;
    flight.waiting = false;
    flight.droppedAt = kNever;
}

std::uint64_t Client::LateAt(const Flight& flight) const {
    return std::min<std::uint64_t>(flight.lastSent + roundTrips_.LateAfter(flight.sends),
                                   flight.droppedAt);
}

bool Client::Occupied(const Flight& except, std::uint64_t now) const {
    for (const auto& flight : flights_) {
        if (flight.get() != &except && !flight->ended && !flight->waiting &&
            now < LateAt(*flight)) {
            return true;
        }
    }
    return false;
}

void Client::SendDue(std::uint64_t now) {
    // By index: sending may end a flight, never add one.
    for (std::size_t i = 0; i < flights_.size(); ++i) {
        Flight& flight = *flights_[i];
        if (flight.ended) {
            continue;
        }
        const bool sendable = flight.kind == Flight::Kind::kDiscovery ||
                              flight.version != Version::kV3 || engine_ == Engine::kKnown;
        if (flight.waiting ? !sendable : now < LateAt(flight)) {
            continue;
        }
        if (!flight.waiting && now >= flight.droppedAt) {
            // Dropped while the agent was busy with another: from now on one at a time.
            oneAtATime_ = true;
        }
        if (oneAtATime_ && Occupied(flight, now)) {
            continue;
        }
        SendFlight(flight, now);
    }
}

void Client::End(Flight& flight, ExchangeStatus status, Refusal refusal, Pdu response) {
    flight.ended = true;
    if (flight.ticket != 0) {
        ended_.push_back(Ended{flight.ticket, status, refusal, std::move(response)});
    }
}

void Client::EndAll(ExchangeStatus status, Refusal refusal) {
    for (auto& flight : flights_) {
        if (!flight->ended) {
            End(*flight, status, refusal);
        }
    }
    if (engine_ == Engine::kDiscovering) {
        engine_ = Engine::kNone;
    }
}

void Client::Expire(Flight& flight) {
    if (flight.kind == Flight::Kind::kDiscovery) {
        // No engine: every version 3 request waiting for it ends as discovery did.
        EndAll(flight.garbled ? ExchangeStatus::kGarbled : ExchangeStatus::kNoAnswer);
        return;
    }
    if (flight.version != Version::kV3) {
        End(flight, flight.garbled ? ExchangeStatus::kGarbled : ExchangeStatus::kNoAnswer);
        return;
    }
    if (flight.garbled) {
        if (flight.unverified && !flight.otherwiseBad) {
            // The engine answered, never with this user's key: the password differs from the
            // agent's.
            End(flight, ExchangeStatus::kRefused, Refusal::kWrongDigest);
        } else {
            End(flight, ExchangeStatus::kGarbled);
        }
        return;
    }
    if (engine_ == Engine::kDiscovering || (engineUnconfirmed_ && !flight.resentStale)) {
        // An engine known from before that does not answer may be gone, or another now: it is
        // asked again, which tells a silent printer from one that drops what it will not take.
        Reported(flight, Refusal::kUnknownEngine, transport_.Now());
        return;
    }
    // The engine answered discovery, so it is there: it drops what it will not take (snmpsimd
    // does so with a wrong password or context).
    End(flight, ExchangeStatus::kRefused, Refusal::kSilent);
}

void Client::EndPastDeadlines(std::uint64_t now) {
    for (std::size_t i = 0; i < flights_.size(); ++i) {
        Flight& flight = *flights_[i];
        if (!flight.ended && !flight.waiting && now >= flight.deadline) {
            Expire(flight);
        }
    }
}

void Client::Answered(Flight& flight, std::uint64_t now) {
    transport_.Confirm();
    if (now >= flight.droppedAt) {
        // Answered after all, and not sent again: the agent had queued it, not dropped it.
        oneAtATime_ = false;
    }
    const std::uint64_t took = flight.sends == 1 ? now - flight.firstSent : roundTrips_.smoothed();
    if (flight.sends == 1) {
        roundTrips_.Measure(took);
    }
    // An agent answers what it is sent in turn: one that queues a request behind this one answers
    // it within about as long again as this one took (or the round trip, if that is longer); one
    // that drops what comes while it is busy never does.
    const std::uint64_t wait = std::max<std::uint64_t>({1, took, roundTrips_.smoothed()});
    for (auto& other : flights_) {
        if (other.get() != &flight && !other->ended && !other->waiting &&
            other->burst <= flight.burst && other->droppedAt == kNever) {
            other->droppedAt = now + wait;
        }
    }
}

void Client::MarkGarbled(bool bad) {
    for (auto& flight : flights_) {
        if (!flight->ended && !flight->waiting) {
            flight->garbled = true;
            flight->otherwiseBad = flight->otherwiseBad || bad;
        }
    }
}

void Client::Take(const Bytes& datagram, std::uint64_t now) {
    Message message;
    const DecodeStatus decoded =
        DecodeMessage(datagram.data(), datagram.size(), settings_.limits, message);
    if (decoded == DecodeStatus::kBadVersion && usm_) {
        TakeV3(datagram, now);
        return;
    }
    if (decoded == DecodeStatus::kOk && message.pdu.type == tag::kResponse &&
        message.community == settings_.community) {
        for (auto& flight : flights_) {
            if (!flight->ended && !flight->waiting && flight->kind == Flight::Kind::kRequest &&
                flight->version == message.version && flight->id == message.pdu.requestId) {
                Answered(*flight, now);
                End(*flight, ExchangeStatus::kOk, Refusal::kNone, std::move(message.pdu));
                return;
            }
        }
    }
    // Not an answer to anything under way: one to another request, one that came late, or
    // nothing of the kind.
    MarkGarbled(true);
}

void Client::TakeV3(const Bytes& datagram, std::uint64_t now) {
    V3Message header;
    if (DecodeV3Message(datagram.data(), datagram.size(), settings_.limits, header) !=
            DecodeStatus::kOk ||
        header.securityModel != kUsmSecurityModel) {
        MarkGarbled(true);
        return;
    }
    for (auto& flight : flights_) {
        if (!flight->ended && !flight->waiting && flight->version == Version::kV3 &&
            flight->id == header.msgId) {
            if (flight->kind == Flight::Kind::kDiscovery) {
                TakeDiscovery(*flight, datagram, now);
            } else {
                TakeV3Answer(*flight, datagram, now);
            }
            return;
        }
    }
    MarkGarbled(false);  // an answer to an earlier message, arriving late
}

void Client::TakeDiscovery(Flight& flight, const Bytes& datagram, std::uint64_t now) {
    bool keysFailed = false;
    switch (usm_->TakeEngine(datagram, flight.id, now, keysFailed)) {
        case UsmSession::Reply::kReport:
        case UsmSession::Reply::kResponse:
            break;
        default:
            flight.garbled = true;
            return;
    }
    Answered(flight, now);
    flight.ended = true;
    if (keysFailed) {
        EndAll(ExchangeStatus::kRefused, Refusal::kCrypto);
        engine_ = Engine::kNone;
        return;
    }
    engine_ = Engine::kKnown;
    engineUnconfirmed_ = false;
    if (engines_) {
        engines_->Keep(printer_, usm_->engine(now));
    }
}

void Client::TakeV3Answer(Flight& flight, const Bytes& datagram, std::uint64_t now) {
    Refusal reported = Refusal::kNone;
    Pdu response;
    switch (usm_->Unwrap(datagram, flight.id, flight.request.requestId, now, response, reported)) {
        case UsmSession::Reply::kResponse:
            Answered(flight, now);
            if (engineUnconfirmed_) {
                engineUnconfirmed_ = false;
                usm_->ForgetPasswords();
            }
            if (engines_) {
                engines_->Keep(printer_, usm_->engine(now));
            }
            End(flight, ExchangeStatus::kOk, Refusal::kNone, std::move(response));
            return;
        case UsmSession::Reply::kReport:
            Answered(flight, now);
            Reported(flight, reported, now);
            return;
        case UsmSession::Reply::kOther:
            MarkGarbled(false);
            return;
        case UsmSession::Reply::kUnverified:
            flight.garbled = flight.unverified = true;
            return;
        case UsmSession::Reply::kBad:
            break;
    }
    if (engineUnconfirmed_) {
        // A printer whose engine is no longer the one known from before reports so from the
        // engine it has now, which the session does not take from anyone.
        const Refusal plain = usm_->PlainReport(datagram, flight.id);
        if (plain == Refusal::kUnknownEngine || plain == Refusal::kNotInTimeWindow) {
            Answered(flight, now);
            Reported(flight, plain, now);
            return;
        }
    }
    flight.garbled = flight.otherwiseBad = true;
}

void Client::Reported(Flight& flight, Refusal refusal, std::uint64_t now) {
    const bool engineRefused =
        refusal == Refusal::kNotInTimeWindow || refusal == Refusal::kUnknownEngine;
    const bool rediscover =
        engine_ == Engine::kDiscovering || (engineUnconfirmed_ && !flight.resentStale);
    if (engineRefused && rediscover) {
        // The engine known from an earlier connection has rebooted or been replaced: it is
        // discovered again, once, and the request goes again to what is found, for its one
        // resend.
        flight.resentStale = true;
        flight.waiting = true;
        flight.datagram.clear();
        flight.sends = 0;
        flight.garbled = flight.unverified = flight.otherwiseBad = false;
        if (engine_ != Engine::kDiscovering) {
            if (engines_) {
                engines_->Forget(printer_, usm_->engineId());
            }
            engineUnconfirmed_ = false;
            Discover();
        }
        return;
    }
    if (refusal == Refusal::kNotInTimeWindow && !flight.resentStale) {
        // A stale clock is reported once and answered by one resend with the engine's own time
        // (the report set it); a second such report ends the exchange.
        flight.resentStale = true;
        flight.waiting = true;
        flight.datagram.clear();
        flight.sends = 0;
        flight.garbled = flight.unverified = flight.otherwiseBad = false;
        SendDue(now);
        return;
    }
    End(flight, ExchangeStatus::kRefused, refusal);
}

bool Client::Next(Ended& ended) {
    for (;;) {
        flights_.erase(std::remove_if(flights_.begin(), flights_.end(),
                                      [](const auto& flight) { return flight->ended; }),
                       flights_.end());
        if (!ended_.empty()) {
            ended = std::move(ended_.front());
            ended_.pop_front();
            return true;
        }
        if (flights_.empty()) {
            return false;
        }
        std::uint64_t now = transport_.Now();
        EndPastDeadlines(now);
        SendDue(now);
        if (!ended_.empty()) {
            continue;
        }
        // The next moment something is due: a deadline, or an answer late.
        std::uint64_t next = kNever;
        for (const auto& flight : flights_) {
            if (flight->ended || flight->waiting) {
                continue;
            }
            next = std::min(next, flight->deadline);
            const std::uint64_t late = LateAt(*flight);
            if (late > now) {
                next = std::min(next, late);
            }
        }
        if (next == kNever) {
            // Nothing sent that could be answered: what waits can never go (it cannot happen
            // while the rules above hold; ending here keeps every wait bounded regardless).
            EndAll(ExchangeStatus::kNoAnswer);
            continue;
        }
        ++burst_;
        Bytes datagram;
        const auto wait = transport_.Receive(
            datagram, static_cast<std::uint32_t>(
                          next > now ? std::min<std::uint64_t>(next - now, 0xFFFFFFFFu) : 0));
        if (wait == Datagrams::Wait::kFailed) {
            EndAll(ExchangeStatus::kSendFailed);
        } else if (wait == Datagrams::Wait::kDatagram) {
            now = transport_.Now();
            Take(datagram, now);
        }
    }
}

void Client::Abandon() {
    flights_.clear();
    ended_.clear();
    if (engine_ == Engine::kDiscovering) {
        engine_ = Engine::kNone;
    }
}

ExchangeStatus Client::Exchange(Version version, Pdu request, Pdu& response) {
    refusal_ = Refusal::kNone;
    const Ticket ticket = Start(version, std::move(request));
    Ended ended;
    while (Next(ended)) {
        if (ended.ticket == ticket) {
            refusal_ = ended.refusal;
            response = std::move(ended.response);
            return ended.status;
        }
    }
    return ExchangeStatus::kNoAnswer;
}

}  // namespace vyxsnmp
