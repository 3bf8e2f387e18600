// Walk outcomes as the module's result codes.
#include "codes.h"

namespace vyxsnmp {

std::int32_t CodeFor(const WalkOutcome& outcome) {
    switch (outcome.status) {
        case WalkStatus::kOk:
            return 0;
        case WalkStatus::kNoAnswer:
            return code::kNoAnswer;
        case WalkStatus::kGarbled:
            return code::kGarbled;
        case WalkStatus::kSendFailed:
            return code::kNetwork;
        case WalkStatus::kLoop:
        case WalkStatus::kStalled:
            return code::kLoop;
        case WalkStatus::kTooLarge:
            return code::kTooLarge;
        case WalkStatus::kAgentError:
            // error-status runs from 0 to 18; anything else is still passed on, within 16 bits.
            return code::kErrorStatusBase + (outcome.errorStatus & 0xFFFF);
    }
    return code::kGarbled;
}

}  // namespace vyxsnmp
