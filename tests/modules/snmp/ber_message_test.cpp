// BER and SNMP messages: the exact bytes of a request, values that survive a round trip, and
// malformed datagrams refused without a read outside them.
#include <gtest/gtest.h>

#include "message.h"

namespace {

using namespace vyxsnmp;

Bytes Encode(const Message& m) { return EncodeMessage(m); }

DecodeStatus Decode(const Bytes& bytes, Message& m, const DecodeLimits& limits = DecodeLimits()) {
    // A copy of exactly the datagram's size, so that AddressSanitizer sees any read past it.
    std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[bytes.size() ? bytes.size() : 1]);
    std::copy(bytes.begin(), bytes.end(), copy.get());
    return DecodeMessage(copy.get(), bytes.size(), limits, m);
}

Message Response(std::vector<VarBind> binds) {
    Message m;
    m.community = "public";
    m.pdu.type = tag::kResponse;
    m.pdu.requestId = 0x1234;
    m.pdu.varBinds = std::move(binds);
    return m;
}

TEST(SnmpMessage, GetBulkRequestHasTheExactBytes) {
    Message m;
    m.version = Version::kV2c;
    m.community = "public";
    m.pdu.type = tag::kGetBulkRequest;
    m.pdu.requestId = 1;
    m.pdu.errorIndex = 10;  // max-repetitions
    m.pdu.varBinds = {{Oid{1, 3, 6, 1, 2, 1, 43, 8, 2, 1, 13}, Value()}};
    const Bytes expected = {0x30, 0x28, 0x02, 0x01, 0x01, 0x04, 0x06, 'p',  'u',  'b',  'l',
                            'i',  'c',  0xA5, 0x1B, 0x02, 0x01, 0x01, 0x02, 0x01, 0x00, 0x02,
                            0x01, 0x0A, 0x30, 0x10, 0x30, 0x0E, 0x06, 0x0A, 0x2B, 0x06, 0x01,
                            0x02, 0x01, 0x2B, 0x08, 0x02, 0x01, 0x0D, 0x05, 0x00};
    EXPECT_EQ(Encode(m), expected);
}

TEST(SnmpMessage, IntegersTakeTheirShortestForm) {
    const struct {
        std::int64_t value;
        Bytes content;
    } cases[] = {
        {0, {0x00}},          {127, {0x7F}},         {128, {0x00, 0x80}},
        {-1, {0xFF}},         {-128, {0x80}},        {-129, {0xFF, 0x7F}},
        {INT32_MIN, {0x80, 0x00, 0x00, 0x00}},       {INT32_MAX, {0x7F, 0xFF, 0xFF, 0xFF}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        BerWriter w;
        w.Integer(tag::kInteger, c.value);
        Bytes expected = {tag::kInteger, static_cast<std::uint8_t>(c.content.size())};
        expected.insert(expected.end(), c.content.begin(), c.content.end());
        EXPECT_EQ(w.bytes(), expected);
        std::int64_t back = 0;
        ASSERT_EQ(DecodeSigned(ByteView{w.bytes().data() + 2, w.bytes().size() - 2}, back),
                  BerStatus::kOk);
        EXPECT_EQ(back, c.value);
    }
}

TEST(SnmpMessage, EveryValueTypeSurvivesARoundTrip) {
    auto typed = [](std::uint8_t type, std::int64_t n) {
        Value v;
        v.type = type;
        v.number = n;
        return v;
    };
    Value ip;
    ip.type = tag::kIpAddress;
    ip.bytes = std::string("\x7F\x00\x00\x01", 4);
    Value oid;
    oid.type = tag::kOid;
    oid.oid = Oid{1, 3, 6, 1, 2, 1, 25, 3, 1, 5};
    Value end;
    end.type = tag::kEndOfMibView;
    const std::vector<VarBind> binds = {
        {Oid{1, 3, 6, 1, 2, 1, 1, 1, 0}, Value::Text(std::string("a\0b\xFF", 4))},
        {Oid{1, 3, 6, 1, 2, 1, 43, 8, 2, 1, 10, 1, 1}, Value::Integer(-3)},
        {Oid{1, 3, 6, 1, 4, 1, 4294967295u, 0}, typed(tag::kCounter32, 0xFFFFFFFF)},
        {Oid{1, 3, 6, 1, 2, 1, 1, 3, 0}, typed(tag::kTimeTicks, 123456)},
        {Oid{1, 3, 6, 1, 2, 1, 2, 0}, typed(tag::kGauge32, 0)},
        {Oid{1, 3, 6, 1, 2, 1, 3, 0}, typed(tag::kCounter64, -1)},  // all 64 bits set
        {Oid{1, 3, 6, 1, 2, 1, 4, 0}, ip},
        {Oid{1, 3, 6, 1, 2, 1, 25, 3, 2, 1, 2, 1}, oid},
        {Oid{2, 999, 3}, Value()},
        {Oid{1, 3, 6, 1, 2, 1, 5, 0}, end},
    };
    Message back;
    ASSERT_EQ(Decode(Encode(Response(binds)), back), DecodeStatus::kOk);
    EXPECT_EQ(back.pdu.requestId, 0x1234);
    ASSERT_EQ(back.pdu.varBinds.size(), binds.size());
    for (std::size_t i = 0; i < binds.size(); ++i) {
        SCOPED_TRACE(binds[i].name.ToString());
        EXPECT_EQ(back.pdu.varBinds[i].name, binds[i].name);
        EXPECT_EQ(back.pdu.varBinds[i].value.type, binds[i].value.type);
        EXPECT_EQ(back.pdu.varBinds[i].value.number, binds[i].value.number);
        EXPECT_EQ(back.pdu.varBinds[i].value.bytes, binds[i].value.bytes);
        EXPECT_EQ(back.pdu.varBinds[i].value.oid, binds[i].value.oid);
    }
}

TEST(SnmpMessage, EveryTruncationIsRefused) {
    const Bytes whole = Encode(Response({{Oid{1, 3, 6, 1, 2, 1, 1, 1, 0}, Value::Text("printer")},
                                         {Oid{1, 3, 6, 1, 2, 1, 1, 3, 0}, Value::Integer(99)}}));
    for (std::size_t size = 0; size < whole.size(); ++size) {
        SCOPED_TRACE(size);
        Message m;
        EXPECT_NE(Decode(Bytes(whole.begin(), whole.begin() + size), m), DecodeStatus::kOk);
    }
}

TEST(SnmpMessage, MalformedDatagramsAreRefused) {
    // A response with one binding 1.3.6 = INTEGER 5, then variations on it.
    const Bytes good = {0x30, 0x1B, 0x02, 0x01, 0x01, 0x04, 0x01, 'p',  0xA2, 0x13,
                        0x02, 0x01, 0x07, 0x02, 0x01, 0x00, 0x02, 0x01, 0x00, 0x30,
                        0x08, 0x30, 0x06, 0x06, 0x01, 0x2B, 0x02, 0x01, 0x05};
    auto with = [&good](std::size_t at, std::initializer_list<std::uint8_t> bytes, std::size_t drop) {
        Bytes b = good;
        b.erase(b.begin() + at, b.begin() + at + drop);
        b.insert(b.begin() + at, bytes);
        return b;
    };
    Message ok;
    ASSERT_EQ(Decode(good, ok), DecodeStatus::kOk);
    ASSERT_EQ(ok.pdu.varBinds.at(0).value.number, 5);

    const struct {
        const char* name;
        Bytes bytes;
        DecodeStatus expected;
    } cases[] = {
        {"indefinite length", with(1, {0x80}, 1), DecodeStatus::kMalformed},
        {"five length bytes", with(1, {0x85, 0, 0, 0, 0, 0x1B}, 1), DecodeStatus::kMalformed},
        {"length past the end", with(1, {0x1C}, 1), DecodeStatus::kMalformed},
        {"long form past the end", with(1, {0x84, 0xFF, 0xFF, 0xFF, 0xFF}, 1), DecodeStatus::kMalformed},
        {"high tag number", with(0, {0x3F}, 1), DecodeStatus::kMalformed},
        {"trailing byte", [&] { Bytes b = good; b.push_back(0); return b; }(), DecodeStatus::kMalformed},
        {"version 3", with(4, {0x03}, 1), DecodeStatus::kBadVersion},
        {"empty integer", with(2, {0x02, 0x00, 0x04, 0x01, 'p'}, 6), DecodeStatus::kMalformed},
        {"v1 trap", with(8, {0xA4}, 1), DecodeStatus::kMalformed},
        {"unknown value tag", with(26, {0x47}, 1), DecodeStatus::kMalformed},
        {"null with content", with(26, {0x05}, 1), DecodeStatus::kMalformed},
        {"constructed string", with(26, {0x24}, 1), DecodeStatus::kMalformed},
        {"IP address of 1 byte", with(26, {0x40}, 1), DecodeStatus::kMalformed},
        {"OID ends inside a sub-identifier", with(25, {0x81}, 1), DecodeStatus::kMalformed},
        {"OID starts with a zero group", with(25, {0x80}, 1), DecodeStatus::kMalformed},
        {"request id of 5 bytes", with(10, {0x02, 0x05, 0x01, 0, 0, 0, 0}, 3), DecodeStatus::kMalformed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Message m;
        // Lengths of the enclosing TLVs are not adjusted: every case must fail somewhere, and
        // none may read outside the datagram.
        EXPECT_EQ(Decode(c.bytes, m), c.expected);
    }
}

TEST(SnmpMessage, LimitsAreEnforced) {
    std::vector<VarBind> binds(5, VarBind{Oid{1, 3, 6, 1}, Value::Integer(1)});
    const Bytes bytes = Encode(Response(binds));
    Message m;
    DecodeLimits limits;
    limits.maxVarBinds = 4;
    EXPECT_EQ(Decode(bytes, m, limits), DecodeStatus::kTooLarge);
    limits = DecodeLimits();
    limits.maxMessage = bytes.size() - 1;
    EXPECT_EQ(Decode(bytes, m, limits), DecodeStatus::kTooLarge);
    limits = DecodeLimits();
    limits.maxOidParts = 3;
    EXPECT_EQ(Decode(bytes, m, limits), DecodeStatus::kTooLarge);

    // A sub-identifier beyond 32 bits.
    Oid out;
    const std::uint8_t huge[] = {0x2B, 0x90, 0x80, 0x80, 0x80, 0x00};
    EXPECT_EQ(DecodeOid(ByteView{huge, sizeof huge}, 128, out), BerStatus::kTooLarge);
    // A Counter32 whose agent left out the leading zero byte reads as the agent meant it.
    const std::uint8_t counter[] = {0xFF, 0xFF, 0xFF, 0xFE};
    std::uint64_t value = 0;
    ASSERT_EQ(DecodeUnsigned(ByteView{counter, sizeof counter}, value), BerStatus::kOk);
    EXPECT_EQ(value, 0xFFFFFFFEu);
}

}  // namespace
