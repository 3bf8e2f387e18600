// Result codes of the simulated printer: the server's shared ones, and its own for a refused
// description.
#pragma once

#include <windows.h>

#include "serve_codes.h"

namespace vyxsim {

using namespace vyxserve;

constexpr LONG kBadDescription = 0x200C;  // the printer description cannot be read or used

}  // namespace vyxsim
