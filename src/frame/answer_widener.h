// WidenText for the many answers of one export call, most of them through a table learnt once.
#pragma once

#include <windows.h>

#include <cstddef>

#include "global_buffer.h"
#include "text.h"

namespace vyx {

// The code units of the bytes that are characters of their own and valid whatever surrounds
// them: every byte in a single-byte code page (when all of them are valid), ASCII in one whose
// lead bytes all lie above it. Learnt in one validating conversion on first use; kept for one
// export call only, so a change of code page between calls is seen.
class StandaloneBytes {
  public:
    // Bytes below this value widen through Unit(): 0, 0x80 or 0x100.
    unsigned Limit() noexcept {
        Learn();
        return limit_;
    }
    WCHAR Unit(unsigned char byte) const noexcept { return units_[byte]; }
    // The longest character of the code page, in bytes (1 to 4; 4 when unknown).
    unsigned MaxCharSize() noexcept {
        Learn();
        return maxCharSize_;
    }

    // Widens standalone bytes from the start of `bytes` up to the first zero byte or the
    // `limit`th byte, whichever comes first, and gives their number; every byte before that must
    // be below Limit(). Runs of bytes that widen to the unit of their own value go 16 at a time
    // where the processor can.
    std::size_t WidenRun(wchar_t* dest, const unsigned char* bytes, std::size_t limit) noexcept;

    // The number of bytes from the start of `bytes`, up to the first zero byte or the `limit`th
    // byte, that are ASCII; `*stoppedAbove` tells whether a byte above ASCII ended them.
    std::size_t AsciiRun(const unsigned char* bytes, std::size_t limit,
                         bool* stoppedAbove) noexcept;

  private:
    void Learn() noexcept;

    bool learnt_ = false;
    unsigned limit_ = 0;
    unsigned maxCharSize_ = 4;
    // Which bytes widen to the unit of their own value, for the runs taken 16 at a time: none
    // (no such run is taken), ASCII, or ASCII and 0xA0-0xFF.
    enum class SameValue { kNone, kAscii, kAsciiAndUpper } sameValue_ = SameValue::kNone;
    bool chunks_ = false;  // the processor widens 16 bytes at a time
    WCHAR units_[0x100];
};

// Gives exactly what WidenText gives. A text made only of standalone bytes widens through their
// table, which for long texts costs a fraction of a validating conversion; any other text goes
// to WidenText.
class AnswerWidener {
  public:
    void Widen(wchar_t* dest, std::size_t capacity, const char* source,
               std::size_t sourceBytes) noexcept;

    template <std::size_t D, std::size_t S>
    void Widen(wchar_t (&dest)[D], const AnsiBlock<S>& source) noexcept {
        static_assert(D >= S, "a wide field needs one code unit per byte of its ANSI block");
        Widen(dest, D, source.text, S);
    }

    // Gives what Widen gives into a field of S units, cut to the D - 1 units that `dest` holds
    // with its terminator. Where every byte is a character of its own, a unit stands for a byte,
    // so only the first D - 1 bytes are widened; otherwise the whole text is, then cut.
    template <std::size_t D, std::size_t S>
    void WidenCut(wchar_t (&dest)[D], const AnsiBlock<S>& source) noexcept {
        static_assert(D < S, "a field that holds the whole answer needs no cut");
        if (bytes_.Limit() == 0x100) {
            Widen(dest, D, source.text, S);
            return;
        }
        wchar_t whole[S];
        Widen(whole, S, source.text, S);
        std::size_t i = 0;
        for (; i + 1 < D && whole[i] != L'\0'; ++i) {
            dest[i] = whole[i];
        }
        dest[i] = L'\0';
    }

  private:
    StandaloneBytes bytes_;
};

}  // namespace vyx
