// Fuzz target: any bytes as a Get-Printer-Attributes reply. The decoder must end in a status
// within the module's limits, and what it accepts must encode and decode back to itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ipp_codec.h"
#include "ipp_mapping.h"

namespace {

bool Same(const vyxipp::Message& a, const vyxipp::Message& b) {
    std::string x, y;
    return vyxipp::Encode(a, x) && vyxipp::Encode(b, y) && x == y;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vyxipp::Message reply;
    const vyxipp::DecodeStatus status =
        vyxipp::Decode(data, size, vyxipp::DecodeLimits(), reply);
    if (status != vyxipp::DecodeStatus::kOk) {
        return 0;
    }
    vyxipp::CheckReply(reply, 1);
    std::string again;
    if (!vyxipp::Encode(reply, again)) {
        std::abort();  // every name and value came from a two-byte length
    }
    vyxipp::Message back;
    if (vyxipp::Decode(reinterpret_cast<const std::uint8_t*>(again.data()), again.size(),
                       vyxipp::DecodeLimits(), back) != vyxipp::DecodeStatus::kOk ||
        !Same(reply, back)) {
        std::abort();
    }
    return 0;
}
