// The printer description: a JSON text that says what the simulated printer holds.
#pragma once

#include <stdexcept>
#include <string>

#include "faults.h"
#include "printer.h"

namespace vyxsim {

// A description that cannot be used; the message names the place, e.g. "trays[1].value1: ...".
class DescriptionError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

using vyxserve::Faults;
using vyxserve::Printer;

// What a description says: the printer, and the faults it is to show.
struct Description {
    Printer printer;
    Faults faults;
};

// Reads a description (UTF-8 JSON). With "extends": "default", every top-level section that the
// description leaves out is taken from the built-in printer. Throws DescriptionError.
Description ParseDescription(const std::string& json);

// The built-in printer, served when no description file exists.
Description DefaultPrinter();

// Its description text, embedded at build time from default_printer.json.
const char* DefaultPrinterJson();

}  // namespace vyxsim
