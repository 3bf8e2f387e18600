// The test side of the hostile query module: loading it, seeding it, reading its log.
#pragma once

#include <windows.h>

#include <string>

#include "querymodule/hostile_query_module.h"

namespace vyxtest {

// Keeps hostile.SNM loaded for the test's lifetime, so that its state survives every handle
// the library makes and ends on it.
class HostileModule {
  public:
    HostileModule();
    ~HostileModule();
    HostileModule(const HostileModule&) = delete;
    HostileModule& operator=(const HostileModule&) = delete;

    // The caller's path whose first candidate is hostile.SNM.
    static std::wstring CallerPath();

    HMODULE module() const { return module_; }
    void Reset(DWORD seed, LONG mode) const { reset_(seed, mode); }
    void ClearLog() const { clearLog_(); }
    const HostileLog& Log() const { return *log_(); }
    const HostileCoverage& Coverage() const { return *coverage_(); }

    // The logged calls (at most the log's capacity).
    LONG Kept() const;
    const HostileCall& Call(LONG i) const { return Log().calls[i]; }
    LONG CountOf(HostileEntry entry) const;

  private:
    HMODULE module_ = nullptr;
    PFN_HostileQueryModule_Reset reset_ = nullptr;
    PFN_HostileQueryModule_ClearLog clearLog_ = nullptr;
    PFN_HostileQueryModule_Log log_ = nullptr;
    PFN_HostileQueryModule_Coverage coverage_ = nullptr;
};

const char* EntryName(LONG entry);
const char* BehaviourText(LONG behaviour);

}  // namespace vyxtest
