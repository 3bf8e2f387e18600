// AnswerWidener against WidenText: the same units and the same untouched bytes, text by text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "frame/answer_widener.h"
#include "frame/text.h"

namespace {

// Widens `source` (a module buffer of `sourceBytes` bytes) into a destination of `capacity` units
// filled with a sentinel, with a guard behind it; gives every unit, guard included.
template <typename Widen>
std::vector<wchar_t> Widened(Widen widen, const std::string& source, std::size_t capacity) {
    std::vector<wchar_t> dest(capacity + 8, L'\x5555');
    widen(dest.data(), capacity, source.data(), source.size());
    return dest;
}

void ExpectSameAsWidenText(vyx::AnswerWidener& widener, const std::string& source,
                           std::size_t capacity) {
    const auto byWidener = Widened(
        [&](wchar_t* d, std::size_t c, const char* s, std::size_t n) { widener.Widen(d, c, s, n); },
        source, capacity);
    const auto byWidenText = Widened(
        [](wchar_t* d, std::size_t c, const char* s, std::size_t n) { vyx::WidenText(d, c, s, n); },
        source, capacity);
    EXPECT_TRUE(byWidener == byWidenText);
}

TEST(AnswerWidener, GivesWhatWidenTextGives) {
    const std::string cases[] = {
        std::string(1, '\0'),
        std::string("Tray 1\0\0\0", 9),
        std::string("caf\xe9 \x80 \xff\0", 10),
        std::string(32, 'a'),                  // no terminator: read to the last byte but one
        std::string("\x92\x86\x83\x4a\0", 5),  // kanji and katakana in 932
        std::string("A\x92\x86\x92\0", 5),     // a lone lead byte at the end in 932
        std::string("\x81\x20\xe9\0", 4),      // a bad trail byte in 932
        std::string("ascii then \x92\x86\0", 13),
    };
    vyx::AnswerWidener widener;  // one for all, as in an export call
    for (const std::string& source : cases) {
        for (std::size_t capacity :
             {std::size_t{1}, std::size_t{4}, source.size(), source.size() + 5}) {
            SCOPED_TRACE(testing::Message() << '"' << source << "\" into " << capacity);
            ExpectSameAsWidenText(widener, source, capacity);
        }
    }
}

// Random buffers over ASCII, separators, every kind of byte of code pages 1252 and 932, with and
// without a terminator, into destinations smaller and larger than the text.
TEST(AnswerWidener, RandomBuffersWidenAsWidenTextDoes) {
    std::mt19937 random(11);
    vyx::AnswerWidener widener;
    for (int round = 0; round < 2000; ++round) {
        std::string source(1 + random() % 70, '\0');
        const bool asciiOnly = random() % 3 == 0;
        for (char& byte : source) {
            byte = static_cast<char>(asciiOnly ? 1 + random() % 0x7F : random() % 0x100);
        }
        if (random() % 4 != 0) {
            source[random() % source.size()] = '\0';
        }
        const std::size_t capacity = 1 + random() % 80;
        SCOPED_TRACE(round);
        ExpectSameAsWidenText(widener, source, capacity);
        if (HasFailure()) {
            break;
        }
    }
}

// Full 256-byte answers, runs of ASCII and of 0xA0-0xFF (which keep their values in 1252) widened
// 16 bytes at a time, with one byte that ends or breaks a run at every position: the terminator,
// the first and the last byte of 0x80-0x9F (which change their values in 1252), a lead byte of
// 932.
TEST(AnswerWidener, LongAnswersWidenAsWidenTextDoesWhereverARunBreaks) {
    const std::string runs[] = {std::string(256, 'k'), std::string(256, '\xe9')};
    vyx::AnswerWidener widener;
    for (const std::string& run : runs) {
        for (const char breaker : {'\0', '\x80', '\x9f', '\x83'}) {
            for (std::size_t at = 0; at < run.size(); ++at) {
                std::string source = run;
                source[at] = breaker;
                SCOPED_TRACE(testing::Message() << "byte " << (breaker & 0xFF) << " at " << at
                                                << " in a run of " << (run[0] & 0xFF));
                ExpectSameAsWidenText(widener, source, 256);
                if (HasFailure()) {
                    return;
                }
            }
        }
    }
}

TEST(AnswerWidener, NullSourceLeavesDestinationAlone) {
    vyx::AnswerWidener widener;
    wchar_t dest[4] = L"abc";
    widener.Widen(dest, 4, nullptr, 32);
    EXPECT_EQ(std::wstring(dest), L"abc");
}

}  // namespace
