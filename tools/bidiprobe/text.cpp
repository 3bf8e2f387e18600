// UTF-8 for the report, and output that reads right on a console and in a pipe.
#include "text.h"

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
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int size = static_cast<int>(utf8.size());
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring out(n > 0 ? n : 0, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, out.data(), n);
    return out;
}

void WriteOut(const std::string& utf8) {
    Write(STD_OUTPUT_HANDLE, utf8);
}
void WriteError(const std::string& utf8) {
    Write(STD_ERROR_HANDLE, utf8);
}

}  // namespace bidiprobe
