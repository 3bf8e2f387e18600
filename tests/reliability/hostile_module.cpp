// Loading the hostile query module and reading what it logged.
#include "hostile_module.h"

#include <stdexcept>

#include "support/scripted_module.h"

namespace vyxtest {
namespace {

template <typename Pfn>
Pfn Export(HMODULE module, const char* name) {
    const FARPROC found = GetProcAddress(module, name);
    if (!found) {
        throw std::runtime_error(std::string("hostile.SNM does not export ") + name);
    }
    return reinterpret_cast<Pfn>(reinterpret_cast<void (*)()>(found));
}

}  // namespace

HostileModule::HostileModule() : module_(LoadLibraryW(VariantPath(L"hostile").c_str())) {
    if (!module_) {
        throw std::runtime_error("cannot load hostile.SNM");
    }
    reset_ = Export<PFN_HostileQueryModule_Reset>(module_, "HostileQueryModule_Reset");
    clearLog_ = Export<PFN_HostileQueryModule_ClearLog>(module_, "HostileQueryModule_ClearLog");
    log_ = Export<PFN_HostileQueryModule_Log>(module_, "HostileQueryModule_Log");
    coverage_ = Export<PFN_HostileQueryModule_Coverage>(module_, "HostileQueryModule_Coverage");
}

HostileModule::~HostileModule() {
    FreeLibrary(module_);
}

std::wstring HostileModule::CallerPath() {
    return CallerPathFor(L"hostile");
}

LONG HostileModule::Kept() const {
    const LONG count = Log().callCount;
    return count < HOSTILE_LOG_CAPACITY ? count : HOSTILE_LOG_CAPACITY;
}

LONG HostileModule::CountOf(HostileEntry entry) const {
    LONG n = 0;
    for (LONG i = 0; i < Kept(); ++i) {
        n += Call(i).entry == entry;
    }
    return n;
}

const char* EntryName(LONG entry) {
    static const char* const kNames[] = {
#define ENTRY_NAME_(name, params) #name,
        VYXQUERY_ENTRY_POINTS(ENTRY_NAME_)
#undef ENTRY_NAME_
    };
    return entry >= 0 && entry < kHostileEntryCount ? kNames[entry] : "?";
}

const char* BehaviourText(LONG behaviour) {
    static const char* const kTexts[] = {
#define BEHAVIOUR_TEXT_(name, text) text,
        HOSTILE_BEHAVIOURS(BEHAVIOUR_TEXT_)
#undef BEHAVIOUR_TEXT_
    };
    return behaviour >= 0 && behaviour < kHostileBehaviourCount ? kTexts[behaviour] : "?";
}

}  // namespace vyxtest
