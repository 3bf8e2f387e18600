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
        case WalkStatus::kRefused:
            return CodeFor(outcome.refusal);
        case WalkStatus::kAgentError:
            // error-status runs from 0 to 18; anything else is still passed on, within 16 bits.
            return code::kErrorStatusBase + (outcome.errorStatus & 0xFFFF);
    }
    return code::kGarbled;
}

std::int32_t CodeFor(Refusal refusal) {
    switch (refusal) {
        case Refusal::kUnknownUser:
            return code::kUnknownUser;
        case Refusal::kWrongDigest:
            return code::kWrongDigest;
        case Refusal::kUnsupportedLevel:
            return code::kUnsupportedLevel;
        case Refusal::kDecryption:
            return code::kDecryptionError;
        case Refusal::kNotInTimeWindow:
            return code::kNotInTimeWindow;
        case Refusal::kUnknownEngine:
            return code::kUnknownEngine;
        case Refusal::kUnknownContext:
            return code::kUnknownContext;
        case Refusal::kSilent:
            return code::kDropped;
        case Refusal::kCrypto:
            return code::kCrypto;
        case Refusal::kNone:
        case Refusal::kOtherReport:
            break;
    }
    return code::kGarbled;
}

}  // namespace vyxsnmp
