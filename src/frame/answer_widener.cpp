// The learnt table behind AnswerWidener, and its check that a text can use it.
#include "answer_widener.h"

#if defined(__aarch64__) || defined(_M_ARM64)
#include <arm_neon.h>
#else
#include <emmintrin.h>
#endif

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

// Whether bytes `first` to `last` widen to the units of their own values.
bool KeepValues(const WCHAR* units, unsigned first, unsigned last) noexcept {
    for (unsigned byte = first; byte <= last; ++byte) {
        if (units[byte] != byte) {
            return false;
        }
    }
    return true;
}

// 16 bytes at a time: the whole chunks at the start of `bytes`, within `limit` bytes, that hold
// no zero byte and only bytes that keep their value (ASCII, and with `upperToo` 0xA0-0xFF as
// well), each widened into `dest` unless it is null. Gives the number of bytes in those chunks.
#if defined(__aarch64__) || defined(_M_ARM64)
std::size_t SameValueChunks(wchar_t* dest, const unsigned char* bytes, std::size_t limit,
                            bool upperToo) noexcept {
    static_assert(sizeof(wchar_t) == sizeof(uint16_t), "a unit of UTF-16 per byte");
    std::size_t done = 0;
    for (; done + 16 <= limit; done += 16) {
        const uint8x16_t chunk = vld1q_u8(bytes + done);
        // Of the bytes above ASCII only 0x80-0x9F fail when upperToo.
        const uint8x16_t above = upperToo
                                     ? vceqq_u8(vandq_u8(chunk, vdupq_n_u8(0xE0)), vdupq_n_u8(0x80))
                                     : vcgeq_u8(chunk, vdupq_n_u8(0x80));
        if (vmaxvq_u8(vorrq_u8(vceqzq_u8(chunk), above)) != 0) {
            break;
        }
        if (dest) {
            auto* units = reinterpret_cast<uint16_t*>(dest + done);
            vst1q_u16(units, vmovl_u8(vget_low_u8(chunk)));
            vst1q_u16(units + 8, vmovl_high_u8(chunk));
        }
    }
    return done;
}
#else
// Loads and stores are unaligned, and the stack is realigned on entry, since the 32-bit calling
// convention promises neither.
__attribute__((target("sse2"), force_align_arg_pointer)) std::size_t SameValueChunks(
    wchar_t* dest, const unsigned char* bytes, std::size_t limit, bool upperToo) noexcept {
    const __m128i zero = _mm_setzero_si128();
    const __m128i topThreeBits = _mm_set1_epi8(static_cast<char>(0xE0));
    const __m128i controls = _mm_set1_epi8(static_cast<char>(0x80));  // 0x80-0x9F, masked
    std::size_t done = 0;
    for (; done + 16 <= limit; done += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + done));
        // Bytes above ASCII are signed negative; of them only 0x80-0x9F fail when upperToo.
        const __m128i above = upperToo
                                  ? _mm_cmpeq_epi8(_mm_and_si128(chunk, topThreeBits), controls)
                                  : _mm_cmplt_epi8(chunk, zero);
        if (_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(chunk, zero), above)) != 0) {
            break;
        }
        if (dest) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + done),
                             _mm_unpacklo_epi8(chunk, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + done + 8),
                             _mm_unpackhi_epi8(chunk, zero));
        }
    }
    return done;
}
#endif

// From `length` on: the whole chunks SameValueChunks takes; then, with fewer than 16 bytes left,
// the last 16 as one chunk that overlaps those before it and writes their units again with the
// same values. Gives where the chunks ended, `limit` when they reached it.
std::size_t SameValueRun(wchar_t* dest, const unsigned char* bytes, std::size_t length,
                         std::size_t limit, bool upperToo) noexcept {
    length +=
        SameValueChunks(dest ? dest + length : nullptr, bytes + length, limit - length, upperToo);
    if (limit - length < 16 && length < limit && limit >= 16 &&
        SameValueChunks(dest ? dest + limit - 16 : nullptr, bytes + limit - 16, 16, upperToo) ==
            16) {
        return limit;
    }
    return length;
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
#if defined(__aarch64__) || defined(_M_ARM64)
    chunks_ = true;  // every ARM64 processor has NEON
#else
    chunks_ = IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE) != FALSE;
#endif
    if (limit_ >= 0x80 && KeepValues(units_, 0x01, 0x7F)) {
        const bool upper = limit_ == 0x100 && KeepValues(units_, 0xA0, 0xFF);
        sameValue_ = upper ? SameValue::kAsciiAndUpper : SameValue::kAscii;
    }
}

std::size_t StandaloneBytes::WidenRun(wchar_t* dest, const unsigned char* bytes,
                                      std::size_t limit) noexcept {
    Learn();
    const bool chunks = chunks_ && sameValue_ != SameValue::kNone;
    const bool upperToo = sameValue_ == SameValue::kAsciiAndUpper;
    std::size_t length = 0;
    for (;;) {
        if (chunks) {
            length = SameValueRun(dest, bytes, length, limit, upperToo);
            if (length == limit) {
                return limit;
            }
        }
        // Then up to 16 bytes through the table: the chunk that held another byte, or the tail.
        const std::size_t stop = std::min(limit, length + 16);
        while (length < stop && bytes[length] != 0) {
            dest[length] = units_[bytes[length]];
            ++length;
        }
        if (length < stop || length == limit) {
            return length;
        }
    }
}

std::size_t StandaloneBytes::AsciiRun(const unsigned char* bytes, std::size_t limit,
                                      bool* stoppedAbove) noexcept {
    Learn();
    std::size_t length = 0;
    for (;;) {
        if (chunks_) {
            length = SameValueRun(nullptr, bytes, length, limit, false);
            if (length == limit) {
                *stoppedAbove = false;
                return limit;
            }
        }
        const std::size_t stop = std::min(limit, length + 16);
        while (length < stop && bytes[length] != 0 && bytes[length] < 0x80) {
            ++length;
        }
        if (length < stop || length == limit) {
            *stoppedAbove = length < limit && bytes[length] >= 0x80;
            return length;
        }
    }
}

void AnswerWidener::Widen(wchar_t* dest, std::size_t capacity, const char* source,
                          std::size_t sourceBytes) noexcept {
    if (!source || capacity == 0 || sourceBytes == 0) {
        return;
    }
    const unsigned known = bytes_.Limit();
    // The bytes that WidenText reads: up to the terminator or the buffer's last byte, and no
    // more than the destination holds with its terminator.
    const std::size_t limit = std::min(sourceBytes, capacity) - 1;
    const auto* bytes = reinterpret_cast<const unsigned char*>(source);
    if (known == 0x100) {
        dest[bytes_.WidenRun(dest, bytes, limit)] = L'\0';
        return;
    }
    if (known == 0x80) {
        // Checked before anything is written: a text that goes on to WidenText must find the
        // destination as it was.
        bool stoppedAbove = false;
        const std::size_t length = bytes_.AsciiRun(bytes, limit, &stoppedAbove);
        if (!stoppedAbove) {
            bytes_.WidenRun(dest, bytes, length);
            dest[length] = L'\0';
            return;
        }
    }
    WidenText(dest, capacity, source, sourceBytes);
}

}  // namespace vyx
