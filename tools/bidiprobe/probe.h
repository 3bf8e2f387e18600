// One probe run: initialise, connect, the command's sections, disconnect, terminate.
#pragma once

#include <optional>
#include <string>

#include "exports.h"
#include "options.h"
#include "session.h"

namespace bidiprobe {

struct ProbeRun {
    Json report;
    std::optional<Failure> failure;  // the first failing call or missing export
};

// `caller` is the path given to VyxBiDi_Initialize (nullopt: a null pointer).
ProbeRun RunProbe(const Library& library, const Options& options,
                  const std::optional<std::wstring>& caller);

// The report as text for a reader.
std::string RenderText(const Json& report);

}  // namespace bidiprobe
