// Where a query module's printer comes from: each module is the shared server (the 31 entry
// points over a Printer) plus one Source, which says how to get the model and how to send a
// change back.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "faults.h"
#include "printer.h"

namespace vyxserve {

// What a snapshot is for: the connection's first one serves whichever comes first, later ones
// only the family that asks, so a source fetches no more than that family answers from.
enum class Scope {
    kAll,         // VyxQuery_Connect
    kColour,      // Color_OpenSession: the features
    kAttributes,  // Attribute_OpenSession: trays, toners, installables and the e-mail setting
    kTemplates,   // JobTPlate_QueryTemplateNames: the templates
};

class Source {
  public:
    virtual ~Source() = default;

    // VyxQuery_Connect: the two connection strings as the library handed them over (ANSI,
    // read no further than their buffers; empty for a null pointer). 0 when the source can
    // reach its printer; the first snapshot follows at once.
    virtual LONG Connect(const std::string& first, const std::string& second) = 0;

    // VyxQuery_Disconnect: the source lets go of the printer.
    virtual void Disconnect() {}

    // A fresh model of the printer, taken at connect and at session opens: at least the parts
    // that `scope` names are filled (the rest may stay empty). 0, or the module's code for why
    // there is none (`printer` is then not used).
    virtual LONG Snapshot(Scope scope, Printer& printer) = 0;

    // Color_SetKeyValue with a feature and one of its options, both known to the snapshot.
    // 0 with `sent` true when the printer took the change (the next snapshot shows it); 0 with
    // `sent` false when the printer cannot be set, so the server keeps the selection in the
    // query context for its life; otherwise the module's code.
    virtual LONG Select(const Feature& feature, const Option& option, bool& sent) = 0;

    // Faults the server is told to show (the simulated printer's; none for a real printer).
    virtual const Faults& faults() const {
        static const Faults none;
        return none;
    }
};

// Each module defines this: its source for the caller's path given to VyxQuery_Initialize
// (ANSI, as received). Null with `code` set when there is none.
std::unique_ptr<Source> CreateSource(const std::string& path, LONG& code);

}  // namespace vyxserve
