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

// One call as the report shows it, with what a result other than BIDI_OK means; `lacks` says
// what a failure only tells of the printer.
Json CallEntry(const char* exportName, LONG result, const char* lacks = nullptr);

struct Failure {
    std::string exportName;
    LONG result = BIDI_OK;
    bool missing = false;  // the export is not in the DLL

    std::string Message() const;
    // The message and what the result means.
    std::string Explained() const;
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
        Record(calls, name, result, nullptr);
        return result;
    }

    // The same for a call whose result may only say that the printer lacks something:
    // `lacks(result)` names what (after the call, so it may look at what the call handed out),
    // or is null for a real failure. What a printer lacks is reported and fails nothing.
    template <typename Lacks, typename Function, typename... Arguments>
    LONG CallJudged(Json& calls, Lacks lacks, const char* name, Function function,
                    Arguments... arguments) {
        const LONG result = function(arguments...);
        Record(calls, name, result, result == BIDI_OK ? nullptr : lacks(result));
        return result;
    }

    // True when the DLL has every export named; otherwise lists the missing ones under the
    // section's "unavailable". `essential` makes a missing one a failure for every command.
    bool Require(Json& section, std::initializer_list<const char*> names, bool essential = false);

    const std::optional<Failure>& failure() const { return failure_; }
    // What the printer lacks, by call: {"export", "lacks"} for each call whose result said so.
    const Json& lacking() const { return lacking_; }

  private:
    void Record(Json& calls, const char* name, LONG result, const char* lacks) {
        calls.push_back(CallEntry(name, result, lacks));
        if (lacks) {
            lacking_.push_back(Json{{"export", name}, {"lacks", lacks}});
        } else if (result != BIDI_OK) {
            Note(Failure{name, result, false});
        }
    }

    void Note(const Failure& failure) {
        if (!failure_) {
            failure_ = failure;
        }
    }

    const Exports& exports_;
    bool missingFails_;
    std::optional<Failure> failure_;
    Json lacking_ = Json::array();
};

// Calls the export of that name through the session: CALL(session, calls, ClrBiDi_..., args).
#define BIDIPROBE_CALL(session, calls, name, ...) \
    (session).Call((calls), #name, (session).exports().name, __VA_ARGS__)
// The same, with what a result may say the printer lacks: CALL_JUDGED(session, calls, lacks, ...).
#define BIDIPROBE_CALL_JUDGED(session, calls, lacks, name, ...) \
    (session).CallJudged((calls), (lacks), #name, (session).exports().name, __VA_ARGS__)

}  // namespace bidiprobe
