// The colour feature: colour and black and white where the marker, the colorant table or the
// supplies show process colours, else black and white alone.
#include <set>

#include "mapping_view.h"

namespace vyxsnmp::mapping {
namespace {

// A process colour named as a word of its own, in any case ("Cyan toner", "TONER CYAN",
// "light-magenta"); a letter alone ("C-Toner") names too many other things to count.
bool NamesProcessColour(const std::string& text) {
    for (const char* colour : {"cyan", "magenta", "yellow"}) {
        if (HasWord(text, colour)) {
            return true;
        }
    }
    return false;
}

// Whether a supply holds a process colour: its colorant in the colorant table (through
// prtMarkerSuppliesColorantIndex), or, for a supply without one there, its description.
bool SuppliesHoldColour(const View& view, const std::map<std::uint32_t, std::string>& colorants) {
    for (const Oid& index : view.Rows({kSuppliesColorant, kSuppliesDescription})) {
        const std::string colorant = SupplyColorant(view, colorants, index);
        const std::string text =
            colorant.empty() ? view.Text(kSuppliesDescription, index) : colorant;
        if (NamesProcessColour(text)) {
            return true;
        }
    }
    return false;
}

// Colour by the marker's process colorants or the colorant table; many printers report
// neither, and then their supplies say it.
bool ColourCapable(const View& view) {
    const auto colorants = Colorants(view);
    std::set<std::string> distinct;
    for (const auto& colorant : colorants) {
        if (!colorant.second.empty()) {
            distinct.insert(Lower(colorant.second));
        }
    }
    if (distinct.size() > 1) {
        return true;
    }
    for (const Oid& index : view.Rows({kMarkerProcessColorants})) {
        if (view.Number(kMarkerProcessColorants, index).value_or(0) > 1) {
            return true;
        }
    }
    return SuppliesHoldColour(view, colorants);
}

}  // namespace

void MapFeatures(const View& view, vyxserve::Printer& printer) {
    vyxserve::Feature mode;
    mode.key = kColourModeKey;
    mode.name = "Colour mode";
    if (ColourCapable(view)) {
        mode.options.push_back({kColourValue, "Full colour"});
    }
    mode.options.push_back({kMonoValue, "Black and white"});
    mode.selected = 0;  // what the printer can do: colour when it has colours, else mono
    printer.features.assign(1, std::move(mode));
}

}  // namespace vyxsnmp::mapping
