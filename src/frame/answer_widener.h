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

  private:
    void Learn() noexcept;

    bool learnt_ = false;
    unsigned limit_ = 0;
    unsigned maxCharSize_ = 4;
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

  private:
    StandaloneBytes bytes_;
};

}  // namespace vyx
