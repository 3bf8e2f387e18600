// The item-text parser on its own, against a step-by-step model with a scratch block per segment.
#include <gtest/gtest.h>
#include <vyxbidi.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "jobtemplate/item_parser.h"

namespace {

constexpr std::size_t kTextBytes = 32768;
constexpr std::size_t kBlockBytes = sizeof(TemplateItem) * BIDI_MAX_TEMPLATE_ITEMS;

// One segment the slow way: copied into a zero-filled global block of segment size + 3 bytes,
// measured and converted as a zero-terminated string; then cut to the field's 63 units.
void ModelWidenSegment(WCHAR (&dest)[64], const char* source, std::size_t segmentBytes) {
    const std::size_t length = segmentBytes + 1;
    HGLOBAL block = GlobalAlloc(GHND, length + 2);
    char* scratch = static_cast<char*>(GlobalLock(block));
    lstrcpynA(scratch, source, static_cast<int>(length));
    const int needed = MultiByteToWideChar(CP_ACP, 0, scratch, -1, nullptr, 0);
    std::vector<WCHAR> wide(std::max(needed, 1));
    MultiByteToWideChar(CP_ACP, 0, scratch, -1, wide.data(), needed);
    const std::size_t kept = std::min<std::size_t>(std::max(needed, 0), 63);
    std::copy(wide.begin(), wide.begin() + kept, dest);
    dest[kept] = L'\0';
    GlobalUnlock(block);
    GlobalFree(block);
}

// The parse step by step: a cursor, an index, scans for TAB or zero and for line feed or zero.
// The module's buffer is read to its terminator or its last byte but one.
LONG ModelParse(TemplateItem* items, const std::string& moduleBuffer) {
    std::string text = moduleBuffer.substr(0, kTextBytes - 1);
    text = text.substr(0, std::strlen(text.c_str()));
    const char* cursor = text.c_str();
    LONG index = 0;
    while (index < BIDI_MAX_TEMPLATE_ITEMS && *cursor) {
        const char* tab = cursor;
        while (*tab && *tab != '\t')
            ++tab;
        if (!*tab)
            break;
        ModelWidenSegment(items[index].key, cursor, tab - cursor);
        cursor = tab + 1;
        const char* lineFeed = cursor;
        while (*lineFeed && *lineFeed != '\n')
            ++lineFeed;
        if (!*lineFeed)
            break;
        ModelWidenSegment(items[index].value, cursor, lineFeed - cursor);
        cursor = lineFeed + 1;
        ++index;
    }
    return index;
}

// A zero-filled item block with a guard behind it, as parsed by the library and by the model.
struct Parsed {
    std::vector<BYTE> block;  // the item block followed by 256 guard bytes of 0x55
    LONG count = -7;
    const TemplateItem* items() const {
        return reinterpret_cast<const TemplateItem*>(block.data());
    }
};

// `text` goes into a 32768-byte module buffer, zero-filled behind it (a text of 32768 bytes has
// no terminator at all).
Parsed ParseWithLibrary(const std::string& text) {
    std::string buffer = text;
    buffer.resize(kTextBytes, '\0');
    Parsed parsed;
    parsed.block.assign(kBlockBytes + 256, 0x55);
    std::fill_n(parsed.block.begin(), kBlockBytes, 0);
    EXPECT_EQ(vyx::ParseTemplateItems(reinterpret_cast<TemplateItem*>(parsed.block.data()),
                                      buffer.data(), kTextBytes, &parsed.count),
              BIDI_OK);
    return parsed;
}

Parsed ParseWithModel(const std::string& text) {
    std::string buffer = text;
    buffer.resize(kTextBytes, '\0');
    Parsed parsed;
    parsed.block.assign(kBlockBytes + 256, 0x55);
    std::fill_n(parsed.block.begin(), kBlockBytes, 0);
    parsed.count = ModelParse(reinterpret_cast<TemplateItem*>(parsed.block.data()), buffer);
    return parsed;
}

void ExpectSameAsModel(const std::string& text) {
    const Parsed library = ParseWithLibrary(text);
    const Parsed model = ParseWithModel(text);
    EXPECT_EQ(library.count, model.count);
    EXPECT_TRUE(library.block == model.block) << "item blocks or guards differ";
}

std::wstring Field(const WCHAR (&field)[64]) {
    return std::wstring(field, wcsnlen(field, 64));
}

using Items = std::vector<std::pair<std::wstring, std::wstring>>;

std::string Lines(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += "k" + std::to_string(i) + "\tv\n";
    }
    return text;
}

struct ParseCase {
    const char* label;
    std::string text;
    UINT codePage;                  // 0: every code page
    std::optional<Items> expected;  // unset: only the model says what the platform makes of it
    LONG expectedCount = -1;        // checked instead of the items when set
};

TEST(ParseTemplateItems, SplitsLinesAsTheModelDoes) {
    const std::string b63(63, 'b'), c64(64, 'c'), d300(300, 'd');
    // Both 32768 bytes: the line feed on the last byte, or on the one before it.
    const std::string tooLong = "k\t" + std::string(kTextBytes - 3, 'v') + "\n";
    const std::string lastFits = "k\t" + std::string(kTextBytes - 4, 'v') + "\nx";
    const std::string dbcs64 = [] {
        std::string s;
        for (int i = 0; i < 64; ++i)
            s += "\x83\x4a";
        return s;
    }();
    const ParseCase cases[] = {
        {"empty", "", 0, Items{}},
        {"one line", "k\tv\n", 0, Items{{L"k", L"v"}}},
        {"no final line feed", "k\tv", 0, Items{}},
        {"second line unfinished", "a\t1\nb\t2", 0, Items{{L"a", L"1"}}},
        {"key without TAB at the end", "a\t1\nb", 0, Items{{L"a", L"1"}}},
        {"leading TAB", "\tv\n", 0, Items{{L"", L"v"}}},
        {"empty value", "k\t\n", 0, Items{{L"k", L""}}},
        {"CRLF", "k\tv\r\n", 0, Items{{L"k", L"v\r"}}},
        {"second TAB kept", "k\ta\tb\n", 0, Items{{L"k", L"a\tb"}}},
        {"line without TAB merges", "x\nk\tv\n", 0, Items{{L"x\nk", L"v"}}},
        {"trailing empty line", "k\tv\n\n", 0, Items{{L"k", L"v"}}},
        {"nothing trimmed", " k \t v \n", 0, Items{{L" k ", L" v "}}},
        {"63-byte key and value", b63 + "\t" + b63 + "\n", 0,
         Items{{std::wstring(63, L'b'), std::wstring(63, L'b')}}},
        {"64 bytes cut to 63", c64 + "\t" + c64 + "\n", 0,
         Items{{std::wstring(63, L'c'), std::wstring(63, L'c')}}},
        {"300 bytes cut to 63", d300 + "\t" + d300 + "\n", 0,
         Items{{std::wstring(63, L'd'), std::wstring(63, L'd')}}},
        {"128 lines", Lines(128), 0, std::nullopt, 128},
        {"200 lines keep 128", Lines(200), 0, std::nullopt, 128},
        {"unterminated: last byte not read", tooLong, 0, Items{}},
        {"unterminated: line ends before the last byte", lastFits, 0,
         Items{{L"k", std::wstring(63, L'v')}}},
        {"1252 letters", "\xe9t\xe9\t\x80\xff\n", 1252, Items{{L"\u00e9t\u00e9", L"\u20ac\u00ff"}}},
        {"932 letters", "\x83\x4a\x83\x89\x81\x5b\t\x92\x86\n", 932,
         Items{{L"\u30ab\u30e9\u30fc", L"\u4e2d"}}},
        {"932: 128 bytes cut to 63 characters", "k\t" + dbcs64 + "\n", 932,
         Items{{L"k", std::wstring(63, L'\u30ab')}}},
        {"932: lead byte ends a key", "\x83\tv\n", 932, std::nullopt},
        {"932: lead byte before TAB in a value", "k\ta\x83\tb\n", 932, std::nullopt},
        {"932: lead byte before a merged line feed", "\x83\nk\tv\n", 932, std::nullopt},
        {"932: lead byte before CR", "k\t\x83\r\n", 932, std::nullopt},
        {"932: invalid trail byte", "\x83\x20\t\x81\x7f\n", 932, std::nullopt},
        {"932: lead byte ends a 300-byte value", "k\t" + d300 + "\x83\n", 932, std::nullopt},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.label);
        if (c.codePage && c.codePage != GetACP()) {
            continue;
        }
        ExpectSameAsModel(c.text);
        const Parsed parsed = ParseWithLibrary(c.text);
        if (c.expectedCount >= 0) {
            EXPECT_EQ(parsed.count, c.expectedCount);
        }
        if (!c.expected) {
            continue;
        }
        ASSERT_EQ(parsed.count, static_cast<LONG>(c.expected->size()));
        for (std::size_t i = 0; i < c.expected->size(); ++i) {
            EXPECT_EQ(Field(parsed.items()[i].key), (*c.expected)[i].first);
            EXPECT_EQ(Field(parsed.items()[i].value), (*c.expected)[i].second);
        }
    }
}

TEST(ParseTemplateItems, KeepsOnlyTheFirst128Lines) {
    const Parsed parsed = ParseWithLibrary(Lines(200));
    ASSERT_EQ(parsed.count, 128);
    EXPECT_EQ(Field(parsed.items()[127].key), L"k127");
    EXPECT_TRUE(std::all_of(parsed.block.begin() + kBlockBytes, parsed.block.end(),
                            [](BYTE b) { return b == 0x55; }));
}

// Long segments of double-byte characters are converted only as far as their first 63 characters
// reach; around that point: half-width (single-byte) characters shifting the pairs, a lone lead
// byte, a lead byte before a bad trail byte, and segments that end there.
TEST(ParseTemplateItems, LongDoubleByteSegmentsConvertAsTheModelDoes) {
    const std::string pair = "\x83\x4a", halfWidth = "\xb1", lead = "\x83", badTrail = "\x81\x20";
    for (int pairs = 60; pairs <= 66; ++pairs) {
        for (int shift = 0; shift <= 3; ++shift) {
            for (const std::string& odd : {std::string(), lead, badTrail, halfWidth + lead}) {
                std::string segment = std::string(shift, '\xb1');
                for (int i = 0; i < pairs; ++i) {
                    segment += pair;
                }
                segment += odd;
                const std::string tail = odd.empty() ? std::string() : pair + pair;
                SCOPED_TRACE(testing::Message()
                             << pairs << " pairs, shift " << shift << ", odd " << odd.size());
                ExpectSameAsModel(segment + tail + "\t" + segment + tail + "\n" + segment + "\t" +
                                  segment + "\n");
            }
        }
    }
}

// Segments that widen 16 bytes at a time: lengths around each chunk's end and the 63-unit cut,
// plain ASCII, then bytes above it (kept values, and 0x80-0x9F, which the table maps) at the
// start, the middle or the last byte of a chunk.
TEST(ParseTemplateItems, SegmentsAroundChunkEdgesConvertAsTheModelDoes) {
    for (const std::size_t length : {15, 16, 17, 31, 32, 33, 47, 48, 62, 63, 64, 65, 80}) {
        for (const char odd : {'\0', '\x80', '\x9f', '\xe9', '\xa0'}) {
            for (const std::size_t at : {std::size_t{0}, length / 2, length - 1}) {
                std::string segment;
                for (std::size_t i = 0; i < length; ++i) {
                    segment += static_cast<char>('A' + i % 26);
                }
                if (odd != '\0') {
                    segment[at] = odd;
                }
                SCOPED_TRACE(testing::Message()
                             << length << " bytes, " << static_cast<int>(odd) << " at " << at);
                ExpectSameAsModel(segment + "\t" + segment + "\n");
            }
        }
    }
}

// Random texts over bytes that matter: separators, carriage return, ASCII, and bytes that are
// lead or trail bytes (valid or not) in code page 932, in segments short and long.
TEST(ParseTemplateItems, RandomTextsConvertAsTheModelDoes) {
    static const unsigned char kBytes[] = {'a',  'Z',  ' ',  '\t', '\n', '\r', 0x40, 0x7f,
                                           0x80, 0x81, 0x83, 0x9f, 0xa0, 0xa5, 0xdf, 0xe0,
                                           0xea, 0xfc, 0xfd, 0xff, 0x4a, 0x5b, 0x20, 0x09};
    std::mt19937 random(5);
    for (int round = 0; round < 400; ++round) {
        std::string text;
        const int lines = random() % 12;
        for (int line = 0; line < lines; ++line) {
            const int longest = random() % 4 == 0 ? 400 : 80;
            const int length = random() % longest;
            for (int i = 0; i < length; ++i) {
                text += static_cast<char>(kBytes[random() % sizeof kBytes]);
            }
            text += random() % 2 ? "\t" : "\n";
        }
        SCOPED_TRACE(round);
        ExpectSameAsModel(text);
        // The conversion that the parser leaves to the code page, with the whole text as one
        // segment: often longer than the part of it that is converted.
        WCHAR library[64] = {}, model[64] = {};
        vyx::WidenSegment(library, text.data(), text.size());
        ModelWidenSegment(model, text.data(), text.size());
        EXPECT_EQ(std::memcmp(library, model, sizeof library), 0);
        if (HasFailure()) {
            break;
        }
    }
}

}  // namespace
