// Conversions through the current ANSI code page, and answers that never pass their buffer.
#include "ansi_text.h"

#include <cstring>

#include "code_page_text.h"
#include "display_text.h"

namespace vyxserve {
namespace {

constexpr char kFillByte = '#';

// The number of leading bytes of `ansi` that hold whole characters and number at most `limit`.
std::size_t WholeCharactersWithin(const std::string& ansi, std::size_t limit) {
    std::size_t at = 0;
    while (at < ansi.size()) {
        const std::size_t width =
            IsDBCSLeadByte(static_cast<BYTE>(ansi[at])) && at + 1 < ansi.size() ? 2 : 1;
        if (at + width > limit) {
            break;
        }
        at += width;
    }
    return at;
}

}  // namespace

std::string ToAnsi(const std::string& utf8) {
    return vyxtext::Encode(CP_ACP, vyxtext::Decode(CP_UTF8, utf8));
}

std::string FromAnsi(const std::string& ansi) {
    return vyxtext::Encode(CP_UTF8, vyxtext::Decode(CP_ACP, ansi));
}

std::string ReadInput(const char* text, std::size_t capacity) {
    return text ? std::string(text, strnlen(text, capacity)) : std::string();
}

void WriteAnswer(char* dest, std::size_t capacity, const std::string& ansi, bool unterminated) {
    if (!dest || capacity == 0) {
        return;
    }
    if (unterminated) {
        const std::size_t kept = WholeCharactersWithin(ansi, capacity);
        std::memcpy(dest, ansi.data(), kept);
        std::memset(dest + kept, kFillByte, capacity - kept);
        return;
    }
    const std::size_t kept = WholeCharactersWithin(ansi, capacity - 1);
    std::memcpy(dest, ansi.data(), kept);
    dest[kept] = '\0';
}

void WriteDisplay(char* dest, std::size_t capacity, const std::string& utf8, bool unterminated) {
    if (!dest || capacity == 0) {
        return;
    }
    const std::size_t limit = unterminated ? capacity : capacity - 1;
    const std::string fitted = FitToField(ToAnsi(DisplayText(utf8)), limit, [](unsigned char b) {
        return IsDBCSLeadByte(b) != FALSE;
    });
    WriteAnswer(dest, capacity, fitted, unterminated);
}

}  // namespace vyxserve
