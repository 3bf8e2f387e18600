// The mapping from a Get-Printer-Attributes reply to the printer model, attribute by attribute,
// and the requests and reply checks around it.
#include <gtest/gtest.h>

#include "ipp_codec.h"
#include "ipp_codes.h"
#include "ipp_mapping.h"

namespace vyxipp {
namespace {

Value K(const char* text) {
    return Value::String(kKeyword, text);
}
Value O(const char* text) {
    return Value::String(kOctetString, text);
}
Value T(const char* text) {
    return Value::String(kTextWithoutLanguage, text);
}
Value E(std::int32_t n) {
    return Value::Integer(kEnum, n);
}
Value I(std::int32_t n) {
    return Value::Integer(kInteger, n);
}

Message ReplyWith(std::vector<Attribute> attributes, std::int32_t requestId = 7) {
    Message m;
    m.code = kSuccessfulOk;
    m.requestId = requestId;
    m.groups = {
        Group{kOperationGroup, {{"attributes-charset", {Value::String(kCharset, "utf-8")}}}},
        Group{kPrinterGroup, std::move(attributes)}};
    return m;
}

vyxserve::Printer Map(const std::vector<Attribute>& attributes, unsigned parts = kEverything,
                      PrinterFacts* facts = nullptr) {
    vyxserve::Printer printer;
    PrinterFacts ignored;
    MapPrinter(ReplyWith(attributes), parts, printer, facts ? *facts : ignored);
    return printer;
}

TEST(IppMapping, ColourFeaturesComeFromSupportedAndDefault) {
    PrinterFacts facts;
    const vyxserve::Printer p =
        Map({{"print-color-mode-supported", {K("auto"), K("color"), K("monochrome"), K("color")}},
             {"print-color-mode-default", {K("monochrome")}},
             {"print-quality-supported", {E(3), E(4), E(5), E(9), I(4)}},
             {"print-quality-default", {E(5)}},
             {"print-rendering-intent-supported", {K("perceptual"), K("relative-bpc")}},
             {"print-rendering-intent-default", {K("saturation")}},  // not among the supported
             {"print-content-optimize-default", {K("photo")}},       // no -supported: no feature
             {"operations-supported", {E(0x0B), E(0x13)}}},
            kFeatures, &facts);
    ASSERT_EQ(p.features.size(), 3u);
    EXPECT_EQ(p.features[0].key, "print-color-mode");
    EXPECT_EQ(p.features[0].name, "Colour mode");
    ASSERT_EQ(p.features[0].options.size(), 3u);
    EXPECT_EQ(p.features[0].options[1].value, "color");
    EXPECT_EQ(p.features[0].options[1].label, "Colour");
    EXPECT_EQ(p.features[0].selected, 2u);
    EXPECT_EQ(p.features[1].key, "print-quality");
    ASSERT_EQ(p.features[1].options.size(), 3u);  // 9 is not shown; the integer 4 is normal again
    EXPECT_EQ(p.features[1].options[0].value, "draft");
    EXPECT_EQ(p.features[1].options[2].label, "High");
    EXPECT_EQ(p.features[1].selected, 2u);
    EXPECT_EQ(p.features[2].options[1].label, "Relative colorimetric, black point compensation");
    EXPECT_EQ(p.features[2].selected, 2u);  // nothing selected
    EXPECT_TRUE(facts.settable);
    EXPECT_TRUE(p.trays.empty());  // only the features were asked for

    Map({{"operations-supported", {E(0x0B)}}}, kFeatures, &facts);
    EXPECT_FALSE(facts.settable);
}

TEST(IppMapping, AnOlderPrinterGivesItsColourModeAsOutputMode) {
    const std::vector<Attribute> older = {{"output-mode-supported", {K("color"), K("monochrome")}},
                                          {"output-mode-default", {K("monochrome")}}};
    vyxserve::Printer p = Map(older, kFeatures);
    ASSERT_EQ(p.features.size(), 1u);
    EXPECT_EQ(p.features[0].key, "output-mode");  // a selection is set where the printer reads it
    EXPECT_EQ(p.features[0].name, "Colour mode");
    EXPECT_EQ(p.features[0].options[1].label, "Monochrome");
    EXPECT_EQ(p.features[0].selected, 1u);
    Message set;
    ASSERT_TRUE(SetDefaultRequest("u", "bob", "output-mode", "color", 9, set));
    EXPECT_EQ(set.Find(kPrinterGroup, "output-mode-default")->values[0].AsString(), "color");

    std::vector<Attribute> both = older;
    both.push_back({"print-color-mode-supported", {K("auto"), K("color")}});
    p = Map(both, kFeatures);
    ASSERT_EQ(p.features.size(), 1u);
    EXPECT_EQ(p.features[0].key, "print-color-mode");
}

TEST(IppMapping, TraysJoinReadyMediaBySource) {
    auto media = [](const char* source, const char* size, const char* type) {
        std::vector<Attribute> members = {{"media-source", {K(source)}}};
        if (size) {
            members.push_back({"media-size-name", {K(size)}});
        } else {
            members.push_back(
                {"media-size",
                 {Value::Collection({{"x-dimension", {I(21590)}}, {"y-dimension", {I(27940)}}})}});
        }
        members.push_back({"media-type", {K(type)}});
        return Value::Collection(members);
    };
    const vyxserve::Printer p = Map({
        {"printer-input-tray",
         {O("type=sheetFeedAutoRemovableTray;mediafeed=0;maxcapacity=500;level=350;status=0;name="
            "Tray 1;"),
          O("type=sheetFeedAutoRemovableTray;maxcapacity=1500;level=-3;status=19;name=tray-2"),
          O("type=sheetFeedManual;maxcapacity=-2;level=-2;status=106;name=;"),
          O("level=12x;maxcapacity=99999999999")}},
        {"media-source-supported", {K("tray-1"), K("tray-2"), K("manual"), K("roll-1")}},
        {"media-col-ready",
         {media("tray-1", "iso_a4_210x297mm", "stationery"), media("tray-2", nullptr, "cardstock"),
          media("manual", "na_letter_8.5x11in", "labels")}},
    });
    ASSERT_EQ(p.trays.size(), 4u);
    struct Expected {
        const char *text1, *text2, *text3, *text4;
        std::int32_t value1, value2;
    } expected[] = {
        {"Tray 1", "A4", "Plain paper", "Ready", 500, 350},
        {"Tray 2", "Letter", "Card stock", "Broken, critical alert", 1500, -3},
        {"Manual feed", "Letter", "Labels", "Standby, off-line, alert, transitioning", -2, -2},
        {"Roll 1", "", "", "Unknown", -2, -2},
    };
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(p.trays[i].text1, expected[i].text1);
        EXPECT_EQ(p.trays[i].value1, expected[i].value1);
        EXPECT_EQ(p.trays[i].value2, expected[i].value2);
        EXPECT_EQ(p.trays[i].text2, expected[i].text2);
        EXPECT_EQ(p.trays[i].text3, expected[i].text3);
        EXPECT_EQ(p.trays[i].text4, expected[i].text4);
    }
    EXPECT_TRUE(p.installables[vyxserve::kLowerTray].installed);
    EXPECT_EQ(p.installables[vyxserve::kLowerTray].text2, "2 paper trays");
}

TEST(IppMapping, WithoutInputTraysTheMediaSourcesAreTheTrays) {
    const vyxserve::Printer p =
        Map({{"media-source-supported", {K("auto"), K("main"), K("manual")}}});
    ASSERT_EQ(p.trays.size(), 2u);  // automatic selection is no tray
    EXPECT_EQ(p.trays[0].text1, "Main tray");
    EXPECT_EQ(p.trays[0].value1, -2);
    EXPECT_EQ(p.trays[0].value2, -2);
    EXPECT_EQ(p.trays[0].text4, "Unknown");
    EXPECT_EQ(p.trays[1].text1, "Manual feed");
    EXPECT_FALSE(p.installables[vyxserve::kLowerTray].installed);
    EXPECT_EQ(p.installables[vyxserve::kLowerTray].text1, "Not installed");
    EXPECT_EQ(p.installables[vyxserve::kLowerTray].text2, "Lower tray");
}

TEST(IppMapping, SuppliesFromPrinterSupplyElseMarkers) {
    vyxserve::Printer p = Map({
        {"printer-supply",
         {O("index=1;class=supplyThatIsConsumed;type=toner;unit=percent;maxcapacity=100;level=80;"
            "colorantname=black;"),
          O("type=toner;maxcapacity=2000;level=500;colorantname=cyan"),
          O("type=wasteToner;maxcapacity=100;level=-3"), O("level=150;maxcapacity=100")}},
        {"printer-supply-description", {T("Black toner"), T("")}},
        {"marker-names", {T("ignored")}},
    });
    ASSERT_EQ(p.toners.size(), 4u);
    EXPECT_EQ(p.toners[0].text1, "Black toner");
    EXPECT_EQ(p.toners[0].value1, 80);
    EXPECT_EQ(p.toners[0].value2, 100);
    EXPECT_EQ(p.toners[1].text1, "Cyan toner");
    EXPECT_EQ(p.toners[1].value1, 25);
    EXPECT_EQ(p.toners[1].value2, 2000);
    EXPECT_EQ(p.toners[2].text1, "Waste toner");
    EXPECT_EQ(p.toners[2].value1, -3);
    EXPECT_EQ(p.toners[3].text1, "Supply 4");
    EXPECT_EQ(p.toners[3].value1, 100);

    p = Map({{"marker-names", {T("Black"), T("")}},
             {"marker-levels", {I(40), K("x"), I(-2)}},
             {"marker-colors",
              {Value::String(kNameWithoutLanguage, "#000000"),
               Value::String(kNameWithoutLanguage, "#00FFFF")}},
             {"marker-types", {K("toner"), K("toner"), K("ink")}}});
    ASSERT_EQ(p.toners.size(), 3u);
    EXPECT_EQ(p.toners[0].text1, "Black");
    EXPECT_EQ(p.toners[0].value1, 40);
    EXPECT_EQ(p.toners[0].value2, 100);
    EXPECT_EQ(p.toners[1].text1, "Cyan toner");
    EXPECT_EQ(p.toners[1].value1, -2);
    EXPECT_EQ(p.toners[2].text1, "Ink");
}

TEST(IppMapping, SuppliesWithoutDescriptionsAndTheColorantsFirst) {
    const std::vector<Attribute> supplies = {
        {"printer-supply",
         {O("type=opc;colorantname=no-color;level=50;maxcapacity=100"),
          O("type=inkCartridge;colorantname=magenta;level=20;maxcapacity=100"),
          O("type=inkCartridge;colorantname=multi-color;level=70;maxcapacity=100")}},
        {"printer-supply-description", {T(""), T(""), T("")}},
    };
    struct Case {
        const char* what;
        std::vector<Attribute> markers;
        std::vector<std::string> names;
    } cases[] = {
        {"marker names at the same positions",
         {{"marker-names", {T("Drum unit"), T("magenta ink"), T("tri-color ink")}}},
         {"magenta ink", "tri-color ink", "Drum unit"}},
        {"no marker names", {}, {"Magenta ink cartridge", "Multi-colour ink cartridge", "Drum"}},
        {"fewer marker names than supplies",
         {{"marker-names", {T("magenta ink"), T("tri-color ink")}}},
         {"Magenta ink cartridge", "Multi-colour ink cartridge", "Drum"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<Attribute> attributes = supplies;
        attributes.insert(attributes.end(), c.markers.begin(), c.markers.end());
        const vyxserve::Printer p = Map(attributes, kAttributes);
        std::vector<std::string> names;
        for (const vyxserve::Toner& t : p.toners) {
            names.push_back(t.text1);
        }
        EXPECT_EQ(names, c.names);
        ASSERT_EQ(p.toners.size(), 3u);
        EXPECT_EQ(p.toners[0].value1, 20);  // the levels go with their supplies
        EXPECT_EQ(p.toners[2].value1, 50);
    }
}

// A laser's maintenance kit, fuser and waste box follow its toners however the printer spells
// the toners' type: registered keywords in another case or with hyphens (as marker-types writes
// them), the MIB's number, or no type at all but a colour.
TEST(IppMapping, TheColorantsLeadWhateverTheTypesSpelling) {
    const std::vector<std::string> order = {"Black",           "Cyan",  "Magenta",        "Yellow",
                                            "Maintenance kit", "Fuser", "Waste toner box"};
    const struct {
        const char* what;
        std::vector<Attribute> attributes;
    } cases[] = {
        {"printer-supply",
         {{"printer-supply",
           {O("type=toner-cartridge;colorantname=black;level=50;maxcapacity=100;"),
            O("type=other;colorantname=unknown;level=90;maxcapacity=100;"),
            O("type=TonerCartridge;colorantname=cyan;level=40;maxcapacity=100;"),
            O("type=21;colorantname=magenta;level=30;maxcapacity=100;"),
            O("type=fuser;colorantname=no-color;level=80;maxcapacity=100;"),
            O("colorantname=yellow;level=20;maxcapacity=100;"),
            O("type=waste-toner;colorantname=black;level=10;maxcapacity=100;")}},
          {"printer-supply-description",
           {T("Black"), T("Maintenance kit"), T("Cyan"), T("Magenta"), T("Fuser"), T("Yellow"),
            T("Waste toner box")}}}},
        {"marker-*",
         {{"marker-names",
           {T("Black"), T("Maintenance kit"), T("Cyan"), T("Magenta"), T("Fuser"), T("Yellow"),
            T("Waste toner box")}},
          {"marker-types",
           {K("toner-cartridge"), K("maintenance-kit"), K("toner-cartridge"), K("toner-cartridge"),
            K("fuser"), K("toner-cartridge"), K("waste-toner")}},
          {"marker-colors",
           {T("#000000"), T("none"), T("#00FFFF"), T("#FF00FF"), T("none"), T("#FFFF00"),
            T("#000000")}},
          {"marker-levels", {I(50), I(90), I(40), I(30), I(80), I(20), I(10)}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const vyxserve::Printer p = Map(c.attributes, kAttributes);
        std::vector<std::string> names;
        for (const vyxserve::Toner& t : p.toners) {
            names.push_back(t.text1);
        }
        EXPECT_EQ(names, order);
        ASSERT_EQ(p.toners.size(), order.size());
        EXPECT_EQ(p.toners[4].value1, 90);  // the levels go with their supplies
    }
    // Unnamed, a toner in marker-types' spelling reads as the registered type.
    const vyxserve::Printer unnamed = Map(
        {{"marker-types", {K("toner-cartridge")}}, {"marker-colors", {T("#00FFFF")}}}, kAttributes);
    ASSERT_EQ(unnamed.toners.size(), 1u);
    EXPECT_EQ(unnamed.toners[0].text1, "Cyan toner cartridge");
}

TEST(IppMapping, TraysWherePrintersBendTheStandards) {
    auto sized = [](const char* source, std::int32_t x, Value y) {
        return Value::Collection(
            {{"media-source", {K(source)}},
             {"media-size", {Value::Collection({{"x-dimension", {I(x)}}, {"y-dimension", {y}}})}}});
    };
    const vyxserve::Printer p = Map(
        {{"printer-input-tray",
          {O("type=other;name=Tray 1;"),  // automatic selection, under a real tray's name
           O("type=sheetFeedAutoNonRemovable;name=main;"), O("type=removableBin;name=tray-2"),
           O("type=sheetFeedPull;name=rear;medianame=jpn_hagaki_100x148mm;"
             "mediatype=photographic-glossy;"),
           O("type=continuousRoll;name=main-roll")}},
         {"media-source-supported", {K("auto"), K("main"), K("tray-2"), K("rear"), K("main-roll")}},
         // 100 x 149 mm is as near 10 x 15 cm as Hagaki: the printer's own name decides.
         {"media-ready", {K("iso_a5_148x210mm"), K("jpn_hagaki_100x148mm")}},
         {"media-col-ready",
          {sized("auto", 21000, I(29700)), sized("main", 10000, I(14900)),
           sized("tray-2", 21590, I(27940)),
           sized("main-roll", 6200, Value::Range(1000, 100000))}}},
        kAttributes);
    const std::vector<std::vector<std::string>> expected = {
        {"Main tray", "Hagaki", ""},
        {"Tray 2", "Letter", ""},
        {"Rear tray", "Hagaki", "Glossy photo paper"},  // from the tray's own keys
        {"Main roll", "62 mm roll", ""},
    };
    ASSERT_EQ(p.trays.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ((std::vector<std::string>{p.trays[i].text1, p.trays[i].text2, p.trays[i].text3}),
                  expected[i]);
    }
    EXPECT_EQ(p.installables[vyxserve::kLowerTray].text2, "3 paper trays");
}

TEST(IppMapping, InstallableOptions) {
    using namespace vyxserve;
    struct Case {
        const char* what;
        std::vector<Attribute> attributes;
        InstallableKind kind;
        bool fitted;
        const char* text2;
    } cases[] = {
        {"one-sided only", {{"sides-supported", {K("one-sided")}}}, kDuplex, false, "Duplex unit"},
        {"two-sided",
         {{"sides-supported", {K("one-sided"), K("two-sided-short-edge")}}},
         kDuplex,
         true,
         "Two-sided printing"},
        {"one bin", {{"output-bin-supported", {K("face-up")}}}, kSorter, false, "Sorter"},
        {"two bins",
         {{"output-bin-supported", {K("face-up"), K("face-down")}}},
         kSorter,
         true,
         "2 output bins"},
        {"a mailbox", {{"output-bin-supported", {K("mailbox-1")}}}, kSorter, true, "1 output bin"},
        {"output trays",
         {{"printer-output-tray", {O("type=unRemovableBin"), O("type=mailBox"), O("x")}}},
         kSorter,
         true,
         "3 output bins"},
        {"face-down bin",
         {{"output-bin-supported", {K("face-down")}}},
         kFaceDownUnit,
         true,
         "Face-down output"},
        {"face-down tray",
         {{"printer-output-tray", {O("type=unRemovableBin;pagedelivery=faceDown;")}}},
         kFaceDownUnit,
         true,
         "Face-down output"},
        {"face-up tray",
         {{"printer-output-tray", {O("pagedelivery=faceUp")}}},
         kFaceDownUnit,
         false,
         "Face-down unit"},
        {"fax modem",
         {{"printer-fax-modem-name", {Value::String(kNameWithoutLanguage, "Line 1")}}},
         kFax,
         true,
         "Line 1"},
        {"fax number only",
         {{"printer-fax-modem-number", {Value::String(kUri, "tel:123")}}},
         kFax,
         true,
         "Fax"},
        {"faxout feature",
         {{"ipp-features-supported", {K("ipp-everywhere"), K("faxout")}}},
         kFax,
         true,
         "Fax"},
        {"fax modem of no value",
         {{"printer-fax-modem-name", {Value::String(kNoValue, "")}}},
         kFax,
         false,
         "Fax"},
        {"no fax", {{"ipp-features-supported", {K("ipp-everywhere")}}}, kFax, false, "Fax"},
        {"scan and fax",
         {{"printer-service-type", {K("print"), K("scan"), K("faxout")}}},
         kMfpOption,
         true,
         "Scan, fax"},
        {"fax only", {{"ipp-features-supported", {K("faxout")}}}, kMfpOption, true, "Fax"},
        {"print only", {{"printer-service-type", {K("print")}}}, kMfpOption, false, "MFP option"},
        {"finishings none", {{"finishings-supported", {E(3)}}}, kFinisher, false, "Finisher"},
        {"finishings",
         {{"finishings-supported", {E(3), E(20), E(74), E(93), E(4)}}},
         kFinisherOption,
         true,
         "Staple top left, Two holes left, Half fold, Staple"},
        {"kinds from finishings",
         {{"finishings-supported", {E(3), E(20), E(74), E(4), E(999)}}},
         kFinisherType,
         true,
         "Staple, Punch, 999"},
        {"kinds from units",
         {{"printer-finisher",
           {O("type=stitcher;unit=items"), O("type=punch"), O("type=stitcher")}},
          {"finishings-supported", {E(4)}}},
         kFinisherType,
         true,
         "Stapler, Hole punch"},
        {"one empty finisher value",
         {{"printer-finisher", {O("")}}, {"finishings-supported", {E(3)}}},
         kFinisher,
         false,
         "Finisher"},
        {"auto is no output bin",
         {{"output-bin-supported", {K("auto"), K("face-up")}}},
         kSorter,
         false,
         "Sorter"},
        {"an output tray for auto, at its position",
         {{"output-bin-supported", {K("auto"), K("top"), K("side"), K("tray-1")}},
          {"printer-output-tray",
           {O("type=other;name=Automatic;"), O("type=unRemovableBin;name=Top;"),
            O("type=unRemovableBin;name=Side;"), O("type=removableBin;name=Tray 1;")}}},
         kSorter,
         true,
         "3 output bins"},
        {"an output tray named auto",
         {{"printer-output-tray",
           {O("type=unRemovableBin;name=auto;"), O("type=unRemovableBin;name=Top;")}}},
         kSorter,
         false,
         "Sorter"},
        {"the owner's mailbox is a choice",
         {{"output-bin-supported", {K("my-mailbox"), K("mailbox-1"), K("mailbox-2")}}},
         kSorter,
         true,
         "2 output bins"},
        {"the auto tray delivers face down",
         {{"printer-output-tray",
           {O("type=other;name=auto;pagedelivery=faceDown;"), O("pagedelivery=faceUp;")}}},
         kFaceDownUnit,
         false,
         "Face-down unit"},
        {"finisher unit",
         {{"printer-finisher", {O("type=stitcher")}},
          {"printer-finisher-description", {T("Booklet finisher")}}},
         kFinisher,
         true,
         "Booklet finisher"},
        {"finisher without a name",
         {{"finishings-supported", {E(4)}}},
         kFinisher,
         true,
         "Finisher"},
        {"no finisher options", {}, kFinisherOption, false, "Finisher options"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Printer p = Map(c.attributes, kAttributes);
        EXPECT_EQ(p.installables[c.kind].installed, c.fitted);
        EXPECT_EQ(p.installables[c.kind].text1, c.fitted ? "Installed" : "Not installed");
        EXPECT_EQ(p.installables[c.kind].text2, c.text2);
    }
}

TEST(IppMapping, PresetsBecomeTemplatesWithFlattenedItems) {
    const Value mediaSize =
        Value::Collection({{"x-dimension", {I(21000)}}, {"y-dimension", {I(29700)}}});
    const vyxserve::Printer p =
        Map({{"job-presets-supported",
              {Value::Collection(
                   {{"preset-name", {Value::String(kNameWithoutLanguage, "Draft\tcopy")}},
                    {"print-quality", {E(3)}},
                    {"sides", {K("one-sided"), K("two-sided-long-edge")}},
                    {"media-col",
                     {Value::Collection(
                         {{"media-size", {mediaSize}}, {"media-source", {K("tray-1")}}})}},
                    {"finishings-col",
                     {Value::Collection({{"finishing-template", {K("staple")}}}),
                      Value::Collection({{"finishing-template", {K("punch")}}})}},
                    {"finishings", {E(4), E(74)}},
                    {"copies", {I(2)}},
                    {"page-ranges", {Value::Range(1, 5)}},
                    {"printer-resolution", {Value::Resolution(600, 600, 3)}},
                    {"job-name", {Value::TextWithLanguage(kNameWithLanguage, "fr", "Brouillon\n")}},
                    {"ipp-attribute-fidelity", {Value::Boolean(false)}}}),
               K("not a collection"), Value::Collection({{"copies", {I(1)}}})}}},
            kTemplates);
    ASSERT_EQ(p.templates.size(), 2u);
    EXPECT_EQ(p.templates[0].name, "Draft copy");
    EXPECT_EQ(p.templates[0].tag, 1);
    const std::vector<vyxserve::ItemPair> expected = {
        {"print-quality", "draft"},
        {"sides", "one-sided,two-sided-long-edge"},
        {"media-col.media-size.x-dimension", "21000"},
        {"media-col.media-size.y-dimension", "29700"},
        {"media-col.media-source", "tray-1"},
        {"finishings-col.finishing-template", "staple,punch"},
        {"finishings", "staple,punch-dual-left"},
        {"copies", "2"},
        {"page-ranges", "1-5"},
        {"printer-resolution", "600x600dpi"},
        {"job-name", "Brouillon "},
        {"ipp-attribute-fidelity", "false"},
    };
    EXPECT_EQ(p.templates[0].items, expected);
    EXPECT_EQ(p.templates[1].name, "Preset 2");
    EXPECT_EQ(p.templates[1].tag, 2);
}

TEST(IppMapping, EMailNotificationFollowsMailto) {
    vyxserve::Printer p =
        Map({{"notify-schemes-supported",
              {Value::String(kUriScheme, "ippget"), Value::String(kUriScheme, "MAILTO")}}});
    EXPECT_TRUE(p.email.enabled);
    EXPECT_EQ(p.email.events, ~std::uint64_t{0});
    p = Map({{"notify-schemes-supported", {Value::String(kUriScheme, "ippget")}}});
    EXPECT_FALSE(p.email.enabled);
}

TEST(IppMapping, TextsAreCleaned) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"Bac inf\xC3\xA9rieur", "Bac inf\xC3\xA9rieur"},
        {"\xE7\xB4\x99 \xF0\x9F\x96\xA8", "\xE7\xB4\x99 \xF0\x9F\x96\xA8"},
        {"a\tb\nc\x7F", "a b c "},
        {"\xC3", "\xEF\xBF\xBD"},                                                  // cut sequence
        {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},                                  // overlong
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},                  // surrogate
        {"\xF4\x90\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // past U+10FFFF
        {std::string("a\0b", 3), "a b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(CleanText(c.in), c.out);
    }
}

TEST(IppMapping, RequestsNameTheirPartsOnly) {
    const Message m = PrinterAttributesRequest("ipp://p:631/ipp/print", "alice", kTemplates, 42);
    std::string bytes;
    ASSERT_TRUE(Encode(m, bytes));
    Message back;
    ASSERT_EQ(Decode(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                     DecodeLimits(), back),
              DecodeStatus::kOk);
    EXPECT_EQ(back.code, kGetPrinterAttributes);
    EXPECT_EQ(back.requestId, 42);
    const Group& op = back.groups.at(0);
    ASSERT_EQ(op.attributes.size(), 5u);  // charset and language first, as IPP requires
    EXPECT_EQ(op.attributes[0].name, "attributes-charset");
    EXPECT_EQ(op.attributes[1].name, "attributes-natural-language");
    EXPECT_EQ(op.Find("printer-uri")->values[0].AsString(), "ipp://p:631/ipp/print");
    EXPECT_EQ(op.Find("requesting-user-name")->values[0].AsString(), "alice");
    const Attribute* requested = op.Find("requested-attributes");
    ASSERT_EQ(requested->values.size(), 1u);
    EXPECT_EQ(requested->values[0].AsString(), "job-presets-supported");
    EXPECT_EQ(RequestedAttributes(kEverything).size(),
              RequestedAttributes(kFeatures).size() + RequestedAttributes(kAttributes).size() + 1);

    Message set;
    ASSERT_TRUE(SetDefaultRequest("ipp://p:631/ipp/print", "bob", "print-quality", "high", 9, set));
    EXPECT_EQ(set.code, kSetPrinterAttributes);
    const Attribute* quality = set.Find(kPrinterGroup, "print-quality-default");
    ASSERT_NE(quality, nullptr);
    EXPECT_EQ(quality->values[0].tag, kEnum);
    EXPECT_EQ(quality->values[0].AsInteger(), 5);
    ASSERT_TRUE(SetDefaultRequest("u", "bob", "print-color-mode", "monochrome", 9, set));
    EXPECT_EQ(set.Find(kPrinterGroup, "print-color-mode-default")->values[0].AsString(),
              "monochrome");
    EXPECT_FALSE(SetDefaultRequest("u", "bob", "print-quality", "best", 9, set));
    EXPECT_FALSE(SetDefaultRequest("u", "bob", "media", "a4", 9, set));
}

TEST(IppMapping, ReplyChecks) {
    struct Case {
        std::uint16_t status;
        std::int32_t id;
        std::int32_t code;
    } cases[] = {
        {0x0000, 7, 0},
        {0x0001, 7, 0},  // successful-ok-ignored-or-substituted-attributes
        {0x0000, 8, kWrongReply},
        {0x0400, 7, kIppStatusBase + 0x0400},
        {0x040B, 7, kIppStatusBase + 0x040B},
        {0x0501, 7, kNotSupported},
        {0x0503, 7, kNotSupported},
        {0x0500, 7, kIppStatusBase + 0x0500},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        Message reply = ReplyWith({});
        reply.code = c.status;
        reply.requestId = c.id;
        EXPECT_EQ(CheckReply(reply, 7), c.code);
    }
}

}  // namespace
}  // namespace vyxipp
