// One colour feature in detail: the call sequence, the record's bytes, and its release.
#include <gtest/gtest.h>
#include <vyxbidi.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "color_scripts.h"
#include "support/global_memory_watch.h"
#include "support/scripted_module.h"
#include "support/text_util.h"

namespace {

using namespace colortest;
using vyxtest::GlobalMemoryWatch;
using vyxtest::ScriptedHandle;

FeatureInfo* const kSentinel = reinterpret_cast<FeatureInfo*>(0xdeadbeef);
const std::string kKeyFirst = "Colour Mode";
const std::string kKeySecond = "ColorModel";
const std::string kSelectedFirst = "Grayscale";
const std::string kSelectedSecond = "Gray";

// Scripts the key's strings, `options` options and the selected option, with these answers.
void ScriptFeature(ScriptedHandle& h, int options, LONG setKey = 0, LONG readKey = 0,
                   LONG selected = 0) {
    ScriptOptions(h.module(), options, setKey);
    h.module().On(vyxquery::Color_GetCurrentKey, [=](VyxQueryContext*, LPSTR a, LPSTR b) {
        if (readKey == 0) {
            vyxtest::Fill(a, kKeyFirst);
            vyxtest::Fill(b, kKeySecond);
        }
        return readKey;
    });
    h.module().On(vyxquery::Color_GetSelectedOption,
                  [=](VyxQueryContext*, LPCSTR, LPSTR a, LPSTR b) {
                      vyxtest::Fill(a, kSelectedFirst);
                      vyxtest::Fill(b, kSelectedSecond);
                      return selected;
                  });
}

std::vector<std::string> FullSequence(int options) {
    return Repeat(
        Repeat({"Color_SetCurrentKey", "Color_GetCurrentKey"}, "Color_GetNextOption", options + 1),
        "Color_GetSelectedOption", 1);
}

// Checks every byte of `info`: its strings at their offsets, the scripted options behind its
// first `stored` pointers, and zeros everywhere else.
void ExpectRecord(const FeatureInfo* info, int stored, bool keyFilled, bool selectedFilled) {
    std::string image(layout::kFeatureInfoSize, '\0');
    image[0] = static_cast<char>(stored);
    PutWide(image, 2, keyFilled ? Wide(kKeyFirst) : L"");
    PutWide(image, 514, keyFilled ? Wide(kKeySecond) : L"");
    PutWide(image, 1026, selectedFilled ? Wide(kSelectedFirst) : L"");
    PutWide(image, 1538, selectedFilled ? Wide(kSelectedSecond) : L"");
    for (int i = 0; i < stored; ++i) {
        PutPointer(image, layout::kFeatureInfoOptions + layout::kPointer * i, info->options[i]);
    }
    EXPECT_EQ(BlockSize(info), layout::kFeatureInfoSize);
    EXPECT_EQ(Bytes(info, layout::kFeatureInfoSize), image);
    for (int i = 0; i < stored && !testing::Test::HasFailure(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_NE(info->options[i], nullptr);
        EXPECT_EQ(BlockSize(info->options[i]), 1024u);
        EXPECT_EQ(Bytes(info->options[i], sizeof(TextPair)),
                  PairImage(Wide(FirstText("option", i + 1)), Wide(SecondText("option", i + 1))));
    }
}

// Every call got fresh zero-filled 256-byte blocks, and the name, where one goes, in its own.
void ExpectArguments(ScriptedHandle& h, const std::string& name) {
    const std::string zeros(256, '\0');
    for (const vyxtest::ModuleCall& call : h.module().Calls()) {
        SCOPED_TRACE(call.name);
        EXPECT_EQ(call.context, &h.get()->queryContext);
        for (std::size_t i = 0; i < call.args.size(); ++i) {
            const bool isName = i == 0 && (call.name == "Color_SetCurrentKey" ||
                                           call.name == "Color_GetSelectedOption");
            EXPECT_EQ(call.args[i].blockBytes, 256u);
            EXPECT_EQ(call.args[i].block, isName ? name + zeros.substr(name.size()) : zeros);
        }
    }
}

TEST(FeatureInfo, CallsTheModuleInOrderAndFillsWhatItAnswered) {
    using Calls = std::vector<std::string>;
    const struct {
        const char* label;
        const wchar_t* variant;
        int options;
        LONG setKey, readKey, selected;
        LONG result;
        Calls calls;
        int stored;
        bool keyFilled, selectedFilled;
    } cases[] = {
        {"three options", L"full", 3, 0, 0, 0, BIDI_OK, FullSequence(3), 3, true, true},
        {"70 options", L"full", 70, 0, 0, 0, BIDI_OK, FullSequence(70), 64, true, true},
        {"no options", L"full", 0, 0, 0, 0, BIDI_OK, FullSequence(0), 0, true, true},
        {"refused key", L"full", 3, 9, 0, 0, 9, {"Color_SetCurrentKey"}, 0, false, false},
        {"no SetCurrentKey",
         L"without_Color_SetCurrentKey",
         3,
         0,
         0,
         0,
         BIDI_ERR_NO_ENTRY_POINT,
         {},
         0,
         false,
         false},
        {"failing GetCurrentKey", L"full", 3, 0, 5, 0, BIDI_OK, FullSequence(3), 3, false, true},
        {"no GetCurrentKey", L"without_Color_GetCurrentKey", 3, 0, 0, 0, BIDI_OK,
         Repeat(Repeat({"Color_SetCurrentKey"}, "Color_GetNextOption", 4),
                "Color_GetSelectedOption", 1),
         3, false, true},
        {"no GetNextOption",
         L"without_Color_GetNextOption",
         3,
         0,
         0,
         0,
         BIDI_OK,
         {"Color_SetCurrentKey", "Color_GetCurrentKey", "Color_GetSelectedOption"},
         0,
         true,
         true},
        {"selected option answers 7", L"full", 3, 0, 0, 7, 7, FullSequence(3), 3, true, true},
        {"no GetSelectedOption", L"without_Color_GetSelectedOption", 3, 0, 0, 0,
         BIDI_ERR_NO_ENTRY_POINT,
         Repeat({"Color_SetCurrentKey", "Color_GetCurrentKey"}, "Color_GetNextOption", 4), 3, true,
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ScriptedHandle h(c.variant);
        ScriptFeature(h, c.options, c.setKey, c.readKey, c.selected);
        GlobalMemoryWatch memory;
        FeatureInfo* info = kSentinel;
        EXPECT_EQ(ClrBiDi_GetFeatureInfo(h, L"ColorMode", &info), c.result);
        EXPECT_EQ(h.module().CallNames(), c.calls);
        ExpectArguments(h, "ColorMode");
        ASSERT_TRUE(memory.IsLive(info));
        ExpectRecord(info, c.stored, c.keyFilled, c.selectedFilled);
        EXPECT_EQ(memory.LiveBlocks().size(), 1u + c.stored);
        EXPECT_EQ(ClrBiDi_DeleteFeatureInfo(h, &info), BIDI_OK);
        EXPECT_TRUE(memory.LiveBlocks().empty());
    }
}

TEST(FeatureInfo, SendsTheNameAsAnsiInEachCall) {
    const struct {
        const char* label;
        UINT codePage;
        std::wstring name;
        std::string ansi;
    } names[] = {
        {"ascii", 0, L"ColorMode", "ColorMode"},
        {"255 bytes", 0, std::wstring(255, L'n'), std::string(255, 'n')},
        {"e-grave", 1252, L"Mod\u00e8le", "Mod\xe8le"},
        {"no form in 1252: low bytes", 1252, L"a\u4e2d", "a\x2d"},
        {"katakana", 932, L"\u30ab\u30e9\u30fc", "\x83\x4a\x83\x89\x81\x5b"},
        {"255 bytes of katakana and ascii", 932, std::wstring(127, L'\u30ab') + L"x",
         vyxtest::ToAnsi(std::wstring(127, L'\u30ab') + L"x")},
    };
    for (const auto& n : names) {
        if (n.codePage && n.codePage != GetACP()) {
            continue;
        }
        SCOPED_TRACE(n.label);
        ScriptedHandle h;
        ScriptFeature(h, 0);
        FeatureInfo* info = nullptr;
        ASSERT_EQ(ClrBiDi_GetFeatureInfo(h, n.name.c_str(), &info), BIDI_OK);
        ExpectArguments(h, n.ansi);
        EXPECT_EQ(ClrBiDi_DeleteFeatureInfo(h, &info), BIDI_OK);
    }
}

TEST(FeatureInfo, WidensEachAnswerAloneAndBoundedByItsBlock) {
    for (const AnswerCase& c : AnswerCases()) {
        if (!AppliesHere(c)) {
            continue;
        }
        SCOPED_TRACE(c.label);
        ScriptedHandle h;
        // Every answer block gets the case's bytes; the second option leaves its second string
        // unwritten, which must read empty rather than repeat the first option's.
        auto options = std::make_shared<int>(0);
        auto write = [c](LPSTR a, LPSTR b) {
            vyxtest::Fill(a, c.bytes);
            vyxtest::Fill(b ? b : a, c.bytes);
            return LONG{0};
        };
        h.module().On(vyxquery::Color_GetCurrentKey,
                      [=](VyxQueryContext*, LPSTR a, LPSTR b) { return write(a, b); });
        h.module().On(vyxquery::Color_GetNextOption, [=](VyxQueryContext*, LPSTR a, LPSTR b) {
            ++*options;
            return *options <= 2 ? write(a, *options == 1 ? b : nullptr) : LONG{1};
        });
        h.module().On(vyxquery::Color_GetSelectedOption,
                      [=](VyxQueryContext*, LPCSTR, LPSTR a, LPSTR b) { return write(a, b); });
        FeatureInfo* info = nullptr;
        ASSERT_EQ(ClrBiDi_GetFeatureInfo(h, L"ColorMode", &info), BIDI_OK);
        const std::string both = PairImage(c.expected, c.expected);
        EXPECT_EQ(Bytes(&info->currentKey, sizeof(TextPair)), both);
        EXPECT_EQ(Bytes(&info->selectedOption, sizeof(TextPair)), both);
        ASSERT_EQ(info->optionCount, 2);
        EXPECT_EQ(Bytes(info->options[0], sizeof(TextPair)), both);
        EXPECT_EQ(Bytes(info->options[1], sizeof(TextPair)), PairImage(c.expected, L""));
        EXPECT_EQ(Bytes(&info->reserved, 2), std::string(2, '\0'));
        EXPECT_EQ(ClrBiDi_DeleteFeatureInfo(h, &info), BIDI_OK);
    }
}

TEST(FeatureInfo, RefusedRequestsTouchNothing) {
    const std::wstring tooLong =
        vyxtest::IsCodePage932() ? std::wstring(128, L'\u30ab') : std::wstring(256, L'n');
    ScriptedHandle h;
    ScriptFeature(h, 3);
    GlobalMemoryWatch memory;
    FeatureInfo* info = kSentinel;
    EXPECT_EQ(ClrBiDi_GetFeatureInfo(nullptr, L"ColorMode", &info), BIDI_ERR_BAD_ARGUMENT);
    EXPECT_EQ(ClrBiDi_GetFeatureInfo(h, nullptr, &info), BIDI_ERR_BAD_ARGUMENT);
    EXPECT_EQ(ClrBiDi_GetFeatureInfo(h, L"", &info), BIDI_ERR_BAD_ARGUMENT);
    EXPECT_EQ(ClrBiDi_GetFeatureInfo(h, L"ColorMode", nullptr), BIDI_ERR_BAD_ARGUMENT);
    EXPECT_EQ(ClrBiDi_GetFeatureInfo(h, tooLong.c_str(), &info), BIDI_ERR_BAD_ARGUMENT);
    EXPECT_EQ(info, kSentinel);
    EXPECT_TRUE(h.module().Calls().empty());
    EXPECT_EQ(memory.Allocations(), 0);

    ASSERT_EQ(ClrBiDi_GetFeatureInfo(h, L"ColorMode", &info), BIDI_OK);
    FeatureInfo* const held = info;
    FeatureInfo* none = nullptr;
    EXPECT_EQ(ClrBiDi_DeleteFeatureInfo(nullptr, &info), BIDI_ERR_BAD_ARGUMENT);
    EXPECT_EQ(ClrBiDi_DeleteFeatureInfo(h, nullptr), BIDI_ERR_BAD_ARGUMENT);
    EXPECT_EQ(ClrBiDi_DeleteFeatureInfo(h, &none), BIDI_ERR_BAD_ARGUMENT);
    EXPECT_EQ(memory.LiveBlocks().size(), 4u) << "nothing released";
    EXPECT_EQ(ClrBiDi_DeleteFeatureInfo(h, &info), BIDI_OK);
    EXPECT_EQ(info, held) << "the caller's pointer is left as it was";
    EXPECT_TRUE(memory.LiveBlocks().empty());
}

TEST(FeatureInfo, RepeatedRequestsLeakNothing) {
    ScriptedHandle h;
    ScriptFeature(h, 70);
    GlobalMemoryWatch memory;
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        FeatureInfo* info = nullptr;
        ASSERT_EQ(ClrBiDi_GetFeatureInfo(h, L"ColorMode", &info), BIDI_OK);
        ExpectRecord(info, 64, true, true);
        EXPECT_EQ(ClrBiDi_DeleteFeatureInfo(h, &info), BIDI_OK);
        EXPECT_TRUE(memory.LiveBlocks().empty());
    }
}

TEST(FeatureInfo, EachFailedAllocationIsHandledAndLeaksNothing) {
    // Allocations for three options: the record, four wide blocks, the name for
    // Color_SetCurrentKey, two answer blocks for the key, two answer blocks and a pair per
    // option, two answer blocks for the cursor's end, then the name and two answer blocks for
    // Color_GetSelectedOption.
    constexpr int kAllocations = 22;
    for (int failing = 1; failing <= kAllocations + 1; ++failing) {
        SCOPED_TRACE(failing);
        ScriptedHandle h;
        ScriptFeature(h, 3);
        GlobalMemoryWatch memory;
        memory.FailAllocation(failing);
        FeatureInfo* info = kSentinel;
        const LONG result = ClrBiDi_GetFeatureInfo(h, L"ColorMode", &info);
        if (failing == 1) {
            EXPECT_EQ(result, BIDI_ERR_FAILED);
            EXPECT_EQ(info, kSentinel);
            EXPECT_TRUE(h.module().Calls().empty());
            continue;
        }
        ASSERT_TRUE(memory.IsLive(info));
        if (failing <= 6) {  // a working block, or the name's block: the record stays all zero
            EXPECT_EQ(result, BIDI_ERR_FAILED);
            EXPECT_TRUE(h.module().Calls().empty());
            ExpectRecord(info, 0, false, false);
        } else if (failing <= 8) {  // the key's answer blocks: the key reads empty
            EXPECT_EQ(result, BIDI_OK);
            EXPECT_EQ(h.module().CountCalls("Color_GetCurrentKey"), 0u);
            ExpectRecord(info, 3, false, true);
        } else if (failing <= 19) {  // an option's blocks or pair: the options before it stay
            EXPECT_EQ(result, BIDI_OK);
            ExpectRecord(info, std::min((failing - 9) / 3, 3), true, true);
        } else if (failing <= 22) {  // the selected option's blocks: it reads empty
            EXPECT_EQ(result, BIDI_ERR_FAILED);
            EXPECT_EQ(h.module().CountCalls("Color_GetSelectedOption"), 0u);
            ExpectRecord(info, 3, true, false);
        } else {
            EXPECT_EQ(result, BIDI_OK);
            ExpectRecord(info, 3, true, true);
        }
        EXPECT_EQ(ClrBiDi_DeleteFeatureInfo(h, &info), BIDI_OK);
        EXPECT_TRUE(memory.LiveBlocks().empty());
    }
}

}  // namespace
