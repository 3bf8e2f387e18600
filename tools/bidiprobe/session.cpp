// Result names, call entries and failure messages.
#include "session.h"

#include <cstdio>

#include "result_codes.h"

namespace bidiprobe {

std::string ResultName(LONG result) {
    switch (result) {
        case BIDI_OK:
            return "BIDI_OK";
        case BIDI_ERR_FAILED:
            return "BIDI_ERR_FAILED";
        case BIDI_ERR_BAD_ARGUMENT:
            return "BIDI_ERR_BAD_ARGUMENT";
        case BIDI_ERR_NO_ENTRY_POINT:
            return "BIDI_ERR_NO_ENTRY_POINT";
        default:
            return std::to_string(result);
    }
}

std::string ResultText(LONG result) {
    const std::string name = ResultName(result);
    if (name != std::to_string(result)) {
        return name;
    }
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(result));
    return name + " (" + hex + ")";
}

Json CallEntry(const char* exportName, LONG result, const char* lacks) {
    Json entry{{"export", exportName}, {"result", ResultName(result)}, {"code", result}};
    if (result != BIDI_OK) {
        entry["meaning"] = MeaningOf(result);
    }
    if (lacks) {
        entry["lacks"] = lacks;
    }
    return entry;
}

std::string Failure::Message() const {
    if (missing) {
        return exportName + ": not available in this VYXBIDI.dll";
    }
    return exportName + " returned " + ResultText(result);
}

std::string Failure::Explained() const {
    return missing ? Message() : Message() + ": " + MeaningOf(result);
}

bool Session::Require(Json& section, std::initializer_list<const char*> names, bool essential) {
    bool all = true;
    for (const char* name : names) {
        if (exports_.Has(name)) {
            continue;
        }
        all = false;
        section["unavailable"].push_back(name);
        if (essential || missingFails_) {
            Note(Failure{name, BIDI_OK, true});
        }
    }
    return all;
}

}  // namespace bidiprobe
