// The IPP codec: exact bytes, round trips of every value tag and of nested collections, and
// replies that stop anywhere or break the rules, each ending in its status.
#include <gtest/gtest.h>

#include "ipp_codec.h"

namespace vyxipp {
namespace {

std::string Bytes(std::initializer_list<int> list) {
    std::string out;
    for (int b : list) {
        out.push_back(static_cast<char>(b));
    }
    return out;
}

DecodeStatus DecodeText(const std::string& bytes, Message& m,
                        const DecodeLimits& limits = DecodeLimits()) {
    return Decode(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), limits, m);
}

// A message that holds every value tag the module knows, a 1setOf, an additional value of a
// collection and collections three deep.
Message EveryTag() {
    Message m;
    m.versionMajor = 1;
    m.versionMinor = 1;
    m.code = 0x000B;
    m.requestId = -2;
    Group op{kOperationGroup, {}};
    op.attributes.push_back({"attributes-charset", {Value::String(kCharset, "utf-8")}});
    op.attributes.push_back(
        {"attributes-natural-language", {Value::String(kNaturalLanguage, "en")}});
    Group printer{kPrinterGroup, {}};
    printer.attributes.push_back(
        {"i", {Value::Integer(kInteger, INT32_MIN), Value::Integer(kInteger, 7)}});
    printer.attributes.push_back({"e", {Value::Integer(kEnum, 4)}});
    printer.attributes.push_back({"b", {Value::Boolean(true), Value::Boolean(false)}});
    printer.attributes.push_back({"o", {Value::String(kOctetString, std::string("a\0b", 3))}});
    printer.attributes.push_back(
        {"d", {Value::String(kDateTime, Bytes({7, 234, 12, 9, 1, 2, 3, 0, '+', 1, 0}))}});
    printer.attributes.push_back({"r", {Value::Resolution(600, 1200, 3)}});
    printer.attributes.push_back({"g", {Value::Range(1, 999)}});
    printer.attributes.push_back({"tl", {Value::TextWithLanguage(kTextWithLanguage, "fr", "Bac")}});
    printer.attributes.push_back({"nl", {Value::TextWithLanguage(kNameWithLanguage, "de", "")}});
    for (std::uint8_t tag : {kTextWithoutLanguage, kNameWithoutLanguage, kKeyword, kUri, kUriScheme,
                             kCharset, kNaturalLanguage, kMimeMediaType}) {
        printer.attributes.push_back(
            {"s" + std::to_string(tag), {Value::String(tag, "v\xC3\xA9")}});
    }
    for (std::uint8_t tag : {kUnsupportedValue, kUnknownValue, kNoValue, kNotSettable,
                             kDeleteAttribute, kAdminDefine}) {
        printer.attributes.push_back({"x" + std::to_string(tag), {Value::String(tag, "")}});
    }
    printer.attributes.push_back({"ext", {Value::String(kExtension, Bytes({0, 0, 0x40, 0}))}});
    Attribute inner{"media-size",
                    {Value::Collection({{"x-dimension", {Value::Integer(kInteger, 21000)}},
                                        {"y-dimension", {Value::Integer(kInteger, 29700)}}})}};
    Attribute middle{
        "media-col",
        {Value::Collection({inner, {"media-type", {Value::String(kKeyword, "plain")}}})}};
    printer.attributes.push_back(
        {"c",
         {Value::Collection(
              {middle, {"k", {Value::String(kKeyword, "a"), Value::String(kKeyword, "b")}}}),
          Value::Collection({})}});
    m.groups = {op, printer, Group{kJobGroup, {}}};
    return m;
}

void ExpectSameValues(const std::vector<Attribute>& a, const std::vector<Attribute>& b);

void ExpectSameValue(const Value& a, const Value& b) {
    EXPECT_EQ(a.tag, b.tag);
    EXPECT_EQ(a.bytes, b.bytes);
    ExpectSameValues(a.members, b.members);
}

void ExpectSameValues(const std::vector<Attribute>& a, const std::vector<Attribute>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        SCOPED_TRACE(a[i].name);
        EXPECT_EQ(a[i].name, b[i].name);
        ASSERT_EQ(a[i].values.size(), b[i].values.size());
        for (std::size_t k = 0; k < a[i].values.size(); ++k) {
            ExpectSameValue(a[i].values[k], b[i].values[k]);
        }
    }
}

TEST(IppCodec, EncodesTheWireBytesOfASmallRequest) {
    Message m;
    m.code = 0x000B;
    m.requestId = 0x01020304;
    m.groups = {Group{kOperationGroup,
                      {{"a", {Value::String(kKeyword, "xy"), Value::String(kKeyword, "z")}},
                       {"c", {Value::Collection({{"m", {Value::Integer(kInteger, 5)}}})}}}}};
    std::string out;
    ASSERT_TRUE(Encode(m, out));
    const std::string expected =
        Bytes({2,    0, 0, 0x0B, 1, 2,   3,   4,       // version 2.0, operation, request id
               0x01,                                   // operation attributes
               0x44, 0, 1, 'a',  0, 2,   'x', 'y',     // a = xy
               0x44, 0, 0, 0,    1, 'z',               // additional value z
               0x34, 0, 1, 'c',  0, 0,                 // c: begCollection
               0x4A, 0, 0, 0,    1, 'm',               // member name m
               0x21, 0, 0, 0,    4, 0,   0,   0,   5,  // integer 5
               0x37, 0, 0, 0,    0,                    // endCollection
               0x03});
    EXPECT_EQ(out, expected);
}

TEST(IppCodec, RoundTripsEveryValueTagAndNestedCollections) {
    const Message m = EveryTag();
    std::string bytes;
    ASSERT_TRUE(Encode(m, bytes));
    Message back;
    ASSERT_EQ(DecodeText(bytes, back), DecodeStatus::kOk);
    EXPECT_EQ(back.versionMajor, 1);
    EXPECT_EQ(back.versionMinor, 1);
    EXPECT_EQ(back.code, 0x000B);
    EXPECT_EQ(back.requestId, -2);
    ASSERT_EQ(back.groups.size(), m.groups.size());
    for (std::size_t g = 0; g < m.groups.size(); ++g) {
        EXPECT_EQ(back.groups[g].tag, m.groups[g].tag);
        ExpectSameValues(back.groups[g].attributes, m.groups[g].attributes);
    }
    const Attribute* c = back.Find(kPrinterGroup, "c");
    ASSERT_NE(c, nullptr);
    const Value& size = c->values[0].members[0].values[0].members[0].values[0];
    EXPECT_EQ(size.members[1].values[0].AsInteger(), 29700);
    EXPECT_EQ(back.Find(kPrinterGroup, "tl")->values[0].AsString(), "Bac");
    EXPECT_EQ(back.Find(kPrinterGroup, "i")->values[0].AsInteger(), INT32_MIN);
    EXPECT_TRUE(back.Find(kPrinterGroup, "b")->values[0].AsBoolean());
}

TEST(IppCodec, EveryCutOfAValidMessageIsTruncated) {
    std::string bytes;
    ASSERT_TRUE(Encode(EveryTag(), bytes));
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        SCOPED_TRACE(n);
        Message m;
        // Copied so that the sanitizer sees a read past the cut.
        std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + n);
        EXPECT_EQ(Decode(cut.data(), cut.size(), DecodeLimits(), m), DecodeStatus::kTruncated);
    }
}

TEST(IppCodec, TrailingDocumentDataIsIgnored) {
    std::string bytes;
    ASSERT_TRUE(Encode(EveryTag(), bytes));
    Message m;
    EXPECT_EQ(DecodeText(bytes + "%PDF", m), DecodeStatus::kOk);
}

TEST(IppCodec, RefusesWhatBreaksTheRules) {
    const std::string header = Bytes({2, 0, 0, 0, 0, 0, 0, 1});
    struct Case {
        const char* what;
        std::string body;
        DecodeStatus status;
    } cases[] = {
        {"reserved delimiter", Bytes({0x00, 0x03}), DecodeStatus::kBadTag},
        {"value before a group", Bytes({0x21, 0, 1, 'a', 0, 4, 0, 0, 0, 1, 0x03}),
         DecodeStatus::kBadStructure},
        {"additional value first", Bytes({0x04, 0x21, 0, 0, 0, 4, 0, 0, 0, 1, 0x03}),
         DecodeStatus::kBadStructure},
        {"integer of 3 bytes", Bytes({0x04, 0x21, 0, 1, 'a', 0, 3, 0, 0, 1, 0x03}),
         DecodeStatus::kBadLength},
        {"enum of 5 bytes", Bytes({0x04, 0x23, 0, 1, 'a', 0, 5, 0, 0, 0, 0, 1, 0x03}),
         DecodeStatus::kBadLength},
        {"boolean of 2 bytes", Bytes({0x04, 0x22, 0, 1, 'a', 0, 2, 0, 1, 0x03}),
         DecodeStatus::kBadLength},
        {"range of 4 bytes", Bytes({0x04, 0x33, 0, 1, 'a', 0, 4, 0, 0, 0, 1, 0x03}),
         DecodeStatus::kBadLength},
        {"text with a language longer than its value",
         Bytes({0x04, 0x35, 0, 1, 'a', 0, 5, 0, 2, 'e', 'n', 0, 0x03}), DecodeStatus::kBadLength},
        {"text with a language and bytes left over",
         Bytes({0x04, 0x35, 0, 1, 'a', 0, 7, 0, 0, 0, 1, 'x', 'y', 'z', 0x03}),
         DecodeStatus::kBadLength},
        {"end of a collection outside one", Bytes({0x04, 0x37, 0, 1, 'a', 0, 0, 0x03}),
         DecodeStatus::kBadStructure},
        {"member name outside a collection", Bytes({0x04, 0x4A, 0, 1, 'a', 0, 1, 'm', 0x03}),
         DecodeStatus::kBadStructure},
        {"member value before its name",
         Bytes({0x04, 0x34, 0, 1, 'c', 0, 0, 0x21, 0, 0, 0, 4, 0, 0, 0, 1, 0x37, 0, 0, 0, 0, 0x03}),
         DecodeStatus::kBadStructure},
        {"empty member name",
         Bytes({0x04, 0x34, 0, 1, 'c', 0, 0, 0x4A, 0, 0, 0, 0, 0x37, 0, 0, 0, 0, 0x03}),
         DecodeStatus::kBadStructure},
        {"group delimiter inside a collection", Bytes({0x04, 0x34, 0, 1, 'c', 0, 0, 0x03}),
         DecodeStatus::kBadStructure},
        {"name longer than the bytes", Bytes({0x04, 0x44, 0xFF, 0xFF, 'a'}),
         DecodeStatus::kTruncated},
        {"value longer than the bytes", Bytes({0x04, 0x44, 0, 1, 'a', 0x80, 0x00, 'x', 0x03}),
         DecodeStatus::kTruncated},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Message m;
        EXPECT_EQ(DecodeText(header + c.body, m), c.status);
    }
}

TEST(IppCodec, LimitsBoundSizeDepthAndCounts) {
    // Collections nested one deeper than allowed, and exactly as deep as allowed.
    auto nested = [](std::size_t depth) {
        Value v = Value::Integer(kInteger, 1);
        for (std::size_t i = 0; i < depth; ++i) {
            Attribute member{"m", {}};
            member.values.push_back(std::move(v));
            std::vector<Attribute> members;
            members.push_back(std::move(member));
            v = Value::Collection(std::move(members));
        }
        Message m;
        m.groups = {Group{kPrinterGroup, {{"deep", {v}}}}};
        std::string bytes;
        Encode(m, bytes);
        return bytes;
    };
    DecodeLimits limits;
    limits.maxDepth = 4;
    Message m;
    EXPECT_EQ(DecodeText(nested(4), m, limits), DecodeStatus::kOk);
    EXPECT_EQ(DecodeText(nested(5), m, limits), DecodeStatus::kTooDeep);
    EXPECT_EQ(DecodeText(nested(2000), m), DecodeStatus::kTooDeep);  // no deep recursion

    Message many;
    Attribute values{"v", {}};
    for (int i = 0; i < 11; ++i) {
        values.values.push_back(Value::Integer(kInteger, i));
    }
    many.groups = {Group{kPrinterGroup, {values}}};
    std::string bytes;
    ASSERT_TRUE(Encode(many, bytes));
    limits = DecodeLimits();
    limits.maxValues = 10;
    EXPECT_EQ(DecodeText(bytes, m, limits), DecodeStatus::kTooMany);
    limits.maxValues = 11;
    EXPECT_EQ(DecodeText(bytes, m, limits), DecodeStatus::kOk);
    limits.maxAttributes = 0;
    EXPECT_EQ(DecodeText(bytes, m, limits), DecodeStatus::kTooMany);
    limits = DecodeLimits();
    limits.maxBytes = bytes.size() - 1;
    EXPECT_EQ(DecodeText(bytes, m, limits), DecodeStatus::kTooLarge);
}

TEST(IppCodec, EncodeRefusesANameTooLongForItsLength) {
    Message m;
    m.groups = {Group{kOperationGroup, {{std::string(70000, 'a'), {Value::Integer(kInteger, 1)}}}}};
    std::string out;
    EXPECT_FALSE(Encode(m, out));
}

}  // namespace
}  // namespace vyxipp
