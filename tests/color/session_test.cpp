// Opening and closing colour sessions and selecting options: what the module receives.
#include <gtest/gtest.h>
#include <vyxbidi.h>

#include <string>

#include "support/debug_trace.h"
#include "support/global_memory_watch.h"
#include "support/scripted_module.h"
#include "support/text_util.h"
#include "color_scripts.h"

namespace {

using vyxtest::GlobalMemoryWatch;
using vyxtest::ScriptedHandle;

// Checks one logged string argument: null, or `expected` alone in a zero-filled block.
void ExpectAnsiArgument(const vyxtest::CallArg& arg, const wchar_t* wide, std::size_t blockBytes) {
    if (!wide) {
        EXPECT_EQ(arg.raw, 0u);
        return;
    }
    const std::string expected = vyxtest::ToAnsi(wide);
    EXPECT_EQ(arg.blockBytes, blockBytes);
    EXPECT_EQ(arg.block, expected + std::string(blockBytes - expected.size(), '\0'));
}

TEST(OpenSession, SendsEachStringInItsPositionAndNullsAsNull) {
    // Each bit of a mask says which of the six strings is given.
    const std::wstring nonAscii = colortest::NonAsciiText();
    const wchar_t* const texts[6] = {L"one", L"", nonAscii.c_str(), L"four", L"five", L"six"};
    for (unsigned mask : {0x00u, 0x3Fu, 0x15u, 0x2Au, 0x01u, 0x20u}) {
        SCOPED_TRACE(mask);
        ScriptedHandle h;
        GlobalMemoryWatch memory;
        h.module().Returns(vyxquery::Color_OpenSession, 42);
        const wchar_t* given[6];
        for (int i = 0; i < 6; ++i) {
            given[i] = mask & (1u << i) ? texts[i] : nullptr;
        }
        EXPECT_EQ(
            ClrBiDi_OpenSession(h, given[0], given[1], given[2], given[3], given[4], given[5]), 42);
        ASSERT_EQ(h.module().CallNames(), std::vector<std::string>{"Color_OpenSession"});
        const auto& call = h.module().Calls()[0];
        EXPECT_EQ(call.context, &h.get()->queryContext);
        for (int i = 0; i < 6; ++i) {
            SCOPED_TRACE(i);
            ExpectAnsiArgument(call.args[i], given[i], 64);
        }
        EXPECT_TRUE(memory.LiveBlocks().empty());
    }
}

TEST(OpenSession, RefusesAStringBeyond63BytesBeforeCallingAnything) {
    // 63 bytes fit; in code page 932 each katakana takes two bytes.
    const std::wstring fits =
        vyxtest::IsCodePage932() ? std::wstring(31, L'\u30ab') + L"x" : std::wstring(63, L'x');
    const std::wstring tooLong = fits + L"y";
    for (int position = 0; position < 6; ++position) {
        SCOPED_TRACE(position);
        ScriptedHandle h;
        GlobalMemoryWatch memory;
        const wchar_t* given[6] = {L"a", L"b", nullptr, L"d", L"e", L"f"};
        given[position] = tooLong.c_str();
        EXPECT_EQ(
            ClrBiDi_OpenSession(h, given[0], given[1], given[2], given[3], given[4], given[5]),
            BIDI_ERR_BAD_ARGUMENT);
        EXPECT_TRUE(h.module().Calls().empty());
        EXPECT_TRUE(memory.LiveBlocks().empty());
        given[position] = fits.c_str();
        EXPECT_EQ(
            ClrBiDi_OpenSession(h, given[0], given[1], given[2], given[3], given[4], given[5]),
            BIDI_OK);
        ASSERT_EQ(h.module().Calls().size(), 1u);
        ExpectAnsiArgument(h.module().Calls()[0].args[position], fits.c_str(), 64);
    }
}

TEST(OpenSession, NullHandleMissingEntryPointOrMemoryCallNothingAndKeepNothing) {
    {
        ScriptedHandle h(L"without_Color_OpenSession");
        GlobalMemoryWatch memory;
        EXPECT_EQ(ClrBiDi_OpenSession(nullptr, L"a", L"b", L"c", L"d", L"e", L"f"),
                  BIDI_ERR_BAD_ARGUMENT);
        EXPECT_EQ(memory.Allocations(), 0);
        EXPECT_EQ(ClrBiDi_OpenSession(h, L"a", nullptr, L"c", L"d", nullptr, L"f"),
                  BIDI_ERR_NO_ENTRY_POINT);
        EXPECT_EQ(memory.Allocations(), 4);
        EXPECT_TRUE(memory.LiveBlocks().empty());
    }
    for (int failing = 1; failing <= 3; ++failing) {
        SCOPED_TRACE(failing);
        ScriptedHandle h;
        GlobalMemoryWatch memory;
        memory.FailAllocation(failing);
        EXPECT_EQ(ClrBiDi_OpenSession(h, L"a", nullptr, L"c", nullptr, nullptr, L"f"),
                  BIDI_ERR_FAILED);
        EXPECT_TRUE(h.module().Calls().empty());
        EXPECT_TRUE(memory.LiveBlocks().empty());
    }
}

TEST(CloseSession, TracesBeforeAnythingElse) {
    struct {
        const wchar_t* variant;
        bool nullHandle;
        LONG expected;
    } cases[] = {
        {L"full", false, 17},
        {L"without_Color_CloseSession", false, BIDI_ERR_NO_ENTRY_POINT},
        {L"full", true, BIDI_ERR_BAD_ARGUMENT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.variant << (c.nullHandle ? " null" : ""));
        ScriptedHandle h(c.variant);
        vyxtest::DebugTraceCapture trace;
        std::size_t tracesAtCall = 0;
        h.module().On(vyxquery::Color_CloseSession, [&](VyxQueryContext* context) {
            tracesAtCall = trace.Lines().size();
            EXPECT_EQ(context, &h.get()->queryContext);
            return LONG{17};
        });
        EXPECT_EQ(ClrBiDi_CloseSession(c.nullHandle ? nullptr : h.get()), c.expected);
        EXPECT_EQ(trace.Lines(), std::vector<std::wstring>{L"ClrBiDi_CloseSession"});
        EXPECT_EQ(h.module().Calls().size(), c.expected == 17 ? 1u : 0u);
        EXPECT_EQ(tracesAtCall, c.expected == 17 ? 1u : 0u);
    }
}

TEST(SelectOption, SendsBothStringsAsGivenAndReturnsTheModulesAnswer) {
    const std::wstring nonAscii = colortest::NonAsciiText();
    const struct {
        const wchar_t* name;
        const wchar_t* value;
    } cases[] = {
        {L"ColorMode", L"Grayscale"},
        {L"ColorMode", nullptr},
        {nullptr, L"On"},
        {nullptr, nullptr},
        {L"", L""},
        {nonAscii.c_str(), nonAscii.c_str()},
    };
    for (const auto& c : cases) {
        ScriptedHandle h;
        GlobalMemoryWatch memory;
        h.module().Returns(vyxquery::Color_SetKeyValue, 3);
        EXPECT_EQ(ClrBiDi_SelectOption(h, c.name, c.value), 3);
        ASSERT_EQ(h.module().CallNames(), std::vector<std::string>{"Color_SetKeyValue"});
        EXPECT_EQ(h.module().Calls()[0].context, &h.get()->queryContext);
        ExpectAnsiArgument(h.module().Calls()[0].args[0], c.name, 256);
        ExpectAnsiArgument(h.module().Calls()[0].args[1], c.value, 256);
        EXPECT_TRUE(memory.LiveBlocks().empty());
    }
}

TEST(SelectOption, RefusalsCallNothingAndKeepNothing) {
    const std::wstring tooLong(256, L'v');
    const std::wstring fits(255, L'v');
    ScriptedHandle h;
    ScriptedHandle lacking(L"without_Color_SetKeyValue");
    GlobalMemoryWatch memory;
    EXPECT_EQ(ClrBiDi_SelectOption(nullptr, L"a", L"b"), BIDI_ERR_BAD_ARGUMENT);
    EXPECT_EQ(ClrBiDi_SelectOption(h, tooLong.c_str(), L"b"), BIDI_ERR_BAD_ARGUMENT);
    EXPECT_EQ(ClrBiDi_SelectOption(h, L"a", tooLong.c_str()), BIDI_ERR_BAD_ARGUMENT);
    EXPECT_TRUE(h.module().Calls().empty());
    EXPECT_EQ(ClrBiDi_SelectOption(lacking, L"a", L"b"), BIDI_ERR_NO_ENTRY_POINT);
    memory.FailAllocation(2);
    EXPECT_EQ(ClrBiDi_SelectOption(h, L"a", L"b"), BIDI_ERR_FAILED);
    EXPECT_TRUE(h.module().Calls().empty());
    EXPECT_TRUE(memory.LiveBlocks().empty());
    EXPECT_EQ(ClrBiDi_SelectOption(h, fits.c_str(), fits.c_str()), BIDI_OK);
    EXPECT_EQ(h.module().Calls()[0].args[1].text, std::string(255, 'v'));
}

}  // namespace
