// The IPP module's mapping: which attributes each snapshot asks for and how each becomes a part
// of the printer model. The README's mapping table describes the same, attribute by attribute.
#include "ipp_mapping.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <set>

#include "ipp_codes.h"
#include "ipp_keywords.h"

namespace vyxipp {

const FeatureSource kFeatureSources[4] = {
    {"print-color-mode", "Colour mode"},
    {"print-quality", "Print quality"},
    {"print-rendering-intent", "Rendering intent"},
    {"print-content-optimize", "Content optimisation"},
};

namespace {

using vyxserve::Printer;

const char* const kAttributeNames[] = {
    "printer-input-tray",
    "media-col-ready",
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

void AddUnique(std::vector<std::string>& list, const std::string& item) {
    if (!item.empty() && std::find(list.begin(), list.end(), item) == list.end()) {
        list.push_back(item);
    }
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
        const std::string attribute = source.attribute;
        const Attribute* supported = reply.Find(attribute + "-supported");
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

std::string Millimetres(std::int32_t hundredths) {
    std::string out = std::to_string(hundredths / 100);
    if (hundredths % 100 != 0) {
        out += "." + std::to_string((hundredths % 100) / 10);
    }
    return out;
}

// media-col-ready by media-source: the size name (or its dimensions) and the type.
std::map<std::string, Media> ReadyMedia(const Reply& reply) {
    std::map<std::string, Media> out;
    const Attribute* ready = reply.Find("media-col-ready");
    if (!ready) {
        return out;
    }
    for (const Value& v : ready->values) {
        if (!v.IsCollection()) {
            continue;
        }
        std::string source;
        Media media;
        for (const Attribute& member : v.members) {
            const Value* first = member.First();
            if (!first) {
                continue;
            }
            if (member.name == "media-source") {
                source = CleanText(first->AsString());
            } else if (member.name == "media-size-name") {
                media.size = CleanText(first->AsString());
            } else if (member.name == "media-type") {
                media.type = CleanText(first->AsString());
            } else if (member.name == "media-size" && first->IsCollection() && media.size.empty()) {
                std::int32_t x = -1, y = -1;
                for (const Attribute& d : first->members) {
                    const Value* dv = d.First();
                    if (dv && dv->IsInteger() && d.name == "x-dimension") {
                        x = dv->AsInteger();
                    } else if (dv && dv->IsInteger() && d.name == "y-dimension") {
                        y = dv->AsInteger();
                    }
                }
                if (x > 0 && y > 0) {
                    media.size = Millimetres(x) + "x" + Millimetres(y) + "mm";
                }
            }
        }
        if (!source.empty() && out.count(source) == 0) {
            out[source] = media;
        }
    }
    return out;
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

// The trays, and how many of them are paper trays (not a by-pass, roll or automatic choice).
std::size_t MapTrays(const Reply& reply, Printer& printer) {
    printer.trays.clear();
    const std::map<std::string, Media> media = ReadyMedia(reply);
    const std::vector<std::string> sources = reply.Strings("media-source-supported");
    const auto trays = KeyValueList(reply, "printer-input-tray");
    std::size_t paperTrays = 0;
    if (trays.empty()) {
        for (const std::string& source : sources) {
            vyxserve::Tray tray;
            tray.text1 = source;
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
        vyxserve::Tray tray;
        const std::string name = Text(values, "name");
        std::string source = name;
        if (media.count(source) == 0 && sources.size() == trays.size()) {
            source = sources[i];
        }
        tray.text1 = !name.empty()     ? name
                     : !source.empty() ? source
                                       : "Tray " + std::to_string(i + 1);
        tray.value1 = Number(values, "maxcapacity", -2);
        tray.value2 = Number(values, "level", -2);
        const auto found = media.find(source);
        if (found != media.end()) {
            tray.text2 = found->second.size;
            tray.text3 = found->second.type;
        }
        tray.text4 = values.count("status") ? TrayState(Number(values, "status", 5)) : "Unknown";
        const std::string type = Text(values, "type");
        paperTrays +=
            type == "sheetFeedAutoRemovableTray" || type == "sheetFeedAutoNonRemovableTray";
        printer.trays.push_back(tray);
    }
    return paperTrays;
}

// ---- supplies ------------------------------------------------------------------------------

void MapToners(const Reply& reply, Printer& printer) {
    printer.toners.clear();
    const auto supplies = KeyValueList(reply, "printer-supply");
    if (!supplies.empty()) {
        const std::vector<std::string> descriptions = reply.Strings("printer-supply-description");
        for (std::size_t i = 0; i < supplies.size(); ++i) {
            const auto& values = supplies[i];
            vyxserve::Toner toner;
            if (i < descriptions.size() && !descriptions[i].empty()) {
                toner.text1 = descriptions[i];
            } else {
                std::vector<std::string> words;
                AddUnique(words, Text(values, "colorantname"));
                AddUnique(words, Text(values, "type"));
                toner.text1 = words.empty() ? "Supply " + std::to_string(i + 1) : Join(words, " ");
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
        return;
    }
    const std::vector<std::string> names = reply.Strings("marker-names");
    const std::vector<std::int32_t> levels = reply.Integers("marker-levels", -2);
    const std::vector<std::string> colors = reply.Strings("marker-colors");
    const std::vector<std::string> types = reply.Strings("marker-types");
    const std::size_t count = std::max({names.size(), levels.size(), colors.size(), types.size()});
    for (std::size_t i = 0; i < count; ++i) {
        vyxserve::Toner toner;
        if (i < names.size() && !names[i].empty()) {
            toner.text1 = names[i];
        } else {
            std::vector<std::string> words;
            AddUnique(words, i < types.size() ? types[i] : std::string());
            AddUnique(words, i < colors.size() ? colors[i] : std::string());
            toner.text1 = words.empty() ? "Marker " + std::to_string(i + 1) : Join(words, " ");
        }
        toner.value1 = i < levels.size() ? levels[i] : -2;
        toner.value2 = 100;  // marker levels are percentages of a full supply
        printer.toners.push_back(toner);
    }
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
    const std::vector<std::string> bins = reply.Strings("output-bin-supported");
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
    const auto finishers = KeyValueList(reply, "printer-finisher");
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
        uniqueKinds.Add(Text(unit, "type"));
    }
    if (kinds.empty()) {
        for (const std::string& f : finishings) {
            uniqueKinds.Add(f.substr(0, f.find('-')));
        }
    }
    Set(printer, kFinisherType, !kinds.empty(), Join(kinds, ", "), "Finisher type");
    Set(printer, kFinisherOption, !finishings.empty(), Join(finishings, ", "), "Finisher options");

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
    for (std::string scheme : reply.Strings("notify-schemes-supported")) {
        std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                       [](char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; });
        mailto = mailto || scheme == "mailto";
    }
    // IPP subscribes to any event by e-mail once mailto is offered, so every value is covered.
    printer.email.enabled = mailto;
    printer.email.events = mailto ? 0xFFFFFFFFu : 0;
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
            names.push_back(std::string(f.attribute) + "-supported");
            names.push_back(std::string(f.attribute) + "-default");
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
    const bool known = std::any_of(std::begin(kFeatureSources), std::end(kFeatureSources),
                                   [&](const FeatureSource& f) { return feature == f.attribute; });
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
