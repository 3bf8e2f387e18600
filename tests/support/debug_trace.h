// Catches what the library writes to the debugger output, in order, without a debugger.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vyxtest {

// While alive, every OutputDebugString text of this process is appended to Lines().
class DebugTraceCapture {
public:
    DebugTraceCapture();
    ~DebugTraceCapture();
    DebugTraceCapture(const DebugTraceCapture&) = delete;
    DebugTraceCapture& operator=(const DebugTraceCapture&) = delete;

    const std::vector<std::wstring>& Lines() const { return lines_; }

private:
    static LONG CALLBACK Handler(EXCEPTION_POINTERS* info);
    void* cookie_;
    std::vector<std::wstring> lines_;
};

}  // namespace vyxtest
