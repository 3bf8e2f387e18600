// From IPP to the printer model and back: the requests a snapshot or a selection sends, the
// checks a reply must pass, and how a Get-Printer-Attributes reply becomes a vyxserve::Printer.
// Portable, so that it builds natively with the codec for the sanitizer and fuzzing runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ipp_message.h"
#include "printer.h"

namespace vyxipp {

// The parts of the model a snapshot fills; each asks the printer for its own attributes only.
enum Part : unsigned {
    kFeatures = 1,    // colour features, and whether the printer takes settings
    kAttributes = 2,  // trays, supplies, installable options, e-mail notification
    kTemplates = 4,   // job presets
    kEverything = 7,
};

// The colour features: the attribute pairs they come from and the names a user reads.
struct FeatureSource {
    const char* attribute;  // "print-color-mode": -supported gives the options, -default the choice
    const char* name;       // "Colour mode"
    const char* older;      // the attribute's earlier name, read when a printer lacks it; or null
};
extern const FeatureSource kFeatureSources[4];

// What the module keeps from a reply besides the model.
struct PrinterFacts {
    bool settable = false;  // operations-supported lists Set-Printer-Attributes
};

// The requested-attributes of a snapshot of `parts`.
std::vector<std::string> RequestedAttributes(unsigned parts);

Message PrinterAttributesRequest(const std::string& printerUri, const std::string& user,
                                 unsigned parts, std::int32_t requestId);

// Set-Printer-Attributes of `<feature>-default` to `option`; false when the feature is none of
// kFeatureSources or the option cannot be encoded for it.
bool SetDefaultRequest(const std::string& printerUri, const std::string& user,
                       const std::string& feature, const std::string& option,
                       std::int32_t requestId, Message& request);

// 0 when `reply` answers request `requestId` with a successful status; otherwise the module's
// code: kWrongReply, kNotSupported, or kIppStatusBase + the status.
std::int32_t CheckReply(const Message& reply, std::int32_t requestId);

// Fills the parts of `printer` that `parts` names from a successful reply (other parts are
// left as they are); `facts` is updated along with the features.
void MapPrinter(const Message& reply, unsigned parts, vyxserve::Printer& printer,
                PrinterFacts& facts);

// A printer's text made safe to show: invalid UTF-8 becomes U+FFFD, control characters
// (TAB and LF among them, which would split template items) become spaces.
std::string CleanText(const std::string& text);

// A tray's state from its PWG status bits (availability, alerts, off-line, transitioning).
std::string TrayState(std::int32_t status);

}  // namespace vyxipp
