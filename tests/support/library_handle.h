// One handle of the library, made with VyxBiDi_Initialize on a caller's path and ended with
// VyxBiDi_Terminate, for tests that drive the library's exports through a real query module.
#pragma once

#include <windows.h>
#include <vyxbidi.h>

#include <string>

#include "support/scripted_module.h"

namespace vyxtest {

class LibraryHandle {
  public:
    explicit LibraryHandle(const std::wstring& callerPath) {
        initialized_ = VyxBiDi_Initialize(&handle_, callerPath.c_str());
    }
    ~LibraryHandle() {
        if (handle_) {
            VyxBiDi_Terminate(handle_);
        }
    }
    LibraryHandle(const LibraryHandle&) = delete;
    LibraryHandle& operator=(const LibraryHandle&) = delete;

    LONG initialized() const { return initialized_; }
    BiDiHandle* get() const { return handle_; }

  protected:
    BiDiHandle* handle_ = nullptr;

  private:
    LONG initialized_ = -1;
};

// The caller's path whose query module is the named network module beside the test programs
// (ipp\VYXBIDI.SNM, snmp\VYXBIDI.SNM).
inline std::wstring NetworkModuleCaller(const std::wstring& module) {
    return ProgramDirectory() + module + L"\\VYXBIDI.dll";
}

}  // namespace vyxtest
