// The enum and label tables (RFC 8011, PWG 5100.x registrations).
#include "ipp_keywords.h"

#include <cstring>

#include "naming.h"

namespace vyxipp {
namespace {

struct EnumName {
    std::int32_t value;
    const char* keyword;
};

constexpr EnumName kQuality[] = {{3, "draft"}, {4, "normal"}, {5, "high"}};

constexpr EnumName kOrientation[] = {{3, "portrait"},
                                     {4, "landscape"},
                                     {5, "reverse-landscape"},
                                     {6, "reverse-portrait"},
                                     {7, "none"}};

constexpr EnumName kPrinterState[] = {{3, "idle"}, {4, "processing"}, {5, "stopped"}};

constexpr EnumName kFinishings[] = {
    {3, "none"},
    {4, "staple"},
    {5, "punch"},
    {6, "cover"},
    {7, "bind"},
    {8, "saddle-stitch"},
    {9, "edge-stitch"},
    {10, "fold"},
    {11, "trim"},
    {12, "bale"},
    {13, "booklet-maker"},
    {14, "jog-offset"},
    {15, "coat"},
    {16, "laminate"},
    {20, "staple-top-left"},
    {21, "staple-bottom-left"},
    {22, "staple-top-right"},
    {23, "staple-bottom-right"},
    {24, "edge-stitch-left"},
    {25, "edge-stitch-top"},
    {26, "edge-stitch-right"},
    {27, "edge-stitch-bottom"},
    {28, "staple-dual-left"},
    {29, "staple-dual-top"},
    {30, "staple-dual-right"},
    {31, "staple-dual-bottom"},
    {32, "staple-triple-left"},
    {33, "staple-triple-top"},
    {34, "staple-triple-right"},
    {35, "staple-triple-bottom"},
    {50, "bind-left"},
    {51, "bind-top"},
    {52, "bind-right"},
    {53, "bind-bottom"},
    {60, "trim-after-pages"},
    {61, "trim-after-documents"},
    {62, "trim-after-copies"},
    {63, "trim-after-job"},
    {70, "punch-top-left"},
    {71, "punch-bottom-left"},
    {72, "punch-top-right"},
    {73, "punch-bottom-right"},
    {74, "punch-dual-left"},
    {75, "punch-dual-top"},
    {76, "punch-dual-right"},
    {77, "punch-dual-bottom"},
    {78, "punch-triple-left"},
    {79, "punch-triple-top"},
    {80, "punch-triple-right"},
    {81, "punch-triple-bottom"},
    {82, "punch-quad-left"},
    {83, "punch-quad-top"},
    {84, "punch-quad-right"},
    {85, "punch-quad-bottom"},
    {86, "punch-multiple-left"},
    {87, "punch-multiple-top"},
    {88, "punch-multiple-right"},
    {89, "punch-multiple-bottom"},
    {90, "fold-accordion"},
    {91, "fold-double-gate"},
    {92, "fold-gate"},
    {93, "fold-half"},
    {94, "fold-half-z"},
    {95, "fold-left-gate"},
    {96, "fold-letter"},
    {97, "fold-parallel"},
    {98, "fold-poster"},
    {99, "fold-right-gate"},
    {100, "fold-z"},
    {101, "fold-engineering-z"},
};

struct EnumTable {
    const char* attribute;
    const EnumName* names;
    std::size_t count;
};

template <std::size_t N>
constexpr EnumTable Table(const char* attribute, const EnumName (&names)[N]) {
    return EnumTable{attribute, names, N};
}

// Every attribute whose values are of these enums, with or without -default or -supported.
constexpr EnumTable kEnums[] = {
    Table("print-quality", kQuality),       Table("orientation-requested", kOrientation),
    Table("printer-state", kPrinterState),  Table("finishings", kFinishings),
    Table("finishings-ready", kFinishings),
};

const EnumTable* FindTable(const std::string& attribute) {
    std::string base = attribute;
    for (const char* suffix : {"-default", "-supported"}) {
        const std::size_t n = std::strlen(suffix);
        if (base.size() > n && base.compare(base.size() - n, n, suffix) == 0) {
            base.resize(base.size() - n);
            break;
        }
    }
    for (const EnumTable& table : kEnums) {
        if (base == table.attribute) {
            return &table;
        }
    }
    return nullptr;
}

struct Label {
    const char* keyword;
    const char* label;
};

constexpr Label kLabels[] = {
    {"auto", "Automatic"},
    {"auto-monochrome", "Automatic monochrome"},
    {"bi-level", "Bi-level"},
    {"color", "Colour"},
    {"highlight", "Highlight colour"},
    {"monochrome", "Monochrome"},
    {"process-bi-level", "Process bi-level"},
    {"process-monochrome", "Process monochrome"},
    {"draft", "Draft"},
    {"normal", "Normal"},
    {"high", "High"},
    {"absolute", "Absolute colorimetric"},
    {"perceptual", "Perceptual"},
    {"relative", "Relative colorimetric"},
    {"relative-bpc", "Relative colorimetric, black point compensation"},
    {"saturation", "Saturation"},
    {"graphic", "Graphics"},
    {"photo", "Photographs"},
    {"text", "Text"},
    {"text-and-graphic", "Text and graphics"},
};

}  // namespace

std::string EnumKeyword(const std::string& attribute, std::int32_t value) {
    if (const EnumTable* table = FindTable(attribute)) {
        for (std::size_t i = 0; i < table->count; ++i) {
            if (table->names[i].value == value) {
                return table->names[i].keyword;
            }
        }
    }
    return std::to_string(value);
}

bool EnumValue(const std::string& attribute, const std::string& keyword, std::int32_t& value) {
    if (const EnumTable* table = FindTable(attribute)) {
        for (std::size_t i = 0; i < table->count; ++i) {
            if (keyword == table->names[i].keyword) {
                value = table->names[i].value;
                return true;
            }
        }
    }
    return false;
}

std::string KeywordLabel(const std::string& keyword) {
    for (const Label& l : kLabels) {
        if (keyword == l.keyword) {
            return l.label;
        }
    }
    return vyxserve::ReadableKeyword(keyword);
}

}  // namespace vyxipp
