// OutputDebugString raises a continuable exception that a vectored handler sees first.
#include "debug_trace.h"

#include <cstring>

namespace vyxtest {
namespace {

constexpr DWORD kPrintAnsi = 0x40010006;  // DBG_PRINTEXCEPTION_C
constexpr DWORD kPrintWide = 0x4001000A;  // DBG_PRINTEXCEPTION_WIDE_C
DebugTraceCapture* g_active = nullptr;

}  // namespace

DebugTraceCapture::DebugTraceCapture() : cookie_(AddVectoredExceptionHandler(1, &Handler)) {
    g_active = this;
}

DebugTraceCapture::~DebugTraceCapture() {
    RemoveVectoredExceptionHandler(cookie_);
    g_active = nullptr;
}

LONG CALLBACK DebugTraceCapture::Handler(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    if (!g_active || record->NumberParameters < 2) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    if (record->ExceptionCode == kPrintWide) {
        // The wide text comes first; the ANSI copy raised after it must not count twice.
        g_active->lines_.emplace_back(reinterpret_cast<const wchar_t*>(record->ExceptionInformation[1]));
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    if (record->ExceptionCode == kPrintAnsi) {
        const char* text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
        g_active->lines_.emplace_back(text, text + std::strlen(text));
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace vyxtest
