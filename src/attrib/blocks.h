// The attribute family's global blocks: the module's answer buffers, and records given back.
#pragma once

#include <windows.h>
#include <vyxbidi.h>

#include <cstddef>

#include "frame/answer_widener.h"
#include "frame/global_buffer.h"
#include "frame/text.h"

namespace vyx {

// One module-filled answer of N bytes. A block that cannot be had is passed as a null pointer,
// and its field is then left as it was.
template <std::size_t N>
using AnswerBlock = GlobalBuffer<AnsiBlock<N>>;

template <std::size_t N>
char* AnswerText(const AnswerBlock<N>& answer) noexcept {
    return answer ? answer->text : nullptr;
}

// Widens an answer into a wide field, read no further than the block's end; a block that
// could not be had leaves the field as it was.
template <std::size_t D, std::size_t N>
void WidenAnswer(AnswerWidener& widener, wchar_t (&dest)[D],
                 const AnswerBlock<N>& answer) noexcept {
    if (answer) {
        widener.Widen(dest, *answer);
    }
}

// Gives back a block an attribute getter handed out, found at the address of the caller's
// pointer; the caller's pointer keeps its value, so the caller must not give it back twice.
template <typename Record>
LONG ReleaseHandedOut(Record* const* record) noexcept {
    if (record) {
        ReleaseGlobal(*record);
    }
    return BIDI_OK;
}

}  // namespace vyx
