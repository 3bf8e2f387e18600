// WidenText for the many answers of one export call, most of them through a table learnt once.
#pragma once

#include <windows.h>

#include <cstddef>

#include "global_buffer.h"
#include "text.h"

namespace vyx {

// Gives exactly what WidenText gives. On its first use it learns, in one conversion, the code
// units of the bytes that are characters of their own and valid whatever surrounds them: every
// byte in a single-byte code page (when all of them are valid), ASCII in one whose lead bytes all
// lie above it. A text made only of such bytes then widens through the table, which for long
// texts costs a fraction of a validating conversion; any other text goes to WidenText. Learnt
// afresh for each export call, so a change of code page between calls is seen.
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
    void Learn() noexcept;

    bool learnt_ = false;
    unsigned known_ = 0;  // bytes below this widen through units_: 0, 0x80 or 0x100
    WCHAR units_[0x100];
};

}  // namespace vyx
