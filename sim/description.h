// The printer description: a JSON text that says what the simulated printer holds.
#pragma once

#include <stdexcept>
#include <string>

#include "printer.h"

namespace vyxsim {

// A description that cannot be used; the message names the place, e.g. "trays[1].value1: ...".
class DescriptionError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Reads a description (UTF-8 JSON). With "extends": "default", every top-level section that the
// description leaves out is taken from the built-in printer. Throws DescriptionError.
Printer ParseDescription(const std::string& json);

// The built-in printer, served when no description file exists.
Printer DefaultPrinter();

// Its description text, embedded at build time from default_printer.json.
const char* DefaultPrinterJson();

}  // namespace vyxsim
