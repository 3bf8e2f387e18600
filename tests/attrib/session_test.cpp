// The attribute session and the e-mail notification query: what the module is handed, and when not.
#include <gtest/gtest.h>
#include <vyxbidi.h>

#include <string>

#include "support/debug_trace.h"
#include "support/global_memory_watch.h"
#include "support/scripted_module.h"
#include "support/text_util.h"

namespace {

using vyxtest::GlobalMemoryWatch;
using vyxtest::ScriptedHandle;

struct SessionCase {
    const char* label;
    const wchar_t* first;
    const wchar_t* second;
};

TEST(AttribSession, SendsEachTextIn16BytesAndNullAsNull) {
    const SessionCase cases[] = {
        {"both null", nullptr, nullptr},
        {"first only", L"A4", nullptr},
        {"second only", nullptr, L"Letter"},
        {"15 bytes fill a block", L"123456789012345", L""},
    };
    for (const SessionCase& c : cases) {
        SCOPED_TRACE(c.label);
        ScriptedHandle h;
        h.module().Returns(vyxquery::Attribute_OpenSession, 42);
        GlobalMemoryWatch watch;
        vyxtest::DebugTraceCapture trace;
        EXPECT_EQ(Attrib_OpenSession(h, c.first, c.second), 42);
        ASSERT_EQ(h.module().CallNames(), std::vector<std::string>{"Attribute_OpenSession"});
        const auto& args = h.module().Calls()[0].args;
        EXPECT_EQ(h.module().Calls()[0].context, &h.get()->queryContext);
        for (int i = 0; i < 2; ++i) {
            const wchar_t* text = i == 0 ? c.first : c.second;
            if (!text) {
                EXPECT_EQ(args[i].raw, 0u);
                continue;
            }
            EXPECT_EQ(args[i].text, vyxtest::ToAnsi(text));
            EXPECT_EQ(args[i].blockBytes, 16u);
        }
        EXPECT_TRUE(watch.LiveBlocks().empty());
        EXPECT_TRUE(trace.Lines().empty());
    }
}

TEST(AttribSession, RefusesATextThatDoesNotFitBeforeAnyCall) {
    ScriptedHandle h;
    GlobalMemoryWatch watch;
    EXPECT_EQ(Attrib_OpenSession(h, L"A4", L"1234567890123456"), BIDI_ERR_BAD_ARGUMENT);
    EXPECT_EQ(Attrib_OpenSession(h, L"1234567890123456", nullptr), BIDI_ERR_BAD_ARGUMENT);
    EXPECT_TRUE(h.module().Calls().empty());
    EXPECT_TRUE(watch.LiveBlocks().empty());
}

TEST(AttribSession, ATextWithoutABlockReachesTheModuleAsNull) {
    ScriptedHandle h;
    GlobalMemoryWatch watch;
    watch.FailAllocation(1);
    EXPECT_EQ(Attrib_OpenSession(h, L"A4", L"B5"), BIDI_OK);
    ASSERT_EQ(h.module().Calls().size(), 1u);
    EXPECT_EQ(h.module().Calls()[0].args[0].raw, 0u);
    EXPECT_EQ(h.module().Calls()[0].args[1].text, "B5");
}

TEST(AttribSession, NullHandleAndMissingEntryPoints) {
    ScriptedHandle h;
    EXPECT_EQ(Attrib_OpenSession(nullptr, L"A4", nullptr), BIDI_ERR_BAD_ARGUMENT);
    EXPECT_EQ(Attrib_CloseSession(nullptr), BIDI_ERR_BAD_ARGUMENT);
    EXPECT_TRUE(h.module().Calls().empty());

    h.module().Returns(vyxquery::Attribute_CloseSession, -7);
    EXPECT_EQ(Attrib_CloseSession(h), -7);
    EXPECT_EQ(h.module().Calls().back().context, &h.get()->queryContext);

    ScriptedHandle noOpen(L"without_Attribute_OpenSession");
    EXPECT_EQ(Attrib_OpenSession(noOpen, nullptr, nullptr), BIDI_ERR_NO_ENTRY_POINT);
    ScriptedHandle noClose(L"without_Attribute_CloseSession");
    EXPECT_EQ(Attrib_CloseSession(noClose), BIDI_ERR_NO_ENTRY_POINT);
}

TEST(EMailNotification, PassesTheValueUntouchedAndTheResultBack) {
    ScriptedHandle h;
    h.module().Returns(vyxquery::Misc_GetEMail_Notification, 1);
    LONG setting = 0x55555555;
    EXPECT_EQ(Misc_GetEMailNotification(h, &setting), 1);
    EXPECT_EQ(Misc_GetEMailNotification(h, nullptr), 1);
    EXPECT_EQ(Misc_GetEMailNotification(nullptr, &setting), BIDI_ERR_BAD_ARGUMENT);
    ASSERT_EQ(h.module().Calls().size(), 2u);
    EXPECT_EQ(h.module().Calls()[0].context, &h.get()->queryContext);
    EXPECT_EQ(h.module().Calls()[0].args[0].raw, reinterpret_cast<std::uintptr_t>(&setting));
    EXPECT_EQ(h.module().Calls()[1].args[0].raw, 0u);
    EXPECT_EQ(setting, 0x55555555);

    // A plain number travels as wide as the argument is: on x64 its upper half arrives too.
    const auto number = static_cast<std::uintptr_t>(0xFEDCBA9876543210ull);
    h.module().ClearCalls();
    EXPECT_EQ(Misc_GetEMailNotification(h, reinterpret_cast<void*>(number)), 1);
    ASSERT_EQ(h.module().Calls().size(), 1u);
    EXPECT_EQ(h.module().Calls()[0].args[0].raw, number);

    ScriptedHandle lacking(L"without_Misc_GetEMail_Notification");
    EXPECT_EQ(Misc_GetEMailNotification(lacking, &setting), BIDI_ERR_NO_ENTRY_POINT);
}

}  // namespace
