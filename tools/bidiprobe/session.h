// One run against the library: its exports, the handle, every call with its result, and the
// first failure, which decides the exit status.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "exports.h"

namespace bidiprobe {

using Json = nlohmann::ordered_json;

// "BIDI_OK", "BIDI_ERR_FAILED", "BIDI_ERR_BAD_ARGUMENT", "BIDI_ERR_NO_ENTRY_POINT", or the
// module's own code in decimal.
std::string ResultName(LONG result);
// The name, or for a module's own code "8194 (0x00002002)".
std::string ResultText(LONG result);

// One call as the report shows it.
Json CallEntry(const char* exportName, LONG result);

struct Failure {
    std::string exportName;
    LONG result = BIDI_OK;
    bool missing = false;  // the export is not in the DLL

    std::string Message() const;
};

class Session {
  public:
    // With `missingFails`, an export that the command needs and the DLL lacks is a failure;
    // otherwise its section is only skipped.
    Session(const Exports& exports, bool missingFails)
        : exports_(exports), missingFails_(missingFails) {}

    const Exports& exports() const { return exports_; }
    BiDiHandle* handle = nullptr;

    // Calls an export, appends the call to `calls`, and keeps the first failing result.
    template <typename Function, typename... Arguments>
    LONG Call(Json& calls, const char* name, Function function, Arguments... arguments) {
        const LONG result = function(arguments...);
        calls.push_back(CallEntry(name, result));
        if (result != BIDI_OK) {
            Note(Failure{name, result, false});
        }
        return result;
    }

    // True when the DLL has every export named; otherwise lists the missing ones under the
    // section's "unavailable". `essential` makes a missing one a failure for every command.
    bool Require(Json& section, std::initializer_list<const char*> names, bool essential = false);

    const std::optional<Failure>& failure() const { return failure_; }

  private:
    void Note(const Failure& failure) {
        if (!failure_) {
            failure_ = failure;
        }
    }

    const Exports& exports_;
    bool missingFails_;
    std::optional<Failure> failure_;
};

// Calls the export of that name through the session: CALL(session, calls, ClrBiDi_..., args).
#define BIDIPROBE_CALL(session, calls, name, ...) \
    (session).Call((calls), #name, (session).exports().name, __VA_ARGS__)

}  // namespace bidiprobe
