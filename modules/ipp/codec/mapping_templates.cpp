// The job templates: each job-presets-supported collection a template, its members flattened
// to dotted names with their values as text.
#include <cstdio>

#include "ipp_keywords.h"
#include "mapping_reply.h"

namespace vyxipp::mapping {
namespace {

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

}  // namespace

void MapTemplates(const Reply& reply, vyxserve::Printer& printer) {
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

}  // namespace vyxipp::mapping
