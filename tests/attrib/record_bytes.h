// Reading the caller's records by raw byte offset, so a test never relies on the header's layout.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "support/scripted_module.h"

namespace vyxtest {

// The `units` code units at byte `offset` of `record`, zeros after a terminator included.
inline std::wstring UnitsAt(const void* record, std::size_t offset, std::size_t units) {
    std::wstring out(units, L'\0');
    std::memcpy(out.data(), static_cast<const BYTE*>(record) + offset, units * sizeof(wchar_t));
    return out;
}

inline LONG LongAt(const void* record, std::size_t offset) {
    LONG value;
    std::memcpy(&value, static_cast<const BYTE*>(record) + offset, sizeof value);
    return value;
}

// What a field of `units` code units holds when it carries `text`: the text, then zeros.
inline std::wstring Field(std::wstring text, std::size_t units) {
    text.resize(units, L'\0');
    return text;
}

// Writes a module answer unless the library passed no block for it.
inline void FillAnswer(char* dest, const std::string& text) {
    if (dest) {
        Fill(dest, text);
    }
}

inline std::wstring Wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

}  // namespace vyxtest
