// Guards linked into every test program: the process heap is validated after each test, and a
// crash ends the program at once with the fault on stderr instead of waiting on wine's debugger.
// Wine reports heap corruption only where the heap is checked, so these checks are what make a
// run under WINEDEBUG=warn+heap (block tails and freed blocks filled and checked) see an overrun.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

namespace {

constexpr UINT kCorruptHeapExit = 4;
constexpr UINT kCrashExit = 3;

class HeapValidation : public testing::EmptyTestEventListener {
    void OnTestEnd(const testing::TestInfo& test) override {
        if (!HeapValidate(GetProcessHeap(), 0, nullptr)) {
            std::fprintf(stderr, "heap check: the process heap is corrupt after %s.%s\n",
                         test.test_suite_name(), test.name());
            std::fflush(stderr);
            TerminateProcess(GetCurrentProcess(), kCorruptHeapExit);
        }
    }
};

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    std::fprintf(stderr, "crash: exception %08lx at %p\n",
                 static_cast<unsigned long>(record->ExceptionCode), record->ExceptionAddress);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), kCrashExit);
    return EXCEPTION_EXECUTE_HANDLER;
}

const bool g_installed = [] {
    SetUnhandledExceptionFilter(ReportCrash);
    testing::UnitTest::GetInstance()->listeners().Append(new HeapValidation);
    return true;
}();

}  // namespace
