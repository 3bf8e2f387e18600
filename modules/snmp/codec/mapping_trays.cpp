// The trays: the input table's rows with their names, capacities and levels, the media size
// from the declared dimensions or the media name, the media type, and a tray's state.
#include "mapping_view.h"
#include "naming.h"

namespace vyxsnmp::mapping {
namespace {

// PrtMediaUnitTC values.
constexpr std::int64_t kTenThousandthsOfInches = 3;
constexpr std::int64_t kMicrometers = 4;

// The media size from the declared dimensions (the shared naming: a size's name, else
// "W x H mm" across the feed first), empty when the printer does not know them.
std::string SizeName(std::optional<std::int64_t> unit, std::optional<std::int64_t> feed,
                     std::optional<std::int64_t> crossFeed) {
    if (!unit || !feed || !crossFeed || *feed <= 0 || *crossFeed <= 0) {
        return std::string();
    }
    double scale = 0;  // millimetres per unit
    if (*unit == kTenThousandthsOfInches) {
        scale = 25.4 / 10000;
    } else if (*unit == kMicrometers) {
        scale = 0.001;
    } else {
        return std::string();
    }
    return vyxserve::SizeFromDimensions(static_cast<double>(*crossFeed) * scale,
                                        static_cast<double>(*feed) * scale);
}

// A sub-unit's state from its PrtSubUnitStatusTC value: the most telling condition wins.
std::string StateText(std::optional<std::int64_t> status, std::optional<std::int64_t> level) {
    if (!status || *status < 0 || *status > 127) {
        return level && *level == 0 ? "Empty" : "Unknown";
    }
    const std::int64_t availability = *status & 7;
    if (availability == 3) {
        return "Broken";
    }
    if (availability == 5 || availability == 7) {
        return "Unknown";
    }
    if (*status & 32) {
        return "Offline";
    }
    if (availability == 1) {
        return "On request";
    }
    if (*status & 16) {
        return "Error";
    }
    if (level && *level == 0) {
        return "Empty";
    }
    if (*status & 8) {
        return "Warning";
    }
    if (availability == 4 || availability == 6) {
        return "Busy";
    }
    return "Ready";
}

}  // namespace

void MapTrays(const View& view, vyxserve::Printer& printer) {
    printer.trays.clear();
    for (const Oid& index :
         view.Rows({kInputType, kInputMaxCapacity, kInputCurrentLevel, kInputStatus, kInputName,
                    kInputDescription, kInputMediaName, kInputMediaType, kInputDimUnit})) {
        vyxserve::Tray tray;
        tray.text1 = view.Text(kInputName, index);
        if (tray.text1.empty()) {
            tray.text1 = view.Text(kInputDescription, index);
        }
        if (tray.text1.empty()) {
            tray.text1 = "Input " + std::to_string(index[1]);
        }
        const auto level = view.Number(kInputCurrentLevel, index);
        tray.value1 = Clamp32(view.Number(kInputMaxCapacity, index).value_or(kUnknownQuantity));
        tray.value2 = Clamp32(level.value_or(kUnknownQuantity));
        const std::string mediaName = view.Text(kInputMediaName, index);
        tray.text2 = SizeName(view.Number(kInputDimUnit, index), view.Number(kInputFeedDim, index),
                              view.Number(kInputCrossFeedDim, index));
        const bool sizeFromName = tray.text2.empty();
        if (sizeFromName) {
            const std::string named = vyxserve::SizeFromName(mediaName);
            tray.text2 = named.empty() ? mediaName : named;
        }
        tray.text3 = vyxserve::MediaTypeLabel(view.Text(kInputMediaType, index));
        if (tray.text3.empty() && !sizeFromName) {
            tray.text3 = mediaName;
        }
        tray.text4 = StateText(view.Number(kInputStatus, index), level);
        printer.trays.push_back(std::move(tray));
    }
}

}  // namespace vyxsnmp::mapping
