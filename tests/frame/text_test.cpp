// NarrowText and WidenText under the code page the test runs in (1252 or 932).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "frame/text.h"

namespace {

using vyx::NarrowText;
using vyx::WidenText;

bool Is932() { return GetACP() == 932; }

struct NarrowCase {
    const char* label;
    std::wstring source;
    UINT codePage;  // 0: every code page
    std::string expected;
};

TEST(NarrowText, ConvertsWholeStringsAndFallsBackToLowBytes) {
    const NarrowCase cases[] = {
        {"empty", L"", 0, ""},
        {"ascii", L"Colour Mode 1", 0, "Colour Mode 1"},
        {"e-acute", L"\u00e9", 1252, "\xe9"},
        {"euro in 1252", L"\u20ac", 1252, "\x80"},
        {"ideograph without a form in 1252", L"a\u4e2d", 1252, "a\x2d"},
        {"euro beside an ideograph: raw", L"\u20ac\u4e2d", 1252, "\xac\x2d"},
        {"best fit does not start the fallback", L"\u0101", 1252, "a"},
        {"ideograph in 932", L"\u4e2d", 932, "\x92\x86"},
        {"katakana in 932", L"\u30ab\u30e9\u30fc", 932, "\x83\x4a\x83\x89\x81\x5b"},
        {"hangul has no form in 932: raw", L"\u4e2d\uac41", 932, "\x2d\x41"},
    };
    for (const NarrowCase& c : cases) {
        SCOPED_TRACE(c.label);
        if (c.codePage && c.codePage != GetACP()) {
            continue;
        }
        char dest[64];
        std::memset(dest, 0x55, sizeof dest);
        ASSERT_TRUE(NarrowText(dest, sizeof dest, c.source.c_str()));
        EXPECT_EQ(std::string(dest, c.expected.size() + 1), c.expected + std::string(1, '\0'));
        EXPECT_EQ(dest[c.expected.size() + 1], 0x55) << "wrote past the result";
    }
}

TEST(NarrowText, NullSourceLeavesDestinationAlone) {
    char dest[4] = {'x', 'y', 'z', 0};
    EXPECT_TRUE(NarrowText(dest, sizeof dest, nullptr));
    EXPECT_STREQ(dest, "xyz");
}

TEST(NarrowText, FillsDestinationExactlyAndRefusesOneMore) {
    char dest[9];
    std::memset(dest, 0x55, sizeof dest);
    ASSERT_TRUE(NarrowText(dest, 8, L"1234567"));
    EXPECT_STREQ(dest, "1234567");
    EXPECT_EQ(dest[8], 0x55);

    std::memset(dest, 0x55, sizeof dest);
    EXPECT_FALSE(NarrowText(dest, 8, L"12345678"));
    EXPECT_EQ(std::string(dest, 9), std::string(9, '\x55')) << "a refused text writes nothing";
}

TEST(NarrowText, MeasuresTheRawFormWhenFallingBack) {
    // In 932 two kanji need four bytes, but beside a character without a form they go raw, one
    // byte each: three units and the terminator fit four bytes.
    char dest[5];
    std::memset(dest, 0x55, sizeof dest);
    const wchar_t* text = Is932() ? L"\u4e2d\u4e2d\uac41" : L"\u4e2d\u4e2d\u4e2d";
    ASSERT_TRUE(NarrowText(dest, 4, text));
    EXPECT_EQ(std::string(dest, 4), std::string(Is932() ? "\x2d\x2d\x41" : "\x2d\x2d\x2d") + '\0');
    EXPECT_EQ(dest[4], 0x55);
    EXPECT_FALSE(NarrowText(dest, 3, text));
}

TEST(NarrowText, DoubleByteTextThatDoesNotFitIsRefused) {
    if (!Is932()) {
        GTEST_SKIP() << "needs code page 932";
    }
    char dest[5];
    std::memset(dest, 0x55, sizeof dest);
    EXPECT_FALSE(NarrowText(dest, 4, L"\u4e2d\u4e2d"));  // four bytes and the terminator
    EXPECT_EQ(std::string(dest, 5), std::string(5, '\x55'));
    EXPECT_TRUE(NarrowText(dest, 5, L"\u4e2d\u4e2d"));
    EXPECT_STREQ(dest, "\x92\x86\x92\x86");
}

struct WidenCase {
    const char* label;
    std::string source;  // bytes as the module left them (a zero byte ends the text)
    UINT codePage;
    std::wstring expected;
};

TEST(WidenText, ConvertsWholeStringsAndFallsBackToRawBytes) {
    const WidenCase cases[] = {
        {"empty", "", 0, L""},
        {"ascii", "Tray 1", 0, L"Tray 1"},
        {"e-acute", "caf\xe9", 1252, L"caf\u00e9"},
        {"euro", "\x80", 1252, L"\u20ac"},
        {"kanji", "\x92\x86", 932, L"\u4e2d"},
        {"half-width katakana", "\xb6", 932, L"\uff76"},
        {"lone lead byte at the end: raw", "A\x92\x86\x92", 932, L"A\u0092\u0086\u0092"},
        {"lead byte before a bad trail byte: raw", "\x92\x86\x81\x20", 932,
         L"\u0092\u0086\u0081\u0020"},
        {"raw bytes above ASCII widen without sign", "\x81\x20\xe9", 932, L"\u0081\u0020\u00e9"},
    };
    for (const WidenCase& c : cases) {
        SCOPED_TRACE(c.label);
        if (c.codePage && c.codePage != GetACP()) {
            continue;
        }
        char source[32] = {};
        std::memcpy(source, c.source.data(), c.source.size());
        wchar_t dest[40];
        std::fill(std::begin(dest), std::end(dest), L'\x5555');
        WidenText(dest, 32, source, sizeof source);
        EXPECT_EQ(std::wstring(dest, c.expected.size() + 1), c.expected + L'\0');
        EXPECT_EQ(dest[c.expected.size() + 1], L'\x5555');
    }
}

TEST(WidenText, ReadsAnUnterminatedBufferOnlyToItsEnd) {
    struct {
        char buffer[32];
        char after[8];
    } memory;
    std::memset(memory.buffer, 'a', sizeof memory.buffer);
    std::memset(memory.after, 'b', sizeof memory.after);
    wchar_t dest[33];
    std::fill(std::begin(dest), std::end(dest), L'\x5555');
    WidenText(dest, 32, memory.buffer, sizeof memory.buffer);
    EXPECT_EQ(std::wstring(dest), std::wstring(31, L'a'));
    EXPECT_EQ(dest[32], L'\x5555');
}

TEST(WidenText, FullBufferFillsTheWideFieldExactly) {
    char source[32];
    std::memset(source, 'z', 31);
    source[31] = '\0';
    wchar_t dest[33];
    std::fill(std::begin(dest), std::end(dest), L'\x5555');
    WidenText(dest, 32, source, sizeof source);
    EXPECT_EQ(std::wstring(dest, 32), std::wstring(31, L'z') + L'\0');
    EXPECT_EQ(dest[32], L'\x5555');
}

TEST(WidenText, NeverWritesPastASmallerDestination) {
    char source[64];
    std::memset(source, 'q', 63);
    source[63] = '\0';
    wchar_t dest[41];
    std::fill(std::begin(dest), std::end(dest), L'\x5555');
    WidenText(dest, 40, source, sizeof source);
    EXPECT_EQ(std::wstring(dest), std::wstring(39, L'q'));
    EXPECT_EQ(dest[40], L'\x5555');
}

TEST(WidenText, NullSourceLeavesDestinationAlone) {
    wchar_t dest[4] = L"abc";
    WidenText(dest, 4, nullptr, 32);
    EXPECT_EQ(std::wstring(dest), L"abc");
}

TEST(CodePage, TestRunsUnderTheCodePageItWasRegisteredFor) {
    const char* expected = std::getenv("VYX_EXPECT_ACP");
    if (!expected) {
        GTEST_SKIP() << "not started by ctest";
    }
    EXPECT_EQ(GetACP(), static_cast<UINT>(std::atoi(expected)));
}

}  // namespace
