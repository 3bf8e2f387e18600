// From an agent's Printer MIB to the shared model, through a whole snapshot: trays, supplies,
// installable options, the colour mode, and the printer's text encodings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codes.h"
#include "fake_agent.h"
#include "snapshot.h"

namespace {

using namespace vyxsnmp;
using snmptest::FakeAgent;

// An agent's objects, set column by column.
struct Mib {
    FakeAgent agent;

    void Set(Column column, std::initializer_list<std::uint32_t> index, Value value) {
        agent.Set(ColumnOid(column).Plus(index), std::move(value));
    }
    void Number(Column column, std::initializer_list<std::uint32_t> index, std::int64_t n) {
        Set(column, index, Value::Integer(n));
    }
    void Text(Column column, std::initializer_list<std::uint32_t> index, const std::string& s) {
        Set(column, index, Value::Text(s));
    }
    void Localization(std::int64_t charset) {
        Number(kGeneralLocalization, {1}, 2);
        Number(kLocalizationCharset, {1, 2}, charset);
    }

    std::int32_t Snapshot(Parts parts, vyxserve::Printer& printer,
                          const TextDecoder& decoder = TextDecoder()) {
        Client client(agent, ClientSettings(), 1);
        Walker walker(client, VersionChoice::kV2c);
        return TakeSnapshot(walker, parts, WalkLimits(), decoder, printer);
    }
};

void ExpectInstallable(const vyxserve::Printer& p, vyxserve::InstallableKind kind, bool installed,
                       const std::string& text2) {
    SCOPED_TRACE(kind);
    EXPECT_EQ(p.installables[kind].installed, installed);
    EXPECT_EQ(p.installables[kind].text1, installed ? "Installed" : "Not installed");
    EXPECT_EQ(p.installables[kind].text2, text2);
}

TEST(SnmpMapping, ColourMfp) {
    Mib mib;
    mib.Localization(charset::kUtf8);
    mib.Text(kSysDescr, {0}, "Colour MFP 5000");
    // Inputs: a named A4 tray; a Letter tray known only by its description; a bypass with
    // unknown dimensions; an unnamed tray of a custom size.
    mib.Number(kInputType, {1, 1}, 3);
    mib.Text(kInputName, {1, 1}, "Tray 1");
    mib.Number(kInputDimUnit, {1, 1}, 4);
    mib.Number(kInputFeedDim, {1, 1}, 210000);
    mib.Number(kInputCrossFeedDim, {1, 1}, 297000);
    mib.Number(kInputMaxCapacity, {1, 1}, 500);
    mib.Number(kInputCurrentLevel, {1, 1}, 350);
    mib.Number(kInputStatus, {1, 1}, 0);
    mib.Text(kInputMediaType, {1, 1}, "stationery");
    mib.Number(kInputType, {1, 2}, 3);
    mib.Text(kInputDescription, {1, 2}, "Magasin 2");
    mib.Number(kInputDimUnit, {1, 2}, 3);
    mib.Number(kInputFeedDim, {1, 2}, 110000);
    mib.Number(kInputCrossFeedDim, {1, 2}, 85000);
    mib.Text(kInputMediaName, {1, 2}, "Plain");
    mib.Number(kInputType, {1, 3}, 5);
    mib.Text(kInputName, {1, 3}, "Bypass");
    mib.Number(kInputFeedDim, {1, 3}, -2);
    mib.Text(kInputMediaName, {1, 3}, "Envelope");
    mib.Number(kInputCurrentLevel, {1, 3}, -3);
    mib.Number(kInputType, {1, 4}, 4);
    mib.Number(kInputDimUnit, {1, 4}, 4);
    mib.Number(kInputFeedDim, {1, 4}, 200000);
    mib.Number(kInputCrossFeedDim, {1, 4}, 100000);
    // A second printer behind the same agent is not this printer.
    mib.Text(kInputName, {2, 1}, "Other printer's tray");
    mib.Text(kOutputName, {1, 1}, "Face-down bin");
    mib.Number(kOutputDelivery, {1, 1}, 4);
    mib.Text(kOutputName, {1, 2}, "Face-up tray");
    mib.Number(kOutputDelivery, {1, 2}, 3);
    mib.Number(kMediaPathType, {1, 1}, 5);
    mib.Number(kMediaPathType, {1, 2}, 3);
    for (std::uint32_t i = 1; i <= 4; ++i) {
        static const char* const kColours[] = {"black", "cyan", "magenta", "yellow"};
        mib.Text(kColorantValue, {1, i}, kColours[i - 1]);
    }
    mib.Text(kSuppliesDescription, {1, 1}, "Black toner");
    mib.Number(kSuppliesType, {1, 1}, 21);
    mib.Number(kSuppliesColorant, {1, 1}, 1);
    mib.Number(kSuppliesMaxCapacity, {1, 1}, 100);
    mib.Number(kSuppliesLevel, {1, 1}, 50);
    mib.Number(kSuppliesColorant, {1, 2}, 2);
    mib.Number(kSuppliesType, {1, 2}, 3);
    mib.Number(kSuppliesMaxCapacity, {1, 2}, 3);
    mib.Number(kSuppliesLevel, {1, 2}, 1);
    mib.Number(kSuppliesType, {1, 3}, 9);  // a drum, named by its type alone
    mib.Number(kFinisherType, {1, 1}, 3);
    mib.Number(kFinisherPresent, {1, 1}, 3);
    mib.Text(kFinisherDescription, {1, 1}, "Staple finisher");
    mib.Number(kFinisherType, {1, 2}, 8);
    mib.Number(kFinisherPresent, {1, 2}, 4);  // present, switched off: still fitted
    mib.Number(kFinisherType, {1, 3}, 4);
    mib.Number(kFinisherPresent, {1, 3}, 5);  // not present
    mib.Set(kDeviceType, {1}, [] { Value v; v.type = tag::kOid; v.oid = Oid{1, 3, 6, 1, 2, 1, 25, 3, 1, 5}; return v; }());
    mib.Text(kDeviceDescr, {1}, "Colour MFP 5000");

    vyxserve::Printer p;
    ASSERT_EQ(mib.Snapshot(Parts::kAll, p), 0);

    const struct {
        const char* text1;
        std::int32_t value1, value2;
        const char *text2, *text3, *text4;
    } trays[] = {
        {"Tray 1", 500, 350, "A4", "Plain paper", "Ready"},
        {"Magasin 2", -2, -2, "Letter", "Plain", "Unknown"},
        {"Bypass", -2, -3, "Envelope", "", "Unknown"},
        {"Input 4", -2, -2, "100 x 200 mm", "", "Unknown"},
    };
    ASSERT_EQ(p.trays.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(p.trays[i].text1, trays[i].text1);
        EXPECT_EQ(p.trays[i].value1, trays[i].value1);
        EXPECT_EQ(p.trays[i].value2, trays[i].value2);
        EXPECT_EQ(p.trays[i].text2, trays[i].text2);
        EXPECT_EQ(p.trays[i].text3, trays[i].text3);
        EXPECT_EQ(p.trays[i].text4, trays[i].text4);
    }
    ASSERT_EQ(p.toners.size(), 3u);
    EXPECT_EQ(p.toners[0].text1, "Black toner");
    EXPECT_EQ(p.toners[0].value1, 50);
    EXPECT_EQ(p.toners[1].text1, "Cyan toner");  // from the colorant and the supply type
    EXPECT_EQ(p.toners[1].value1, 33);
    EXPECT_EQ(p.toners[1].value2, 1);
    EXPECT_EQ(p.toners[2].text1, "Drum");

    ExpectInstallable(p, vyxserve::kSorter, true, "2 outputs: Face-down bin, Face-up tray");
    ExpectInstallable(p, vyxserve::kFaceDownUnit, true, "Face-down bin");
    ExpectInstallable(p, vyxserve::kDuplex, true, "Long-edge duplex");
    ExpectInstallable(p, vyxserve::kLowerTray, true, "Magasin 2");
    ExpectInstallable(p, vyxserve::kFinisher, true, "Staple finisher");
    ExpectInstallable(p, vyxserve::kFinisherType, true, "Stapler");
    ExpectInstallable(p, vyxserve::kFinisherOption, true, "Hole punch");
    ExpectInstallable(p, vyxserve::kFax, false, "Fax");
    ExpectInstallable(p, vyxserve::kMfpOption, true, "Colour MFP 5000");

    ASSERT_EQ(p.features.size(), 1u);
    EXPECT_EQ(p.features[0].key, kColourModeKey);
    ASSERT_EQ(p.features[0].options.size(), 2u);
    EXPECT_EQ(p.features[0].options[0].value, kColourValue);
    EXPECT_EQ(p.features[0].options[1].value, kMonoValue);
    EXPECT_EQ(p.features[0].selected, 0u);
    EXPECT_TRUE(p.templates.empty());
}

TEST(SnmpMapping, PlainMonochromePrinter) {
    Mib mib;
    mib.Text(kSysDescr, {0}, "Laser 100");
    mib.Number(kInputType, {1, 1}, 4);
    mib.Text(kInputName, {1, 1}, "Tray");
    mib.Text(kOutputName, {1, 1}, "Top");
    mib.Number(kOutputDelivery, {1, 1}, 3);
    mib.Text(kColorantValue, {1, 1}, "black");
    mib.Text(kSuppliesDescription, {1, 1}, "Toner");
    // A modem among the host's devices is a fax.
    mib.Set(kDeviceType, {2}, [] { Value v; v.type = tag::kOid; v.oid = Oid{1, 3, 6, 1, 2, 1, 25, 3, 1, 14}; return v; }());
    mib.Text(kDeviceDescr, {2}, "Fax line");

    vyxserve::Printer p;
    ASSERT_EQ(mib.Snapshot(Parts::kAll, p), 0);
    ASSERT_EQ(p.trays.size(), 1u);
    ASSERT_EQ(p.toners.size(), 1u);
    ExpectInstallable(p, vyxserve::kSorter, false, "Sorter");
    ExpectInstallable(p, vyxserve::kDuplex, false, "Duplex unit");
    ExpectInstallable(p, vyxserve::kLowerTray, false, "Lower tray");
    ExpectInstallable(p, vyxserve::kFaceDownUnit, false, "Face-down output");
    ExpectInstallable(p, vyxserve::kFinisher, false, "Finisher");
    ExpectInstallable(p, vyxserve::kFinisherType, false, "Finisher type");
    ExpectInstallable(p, vyxserve::kFinisherOption, false, "Finisher option");
    ExpectInstallable(p, vyxserve::kFax, true, "Fax line");
    ExpectInstallable(p, vyxserve::kMfpOption, false, "MFP");
    ASSERT_EQ(p.features.at(0).options.size(), 1u);
    EXPECT_EQ(p.features[0].options[0].value, kMonoValue);
}

// A supply typed other leads the list when it names a colorant, as a toner does; a maintenance
// kit of the same type, with none, follows the toners.
TEST(SnmpMapping, AnUntypedSupplyWithAColorantIsAToner) {
    Mib mib;
    mib.Text(kColorantValue, {1, 1}, "black");
    mib.Text(kSuppliesDescription, {1, 1}, "Maintenance kit");
    mib.Number(kSuppliesType, {1, 1}, 1);
    mib.Text(kSuppliesDescription, {1, 2}, "Black cartridge");
    mib.Number(kSuppliesType, {1, 2}, 1);
    mib.Number(kSuppliesColorant, {1, 2}, 1);
    mib.Text(kSuppliesDescription, {1, 3}, "Drum");
    mib.Number(kSuppliesType, {1, 3}, 9);
    mib.Number(kSuppliesColorant, {1, 3}, 1);

    vyxserve::Printer p;
    ASSERT_EQ(mib.Snapshot(Parts::kAll, p), 0);
    std::vector<std::string> names;
    for (const vyxserve::Toner& t : p.toners) {
        names.push_back(t.text1);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Black cartridge", "Maintenance kit", "Drum"}));
}

TEST(SnmpMapping, TrayStateComesFromStatusAndLevel) {
    const struct {
        std::int64_t status;  // -1: not reported
        std::int64_t level;
        const char* text;
    } cases[] = {
        {0, 10, "Ready"},   {2, 10, "Ready"},        {4, 10, "Busy"},      {6, 10, "Busy"},
        {0, 0, "Empty"},    {8, 10, "Warning"},      {8, 0, "Empty"},      {16, 10, "Error"},
        {16, 0, "Error"},   {1, 10, "On request"},   {32, 10, "Offline"},  {3, 10, "Broken"},
        {35, 10, "Broken"}, {5, 10, "Unknown"},      {-1, 0, "Empty"},     {-1, 5, "Unknown"},
        {200, 5, "Unknown"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status * 1000 + c.level);
        Mib mib;
        mib.Number(kInputCurrentLevel, {1, 1}, c.level);
        if (c.status >= 0) {
            mib.Number(kInputStatus, {1, 1}, c.status);
        }
        vyxserve::Printer p;
        ASSERT_EQ(mib.Snapshot(Parts::kAttributes, p), 0);
        ASSERT_EQ(p.trays.size(), 1u);
        EXPECT_EQ(p.trays[0].text4, c.text);
    }
}

TEST(SnmpMapping, SupplyLevelInPercentWhereItCanBeKnown) {
    const struct {
        std::int64_t level, max, unit;  // unit 0: not reported
        std::int32_t percent;
    } cases[] = {
        {50, 100, 0, 50},  {1, 3, 0, 33},   {2, 3, 0, 67},    {0, 100, 0, 0},
        {150, 100, 0, 100}, {-1, 100, 0, -1}, {-2, 100, 0, -2}, {-3, 100, 0, -3},
        {20, -2, 19, 20},  {20, -2, 7, -2}, {30, 0, 0, -2},   {3000000000LL, 6000000000LL, 0, 50},
        // 64-bit figures whose level times 100 would overflow (found by snmp_mapping_fuzzer)
        {INT64_C(1) << 62, INT64_MAX, 0, 50}, {INT64_MAX - 1, INT64_MAX, 0, 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.level) + "/" + std::to_string(c.max));
        Mib mib;
        mib.Number(kSuppliesLevel, {1, 1}, c.level);
        mib.Number(kSuppliesMaxCapacity, {1, 1}, c.max);
        if (c.unit != 0) {
            mib.Number(kSuppliesUnit, {1, 1}, c.unit);
        }
        vyxserve::Printer p;
        ASSERT_EQ(mib.Snapshot(Parts::kAttributes, p), 0);
        ASSERT_EQ(p.toners.size(), 1u);
        EXPECT_EQ(p.toners[0].value1, c.percent);
        EXPECT_EQ(p.toners[0].value2, static_cast<std::int32_t>(std::min<std::int64_t>(c.level, INT32_MAX)));
        EXPECT_EQ(p.toners[0].text1, "Supply 1");
    }
}

// A decoder for the charsets the portable part leaves to the system, as the module's Windows
// part does: here only Shift_JIS, and the machine's code page.
class TestDecoder : public TextDecoder {
  protected:
    bool ConvertOther(const std::string& bytes, int set, std::string& utf8) const override {
        if (set == 17 && bytes == "\x83\x67\x83\x8C\x83\x43") {
            utf8 = "\xE3\x83\x88\xE3\x83\xAC\xE3\x82\xA4";  // トレイ
            return true;
        }
        if (set == charset::kUnknown && bytes == "\xE9") {
            utf8 = "machine";
            return true;
        }
        return false;
    }
};

TEST(SnmpMapping, TextsAreDecodedInThePrintersLocalization) {
    const struct {
        const char* name;
        std::int64_t charset;  // 0: no localization reported
        std::string bytes;
        std::string utf8;
        bool hook;
    } cases[] = {
        {"UTF-8", 106, "Bac inf\xC3\xA9rieur", "Bac inf\xC3\xA9rieur", false},
        {"bad UTF-8", 106, "A\xC3(", "A\xEF\xBF\xBD(", false},
        {"Latin-1", 4, "Bac inf\xE9rieur", "Bac inf\xC3\xA9rieur", false},
        {"windows-1252", 2252, "\x80 tray", "\xE2\x82\xAC tray", false},
        {"UTF-16BE", 1013, std::string("\0T\0\xE9", 4), "T\xC3\xA9", false},
        {"UTF-16 with mark", 1015, std::string("\xFF\xFE" "A\0", 4), "A", false},
        {"UTF-16LE, odd byte", 1014, std::string("A\0B", 3), "A\xEF\xBF\xBD", false},
        {"surrogate pair", 1013, std::string("\xD8\x3D\xDE\x00", 4), "\xF0\x9F\x98\x80", false},
        {"padded", 106, std::string("Tray 1  \0\0junk", 14), "Tray 1", false},
        {"unknown, UTF-8", 0, "caf\xC3\xA9", "caf\xC3\xA9", false},
        {"unknown, 8-bit", 0, "caf\xE9", "caf\xC3\xA9", false},
        {"ASCII claimed, 8-bit sent", 3, "caf\xE9", "caf\xC3\xA9", false},
        {"unknown, machine code page", 0, "\xE9", "machine", true},
        {"Shift_JIS through the system", 17, "\x83\x67\x83\x8C\x83\x43",
         "\xE3\x83\x88\xE3\x83\xAC\xE3\x82\xA4", true},
        {"Shift_JIS without the system", 17, "\x83\x67", "\xC6\x92g", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Mib mib;
        if (c.charset != 0) {
            mib.Localization(c.charset);
        }
        mib.Text(kInputName, {1, 1}, c.bytes);
        vyxserve::Printer p;
        const TestDecoder hooked;
        const TextDecoder plain;
        const TextDecoder& decoder = c.hook ? static_cast<const TextDecoder&>(hooked) : plain;
        ASSERT_EQ(mib.Snapshot(Parts::kAttributes, p, decoder), 0);
        ASSERT_EQ(p.trays.size(), 1u);
        EXPECT_EQ(p.trays[0].text1, c.utf8);
    }
}

TEST(SnmpMapping, AnAgentWithoutThePrinterMibIsNoPrinter) {
    Mib mib;
    mib.Text(kSysDescr, {0}, "A router");
    vyxserve::Printer p;
    p.trays.resize(3);
    EXPECT_EQ(mib.Snapshot(Parts::kAll, p), code::kNotAPrinter);
    EXPECT_EQ(p.trays.size(), 3u);  // left as it was
    // The colour part alone asks nothing of the printer tables: a printer without colorants.
    ASSERT_EQ(mib.Snapshot(Parts::kColour, p), 0);
    EXPECT_EQ(p.features.at(0).options.size(), 1u);
}

// Without process colorants above 1 and without two colorants in the colorant table, the
// supplies say whether the printer prints in colour; the colour session's own walk reads them.
TEST(SnmpMapping, ColourFromTheSuppliesWhereMarkersAndColorantsSayNothing) {
    const struct {
        const char* name;
        std::vector<std::string> descriptions;
        std::vector<std::uint32_t> colorantIndexes;  // one per supply, 0: none
        std::vector<std::string> colorantTable;      // rows 1, 2, ...
        bool colour;
    } cases[] = {
        {"words of the descriptions", {"Black Toner", "Cyan Toner"}, {}, {}, true},
        {"in capitals, after the supply type", {"TONER BLACK", "TONER MAGENTA"}, {}, {}, true},
        {"a shade of a process colour", {"Black ink", "light-yellow ink"}, {}, {}, true},
        {"letters alone", {"C-Toner", "M-Toner", "Y-Toner", "K-Toner"}, {}, {}, false},
        {"inside another word", {"Black toner", "Yellowing kit"}, {}, {}, false},
        {"black only", {"Black toner", "Drum", "Waste toner"}, {}, {}, false},
        {"the colorant of the supply", {"Toner A"}, {1}, {"cyan"}, true},
        {"the colorant before the description", {"Cyan toner"}, {1}, {"black"}, false},
        {"a colorant index with no row", {"Cyan toner"}, {2}, {"black"}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Mib mib;
        for (std::uint32_t i = 0; i < c.descriptions.size(); ++i) {
            mib.Text(kSuppliesDescription, {1, i + 1}, c.descriptions[i]);
            if (i < c.colorantIndexes.size()) {
                mib.Number(kSuppliesColorant, {1, i + 1}, c.colorantIndexes[i]);
            }
        }
        for (std::uint32_t i = 0; i < c.colorantTable.size(); ++i) {
            mib.Text(kColorantValue, {1, i + 1}, c.colorantTable[i]);
        }
        mib.Number(kMarkerProcessColorants, {1, 1}, 1);
        vyxserve::Printer p;
        ASSERT_EQ(mib.Snapshot(Parts::kColour, p), 0);
        EXPECT_EQ(p.features.at(0).options.size(), c.colour ? 2u : 1u);
    }
}

// A manual feed is never the lower tray: by its prtInputType, or by a word of its name or
// description where the type is missing or says nothing.
TEST(SnmpMapping, AManualFeedIsNeverTheLowerTray) {
    const struct {
        std::int64_t type;  // of the second input; 0: not reported
        const char* name;
        const char* description;
        const char* lowerTray;  // null: not fitted
    } cases[] = {
        {0, "Tray 2", "", "Tray 2"},
        {0, "MANUAL TRAY", "", nullptr},
        {0, "MP Tray", "", nullptr},
        {0, "", "Bypass", nullptr},
        {0, "Tray 5 (MPT)", "", nullptr},
        {2, "Multi-purpose feeder", "", nullptr},
        {1, "Multipurpose", "", nullptr},
        {0, "Impart tray", "", "Impart tray"},
        {5, "Tray 2", "", nullptr},
        {3, "Manual tray", "", "Manual tray"},  // the type says it is fed automatically
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + c.description);
        Mib mib;
        mib.Text(kInputName, {1, 1}, "Tray 1");
        if (c.type != 0) {
            mib.Number(kInputType, {1, 1}, 4);
            mib.Number(kInputType, {1, 2}, c.type);
        }
        mib.Text(kInputName, {1, 2}, c.name);
        mib.Text(kInputDescription, {1, 2}, c.description);
        vyxserve::Printer p;
        ASSERT_EQ(mib.Snapshot(Parts::kAttributes, p), 0);
        ASSERT_EQ(p.trays.size(), 2u);
        if (c.lowerTray) {
            ExpectInstallable(p, vyxserve::kLowerTray, true, c.lowerTray);
        } else {
            ExpectInstallable(p, vyxserve::kLowerTray, false, "Lower tray");
        }
    }
}

TEST(SnmpMapping, EachPartWalksOnlyItsColumns) {
    Mib mib;
    mib.Text(kColorantValue, {1, 1}, "black");
    mib.Number(kMarkerProcessColorants, {1, 1}, 4);  // a colour marker, whatever the colorants
    vyxserve::Printer p;
    ASSERT_EQ(mib.Snapshot(Parts::kColour, p), 0);
    EXPECT_EQ(p.features.at(0).options.size(), 2u);
    ASSERT_EQ(mib.agent.requests.size(), 1u);
    EXPECT_EQ(mib.agent.requests[0].pdu.varBinds.size(), ColumnsFor(Parts::kColour).size());
    EXPECT_EQ(ColumnsFor(Parts::kColour).size(), 6u);
    EXPECT_EQ(ColumnsFor(Parts::kAll).size(), static_cast<std::size_t>(kColumnCount));
    EXPECT_EQ(ColumnsFor(Parts::kAttributes).size(), static_cast<std::size_t>(kColumnCount) - 1);
}

}  // namespace
