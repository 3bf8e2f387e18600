// The IPP module's mapping: which attributes each snapshot asks for and how each becomes a part
// of the printer model. The README's mapping table describes the same, attribute by attribute.
#include "ipp_mapping.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <set>

#include "ipp_codes.h"
#include "ipp_keywords.h"
#include "naming.h"
#include "option_string.h"

namespace vyxipp {

const FeatureSource kFeatureSources[4] = {
    {"print-color-mode", "Colour mode", "output-mode"},
    {"print-quality", "Print quality", nullptr},
    {"print-rendering-intent", "Rendering intent", nullptr},
    {"print-content-optimize", "Content optimisation", nullptr},
};

namespace {

using vyxserve::Printer;

const char* const kAttributeNames[] = {
    "printer-input-tray",
    "media-col-ready",
    "media-ready",
    "media-source-supported",
    "printer-supply",
    "printer-supply-description",
    "marker-names",
    "marker-levels",
    "marker-colors",
    "marker-types",
    "sides-supported",
    "output-bin-supported",
    "printer-output-tray",
    "printer-finisher",
    "printer-finisher-description",
    "finishings-supported",
    "ipp-features-supported",
    "printer-service-type",
    "printer-fax-modem-info",
    "printer-fax-modem-name",
    "printer-fax-modem-number",
    "notify-schemes-supported",
};

// ---- reading attributes --------------------------------------------------------------------

class Reply {
  public:
    explicit Reply(const Message& message) : message_(message) {}

    const Attribute* Find(const std::string& name) const {
        return message_.Find(kPrinterGroup, name);
    }

    // The attribute's string values, cleaned, in order (values of other tags are left out).
    std::vector<std::string> Strings(const std::string& name) const {
        std::vector<std::string> out;
        if (const Attribute* a = Find(name)) {
            for (const Value& v : a->values) {
                if (v.IsString()) {
                    out.push_back(CleanText(v.AsString()));
                }
            }
        }
        return out;
    }

    // The integer or enum values, in order; `missing` for a value of another tag, so that
    // positions still match those of the attributes that go with it.
    std::vector<std::int32_t> Integers(const std::string& name, std::int32_t missing) const {
        std::vector<std::int32_t> out;
        if (const Attribute* a = Find(name)) {
            for (const Value& v : a->values) {
                out.push_back(v.IsInteger() ? v.AsInteger() : missing);
            }
        }
        return out;
    }

    bool Holds(const std::string& name, const std::string& keyword) const {
        const std::vector<std::string> values = Strings(name);
        return std::find(values.begin(), values.end(), keyword) != values.end();
    }

    bool HasValues(const std::string& name) const {
        const Attribute* a = Find(name);
        if (!a) {
            return false;
        }
        for (const Value& v : a->values) {
            if (!v.IsOutOfBand()) {
                return true;
            }
        }
        return false;
    }

  private:
    const Message& message_;
};

// The `key=value;...` strings of printer-input-tray, printer-supply, printer-output-tray and
// printer-finisher.
std::map<std::string, std::string> KeyValues(const std::string& text) {
    std::map<std::string, std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(';', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string pair = text.substr(start, end - start);
        const std::size_t equals = pair.find('=');
        if (equals != std::string::npos && out.count(pair.substr(0, equals)) == 0) {
            out[pair.substr(0, equals)] = pair.substr(equals + 1);
        }
        start = end + 1;
    }
    return out;
}

// A whole decimal number, sign allowed; `fallback` for anything else or out of range.
std::int32_t Number(const std::map<std::string, std::string>& values, const std::string& key,
                    std::int32_t fallback) {
    const auto found = values.find(key);
    if (found == values.end() || found->second.empty() || found->second.size() > 11) {
        return fallback;
    }
    const std::string& text = found->second;
    std::size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size()) {
        return fallback;
    }
    std::int64_t n = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return fallback;
        }
        n = n * 10 + (text[i] - '0');
    }
    if (text[0] == '-') {
        n = -n;
    }
    if (n < INT32_MIN || n > INT32_MAX) {
        return fallback;
    }
    return static_cast<std::int32_t>(n);
}

std::string Text(const std::map<std::string, std::string>& values, const std::string& key) {
    const auto found = values.find(key);
    return found == values.end() ? std::string() : CleanText(found->second);
}

std::vector<std::map<std::string, std::string>> KeyValueList(const Reply& reply,
                                                             const std::string& name) {
    std::vector<std::map<std::string, std::string>> out;
    if (const Attribute* a = reply.Find(name)) {
        for (const Value& v : a->values) {
            if (v.IsString()) {
                out.push_back(KeyValues(v.AsString()));
            }
        }
    }
    return out;
}

std::string Join(const std::vector<std::string>& parts, const char* separator) {
    std::string out;
    for (const std::string& p : parts) {
        if (!out.empty()) {
            out += separator;
        }
        out += p;
    }
    return out;
}

// The same for lists as long as a reply's values (a printer may send a hundred thousand): a
// search of the list for each would take minutes, so what is in it is also kept in a set.
class UniqueList {
  public:
    explicit UniqueList(std::vector<std::string>& list) : list_(list) {}
    void Add(const std::string& item) {
        if (!item.empty() && seen_.insert(item).second) {
            list_.push_back(item);
        }
    }

  private:
    std::vector<std::string>& list_;
    std::set<std::string> seen_;
};

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// ---- colour features -----------------------------------------------------------------------

// An option's keyword from one value: print-quality is an enum of which only draft, normal and
// high are shown; the others are keywords.
std::string OptionKeyword(const std::string& attribute, const Value& value) {
    if (attribute == "print-quality") {
        if (!value.IsInteger() || value.AsInteger() < 3 || value.AsInteger() > 5) {
            return std::string();
        }
        return EnumKeyword(attribute, value.AsInteger());
    }
    return value.IsString() ? CleanText(value.AsString()) : std::string();
}

void MapFeatures(const Reply& reply, Printer& printer) {
    printer.features.clear();
    for (const FeatureSource& source : kFeatureSources) {
        // A printer that predates the attribute answers by its older name; the feature then
        // goes by that name, so that a selection is set where the printer reads it.
        std::string attribute = source.attribute;
        const Attribute* supported = reply.Find(attribute + "-supported");
        if (!supported && source.older) {
            attribute = source.older;
            supported = reply.Find(attribute + "-supported");
        }
        if (!supported) {
            continue;
        }
        vyxserve::Feature feature;
        feature.key = attribute;
        feature.name = source.name;
        std::vector<std::string> keywords;
        UniqueList unique(keywords);
        for (const Value& v : supported->values) {
            unique.Add(OptionKeyword(attribute, v));
        }
        if (keywords.empty()) {
            continue;
        }
        for (const std::string& k : keywords) {
            feature.options.push_back(vyxserve::Option{k, KeywordLabel(k)});
        }
        feature.selected = feature.options.size();
        if (const Attribute* def = reply.Find(attribute + "-default")) {
            if (const Value* v = def->First()) {
                const std::string chosen = OptionKeyword(attribute, *v);
                for (std::size_t i = 0; i < feature.options.size(); ++i) {
                    if (!chosen.empty() && feature.options[i].value == chosen) {
                        feature.selected = i;
                    }
                }
            }
        }
        printer.features.push_back(std::move(feature));
    }
}

// ---- trays ---------------------------------------------------------------------------------

struct Media {
    std::string size;
    std::string type;
};

// A media size keyword as a user reads it: its common name or dimensions, else made readable.
std::string SizeText(const std::string& keyword) {
    const std::string named = vyxserve::SizeFromName(keyword);
    return named.empty() ? vyxserve::ReadableKeyword(keyword) : named;
}

// media-ready's size names by their dimensions in whole millimetres, so that each media-col-ready
// entry finds the name of its size without searching the list (both may hold many thousands).
class ReadySizes {
  public:
    explicit ReadySizes(const std::vector<std::string>& names) {
        for (std::size_t i = 0; i < names.size(); ++i) {
            double width = 0, height = 0;
            if (vyxserve::DimensionsOfName(names[i], width, height)) {
                sizes_.emplace(KeyOf(width, height), Sized{i, width, height, names[i]});
            }
        }
    }

    // The first listed name of a size within the tolerance of `width` by `height`, either way
    // round; empty when there is none.
    std::string Find(double width, double height) const {
        const Sized* found = nullptr;
        for (const auto& side : {std::make_pair(width, height), std::make_pair(height, width)}) {
            const Key near = KeyOf(side.first, side.second);
            for (long long dx = -1; dx <= 1; ++dx) {
                for (long long dy = -1; dy <= 1; ++dy) {
                    const auto at = sizes_.find({near.first + dx, near.second + dy});
                    if (at != sizes_.end() && (!found || at->second.position < found->position) &&
                        vyxserve::SameSize(width, height, at->second.width, at->second.height)) {
                        found = &at->second;
                    }
                }
            }
        }
        return found ? found->name : std::string();
    }

  private:
    using Key = std::pair<long long, long long>;
    struct Sized {
        std::size_t position;
        double width, height;
        std::string name;
    };
    static Key KeyOf(double width, double height) {
        return {std::llround(std::min(width, 1e9)), std::llround(std::min(height, 1e9))};
    }
    std::map<Key, Sized> sizes_;
};

// A media-size collection (hundredths of millimetres) as a user reads it: the `media-ready`
// name of that size where the printer lists one (it knows its sizes better than a table), else
// the size the dimensions name; a roll (its length a range) by its width.
std::string SizeOfDimensions(const Value& mediaSize, const ReadySizes& ready) {
    const Value* x = nullptr;
    const Value* y = nullptr;
    for (const Attribute& d : mediaSize.members) {
        if (d.name == "x-dimension") {
            x = d.First();
        } else if (d.name == "y-dimension") {
            y = d.First();
        }
    }
    if (!x || !y || !x->IsInteger() || x->AsInteger() <= 0) {
        return std::string();
    }
    const double width = x->AsInteger() / 100.0;
    if (y->tag == kRangeOfInteger) {
        return vyxserve::RollSize(width);
    }
    if (!y->IsInteger() || y->AsInteger() <= 0) {
        return std::string();
    }
    const double height = y->AsInteger() / 100.0;
    const std::string named = ready.Find(width, height);
    return named.empty() ? vyxserve::SizeFromDimensions(width, height) : SizeText(named);
}

// media-col-ready by media-source: the size and the type a user reads.
std::map<std::string, Media> ReadyMedia(const Reply& reply) {
    std::map<std::string, Media> out;
    const Attribute* ready = reply.Find("media-col-ready");
    if (!ready) {
        return out;
    }
    const ReadySizes readySizes(reply.Strings("media-ready"));
    for (const Value& v : ready->values) {
        if (!v.IsCollection()) {
            continue;
        }
        std::string source;
        Media media;
        const Value* dimensions = nullptr;
        for (const Attribute& member : v.members) {
            const Value* first = member.First();
            if (!first) {
                continue;
            }
            if (member.name == "media-source") {
                source = CleanText(first->AsString());
            } else if (member.name == "media-size-name") {
                media.size = SizeText(CleanText(first->AsString()));
            } else if (member.name == "media-type") {
                media.type = vyxserve::MediaTypeLabel(CleanText(first->AsString()));
            } else if (member.name == "media-size" && first->IsCollection()) {
                dimensions = first;
            }
        }
        if (media.size.empty() && dimensions) {
            media.size = SizeOfDimensions(*dimensions, readySizes);
        }
        if (!source.empty() && out.count(source) == 0) {
            out[source] = media;
        }
    }
    return out;
}

// A tray's own media keys, for a tray that media-col-ready says nothing of.
Media TrayMedia(const std::map<std::string, std::string>& values) {
    Media media;
    const std::string name = Text(values, "medianame");
    media.size = name.empty() ? std::string() : SizeText(name);
    const std::string type = Text(values, "mediatype");
    media.type = type.empty() ? std::string() : vyxserve::MediaTypeLabel(type);
    return media;
}

bool IsPaperTraySource(const std::string& source) {
    static const char* const kTrays[] = {"main",   "alternate", "large-capacity", "lower",
                                         "middle", "top",       "bottom",         "side"};
    for (const char* t : kTrays) {
        if (source == t) {
            return true;
        }
    }
    return StartsWith(source, "tray-");
}

// A tray that feeds sheets by itself: the registered sheet-feed types but the manual feed, and
// the vendors' own (`sheetFeedPull`, `sheetFeedAutoNonRemovable`, `removableBin`).
bool IsSheetFeedTray(const std::string& keyword) {
    const std::string type = vyxserve::AsciiLower(keyword);
    return (StartsWith(type, "sheetfeed") && type.find("manual") == std::string::npos) ||
           type.find("removablebin") != std::string::npos;
}

// The trays, and how many of them are paper trays (not a by-pass, roll or automatic choice).
// Automatic selection is no tray: the `auto` source, and a tray of type `other` that stands
// for it, are left out.
std::size_t MapTrays(const Reply& reply, Printer& printer) {
    printer.trays.clear();
    const std::map<std::string, Media> media = ReadyMedia(reply);
    const std::vector<std::string> sources = reply.Strings("media-source-supported");
    const auto trays = KeyValueList(reply, "printer-input-tray");
    std::size_t paperTrays = 0;
    if (trays.empty()) {
        for (const std::string& source : sources) {
            if (source == "auto") {
                continue;
            }
            vyxserve::Tray tray;
            tray.text1 = vyxserve::MediaSourceLabel(source);
            tray.value1 = -2;
            tray.value2 = -2;
            const auto found = media.find(source);
            if (found != media.end()) {
                tray.text2 = found->second.size;
                tray.text3 = found->second.type;
            }
            tray.text4 = "Unknown";
            printer.trays.push_back(tray);
            paperTrays += IsPaperTraySource(source) ? 1 : 0;
        }
        return paperTrays;
    }
    for (std::size_t i = 0; i < trays.size(); ++i) {
        const auto& values = trays[i];
        const std::string name = Text(values, "name");
        const std::string type = Text(values, "type");
        const std::string listed = sources.size() == trays.size() ? sources[i] : std::string();
        if (type == "other" && (name == "auto" || listed == "auto")) {
            continue;
        }
        const std::string source = media.count(name) != 0 || listed.empty() ? name : listed;
        vyxserve::Tray tray;
        tray.text1 = !name.empty()     ? vyxserve::MediaSourceLabel(name)
                     : !source.empty() ? vyxserve::MediaSourceLabel(source)
                                       : "Tray " + std::to_string(printer.trays.size() + 1);
        tray.value1 = Number(values, "maxcapacity", -2);
        tray.value2 = Number(values, "level", -2);
        const auto found = media.find(source);
        const Media loaded = found != media.end() ? found->second : TrayMedia(values);
        tray.text2 = loaded.size;
        tray.text3 = loaded.type;
        tray.text4 = values.count("status") ? TrayState(Number(values, "status", 5)) : "Unknown";
        paperTrays += IsSheetFeedTray(type) ? 1 : 0;
        printer.trays.push_back(tray);
    }
    return paperTrays;
}

// ---- supplies ------------------------------------------------------------------------------

// A supply's kind by its type keyword: the registered label and whether it is a colorant; an
// unregistered keyword made readable.
struct SupplyKind {
    std::string label;
    bool colorant = false;
};

SupplyKind KindOf(const std::string& type) {
    if (const vyxserve::SupplyType* known = vyxserve::FindSupplyType(type)) {
        return SupplyKind{known->label, known->colorant};
    }
    return SupplyKind{vyxserve::ReadableKeyword(type), false};
}

// A supply's name where the printer gave none: its colour and kind ("Magenta ink cartridge"),
// else `fallback` and its position.
std::string NameOfSupply(const std::string& colour, const SupplyKind& kind, const char* fallback,
                         std::size_t position) {
    const std::string name = vyxserve::SupplyName(vyxserve::ColourWord(colour), kind.label);
    return name.empty() ? fallback + std::to_string(position + 1) : name;
}

void MapToners(const Reply& reply, Printer& printer) {
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
            vyxserve::Toner toner;
            toner.colorant = kind.colorant;
            if (i < descriptions.size() && !descriptions[i].empty()) {
                toner.text1 = descriptions[i];
            } else if (markersMatch && !names[i].empty()) {
                toner.text1 = names[i];
            } else {
                toner.text1 = NameOfSupply(Text(values, "colorantname"), kind, "Supply ", i);
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
            vyxserve::Toner toner;
            toner.colorant = kind.colorant;
            toner.text1 = i < names.size() && !names[i].empty()
                              ? names[i]
                              : NameOfSupply(i < colors.size() ? colors[i] : std::string(), kind,
                                             "Marker ", i);
            toner.value1 = i < levels.size() ? levels[i] : -2;
            toner.value2 = 100;  // marker levels are percentages of a full supply
            printer.toners.push_back(toner);
        }
    }
    vyxserve::LeadWithColorants(printer.toners);
}

// ---- installable options -------------------------------------------------------------------

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

void MapInstallables(const Reply& reply, std::size_t paperTrays, Printer& printer) {
    using namespace vyxserve;
    // `auto` lets the printer choose a bin: it is none itself.
    std::vector<std::string> bins = reply.Strings("output-bin-supported");
    bins.erase(std::remove(bins.begin(), bins.end(), "auto"), bins.end());
    const auto outputTrays = KeyValueList(reply, "printer-output-tray");
    const std::size_t binCount = std::max(bins.size(), outputTrays.size());
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
    for (const auto& tray : outputTrays) {
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

// ---- job presets ---------------------------------------------------------------------------

std::string DateTime(const std::string& b) {
    auto at = [&](std::size_t i) { return static_cast<unsigned>(static_cast<std::uint8_t>(b[i])); };
    char text[40];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u%c%02u%02u", at(0) << 8 | at(1),
                  at(2), at(3), at(4), at(5), at(6), b[8] == '-' ? '-' : '+', at(9), at(10));
    return text;
}

std::string FormatValue(const std::string& attribute, const Value& v) {
    switch (v.tag) {
        case kInteger:
            return std::to_string(v.AsInteger());
        case kEnum:
            return EnumKeyword(attribute, v.AsInteger());
        case kBoolean:
            return v.AsBoolean() ? "true" : "false";
        case kRangeOfInteger:
            return std::to_string(v.WordAt(0)) + "-" + std::to_string(v.WordAt(4));
        case kResolution:
            return std::to_string(v.WordAt(0)) + "x" + std::to_string(v.WordAt(4)) +
                   (v.bytes.size() == 9 && v.bytes[8] == 4 ? "dpcm" : "dpi");
        case kDateTime:
            return v.bytes.size() == 11 ? DateTime(v.bytes) : std::string();
        case kUnknownValue:
            return "unknown";
        case kNoValue:
            return "no-value";
        default:
            return v.IsString() ? CleanText(v.AsString()) : std::string();
    }
}

// The items of a preset in the order their names first appear, with where each name is, so
// that a preset of thousands of members is not searched once per value.
struct Flat {
    std::vector<std::pair<std::string, std::vector<std::string>>> items;
    std::map<std::string, std::size_t> positions;
};

// Member collections become dotted names; the values of one name, from every value of a
// 1setOf collection too, are gathered in order.
void Flatten(const std::string& prefix, const Attribute& attribute, Flat& out) {
    const std::string name = prefix + CleanText(attribute.name);
    for (const Value& v : attribute.values) {
        if (v.IsCollection()) {
            for (const Attribute& member : v.members) {
                Flatten(name + ".", member, out);
            }
            continue;
        }
        const auto placed = out.positions.emplace(name, out.items.size());
        if (placed.second) {
            out.items.emplace_back(name, std::vector<std::string>());
        }
        out.items[placed.first->second].second.push_back(FormatValue(attribute.name, v));
    }
}

void MapTemplates(const Reply& reply, Printer& printer) {
    printer.templates.clear();
    const Attribute* presets = reply.Find("job-presets-supported");
    if (!presets) {
        return;
    }
    std::int32_t position = 0;
    for (const Value& preset : presets->values) {
        if (!preset.IsCollection()) {
            continue;
        }
        vyxserve::JobTemplate job;
        job.tag = ++position;
        Flat items;
        for (const Attribute& member : preset.members) {
            if (member.name == "preset-name") {
                if (const Value* v = member.First()) {
                    job.name = CleanText(v->AsString());
                }
                continue;
            }
            Flatten(std::string(), member, items);
        }
        if (job.name.empty()) {
            job.name = "Preset " + std::to_string(job.tag);
        }
        for (const auto& item : items.items) {
            job.items.emplace_back(item.first, Join(item.second, ","));
        }
        printer.templates.push_back(std::move(job));
    }
}

void MapEMail(const Reply& reply, Printer& printer) {
    bool mailto = false;
    for (const std::string& scheme : reply.Strings("notify-schemes-supported")) {
        mailto = mailto || vyxserve::AsciiLower(scheme) == "mailto";
    }
    // IPP subscribes to any event by e-mail once mailto is offered, so every value is covered,
    // whatever bits a caller's value sets on either architecture.
    printer.email.enabled = mailto;
    printer.email.events = mailto ? ~std::uint64_t{0} : 0;
}

Message Request(std::uint16_t operation, const std::string& printerUri, const std::string& user,
                std::int32_t requestId) {
    Message m;
    m.code = operation;
    m.requestId = requestId;
    Group operationGroup{kOperationGroup, {}};
    operationGroup.attributes.push_back({"attributes-charset", {Value::String(kCharset, "utf-8")}});
    operationGroup.attributes.push_back(
        {"attributes-natural-language", {Value::String(kNaturalLanguage, "en")}});
    operationGroup.attributes.push_back({"printer-uri", {Value::String(kUri, printerUri)}});
    operationGroup.attributes.push_back(
        {"requesting-user-name", {Value::String(kNameWithoutLanguage, user)}});
    m.groups.push_back(std::move(operationGroup));
    return m;
}

}  // namespace

std::vector<std::string> RequestedAttributes(unsigned parts) {
    std::vector<std::string> names;
    if (parts & kFeatures) {
        for (const FeatureSource& f : kFeatureSources) {
            for (const char* attribute : {f.attribute, f.older}) {
                if (attribute) {
                    names.push_back(std::string(attribute) + "-supported");
                    names.push_back(std::string(attribute) + "-default");
                }
            }
        }
        names.push_back("operations-supported");
    }
    if (parts & kAttributes) {
        names.insert(names.end(), std::begin(kAttributeNames), std::end(kAttributeNames));
    }
    if (parts & kTemplates) {
        names.push_back("job-presets-supported");
    }
    return names;
}

Message PrinterAttributesRequest(const std::string& printerUri, const std::string& user,
                                 unsigned parts, std::int32_t requestId) {
    Message m = Request(kGetPrinterAttributes, printerUri, user, requestId);
    Attribute requested{"requested-attributes", {}};
    for (const std::string& name : RequestedAttributes(parts)) {
        requested.values.push_back(Value::String(kKeyword, name));
    }
    m.groups.front().attributes.push_back(std::move(requested));
    return m;
}

bool SetDefaultRequest(const std::string& printerUri, const std::string& user,
                       const std::string& feature, const std::string& option,
                       std::int32_t requestId, Message& request) {
    const bool known = std::any_of(
        std::begin(kFeatureSources), std::end(kFeatureSources), [&](const FeatureSource& f) {
            return feature == f.attribute || (f.older && feature == f.older);
        });
    if (!known) {
        return false;
    }
    Value value = Value::String(kKeyword, option);
    if (feature == "print-quality") {
        std::int32_t number = 0;
        if (!EnumValue(feature, option, number)) {
            return false;
        }
        value = Value::Integer(kEnum, number);
    }
    request = Request(kSetPrinterAttributes, printerUri, user, requestId);
    request.groups.push_back(Group{kPrinterGroup, {{feature + "-default", {value}}}});
    return true;
}

std::int32_t CheckReply(const Message& reply, std::int32_t requestId) {
    if (reply.requestId != requestId) {
        return kWrongReply;
    }
    if (reply.code <= kSuccessfulLimit) {
        return 0;
    }
    if (reply.code == kServerErrorOperationNotSupported ||
        reply.code == kServerErrorVersionNotSupported) {
        return kNotSupported;
    }
    return kIppStatusBase + reply.code;
}

void MapPrinter(const Message& reply, unsigned parts, Printer& printer, PrinterFacts& facts) {
    const Reply r(reply);
    if (parts & kFeatures) {
        MapFeatures(r, printer);
        const std::vector<std::int32_t> operations = r.Integers("operations-supported", 0);
        facts.settable = std::find(operations.begin(), operations.end(),
                                   std::int32_t{kSetPrinterAttributes}) != operations.end();
    }
    if (parts & kAttributes) {
        const std::size_t paperTrays = MapTrays(r, printer);
        MapToners(r, printer);
        MapInstallables(r, paperTrays, printer);
        MapEMail(r, printer);
    }
    if (parts & kTemplates) {
        MapTemplates(r, printer);
    }
}

std::string TrayState(std::int32_t status) {
    static const char* const kAvailability[] = {"Ready",  "On request", "Standby", "Broken",
                                                "Active", "Unknown",    "Busy",    "Unknown"};
    std::string text = kAvailability[status & 7];
    if (status & 32) {
        text += ", off-line";
    }
    if (status & 16) {
        text += ", critical alert";
    } else if (status & 8) {
        text += ", alert";
    }
    if (status & 64) {
        text += ", transitioning";
    }
    return text;
}

std::string CleanText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            out.push_back(c < 0x20 || c == 0x7F ? ' ' : static_cast<char>(c));
            ++i;
            continue;
        }
        // The length of the sequence and the smallest code point it may carry.
        std::size_t length = 0;
        std::uint32_t point = 0, smallest = 0;
        if ((c & 0xE0) == 0xC0) {
            length = 2, point = c & 0x1F, smallest = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3, point = c & 0x0F, smallest = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4, point = c & 0x07, smallest = 0x10000;
        }
        bool valid = length != 0 && n - i >= length;
        for (std::size_t k = 1; valid && k < length; ++k) {
            valid = (s[i + k] & 0xC0) == 0x80;
            point = (point << 6) | (s[i + k] & 0x3F);
        }
        valid = valid && point >= smallest && point <= 0x10FFFF &&
                !(point >= 0xD800 && point <= 0xDFFF);
        if (valid) {
            out.append(text, i, length);
            i += length;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

}  // namespace vyxipp
