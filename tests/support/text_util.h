// Conversions for expectations: what the system code page makes of a text, computed directly.
#pragma once

#include <windows.h>

#include <string>

namespace vyxtest {

// The ANSI form of `text` in the current code page (best fit allowed, as the library converts).
inline std::string ToAnsi(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 1, '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
    out.resize(n > 0 ? n - 1 : 0);
    return out;
}

// The wide form of ANSI `text` in the current code page.
inline std::wstring FromAnsi(const std::string& text) {
    const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring out(n > 0 ? n : 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, out.data(), n);
    out.resize(n > 0 ? n - 1 : 0);
    return out;
}

inline bool IsCodePage932() { return GetACP() == 932; }

}  // namespace vyxtest
