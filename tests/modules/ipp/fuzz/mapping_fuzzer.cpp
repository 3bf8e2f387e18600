// Fuzz target: bytes decoded as a reply, then mapped to the printer model as a snapshot of
// every part would map them, so that whatever the decoder lets through reaches the mapping.
#include <cstddef>
#include <cstdint>

#include "ipp_codec.h"
#include "ipp_mapping.h"
#include "model_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    vyxipp::Message reply;
    if (vyxipp::Decode(data + 1, size - 1, vyxipp::DecodeLimits(), reply) !=
        vyxipp::DecodeStatus::kOk) {
        return 0;
    }
    // The first byte picks the parts, as the three snapshots and a whole one ask for them.
    const unsigned parts = 1u + data[0] % vyxipp::kEverything;
    vyxserve::Printer printer;
    vyxipp::PrinterFacts facts;
    vyxipp::MapPrinter(reply, parts, printer, facts);
    vyxfuzz::CheckModel(printer);
    return 0;
}
