// Installable options: nine slots in call order, the presence mask, texts kept on failure.
#include <gtest/gtest.h>
#include <vyxbidi.h>

#include <string>
#include <vector>

#include "record_bytes.h"
#include "support/global_memory_watch.h"
#include "support/scripted_module.h"

namespace {

using vyxtest::Field;
using vyxtest::Fill;
using vyxtest::FillAnswer;
using vyxtest::GlobalMemoryWatch;
using vyxtest::ScriptedHandle;
using vyxtest::ScriptedModule;
using vyxtest::UnitsAt;
using vyxtest::Wide;

constexpr std::size_t kSlot = 208;
constexpr std::size_t kLowerTraySlot = 2;
InstallablesRecord* const kOldRecord = reinterpret_cast<InstallablesRecord*>(0xdeadbeef);

const vyxquery::EntryPoint<PFN_Attribute_GetSorter> kEntries[9] = {
    vyxquery::Attribute_GetSorter,       vyxquery::Attribute_GetDuplex,
    vyxquery::Attribute_GetLowerTray,    vyxquery::Attribute_GetFax,
    vyxquery::Attribute_GetFinisher,     vyxquery::Attribute_GetFaceDownUnit,
    vyxquery::Attribute_GetFinisherType, vyxquery::Attribute_GetFinisherOption,
    vyxquery::Attribute_GetMFPOption,
};

std::string FirstText(std::size_t slot) {
    return "first " + std::to_string(slot);
}
std::string SecondText(std::size_t slot) {
    return "second " + std::to_string(slot);
}

// Every attribute writes both of its texts; those whose bit is in `answering` then answer 0,
// the others 3.
void ScriptOptions(ScriptedModule& m, DWORD answering) {
    for (std::size_t slot = 0; slot < 9; ++slot) {
        const LONG result = answering & (1u << slot) ? 0 : 3;
        m.On(kEntries[slot], [slot, result](VyxQueryContext*, LPSTR first, LPSTR second) {
            FillAnswer(first, FirstText(slot));
            FillAnswer(second, SecondText(slot));
            return result;
        });
    }
}

std::wstring Text2(const InstallablesRecord* record, std::size_t slot) {
    return UnitsAt(record, slot * kSlot, 64);
}
std::wstring Text1(const InstallablesRecord* record, std::size_t slot) {
    return UnitsAt(record, slot * kSlot + 128, 40);
}

TEST(InstallableOptions, CallsTheNineInSlotOrderWithFresh64ByteBlocks) {
    ScriptedHandle h;
    ScriptOptions(h.module(), 0x1FF);
    GlobalMemoryWatch watch;
    InstallablesRecord* record = nullptr;
    DWORD presence = 0x55555555;
    ASSERT_EQ(Attrib_GetInstallableOptions(h, &record, &presence), BIDI_OK);
    EXPECT_EQ(presence, 0x1FFu);
    ASSERT_TRUE(watch.IsLive(record));
    EXPECT_EQ(GlobalSize(GlobalHandle(record)), 1872u);
    ASSERT_EQ(h.module().Calls().size(), 9u);
    for (std::size_t slot = 0; slot < 9; ++slot) {
        SCOPED_TRACE(slot);
        const vyxtest::ModuleCall& call = h.module().Calls()[slot];
        EXPECT_EQ(call.name, kEntries[slot].name);
        EXPECT_EQ(call.context, &h.get()->queryContext);
        for (const vyxtest::CallArg& arg : call.args) {
            EXPECT_EQ(arg.block, std::string(64, '\0'));
        }
    }
    EXPECT_EQ(Attrib_FreeInstallablesBuffers(nullptr, &record), BIDI_OK);
    EXPECT_TRUE(watch.LiveBlocks().empty());
}

TEST(InstallableOptions, MaskHoldsTheAnsweredOnesAndTextsStayOnFailureButLowerTraysSecond) {
    const struct {
        const char* label;
        DWORD answering;
    } cases[] = {
        {"all nine", 0x1FF},
        {"only duplex", BIDI_HAS_DUPLEX},
        {"only MFP", BIDI_HAS_MFP_OPTION},
        {"none", 0},
        {"all but sorter and lower tray", 0x1FA},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ScriptedHandle h;
        ScriptOptions(h.module(), c.answering);
        InstallablesRecord* record = kOldRecord;
        DWORD presence = 0x55555555;
        EXPECT_EQ(Attrib_GetInstallableOptions(h, &record, &presence),
                  c.answering ? BIDI_OK : BIDI_ERR_FAILED);
        EXPECT_EQ(presence, c.answering);
        ASSERT_NE(record, kOldRecord) << "handed out even when none answered";
        for (std::size_t slot = 0; slot < 9; ++slot) {
            SCOPED_TRACE(slot);
            const bool emptied = slot == kLowerTraySlot && !(c.answering & BIDI_HAS_LOWER_TRAY);
            EXPECT_EQ(Text2(record, slot), Field(emptied ? L"" : Wide(SecondText(slot)), 64));
            EXPECT_EQ(Text1(record, slot), Field(Wide(FirstText(slot)), 40));
        }
        Attrib_FreeInstallablesBuffers(h, &record);
    }
}

TEST(InstallableOptions, MissingEntryPointsLeaveTheirSlotsEmpty) {
    {
        ScriptedHandle h(L"no_installables");
        GlobalMemoryWatch watch;
        InstallablesRecord* record = kOldRecord;
        DWORD presence = 0x55555555;
        EXPECT_EQ(Attrib_GetInstallableOptions(h, &record, &presence), BIDI_ERR_FAILED);
        EXPECT_EQ(presence, 0u);
        ASSERT_TRUE(watch.IsLive(record));
        EXPECT_EQ(UnitsAt(record, 0, 1872 / 2), std::wstring(1872 / 2, L'\0'));
        EXPECT_EQ(Attrib_FreeInstallablesBuffers(h, &record), BIDI_OK);
        EXPECT_TRUE(watch.LiveBlocks().empty());
    }
    ScriptedHandle h(L"without_Attribute_GetFax");
    ScriptOptions(h.module(), 0x1FF);
    InstallablesRecord* record = nullptr;
    DWORD presence = 0;
    EXPECT_EQ(Attrib_GetInstallableOptions(h, &record, &presence), BIDI_OK);
    EXPECT_EQ(presence, 0x1FFu & ~BIDI_HAS_FAX);
    EXPECT_EQ(UnitsAt(record, 3 * kSlot, kSlot / 2), std::wstring(kSlot / 2, L'\0'));
    EXPECT_EQ(Text1(record, 4), Field(Wide(FirstText(4)), 40));
    Attrib_FreeInstallablesBuffers(h, &record);
}

TEST(InstallableOptions, LongAndUnterminatedTextsAreCutInsideTheirFields) {
    ScriptedHandle h;
    h.module().On(vyxquery::Attribute_GetSorter, [](VyxQueryContext*, LPSTR first, LPSTR second) {
        Fill(first, std::string(39, 'a'));
        Fill(second, std::string(63, 'b'));
        return LONG{0};
    });
    h.module().On(vyxquery::Attribute_GetDuplex, [](VyxQueryContext*, LPSTR first, LPSTR second) {
        Fill(first, std::string(64, 'c'));  // no terminator, and far too long for text1
        Fill(second, std::string(64, 'd'));
        return LONG{0};
    });
    InstallablesRecord* record = nullptr;
    DWORD presence = 0;
    ASSERT_EQ(Attrib_GetInstallableOptions(h, &record, &presence), BIDI_OK);
    EXPECT_EQ(Text2(record, 0), Field(std::wstring(63, L'b'), 64));
    EXPECT_EQ(Text1(record, 0), Field(std::wstring(39, L'a'), 40));
    EXPECT_EQ(Text2(record, 1), Field(std::wstring(63, L'd'), 64));
    EXPECT_EQ(Text1(record, 1), Field(std::wstring(39, L'c'), 40));
    EXPECT_EQ(UnitsAt(record, 2 * kSlot, kSlot / 2), std::wstring(kSlot / 2, L'\0'));
    Attrib_FreeInstallablesBuffers(h, &record);
}

// The first text is cut after its 39th character, counted in the whole text's wide form: in 932
// a double-byte character is one of them, and a text that widens raw is cut after 39 bytes.
TEST(InstallableOptions, FirstTextIsCutAfterItsWideForm) {
    struct Case {
        const char* label;
        UINT codePage;
        std::string text;
        std::wstring expected;
    };
    const std::wstring kana19(19, L'\u30ab');
    std::wstring raw19;
    for (int i = 0; i < 19; ++i) {
        raw19 += i % 2 ? L'\x4a' : L'\x83';
    }
    std::string kana20;
    for (int i = 0; i < 20; ++i) {
        kana20 += "\x83\x4a";
    }
    const Case cases[] = {
        {"bytes that change their value", 1252, "\x80\x9f" + std::string(61, '\xe9'),
         L"\u20ac\u0178" + std::wstring(37, L'\u00e9')},
        {"double-byte characters", 932, std::string(20, 'x') + kana20 + "\x83\x4a",
         std::wstring(20, L'x') + kana19},
        {"a lone lead byte at the end: raw", 932, std::string(20, 'x') + kana20 + "\x83",
         std::wstring(20, L'x') + raw19},
    };
    for (const Case& c : cases) {
        if (c.codePage != GetACP()) {
            continue;
        }
        SCOPED_TRACE(c.label);
        ScriptedHandle h;
        h.module().On(vyxquery::Attribute_GetSorter, [&c](VyxQueryContext*, LPSTR first, LPSTR) {
            Fill(first, c.text);
            return LONG{0};
        });
        InstallablesRecord* record = nullptr;
        DWORD presence = 0;
        ASSERT_EQ(Attrib_GetInstallableOptions(h, &record, &presence), BIDI_OK);
        EXPECT_EQ(Text1(record, 0), Field(c.expected, 40));
        Attrib_FreeInstallablesBuffers(h, &record);
    }
}

TEST(InstallableOptions, NullArgumentsFailWithoutWritingOrCalling) {
    ScriptedHandle h;
    for (int missing = 0; missing < 3; ++missing) {
        SCOPED_TRACE(missing);
        InstallablesRecord* record = kOldRecord;
        DWORD presence = 0x55555555;
        EXPECT_EQ(Attrib_GetInstallableOptions(missing == 0 ? nullptr : h.get(),
                                               missing == 1 ? nullptr : &record,
                                               missing == 2 ? nullptr : &presence),
                  BIDI_ERR_FAILED);
        EXPECT_EQ(record, kOldRecord);
        EXPECT_EQ(presence, 0x55555555u);
    }
    EXPECT_TRUE(h.module().Calls().empty());
}

TEST(InstallableOptions, MemoryThatRunsOut) {
    ScriptedHandle h;
    ScriptOptions(h.module(), 0x1FF);
    GlobalMemoryWatch watch;
    InstallablesRecord* record = kOldRecord;
    DWORD presence = 0x55555555;
    watch.FailAllocation(1);  // the record itself
    EXPECT_EQ(Attrib_GetInstallableOptions(h, &record, &presence), BIDI_ERR_FAILED);
    EXPECT_EQ(record, kOldRecord);
    EXPECT_EQ(presence, 0u);
    EXPECT_TRUE(h.module().Calls().empty());

    // Allocations 2 and 3 are the sorter's two answer blocks.
    for (int failing : {2, 3}) {
        SCOPED_TRACE(failing);
        h.module().ClearCalls();
        watch.FailAllocation(failing);
        ASSERT_EQ(Attrib_GetInstallableOptions(h, &record, &presence), BIDI_OK);
        EXPECT_EQ(presence, 0x1FFu);
        EXPECT_EQ(h.module().Calls()[0].args[failing - 2].raw, 0u);
        EXPECT_EQ(Text1(record, 0), Field(failing == 2 ? L"" : Wide(FirstText(0)), 40));
        EXPECT_EQ(Text2(record, 0), Field(failing == 3 ? L"" : Wide(SecondText(0)), 64));
        Attrib_FreeInstallablesBuffers(h, &record);
        EXPECT_TRUE(watch.LiveBlocks().empty());
    }
}

}  // namespace
