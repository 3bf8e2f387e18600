// The learnt table behind AnswerWidener, and its check that a text can use it.
#include "answer_widener.h"

#include <algorithm>

namespace vyx {
namespace {

bool HasLeadBytesBelow(const CPINFO& info, BYTE limit) noexcept {
    for (int i = 0; i + 1 < MAX_LEADBYTES && (info.LeadByte[i] || info.LeadByte[i + 1]); i += 2) {
        if (info.LeadByte[i] < limit) {
            return true;
        }
    }
    return false;
}

// Converts bytes 1 to `last` in one validating call; true when every one of them converted to
// exactly one unit, which `units` then holds at the byte's own position.
bool LearnBytes(int last, WCHAR* units) noexcept {
    char bytes[0xFF];
    for (int i = 0; i < last; ++i) {
        bytes[i] = static_cast<char>(i + 1);
    }
    return MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes, last, units + 1, last) == last;
}

}  // namespace

void StandaloneBytes::Learn() noexcept {
    if (learnt_) {
        return;
    }
    learnt_ = true;
    CPINFO info;
    if (!GetCPInfo(CP_ACP, &info)) {
        return;
    }
    if (info.MaxCharSize >= 1 && info.MaxCharSize <= 4) {
        maxCharSize_ = info.MaxCharSize;
    }
    // One byte that a single-byte code page does not define fails the whole validating call;
    // ASCII alone may still be learnt then.
    if (info.MaxCharSize == 1 && LearnBytes(0xFF, units_)) {
        limit_ = 0x100;
    } else if ((info.MaxCharSize == 1 || !HasLeadBytesBelow(info, 0x80)) &&
               LearnBytes(0x7F, units_)) {
        limit_ = 0x80;
    }
}

void AnswerWidener::Widen(wchar_t* dest, std::size_t capacity, const char* source,
                          std::size_t sourceBytes) noexcept {
    if (!source || capacity == 0 || sourceBytes == 0) {
        return;
    }
    const unsigned known = bytes_.Limit();
    // The bytes that WidenText reads: up to the terminator or the buffer's last byte, and no
    // more than the destination holds with its terminator. Each loop finds the end as it goes.
    const std::size_t limit = std::min(sourceBytes, capacity) - 1;
    const auto* bytes = reinterpret_cast<const unsigned char*>(source);
    std::size_t length = 0;
    if (known == 0x100) {
        for (; length < limit && bytes[length] != 0; ++length) {
            dest[length] = bytes_.Unit(bytes[length]);
        }
        dest[length] = L'\0';
        return;
    }
    if (known == 0x80) {
        // Checked before anything is written, and given up at the first byte above ASCII: a
        // text that goes on to WidenText must find the destination as it was.
        while (length < limit && bytes[length] != 0 && bytes[length] < 0x80) {
            ++length;
        }
        if (length == limit || bytes[length] == 0) {
            std::transform(bytes, bytes + length, dest,
                           [this](unsigned char b) { return bytes_.Unit(b); });
            dest[length] = L'\0';
            return;
        }
    }
    WidenText(dest, capacity, source, sourceBytes);
}

}  // namespace vyx
