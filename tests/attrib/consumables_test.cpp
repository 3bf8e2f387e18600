// Tray and toner enumerations: block layout, what the module is handed, all-or-nothing failures.
#include <gtest/gtest.h>
#include <vyxbidi.h>

#include <string>
#include <vector>

#include "record_bytes.h"
#include "support/global_memory_watch.h"
#include "support/layout.h"
#include "support/scripted_module.h"

namespace {

using vyxtest::Field;
using vyxtest::FillAnswer;
using vyxtest::GlobalMemoryWatch;
using vyxtest::LongAt;
using vyxtest::ScriptedHandle;
using vyxtest::ScriptedModule;
using vyxtest::UnitsAt;
using vyxtest::Wide;
using vyxtest::layout::kIs64Bit;

constexpr std::size_t kTray = 264;
constexpr std::size_t kToner = 72;
constexpr LONG kOldCount = 0x55555555;
void* const kOldBlock = reinterpret_cast<void*>(0xdeadbeef);

// Tray i answers "one i" to "four i" and the values 5i and 500i; toner i answers "toner i", -i
// and 0x10000i. The entry `failAt` answers 7 after writing the same.
void ScriptConsumables(ScriptedModule& m, LONG count, LONG failAt = 0) {
    auto reportCount = [count](VyxQueryContext*, LONG* n) {
        *n = count;
        return LONG{0};
    };
    m.On(vyxquery::Attribute_GetNumTrays, reportCount);
    m.On(vyxquery::Attribute_GetNumColors, reportCount);
    m.On(vyxquery::Attribute_GetIndexedTrays,
         [failAt](VyxQueryContext*, LONG* index, LPSTR t1, LONG* v1, LONG* v2, LPSTR t2, LPSTR t3,
                  LPSTR t4) {
             const std::string n = std::to_string(*index);
             FillAnswer(t1, "one " + n);
             FillAnswer(t2, "two " + n);
             FillAnswer(t3, "three " + n);
             FillAnswer(t4, "four " + n);
             *v1 = 5 * *index;
             *v2 = 500 * *index;
             return *index == failAt ? LONG{7} : LONG{0};
         });
    m.On(vyxquery::Attribute_GetIndexedColors,
         [failAt](VyxQueryContext*, LONG* index, LPSTR text, LONG* v1, LONG* v2) {
             FillAnswer(text, "toner " + std::to_string(*index));
             *v1 = -*index;
             *v2 = 0x10000 * *index;
             return *index == failAt ? LONG{7} : LONG{0};
         });
}

// Either enumeration, the block seen untyped, so one table covers both.
LONG GetConsumables(BiDiHandle* h, bool toners, void** block, LONG* count) {
    return toners ? Attrib_GetTonerConsumables(h, reinterpret_cast<TonerRecord**>(block), count)
                  : Attrib_GetPaperConsumables(h, reinterpret_cast<TrayRecord**>(block), count);
}

void FreeConsumables(bool toners, void** block) {
    if (toners) {
        EXPECT_EQ(Attrib_FreeTonerConsBuffers(nullptr, reinterpret_cast<TonerRecord**>(block)),
                  BIDI_OK);
    } else {
        EXPECT_EQ(Attrib_FreePaperConsBuffers(nullptr, reinterpret_cast<TrayRecord**>(block)),
                  BIDI_OK);
    }
}

TEST(PaperConsumables, FillsEachTrayAtItsOffsetsWithText4AheadOfText2) {
    ScriptedHandle h;
    ScriptConsumables(h.module(), 2);
    GlobalMemoryWatch watch;
    TrayRecord* trays = nullptr;
    LONG count = 0;
    ASSERT_EQ(Attrib_GetPaperConsumables(h, &trays, &count), BIDI_OK);
    ASSERT_EQ(count, 2);
    ASSERT_EQ(watch.LiveBlocks().size(), 1u);
    EXPECT_EQ(watch.LiveBlocks().begin()->second, 2 * kTray);
    ASSERT_TRUE(watch.IsLive(trays));
    const auto& calls = h.module().Calls();
    ASSERT_EQ(h.module().CallNames(),
              (std::vector<std::string>{"Attribute_GetNumTrays", "Attribute_GetIndexedTrays",
                                        "Attribute_GetIndexedTrays"}));
    EXPECT_EQ(calls[0].args[0].number, 0) << "the count starts at 0";
    for (LONG i = 1; i <= 2; ++i) {
        SCOPED_TRACE(i);
        const BYTE* tray = reinterpret_cast<const BYTE*>(trays) + (i - 1) * kTray;
        const std::string n = std::to_string(i);
        EXPECT_EQ(UnitsAt(tray, 0, 32), Field(Wide("one " + n), 32));
        EXPECT_EQ(LongAt(tray, 64), 5 * i);
        EXPECT_EQ(LongAt(tray, 68), 500 * i);
        EXPECT_EQ(UnitsAt(tray, 72, 32), Field(Wide("four " + n), 32));
        EXPECT_EQ(UnitsAt(tray, 136, 32), Field(Wide("two " + n), 32));
        EXPECT_EQ(UnitsAt(tray, 200, 32), Field(Wide("three " + n), 32));
        const auto& args = calls[i].args;
        EXPECT_EQ(calls[i].context, &h.get()->queryContext);
        EXPECT_EQ(args[0].number, i);
        EXPECT_EQ(args[2].raw, reinterpret_cast<std::uintptr_t>(tray + 64));
        EXPECT_EQ(args[3].raw, reinterpret_cast<std::uintptr_t>(tray + 68));
        for (int t : {1, 4, 5, 6}) {
            EXPECT_EQ(args[t].block, std::string(32, '\0'));
        }
    }
    TrayRecord* const handedOut = trays;
    EXPECT_EQ(Attrib_FreePaperConsBuffers(nullptr, &trays), BIDI_OK);
    EXPECT_EQ(trays, handedOut) << "the caller's pointer is left as it was";
    EXPECT_TRUE(watch.LiveBlocks().empty());
}

TEST(TonerConsumables, FillsEachTonerAtItsOffsets) {
    ScriptedHandle h;
    ScriptConsumables(h.module(), 3);
    TonerRecord* toners = nullptr;
    LONG count = 0;
    ASSERT_EQ(Attrib_GetTonerConsumables(h, &toners, &count), BIDI_OK);
    ASSERT_EQ(count, 3);
    ASSERT_EQ(GlobalSize(GlobalHandle(toners)), 3 * kToner);
    for (LONG i = 1; i <= 3; ++i) {
        SCOPED_TRACE(i);
        const BYTE* toner = reinterpret_cast<const BYTE*>(toners) + (i - 1) * kToner;
        EXPECT_EQ(UnitsAt(toner, 0, 32), Field(Wide("toner " + std::to_string(i)), 32));
        EXPECT_EQ(LongAt(toner, 64), -i);
        EXPECT_EQ(LongAt(toner, 68), 0x10000 * i);
        const auto& args = h.module().Calls()[i].args;
        EXPECT_EQ(args[0].number, i);
        EXPECT_EQ(args[1].block, std::string(32, '\0'));
        EXPECT_EQ(args[2].raw, reinterpret_cast<std::uintptr_t>(toner + 64));
    }
    EXPECT_EQ(Attrib_FreeTonerConsBuffers(nullptr, &toners), BIDI_OK);
}

TEST(Consumables, CountsOfZeroOrLessHandOutNoBlockButTheCount) {
    for (bool toners : {false, true}) {
        for (LONG reported : {0, -2}) {
            SCOPED_TRACE(testing::Message() << toners << " " << reported);
            ScriptedHandle h;
            ScriptConsumables(h.module(), reported);
            GlobalMemoryWatch watch;
            void* block = kOldBlock;
            LONG count = kOldCount;
            EXPECT_EQ(GetConsumables(h, toners, &block, &count), BIDI_OK);
            EXPECT_EQ(block, nullptr);
            EXPECT_EQ(count, reported);
            EXPECT_EQ(watch.Allocations(), 0);
            EXPECT_EQ(h.module().Calls().size(), 1u) << "no entry is asked for";
        }
    }
}

struct FailureCase {
    const char* label;
    bool toners;
    const wchar_t* variant;
    LONG count;
    LONG failAt;         // the entry whose fetch answers 7
    LONG countResult;    // what the count entry point answers
    int failAllocation;  // which allocation of the library fails (1: the block)
    LONG expected;
    std::size_t calls;     // module calls made, the count's included
    int allocationsTried;  // the block's and the scratch texts'
};

TEST(Consumables, AnyFailureHandsOutNothing) {
    const FailureCase cases[] = {
        {"second of three trays fails", false, L"full", 3, 2, 0, 0, 7, 3, 1 + 2 * 4},
        {"toner count fails", true, L"full", 2, 0, 9, 0, 9, 1, 0},
        {"no tray count", false, L"without_Attribute_GetNumTrays", 2, 0, 0, 0,
         BIDI_ERR_NO_ENTRY_POINT, 0, 0},
        {"no toner fetch", true, L"without_Attribute_GetIndexedColors", 2, 0, 0, 0,
         BIDI_ERR_NO_ENTRY_POINT, 1, 2},
        {"2^31 - 1 toners", true, L"full", 0x7FFFFFFF, 1, 0, 0, BIDI_ERR_FAILED, 1, 0},
        {"trays just past 32 bits", false, L"full", static_cast<LONG>(0xFFFFFFFF / kTray + 1), 1, 0,
         0, BIDI_ERR_FAILED, 1, 0},
        // Fits 32 bits. A 32-bit process has no room for it; a 64-bit one is given it, and then
        // fetch 1 fails and the whole block goes back.
        {"trays just under 2^31 bytes", false, L"full", static_cast<LONG>(0x7FFFFFFF / kTray), 1, 0,
         0, kIs64Bit ? 7 : BIDI_ERR_FAILED, kIs64Bit ? 2u : 1u, kIs64Bit ? 1 + 4 : 1},
        {"no memory for three toners", true, L"full", 3, 0, 0, 1, BIDI_ERR_FAILED, 1, 1},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.label);
        ScriptedHandle h(c.variant);
        ScriptConsumables(h.module(), c.count, c.failAt);
        auto countHook = [&c](VyxQueryContext*, LONG* n) {
            *n = c.count;
            return c.countResult;
        };
        h.module().On(vyxquery::Attribute_GetNumTrays, countHook);
        h.module().On(vyxquery::Attribute_GetNumColors, countHook);
        GlobalMemoryWatch watch;
        watch.FailAllocation(c.failAllocation);
        void* block = kOldBlock;
        LONG count = kOldCount;
        EXPECT_EQ(GetConsumables(h, c.toners, &block, &count), c.expected);
        EXPECT_EQ(block, nullptr);
        EXPECT_EQ(count, 0);
        EXPECT_TRUE(watch.LiveBlocks().empty());
        EXPECT_EQ(h.module().Calls().size(), c.calls);
        EXPECT_EQ(watch.Allocations(), c.allocationsTried);
    }
}

TEST(Consumables, NullArgumentsFailWithoutWritingOrCalling) {
    ScriptedHandle h;
    ScriptConsumables(h.module(), 1);
    for (bool toners : {false, true}) {
        for (int missing = 0; missing < 3; ++missing) {
            SCOPED_TRACE(testing::Message() << toners << " " << missing);
            void* block = kOldBlock;
            LONG count = kOldCount;
            EXPECT_EQ(
                GetConsumables(missing == 0 ? nullptr : h.get(), toners,
                               missing == 1 ? nullptr : &block, missing == 2 ? nullptr : &count),
                BIDI_ERR_FAILED);
            EXPECT_EQ(block, kOldBlock);
            EXPECT_EQ(count, kOldCount);
        }
    }
    EXPECT_TRUE(h.module().Calls().empty());
}

TEST(PaperConsumables, AModuleWritingTheIndexNeitherSkipsNorRepeatsNorLeavesTheBlock) {
    ScriptedHandle h;
    ScriptConsumables(h.module(), 3);
    const LONG tampered[] = {100, 0, -5};
    int call = 0;
    h.module().On(vyxquery::Attribute_GetIndexedTrays,
                  [&](VyxQueryContext*, LONG* index, LPSTR t1, LONG*, LONG*, LPSTR, LPSTR, LPSTR) {
                      FillAnswer(t1, "one " + std::to_string(*index));
                      *index = tampered[call++ % 3];
                      return LONG{0};
                  });
    TrayRecord* trays = nullptr;
    LONG count = 0;
    ASSERT_EQ(Attrib_GetPaperConsumables(h, &trays, &count), BIDI_OK);
    ASSERT_EQ(count, 3);
    ASSERT_EQ(h.module().CountCalls("Attribute_GetIndexedTrays"), 3u);
    for (LONG i = 1; i <= 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(h.module().Calls()[i].args[0].number, i);
        EXPECT_EQ(UnitsAt(trays, (i - 1) * kTray, 32), Field(Wide("one " + std::to_string(i)), 32));
    }
    Attrib_FreePaperConsBuffers(h, &trays);
}

TEST(PaperConsumables, FullAndUnterminatedTextsStayInsideTheirFields) {
    ScriptedHandle h;
    ScriptConsumables(h.module(), 1);
    h.module().On(vyxquery::Attribute_GetIndexedTrays,
                  [](VyxQueryContext*, LONG*, LPSTR t1, LONG*, LONG*, LPSTR t2, LPSTR, LPSTR t4) {
                      FillAnswer(t1, std::string(31, 'a'));  // and the block's own terminator
                      FillAnswer(t2, std::string(32, 'b'));  // no terminator anywhere
                      FillAnswer(t4, std::string(32, 'd'));
                      return LONG{0};
                  });
    TrayRecord* trays = nullptr;
    LONG count = 0;
    ASSERT_EQ(Attrib_GetPaperConsumables(h, &trays, &count), BIDI_OK);
    EXPECT_EQ(UnitsAt(trays, 0, 32), Field(std::wstring(31, L'a'), 32));
    EXPECT_EQ(LongAt(trays, 64), 0) << "values the module does not write stay 0";
    EXPECT_EQ(LongAt(trays, 68), 0);
    EXPECT_EQ(UnitsAt(trays, 72, 32), Field(std::wstring(31, L'd'), 32));
    EXPECT_EQ(UnitsAt(trays, 136, 32), Field(std::wstring(31, L'b'), 32));
    EXPECT_EQ(UnitsAt(trays, 200, 32), std::wstring(32, L'\0'));
    Attrib_FreePaperConsBuffers(h, &trays);
}

TEST(PaperConsumables, AScratchTextWithoutABlockIsPassedAsNullAndLeftEmpty) {
    // Allocation 1 is the record block, then text1, text2, text3, text4 of the one tray.
    const struct {
        int allocation;
        int argument;
        std::size_t offset;
    } cases[] = {{2, 1, 0}, {3, 4, 136}, {4, 5, 200}, {5, 6, 72}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.allocation);
        ScriptedHandle h;
        ScriptConsumables(h.module(), 1);
        GlobalMemoryWatch watch;
        watch.FailAllocation(c.allocation);
        TrayRecord* trays = nullptr;
        LONG count = 0;
        ASSERT_EQ(Attrib_GetPaperConsumables(h, &trays, &count), BIDI_OK);
        EXPECT_EQ(h.module().Calls()[1].args[c.argument].raw, 0u);
        int filled = 0;
        for (std::size_t offset : {0, 72, 136, 200}) {
            filled += UnitsAt(trays, offset, 1)[0] != L'\0';
        }
        EXPECT_EQ(UnitsAt(trays, c.offset, 32), std::wstring(32, L'\0'));
        EXPECT_EQ(filled, 3);
        Attrib_FreePaperConsBuffers(h, &trays);
        EXPECT_TRUE(watch.LiveBlocks().empty());
    }
}

TEST(AttribRelease, RepeatedGetAndFreeLeaveNothingBehind) {
    ScriptedHandle h;
    ScriptConsumables(h.module(), 3);
    GlobalMemoryWatch watch;
    for (int round = 0; round < 3; ++round) {
        void* trays = nullptr;
        void* toners = nullptr;
        InstallablesRecord* installables = nullptr;
        LONG count = 0;
        DWORD presence = 0;
        ASSERT_EQ(GetConsumables(h, false, &trays, &count), BIDI_OK);
        ASSERT_EQ(GetConsumables(h, true, &toners, &count), BIDI_OK);
        ASSERT_EQ(Attrib_GetInstallableOptions(h, &installables, &presence), BIDI_OK);
        EXPECT_EQ(watch.LiveBlocks().size(), 3u);
        FreeConsumables(false, &trays);
        FreeConsumables(true, &toners);
        EXPECT_EQ(Attrib_FreeInstallablesBuffers(h, &installables), BIDI_OK);
        EXPECT_TRUE(watch.LiveBlocks().empty());
    }
    EXPECT_EQ(watch.Allocations(), 3 * ((1 + 3 * 4) + (1 + 3) + (1 + 9 * 2)));
    void* none = nullptr;
    FreeConsumables(false, nullptr);
    FreeConsumables(false, &none);
    FreeConsumables(true, nullptr);
    EXPECT_EQ(Attrib_FreeInstallablesBuffers(h, nullptr), BIDI_OK);
}

}  // namespace
