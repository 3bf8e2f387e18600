// Text for the report: wide record fields to UTF-8, and writing to the console or a pipe.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace bidiprobe {

std::string Utf8(const std::wstring& text);
std::wstring Wide(const std::string& utf8);

// A record's string field, read no further than the field even without a terminator.
template <std::size_t N>
std::string FieldText(const WCHAR (&field)[N]) {
    std::size_t length = 0;
    while (length < N && field[length] != L'\0') {
        ++length;
    }
    return Utf8(std::wstring(field, length));
}

// Writes UTF-8 text to standard output or standard error: as wide text to a console, as UTF-8
// bytes to a file or pipe.
void WriteOut(const std::string& utf8);
void WriteError(const std::string& utf8);

}  // namespace bidiprobe
