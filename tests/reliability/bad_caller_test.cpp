// Bad callers: every export against null handles, null addresses, null records, null, empty and
// over-long strings and strings without an ANSI form. Each is answered with its documented code,
// writes nothing of the caller's and leaves no block behind; the table the test prints is the
// contract in docs/robustness.md.
#include <gtest/gtest.h>
#include <vyxbidi.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/exports.h"
#include "support/global_memory_watch.h"
#include "support/scratch.h"
#include "support/scripted_module.h"

namespace {

using vyxtest::GlobalMemoryWatch;
using vyxtest::ScratchDirectory;
using vyxtest::ScriptedHandle;
using vyxtest::ScriptedModule;
using vyxtest::VariantPath;

// What every entry point of the scripted module answers, so that a passed-on call shows.
constexpr LONG kModuleAnswer = 0x600D;

enum Column {
    kNullHandle,
    kNullAddress,
    kNullRecord,
    kNullString,
    kEmptyString,
    kOnePast,
    kNoAnsiForm,
    kLongestFitting,
    kColumns
};
const char* const kColumnTitles[kColumns] = {
    "null handle",  "null output address", "address of a null record",
    "null string",  "empty string",        "one past the limit",
    "no ANSI form", "longest that fits",
};

enum class Answer { Ok, Failed, BadArgument, PassedOn, Other };

const char* AnswerText(Answer a) {
    switch (a) {
        case Answer::Ok:
            return "`BIDI_OK`";
        case Answer::Failed:
            return "`BIDI_ERR_FAILED`";
        case Answer::BadArgument:
            return "`BIDI_ERR_BAD_ARGUMENT`";
        case Answer::PassedOn:
            return "passed on";
        default:
            return "?";
    }
}

// The caller's variables, between guard areas; filled with 0xA5 before each call.
struct Caller {
    BYTE g0[32];
    BiDiHandle* handle;
    FeatureList* list;
    FeatureInfo* info;
    TrayRecord* trays;
    TonerRecord* toners;
    LONG count;
    InstallablesRecord* installables;
    DWORD presence;
    TemplateList templates;
    BYTE g1[32];
};

// Strings around each block's limit (bytes with the terminator).
std::wstring Ascii(std::size_t length) {
    return std::wstring(length, L'w');
}
// Characters without a form in either test code page (Thai, a lone surrogate): sent raw, a byte
// per unit, and so measured by their count.
const std::wstring kWithoutAnsiForm = L"\x0E01\x0E02\xD800z";

struct World {
    ScriptedHandle& h;
    Caller& c;
    GlobalMemoryWatch& watch;
    // The blocks of the records MakeRecords made, taken while they were live: a released record's
    // pointer must not be shown to the heap again.
    std::vector<HGLOBAL> made;
};

struct BadCall {
    const char* exportName;
    Column column;
    Answer expected;
    std::function<LONG(World&)> call;
    // Runs before the guard snapshot: makes the records a release export is given.
    std::function<void(World&)> prepare = nullptr;
    // Gives back what a passed-on call handed out, or what a refused release kept.
    std::function<void(World&)> cleanup = nullptr;
};

// Records made through the scripted module's temporary answers, for the release exports.
void MakeRecords(World& w) {
    ScriptedModule& m = w.h.module();
    m.On(vyxquery::Attribute_GetNumTrays,
         [](VyxQueryContext*, LONG* n) { return *n = 1, LONG{0}; });
    m.On(vyxquery::Attribute_GetNumColors,
         [](VyxQueryContext*, LONG* n) { return *n = 1, LONG{0}; });
    m.On(vyxquery::JobTPlate_QueryTemplateNames,
         [](VyxQueryContext*, LONG* n) { return *n = 1, LONG{0}; });
    m.Returns(vyxquery::Attribute_GetIndexedTrays, 0);
    m.Returns(vyxquery::Attribute_GetIndexedColors, 0);
    m.Returns(vyxquery::Attribute_GetSorter, 0);
    m.Returns(vyxquery::JobTPlate_GetTemplateNames, 0);
    ASSERT_EQ(ClrBiDi_GetFeatureList(w.h, &w.c.list), BIDI_OK);
    m.Returns(vyxquery::Color_SetCurrentKey, 0);
    ASSERT_EQ(ClrBiDi_GetFeatureInfo(w.h, L"key", &w.c.info), kModuleAnswer);
    ASSERT_EQ(Attrib_GetPaperConsumables(w.h, &w.c.trays, &w.c.count), BIDI_OK);
    ASSERT_EQ(Attrib_GetTonerConsumables(w.h, &w.c.toners, &w.c.count), BIDI_OK);
    ASSERT_EQ(Attrib_GetInstallableOptions(w.h, &w.c.installables, &w.c.presence), BIDI_OK);
    // A names list: both template release exports take it.
    ASSERT_EQ(JobTplate_GetNames(w.h, &w.c.templates), BIDI_OK);
    const Caller& c = w.c;
    for (const void* record :
         {static_cast<const void*>(c.list), static_cast<const void*>(c.info),
          static_cast<const void*>(c.trays), static_cast<const void*>(c.toners),
          static_cast<const void*>(c.installables),
          static_cast<const void*>(c.templates.templates)}) {
        w.made.push_back(GlobalHandle(record));
    }
}

bool StillHeld(const World& w, std::size_t which) {
    return w.made.size() > which && w.watch.LiveBlocks().count(w.made[which]) != 0;
}

// Gives back whatever of MakeRecords a case left.
void ReleaseRecords(World& w) {
    BiDiHandle* h = w.h;
    Caller& c = w.c;
    if (StillHeld(w, 0)) {
        ClrBiDi_DeleteFeatureList(h, &c.list);
    }
    if (StillHeld(w, 1)) {
        ClrBiDi_DeleteFeatureInfo(h, &c.info);
    }
    if (StillHeld(w, 2)) {
        Attrib_FreePaperConsBuffers(h, &c.trays);
    }
    if (StillHeld(w, 3)) {
        Attrib_FreeTonerConsBuffers(h, &c.toners);
    }
    if (StillHeld(w, 4)) {
        Attrib_FreeInstallablesBuffers(h, &c.installables);
    }
    if (StillHeld(w, 5)) {
        JobTplate_GetAll_Free(h, &c.templates);
    }
}

void NullRecords(World& w) {
    w.c.list = nullptr;
    w.c.info = nullptr;
    w.c.trays = nullptr;
    w.c.toners = nullptr;
    w.c.installables = nullptr;
    w.c.templates = TemplateList{nullptr, 0};
}

std::vector<BadCall> Cases(const std::wstring& noAnsiPath) {
    using A = Answer;
    auto h = [](World& w) -> BiDiHandle* { return w.h; };
    auto deleteInfo = [](World& w) { ClrBiDi_DeleteFeatureInfo(w.h, &w.c.info); };
    auto terminate = [](World& w) { VyxBiDi_Terminate(w.c.handle); };
    std::vector<BadCall> cases = {
        {"VyxBiDi_Initialize", kNullAddress, A::Failed,
         [](World&) {
             return VyxBiDi_Initialize(nullptr, vyxtest::CallerPathFor(L"full").c_str());
         }},
        {"VyxBiDi_Initialize", kNullString, A::PassedOn,
         [](World& w) { return VyxBiDi_Initialize(&w.c.handle, nullptr); }, nullptr, terminate},
        {"VyxBiDi_Initialize", kEmptyString, A::PassedOn,
         [](World& w) { return VyxBiDi_Initialize(&w.c.handle, L""); }, nullptr, terminate},
        {"VyxBiDi_Initialize", kOnePast, A::Failed,
         [](World& w) { return VyxBiDi_Initialize(&w.c.handle, Ascii(256).c_str()); }},
        {"VyxBiDi_Initialize", kNoAnsiForm, A::PassedOn,
         [noAnsiPath](World& w) { return VyxBiDi_Initialize(&w.c.handle, noAnsiPath.c_str()); },
         nullptr, terminate},
        {"VyxBiDi_Initialize", kLongestFitting, A::PassedOn,
         [](World& w) { return VyxBiDi_Initialize(&w.c.handle, Ascii(255).c_str()); }, nullptr,
         terminate},
        {"VyxBiDi_Terminate", kNullHandle, A::BadArgument,
         [](World&) { return VyxBiDi_Terminate(nullptr); }},
        {"VyxBiDi_Disconnect", kNullHandle, A::BadArgument,
         [](World&) { return VyxBiDi_Disconnect(nullptr); }},
        {"ClrBiDi_CloseSession", kNullHandle, A::BadArgument,
         [](World&) { return ClrBiDi_CloseSession(nullptr); }},
        {"Attrib_CloseSession", kNullHandle, A::BadArgument,
         [](World&) { return Attrib_CloseSession(nullptr); }},
        {"Misc_GetEMailNotification", kNullHandle, A::BadArgument,
         [](World& w) { return Misc_GetEMailNotification(nullptr, &w.c.count); }},
        {"Misc_GetEMailNotification", kNullAddress, A::PassedOn,
         [h](World& w) { return Misc_GetEMailNotification(h(w), nullptr); }},

        {"ClrBiDi_GetFeatureList", kNullHandle, A::BadArgument,
         [](World& w) { return ClrBiDi_GetFeatureList(nullptr, &w.c.list); }},
        {"ClrBiDi_GetFeatureList", kNullAddress, A::BadArgument,
         [h](World& w) { return ClrBiDi_GetFeatureList(h(w), nullptr); }},
        {"ClrBiDi_GetFeatureInfo", kNullHandle, A::BadArgument,
         [](World& w) { return ClrBiDi_GetFeatureInfo(nullptr, L"key", &w.c.info); }},
        {"ClrBiDi_GetFeatureInfo", kNullAddress, A::BadArgument,
         [h](World& w) { return ClrBiDi_GetFeatureInfo(h(w), L"key", nullptr); }},
        {"ClrBiDi_GetFeatureInfo", kNullString, A::BadArgument,
         [h](World& w) { return ClrBiDi_GetFeatureInfo(h(w), nullptr, &w.c.info); }},
        {"ClrBiDi_GetFeatureInfo", kEmptyString, A::BadArgument,
         [h](World& w) { return ClrBiDi_GetFeatureInfo(h(w), L"", &w.c.info); }},
        {"ClrBiDi_GetFeatureInfo", kOnePast, A::BadArgument,
         [h](World& w) { return ClrBiDi_GetFeatureInfo(h(w), Ascii(256).c_str(), &w.c.info); }},
        {"ClrBiDi_GetFeatureInfo", kNoAnsiForm, A::PassedOn,
         [h](World& w) {
             return ClrBiDi_GetFeatureInfo(h(w), kWithoutAnsiForm.c_str(), &w.c.info);
         },
         nullptr, deleteInfo},
        {"ClrBiDi_GetFeatureInfo", kLongestFitting, A::PassedOn,
         [h](World& w) { return ClrBiDi_GetFeatureInfo(h(w), Ascii(255).c_str(), &w.c.info); },
         nullptr, deleteInfo},

        {"Attrib_GetPaperConsumables", kNullHandle, A::Failed,
         [](World& w) { return Attrib_GetPaperConsumables(nullptr, &w.c.trays, &w.c.count); }},
        {"Attrib_GetPaperConsumables", kNullAddress, A::Failed,
         [h](World& w) { return Attrib_GetPaperConsumables(h(w), nullptr, &w.c.count); }},
        {"Attrib_GetPaperConsumables", kNullAddress, A::Failed,
         [h](World& w) { return Attrib_GetPaperConsumables(h(w), &w.c.trays, nullptr); }},
        {"Attrib_GetTonerConsumables", kNullHandle, A::Failed,
         [](World& w) { return Attrib_GetTonerConsumables(nullptr, &w.c.toners, &w.c.count); }},
        {"Attrib_GetTonerConsumables", kNullAddress, A::Failed,
         [h](World& w) { return Attrib_GetTonerConsumables(h(w), nullptr, &w.c.count); }},
        {"Attrib_GetTonerConsumables", kNullAddress, A::Failed,
         [h](World& w) { return Attrib_GetTonerConsumables(h(w), &w.c.toners, nullptr); }},
        {"Attrib_GetInstallableOptions", kNullHandle, A::Failed,
         [](World& w) {
             return Attrib_GetInstallableOptions(nullptr, &w.c.installables, &w.c.presence);
         }},
        {"Attrib_GetInstallableOptions", kNullAddress, A::Failed,
         [h](World& w) { return Attrib_GetInstallableOptions(h(w), nullptr, &w.c.presence); }},
        {"Attrib_GetInstallableOptions", kNullAddress, A::Failed,
         [h](World& w) { return Attrib_GetInstallableOptions(h(w), &w.c.installables, nullptr); }},
        {"JobTplate_GetNames", kNullHandle, A::BadArgument,
         [](World& w) { return JobTplate_GetNames(nullptr, &w.c.templates); }},
        {"JobTplate_GetNames", kNullAddress, A::BadArgument,
         [h](World& w) { return JobTplate_GetNames(h(w), nullptr); }},
        {"JobTplate_GetAll", kNullHandle, A::BadArgument,
         [](World& w) { return JobTplate_GetAll(nullptr, &w.c.templates); }},
        {"JobTplate_GetAll", kNullAddress, A::BadArgument,
         [h](World& w) { return JobTplate_GetAll(h(w), nullptr); }},
    };

    // The release exports: a real record with a null handle, a null address, the address of a
    // null record. The colour deletes refuse a null handle and keep the record; the others never
    // look at the handle and release it.
    auto release = [&](const char* name, Answer nullHandle, Answer nullAddress, Answer nullRecord,
                       std::function<LONG(World&, BiDiHandle*, bool)> call) {
        cases.push_back({name, kNullHandle, nullHandle,
                         [call](World& w) { return call(w, nullptr, true); }, MakeRecords,
                         ReleaseRecords});
        cases.push_back({name, kNullAddress, nullAddress,
                         [call](World& w) { return call(w, w.h, false); }, MakeRecords,
                         ReleaseRecords});
        cases.push_back({name, kNullRecord, nullRecord,
                         [call](World& w) { return call(w, w.h, true); }, NullRecords});
    };
    release("ClrBiDi_DeleteFeatureList", A::BadArgument, A::BadArgument, A::BadArgument,
            [](World& w, BiDiHandle* h, bool address) {
                return ClrBiDi_DeleteFeatureList(h, address ? &w.c.list : nullptr);
            });
    release("ClrBiDi_DeleteFeatureInfo", A::BadArgument, A::BadArgument, A::BadArgument,
            [](World& w, BiDiHandle* h, bool address) {
                return ClrBiDi_DeleteFeatureInfo(h, address ? &w.c.info : nullptr);
            });
    release("Attrib_FreePaperConsBuffers", A::Ok, A::Ok, A::Ok,
            [](World& w, BiDiHandle* h, bool address) {
                return Attrib_FreePaperConsBuffers(h, address ? &w.c.trays : nullptr);
            });
    release("Attrib_FreeTonerConsBuffers", A::Ok, A::Ok, A::Ok,
            [](World& w, BiDiHandle* h, bool address) {
                return Attrib_FreeTonerConsBuffers(h, address ? &w.c.toners : nullptr);
            });
    release("Attrib_FreeInstallablesBuffers", A::Ok, A::Ok, A::Ok,
            [](World& w, BiDiHandle* h, bool address) {
                return Attrib_FreeInstallablesBuffers(h, address ? &w.c.installables : nullptr);
            });
    release("JobTplate_GetNames_Free", A::Ok, A::Ok, A::Ok,
            [](World& w, BiDiHandle* h, bool address) {
                return JobTplate_GetNames_Free(h, address ? &w.c.templates : nullptr);
            });
    release("JobTplate_GetAll_Free", A::Ok, A::Ok, A::Ok,
            [](World& w, BiDiHandle* h, bool address) {
                return JobTplate_GetAll_Free(h, address ? &w.c.templates : nullptr);
            });

    // Strings: a null handle, then each string position with each kind of bad string.
    struct Strings {
        const char* name;
        std::vector<std::size_t> limits;  // each string's block, bytes with the terminator
        std::function<LONG(BiDiHandle*, const std::vector<const wchar_t*>&)> call;
        bool nullable;
    };
    const Strings withStrings[] = {
        {"VyxBiDi_Connect",
         {128, 64},
         [](BiDiHandle* h, const std::vector<const wchar_t*>& s) {
             return VyxBiDi_Connect(h, s[0], s[1]);
         },
         true},
        {"ClrBiDi_OpenSession",
         {64, 64, 64, 64, 64, 64},
         [](BiDiHandle* h, const std::vector<const wchar_t*>& s) {
             return ClrBiDi_OpenSession(h, s[0], s[1], s[2], s[3], s[4], s[5]);
         },
         true},
        {"ClrBiDi_SelectOption",
         {256, 256},
         [](BiDiHandle* h, const std::vector<const wchar_t*>& s) {
             return ClrBiDi_SelectOption(h, s[0], s[1]);
         },
         true},
        {"Attrib_OpenSession",
         {16, 16},
         [](BiDiHandle* h, const std::vector<const wchar_t*>& s) {
             return Attrib_OpenSession(h, s[0], s[1]);
         },
         true},
    };
    for (const Strings& s : withStrings) {
        const std::size_t n = s.limits.size();
        auto with = [s, n](std::size_t position, std::wstring bad, bool null, bool nullHandle) {
            return [=](World& w) {
                std::vector<std::wstring> texts(n, L"ok");
                texts[position] = bad;
                std::vector<const wchar_t*> args;
                for (std::size_t i = 0; i < n; ++i) {
                    args.push_back(null && i == position ? nullptr : texts[i].c_str());
                }
                return s.call(nullHandle ? nullptr : w.h.get(), args);
            };
        };
        cases.push_back({s.name, kNullHandle, A::BadArgument, with(0, L"ok", false, true)});
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t limit = s.limits[i];
            cases.push_back({s.name, kNullString, A::PassedOn, with(i, L"", true, false)});
            cases.push_back({s.name, kEmptyString, A::PassedOn, with(i, L"", false, false)});
            cases.push_back(
                {s.name, kOnePast, A::BadArgument, with(i, Ascii(limit), false, false)});
            cases.push_back(
                {s.name, kNoAnsiForm, A::PassedOn, with(i, kWithoutAnsiForm, false, false)});
            cases.push_back(
                {s.name, kLongestFitting, A::PassedOn, with(i, Ascii(limit - 1), false, false)});
        }
    }
    return cases;
}

// The module's answers: every entry point kModuleAnswer, but a module that initialises and ends.
void ScriptAnswers(ScriptedModule& m) {
#define ANSWER_(name, params) m.Returns(vyxquery::name, kModuleAnswer);
    VYXQUERY_ENTRY_POINTS(ANSWER_)
#undef ANSWER_
    m.Returns(vyxquery::VyxQuery_Initialize, 0);
    m.Returns(vyxquery::VyxQuery_Terminate, 0);
}

Answer Classify(LONG result, bool moduleCalled) {
    if (moduleCalled && result == kModuleAnswer) {
        return Answer::PassedOn;
    }
    if (moduleCalled && result == BIDI_OK) {
        return Answer::PassedOn;  // VyxBiDi_Initialize: the module answered 0
    }
    switch (result) {
        case BIDI_OK:
            return Answer::Ok;
        case BIDI_ERR_FAILED:
            return Answer::Failed;
        case BIDI_ERR_BAD_ARGUMENT:
            return Answer::BadArgument;
        default:
            return Answer::Other;
    }
}

TEST(BadCallers, EveryExportAnswersEachBadInputWithItsDocumentedCode) {
    // A null or short path loads the module at the fixed path; a path of characters without an
    // ANSI form loads its own copy. Each copy is scripted like the handle's module.
    ScratchDirectory scratch;
    ScriptedModule fixed(scratch.Place(VariantPath(L"full"), L"D:\\BIDITST\\SNMQRY32.DLL"));
    const std::wstring noAnsiPath = scratch.Path() + L"\x0E01\x0E02.dll";
    ScriptedModule noAnsi(scratch.Place(VariantPath(L"full"), L"\x0E01\x0E02.SNM"));
    ScriptAnswers(fixed);
    ScriptAnswers(noAnsi);
    ScriptedHandle handle;
    ScriptAnswers(handle.module());

    std::map<std::pair<std::string, int>, std::vector<Answer>> seen;
    const std::vector<BadCall> cases = Cases(noAnsiPath);
    for (const BadCall& bad : cases) {
        SCOPED_TRACE(std::string(bad.exportName) + ", " + kColumnTitles[bad.column]);
        Caller c;
        std::memset(&c, 0xA5, sizeof c);
        GlobalMemoryWatch watch;
        World w{handle, c, watch, {}};
        if (bad.prepare) {
            bad.prepare(w);
            ScriptAnswers(handle.module());
        }
        for (ScriptedModule* m : {&handle.module(), &fixed, &noAnsi}) {
            m->ClearCalls();
        }
        const Caller before = c;
        const LONG result = bad.call(w);
        const bool called =
            !handle.module().Calls().empty() || !fixed.Calls().empty() || !noAnsi.Calls().empty();
        const Answer answer = Classify(result, called);
        seen[{bad.exportName, bad.column}].push_back(answer);
        EXPECT_EQ(AnswerText(answer), std::string(AnswerText(bad.expected))) << "result " << result;
        if (bad.expected != Answer::PassedOn) {
            EXPECT_FALSE(called) << "a refused call reached the module";
            EXPECT_EQ(std::memcmp(&c, &before, sizeof c), 0) << "the caller's memory changed";
        }
        if (bad.cleanup) {
            bad.cleanup(w);
        }
        EXPECT_TRUE(watch.LiveBlocks().empty()) << "blocks left behind";
    }

    std::printf("bad callers: %zu bad calls over %zu exports\n\n", cases.size(),
                sizeof vyxtest::kAllExports / sizeof vyxtest::kAllExports[0]);
    std::printf("| Export |");
    for (const char* title : kColumnTitles) {
        std::printf(" %s |", title);
    }
    std::printf("\n|---|");
    for (int i = 0; i < kColumns; ++i) {
        std::printf("---|");
    }
    std::printf("\n");
    for (const char* name : vyxtest::kAllExports) {
        std::printf("| `%s` |", name);
        for (int column = 0; column < kColumns; ++column) {
            const auto found = seen.find({name, column});
            std::string cell = "–";
            if (found != seen.end()) {
                cell = AnswerText(found->second.front());
                for (Answer a : found->second) {
                    if (a != found->second.front()) {
                        cell = "varies";
                    }
                }
            }
            std::printf(" %s |", cell.c_str());
        }
        std::printf("\n");
    }
}

}  // namespace
