// Every export, called in random order with random arguments against the hostile query module;
// after each call the heap, the caller's memory, the records and the result code are checked.
#include <gtest/gtest.h>
#include <vyxbidi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <initializer_list>
#include <set>
#include <string>
#include <vector>

#include "support/random.h"
#include "hostile_module.h"
#include "process_heap.h"
#include "record_checks.h"
#include "support/global_memory_watch.h"

namespace {

using vyxtest::GlobalMemoryWatch;
using vyxtest::HostileModule;

// `make fuzz ITERATIONS=n SEED=s` sets these; the defaults are the CI run.
constexpr DWORD kDefaultSeed = 20240611;
constexpr long kDefaultIterations = 100000;
constexpr long kCallsPerEpisode = 200;
constexpr std::size_t kMostHandles = 3;
constexpr std::size_t kMostHeld = 24;

long EnvironmentNumber(const char* name, long fallback) {
    const char* text = std::getenv(name);
    return text && *text ? std::strtol(text, nullptr, 0) : fallback;
}

using vyxtest::Random;

// Everything of the caller's that a call can reach, each variable between 0xA5 guard areas.
// Before a call the whole struct is filled with 0xA5 and the inputs are set; afterwards no byte
// but those of the export's own outputs may differ.
constexpr std::size_t kStringUnits = 1040;
constexpr int kStringSlots = 6;
struct Guard {
    BYTE bytes[32];
};
struct CallerMemory {
    Guard g0;
    BiDiHandle* handle;
    Guard g1;
    FeatureList* list;
    Guard g2;
    FeatureInfo* info;
    Guard g3;
    TrayRecord* trays;
    Guard g4;
    LONG trayCount;
    Guard g5;
    TonerRecord* toners;
    Guard g6;
    LONG tonerCount;
    Guard g7;
    InstallablesRecord* installables;
    Guard g8;
    DWORD presence;
    Guard g9;
    TemplateList templates;
    Guard g10;
    LONG value;
    Guard g11;
    wchar_t strings[kStringSlots][kStringUnits];
    Guard g12;
};

struct Span {
    std::size_t offset;
    std::size_t size;
};

// A handle the release exports only test for null, never read.
BiDiHandle* const kSentinelHandle =
    reinterpret_cast<BiDiHandle*>(static_cast<uintptr_t>(0xA5A5A5A5));

// The ANSI form's size with its terminator, raw (a byte per unit) when a character has none:
// a string fits a block of `capacity` bytes when this is no more.
bool FitsAnsi(const wchar_t* text, std::size_t capacity) {
    if (!text) {
        return true;
    }
    const char nul = 0;
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, &nul, &usedDefault);
    const std::size_t bytes =
        n <= 0 || usedDefault ? std::wcslen(text) + 1 : static_cast<std::size_t>(n);
    return bytes <= capacity;
}

enum class Kind { FeatureList, FeatureInfo, Trays, Toners, Installables, Names, All };

// A record the test holds, to be given back through its paired export.
struct Held {
    Kind kind;
    void* record;
    TemplateList list;
};

class Fuzzer;
using Action = void (Fuzzer::*)();
struct ExportAction {
    const char* name;
    Action action;
    DWORD weight;
    bool handsOut;  // a getter: skipped while the test holds many records
};

class Fuzzer {
  public:
    explicit Fuzzer(const HostileModule& module) : module_(module) {}

    // One run of `calls` calls from `seed`, then everything given back in calm.
    void Episode(DWORD seed, long calls);
    void PrintSummary(DWORD seed) const;
    void ExpectFullCoverage() const;

    static const std::vector<ExportAction>& Actions();

  private:
    // ---- per call
    void Prepare();
    void Arm();
    void Disarm();
    void Finish(std::initializer_list<Span> writable);
    template <typename T>
    Span Of(const T& field) const {
        return Span{static_cast<std::size_t>(reinterpret_cast<const BYTE*>(&field) -
                                             reinterpret_cast<const BYTE*>(&mem_)),
                    sizeof field};
    }

    BiDiHandle* PickHandle();
    BiDiHandle* PickReleaseHandle();
    const wchar_t* PickString(int slot, std::size_t capacity);
    template <typename T>
    T* Maybe(T* address, DWORD nullPercent = 6) {
        return rng_.Percent(nullPercent) ? nullptr : address;
    }
    int PickHeld(std::initializer_list<Kind> kinds);
    void Hold(Kind kind, void* record, std::string fault);
    void HoldList(Kind kind, const TemplateList& list, std::string fault);
    void ExpectedBlocks(std::set<HGLOBAL>& blocks) const;

    // Result checks from the module's log.
    LONG Kept() const { return module_.Kept(); }
    const HostileCall& CallAt(LONG i) const { return module_.Call(i); }
    void ExpectNoModuleCall() const;
    void ExpectForwarded(LONG result, HostileEntry entry) const;
    void ExpectRefusedOrForwarded(LONG result, bool refused, HostileEntry entry) const;

    // ---- the 24 exports
    void Initialize();
    void Terminate();
    void Connect();
    void Disconnect();
    void ColorOpen();
    void ColorClose();
    void GetFeatureList();
    void DeleteFeatureList();
    void GetFeatureInfo();
    void DeleteFeatureInfo();
    void SelectOption();
    void AttribOpen();
    void AttribClose();
    void GetTrays();
    void FreeTrays();
    void GetToners();
    void FreeToners();
    void GetInstallables();
    void FreeInstallables();
    void EMail();
    void GetNames();
    void FreeNames();
    void GetAll();
    void FreeAll();

    template <typename Record>
    void GetConsumables(bool toners);
    void FreeHandedOut(Kind kind);
    void ListTemplates(bool withItems);
    void FreeTemplates(bool all);
    void DeleteColorRecord(Kind kind);
    void ReleaseEverything();

    const HostileModule& module_;
    GlobalMemoryWatch watch_;
    Random rng_;
    CallerMemory mem_ = {};
    CallerMemory before_ = {};
    int armedAt_ = 0;
    bool allocationFailed_ = false;
    std::vector<BiDiHandle*> handles_;
    std::vector<Held> held_;
    long callsPerExport_[24] = {};
    long allocationFailures_ = 0;
    long calls_ = 0;
    long episodes_ = 0;
};

const std::vector<ExportAction>& Fuzzer::Actions() {
    static const std::vector<ExportAction> actions = {
        {"VyxBiDi_Initialize", &Fuzzer::Initialize, 4, false},
        {"VyxBiDi_Terminate", &Fuzzer::Terminate, 3, false},
        {"VyxBiDi_Connect", &Fuzzer::Connect, 4, false},
        {"VyxBiDi_Disconnect", &Fuzzer::Disconnect, 3, false},
        {"ClrBiDi_OpenSession", &Fuzzer::ColorOpen, 4, false},
        {"ClrBiDi_CloseSession", &Fuzzer::ColorClose, 3, false},
        {"ClrBiDi_GetFeatureList", &Fuzzer::GetFeatureList, 8, true},
        {"ClrBiDi_DeleteFeatureList", &Fuzzer::DeleteFeatureList, 5, false},
        {"ClrBiDi_GetFeatureInfo", &Fuzzer::GetFeatureInfo, 8, true},
        {"ClrBiDi_DeleteFeatureInfo", &Fuzzer::DeleteFeatureInfo, 5, false},
        {"ClrBiDi_SelectOption", &Fuzzer::SelectOption, 4, false},
        {"Attrib_OpenSession", &Fuzzer::AttribOpen, 4, false},
        {"Attrib_CloseSession", &Fuzzer::AttribClose, 3, false},
        {"Attrib_GetPaperConsumables", &Fuzzer::GetTrays, 6, true},
        {"Attrib_FreePaperConsBuffers", &Fuzzer::FreeTrays, 4, false},
        {"Attrib_GetTonerConsumables", &Fuzzer::GetToners, 6, true},
        {"Attrib_FreeTonerConsBuffers", &Fuzzer::FreeToners, 4, false},
        {"Attrib_GetInstallableOptions", &Fuzzer::GetInstallables, 6, true},
        {"Attrib_FreeInstallablesBuffers", &Fuzzer::FreeInstallables, 4, false},
        {"Misc_GetEMailNotification", &Fuzzer::EMail, 3, false},
        {"JobTplate_GetNames", &Fuzzer::GetNames, 5, true},
        {"JobTplate_GetNames_Free", &Fuzzer::FreeNames, 3, false},
        {"JobTplate_GetAll", &Fuzzer::GetAll, 6, true},
        {"JobTplate_GetAll_Free", &Fuzzer::FreeAll, 4, false},
    };
    return actions;
}

// ---- One call's frame ------------------------------------------------------------------------

void Fuzzer::Prepare() {
    std::memset(&mem_, 0xA5, sizeof mem_);
    module_.ClearLog();
}

// One call in ten meets a failing GlobalAlloc somewhere among its first dozen allocations.
void Fuzzer::Arm() {
    before_ = mem_;
    armedAt_ = 0;
    if (rng_.Percent(10)) {
        const int n = 1 + static_cast<int>(rng_.Below(12));
        armedAt_ = watch_.Allocations() + n;
        watch_.FailAllocation(n);
    }
}

void Fuzzer::Disarm() {
    watch_.FailAllocation(0);
    allocationFailed_ = armedAt_ != 0 && watch_.Allocations() >= armedAt_;
    allocationFailures_ += allocationFailed_;
}

// The checks after every call: the heap, the caller's memory outside `writable`, what the
// module saw, and the library's blocks against the records the test holds.
void Fuzzer::Finish(std::initializer_list<Span> writable) {
    EXPECT_TRUE(vyxtest::ProcessHeapValid()) << "HeapValidate failed on the process heap";

    const auto* now = reinterpret_cast<const BYTE*>(&mem_);
    const auto* was = reinterpret_cast<const BYTE*>(&before_);
    for (std::size_t i = 0; i < sizeof mem_; ++i) {
        const bool mayChange = std::any_of(writable.begin(), writable.end(), [i](const Span& s) {
            return i >= s.offset && i < s.offset + s.size;
        });
        if (!mayChange && now[i] != was[i]) {
            ADD_FAILURE() << "the caller's byte at offset " << i << " changed";
            break;
        }
    }

    const HostileLog& log = module_.Log();
    EXPECT_EQ(log.breaches, 0) << "the module was handed: " << log.firstBreach;
    EXPECT_LE(log.callCount, HOSTILE_LOG_CAPACITY) << "more module calls than any run needs";

    std::set<HGLOBAL> expected;
    ExpectedBlocks(expected);
    std::set<HGLOBAL> live;
    for (const auto& block : watch_.LiveBlocks()) {
        live.insert(block.first);
    }
    EXPECT_EQ(live, expected) << "the library holds other blocks than the records handed out";
}

void Fuzzer::ExpectedBlocks(std::set<HGLOBAL>& blocks) const {
    for (BiDiHandle* h : handles_) {
        vyxtest::AddBlock(h, blocks);
    }
    for (const Held& held : held_) {
        switch (held.kind) {
            case Kind::FeatureList:
                vyxtest::AddBlocks(static_cast<FeatureList*>(held.record), blocks);
                break;
            case Kind::FeatureInfo:
                vyxtest::AddBlocks(static_cast<FeatureInfo*>(held.record), blocks);
                break;
            case Kind::Names:
            case Kind::All:
                vyxtest::AddBlocks(held.list, blocks);
                break;
            default:
                vyxtest::AddBlock(held.record, blocks);
        }
    }
}

BiDiHandle* Fuzzer::PickHandle() {
    if (handles_.empty() || rng_.Percent(6)) {
        return nullptr;
    }
    return handles_[rng_.Below(static_cast<DWORD>(handles_.size()))];
}

// The release exports never read the handle: a sentinel is as good as a live one.
BiDiHandle* Fuzzer::PickReleaseHandle() {
    const DWORD pick = rng_.Below(100);
    return pick < 8 ? nullptr : pick < 40 || handles_.empty() ? kSentinelHandle : PickHandle();
}

// A string into slot `slot`, shaped around a block of `capacity` bytes: null, empty, short, the
// longest that fits, one past it, far too long, characters without an ANSI form, double-byte
// characters, random code units.
const wchar_t* Fuzzer::PickString(int slot, std::size_t capacity) {
    wchar_t* s = mem_.strings[slot];
    std::size_t length = 0;
    const DWORD pick = rng_.Below(100);
    if (pick < 10) {
        return nullptr;
    } else if (pick < 18) {
        length = 0;
    } else if (pick < 45) {
        length = 1 + rng_.Below(10);
        std::generate_n(s, length, [this] { return static_cast<wchar_t>(L'a' + rng_.Below(26)); });
    } else if (pick < 55) {
        length = capacity - 1;
        std::fill_n(s, length, L'k');
    } else if (pick < 65) {
        length = capacity;
        std::fill_n(s, length, L'p');
    } else if (pick < 69) {
        length = 1000;
        std::fill_n(s, length, L'v');
    } else if (pick < 80) {
        static const wchar_t kNoForm[] = {0x0E01, 0x4E2D, 0xD800, 0x20AC, L'a', 0x00E9};
        length = 1 + rng_.Below(static_cast<DWORD>(capacity));
        std::generate_n(s, length, [this] { return kNoForm[rng_.Below(6)]; });
    } else if (pick < 92) {
        length = capacity / 2 - 1 + rng_.Below(3);
        std::fill_n(s, length, static_cast<wchar_t>(0x30A2));
    } else {
        length = 1 + rng_.Below(80);
        std::generate_n(s, length, [this] { return static_cast<wchar_t>(1 + rng_.Below(0xFFFF)); });
    }
    s[length] = L'\0';
    return s;
}

int Fuzzer::PickHeld(std::initializer_list<Kind> kinds) {
    std::vector<int> found;
    for (std::size_t i = 0; i < held_.size(); ++i) {
        if (std::find(kinds.begin(), kinds.end(), held_[i].kind) != kinds.end()) {
            found.push_back(static_cast<int>(i));
        }
    }
    return found.empty() ? -1 : found[rng_.Below(static_cast<DWORD>(found.size()))];
}

// A record whose check failed is not held: its blocks are not walked again.
void Fuzzer::Hold(Kind kind, void* record, std::string fault) {
    EXPECT_EQ(fault, "") << "unsound record";
    if (fault.empty()) {
        held_.push_back(Held{kind, record, TemplateList{}});
    }
}

void Fuzzer::HoldList(Kind kind, const TemplateList& list, std::string fault) {
    EXPECT_EQ(fault, "") << "unsound template list";
    if (fault.empty()) {
        held_.push_back(Held{kind, nullptr, list});
    }
}

void Fuzzer::ExpectNoModuleCall() const {
    EXPECT_EQ(module_.Log().callCount, 0) << "a refused call reached the module";
}

// The export's result is its entry point's, which was called exactly once.
void Fuzzer::ExpectForwarded(LONG result, HostileEntry entry) const {
    ASSERT_EQ(module_.Log().callCount, 1);
    EXPECT_EQ(CallAt(0).entry, entry);
    EXPECT_EQ(result, CallAt(0).result) << "the module's result was not passed on unchanged";
}

// Refused before any module call, or refused for want of memory, or forwarded.
void Fuzzer::ExpectRefusedOrForwarded(LONG result, bool refused, HostileEntry entry) const {
    if (refused) {
        // A block that could not be had before the refused string was reached refuses first.
        EXPECT_TRUE(result == BIDI_ERR_BAD_ARGUMENT ||
                    (allocationFailed_ && result == BIDI_ERR_FAILED))
            << "result " << result;
        ExpectNoModuleCall();
    } else if (module_.Log().callCount == 0) {
        EXPECT_TRUE(allocationFailed_) << "a call in contract never reached the module";
        EXPECT_EQ(result, BIDI_ERR_FAILED);
    } else {
        ExpectForwarded(result, entry);
    }
}

// ---- Connection --------------------------------------------------------------------------------

void Fuzzer::Initialize() {
    Prepare();
    const DWORD pick = rng_.Below(100);
    const std::wstring path = pick < 88 ? HostileModule::CallerPath() : std::wstring(300, L'x');
    std::wcscpy(mem_.strings[0], path.c_str());
    BiDiHandle** out = pick < 94 ? &mem_.handle : nullptr;
    Arm();
    const LONG result = VyxBiDi_Initialize(out, mem_.strings[0]);
    Disarm();
    const bool moduleAccepted = Kept() == 1 && CallAt(0).result == 0;
    if (!out || path.size() > 255) {
        EXPECT_EQ(result, BIDI_ERR_FAILED);
        ExpectNoModuleCall();
    }
    if (result == BIDI_OK) {
        EXPECT_TRUE(moduleAccepted);
        BiDiHandle* h = mem_.handle;
        EXPECT_EQ(GlobalSize(GlobalHandle(h)), sizeof(BiDiHandle));
        EXPECT_EQ(h->module, module_.module());
        EXPECT_EQ(h->kind, 0);
        handles_.push_back(h);
    } else {
        EXPECT_EQ(result, BIDI_ERR_FAILED);
        EXPECT_FALSE(moduleAccepted) << "the module initialised, yet the library failed";
    }
    Finish({Of(mem_.handle)});
}

void Fuzzer::Terminate() {
    Prepare();
    BiDiHandle* h = PickHandle();
    Arm();
    const LONG result = VyxBiDi_Terminate(h);
    Disarm();
    if (!h) {
        EXPECT_EQ(result, BIDI_ERR_BAD_ARGUMENT);
        ExpectNoModuleCall();
    } else {
        ExpectForwarded(result, kHostile_VyxQuery_Terminate);
        if (result == BIDI_OK) {
            handles_.erase(std::find(handles_.begin(), handles_.end(), h));
        }
    }
    Finish({});
}

void Fuzzer::Connect() {
    Prepare();
    BiDiHandle* h = PickHandle();
    const wchar_t* first = PickString(0, 128);
    const wchar_t* second = PickString(1, 64);
    Arm();
    const LONG result = VyxBiDi_Connect(h, first, second);
    Disarm();
    ExpectRefusedOrForwarded(result, !h || !FitsAnsi(first, 128) || !FitsAnsi(second, 64),
                             kHostile_VyxQuery_Connect);
    Finish({});
}

void Fuzzer::Disconnect() {
    Prepare();
    BiDiHandle* h = PickHandle();
    Arm();
    const LONG result = VyxBiDi_Disconnect(h);
    Disarm();
    ExpectRefusedOrForwarded(result, !h, kHostile_VyxQuery_Disconnect);
    Finish({});
}

// ---- Colour ----------------------------------------------------------------------------------

void Fuzzer::ColorOpen() {
    Prepare();
    BiDiHandle* h = PickHandle();
    const wchar_t* t[6];
    bool fits = true;
    for (int i = 0; i < 6; ++i) {
        t[i] = PickString(i, 64);
        fits = fits && FitsAnsi(t[i], 64);
    }
    Arm();
    const LONG result = ClrBiDi_OpenSession(h, t[0], t[1], t[2], t[3], t[4], t[5]);
    Disarm();
    ExpectRefusedOrForwarded(result, !h || !fits, kHostile_Color_OpenSession);
    Finish({});
}

void Fuzzer::ColorClose() {
    Prepare();
    BiDiHandle* h = PickHandle();
    Arm();
    const LONG result = ClrBiDi_CloseSession(h);
    Disarm();
    ExpectRefusedOrForwarded(result, !h, kHostile_Color_CloseSession);
    Finish({});
}

void Fuzzer::GetFeatureList() {
    Prepare();
    BiDiHandle* h = PickHandle();
    FeatureList** out = Maybe(&mem_.list);
    Arm();
    const LONG result = ClrBiDi_GetFeatureList(h, out);
    Disarm();
    if (!h || !out) {
        EXPECT_EQ(result, BIDI_ERR_BAD_ARGUMENT);
        ExpectNoModuleCall();
    } else if (mem_.list == before_.list) {
        EXPECT_TRUE(allocationFailed_);
        EXPECT_EQ(result, BIDI_ERR_FAILED);
        ExpectNoModuleCall();
    } else {
        FeatureList* list = mem_.list;
        EXPECT_TRUE(result == BIDI_OK || (allocationFailed_ && result == BIDI_ERR_FAILED));
        // The walk ends on the cursor's end or on a key that cannot be read, and keeps the
        // first 64 keys read.
        LONG read = 0;
        for (LONG i = 0; i < Kept(); ++i) {
            read += CallAt(i).entry == kHostile_Color_GetCurrentKey && CallAt(i).result == 0;
        }
        if (!allocationFailed_) {
            ASSERT_GT(Kept(), 0);
            const HostileCall& last = CallAt(Kept() - 1);
            EXPECT_NE(last.result, 0) << "the walk stopped on a module answer of 0";
            EXPECT_TRUE(last.entry == kHostile_Color_SetNextKey ||
                        last.entry == kHostile_Color_GetCurrentKey);
            EXPECT_EQ(list->featureCount, std::min<LONG>(read, BIDI_MAX_FEATURES));
        }
        Hold(Kind::FeatureList, list, vyxtest::CheckFeatureList(list));
    }
    Finish({Of(mem_.list)});
}

void Fuzzer::GetFeatureInfo() {
    Prepare();
    BiDiHandle* h = PickHandle();
    const wchar_t* name = PickString(0, 256);
    FeatureInfo** out = Maybe(&mem_.info);
    Arm();
    const LONG result = ClrBiDi_GetFeatureInfo(h, name, out);
    Disarm();
    if (!h || !name || !out || name[0] == L'\0' || !FitsAnsi(name, 256)) {
        EXPECT_EQ(result, BIDI_ERR_BAD_ARGUMENT);
        ExpectNoModuleCall();
    } else if (mem_.info == before_.info) {
        EXPECT_TRUE(allocationFailed_);
        EXPECT_EQ(result, BIDI_ERR_FAILED);
        ExpectNoModuleCall();
    } else {
        FeatureInfo* info = mem_.info;
        if (Kept() == 0) {
            EXPECT_TRUE(allocationFailed_);
            EXPECT_EQ(result, BIDI_ERR_FAILED);
        } else if (CallAt(0).result != 0) {
            // The key could not be made current: its code, and nothing else asked.
            EXPECT_EQ(CallAt(0).entry, kHostile_Color_SetCurrentKey);
            EXPECT_EQ(result, CallAt(0).result);
            EXPECT_EQ(Kept(), 1);
        } else {
            const HostileCall& last = CallAt(Kept() - 1);
            if (last.entry == kHostile_Color_GetSelectedOption) {
                EXPECT_EQ(result, last.result) << "the selected option's code is the result";
            } else {
                EXPECT_TRUE(allocationFailed_);
                EXPECT_EQ(result, BIDI_ERR_FAILED);
            }
            LONG options = 0;
            for (LONG i = 0; i < Kept(); ++i) {
                options += CallAt(i).entry == kHostile_Color_GetNextOption && CallAt(i).result == 0;
            }
            if (!allocationFailed_) {
                EXPECT_EQ(info->optionCount, std::min<LONG>(options, BIDI_MAX_OPTIONS));
            }
        }
        Hold(Kind::FeatureInfo, info, vyxtest::CheckFeatureInfo(info));
    }
    Finish({Of(mem_.info)});
}

// Both delete exports: a held record (or a null one), a handle that is only tested.
void Fuzzer::DeleteColorRecord(Kind kind) {
    Prepare();
    const int index = PickHeld({kind});
    void* record = index >= 0 ? held_[index].record : nullptr;
    BiDiHandle* h = PickReleaseHandle();
    mem_.list = static_cast<FeatureList*>(record);
    mem_.info = static_cast<FeatureInfo*>(record);
    FeatureList** listAddress = Maybe(&mem_.list);
    FeatureInfo** infoAddress = Maybe(&mem_.info);
    const bool addressGiven =
        kind == Kind::FeatureList ? listAddress != nullptr : infoAddress != nullptr;
    Arm();
    const LONG result = kind == Kind::FeatureList ? ClrBiDi_DeleteFeatureList(h, listAddress)
                                                  : ClrBiDi_DeleteFeatureInfo(h, infoAddress);
    Disarm();
    ExpectNoModuleCall();
    if (!h || !addressGiven || !record) {
        EXPECT_EQ(result, BIDI_ERR_BAD_ARGUMENT);
    } else {
        EXPECT_EQ(result, BIDI_OK);
        held_.erase(held_.begin() + index);
    }
    Finish({});  // the caller's pointer keeps the old address
}

void Fuzzer::DeleteFeatureList() {
    DeleteColorRecord(Kind::FeatureList);
}
void Fuzzer::DeleteFeatureInfo() {
    DeleteColorRecord(Kind::FeatureInfo);
}

void Fuzzer::SelectOption() {
    Prepare();
    BiDiHandle* h = PickHandle();
    const wchar_t* name = PickString(0, 256);
    const wchar_t* value = PickString(1, 256);
    Arm();
    const LONG result = ClrBiDi_SelectOption(h, name, value);
    Disarm();
    ExpectRefusedOrForwarded(result, !h || !FitsAnsi(name, 256) || !FitsAnsi(value, 256),
                             kHostile_Color_SetKeyValue);
    Finish({});
}

// ---- Attributes ----------------------------------------------------------------------------

void Fuzzer::AttribOpen() {
    Prepare();
    BiDiHandle* h = PickHandle();
    const wchar_t* first = PickString(0, 16);
    const wchar_t* second = PickString(1, 16);
    Arm();
    const LONG result = Attrib_OpenSession(h, first, second);
    Disarm();
    // A text whose block cannot be had goes to the module as null: memory alone never refuses.
    const bool refused = !h || !FitsAnsi(first, 16) || !FitsAnsi(second, 16);
    ExpectRefusedOrForwarded(result, refused, kHostile_Attribute_OpenSession);
    if (!refused) {
        EXPECT_EQ(module_.Log().callCount, 1);
    }
    Finish({});
}

void Fuzzer::AttribClose() {
    Prepare();
    BiDiHandle* h = PickHandle();
    Arm();
    const LONG result = Attrib_CloseSession(h);
    Disarm();
    ExpectRefusedOrForwarded(result, !h, kHostile_Attribute_CloseSession);
    Finish({});
}

template <typename Record>
void Fuzzer::GetConsumables(bool toners) {
    Prepare();
    BiDiHandle* h = PickHandle();
    Record*& records = *reinterpret_cast<Record**>(toners ? static_cast<void*>(&mem_.toners)
                                                          : static_cast<void*>(&mem_.trays));
    LONG& count = toners ? mem_.tonerCount : mem_.trayCount;
    Record** out = Maybe(&records, 4);
    LONG* countOut = Maybe(&count, 4);
    Arm();
    LONG result;
    if constexpr (sizeof(Record) == sizeof(TonerRecord)) {
        result = Attrib_GetTonerConsumables(h, out, countOut);
    } else {
        result = Attrib_GetPaperConsumables(h, out, countOut);
    }
    Disarm();
    if (!h || !out || !countOut) {
        EXPECT_EQ(result, BIDI_ERR_FAILED);
        ExpectNoModuleCall();
        Finish({});
        return;
    }
    ASSERT_GT(Kept(), 0) << "no count was asked for";
    const LONG reported = CallAt(0).detail;
    const LONG fetches = Kept() - 1;
    if (result == BIDI_OK) {
        EXPECT_EQ(CallAt(0).result, 0);
        EXPECT_EQ(count, reported) << "the count is the module's, as reported";
        EXPECT_EQ(fetches, reported > 0 ? reported : 0);
        if (reported <= 0) {
            EXPECT_EQ(records, nullptr);
        } else {
            // Each record's values are what its fetch wrote: nothing else reached them.
            for (LONG i = 0; i < count && i + 1 < Kept(); ++i) {
                const LONG* values = toners ? &reinterpret_cast<TonerRecord*>(records)[i].value1
                                            : &reinterpret_cast<TrayRecord*>(records)[i].value1;
                const HostileCall& fetch = CallAt(i + 1);
                if (values[0] != fetch.written[0] || values[1] != fetch.written[1]) {
                    ADD_FAILURE() << "the values of record " << i << " are not the module's";
                    break;
                }
            }
            const std::string fault =
                toners ? vyxtest::CheckToners(reinterpret_cast<TonerRecord*>(records), count)
                       : vyxtest::CheckTrays(reinterpret_cast<TrayRecord*>(records), count);
            Hold(toners ? Kind::Toners : Kind::Trays, records, fault);
        }
    } else {
        // All or nothing: the module's failing code, or no block for the reported count.
        EXPECT_EQ(records, nullptr);
        EXPECT_EQ(count, 0);
        const HostileCall& last = CallAt(Kept() - 1);
        if (last.result != 0) {
            EXPECT_EQ(result, last.result);
        } else {
            EXPECT_EQ(result, BIDI_ERR_FAILED);
            EXPECT_EQ(fetches, 0);
            EXPECT_GT(reported, 0);
        }
    }
    Finish({Of(records), Of(count)});
}

void Fuzzer::GetTrays() {
    GetConsumables<TrayRecord>(false);
}
void Fuzzer::GetToners() {
    GetConsumables<TonerRecord>(true);
}

void Fuzzer::GetInstallables() {
    Prepare();
    BiDiHandle* h = PickHandle();
    InstallablesRecord** out = Maybe(&mem_.installables, 4);
    DWORD* presence = Maybe(&mem_.presence, 4);
    Arm();
    const LONG result = Attrib_GetInstallableOptions(h, out, presence);
    Disarm();
    if (!h || !out || !presence) {
        EXPECT_EQ(result, BIDI_ERR_FAILED);
        ExpectNoModuleCall();
        Finish({});
        return;
    }
    if (mem_.installables == before_.installables) {
        EXPECT_TRUE(allocationFailed_);
        EXPECT_EQ(result, BIDI_ERR_FAILED);
        EXPECT_EQ(mem_.presence, 0u);
        ExpectNoModuleCall();
    } else {
        // Nine calls in slot order; a bit for each that answered 0.
        ASSERT_EQ(Kept(), 9);
        DWORD answered = 0;
        for (LONG i = 0; i < 9; ++i) {
            EXPECT_EQ(CallAt(i).entry, kHostile_Attribute_GetSorter + i);
            answered |= CallAt(i).result == 0 ? 1u << i : 0u;
        }
        EXPECT_EQ(mem_.presence, answered);
        EXPECT_EQ(result, answered ? BIDI_OK : BIDI_ERR_FAILED);
        Hold(Kind::Installables, mem_.installables, vyxtest::CheckInstallables(mem_.installables));
    }
    Finish({Of(mem_.installables), Of(mem_.presence)});
}

// The three attribute release exports ignore the handle and take null at either level.
void Fuzzer::FreeHandedOut(Kind kind) {
    Prepare();
    const int index = PickHeld({kind});
    void* record = index >= 0 ? held_[index].record : nullptr;
    void** slot = kind == Kind::Trays    ? reinterpret_cast<void**>(&mem_.trays)
                  : kind == Kind::Toners ? reinterpret_cast<void**>(&mem_.toners)
                                         : reinterpret_cast<void**>(&mem_.installables);
    *slot = record;
    BiDiHandle* h = PickReleaseHandle();
    void** address = Maybe(slot);
    Arm();
    LONG result;
    if (kind == Kind::Trays) {
        result = Attrib_FreePaperConsBuffers(h, reinterpret_cast<TrayRecord**>(address));
    } else if (kind == Kind::Toners) {
        result = Attrib_FreeTonerConsBuffers(h, reinterpret_cast<TonerRecord**>(address));
    } else {
        result = Attrib_FreeInstallablesBuffers(h, reinterpret_cast<InstallablesRecord**>(address));
    }
    Disarm();
    EXPECT_EQ(result, BIDI_OK);
    ExpectNoModuleCall();
    if (address && record) {
        held_.erase(held_.begin() + index);
    }
    Finish({});
}

void Fuzzer::FreeTrays() {
    FreeHandedOut(Kind::Trays);
}
void Fuzzer::FreeToners() {
    FreeHandedOut(Kind::Toners);
}
void Fuzzer::FreeInstallables() {
    FreeHandedOut(Kind::Installables);
}

void Fuzzer::EMail() {
    Prepare();
    BiDiHandle* h = PickHandle();
    const DWORD pick = rng_.Below(3);
    void* value = pick == 0   ? nullptr
                  : pick == 1 ? reinterpret_cast<void*>(static_cast<uintptr_t>(0x13572468))
                              : static_cast<void*>(&mem_.value);
    Arm();
    const LONG result = Misc_GetEMailNotification(h, value);
    Disarm();
    ExpectRefusedOrForwarded(result, !h, kHostile_Misc_GetEMail_Notification);
    if (h) {
        EXPECT_EQ(CallAt(0).detail, static_cast<LONG>(reinterpret_cast<uintptr_t>(value)))
            << "the caller's value did not reach the module unchanged";
    }
    Finish({});
}

// ---- Templates -------------------------------------------------------------------------------

void Fuzzer::ListTemplates(bool withItems) {
    Prepare();
    BiDiHandle* h = PickHandle();
    TemplateList* list = Maybe(&mem_.templates);
    Arm();
    const LONG result = withItems ? JobTplate_GetAll(h, list) : JobTplate_GetNames(h, list);
    Disarm();
    if (!h || !list) {
        EXPECT_EQ(result, BIDI_ERR_BAD_ARGUMENT);
        ExpectNoModuleCall();
        Finish({});
        return;
    }
    const TemplateList got = mem_.templates;
    if (result == BIDI_OK) {
        ASSERT_GT(Kept(), 0);
        const LONG reported = CallAt(0).detail;
        const LONG expected = std::min<LONG>(std::max<LONG>(reported, 0), BIDI_MAX_TEMPLATES);
        EXPECT_EQ(got.count, expected);
        EXPECT_EQ(module_.CountOf(kHostile_JobTPlate_GetTemplateNames), expected);
        EXPECT_EQ(module_.CountOf(kHostile_JobTPlate_GetTemplateItems), withItems ? expected : 0);
        // Each record's tag is what its name fetch wrote (0 when it wrote none).
        LONG record = 0;
        for (LONG i = 0; i < Kept() && record < got.count; ++i) {
            if (CallAt(i).entry == kHostile_JobTPlate_GetTemplateNames) {
                EXPECT_EQ(got.templates[record].tag, CallAt(i).written[0]) << "template " << record;
                ++record;
            }
        }
        HoldList(withItems ? Kind::All : Kind::Names, got, vyxtest::CheckTemplates(got, withItems));
    } else {
        EXPECT_EQ(got.templates, nullptr);
        EXPECT_EQ(got.count, 0);
        if (Kept() > 0 && CallAt(Kept() - 1).result != 0) {
            EXPECT_EQ(result, CallAt(Kept() - 1).result);
        } else {
            EXPECT_TRUE(allocationFailed_);
            EXPECT_EQ(result, BIDI_ERR_FAILED);
        }
    }
    Finish({Of(mem_.templates)});
}

void Fuzzer::GetNames() {
    ListTemplates(false);
}
void Fuzzer::GetAll() {
    ListTemplates(true);
}

// A names list may go back through either release export, a full list only through its own.
void Fuzzer::FreeTemplates(bool all) {
    Prepare();
    const int index = all ? PickHeld({Kind::Names, Kind::All}) : PickHeld({Kind::Names});
    mem_.templates = index >= 0 ? held_[index].list : TemplateList{nullptr, 0};
    BiDiHandle* h = PickReleaseHandle();
    TemplateList* list = Maybe(&mem_.templates);
    Arm();
    const LONG result = all ? JobTplate_GetAll_Free(h, list) : JobTplate_GetNames_Free(h, list);
    Disarm();
    EXPECT_EQ(result, BIDI_OK);
    ExpectNoModuleCall();
    if (list && index >= 0) {
        held_.erase(held_.begin() + index);
    }
    Finish({});
}

void Fuzzer::FreeNames() {
    FreeTemplates(false);
}
void Fuzzer::FreeAll() {
    FreeTemplates(true);
}

// ---- Episodes --------------------------------------------------------------------------------

void Fuzzer::ReleaseEverything() {
    for (const Held& held : held_) {
        TemplateList list = held.list;
        void* record = held.record;
        LONG result = BIDI_ERR_FAILED;
        switch (held.kind) {
            case Kind::FeatureList:
                result = ClrBiDi_DeleteFeatureList(kSentinelHandle,
                                                   reinterpret_cast<FeatureList**>(&record));
                break;
            case Kind::FeatureInfo:
                result = ClrBiDi_DeleteFeatureInfo(kSentinelHandle,
                                                   reinterpret_cast<FeatureInfo**>(&record));
                break;
            case Kind::Trays:
                result =
                    Attrib_FreePaperConsBuffers(nullptr, reinterpret_cast<TrayRecord**>(&record));
                break;
            case Kind::Toners:
                result =
                    Attrib_FreeTonerConsBuffers(nullptr, reinterpret_cast<TonerRecord**>(&record));
                break;
            case Kind::Installables:
                result = Attrib_FreeInstallablesBuffers(
                    nullptr, reinterpret_cast<InstallablesRecord**>(&record));
                break;
            case Kind::Names:
                result = JobTplate_GetNames_Free(nullptr, &list);
                break;
            case Kind::All:
                result = JobTplate_GetAll_Free(nullptr, &list);
                break;
        }
        EXPECT_EQ(result, BIDI_OK);
    }
    held_.clear();
    for (BiDiHandle* h : handles_) {
        EXPECT_EQ(VyxBiDi_Terminate(h), BIDI_OK);
    }
    handles_.clear();
}

void Fuzzer::Episode(DWORD seed, long calls) {
    module_.Reset(seed, HOSTILE_MODE_WILD);
    rng_ = Random(seed);
    ++episodes_;
    const std::vector<ExportAction>& actions = Actions();
    DWORD totalWeight = 0;
    for (const ExportAction& a : actions) {
        totalWeight += a.weight;
    }
    for (long call = 0; call < calls;) {
        // Without a handle most calls would only be refused: mostly make one first.
        std::size_t chosen = 0;
        if (handles_.empty() && rng_.Percent(70)) {
            chosen = 0;
        } else {
            DWORD w = rng_.Below(totalWeight);
            while (w >= actions[chosen].weight) {
                w -= actions[chosen].weight;
                ++chosen;
            }
        }
        if ((chosen == 0 && handles_.size() >= kMostHandles) ||
            (held_.size() >= kMostHeld && actions[chosen].handsOut)) {
            continue;  // keep the world small: the draw is made again
        }
        SCOPED_TRACE(testing::Message() << "episode seed " << seed << ", call " << call << ": "
                                        << actions[chosen].name);
        (this->*actions[chosen].action)();
        ++callsPerExport_[chosen];
        ++calls_;
        ++call;
        if (testing::Test::HasFailure()) {
            return;
        }
    }
    module_.Reset(seed, HOSTILE_MODE_CALM);
    ReleaseEverything();
    EXPECT_TRUE(watch_.LiveBlocks().empty()) << "blocks left after everything was given back";
    EXPECT_TRUE(vyxtest::ProcessHeapValid());
}

void Fuzzer::PrintSummary(DWORD seed) const {
    const HostileCoverage& coverage = module_.Coverage();
    int pairs = 0;
    int kinds = 0;
    for (int b = 0; b < kHostileBehaviourCount; ++b) {
        bool seen = false;
        for (int e = 0; e < kHostileEntryCount; ++e) {
            pairs += coverage.seen[e][b] != 0;
            seen = seen || coverage.seen[e][b] != 0;
        }
        kinds += seen;
    }
    std::printf("fuzz: seed %lu, %ld export calls in %ld episodes, code page %u\n",
                static_cast<unsigned long>(seed), calls_, episodes_, GetACP());
    std::printf("fuzz: %d distinct hostile behaviours (entry point x kind), %d of %d kinds\n",
                pairs, kinds, static_cast<int>(kHostileBehaviourCount));
    std::printf("fuzz: %ld calls met an injected allocation failure\n", allocationFailures_);
    for (std::size_t i = 0; i < Actions().size(); ++i) {
        std::printf("fuzz:   %-32s %ld\n", Actions()[i].name, callsPerExport_[i]);
    }
}

void Fuzzer::ExpectFullCoverage() const {
    const HostileCoverage& coverage = module_.Coverage();
    for (int b = 0; b < kHostileBehaviourCount; ++b) {
        DWORD seen = 0;
        for (int e = 0; e < kHostileEntryCount; ++e) {
            seen += coverage.seen[e][b];
        }
        EXPECT_GT(seen, 0u) << "never exercised: " << vyxtest::BehaviourText(b);
    }
    for (std::size_t i = 0; i < Actions().size(); ++i) {
        EXPECT_GT(callsPerExport_[i], 0) << "never called: " << Actions()[i].name;
    }
}

TEST(HostileModule, EveryExportKeepsItsPromisesUnderRandomCalls) {
    const DWORD seed = static_cast<DWORD>(EnvironmentNumber("VYX_FUZZ_SEED", kDefaultSeed));
    const long iterations = EnvironmentNumber("VYX_FUZZ_ITERATIONS", kDefaultIterations);
    HostileModule module;
    Fuzzer fuzzer(module);
    for (long done = 0, episode = 0; done < iterations && !HasFailure(); ++episode) {
        const long calls = std::min(kCallsPerEpisode, iterations - done);
        fuzzer.Episode(seed + static_cast<DWORD>(episode) * 7919u, calls);
        done += calls;
    }
    fuzzer.PrintSummary(seed);
    if (HasFailure()) {
        std::printf("fuzz: reproduce with: make fuzz SEED=%lu ITERATIONS=%ld\n",
                    static_cast<unsigned long>(seed), iterations);
    } else if (iterations >= 2000) {
        fuzzer.ExpectFullCoverage();
    }
}

}  // namespace
