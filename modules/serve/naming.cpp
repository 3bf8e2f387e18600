// The naming tables (PWG 5101.1 sizes and media types, PWG 5100.7 media sources, PWG 5100.1
// finishings, RFC 3805 supply types, RFC 3806 finisher devices) and the rules around them.
#include "naming.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vyxserve {
namespace {

struct NamedSize {
    const char* name;  // the self-describing name without its dimensions
    const char* label;
    double widthMm;
    double heightMm;
};

// In order of preference where two sizes are equally near a sheet's dimensions.
constexpr NamedSize kSizes[] = {
    {"iso_a4", "A4", 210, 297},
    {"na_letter", "Letter", 215.9, 279.4},
    {"na_legal", "Legal", 215.9, 355.6},
    {"iso_a3", "A3", 297, 420},
    {"iso_a5", "A5", 148, 210},
    {"iso_a6", "A6", 105, 148},
    {"iso_a2", "A2", 420, 594},
    {"jis_b4", "B4 (JIS)", 257, 364},
    {"jis_b5", "B5 (JIS)", 182, 257},
    {"iso_b4", "B4 (ISO)", 250, 353},
    {"iso_b5", "B5 (ISO)", 176, 250},
    {"na_executive", "Executive", 184.15, 266.7},
    {"na_ledger", "Tabloid", 279.4, 431.8},
    {"na_invoice", "Statement", 139.7, 215.9},
    {"na_foolscap", "Foolscap", 215.9, 330.2},
    {"na_oficio", "Oficio", 215.9, 340.36},
    {"om_folio", "Folio", 210, 330},
    {"na_govt-letter", "8 x 10 in", 203.2, 254},
    {"na_index-3x5", "3 x 5 in", 76.2, 127},
    {"oe_photo-l", "3.5 x 5 in", 88.9, 127},
    {"na_index-4x6", "4 x 6 in", 101.6, 152.4},
    {"na_5x7", "5 x 7 in", 127, 177.8},
    {"na_index-5x8", "5 x 8 in", 127, 203.2},
    {"om_small-photo", "10 x 15 cm", 100, 150},
    {"jpn_hagaki", "Hagaki", 100, 148},
    {"jpn_oufuku", "Oufuku hagaki", 148, 200},
    {"na_number-10", "#10 envelope", 104.775, 241.3},
    {"na_monarch", "Monarch envelope", 98.425, 190.5},
    {"na_a2", "A2 envelope", 111.125, 146.05},
    {"iso_dl", "DL envelope", 110, 220},
    {"iso_c4", "C4 envelope", 229, 324},
    {"iso_c5", "C5 envelope", 162, 229},
    {"iso_c6", "C6 envelope", 114, 162},
    {"jpn_chou3", "Chou #3 envelope", 120, 235},
    {"jpn_chou4", "Chou #4 envelope", 90, 205},
    {"jpn_kaku2", "Kaku #2 envelope", 240, 332},
};

struct Label {
    const char* keyword;
    const char* label;
};

constexpr Label kMediaTypes[] = {
    {"auto", "Automatic"},
    {"stationery", "Plain paper"},
    {"stationery-letterhead", "Letterhead"},
    {"stationery-preprinted", "Preprinted paper"},
    {"stationery-prepunched", "Punched paper"},
    {"stationery-coated", "Coated paper"},
    {"stationery-inkjet", "Inkjet paper"},
    {"stationery-lightweight", "Lightweight paper"},
    {"stationery-heavyweight", "Heavyweight paper"},
    {"stationery-cover", "Cover paper"},
    {"stationery-colored", "Coloured paper"},
    {"stationery-fine", "Fine paper"},
    {"stationery-recycled", "Recycled paper"},
    {"stationery-matte", "Matte paper"},
    {"bond", "Bond paper"},
    {"cardstock", "Card stock"},
    {"cardboard", "Cardboard"},
    {"photographic", "Photo paper"},
    {"photographic-glossy", "Glossy photo paper"},
    {"photographic-high-gloss", "High-gloss photo paper"},
    {"photographic-matte", "Matte photo paper"},
    {"photographic-satin", "Satin photo paper"},
    {"photographic-semi-gloss", "Semi-gloss photo paper"},
    {"photographic-film", "Photo film"},
    {"transparency", "Transparency"},
    {"envelope", "Envelope"},
    {"envelope-plain", "Envelope"},
    {"envelope-window", "Window envelope"},
    {"labels", "Labels"},
    {"labels-continuous", "Continuous labels"},
    {"disc", "Printable disc"},
    {"roll", "Roll paper"},
    {"continuous", "Continuous paper"},
    {"tab-stock", "Tab stock"},
    {"multi-part-form", "Multi-part form"},
};

constexpr Label kMediaSources[] = {
    {"auto", "Automatic"},
    {"main", "Main tray"},
    {"alternate", "Alternate tray"},
    {"large-capacity", "Large-capacity tray"},
    {"manual", "Manual feed"},
    {"by-pass-tray", "Bypass tray"},
    {"envelope", "Envelope feeder"},
    {"disc", "Disc tray"},
    {"photo", "Photo tray"},
    {"hagaki", "Hagaki tray"},
    {"main-roll", "Main roll"},
    {"alternate-roll", "Alternate roll"},
    {"top", "Top tray"},
    {"middle", "Middle tray"},
    {"bottom", "Bottom tray"},
    {"side", "Side tray"},
    {"left", "Left tray"},
    {"right", "Right tray"},
    {"center", "Centre tray"},
    {"rear", "Rear tray"},
};

constexpr Label kFolds[] = {
    {"fold-accordion", "Accordion fold"},
    {"fold-double-gate", "Double gate fold"},
    {"fold-gate", "Gate fold"},
    {"fold-half", "Half fold"},
    {"fold-half-z", "Half Z fold"},
    {"fold-left-gate", "Left gate fold"},
    {"fold-letter", "Letter fold"},
    {"fold-parallel", "Parallel fold"},
    {"fold-poster", "Poster fold"},
    {"fold-right-gate", "Right gate fold"},
    {"fold-z", "Z fold"},
    {"fold-engineering-z", "Engineering Z fold"},
};

// FinDeviceTypeTC, numbered from 1; the keywords are the MIB's, then a printer's other spellings.
constexpr Label kFinisherDevices[] = {
    {"other", "Other"},
    {"unknown", "Unknown"},
    {"stitcher", "Stapler"},
    {"folder", "Folder"},
    {"binder", "Binder"},
    {"trimmer", "Trimmer"},
    {"dieCutter", "Die cutter"},
    {"puncher", "Hole punch"},
    {"perforater", "Perforator"},
    {"slitter", "Slitter"},
    {"separationCutter", "Separation cutter"},
    {"imprinter", "Imprinter"},
    {"wrapper", "Wrapper"},
    {"bander", "Bander"},
    {"makeEnvelope", "Envelope maker"},
    {"stacker", "Stacker"},
    {"sheetRotator", "Sheet rotator"},
    {"inserter", "Inserter"},
    {"punch", "Hole punch"},
    {"stapler", "Stapler"},
};
constexpr std::int64_t kNumberedFinisherDevices = 18;

constexpr SupplyType kSupplyTypes[] = {
    {1, "other", "", false},  // names no kind
    {2, "unknown", "", false},
    {3, "toner", "Toner", true},
    {4, "wasteToner", "Waste toner", false},
    {5, "ink", "Ink", true},
    {6, "inkCartridge", "Ink cartridge", true},
    {7, "inkRibbon", "Ink ribbon", true},
    {8, "wasteInk", "Waste ink", false},
    {9, "opc", "Drum", false},
    {10, "developer", "Developer", false},
    {11, "fuserOil", "Fuser oil", false},
    {12, "solidWax", "Solid wax", true},
    {13, "ribbonWax", "Wax ribbon", true},
    {14, "wasteWax", "Waste wax", false},
    {15, "fuser", "Fuser", false},
    {16, "coronaWire", "Corona wire", false},
    {17, "fuserOilWick", "Fuser oil wick", false},
    {18, "cleanerUnit", "Cleaner unit", false},
    {19, "fuserCleaningPad", "Fuser cleaning pad", false},
    {20, "transferUnit", "Transfer unit", false},
    {21, "tonerCartridge", "Toner cartridge", true},
    {22, "fuserOiler", "Fuser oiler", false},
    {23, "water", "Water", false},
    {24, "wasteWater", "Waste water", false},
    {25, "glueWaterAdditive", "Glue water additive", false},
    {26, "wastePaper", "Waste paper", false},
    {27, "bindingSupply", "Binding supply", false},
    {28, "bandingSupply", "Banding supply", false},
    {29, "stitchingWire", "Stitching wire", false},
    {30, "shrinkWrap", "Shrink wrap", false},
    {31, "paperWrap", "Paper wrap", false},
    {32, "staples", "Staples", false},
    {33, "inserts", "Inserts", false},
    {34, "covers", "Covers", false},
    {0, "matteToner", "Matte toner", true},
    {0, "matteInk", "Matte ink", true},
};

template <std::size_t N>
const char* Find(const Label (&table)[N], const std::string& keyword) {
    for (const Label& entry : table) {
        if (keyword == entry.keyword) {
            return entry.label;
        }
    }
    return nullptr;
}

bool IsLower(char c) {
    return c >= 'a' && c <= 'z';
}
bool IsUpper(char c) {
    return c >= 'A' && c <= 'Z';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsKeyword(const std::string& text) {
    if (text.empty() || !IsLower(text[0])) {
        return false;
    }
    return std::all_of(text.begin(), text.end(), [](char c) {
        return IsLower(c) || IsUpper(c) || IsDigit(c) || c == '-' || c == '_' || c == '.';
    });
}

bool AllDigits(const std::string& text) {
    return !text.empty() && text.size() <= 6 && std::all_of(text.begin(), text.end(), IsDigit);
}

// A keyword's letters and digits in lower case, its separators dropped: `tonerCartridge`,
// `toner-cartridge` and `TONER_CARTRIDGE` are one keyword.
std::string FoldedKeyword(const std::string& keyword) {
    std::string folded;
    for (const char c : keyword) {
        if (IsLower(c) || IsDigit(c)) {
            folded += c;
        } else if (IsUpper(c)) {
            folded += static_cast<char>(c - 'A' + 'a');
        } else if (c != '-' && c != '_' && c != ' ') {
            folded += c;  // anything else keeps the keyword apart from every registered one
        }
    }
    return folded;
}

// A decimal number of a size name ("8.5", "210"), at most a few digits each side of the point.
bool ParseDecimal(const std::string& text, double& value) {
    const std::size_t point = text.find('.');
    const std::string whole = text.substr(0, point);
    const std::string fraction =
        point == std::string::npos ? std::string() : text.substr(point + 1);
    if (!AllDigits(whole) || (point != std::string::npos && !AllDigits(fraction))) {
        return false;
    }
    value = 0;
    for (char c : whole) {
        value = value * 10 + (c - '0');
    }
    double scale = 0.1;
    for (char c : fraction) {
        value += (c - '0') * scale;
        scale /= 10;
    }
    return true;
}

// Splits `class_name_WxHunit` into `class_name` and its dimensions in millimetres.
bool SplitSelfDescribing(const std::string& keyword, std::string& name, double& widthMm,
                         double& heightMm) {
    const std::size_t last = keyword.rfind('_');
    if (last == std::string::npos || last == 0 || keyword.find('_') == last) {
        return false;
    }
    std::string dimensions = keyword.substr(last + 1);
    double scale = 0;
    if (dimensions.size() > 2 && dimensions.compare(dimensions.size() - 2, 2, "mm") == 0) {
        scale = 1;
    } else if (dimensions.size() > 2 && dimensions.compare(dimensions.size() - 2, 2, "in") == 0) {
        scale = 25.4;
    } else {
        return false;
    }
    dimensions.resize(dimensions.size() - 2);
    const std::size_t x = dimensions.find('x');
    double w = 0, h = 0;
    if (x == std::string::npos || !ParseDecimal(dimensions.substr(0, x), w) ||
        !ParseDecimal(dimensions.substr(x + 1), h)) {
        return false;
    }
    name = keyword.substr(0, last);
    widthMm = w * scale;
    heightMm = h * scale;
    return true;
}

const NamedSize* FindSize(const std::string& name) {
    for (const NamedSize& size : kSizes) {
        if (name == size.name) {
            return &size;
        }
    }
    return nullptr;
}

// How far a sheet is from a size, either way round: the larger of the two sides' differences.
double Distance(double widthMm, double heightMm, const NamedSize& size) {
    const double upright =
        std::max(std::fabs(widthMm - size.widthMm), std::fabs(heightMm - size.heightMm));
    const double turned =
        std::max(std::fabs(widthMm - size.heightMm), std::fabs(heightMm - size.widthMm));
    return std::min(upright, turned);
}

std::string WholeMillimetres(double mm) {
    return std::to_string(std::llround(std::clamp(mm, 0.0, 1e9)));
}

std::string LowerFirst(std::string text) {
    if (text.size() > 1 && IsUpper(text[0]) && IsLower(text[1])) {
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    }
    return text;
}

// "staple-dual-left" -> "Two staples left"; empty when the keyword is not of that shape.
std::string CountedFinishing(const std::string& keyword) {
    static const Label kNouns[] = {{"staple-", "staples"}, {"punch-", "holes"}};
    static const Label kCounts[] = {
        {"dual", "Two"}, {"triple", "Three"}, {"quad", "Four"}, {"multiple", "Multiple"}};
    for (const Label& noun : kNouns) {
        const std::size_t n = std::strlen(noun.keyword);
        if (keyword.compare(0, n, noun.keyword) != 0) {
            continue;
        }
        const std::string rest = keyword.substr(n);
        const std::string count = rest.substr(0, rest.find('-'));
        if (const char* word = Find(kCounts, count)) {
            const std::string edge =
                rest.size() > count.size() ? rest.substr(count.size() + 1) : "";
            std::string label = std::string(word) + " " + noun.label;
            if (!edge.empty()) {
                label += " " + LowerFirst(ReadableKeyword(edge));
            }
            return label;
        }
    }
    return std::string();
}

}  // namespace

bool DimensionsOfName(const std::string& keyword, double& widthMm, double& heightMm) {
    std::string name;
    return SplitSelfDescribing(keyword, name, widthMm, heightMm);
}

bool SameSize(double widthMm, double heightMm, double otherWidthMm, double otherHeightMm) {
    const NamedSize other{"", "", otherWidthMm, otherHeightMm};
    return Distance(widthMm, heightMm, other) <= kSizeToleranceMm + 1e-9;
}

std::string SizeFromDimensions(double widthMm, double heightMm) {
    const NamedSize* nearest = nullptr;
    double nearestDistance = kSizeToleranceMm + 1e-9;
    for (const NamedSize& size : kSizes) {
        const double distance = Distance(widthMm, heightMm, size);
        if (distance <= nearestDistance && (!nearest || distance < nearestDistance)) {
            nearest = &size;
            nearestDistance = distance;
        }
    }
    if (nearest) {
        return nearest->label;
    }
    return WholeMillimetres(widthMm) + " x " + WholeMillimetres(heightMm) + " mm";
}

std::string RollSize(double widthMm) {
    return WholeMillimetres(widthMm) + " mm roll";
}

std::string SizeFromName(const std::string& keyword) {
    std::string name;
    double width = 0, height = 0;
    const bool dimensions = SplitSelfDescribing(keyword, name, width, height);
    if (!dimensions) {
        // The older names (`iso-a4`, `na-letter`) are the same with a hyphen for the underscore.
        name = keyword;
        const std::size_t hyphen = name.find('-');
        if (hyphen != std::string::npos) {
            name[hyphen] = '_';
        }
    }
    if (const NamedSize* size = FindSize(name)) {
        return size->label;
    }
    if (!dimensions) {
        return std::string();
    }
    if (name.compare(0, 5, "roll_") == 0) {
        return width > 0 ? RollSize(width) : std::string();
    }
    return width > 0 && height > 0 ? SizeFromDimensions(width, height) : std::string();
}

std::string ReadableKeyword(const std::string& text) {
    if (!IsKeyword(text)) {
        return text;
    }
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '-' || c == '_') {
            out += ' ';
        } else if (IsUpper(c) && i > 0 && IsLower(text[i - 1])) {
            out += ' ';
            out += static_cast<char>(c - 'A' + 'a');
        } else {
            out += c;
        }
    }
    out[0] = static_cast<char>(out[0] - 'a' + 'A');
    return out;
}

std::string MediaTypeLabel(const std::string& keyword) {
    const char* label = Find(kMediaTypes, keyword);
    return label ? label : ReadableKeyword(keyword);
}

std::string MediaSourceLabel(const std::string& keyword) {
    // The numbered ones (`tray-2`, `roll-1`) read well as they are made readable.
    const char* label = Find(kMediaSources, keyword);
    return label ? label : ReadableKeyword(keyword);
}

std::string FinishingLabel(const std::string& keyword) {
    if (const char* label = Find(kFolds, keyword)) {
        return label;
    }
    const std::string counted = CountedFinishing(keyword);
    return counted.empty() ? ReadableKeyword(keyword) : counted;
}

std::string FinisherDeviceLabel(std::int64_t finDeviceType) {
    if (finDeviceType >= 1 && finDeviceType <= kNumberedFinisherDevices) {
        return kFinisherDevices[finDeviceType - 1].label;
    }
    return "Finisher";
}

std::string FinisherDeviceLabel(const std::string& keyword) {
    const char* label = Find(kFinisherDevices, keyword);
    return label ? label : ReadableKeyword(keyword);
}

const SupplyType* FindSupplyType(std::int64_t value) {
    for (const SupplyType& type : kSupplyTypes) {
        if (type.value != 0 && type.value == value) {
            return &type;
        }
    }
    return nullptr;
}

const SupplyType* FindSupplyType(const std::string& keyword) {
    if (AllDigits(keyword)) {
        return FindSupplyType(std::stoll(keyword));
    }
    const std::string folded = FoldedKeyword(keyword);
    for (const SupplyType& type : kSupplyTypes) {
        if (!folded.empty() && folded == FoldedKeyword(type.keyword)) {
            return &type;
        }
    }
    return nullptr;
}

bool IsColorantSupply(const SupplyType* type, const std::string& colour) {
    if (type && type->label[0] != '\0') {
        return type->colorant;
    }
    const std::string lower = FoldedKeyword(colour);
    return !lower.empty() && lower != "unknown" && lower != "nocolor" && lower != "none";
}

std::string ColourWord(const std::string& colour) {
    static const Label kColours[] = {
        {"", ""},
        {"unknown", ""},
        {"no-color", ""},
        {"none", ""},
        {"multi-color", "Multi-colour"},
        // marker-colors' values for the process colours
        {"#000000", "Black"},
        {"#00FFFF", "Cyan"},
        {"#FF00FF", "Magenta"},
        {"#FFFF00", "Yellow"},
    };
    std::string upper = colour;
    if (!upper.empty() && upper[0] == '#') {
        std::transform(upper.begin(), upper.end(), upper.begin(),
                       [](char c) { return IsLower(c) ? static_cast<char>(c - 'a' + 'A') : c; });
        const char* known = Find(kColours, upper);
        return known ? known : std::string();  // another shade says nothing a user could name
    }
    const char* known = Find(kColours, colour);
    std::string word = known ? known : ReadableKeyword(colour);
    if (!word.empty() && IsLower(word[0])) {
        word[0] = static_cast<char>(word[0] - 'a' + 'A');  // "light cyan" leads a name too
    }
    return word;
}

std::string SupplyName(const std::string& colour, const std::string& typeLabel) {
    if (colour.empty()) {
        return typeLabel;
    }
    return colour + " " + LowerFirst(typeLabel.empty() ? std::string("Supply") : typeLabel);
}

void LeadWithColorants(std::vector<Toner>& toners) {
    std::stable_partition(toners.begin(), toners.end(),
                          [](const Toner& toner) { return toner.colorant; });
}

}  // namespace vyxserve
