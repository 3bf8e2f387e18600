// The in-process agent: Get, GetNext and GetBulk over a map of objects, with fault switches.
#include "fake_agent.h"

#include <algorithm>

namespace snmptest {

using namespace vyxsnmp;

bool FakeAgent::Next(const Oid& after, Oid& name, Value& value) const {
    if (fault == Fault::kLoop) {
        name = after;
        value = Value::Integer(1);
        return true;
    }
    if (fault == Fault::kBackwards) {
        name = Oid{1, 3, 6, 1};
        value = Value::Integer(1);
        return true;
    }
    if (fault == Fault::kEndless) {
        // Always after, always inside the column that was asked for: the next row's index.
        std::vector<std::uint32_t> parts = after.parts();
        if (parts.size() > kColumnLength) {
            ++parts.back();
        } else {
            parts.insert(parts.end(), {1, 1});
        }
        name = Oid(parts);
        value = Value::Integer(7);
        return true;
    }
    const auto found = objects.upper_bound(after);
    if (found == objects.end()) {
        return false;
    }
    name = found->first;
    value = found->second;
    return true;
}

Pdu FakeAgent::Answer(const Pdu& request) const {
    Pdu response;
    response.type = tag::kResponse;
    response.requestId = request.requestId;
    if (fault == Fault::kErrorStatus) {
        response.errorStatus = errorStatus;
        response.errorIndex = 1;
        response.varBinds = request.varBinds;
        return response;
    }
    if (tooBigAbove != 0 && request.varBinds.size() > tooBigAbove) {
        response.errorStatus = error_status::kTooBig;
        return response;
    }
    if (fault == Fault::kEmpty) {
        return response;
    }
    Value endOfView;
    endOfView.type = tag::kEndOfMibView;
    if (request.type == tag::kGetRequest) {
        for (const VarBind& bind : request.varBinds) {
            const auto found = objects.find(bind.name);
            Value missing;
            missing.type = tag::kNoSuchObject;
            response.varBinds.push_back(
                {bind.name, found == objects.end() ? missing : found->second});
        }
        return response;
    }
    if (request.type == tag::kGetNextRequest) {
        for (std::size_t i = 0; i < request.varBinds.size(); ++i) {
            VarBind next;
            if (!Next(request.varBinds[i].name, next.name, next.value)) {
                response.errorStatus = error_status::kNoSuchName;
                response.errorIndex = static_cast<std::int32_t>(i + 1);
                response.varBinds = request.varBinds;
                return response;
            }
            response.varBinds.push_back(next);
        }
        return response;
    }
    // GetBulk without non-repeaters: `repetitions` rounds over all bindings.
    std::size_t repetitions = static_cast<std::size_t>(std::max(0, request.errorIndex));
    const std::size_t columns = request.varBinds.size();
    if (maxVarBinds != 0 && columns != 0) {
        repetitions = std::min(repetitions, maxVarBinds / columns);
    }
    std::vector<VarBind> current = request.varBinds;
    for (std::size_t r = 0; r < repetitions; ++r) {
        for (VarBind& bind : current) {
            VarBind next;
            if (bind.value.type == tag::kEndOfMibView || !Next(bind.name, next.name, next.value)) {
                next = {bind.name, endOfView};
            }
            bind = next;
            response.varBinds.push_back(next);
        }
    }
    return response;
}

namespace {

ByteView View(const std::string& bytes) {
    return ByteView{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

Pdu Report(std::uint32_t which, std::int32_t requestId, bool target = false) {
    Pdu report;
    report.type = tag::kReport;
    report.requestId = requestId;
    Value count;
    count.type = tag::kCounter32;
    count.number = 1;
    const Oid name =
        target ? Oid{1, 3, 6, 1, 6, 3, 12, 1, which, 0} : Oid{1, 3, 6, 1, 6, 3, 15, 1, 1, which, 0};
    report.varBinds.push_back({name, count});
    return report;
}

std::uint8_t LevelFlags(SecurityLevel level) {
    return level == SecurityLevel::kNoAuth ? 0
           : level == SecurityLevel::kAuth ? msg_flags::kAuth
                                           : msg_flags::kAuth | msg_flags::kPriv;
}

}  // namespace

Bytes FakeAgent::WrapV3(const V3Message& request, std::uint8_t flags, const Pdu& pdu) {
    V3Message message;
    message.msgId = request.msgId;
    message.flags = flags;
    message.usm.engineId = v3.engineId;
    message.usm.boots = v3.boots;
    message.usm.time = v3.timeBase + static_cast<std::uint32_t>(clock / 1000);
    message.usm.userName = request.usm.userName;
    message.scoped.contextEngineId = v3.engineId;
    message.scoped.contextName = v3.user.context;
    message.scoped.pdu = pdu;
    if (flags & msg_flags::kAuth) {
        message.usm.authParams.assign(MacSize(v3.user.auth), '\0');
    }
    if (flags & msg_flags::kPriv) {
        const Bytes plain = EncodeScopedPdu(message.scoped);
        Bytes cipher;
        Bytes salt;
        EncryptScopedPdu(*v3.crypto, v3.user.priv, keys_.priv,
                         {message.usm.boots, message.usm.time, clock},
                         ByteView{plain.data(), plain.size()}, cipher, salt);
        message.encrypted.assign(cipher.begin(), cipher.end());
        message.usm.privParams.assign(salt.begin(), salt.end());
    }
    std::size_t at = 0;
    Bytes bytes = EncodeV3Message(message, &at);
    if (flags & msg_flags::kAuth) {
        ComputeMac(*v3.crypto, v3.user.auth, keys_.auth, ByteView{bytes.data(), bytes.size()},
                   bytes.data() + at);
        if (v3.fault == V3::Fault::kBadDigest && pdu.type == tag::kResponse) {
            bytes[at] ^= 0x01;
        }
    }
    return bytes;
}

void FakeAgent::AnswerV3(const Bytes& datagram) {
    V3Message request;
    if (DecodeV3Message(datagram.data(), datagram.size(), DecodeLimits(), request) !=
        DecodeStatus::kOk) {
        return;
    }
    v3.requests.push_back(request);
    const std::int32_t id = request.scoped.pdu.requestId;  // a plain request's, else 0
    auto report = [&](std::uint32_t which, bool target = false) {
        Reply(WrapV3(request, 0, Report(which, id, target)));
    };
    if (request.usm.engineId.empty()) {
        V3Message told = request;
        Bytes bytes = WrapV3(told, 0, Report(4, id));
        if (v3.fault == V3::Fault::kStaleOnce || v3.fault == V3::Fault::kHugeEngineId) {
            V3Message copy;
            DecodeV3Message(bytes.data(), bytes.size(), DecodeLimits(), copy);
            copy.usm.time = 0;
            if (v3.fault == V3::Fault::kHugeEngineId) {
                copy.usm.engineId.assign(300, 'e');
            }
            bytes = EncodeV3Message(copy);
        }
        Reply(std::move(bytes));
        return;
    }
    if (v3.fault == V3::Fault::kDrops) {
        return;
    }
    if (request.usm.engineId != v3.engineId || v3.fault == V3::Fault::kForgetsEngine) {
        return report(4);
    }
    if (request.usm.userName != v3.user.name) {
        return report(3);
    }
    const std::uint8_t level = request.flags & (msg_flags::kAuth | msg_flags::kPriv);
    if (level > LevelFlags(v3.user.level)) {
        return report(1);
    }
    if (!keyed_) {
        keyed_ = DeriveKeys(*v3.crypto, v3.user.auth, v3.user.priv, v3.user.level,
                            v3.user.authPassword, v3.user.privPassword, View(v3.engineId), keys_);
    }
    if (level & msg_flags::kAuth) {
        Bytes zeroed = datagram;
        const std::size_t size = MacSize(v3.user.auth);
        std::fill(zeroed.begin() + request.authOffset, zeroed.begin() + request.authOffset + size,
                  0);
        std::uint8_t mac[64];
        ComputeMac(*v3.crypto, v3.user.auth, keys_.auth, ByteView{zeroed.data(), zeroed.size()},
                   mac);
        if (!SameBytes(ByteView{mac, size}, View(request.usm.authParams))) {
            return report(5);
        }
        const std::uint32_t now = v3.timeBase + static_cast<std::uint32_t>(clock / 1000);
        const std::uint32_t time = request.usm.time;
        if (v3.fault == V3::Fault::kStale || request.usm.boots != v3.boots ||
            (time > now ? time - now : now - time) > 150) {
            Reply(WrapV3(request, msg_flags::kAuth, Report(2, id)));
            return;
        }
    }
    ScopedPdu scoped = request.scoped;
    if (level & msg_flags::kPriv) {
        Bytes plain;
        if (!DecryptScopedPdu(*v3.crypto, v3.user.priv, keys_.priv, request.usm.boots,
                              request.usm.time, View(request.usm.privParams),
                              View(request.encrypted), plain) ||
            DecodeScopedPdu(ByteView{plain.data(), plain.size()}, true, DecodeLimits(), scoped) !=
                DecodeStatus::kOk) {
            return report(6);
        }
    }
    if (scoped.contextName != v3.user.context) {
        return report(5, true);
    }
    Reply(WrapV3(request, level, Answer(scoped.pdu)));
}

bool FakeAgent::Lost() {
    if (lossPerMille == 0) {
        return false;
    }
    seed = seed * 6364136223846793005u + 1442695040888963407u;
    return (seed >> 33) % 1000 < lossPerMille;
}

bool FakeAgent::AnswerAt(std::uint64_t& at) {
    if (Lost()) {
        return false;
    }
    const std::uint64_t arrival = clock + roundTripMs / 2;
    std::uint64_t start = arrival;
    if (busy != Busy::kParallel && arrival < busyUntil_) {
        if (busy == Busy::kDrops) {
            return false;
        }
        start = busyUntil_;
    }
    busyUntil_ = start + serviceMs;
    at = busyUntil_ + (roundTripMs - roundTripMs / 2);
    return true;
}

void FakeAgent::Reply(Bytes bytes) {
    if (!answering_) {
        return;
    }
    // A longer answer takes longer to make.
    const std::uint64_t making = bytes.size() * serviceMsPerKiB / 1024;
    busyUntil_ += making;
    answerAt_ += making;
    if (!Lost()) {
        queue_.push_back(Queued{answerAt_, std::move(bytes)});
    }
}

bool FakeAgent::Send(const Bytes& datagram) {
    if (datagrams++ == 0) {
        clock += firstSendMs;
    }
    answering_ = AnswerAt(answerAt_);
    Message request;
    const DecodeStatus decoded =
        DecodeMessage(datagram.data(), datagram.size(), DecodeLimits(), request);
    if (decoded == DecodeStatus::kBadVersion && v3.crypto) {
        AnswerV3(datagram);
        return true;
    }
    if (decoded != DecodeStatus::kOk) {
        return true;  // an agent drops what it cannot read
    }
    requests.push_back(request);
    const bool speaks = request.version == Version::kV1 ? speaksV1 : speaksV2c;
    if (!speaks || request.community != community || fault == Fault::kSilent ||
        (request.version == Version::kV1 && request.pdu.type == tag::kGetBulkRequest)) {
        return true;
    }
    if (answerAfterDrops != 0) {
        --answerAfterDrops;
        return true;
    }
    Message response;
    response.version = request.version;
    response.community = request.community;
    response.pdu = Answer(request.pdu);
    if (fault == Fault::kWrongId) {
        response.pdu.requestId ^= 0x55;
    } else if (fault == Fault::kNextId) {
        ++response.pdu.requestId;
    }
    Bytes bytes = EncodeMessage(response);
    if (fault == Fault::kGarbage) {
        bytes = Bytes{0x30, 0x03, 0x02, 0x01};
    } else if (fault == Fault::kTruncated) {
        bytes.resize(bytes.size() / 2);
    }
    Reply(std::move(bytes));
    return true;
}

FakeAgent::Wait FakeAgent::Receive(Bytes& datagram, std::uint32_t milliseconds) {
    // The first to come back; among those due at once, the first queued.
    auto next = queue_.end();
    for (auto it = queue_.begin(); it != queue_.end(); ++it) {
        if (next == queue_.end() || it->at < next->at) {
            next = it;
        }
    }
    if (next == queue_.end() || next->at > clock + milliseconds) {
        clock += milliseconds;
        return Wait::kTimeout;
    }
    clock = std::max(clock + (roundTripMs == 0 ? 1 : 0), next->at);
    datagram = std::move(next->bytes);
    queue_.erase(next);
    return Wait::kDatagram;
}

}  // namespace snmptest
