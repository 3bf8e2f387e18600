// The in-process agent: Get, GetNext and GetBulk over a map of objects, with fault switches.
#include "fake_agent.h"

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
            response.varBinds.push_back({bind.name, found == objects.end() ? missing : found->second});
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

bool FakeAgent::Send(const Bytes& datagram) {
    Message request;
    if (DecodeMessage(datagram.data(), datagram.size(), DecodeLimits(), request) !=
        DecodeStatus::kOk) {
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
    }
    Bytes bytes = EncodeMessage(response);
    if (fault == Fault::kGarbage) {
        bytes = Bytes{0x30, 0x03, 0x02, 0x01};
    } else if (fault == Fault::kTruncated) {
        bytes.resize(bytes.size() / 2);
    }
    queue_.push_back(std::move(bytes));
    return true;
}

FakeAgent::Wait FakeAgent::Receive(Bytes& datagram, std::uint32_t milliseconds) {
    if (queue_.empty()) {
        clock += milliseconds;
        return Wait::kTimeout;
    }
    clock += 1;
    datagram = std::move(queue_.front());
    queue_.pop_front();
    return Wait::kDatagram;
}

}  // namespace snmptest
