// What a result code means to whoever reads the report: one short sentence with what to do,
// from the one table of every code of the library and of this project's query modules
// (result_codes.json, compiled in).
#pragma once

#include <windows.h>

#include <string>

namespace bidiprobe {

// The code's meaning; for a code on a base (an HTTP status added to 0x30000, ...) the added
// number first ("HTTP status 404: ..."); for a code no table holds, a sentence saying so.
std::string MeaningOf(LONG code);

}  // namespace bidiprobe
