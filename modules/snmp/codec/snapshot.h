// One snapshot of a printer over SNMP: walk the columns a part of the model needs (in walks side
// by side, see WalksFor), then map them. Portable, so the whole path from datagrams to the model
// runs in the native tests.
#pragma once

#include <cstdint>

#include "printer_mib.h"

namespace vyxsnmp {

// Walks what `parts` needs and fills those parts of `printer`. 0, or the module's code (see
// codes.h) for why there is no snapshot; `printer` is then left as it was.
std::int32_t TakeSnapshot(Walker& walker, Parts parts, const WalkLimits& limits,
                          const TextDecoder& decoder, vyxserve::Printer& printer);

}  // namespace vyxsnmp
