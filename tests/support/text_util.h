// Conversions for expectations: what the system code page makes of a text, computed directly.
#pragma once

#include <windows.h>

#include <string>

#include "code_page_text.h"

namespace vyxtest {

// The ANSI form of `text` in the current code page (best fit allowed, as the library converts).
inline std::string ToAnsi(const std::wstring& text) {
    return vyxtext::Encode(CP_ACP, text);
}

// The wide form of ANSI `text` in the current code page.
inline std::wstring FromAnsi(const std::string& text) {
    return vyxtext::Decode(CP_ACP, text);
}

// UTF-8, for reports and files; and the wide form of an ASCII text (ports, URIs, options).
inline std::string Utf8(const std::wstring& text) {
    return vyxtext::Encode(CP_UTF8, text);
}

inline std::wstring Wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

inline bool IsCodePage932() {
    return GetACP() == 932;
}

}  // namespace vyxtest
