// Fuzz target: any bytes as an agent's datagram. The decoder ends in a status within its
// limits, and a message it accepts encodes and decodes back to the same message.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "message.h"

namespace {

bool Same(const vyxsnmp::Message& a, const vyxsnmp::Message& b) {
    if (a.version != b.version || a.community != b.community || a.pdu.type != b.pdu.type ||
        a.pdu.requestId != b.pdu.requestId || a.pdu.errorStatus != b.pdu.errorStatus ||
        a.pdu.errorIndex != b.pdu.errorIndex || a.pdu.varBinds.size() != b.pdu.varBinds.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.pdu.varBinds.size(); ++i) {
        const auto& x = a.pdu.varBinds[i];
        const auto& y = b.pdu.varBinds[i];
        if (x.name != y.name || x.value.type != y.value.type || x.value.number != y.value.number ||
            x.value.bytes != y.value.bytes || x.value.oid != y.value.oid) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const vyxsnmp::DecodeLimits limits;
    vyxsnmp::Message message;
    if (vyxsnmp::DecodeMessage(data, size, limits, message) != vyxsnmp::DecodeStatus::kOk) {
        return 0;
    }
    if (message.pdu.varBinds.size() > limits.maxVarBinds) {
        std::abort();
    }
    const vyxsnmp::Bytes again = vyxsnmp::EncodeMessage(message);
    vyxsnmp::Message back;
    if (vyxsnmp::DecodeMessage(again.data(), again.size(), vyxsnmp::DecodeLimits{again.size()},
                               back) != vyxsnmp::DecodeStatus::kOk ||
        !Same(message, back)) {
        std::abort();
    }
    return 0;
}
