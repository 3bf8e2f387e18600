// Leaks: over 1000 repetitions of each getter and its release, of initialise and terminate, and of
// the other calls, the library gives back every global block it takes, and the process heap's
// busy blocks and bytes, counted with HeapWalk, do not grow.
#include <gtest/gtest.h>
#include <vyxbidi.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "process_heap.h"
#include "support/global_memory_watch.h"
#include "support/scripted_module.h"

namespace {

using vyxtest::CallerPathFor;
using vyxtest::Fill;
using vyxtest::ScriptedHandle;
using vyxtest::ScriptedModule;

constexpr int kWarmUp = 30;
constexpr int kRepetitions = 1000;

// A printer as the query module might describe it: a few colour keys with options, two trays,
// four toners, all nine installables, three job templates with items.
void ScriptPrinter(ScriptedModule& m, LONG failingTray = 0, LONG failingTemplate = -1) {
    auto key = std::make_shared<int>(0);
    m.On(vyxquery::Color_SetNextKey,
         [key](VyxQueryContext*) { return ++*key <= 5 ? LONG{0} : (*key = 0, LONG{1}); });
    m.On(vyxquery::Color_GetCurrentKey, [key](VyxQueryContext*, LPSTR a, LPSTR b) {
        Fill(a, "ColorMode" + std::to_string(*key));
        Fill(b, "Automatic");
        return LONG{0};
    });
    auto option = std::make_shared<int>(0);
    m.On(vyxquery::Color_SetCurrentKey, [option](VyxQueryContext*, LPCSTR) {
        *option = 0;
        return LONG{0};
    });
    m.On(vyxquery::Color_GetNextOption, [option](VyxQueryContext*, LPSTR a, LPSTR b) {
        if (++*option > 4) {
            return LONG{1};
        }
        Fill(a, "Option" + std::to_string(*option));
        Fill(b, "Vivid");
        return LONG{0};
    });
    m.On(vyxquery::Color_GetSelectedOption, [](VyxQueryContext*, LPCSTR, LPSTR a, LPSTR b) {
        Fill(a, "Option2");
        Fill(b, "Vivid");
        return LONG{0};
    });

    auto count = [](LONG n) {
        return [n](VyxQueryContext*, LONG* out) {
            *out = n;
            return LONG{0};
        };
    };
    m.On(vyxquery::Attribute_GetNumTrays, count(2));
    m.On(vyxquery::Attribute_GetNumColors, count(4));
    m.On(vyxquery::Attribute_GetIndexedTrays,
         [failingTray](VyxQueryContext*, LONG* index, LPSTR t1, LONG* v1, LONG* v2, LPSTR t2,
                       LPSTR t3, LPSTR t4) {
             Fill(t1, "Tray " + std::to_string(*index));
             Fill(t2, "A4");
             Fill(t3, "Plain");
             Fill(t4, "500");
             *v1 = 250;
             *v2 = 500;
             return *index == failingTray ? LONG{7} : LONG{0};
         });
    m.On(vyxquery::Attribute_GetIndexedColors,
         [](VyxQueryContext*, LONG* index, LPSTR text, LONG* v1, LONG* v2) {
             Fill(text, "Toner " + std::to_string(*index));
             *v1 = 80;
             *v2 = 100;
             return LONG{0};
         });
    auto installable = [](VyxQueryContext*, LPSTR a, LPSTR b) {
        Fill(a, "Installed");
        Fill(b, "Standard unit");
        return LONG{0};
    };
    m.On(vyxquery::Attribute_GetSorter, installable);
    m.On(vyxquery::Attribute_GetDuplex, installable);
    m.On(vyxquery::Attribute_GetLowerTray, installable);
    m.On(vyxquery::Attribute_GetFax, installable);
    m.On(vyxquery::Attribute_GetFinisher, installable);
    m.On(vyxquery::Attribute_GetFaceDownUnit, installable);
    m.On(vyxquery::Attribute_GetFinisherType, installable);
    m.On(vyxquery::Attribute_GetFinisherOption, installable);
    m.On(vyxquery::Attribute_GetMFPOption, installable);

    m.On(vyxquery::JobTPlate_QueryTemplateNames, count(3));
    m.On(vyxquery::JobTPlate_GetTemplateNames,
         [](VyxQueryContext*, LONG* index, LPSTR name, LONG* tag) {
             Fill(name, "Template " + std::to_string(*index));
             *tag = 100 + *index;
             return LONG{0};
         });
    m.On(vyxquery::JobTPlate_GetTemplateItems,
         [failingTemplate](VyxQueryContext*, TemplateRecord* record, LPSTR text, LONG*) {
             Fill(text, "Paper\tA4\nCopies\t2\nDuplex\tLong edge\n");
             return record->tag == 100 + failingTemplate ? LONG{9} : LONG{0};
         });
}

struct LeakCase {
    const char* name;
    LONG failingTray;
    LONG failingTemplate;
    // One repetition on a handle made from the scripted module.
    std::function<void(BiDiHandle*)> repeat;
};

void Expect(LONG result, LONG expected = BIDI_OK) {
    EXPECT_EQ(result, expected);
}

const LeakCase kCases[] = {
    {"VyxBiDi_Connect / VyxBiDi_Disconnect", 0, -1,
     [](BiDiHandle* h) {
         Expect(VyxBiDi_Connect(h, L"\\\\printer\\queue", L"port 9100"));
         Expect(VyxBiDi_Disconnect(h));
     }},
    {"ClrBiDi_OpenSession / ClrBiDi_CloseSession", 0, -1,
     [](BiDiHandle* h) {
         Expect(ClrBiDi_OpenSession(h, L"user", L"colour", nullptr, L"a", L"b", L"c"));
         Expect(ClrBiDi_CloseSession(h));
     }},
    {"ClrBiDi_GetFeatureList / ClrBiDi_DeleteFeatureList", 0, -1,
     [](BiDiHandle* h) {
         FeatureList* list = nullptr;
         Expect(ClrBiDi_GetFeatureList(h, &list));
         Expect(ClrBiDi_DeleteFeatureList(h, &list));
     }},
    {"ClrBiDi_GetFeatureInfo / ClrBiDi_DeleteFeatureInfo", 0, -1,
     [](BiDiHandle* h) {
         FeatureInfo* info = nullptr;
         Expect(ClrBiDi_GetFeatureInfo(h, L"ColorMode1", &info));
         Expect(ClrBiDi_DeleteFeatureInfo(h, &info));
     }},
    {"ClrBiDi_SelectOption", 0, -1,
     [](BiDiHandle* h) { Expect(ClrBiDi_SelectOption(h, L"ColorMode1", L"Option2")); }},
    {"Attrib_OpenSession / Attrib_CloseSession", 0, -1,
     [](BiDiHandle* h) {
         Expect(Attrib_OpenSession(h, L"user", L"pass"));
         Expect(Attrib_CloseSession(h));
     }},
    {"Attrib_GetPaperConsumables / Attrib_FreePaperConsBuffers", 0, -1,
     [](BiDiHandle* h) {
         TrayRecord* trays = nullptr;
         LONG count = 0;
         Expect(Attrib_GetPaperConsumables(h, &trays, &count));
         Expect(Attrib_FreePaperConsBuffers(h, &trays));
     }},
    {"Attrib_GetPaperConsumables failing at the second tray", 2, -1,
     [](BiDiHandle* h) {
         TrayRecord* trays = nullptr;
         LONG count = 0;
         Expect(Attrib_GetPaperConsumables(h, &trays, &count), 7);
     }},
    {"Attrib_GetTonerConsumables / Attrib_FreeTonerConsBuffers", 0, -1,
     [](BiDiHandle* h) {
         TonerRecord* toners = nullptr;
         LONG count = 0;
         Expect(Attrib_GetTonerConsumables(h, &toners, &count));
         Expect(Attrib_FreeTonerConsBuffers(h, &toners));
     }},
    {"Attrib_GetInstallableOptions / Attrib_FreeInstallablesBuffers", 0, -1,
     [](BiDiHandle* h) {
         InstallablesRecord* record = nullptr;
         DWORD presence = 0;
         Expect(Attrib_GetInstallableOptions(h, &record, &presence));
         Expect(Attrib_FreeInstallablesBuffers(h, &record));
     }},
    {"Misc_GetEMailNotification", 0, -1,
     [](BiDiHandle* h) {
         LONG setting = 0;
         Expect(Misc_GetEMailNotification(h, &setting));
     }},
    {"JobTplate_GetNames / JobTplate_GetNames_Free", 0, -1,
     [](BiDiHandle* h) {
         TemplateList list = {};
         Expect(JobTplate_GetNames(h, &list));
         Expect(JobTplate_GetNames_Free(h, &list));
     }},
    {"JobTplate_GetAll / JobTplate_GetAll_Free", 0, -1,
     [](BiDiHandle* h) {
         TemplateList list = {};
         Expect(JobTplate_GetAll(h, &list));
         Expect(JobTplate_GetAll_Free(h, &list));
     }},
    {"JobTplate_GetAll failing at the second template's items", 0, 1,
     [](BiDiHandle* h) {
         TemplateList list = {};
         Expect(JobTplate_GetAll(h, &list), 9);
     }},
};

struct HeapGrowth {
    long blocks = 0;
    long bytes = 0;
    bool None() const { return blocks == 0 && bytes == 0; }
};

struct Measurement {
    HeapGrowth heap[2];          // the process heap's growth over each of two windows
    int libraryAllocations = 0;  // global blocks the library asked for over both windows
    std::size_t libraryLeft = 0; // of those, the blocks it still holds
};

// After kWarmUp calls of `repeat`, two windows of kRepetitions calls each. The library's own
// blocks are counted exactly through its imports. The process heap is counted as a second check
// on everything else the calls might keep, but it also holds whatever other code allocates
// meanwhile: GoogleTest's thread watcher, for one, starts late on a loaded machine and its
// start-up takes five blocks. Such a one-off lands in one window at most, while anything kept per
// call grows both by at least kRepetitions. The module's call log is emptied after each call, so
// the test's own bookkeeping stays the same size.
Measurement Measure(ScriptedModule& module, const std::function<void()>& repeat) {
    auto run = [&](int times) {
        for (int i = 0; i < times; ++i) {
            repeat();
            module.ClearCalls();
        }
    };
    run(kWarmUp);
    vyxtest::GlobalMemoryWatch library;
    Measurement m;
    for (HeapGrowth& window : m.heap) {
        const vyxtest::HeapUse before = vyxtest::ProcessHeapUse();
        run(kRepetitions);
        const vyxtest::HeapUse after = vyxtest::ProcessHeapUse();
        window.blocks = static_cast<long>(after.blocks) - static_cast<long>(before.blocks);
        window.bytes = static_cast<long>(after.bytes) - static_cast<long>(before.bytes);
    }
    m.libraryAllocations = library.Allocations();
    m.libraryLeft = library.LiveBlocks().size();
    return m;
}

// While wine checks the heap it keeps freed blocks for a while to catch late writes, so heap
// counts drift; the heap-checked run counts only the library's blocks.
bool HeapChecking() {
    return std::getenv("VYX_HEAP_CHECKING") != nullptr;
}

void ExpectNoLeak(const char* name, const Measurement& m) {
    std::printf("leak: %-62s blocks kept %zu of %d, heap blocks %+ld %+ld bytes %+ld %+ld, "
                "over 2 x %d\n",
                name, m.libraryLeft, m.libraryAllocations, m.heap[0].blocks, m.heap[1].blocks,
                m.heap[0].bytes, m.heap[1].bytes, kRepetitions);
    EXPECT_EQ(m.libraryLeft, 0u) << name << ": global blocks the library did not give back";
    if (!HeapChecking()) {
        EXPECT_TRUE(m.heap[0].None() || m.heap[1].None())
            << name << ": the process heap grew in both windows";
    }
}

// The instrument itself: wine takes GlobalAlloc blocks from the process heap, so blocks left
// behind show in the count.
TEST(Leaks, TheCountSeesGlobalBlocksLeftBehind) {
    const vyxtest::HeapUse before = vyxtest::ProcessHeapUse();
    HGLOBAL blocks[10];
    for (HGLOBAL& block : blocks) {
        block = GlobalAlloc(GHND, 100);
    }
    const vyxtest::HeapUse during = vyxtest::ProcessHeapUse();
    for (HGLOBAL block : blocks) {
        GlobalFree(block);
    }
    // At least: another thread may allocate meanwhile (see Measure).
    EXPECT_GE(during.blocks - before.blocks, 10u);
    EXPECT_GE(during.bytes - before.bytes, 1000u);

    // A block kept per call shows in both windows, so no quiet window hides it.
    if (HeapChecking()) {
        return;
    }
    ScriptedModule module;
    std::vector<void*> kept;
    kept.reserve(kWarmUp + 2 * kRepetitions);
    const Measurement m =
        Measure(module, [&] { kept.push_back(HeapAlloc(GetProcessHeap(), 0, 1)); });
    for (void* block : kept) {
        HeapFree(GetProcessHeap(), 0, block);
    }
    for (const HeapGrowth& window : m.heap) {
        EXPECT_GE(window.blocks, kRepetitions);
    }
}

TEST(Leaks, EveryGetterAndReleasePairLeavesTheProcessHeapAsItWas) {
    for (const LeakCase& c : kCases) {
        SCOPED_TRACE(c.name);
        ScriptedHandle handle;
        ScriptPrinter(handle.module(), c.failingTray, c.failingTemplate);
        ExpectNoLeak(c.name, Measure(handle.module(), [&] { c.repeat(handle); }));
    }
}

TEST(Leaks, InitialiseAndTerminateLeaveTheProcessHeapAsItWas) {
    ScriptedModule module;
    const std::wstring path = CallerPathFor(L"full");
    ExpectNoLeak("VyxBiDi_Initialize / VyxBiDi_Terminate", Measure(module, [&] {
                       BiDiHandle* h = nullptr;
                       Expect(VyxBiDi_Initialize(&h, path.c_str()));
                       Expect(VyxBiDi_Terminate(h));
                   }));
    // A module that refuses to initialise is unloaded with everything the attempt took.
    module.Returns(vyxquery::VyxQuery_Initialize, 5);
    ExpectNoLeak("VyxBiDi_Initialize refused by the module", Measure(module, [&] {
                       BiDiHandle* h = nullptr;
                       Expect(VyxBiDi_Initialize(&h, path.c_str()), BIDI_ERR_FAILED);
                   }));
}

}  // namespace
