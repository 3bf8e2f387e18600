// The presentation layer: sizes by name and by dimensions, the keyword labels, supply names and
// order, and the display-text rule, case by case.
#include <gtest/gtest.h>

#include "display_text.h"
#include "naming.h"

namespace vyxserve {
namespace {

struct TextCase {
    const char* in;
    const char* out;
};

TEST(Naming, SizesFromTheirNames) {
    const TextCase cases[] = {
        {"iso_a4_210x297mm", "A4"},
        {"na_letter_8.5x11in", "Letter"},
        {"jis_b5_182x257mm", "B5 (JIS)"},
        {"na_number-10_4.125x9.5in", "#10 envelope"},
        {"iso_dl_110x220mm", "DL envelope"},
        {"jpn_hagaki_100x148mm", "Hagaki"},
        {"na_index-4x6_4x6in", "4 x 6 in"},
        {"iso-a4", "A4"},                      // the older form
        {"om_vendor-a4_210x297mm", "A4"},      // unknown name, known dimensions
        {"na_vendor_9x12in", "229 x 305 mm"},  // neither
        {"roll_max_62x30480mm", "62 mm roll"},
        {"custom_min_25.4x25.4mm", "25 x 25 mm"},
        {"stationery", ""},
        {"iso_a4_210x297", ""},  // no unit
        {"om_x_2.1.0x3mm", ""},
        {"om_x_123456789x3mm", ""},  // beyond any sheet
        {"_210x297mm", ""},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(SizeFromName(c.in), c.out);
    }
}

TEST(Naming, SizesFromDimensionsWithinAMillimetreEitherWayRound) {
    const struct {
        double width, height;
        const char* name;
    } cases[] = {
        {215.9, 279.4, "Letter"},       {279.4, 215.9, "Letter"},
        {216, 279, "Letter"},           {210.9, 297, "A4"},
        {211.2, 297, "211 x 297 mm"},   {100, 148.4, "Hagaki"},  // nearer Hagaki than 10 x 15 cm
        {100, 149, "10 x 15 cm"},  // as near both: the first in the table
        {104.8, 241.3, "#10 envelope"}, {62, 29, "62 x 29 mm"},  // the order given
        {1e12, 5, "1000000000 x 5 mm"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        EXPECT_EQ(SizeFromDimensions(c.width, c.height), c.name);
    }
    EXPECT_EQ(RollSize(101.6), "102 mm roll");
}

TEST(Naming, KeywordLabels) {
    const struct {
        std::string (*label)(const std::string&);
        const char* keyword;
        const char* text;
    } cases[] = {
        {MediaTypeLabel, "stationery", "Plain paper"},
        {MediaTypeLabel, "photographic-glossy", "Glossy photo paper"},
        {MediaTypeLabel, "disc", "Printable disc"},
        {MediaTypeLabel, "custom-heavy-1", "Custom heavy 1"},
        {MediaTypeLabel, "Papier \xC3\xA9pais", "Papier \xC3\xA9pais"},  // the printer's wording
        {MediaSourceLabel, "main", "Main tray"},
        {MediaSourceLabel, "manual", "Manual feed"},
        {MediaSourceLabel, "tray-12", "Tray 12"},
        {MediaSourceLabel, "rear", "Rear tray"},
        {MediaSourceLabel, "tray-1-man", "Tray 1 man"},
        {MediaSourceLabel, "Bypass", "Bypass"},
        {FinishingLabel, "staple-top-left", "Staple top left"},
        {FinishingLabel, "trim-after-pages", "Trim after pages"},
        {FinishingLabel, "punch-dual-left", "Two holes left"},
        {FinishingLabel, "staple-triple-top", "Three staples top"},
        {FinishingLabel, "fold-half", "Half fold"},
        {FinisherDeviceLabel, "stitcher", "Stapler"},
        {FinisherDeviceLabel, "punch", "Hole punch"},
        {FinisherDeviceLabel, "sheetRotator", "Sheet rotator"},
        {FinisherDeviceLabel, "vendorBooklet", "Vendor booklet"},
        {ColourWord, "magenta", "Magenta"},
        {ColourWord, "light-cyan", "Light cyan"},
        {ColourWord, "#00ffff", "Cyan"},
        {ColourWord, "#123456", ""},
        {ColourWord, "no-color", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keyword);
        EXPECT_EQ(c.label(c.keyword), c.text);
    }
    EXPECT_EQ(FinisherDeviceLabel(std::int64_t{8}), "Hole punch");
    EXPECT_EQ(FinisherDeviceLabel(std::int64_t{19}), "Finisher");
}

TEST(Naming, SupplyTypesNamesAndOrder) {
    const SupplyType* cartridge = FindSupplyType("inkCartridge");
    ASSERT_NE(cartridge, nullptr);
    EXPECT_TRUE(cartridge->colorant);
    EXPECT_EQ(FindSupplyType(std::int64_t{6}), cartridge);
    ASSERT_NE(FindSupplyType(std::int64_t{9}), nullptr);
    EXPECT_STREQ(FindSupplyType(std::int64_t{9})->label, "Drum");
    EXPECT_FALSE(FindSupplyType(std::int64_t{9})->colorant);
    EXPECT_EQ(FindSupplyType(std::int64_t{0}), nullptr);
    EXPECT_EQ(FindSupplyType("drum"), nullptr);

    EXPECT_EQ(SupplyName("Magenta", "Ink cartridge"), "Magenta ink cartridge");
    EXPECT_EQ(SupplyName("", "Waste toner"), "Waste toner");
    EXPECT_EQ(SupplyName("Cyan", ""), "Cyan supply");
    EXPECT_EQ(SupplyName("", FindSupplyType("other")->label), "");

    std::vector<Toner> toners(5);
    const char* names[] = {"Drum", "Black", "Kit", "Cyan", "Magenta"};
    for (std::size_t i = 0; i < toners.size(); ++i) {
        toners[i].text1 = names[i];
        toners[i].colorant = i == 1 || i >= 3;
    }
    LeadWithColorants(toners);
    std::vector<std::string> order;
    for (const Toner& t : toners) {
        order.push_back(t.text1);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"Black", "Cyan", "Magenta", "Drum", "Kit"}));
}

TEST(DisplayText, ControlCharactersAndOuterSpaces) {
    const TextCase cases[] = {
        {"Imaging Drum\r\nUnit", "Imaging Drum Unit"},
        {"Drum \n Unit", "Drum Unit"},
        {"  Tray 1  ", "Tray 1"},
        {"a\tb\x7F", "a b"},
        {"C1\xC2\x85next", "C1 next"},
        {"two  spaces kept", "two  spaces kept"},
        {"\n\n", ""},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(DisplayText(c.in), c.out);
    }
}

bool ShiftJisLead(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
bool NoLead(unsigned char) {
    return false;
}

TEST(DisplayText, ALongTextIsCutAtTheLastBreakThatFits) {
    const struct {
        std::string in;
        std::size_t limit;
        std::string out;
        LeadByteTest lead;
    } cases[] = {
        {"Cyan Toner Cartridge ACME DATA CORP", 31, "Cyan Toner Cartridge ACME DATA", NoLead},
        {"Magenta Ink Supply Unit T1234/T5678", 31, "Magenta Ink Supply Unit T1234", NoLead},
        {"Black Toner, PN 012R34567;SN98A7654", 31, "Black Toner, PN 012R34567", NoLead},
        {"Yellow Toner Cartridge (High Capacity)", 31, "Yellow Toner Cartridge", NoLead},
        {"Exactly thirty-one characters!!", 31, "Exactly thirty-one characters!!", NoLead},
        {"Exactly thirty-one characters!! and more", 31, "Exactly thirty-one characters!!", NoLead},
        {"Waste Toner Box 0123456789 , ;/ x", 31, "Waste Toner Box 0123456789", NoLead},
        {"Supercalifragilisticexpialidocious unit", 31, "Supercalifragilisticexpialidoci", NoLead},
        // Shift_JIS: 20 two-byte characters; no break, so whole characters only.
        {std::string(40, '\x82'), 31, std::string(30, '\x82'), ShiftJisLead},
        // A space after a two-byte character is a break like any other.
        {"\x83\x67\x83\x8C\x83\x43 Tray number one of the feeder", 20,
         "\x83\x67\x83\x8C\x83\x43 Tray number", ShiftJisLead},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(FitToField(c.in, c.limit, c.lead), c.out);
    }
}

}  // namespace
}  // namespace vyxserve
