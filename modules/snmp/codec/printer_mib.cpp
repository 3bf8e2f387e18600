// From walked MIB columns to the shared printer model.
#include "printer_mib.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "naming.h"

namespace vyxsnmp {
namespace {

using vyxserve::Installable;
using vyxserve::Printer;

Oid Mib2(std::initializer_list<std::uint32_t> tail) { return Oid{1, 3, 6, 1, 2, 1}.Plus(tail); }
Oid Prt(std::initializer_list<std::uint32_t> tail) { return Oid{1, 3, 6, 1, 2, 1, 43}.Plus(tail); }

const Oid kHrDeviceModem = Mib2({25, 3, 1, 14});

// PrtInputTypeTC, PrtOutputPageDeliveryOrientationTC, PrtMediaPathTypeTC, PresentOnOff,
// PrtMediaUnitTC and PrtMarkerSuppliesSupplyUnitTC values this mapping looks for.
constexpr std::int64_t kOtherInputType = 1;
constexpr std::int64_t kUnknownInputType = 2;
constexpr std::int64_t kSheetFeedManual = 5;
constexpr std::int64_t kFaceDown = 4;
constexpr std::int64_t kLongEdgeDuplex = 3;
constexpr std::int64_t kShortEdgeDuplex = 4;
constexpr std::int64_t kNotPresent = 5;
constexpr std::int64_t kTenThousandthsOfInches = 3;
constexpr std::int64_t kMicrometers = 4;
constexpr std::int64_t kPercentUnit = 19;
// The Printer MIB's special quantities.
constexpr std::int32_t kUnknownQuantity = -2;

bool IsPrinterTable(Column column) {
    return column >= kGeneralLocalization && column <= kFinisherDescription;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

// True when `text` holds `word` (lower case ASCII) as a word of its own, in any case.
bool HasWord(const std::string& text, const std::string& word) {
    const std::string lower = Lower(text);
    for (std::size_t at = lower.find(word); at != std::string::npos;
         at = lower.find(word, at + 1)) {
        const bool before = at == 0 || !IsWordChar(lower[at - 1]);
        const std::size_t end = at + word.size();
        const bool after = end == lower.size() || !IsWordChar(lower[end]);
        if (before && after) {
            return true;
        }
    }
    return false;
}

std::int32_t Clamp32(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

// The walked rows, joined by index, for the printer the agent lists first.
class View {
  public:
    View(const MibData& data, const TextDecoder& decoder) : decoder_(decoder) {
        for (std::size_t c = 0; c < kColumnCount; ++c) {
            for (const auto& row : data.rows[c]) {
                cells_[c].emplace(row.first, &row.second);
                if (IsPrinterTable(static_cast<Column>(c)) && !row.first.empty()) {
                    device_ = device_ ? std::min(*device_, row.first[0]) : row.first[0];
                }
            }
        }
        if (device_) {
            const auto localization = Number(kGeneralLocalization, Oid{*device_});
            if (localization && *localization > 0 && *localization <= 0xFFFF) {
                const auto set = Number(kLocalizationCharset,
                                        Oid{*device_, static_cast<std::uint32_t>(*localization)});
                if (set && *set > 0 && *set <= 0xFFFF) {
                    charset_ = static_cast<int>(*set);
                }
            }
        }
    }

    bool HasPrinter() const { return device_.has_value(); }

    // The row indexes (hrDeviceIndex, own index) of the printer's rows in any of `columns`.
    std::vector<Oid> Rows(std::initializer_list<Column> columns) const {
        std::set<Oid> found;
        for (const Column column : columns) {
            for (const auto& cell : cells_[column]) {
                if (device_ && cell.first.size() == 2 && cell.first[0] == *device_) {
                    found.insert(cell.first);
                }
            }
        }
        return std::vector<Oid>(found.begin(), found.end());
    }

    // Every row index of a column, whatever device it belongs to.
    std::vector<Oid> AllRows(Column column) const {
        std::vector<Oid> found;
        for (const auto& cell : cells_[column]) {
            found.push_back(cell.first);
        }
        return found;
    }

    const Value* At(Column column, const Oid& index) const {
        const auto found = cells_[column].find(index);
        return found == cells_[column].end() ? nullptr : found->second;
    }

    std::optional<std::int64_t> Number(Column column, const Oid& index) const {
        const Value* value = At(column, index);
        if (!value || value->type == tag::kOctetString || value->type == tag::kOid ||
            value->type == tag::kNull || value->type == tag::kIpAddress ||
            value->type == tag::kOpaque || value->IsException()) {
            return std::nullopt;
        }
        return value->number;
    }

    // A Printer MIB text, decoded in the printer's localization.
    std::string Text(Column column, const Oid& index) const {
        const Value* value = At(column, index);
        if (!value || value->type != tag::kOctetString) {
            return std::string();
        }
        return decoder_.ToUtf8(value->bytes, charset_);
    }

    // A DisplayString of another MIB (sysDescr, hrDeviceDescr): ASCII by definition, so its
    // bytes are only guessed at when they are not.
    std::string DisplayText(Column column, const Oid& index) const {
        const Value* value = At(column, index);
        if (!value || value->type != tag::kOctetString) {
            return std::string();
        }
        return decoder_.ToUtf8(value->bytes, charset::kUnknown);
    }

    std::uint32_t device() const { return device_.value_or(0); }

  private:
    const TextDecoder& decoder_;
    std::array<std::map<Oid, const Value*>, kColumnCount> cells_;
    std::optional<std::uint32_t> device_;
    int charset_ = charset::kUnknown;
};

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

std::string FinisherWord(std::optional<std::int64_t> type) {
    return vyxserve::FinisherDeviceLabel(type.value_or(2));
}

std::string Join(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts) {
        text += (text.empty() ? "" : ", ") + part;
    }
    return text;
}

Installable Fitted(std::string detail) { return Installable{true, "Installed", std::move(detail)}; }
Installable Missing(const char* what) { return Installable{false, "Not installed", what}; }

void MapTrays(const View& view, Printer& printer) {
    printer.trays.clear();
    for (const Oid& index : view.Rows({kInputType, kInputMaxCapacity, kInputCurrentLevel,
                                       kInputStatus, kInputName, kInputDescription,
                                       kInputMediaName, kInputMediaType, kInputDimUnit})) {
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

std::map<std::uint32_t, std::string> Colorants(const View& view) {
    std::map<std::uint32_t, std::string> names;
    for (const Oid& index : view.Rows({kColorantValue})) {
        names[index[1]] = view.Text(kColorantValue, index);
    }
    return names;
}

// The colorant a supply names through prtMarkerSuppliesColorantIndex; empty without one.
std::string SupplyColorant(const View& view, const std::map<std::uint32_t, std::string>& colorants,
                           const Oid& index) {
    const auto colorant = view.Number(kSuppliesColorant, index);
    const auto named = colorant && *colorant > 0
                           ? colorants.find(static_cast<std::uint32_t>(*colorant))
                           : colorants.end();
    return named != colorants.end() ? named->second : std::string();
}

// A supply without a description: its colorant and type ("Cyan toner"), else its type alone
// ("Drum"), else "Supply N".
std::string SupplyName(const View& view, const std::map<std::uint32_t, std::string>& colorants,
                       const Oid& index, const vyxserve::SupplyType* type) {
    const std::string colour = vyxserve::ColourWord(SupplyColorant(view, colorants, index));
    const std::string name = vyxserve::SupplyName(colour, type ? type->label : "");
    return name.empty() ? "Supply " + std::to_string(index[1]) : name;
}

void MapToners(const View& view, Printer& printer) {
    printer.toners.clear();
    const auto colorants = Colorants(view);
    for (const Oid& index : view.Rows({kSuppliesDescription, kSuppliesLevel, kSuppliesMaxCapacity,
                                       kSuppliesType, kSuppliesColorant})) {
        vyxserve::Toner toner;
        toner.text1 = view.Text(kSuppliesDescription, index);
        const vyxserve::SupplyType* type =
            vyxserve::FindSupplyType(view.Number(kSuppliesType, index).value_or(0));
        toner.colorant = type && type->colorant;
        if (toner.text1.empty()) {
            toner.text1 = SupplyName(view, colorants, index, type);
        }
        const auto level = view.Number(kSuppliesLevel, index);
        toner.value1 = SupplyPercent(level, view.Number(kSuppliesMaxCapacity, index),
                                     view.Number(kSuppliesUnit, index));
        toner.value2 = Clamp32(level.value_or(kUnknownQuantity));
        printer.toners.push_back(std::move(toner));
    }
    vyxserve::LeadWithColorants(printer.toners);
}

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

void MapColour(const View& view, Printer& printer) {
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

// The descriptions of the host's devices and the system: where a fax or MFP shows itself.
std::vector<std::string> Descriptions(const View& view) {
    std::vector<std::string> texts;
    for (const Oid& index : view.AllRows(kDeviceDescr)) {
        texts.push_back(view.DisplayText(kDeviceDescr, index));
    }
    for (const Oid& index : view.AllRows(kSysDescr)) {
        texts.push_back(view.DisplayText(kSysDescr, index));
    }
    return texts;
}

std::optional<std::string> FaxDevice(const View& view) {
    for (const Oid& index : view.AllRows(kDeviceType)) {
        const Value* type = view.At(kDeviceType, index);
        if (type && type->type == tag::kOid && type->oid == kHrDeviceModem) {
            const std::string text = view.DisplayText(kDeviceDescr, index);
            return text.empty() ? std::string("Fax modem") : text;
        }
    }
    for (const std::string& text : Descriptions(view)) {
        if (HasWord(text, "fax")) {
            return text;
        }
    }
    return std::nullopt;
}

std::optional<std::string> MfpDescription(const View& view) {
    for (const std::string& text : Descriptions(view)) {
        for (const char* word : {"mfp", "multifunction", "multi-function", "scanner", "copier"}) {
            if (HasWord(text, word)) {
                return text;
            }
        }
    }
    return std::nullopt;
}

// A manual feed by its prtInputType; where the type is missing or says nothing (other,
// unknown), by a word of its name or description.
bool IsManualFeed(const View& view, const Oid& input) {
    const auto type = view.Number(kInputType, input);
    if (type && *type != kOtherInputType && *type != kUnknownInputType) {
        return *type == kSheetFeedManual;
    }
    for (const Column column : {kInputName, kInputDescription}) {
        const std::string text = view.Text(column, input);
        for (const char* word : {"manual", "bypass", "mp", "mpt", "multipurpose", "multi-purpose"}) {
            if (HasWord(text, word)) {
                return true;
            }
        }
    }
    return false;
}

void MapInstallables(const View& view, Printer& printer) {
    auto& options = printer.installables;

    const auto outputs = view.Rows({kOutputName, kOutputDescription, kOutputDelivery});
    auto outputName = [&view](const Oid& index) {
        std::string name = view.Text(kOutputName, index);
        if (name.empty()) {
            name = view.Text(kOutputDescription, index);
        }
        return name.empty() ? "Output " + std::to_string(index[1]) : name;
    };
    if (outputs.size() > 1) {
        std::vector<std::string> names;
        for (const Oid& index : outputs) {
            names.push_back(outputName(index));
        }
        options[vyxserve::kSorter] =
            Fitted(std::to_string(outputs.size()) + " outputs: " + Join(names));
    } else {
        options[vyxserve::kSorter] = Missing("Sorter");
    }
    options[vyxserve::kFaceDownUnit] = Missing("Face-down output");
    for (const Oid& index : outputs) {
        if (view.Number(kOutputDelivery, index) == kFaceDown) {
            options[vyxserve::kFaceDownUnit] = Fitted(outputName(index));
            break;
        }
    }

    options[vyxserve::kDuplex] = Missing("Duplex unit");
    for (const Oid& index : view.Rows({kMediaPathType, kMediaPathDescription})) {
        const auto type = view.Number(kMediaPathType, index);
        if (type == kLongEdgeDuplex || type == kShortEdgeDuplex) {
            std::string text = view.Text(kMediaPathDescription, index);
            if (text.empty()) {
                text = type == kLongEdgeDuplex ? "Long-edge duplex" : "Short-edge duplex";
            }
            options[vyxserve::kDuplex] = Fitted(text);
            break;
        }
    }

    // A lower tray is an automatic input beyond the first: a manual feed does not count.
    std::vector<std::string> trays;
    for (const Oid& index : view.Rows({kInputType, kInputName, kInputDescription})) {
        if (!IsManualFeed(view, index)) {
            std::string name = view.Text(kInputName, index);
            if (name.empty()) {
                name = view.Text(kInputDescription, index);
            }
            trays.push_back(name.empty() ? "Input " + std::to_string(index[1]) : name);
        }
    }
    options[vyxserve::kLowerTray] = trays.size() > 1 ? Fitted(trays[1]) : Missing("Lower tray");

    std::vector<Oid> finishers;
    for (const Oid& index : view.Rows({kFinisherType, kFinisherPresent, kFinisherDescription})) {
        if (view.Number(kFinisherPresent, index) != kNotPresent) {
            finishers.push_back(index);
        }
    }
    if (!finishers.empty()) {
        const Oid& first = finishers.front();
        std::string description = view.Text(kFinisherDescription, first);
        if (description.empty()) {
            description = FinisherWord(view.Number(kFinisherType, first));
        }
        options[vyxserve::kFinisher] = Fitted(description);
        options[vyxserve::kFinisherType] = Fitted(FinisherWord(view.Number(kFinisherType, first)));
    } else {
        options[vyxserve::kFinisher] = Missing("Finisher");
        options[vyxserve::kFinisherType] = Missing("Finisher type");
    }
    if (finishers.size() > 1) {
        std::vector<std::string> words;
        for (std::size_t i = 1; i < finishers.size(); ++i) {
            words.push_back(FinisherWord(view.Number(kFinisherType, finishers[i])));
        }
        options[vyxserve::kFinisherOption] = Fitted(Join(words));
    } else {
        options[vyxserve::kFinisherOption] = Missing("Finisher option");
    }

    const auto fax = FaxDevice(view);
    options[vyxserve::kFax] = fax ? Fitted(*fax) : Missing("Fax");
    const auto mfp = MfpDescription(view);
    options[vyxserve::kMfpOption] = mfp ? Fitted(*mfp) : Missing("MFP");
}

}  // namespace

const Oid& ColumnOid(Column column) {
    static const std::array<Oid, kColumnCount> kOids = {
        Mib2({1, 1}),                                                    // sysDescr
        Prt({5, 1, 1, 2}),  Prt({7, 1, 1, 4}),                             // localization
        Prt({8, 2, 1, 2}),  Prt({8, 2, 1, 3}),  Prt({8, 2, 1, 4}),  Prt({8, 2, 1, 5}),
        Prt({8, 2, 1, 9}),  Prt({8, 2, 1, 10}), Prt({8, 2, 1, 11}), Prt({8, 2, 1, 12}),
        Prt({8, 2, 1, 13}), Prt({8, 2, 1, 18}), Prt({8, 2, 1, 21}),        // inputs
        Prt({9, 2, 1, 7}),  Prt({9, 2, 1, 12}), Prt({9, 2, 1, 20}),        // outputs
        Prt({10, 2, 1, 6}),                                                // markers
        Prt({11, 1, 1, 3}), Prt({11, 1, 1, 5}), Prt({11, 1, 1, 6}), Prt({11, 1, 1, 7}),
        Prt({11, 1, 1, 8}), Prt({11, 1, 1, 9}),                            // supplies
        Prt({12, 1, 1, 4}),                                                // colorants
        Prt({13, 4, 1, 9}), Prt({13, 4, 1, 10}),                           // media paths
        Prt({30, 1, 1, 2}), Prt({30, 1, 1, 3}), Prt({30, 1, 1, 10}),       // finishers
        Mib2({25, 3, 2, 1, 2}), Mib2({25, 3, 2, 1, 3}),                    // hrDeviceTable
    };
    return kOids[column];
}

std::vector<Column> ColumnsFor(Parts parts) {
    std::vector<Column> columns;
    for (std::size_t c = 0; c < kColumnCount; ++c) {
        const Column column = static_cast<Column>(c);
        // Colour: the markers, the colorants, and the supplies' colorants and descriptions
        // (read in the printer's localization) for a printer that reports neither of the first.
        const bool colour = column == kMarkerProcessColorants || column == kColorantValue ||
                            column == kSuppliesColorant || column == kSuppliesDescription ||
                            column == kGeneralLocalization || column == kLocalizationCharset;
        const bool attributes = column != kMarkerProcessColorants;
        if (parts == Parts::kAll || (parts == Parts::kColour ? colour : attributes)) {
            columns.push_back(column);
        }
    }
    return columns;
}

MapStatus MapPrinter(const MibData& data, Parts parts, const TextDecoder& decoder,
                     Printer& printer) {
    const View view(data, decoder);
    if (parts != Parts::kColour && !view.HasPrinter()) {
        return MapStatus::kNotAPrinter;
    }
    if (parts != Parts::kAttributes) {
        MapColour(view, printer);
    }
    if (parts != Parts::kColour) {
        MapTrays(view, printer);
        MapToners(view, printer);
        MapInstallables(view, printer);
    }
    printer.templates.clear();
    return MapStatus::kOk;
}

}  // namespace vyxsnmp
