// Turns a JSON printer description into the printer model, refusing anything it does not know.
#include "description.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <limits>

#include <vyxquery.h>

namespace vyxsim {
namespace {

using nlohmann::json;
using namespace vyxserve;

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
    throw DescriptionError(where.empty() ? what : where + ": " + what);
}

std::string Member(const std::string& where, const std::string& key) {
    return where.empty() ? key : where + "." + key;
}

std::string Element(const std::string& where, std::size_t index) {
    return where + "[" + std::to_string(index) + "]";
}

std::string TextOf(const json& value, const std::string& where) {
    if (!value.is_string()) {
        Fail(where, "expected a string");
    }
    return value.get<std::string>();
}

// Result codes and values are 32 bits; codes may also be written unsigned (2147483651 for
// 0x80000003), so both ranges are accepted and the bits are kept.
LONG NumberOf(const json& value, const std::string& where) {
    if (!value.is_number_integer()) {
        Fail(where, "expected a whole number");
    }
    const std::int64_t number = value.get<std::int64_t>();
    if (number < std::numeric_limits<std::int32_t>::min() ||
        number > std::numeric_limits<std::uint32_t>::max()) {
        Fail(where, "does not fit in 32 bits");
    }
    return static_cast<LONG>(static_cast<std::uint32_t>(number));
}

const json& ArrayOf(const json& value, const std::string& where) {
    if (!value.is_array()) {
        Fail(where, "expected an array");
    }
    return value;
}

// One JSON object read member by member; members that nobody asked for are refused at Finish,
// so a misspelt name is reported instead of silently ignored.
class ObjectReader {
  public:
    ObjectReader(const json& value, std::string where) : value_(value), where_(std::move(where)) {
        if (!value_.is_object()) {
            Fail(where_, "expected an object");
        }
    }

    const json* Find(const char* key) {
        known_.insert(key);
        const auto found = value_.find(key);
        return found == value_.end() ? nullptr : &*found;
    }

    std::string Text(const char* key) {
        const json* value = Find(key);
        return value ? TextOf(*value, Member(where_, key)) : std::string();
    }

    LONG Number(const char* key) {
        const json* value = Find(key);
        return value ? NumberOf(*value, Member(where_, key)) : 0;
    }

    bool Flag(const char* key) {
        const json* value = Find(key);
        if (!value) {
            return false;
        }
        if (!value->is_boolean()) {
            Fail(Member(where_, key), "expected true or false");
        }
        return value->get<bool>();
    }

    std::string Where(const char* key) const { return Member(where_, key); }

    void Finish() const {
        for (const auto& member : value_.items()) {
            if (known_.count(member.key()) == 0) {
                Fail(Member(where_, member.key()), "unknown member");
            }
        }
    }

  private:
    const json& value_;
    std::string where_;
    std::set<std::string> known_;
};

bool IsEntryPoint(const std::string& name) {
#define VYXSIM_ENTRY_NAME_(entry, params) #entry,
    static const char* const kNames[] = {VYXQUERY_ENTRY_POINTS(VYXSIM_ENTRY_NAME_)};
#undef VYXSIM_ENTRY_NAME_
    for (const char* known : kNames) {
        if (name == known) {
            return true;
        }
    }
    return false;
}

Feature ReadFeature(const json& value, const std::string& where) {
    ObjectReader reader(value, where);
    Feature feature;
    feature.key = reader.Text("key");
    feature.name = reader.Text("name");
    if (const json* options = reader.Find("options")) {
        const std::string optionsWhere = reader.Where("options");
        for (const json& item : ArrayOf(*options, optionsWhere)) {
            ObjectReader option(item, Element(optionsWhere, feature.options.size()));
            feature.options.push_back({option.Text("value"), option.Text("label")});
            option.Finish();
        }
    }
    // Without a "selected" member the first option is selected; without options, none is.
    feature.selected = 0;
    if (reader.Find("selected")) {
        const std::string selected = reader.Text("selected");
        feature.selected = feature.options.size();
        for (std::size_t i = 0; i < feature.options.size(); ++i) {
            if (feature.options[i].value == selected) {
                feature.selected = i;
                break;
            }
        }
        if (feature.selected == feature.options.size()) {
            Fail(reader.Where("selected"), "is not the value of one of the options");
        }
    }
    reader.Finish();
    return feature;
}

Tray ReadTray(const json& value, const std::string& where) {
    ObjectReader reader(value, where);
    Tray tray;
    tray.text1 = reader.Text("text1");
    tray.value1 = reader.Number("value1");
    tray.value2 = reader.Number("value2");
    tray.text2 = reader.Text("text2");
    tray.text3 = reader.Text("text3");
    tray.text4 = reader.Text("text4");
    reader.Finish();
    return tray;
}

Toner ReadToner(const json& value, const std::string& where) {
    ObjectReader reader(value, where);
    Toner toner;
    toner.text1 = reader.Text("text1");
    toner.value1 = reader.Number("value1");
    toner.value2 = reader.Number("value2");
    reader.Finish();
    return toner;
}

constexpr const char* kInstallableNames[kInstallableCount] = {
    "sorter",       "duplex",       "lowerTray",      "fax",      "finisher",
    "faceDownUnit", "finisherType", "finisherOption", "mfpOption"};

void ReadInstallables(const json& value, const std::string& where, Printer& printer) {
    ObjectReader reader(value, where);
    for (int slot = 0; slot < kInstallableCount; ++slot) {
        Installable& installable = printer.installables[slot];
        installable = Installable();
        if (const json* found = reader.Find(kInstallableNames[slot])) {
            ObjectReader option(*found, reader.Where(kInstallableNames[slot]));
            installable.installed = option.Flag("installed");
            installable.text1 = option.Text("text1");
            installable.text2 = option.Text("text2");
            option.Finish();
        }
    }
    reader.Finish();
}

JobTemplate ReadTemplate(const json& value, const std::string& where) {
    ObjectReader reader(value, where);
    JobTemplate jobTemplate;
    jobTemplate.name = reader.Text("name");
    jobTemplate.tag = reader.Number("tag");
    if (const json* items = reader.Find("items")) {
        const std::string itemsWhere = reader.Where("items");
        for (const json& item : ArrayOf(*items, itemsWhere)) {
            const std::string itemWhere = Element(itemsWhere, jobTemplate.items.size());
            if (!item.is_array() || item.size() != 2) {
                Fail(itemWhere, "expected [key, value]");
            }
            jobTemplate.items.emplace_back(TextOf(item[0], itemWhere + "[0]"),
                                           TextOf(item[1], itemWhere + "[1]"));
        }
    }
    if (reader.Find("rawItems")) {
        jobTemplate.rawItems = reader.Text("rawItems");
    }
    reader.Finish();
    return jobTemplate;
}

void ReadEMail(const json& value, const std::string& where, EMailNotification& email) {
    ObjectReader reader(value, where);
    email.enabled = reader.Flag("enabled");
    email.events = static_cast<std::uint32_t>(reader.Number("events"));
    reader.Finish();
}

void ReadFaults(const json& value, const std::string& where, Faults& faults) {
    ObjectReader reader(value, where);
    if (const json* fail = reader.Find("fail")) {
        ObjectReader failures(*fail, reader.Where("fail"));
        for (const auto& member : fail->items()) {
            if (!IsEntryPoint(member.key())) {
                Fail(failures.Where(member.key().c_str()), "not an entry point of the module");
            }
            faults.fail[member.key()] = failures.Number(member.key().c_str());
        }
        failures.Finish();
    }
    if (const json* unterminated = reader.Find("unterminated")) {
        const std::string unterminatedWhere = reader.Where("unterminated");
        if (unterminated->is_boolean()) {
            faults.unterminatedEverywhere = unterminated->get<bool>();
        } else {
            for (const json& entry : ArrayOf(*unterminated, unterminatedWhere)) {
                const std::string entryWhere =
                    Element(unterminatedWhere, faults.unterminated.size());
                if (!entry.is_string() || !IsEntryPoint(entry.get<std::string>())) {
                    Fail(entryWhere, "expected the name of an entry point of the module");
                }
                faults.unterminated.insert(entry.get<std::string>());
            }
        }
    }
    if (const json* extra = reader.Find("extraCount")) {
        ObjectReader counts(*extra, reader.Where("extraCount"));
        faults.extraTrays = counts.Number("trays");
        faults.extraToners = counts.Number("toners");
        faults.extraTemplates = counts.Number("templates");
        counts.Finish();
    }
    reader.Finish();
}

// Tags name the template whose items are asked for, so two templates may not share one.
void CheckTags(const std::vector<JobTemplate>& templates) {
    std::set<std::int32_t> seen;
    for (std::size_t i = 0; i < templates.size(); ++i) {
        if (!seen.insert(templates[i].tag).second) {
            Fail(Element("templates", i) + ".tag", "another template has the same tag");
        }
    }
}

json ParseJson(const std::string& text) {
    try {
        return json::parse(text);
    } catch (const json::exception& e) {
        Fail("", e.what());
    }
}

Description ReadDescription(const json& document) {
    ObjectReader reader(document, "");
    Description description;
    Printer& printer = description.printer;
    reader.Find("extends");  // already applied
    if (const json* features = reader.Find("features")) {
        for (const json& item : ArrayOf(*features, "features")) {
            printer.features.push_back(
                ReadFeature(item, Element("features", printer.features.size())));
        }
    }
    if (const json* trays = reader.Find("trays")) {
        for (const json& item : ArrayOf(*trays, "trays")) {
            printer.trays.push_back(ReadTray(item, Element("trays", printer.trays.size())));
        }
    }
    if (const json* toners = reader.Find("toners")) {
        for (const json& item : ArrayOf(*toners, "toners")) {
            printer.toners.push_back(ReadToner(item, Element("toners", printer.toners.size())));
        }
    }
    if (const json* installables = reader.Find("installables")) {
        ReadInstallables(*installables, "installables", printer);
    }
    if (const json* templates = reader.Find("templates")) {
        for (const json& item : ArrayOf(*templates, "templates")) {
            printer.templates.push_back(
                ReadTemplate(item, Element("templates", printer.templates.size())));
        }
        CheckTags(printer.templates);
    }
    if (const json* email = reader.Find("email")) {
        ReadEMail(*email, "email", printer.email);
    }
    if (const json* faults = reader.Find("faults")) {
        ReadFaults(*faults, "faults", description.faults);
    }
    reader.Finish();
    return description;
}

}  // namespace

Description ParseDescription(const std::string& text) {
    json document = ParseJson(text);
    if (!document.is_object()) {
        Fail("", "the description must be a JSON object");
    }
    const auto extends = document.find("extends");
    if (extends != document.end()) {
        if (*extends != "default") {
            Fail("extends", "the only printer to extend is \"default\"");
        }
        json merged = ParseJson(DefaultPrinterJson());
        for (const auto& member : document.items()) {
            merged[member.key()] = member.value();
        }
        document = std::move(merged);
    }
    return ReadDescription(document);
}

Description DefaultPrinter() {
    return ParseDescription(DefaultPrinterJson());
}

}  // namespace vyxsim
