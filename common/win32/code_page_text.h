// Whole-string conversions between wide text and a code page's bytes, for the tools and tests.
#pragma once

#include <windows.h>

#include <string>

namespace vyxtext {

// The bytes of `text` in `codePage` (CP_ACP, CP_UTF8, ...); characters without a form there
// become what the system makes of them. Unpaired surrogates become U+FFFD in UTF-8.
inline std::string Encode(UINT codePage, const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    WideCharToMultiByte(codePage, 0, text.data(), size, out.data(), n, nullptr, nullptr);
    return out;
}

// The wide form of the bytes `text` in `codePage`.
inline std::wstring Decode(UINT codePage, const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    std::wstring out(n > 0 ? n : 0, L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), size, out.data(), n);
    return out;
}

}  // namespace vyxtext
