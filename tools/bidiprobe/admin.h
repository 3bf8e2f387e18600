// The administrator's commands: the printers' credentials in the Windows credential store and
// their certificate pins, named as the query modules name them.
#pragma once

#include <string>

#include "options.h"
#include "session.h"

namespace bidiprobe {

// A printer as the modules name it: its module, and its normalised URI (the credential's name)
// and, for IPP, its origin (the pin's name).
struct PrinterName {
    bool snmp = false;
    bool secure = false;  // ipps://
    std::string uri;      // vyxsnmp::NormalisedUri or vyxipp::NormalisedUri
    std::string origin;   // vyxipp::Origin; empty for SNMP
};

// snmp:// goes to the SNMP module, anything else to the IPP module (as --printer does). False
// for a URI that module does not take.
bool NamePrinter(const std::wstring& text, PrinterName& name);

// credential set|show|delete and trust show|forget: writes the report and any message, and
// gives the exit status.
int RunAdministration(const Options& options);

// For a report against an ipps:// printer: {"printer": origin, "pinned": hex or null, "offered":
// hex or null}, read from the trust store after the run; null for any other printer.
Json TrustReport(const std::wstring& printer);

}  // namespace bidiprobe
