// Faults the randomised run against the hostile module found, each pinned by the smallest case.
#include <gtest/gtest.h>
#include <vyxbidi.h>

#include <string>

#include "support/global_memory_watch.h"
#include "support/scripted_module.h"

namespace {

using vyxtest::GlobalMemoryWatch;
using vyxtest::ScriptedHandle;

// An attribute session text too long for its 16-byte block is refused before any module call;
// memory running out for its block must not turn the refusal into a call with the text dropped.
TEST(AttribSessionRegression, ATooLongTextIsRefusedEvenWhenItsBlockCannotBeHad) {
    const std::wstring tooLong(16, L'x');
    struct Case {
        const wchar_t* first;
        const wchar_t* second;
        int failingAllocation;  // the block of the too-long text
    };
    for (const Case& c : {Case{tooLong.c_str(), L"ok", 1}, Case{L"ok", tooLong.c_str(), 2}}) {
        SCOPED_TRACE(c.failingAllocation);
        ScriptedHandle h;
        GlobalMemoryWatch watch;
        watch.FailAllocation(c.failingAllocation);
        EXPECT_EQ(Attrib_OpenSession(h, c.first, c.second), BIDI_ERR_BAD_ARGUMENT);
        EXPECT_TRUE(h.module().Calls().empty());
        EXPECT_TRUE(watch.LiveBlocks().empty());
    }
}

}  // namespace
