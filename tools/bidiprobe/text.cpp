// UTF-8 for the report, and output that reads right on a console and in a pipe.
#include "text.h"

#include "code_page_text.h"

namespace bidiprobe {
namespace {

void Write(DWORD which, const std::string& utf8) {
    const HANDLE stream = GetStdHandle(which);
    if (stream == nullptr || stream == INVALID_HANDLE_VALUE || utf8.empty()) {
        return;
    }
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(stream, &mode)) {
        const std::wstring wide = Wide(utf8);
        WriteConsoleW(stream, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        WriteFile(stream, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    }
}

}  // namespace

// Unpaired surrogates become U+FFFD, so the result is always valid UTF-8.
std::string Utf8(const std::wstring& text) {
    return vyxtext::Encode(CP_UTF8, text);
}

std::wstring Wide(const std::string& utf8) {
    return vyxtext::Decode(CP_UTF8, utf8);
}

void WriteOut(const std::string& utf8) {
    Write(STD_OUTPUT_HANDLE, utf8);
}
void WriteError(const std::string& utf8) {
    Write(STD_ERROR_HANDLE, utf8);
}

}  // namespace bidiprobe
