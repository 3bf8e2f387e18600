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

inline bool IsCodePage932() {
    return GetACP() == 932;
}

}  // namespace vyxtest
