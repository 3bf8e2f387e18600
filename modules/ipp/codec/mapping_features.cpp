// The colour features: each feature's options and choice from its -supported and -default
// attributes, or from the older attribute a printer that predates it answers by.
#include "ipp_keywords.h"
#include "mapping_reply.h"

namespace vyxipp {

const FeatureSource kFeatureSources[4] = {
    {"print-color-mode", "Colour mode", "output-mode"},
    {"print-quality", "Print quality", nullptr},
    {"print-rendering-intent", "Rendering intent", nullptr},
    {"print-content-optimize", "Content optimisation", nullptr},
};

namespace mapping {
namespace {

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

}  // namespace

void MapFeatures(const Reply& reply, vyxserve::Printer& printer) {
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

}  // namespace mapping
}  // namespace vyxipp
