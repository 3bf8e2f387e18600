// NarrowText and WidenText: whole-string conversion through the code page, raw when that fails.
#include "text.h"

#include <vyxbidi.h>

namespace vyx {

namespace {

bool NarrowRaw(char* dest, std::size_t capacity, const wchar_t* source) noexcept {
    const std::size_t units = static_cast<std::size_t>(lstrlenW(source));
    if (units >= capacity) {
        return false;
    }
    for (std::size_t i = 0; i < units; ++i) {
        dest[i] = static_cast<char>(source[i] & 0xFF);
    }
    dest[units] = '\0';
    return true;
}

// Length of a module-filled buffer's text: up to its terminator, at most `capacity` - 1 bytes.
std::size_t BoundedLength(const char* text, std::size_t capacity) noexcept {
    std::size_t length = 0;
    while (length + 1 < capacity && text[length] != '\0') {
        ++length;
    }
    return length;
}

void WidenRaw(wchar_t* dest, const char* source, std::size_t length) noexcept {
    for (std::size_t i = 0; i < length; ++i) {
        dest[i] = static_cast<unsigned char>(source[i]);
    }
    dest[length] = L'\0';
}

}  // namespace

bool NarrowText(char* dest, std::size_t capacity, const wchar_t* source) noexcept {
    if (!source) {
        return true;
    }
    // The default character is a zero byte; whether it was needed tells whether some character
    // has no ANSI form (best-fit replacements count as converted). Asking while measuring lets a
    // too-long text be refused before anything is written.
    const char nul = '\0';
    BOOL usedDefault = FALSE;
    const int needed = WideCharToMultiByte(CP_ACP, 0, source, -1, nullptr, 0, &nul, &usedDefault);
    if (needed <= 0 || usedDefault) {
        return NarrowRaw(dest, capacity, source);
    }
    if (static_cast<std::size_t>(needed) > capacity) {
        return false;
    }
    usedDefault = FALSE;
    const int written =
        WideCharToMultiByte(CP_ACP, 0, source, -1, dest, needed, &nul, &usedDefault);
    if (written <= 0 || usedDefault) {
        return NarrowRaw(dest, capacity, source);
    }
    return true;
}

void WidenText(wchar_t* dest, std::size_t capacity, const char* source,
               std::size_t sourceBytes) noexcept {
    if (!source || capacity == 0 || sourceBytes == 0) {
        return;
    }
    // Reading no more bytes than the destination has units (less its terminator) keeps even the
    // raw form inside it: whole-string results never have more units than bytes.
    std::size_t length = BoundedLength(source, sourceBytes);
    if (length > capacity - 1) {
        length = capacity - 1;
    }
    if (length == 0) {
        dest[0] = L'\0';
        return;
    }
    const int converted =
        MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, source, static_cast<int>(length), dest,
                            static_cast<int>(capacity - 1));
    if (converted > 0) {
        dest[converted] = L'\0';
        return;
    }
    WidenRaw(dest, source, length);
}

}  // namespace vyx
