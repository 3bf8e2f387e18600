// The supplies: printer-supply with its descriptions where the printer sends it, else the
// marker-* attributes; colorants first.
#include <algorithm>

#include "mapping_reply.h"
#include "naming.h"

namespace vyxipp::mapping {
namespace {

// A supply's kind by its type keyword: the registered label, else the keyword made readable.
struct SupplyKind {
    std::string label;
    const vyxserve::SupplyType* type = nullptr;  // null for a keyword no table knows
};

SupplyKind KindOf(const std::string& type) {
    if (const vyxserve::SupplyType* known = vyxserve::FindSupplyType(type)) {
        return SupplyKind{known->label, known};
    }
    return SupplyKind{vyxserve::ReadableKeyword(type), nullptr};
}

// A supply's name where the printer gave none: its colour and kind ("Magenta ink cartridge"),
// else `fallback` and its position.
std::string NameOfSupply(const std::string& colour, const SupplyKind& kind, const char* fallback,
                         std::size_t position) {
    const std::string name = vyxserve::SupplyName(vyxserve::ColourWord(colour), kind.label);
    return name.empty() ? fallback + std::to_string(position + 1) : name;
}

}  // namespace

void MapToners(const Reply& reply, vyxserve::Printer& printer) {
    printer.toners.clear();
    const auto supplies = KeyValueList(reply, "printer-supply");
    const std::vector<std::string> names = reply.Strings("marker-names");
    if (!supplies.empty()) {
        const std::vector<std::string> descriptions = reply.Strings("printer-supply-description");
        // Printers that send every description empty name their markers instead; a marker name
        // stands for the supply at its position only when both lists are as long.
        const bool markersMatch = names.size() == supplies.size();
        for (std::size_t i = 0; i < supplies.size(); ++i) {
            const auto& values = supplies[i];
            const SupplyKind kind = KindOf(Text(values, "type"));
            const std::string colour = Text(values, "colorantname");
            vyxserve::Toner toner;
            toner.colorant = vyxserve::IsColorantSupply(kind.type, colour);
            if (i < descriptions.size() && !descriptions[i].empty()) {
                toner.text1 = descriptions[i];
            } else if (markersMatch && !names[i].empty()) {
                toner.text1 = names[i];
            } else {
                toner.text1 = NameOfSupply(colour, kind, "Supply ", i);
            }
            const std::int32_t level = Number(values, "level", -2);
            const std::int32_t capacity = Number(values, "maxcapacity", -2);
            toner.value1 = level;
            if (level >= 0 && capacity > 0) {
                toner.value1 = static_cast<std::int32_t>(
                    std::min<std::int64_t>(100, std::int64_t{level} * 100 / capacity));
            }
            toner.value2 = capacity;
            printer.toners.push_back(toner);
        }
    } else {
        const std::vector<std::int32_t> levels = reply.Integers("marker-levels", -2);
        const std::vector<std::string> colors = reply.Strings("marker-colors");
        const std::vector<std::string> types = reply.Strings("marker-types");
        const std::size_t count =
            std::max({names.size(), levels.size(), colors.size(), types.size()});
        for (std::size_t i = 0; i < count; ++i) {
            const SupplyKind kind = KindOf(i < types.size() ? types[i] : std::string());
            const std::string colour = i < colors.size() ? colors[i] : std::string();
            vyxserve::Toner toner;
            toner.colorant = vyxserve::IsColorantSupply(kind.type, colour);
            toner.text1 = i < names.size() && !names[i].empty()
                              ? names[i]
                              : NameOfSupply(colour, kind, "Marker ", i);
            toner.value1 = i < levels.size() ? levels[i] : -2;
            toner.value2 = 100;  // marker levels are percentages of a full supply
            printer.toners.push_back(toner);
        }
    }
    vyxserve::LeadWithColorants(printer.toners);
}

}  // namespace vyxipp::mapping
