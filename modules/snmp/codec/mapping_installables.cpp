// The installable options: sorter and face-down unit from the output table, duplex unit from
// the media paths, lower tray from the automatic inputs, finisher and its kinds from the
// Finisher MIB, and fax and MFP from the device table and the system description.
#include "mapping_view.h"
#include "naming.h"

namespace vyxsnmp::mapping {
namespace {

using vyxserve::Installable;
using vyxserve::Printer;

const Oid kHrDeviceModem{1, 3, 6, 1, 2, 1, 25, 3, 1, 14};  // hrDeviceModem

// PrtInputTypeTC, PrtOutputPageDeliveryOrientationTC, PrtMediaPathTypeTC and PresentOnOff
// values this mapping looks for.
constexpr std::int64_t kOtherInputType = 1;
constexpr std::int64_t kUnknownInputType = 2;
constexpr std::int64_t kSheetFeedManual = 5;
constexpr std::int64_t kFaceDown = 4;
constexpr std::int64_t kLongEdgeDuplex = 3;
constexpr std::int64_t kShortEdgeDuplex = 4;
constexpr std::int64_t kNotPresent = 5;

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

Installable Fitted(std::string detail) {
    return Installable{true, "Installed", std::move(detail)};
}
Installable Missing(const char* what) {
    return Installable{false, "Not installed", what};
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
        for (const char* word :
             {"manual", "bypass", "mp", "mpt", "multipurpose", "multi-purpose"}) {
            if (HasWord(text, word)) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

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

}  // namespace vyxsnmp::mapping
