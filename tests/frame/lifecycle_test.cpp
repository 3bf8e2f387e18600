// Initialise, connect, disconnect, terminate: which module is chosen, what it is told, what stays.
#include <gtest/gtest.h>
#include <vyxbidi.h>

#include <cstring>
#include <memory>
#include <string>

#include "support/debug_trace.h"
#include "support/global_memory_watch.h"
#include "support/layout.h"
#include "support/scratch.h"
#include "support/scripted_module.h"

namespace {

using vyxtest::CallerPathFor;
using vyxtest::DebugTraceCapture;
using vyxtest::ScratchDirectory;
using vyxtest::ScriptedModule;
using vyxtest::VariantPath;

const std::wstring kFixedSnm = L"D:\\BIDITST\\SNMQRY32.DLL";
const std::wstring kFixedCin = L"D:\\BIDITST\\VYXQUERY.DLL";
BiDiHandle* const kUnwritten = reinterpret_cast<BiDiHandle*>(0xdeadbeef);

std::string Ansi(const std::wstring& text) {
    std::string out(text.size() * 2 + 1, '\0');
    const int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, out.data(),
                                      static_cast<int>(out.size()), nullptr, nullptr);
    out.resize(n > 0 ? n - 1 : 0);
    return out;
}

bool IsLoaded(const std::wstring& path) { return GetModuleHandleW(path.c_str()) != nullptr; }

// ---- Choosing the query module ---------------------------------------------------------------

struct CandidateCase {
    const char* label;
    const wchar_t* derivedSnm;  // file names placed in the scratch folder (or null)
    bool fixedSnm;
    const wchar_t* derivedCin;
    bool fixedCin;
    const wchar_t* winner;  // which placed file the handle must hold
    LONG kind;
};

TEST(Initialize, TriesTheFourCandidatesInOrder) {
    const CandidateCase cases[] = {
        {"derived SNM first", L"printer.SNM", true, L"printer.CIN", true, L"printer.SNM", 0},
        {"fixed SNM before derived CIN", nullptr, true, L"printer.CIN", true, L"fixed SNM", 0},
        {"derived CIN", nullptr, false, L"printer.CIN", true, L"printer.CIN", 1},
        {"fixed CIN last", nullptr, false, nullptr, true, L"fixed CIN", 1},
    };
    for (const CandidateCase& c : cases) {
        SCOPED_TRACE(c.label);
        ScratchDirectory scratch;
        const std::wstring full = VariantPath(L"full");
        std::wstring winner;
        auto place = [&](const wchar_t* name, const std::wstring& target) {
            const std::wstring placed = scratch.Place(full, target);
            if (std::wstring(c.winner) == name) {
                winner = placed;
            }
        };
        if (c.derivedSnm) place(c.derivedSnm, c.derivedSnm);
        if (c.fixedSnm) place(L"fixed SNM", kFixedSnm);
        if (c.derivedCin) place(c.derivedCin, c.derivedCin);
        if (c.fixedCin) place(L"fixed CIN", kFixedCin);
        ASSERT_FALSE(winner.empty());
        {
            ScriptedModule module(winner);
            BiDiHandle* handle = kUnwritten;
            ASSERT_EQ(VyxBiDi_Initialize(&handle, (scratch.Path() + L"printer.DLL").c_str()),
                      BIDI_OK);
            EXPECT_EQ(handle->module, module.module());
            EXPECT_EQ(handle->kind, c.kind);
            EXPECT_EQ(handle->queryContext, nullptr);
            ASSERT_EQ(module.CallNames(), std::vector<std::string>{"VyxQuery_Initialize"});
            EXPECT_EQ(module.Calls()[0].context, &handle->queryContext);
            // The same, byte by byte, where a caller of this architecture reads them.
            const auto* bytes = reinterpret_cast<const BYTE*>(handle);
            LONG kind = -1;
            std::memcpy(&kind, bytes + vyxtest::layout::kHandleKind, sizeof kind);
            EXPECT_EQ(kind, c.kind);
            EXPECT_EQ(reinterpret_cast<const BYTE*>(module.Calls()[0].context),
                      bytes + vyxtest::layout::kHandleQueryContext);
            EXPECT_EQ(module.Calls()[0].args[0].text, Ansi(scratch.Path() + L"printer.DLL"));
            EXPECT_EQ(module.Calls()[0].args[0].blockBytes, 256u);
            EXPECT_EQ(VyxBiDi_Terminate(handle), BIDI_OK);
        }
        EXPECT_FALSE(IsLoaded(winner)) << "terminate unloads the module";
    }
}

TEST(Initialize, PassesOverQueryModulesOfTheOtherArchitecture) {
    const std::wstring other = VariantPath(L"other_architecture");
    // The premise: the file is there, and the system refuses it in this process for its format.
    SetLastError(0);
    ASSERT_EQ(LoadLibraryW(other.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));

    enum Placed { kNothing, kOther, kOwn };
    const struct {
        const char* label;
        Placed derivedSnm, fixedSnm, derivedCin, fixedCin;
        int winner;  // the candidate (0 to 3) the handle must hold, or -1 for none
    } cases[] = {
        {"derived SNM of the other architecture", kOther, kOwn, kOwn, kOwn, 1},
        {"both SNM candidates of the other one", kOther, kOther, kOwn, kOwn, 2},
        {"only the last candidate of this one", kOther, kOther, kOther, kOwn, 3},
        {"a null path: the fixed SNM of the other one", kNothing, kOther, kNothing, kOwn, 3},
        {"every candidate of the other one", kOther, kOther, kOther, kOther, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ScratchDirectory scratch;
        const std::wstring targets[] = {L"printer.SNM", kFixedSnm, L"printer.CIN", kFixedCin};
        const Placed placed[] = {c.derivedSnm, c.fixedSnm, c.derivedCin, c.fixedCin};
        std::wstring winner;
        for (int i = 0; i < 4; ++i) {
            if (placed[i] != kNothing) {
                const std::wstring at =
                    scratch.Place(placed[i] == kOther ? other : VariantPath(L"full"), targets[i]);
                if (i == c.winner) {
                    winner = at;
                }
            }
        }
        const bool nullPath = c.derivedSnm == kNothing;
        const std::wstring caller = scratch.Path() + L"printer.DLL";
        BiDiHandle* handle = kUnwritten;
        if (c.winner < 0) {
            EXPECT_EQ(VyxBiDi_Initialize(&handle, caller.c_str()), BIDI_ERR_FAILED);
            EXPECT_EQ(handle, kUnwritten);
            continue;
        }
        ScriptedModule module(winner);
        ASSERT_EQ(VyxBiDi_Initialize(&handle, nullPath ? nullptr : caller.c_str()), BIDI_OK);
        EXPECT_EQ(handle->module, module.module());
        EXPECT_EQ(handle->kind, c.winner < 2 ? 0 : 1);
        EXPECT_EQ(module.CallNames(), std::vector<std::string>{"VyxQuery_Initialize"});
        EXPECT_EQ(VyxBiDi_Terminate(handle), BIDI_OK);
    }
}

TEST(Initialize, FailsWhenNoCandidateLoads) {
    ScratchDirectory scratch;
    BiDiHandle* handle = kUnwritten;
    EXPECT_EQ(VyxBiDi_Initialize(&handle, (scratch.Path() + L"printer.DLL").c_str()),
              BIDI_ERR_FAILED);
    EXPECT_EQ(handle, kUnwritten);
    EXPECT_EQ(VyxBiDi_Initialize(&handle, nullptr), BIDI_ERR_FAILED);
    EXPECT_EQ(handle, kUnwritten);
}

TEST(Initialize, NullPathTriesOnlyTheFixedPathsAndSendsAnEmptyPath) {
    ScratchDirectory scratch;
    ScriptedModule module(scratch.Place(VariantPath(L"full"), kFixedCin));
    BiDiHandle* handle = nullptr;
    ASSERT_EQ(VyxBiDi_Initialize(&handle, nullptr), BIDI_OK);
    EXPECT_EQ(handle->module, module.module());
    EXPECT_EQ(handle->kind, 1);
    ASSERT_EQ(module.Calls().size(), 1u);
    EXPECT_EQ(module.Calls()[0].args[0].text, "");
    EXPECT_EQ(module.Calls()[0].args[0].block, std::string(256, '\0'));
    EXPECT_EQ(VyxBiDi_Terminate(handle), BIDI_OK);
}

TEST(Initialize, ReplacesTheLastThreeCharactersBlindly) {
    struct {
        const char* label;
        std::wstring callerName;  // relative to the scratch folder ("" for a 3-character path)
        std::wstring moduleFile;  // where the derived name leads
    } cases[] = {
        // LoadLibraryW adds ".dll" to a name without an extension.
        {"no extension", L"printerXYZ", L"printerSNM.dll"},
        {"short extension", L"printer.x", L"printeSNM.dll"},
        {"long extension", L"printer.json", L"printer.jSNM"},
        {"three characters: the name is SNM itself", L"", L"SNM.dll"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ScratchDirectory scratch;
        ScriptedModule module(scratch.Place(VariantPath(L"full"), c.moduleFile));
        // A bare "SNM" is searched for, among other places, in the current folder.
        wchar_t previous[MAX_PATH];
        GetCurrentDirectoryW(MAX_PATH, previous);
        SetCurrentDirectoryW(scratch.Path().c_str());
        const std::wstring caller = c.callerName.empty() ? L"abc" : scratch.Path() + c.callerName;
        BiDiHandle* handle = nullptr;
        const LONG result = VyxBiDi_Initialize(&handle, caller.c_str());
        SetCurrentDirectoryW(previous);
        ASSERT_EQ(result, BIDI_OK);
        EXPECT_EQ(handle->module, module.module());
        EXPECT_EQ(handle->kind, 0);
        EXPECT_EQ(module.Calls()[0].args[0].text, Ansi(caller));
        EXPECT_EQ(VyxBiDi_Terminate(handle), BIDI_OK);
    }
}

TEST(Initialize, OnlyACallersPathOf3To127CharactersDerivesAModuleName) {
    ScratchDirectory scratch(vyxtest::ParentWithRoomFor(128));
    const std::wstring full = VariantPath(L"full");
    ScriptedModule fixed(scratch.Place(full, kFixedSnm));
    const struct {
        const char* label;
        std::wstring caller;
        bool derives;  // whether the module derived from the path wins over the fixed one
    } cases[] = {
        {"2 characters", L"ab", false},
        {"127 characters", scratch.PathOfLength(127, L".DLL"), true},
        {"128 characters", scratch.PathOfLength(128, L".DLL"), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        // The derived module exists wherever the path has one, so a path that derived a name
        // when it should not would load it instead of the fixed one.
        std::unique_ptr<ScriptedModule> derived;
        if (c.caller.size() >= 3) {
            derived = std::make_unique<ScriptedModule>(
                scratch.Place(full, c.caller.substr(0, c.caller.size() - 3) + L"SNM"));
        }
        ScriptedModule& winner = c.derives ? *derived : fixed;
        BiDiHandle* handle = nullptr;
        ASSERT_EQ(VyxBiDi_Initialize(&handle, c.caller.c_str()), BIDI_OK);
        EXPECT_EQ(handle->module, winner.module());
        EXPECT_EQ(winner.Calls().back().args[0].text, Ansi(c.caller));
        EXPECT_EQ(VyxBiDi_Terminate(handle), BIDI_OK);
    }
}

TEST(Initialize, PathWhoseAnsiFormExceeds255BytesIsRefusedBeforeLoading) {
    ScratchDirectory scratch;
    const std::wstring fixed = scratch.Place(VariantPath(L"full"), kFixedSnm);
    BiDiHandle* handle = kUnwritten;
    EXPECT_EQ(VyxBiDi_Initialize(&handle, std::wstring(256, L'p').c_str()), BIDI_ERR_FAILED);
    EXPECT_EQ(handle, kUnwritten);
    EXPECT_FALSE(IsLoaded(fixed));

    // 255 bytes still fit.
    ScriptedModule module(fixed);
    ASSERT_EQ(VyxBiDi_Initialize(&handle, std::wstring(255, L'p').c_str()), BIDI_OK);
    EXPECT_EQ(VyxBiDi_Terminate(handle), BIDI_OK);
}

TEST(Initialize, NullHandleAddressFailsAndLoadsNothing) {
    ScratchDirectory scratch;
    const std::wstring snm = scratch.Place(VariantPath(L"full"), L"printer.SNM");
    EXPECT_EQ(VyxBiDi_Initialize(nullptr, (scratch.Path() + L"printer.DLL").c_str()),
              BIDI_ERR_FAILED);
    EXPECT_FALSE(IsLoaded(snm));
}

TEST(Initialize, ModuleWithoutInitializeFailsWithoutTryingTheOtherFamily) {
    ScratchDirectory scratch;
    const std::wstring snm =
        scratch.Place(VariantPath(L"without_VyxQuery_Initialize"), L"printer.SNM");
    const std::wstring cin = scratch.Place(VariantPath(L"full"), L"printer.CIN");
    BiDiHandle* handle = kUnwritten;
    EXPECT_EQ(VyxBiDi_Initialize(&handle, (scratch.Path() + L"printer.DLL").c_str()),
              BIDI_ERR_FAILED);
    EXPECT_EQ(handle, kUnwritten);
    EXPECT_FALSE(IsLoaded(snm)) << "a module that failed to initialise is unloaded";
    EXPECT_FALSE(IsLoaded(cin));
}

TEST(Initialize, ModuleRefusingToInitialiseGivesFailedWhateverItsCode) {
    for (LONG code : {LONG{1}, LONG{-1}, BIDI_ERR_NO_ENTRY_POINT, LONG{0x12345}}) {
        SCOPED_TRACE(code);
        const std::wstring path = VariantPath(L"full");
        {
            ScriptedModule module(path);
            module.Returns(vyxquery::VyxQuery_Initialize, code);
            BiDiHandle* handle = kUnwritten;
            EXPECT_EQ(VyxBiDi_Initialize(&handle, CallerPathFor(L"full").c_str()),
                      BIDI_ERR_FAILED);
            EXPECT_EQ(handle, kUnwritten);
            EXPECT_EQ(module.CallNames(), std::vector<std::string>{"VyxQuery_Initialize"});
        }
        EXPECT_FALSE(IsLoaded(path)) << "the library kept no reference of its own";
    }
}

TEST(Initialize, AllocationFailureGivesFailedWithEverythingReleased) {
    const std::wstring path = VariantPath(L"full");
    for (int failing = 1; failing <= 2; ++failing) {
        SCOPED_TRACE(failing);
        {
            ScriptedModule module(path);
            vyxtest::GlobalMemoryWatch memory;
            memory.FailAllocation(failing);
            BiDiHandle* handle = kUnwritten;
            EXPECT_EQ(VyxBiDi_Initialize(&handle, CallerPathFor(L"full").c_str()), BIDI_ERR_FAILED);
            EXPECT_EQ(handle, kUnwritten);
            EXPECT_TRUE(module.Calls().empty());
            EXPECT_TRUE(memory.LiveBlocks().empty());
        }
        EXPECT_FALSE(IsLoaded(path));
    }
}

TEST(Initialize, SuccessKeepsOnlyTheHandle) {
    ScriptedModule module(VariantPath(L"full"));
    vyxtest::GlobalMemoryWatch memory;
    BiDiHandle* handle = nullptr;
    ASSERT_EQ(VyxBiDi_Initialize(&handle, CallerPathFor(L"full").c_str()), BIDI_OK);
    ASSERT_EQ(memory.LiveBlocks().size(), 1u);
    EXPECT_TRUE(memory.IsLive(handle));
    EXPECT_EQ(memory.LiveBlocks().begin()->second, vyxtest::layout::kHandleSize);
    EXPECT_EQ(VyxBiDi_Terminate(handle), BIDI_OK);
    EXPECT_TRUE(memory.LiveBlocks().empty());
}

// ---- Terminate -----------------------------------------------------------------------------

class Connected : public ::testing::Test {
protected:
    explicit Connected(const wchar_t* variant = L"full")
        : variant_(variant), module_(VariantPath(variant)) {}

    void SetUp() override {
        ASSERT_EQ(VyxBiDi_Initialize(&handle_, CallerPathFor(variant_).c_str()), BIDI_OK);
        module_.ClearCalls();
    }
    void TearDown() override {
        if (handle_) {
            module_.Returns(vyxquery::VyxQuery_Terminate, 0);
            EXPECT_EQ(VyxBiDi_Terminate(handle_), BIDI_OK);
        }
    }

    const wchar_t* variant_;
    ScriptedModule module_;
    BiDiHandle* handle_ = nullptr;
};

TEST_F(Connected, TerminateTracesFirstThenEndsTheModule) {
    DebugTraceCapture trace;
    std::size_t tracesBeforeCall = 0;
    module_.On(vyxquery::VyxQuery_Terminate, [&](VyxQueryContext* context) {
        tracesBeforeCall = trace.Lines().size();
        EXPECT_EQ(context, &handle_->queryContext);
        return LONG{0};
    });
    EXPECT_EQ(VyxBiDi_Terminate(handle_), BIDI_OK);
    handle_ = nullptr;
    EXPECT_EQ(trace.Lines(), std::vector<std::wstring>{L"VyxBiDi_Terminate"});
    EXPECT_EQ(tracesBeforeCall, 1u);
    EXPECT_EQ(module_.CallNames(), std::vector<std::string>{"VyxQuery_Terminate"});
}

TEST_F(Connected, RefusedTerminateKeepsTheHandleUsable) {
    module_.Returns(vyxquery::VyxQuery_Terminate, 7);
    EXPECT_EQ(VyxBiDi_Terminate(handle_), 7);
    EXPECT_EQ(VyxBiDi_Connect(handle_, nullptr, nullptr), BIDI_OK);
    EXPECT_EQ(VyxBiDi_Terminate(handle_), 7);
    EXPECT_EQ(module_.CallNames(), (std::vector<std::string>{
                                       "VyxQuery_Terminate", "VyxQuery_Connect",
                                       "VyxQuery_Terminate"}));
}

TEST_F(Connected, NullHandleIsRefusedAfterTheTrace) {
    DebugTraceCapture trace;
    EXPECT_EQ(VyxBiDi_Terminate(nullptr), BIDI_ERR_BAD_ARGUMENT);
    EXPECT_EQ(VyxBiDi_Connect(nullptr, L"a", L"b"), BIDI_ERR_BAD_ARGUMENT);
    EXPECT_EQ(VyxBiDi_Disconnect(nullptr), BIDI_ERR_BAD_ARGUMENT);
    EXPECT_EQ(trace.Lines(), (std::vector<std::wstring>{L"VyxBiDi_Terminate", L"VyxBiDi_Connect",
                                                        L"VyxBiDi_Disconnect"}));
    EXPECT_TRUE(module_.Calls().empty());
}

// ---- Connect and disconnect ----------------------------------------------------------------

TEST_F(Connected, ConnectSendsBothStringsInTheirOwnBlocks) {
    DebugTraceCapture trace;
    module_.Returns(vyxquery::VyxQuery_Connect, 42);
    EXPECT_EQ(VyxBiDi_Connect(handle_, L"printer-7", L"port"), 42);
    ASSERT_EQ(module_.Calls().size(), 1u);
    const auto& call = module_.Calls()[0];
    EXPECT_EQ(call.context, &handle_->queryContext);
    EXPECT_EQ(call.args[0].text, "printer-7");
    EXPECT_EQ(call.args[0].blockBytes, 128u);
    EXPECT_EQ(call.args[0].block, std::string("printer-7") + std::string(119, '\0'));
    EXPECT_EQ(call.args[1].text, "port");
    EXPECT_EQ(call.args[1].blockBytes, 64u);
    EXPECT_EQ(trace.Lines(), std::vector<std::wstring>{L"VyxBiDi_Connect"});
}

TEST_F(Connected, ConnectPassesNullStringsAsNull) {
    EXPECT_EQ(VyxBiDi_Connect(handle_, nullptr, nullptr), BIDI_OK);
    EXPECT_EQ(VyxBiDi_Connect(handle_, L"", nullptr), BIDI_OK);
    ASSERT_EQ(module_.Calls().size(), 2u);
    EXPECT_EQ(module_.Calls()[0].args[0].raw, 0u);
    EXPECT_EQ(module_.Calls()[0].args[1].raw, 0u);
    EXPECT_EQ(module_.Calls()[1].args[0].text, "");
    EXPECT_EQ(module_.Calls()[1].args[1].raw, 0u);
}

TEST_F(Connected, ConnectRefusesStringsThatDoNotFitTheirBlocks) {
    const bool dbcs = GetACP() == 932;
    struct {
        const char* label;
        std::wstring first, second;
        LONG expected;
    } cases[] = {
        {"first at 127 bytes", std::wstring(127, L'a'), L"b", BIDI_OK},
        {"first at 128 bytes", std::wstring(128, L'a'), L"b", BIDI_ERR_BAD_ARGUMENT},
        {"second at 63 bytes", L"a", std::wstring(63, L'b'), BIDI_OK},
        {"second at 64 bytes", L"a", std::wstring(64, L'b'), BIDI_ERR_BAD_ARGUMENT},
        {"double-byte second at 62 bytes", L"a", std::wstring(31, dbcs ? L'\u4e2d' : L'b'), BIDI_OK},
        {"double-byte second at 64 bytes", L"a", std::wstring(dbcs ? 32 : 64, dbcs ? L'\u4e2d' : L'b'),
         BIDI_ERR_BAD_ARGUMENT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        module_.ClearCalls();
        EXPECT_EQ(VyxBiDi_Connect(handle_, c.first.c_str(), c.second.c_str()), c.expected);
        EXPECT_EQ(module_.Calls().size(), c.expected == BIDI_OK ? 1u : 0u);
    }
}

TEST_F(Connected, ConnectWithoutMemoryFailsWithoutCallingAndLeaksNothing) {
    vyxtest::GlobalMemoryWatch memory;
    for (int failing = 1; failing <= 2; ++failing) {
        memory.FailAllocation(failing);
        EXPECT_EQ(VyxBiDi_Connect(handle_, L"a", L"b"), BIDI_ERR_FAILED);
    }
    EXPECT_TRUE(module_.Calls().empty());
    EXPECT_TRUE(memory.LiveBlocks().empty());
    memory.FailAllocation(0);
    EXPECT_EQ(VyxBiDi_Connect(handle_, L"a", L"b"), BIDI_OK);
    EXPECT_TRUE(memory.LiveBlocks().empty());
}

TEST_F(Connected, DisconnectTracesAndPassesTheResultThrough) {
    DebugTraceCapture trace;
    module_.Returns(vyxquery::VyxQuery_Disconnect, -9);
    EXPECT_EQ(VyxBiDi_Disconnect(handle_), -9);
    EXPECT_EQ(module_.CallNames(), std::vector<std::string>{"VyxQuery_Disconnect"});
    EXPECT_EQ(module_.Calls()[0].context, &handle_->queryContext);
    EXPECT_EQ(trace.Lines(), std::vector<std::wstring>{L"VyxBiDi_Disconnect"});
}

// ---- Missing entry points ------------------------------------------------------------------

class WithoutConnect : public Connected {
protected:
    WithoutConnect() : Connected(L"without_VyxQuery_Connect") {}
};

TEST_F(WithoutConnect, ConnectGivesNoEntryPoint) {
    EXPECT_EQ(VyxBiDi_Connect(handle_, L"a", L"b"), BIDI_ERR_NO_ENTRY_POINT);
    EXPECT_TRUE(module_.Calls().empty());
}

class WithoutDisconnect : public Connected {
protected:
    WithoutDisconnect() : Connected(L"without_VyxQuery_Disconnect") {}
};

TEST_F(WithoutDisconnect, DisconnectGivesNoEntryPoint) {
    EXPECT_EQ(VyxBiDi_Disconnect(handle_), BIDI_ERR_NO_ENTRY_POINT);
    EXPECT_TRUE(module_.Calls().empty());
}

TEST(WithoutTerminate, TerminateNeverSucceedsAndKeepsTheModule) {
    const std::wstring path = VariantPath(L"without_VyxQuery_Terminate");
    ScriptedModule module(path);
    BiDiHandle* handle = nullptr;
    ASSERT_EQ(VyxBiDi_Initialize(&handle, CallerPathFor(L"without_VyxQuery_Terminate").c_str()),
              BIDI_OK);
    EXPECT_EQ(VyxBiDi_Terminate(handle), BIDI_ERR_NO_ENTRY_POINT);
    EXPECT_EQ(VyxBiDi_Terminate(handle), BIDI_ERR_NO_ENTRY_POINT);
    EXPECT_EQ(handle->module, module.module());
    // Release what the library could not, so later tests start clean.
    FreeLibrary(handle->module);
    const HGLOBAL block = GlobalHandle(handle);
    GlobalUnlock(block);
    GlobalFree(block);
}

}  // namespace
