// The supplies: the supplies table's rows, named by their description or by their colorant and
// type, their levels in percent of the maximum; colorants first.
#include <algorithm>

#include "mapping_view.h"
#include "naming.h"

namespace vyxsnmp::mapping {
namespace {

// PrtMarkerSuppliesSupplyUnitTC's percent.
constexpr std::int64_t kPercentUnit = 19;

// The level in percent of the maximum where both are known; otherwise the MIB's own
// special value (-1 other, -2 unknown, -3 at least some left).
std::int32_t SupplyPercent(std::optional<std::int64_t> level, std::optional<std::int64_t> max,
                           std::optional<std::int64_t> unit) {
    if (!level) {
        return kUnknownQuantity;
    }
    if (*level < 0) {
        return Clamp32(*level);
    }
    if (max && *max > 0) {
        std::int64_t held = *level, most = *max;
        if (held >= most) {
            return 100;
        }
        // Agents send wider numbers than the MIB's Integer32 (gauges of bytes, say): both are
        // halved until the sum below cannot overflow, which keeps their ratio.
        while (held > (INT64_MAX - most / 2) / 100) {
            held /= 2;
            most /= 2;
        }
        return static_cast<std::int32_t>((held * 100 + most / 2) / most);
    }
    if (unit && *unit == kPercentUnit) {
        return static_cast<std::int32_t>(std::min<std::int64_t>(*level, 100));
    }
    return kUnknownQuantity;
}

// A supply without a description: its colorant and type ("Cyan toner"), else its type alone
// ("Drum"), else "Supply N".
std::string SupplyName(const std::string& colorant, const Oid& index,
                       const vyxserve::SupplyType* type) {
    const std::string name =
        vyxserve::SupplyName(vyxserve::ColourWord(colorant), type ? type->label : "");
    return name.empty() ? "Supply " + std::to_string(index[1]) : name;
}

}  // namespace

void MapToners(const View& view, vyxserve::Printer& printer) {
    printer.toners.clear();
    const auto colorants = Colorants(view);
    for (const Oid& index : view.Rows({kSuppliesDescription, kSuppliesLevel, kSuppliesMaxCapacity,
                                       kSuppliesType, kSuppliesColorant})) {
        vyxserve::Toner toner;
        toner.text1 = view.Text(kSuppliesDescription, index);
        const vyxserve::SupplyType* type =
            vyxserve::FindSupplyType(view.Number(kSuppliesType, index).value_or(0));
        const std::string colorant = SupplyColorant(view, colorants, index);
        toner.colorant = vyxserve::IsColorantSupply(type, colorant);
        if (toner.text1.empty()) {
            toner.text1 = SupplyName(colorant, index, type);
        }
        const auto level = view.Number(kSuppliesLevel, index);
        toner.value1 = SupplyPercent(level, view.Number(kSuppliesMaxCapacity, index),
                                     view.Number(kSuppliesUnit, index));
        toner.value2 = Clamp32(level.value_or(kUnknownQuantity));
        printer.toners.push_back(std::move(toner));
    }
    vyxserve::LeadWithColorants(printer.toners);
}

}  // namespace vyxsnmp::mapping
