// Calls into the query module: looked up by name every time, the context's address first.
#include <gtest/gtest.h>
#include <vyxbidi.h>

#include <cstdint>

#include "frame/global_buffer.h"
#include "support/scripted_module.h"

namespace {

using vyxtest::CallerPathFor;
using vyxtest::ScriptedModule;
using vyxtest::VariantPath;

TEST(ModuleCall, LooksTheEntryPointUpAtEveryCall) {
    ScriptedModule full(VariantPath(L"full"));
    ScriptedModule lacking(VariantPath(L"without_VyxQuery_Connect"));
    BiDiHandle* handle = nullptr;
    ASSERT_EQ(VyxBiDi_Initialize(&handle, CallerPathFor(L"full").c_str()), BIDI_OK);
    EXPECT_EQ(VyxBiDi_Connect(handle, nullptr, nullptr), BIDI_OK);

    // Nothing is remembered from the first call: with another module in the handle, the same
    // export finds that module's entry points, or their absence.
    const HMODULE original = handle->module;
    handle->module = lacking.module();
    EXPECT_EQ(VyxBiDi_Connect(handle, nullptr, nullptr), BIDI_ERR_NO_ENTRY_POINT);
    EXPECT_EQ(VyxBiDi_Disconnect(handle), BIDI_OK);
    EXPECT_EQ(lacking.CallNames(), std::vector<std::string>{"VyxQuery_Disconnect"});
    handle->module = original;
    EXPECT_EQ(VyxBiDi_Connect(handle, nullptr, nullptr), BIDI_OK);
    EXPECT_EQ(full.CountCalls("VyxQuery_Connect"), 2u);
    EXPECT_EQ(VyxBiDi_Terminate(handle), BIDI_OK);
}

TEST(ModuleCall, PassesTheContextSlotsAddressAndLeavesItsValueToTheModule) {
    ScriptedModule module(VariantPath(L"full"));
    // As wide as a pointer: on x64 the upper half must survive too.
    void* const moduleState =
        reinterpret_cast<void*>(static_cast<std::uintptr_t>(0x5EED0000C0DE5EEDull));
    module.On(vyxquery::VyxQuery_Initialize, [&](VyxQueryContext* context, LPCSTR) {
        *context = moduleState;
        return LONG{0};
    });
    BiDiHandle* handle = nullptr;
    ASSERT_EQ(VyxBiDi_Initialize(&handle, CallerPathFor(L"full").c_str()), BIDI_OK);
    EXPECT_EQ(handle->queryContext, moduleState);
    EXPECT_EQ(VyxBiDi_Disconnect(handle), BIDI_OK);
    EXPECT_EQ(module.Calls().back().context, &handle->queryContext);
    EXPECT_EQ(handle->queryContext, moduleState);
    EXPECT_EQ(VyxBiDi_Terminate(handle), BIDI_OK);
}

TEST(GlobalBuffer, BlocksAreZeroFilledLockedAndHandedOver) {
    struct Record {
        char bytes[300];
    };
    void* handedOver = nullptr;
    {
        vyx::GlobalBuffer<Record> buffer;
        ASSERT_TRUE(buffer);
        EXPECT_EQ(GlobalSize(GlobalHandle(buffer.get())), sizeof(Record));
        EXPECT_EQ(std::string(buffer->bytes, 300), std::string(300, '\0'));
        handedOver = buffer.release();
        EXPECT_FALSE(buffer);
    }
    // Still ours after the owner went away; given back as the release exports do.
    ASSERT_NE(GlobalHandle(handedOver), nullptr);
    EXPECT_EQ(GlobalFlags(GlobalHandle(handedOver)) & GMEM_LOCKCOUNT, 1u);
    vyx::ReleaseGlobal(handedOver);
}

TEST(GlobalBuffer, RefusesCountsWhoseSizeDoesNotFit32Bits) {
    struct Tray {
        char bytes[264];
    };
    // Within 32 bits but beyond what a 32-bit process can have: only the system refuses it. A
    // 64-bit process may be given it, so there it is not asked for.
    if (sizeof(void*) == 4) {
        vyx::GlobalBuffer<Tray> tooMany(0x80000000u / 264 * 2);
        EXPECT_FALSE(tooMany);
    }
    // Beyond 32 bits: the bound refuses it on both architectures, whatever memory there is.
    vyx::GlobalBuffer<Tray> huge(0xFFFFFFFFu / 264 + 1);
    EXPECT_FALSE(huge);
    vyx::GlobalBuffer<Tray> wrapping(SIZE_MAX / 264 + 2);
    EXPECT_FALSE(wrapping);
}

}  // namespace
