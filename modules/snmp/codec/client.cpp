// Request/response exchange with retries, bounded by the settings' timeout.
#include "client.h"

namespace vyxsnmp {

Client::Client(Datagrams& transport, const ClientSettings& settings, std::int32_t firstRequestId)
    : transport_(transport), settings_(settings), nextId_(firstRequestId & 0x7FFFFFFF) {}

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

ExchangeStatus Client::Exchange(Version version, Pdu request, Pdu& response) {
    request.requestId = NextRequestId();
    Message message;
    message.version = version;
    message.community = settings_.community;
    message.pdu = std::move(request);
    const Bytes datagram = EncodeMessage(message);
    bool garbled = false;
    Bytes received;
    for (std::uint32_t attempt = 0; attempt <= settings_.retries; ++attempt) {
        if (!transport_.Send(datagram)) {
            return ExchangeStatus::kSendFailed;
        }
        ++sent_;
        const std::uint64_t deadline = transport_.Now() + settings_.timeoutMs;
        for (;;) {
            const std::uint64_t now = transport_.Now();
            if (now >= deadline) {
                break;
            }
            const auto wait = transport_.Receive(received, static_cast<std::uint32_t>(deadline - now));
            if (wait == Datagrams::Wait::kFailed) {
                return ExchangeStatus::kSendFailed;
            }
            if (wait == Datagrams::Wait::kTimeout) {
                break;
            }
            const Answer answer = Check(received, version, message.pdu.requestId, response);
            if (answer == Answer::kMatch) {
                transport_.Confirm();
                return ExchangeStatus::kOk;
            }
            garbled = true;
        }
    }
    return garbled ? ExchangeStatus::kGarbled : ExchangeStatus::kNoAnswer;
}

}  // namespace vyxsnmp
