// The crossing between the caller's wide strings and the query module's ANSI strings.
#pragma once

#include <windows.h>

#include <vyxbidi.h>

#include <cstddef>

#include "global_buffer.h"

namespace vyx {

// Writes the ANSI form of `source` (system code page) into `dest`, which holds `capacity` bytes.
// A string with a character that has no ANSI form is sent raw: one byte, the low 8 bits, per
// code unit. False, with `dest` untouched, when the result would not fit; a null source leaves
// `dest` untouched and counts as converted.
bool NarrowText(char* dest, std::size_t capacity, const wchar_t* source) noexcept;

// Writes the wide form of the ANSI text in `source` into `dest`, which holds `capacity` code
// units. `source` is a buffer of `sourceBytes` bytes that a query module filled: it is read up
// to its terminator or up to its last byte, never further. Text that is not valid in the code
// page is widened raw: one code unit per byte, 0x80-0xFF without sign. Always terminates `dest`;
// a null source leaves it untouched.
void WidenText(wchar_t* dest, std::size_t capacity, const char* source,
               std::size_t sourceBytes) noexcept;

template <std::size_t D, std::size_t S>
void WidenText(wchar_t (&dest)[D], const AnsiBlock<S>& source) noexcept {
    static_assert(D >= S, "a wide field needs one code unit per byte of its ANSI block");
    WidenText(dest, D, source.text, S);
}

// Whether the ANSI form of `text` fits a block of N bytes with its terminator, measured on the
// stack, so that a request can be refused before anything is allocated or sent. A null text fits.
template <std::size_t N>
bool FitsAnsiBlock(const wchar_t* text) noexcept {
    char probe[N];
    return NarrowText(probe, N, text);
}

// The ANSI copy of one nullable wide argument, in a block of its own for the query module.
template <std::size_t N>
class AnsiArgument {
  public:
    explicit AnsiArgument(const wchar_t* text) noexcept {
        if (!text) {
            return;
        }
        block_ = GlobalBuffer<AnsiBlock<N>>();
        if (!block_) {
            status_ = BIDI_ERR_FAILED;
        } else if (!NarrowText(block_->text, N, text)) {
            status_ = BIDI_ERR_BAD_ARGUMENT;
        }
    }

    // BIDI_OK; BIDI_ERR_BAD_ARGUMENT when the ANSI form does not fit N bytes with its
    // terminator; BIDI_ERR_FAILED when no block could be had.
    LONG status() const noexcept { return status_; }

    // The ANSI string for the module, or null for a null argument.
    const char* get() const noexcept { return block_ ? block_->text : nullptr; }

  private:
    GlobalBuffer<AnsiBlock<N>> block_{nullptr};
    LONG status_ = BIDI_OK;
};

// The first status of several arguments that is not BIDI_OK, or BIDI_OK.
template <typename... Arguments>
LONG FirstFailure(const Arguments&... arguments) noexcept {
    LONG status = BIDI_OK;
    ((status = status != BIDI_OK ? status : arguments.status()), ...);
    return status;
}

}  // namespace vyx
