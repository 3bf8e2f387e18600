// The installable options: sorter, duplex unit, lower tray, fax, finisher and its kinds and
// options, face-down unit, and the scan and fax services of a multifunction printer.
#include <algorithm>
#include <iterator>

#include "ipp_keywords.h"
#include "mapping_reply.h"
#include "naming.h"
#include "option_string.h"

namespace vyxipp::mapping {
namespace {

using vyxserve::Printer;

void Set(Printer& printer, vyxserve::InstallableKind kind, bool fitted, const std::string& what,
         const std::string& absent) {
    vyxserve::Installable& option = printer.installables[kind];
    option.installed = fitted;
    option.text1 = fitted ? "Installed" : "Not installed";
    option.text2 = fitted ? what : absent;
}

std::string Counted(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// An output-bin value that is a choice, not a bin: the printer's own choice, and the mailbox of
// the job's owner (one of the mailbox-N bins).
bool IsBinChoice(const std::string& value) {
    const std::string keyword = vyxserve::AsciiLower(value);
    return keyword == "auto" || keyword == "my-mailbox";
}

// The printer's output bins: output-bin-supported without its choices, and printer-output-tray
// without a tray that stands for one, by its name or (a tray of type `other`) by the value at
// its position in output-bin-supported when both lists are as long.
struct OutputBins {
    std::vector<std::string> listed;
    std::vector<std::map<std::string, std::string>> trays;
};

OutputBins BinsOf(const Reply& reply) {
    OutputBins bins;
    const std::vector<std::string> listed = reply.Strings("output-bin-supported");
    const auto trays = KeyValueList(reply, "printer-output-tray");
    for (std::size_t i = 0; i < trays.size(); ++i) {
        const bool choice = IsBinChoice(Text(trays[i], "name")) ||
                            (Text(trays[i], "type") == "other" && listed.size() == trays.size() &&
                             IsBinChoice(listed[i]));
        if (!choice) {
            bins.trays.push_back(trays[i]);
        }
    }
    std::copy_if(listed.begin(), listed.end(), std::back_inserter(bins.listed),
                 [](const std::string& bin) { return !IsBinChoice(bin); });
    return bins;
}

}  // namespace

void MapInstallables(const Reply& reply, std::size_t paperTrays, Printer& printer) {
    using namespace vyxserve;
    const OutputBins outputs = BinsOf(reply);
    const std::vector<std::string>& bins = outputs.listed;
    const std::size_t binCount = std::max(bins.size(), outputs.trays.size());
    const bool mailbox = std::any_of(bins.begin(), bins.end(),
                                     [](const std::string& b) { return StartsWith(b, "mailbox"); });
    Set(printer, kSorter, binCount > 1 || mailbox, Counted(binCount, "output bin", "output bins"),
        "Sorter");

    const bool duplex = reply.Holds("sides-supported", "two-sided-long-edge") ||
                        reply.Holds("sides-supported", "two-sided-short-edge");
    Set(printer, kDuplex, duplex, "Two-sided printing", "Duplex unit");

    Set(printer, kLowerTray, paperTrays > 1, Counted(paperTrays, "paper tray", "paper trays"),
        "Lower tray");

    std::string faxName;
    bool faxModem = false;
    for (const char* name :
         {"printer-fax-modem-name", "printer-fax-modem-info", "printer-fax-modem-number"}) {
        if (reply.HasValues(name)) {
            faxModem = true;
            const std::vector<std::string> texts = reply.Strings(name);
            if (faxName.empty() && !texts.empty() &&
                std::string(name) != "printer-fax-modem-number") {
                faxName = texts.front();
            }
        }
    }
    const bool fax = faxModem || reply.Holds("ipp-features-supported", "faxout") ||
                     reply.Holds("printer-service-type", "faxout");
    Set(printer, kFax, fax, faxName.empty() ? "Fax" : faxName, "Fax");

    // finishings-supported: every value but none (3) is a finishing the printer can do.
    std::vector<std::string> finishings;
    UniqueList uniqueFinishings(finishings);
    for (std::int32_t f : reply.Integers("finishings-supported", 3)) {
        if (f != 3) {
            uniqueFinishings.Add(EnumKeyword("finishings", f));
        }
    }
    // A printer without a finisher may still send one empty printer-finisher value.
    auto finishers = KeyValueList(reply, "printer-finisher");
    finishers.erase(
        std::remove_if(finishers.begin(), finishers.end(),
                       [](const std::map<std::string, std::string>& unit) { return unit.empty(); }),
        finishers.end());
    const std::vector<std::string> finisherNames = reply.Strings("printer-finisher-description");
    const bool finisher = !finishers.empty() || !finishings.empty();
    Set(printer, kFinisher, finisher,
        !finisherNames.empty() && !finisherNames.front().empty() ? finisherNames.front()
                                                                 : "Finisher",
        "Finisher");

    // The kinds of finisher: each unit's type, else the first word of each finishing.
    std::vector<std::string> kinds;
    UniqueList uniqueKinds(kinds);
    for (const auto& unit : finishers) {
        const std::string type = Text(unit, "type");
        uniqueKinds.Add(type.empty() ? type : FinisherDeviceLabel(type));
    }
    if (kinds.empty()) {
        for (const std::string& f : finishings) {
            uniqueKinds.Add(FinishingLabel(f.substr(0, f.find('-'))));
        }
    }
    std::vector<std::string> finishingLabels;
    for (const std::string& f : finishings) {
        finishingLabels.push_back(FinishingLabel(f));
    }
    Set(printer, kFinisherType, !kinds.empty(), Join(kinds, ", "), "Finisher type");
    Set(printer, kFinisherOption, !finishings.empty(), Join(finishingLabels, ", "),
        "Finisher options");

    bool faceDown = std::find(bins.begin(), bins.end(), "face-down") != bins.end();
    for (const auto& tray : outputs.trays) {
        faceDown = faceDown || Text(tray, "pagedelivery") == "faceDown";
    }
    Set(printer, kFaceDownUnit, faceDown, "Face-down output", "Face-down unit");

    std::vector<std::string> services;
    if (reply.Holds("ipp-features-supported", "scan") ||
        reply.Holds("printer-service-type", "scan")) {
        services.push_back("Scan");
    }
    if (fax) {
        services.push_back(services.empty() ? "Fax" : "fax");
    }
    Set(printer, kMfpOption, !services.empty(), Join(services, ", "), "MFP option");
}

}  // namespace vyxipp::mapping
