// Finding and reading the printer description that belongs to a caller's path.
#pragma once

#include <string>

#include "description.h"

namespace vyxsim {

// The caller's path with its extension replaced by ".json" (appended when it has none);
// empty for an empty path.
std::wstring DescriptionPathFor(const std::wstring& callerPath);

// The printer of that description file, or the built-in printer when the file does not exist.
// Throws DescriptionError when the file exists but cannot be read or used.
Description LoadPrinter(const std::wstring& descriptionPath);

// Tells a developer why a description was refused: on the debugger output and on the standard
// error stream of the process, when it has one.
void ReportDescriptionError(const std::wstring& descriptionPath, const std::string& message);

}  // namespace vyxsim
