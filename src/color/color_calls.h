// The colour entry points that carry strings, each call with fresh ANSI blocks of its own.
#pragma once

#include <windows.h>
#include <vyxbidi.h>

#include <cstddef>

#include "frame/answer_widener.h"
#include "frame/global_buffer.h"
#include "frame/text.h"

namespace vyx::color {

// Session strings travel in 64-byte blocks; feature names, option values and every string the
// module writes back in 256-byte blocks. All sizes include the terminator.
constexpr std::size_t kSessionTextBytes = 64;
constexpr std::size_t kKeyTextBytes = 256;

// One string of a key or an option, widened from the module's 256-byte block: one code unit per
// byte is always enough.
struct WideString {
    WCHAR text[kKeyTextBytes];
};
static_assert(sizeof(WideString) == 512, "a wide working block is 512 bytes");

// Each of the calls below gives the module's result, BIDI_ERR_NO_ENTRY_POINT, BIDI_ERR_FAILED
// when one of its own blocks cannot be had, or BIDI_ERR_BAD_ARGUMENT when an input does not fit
// its block; in the last two cases nothing is called. The readers widen both answers whatever
// the module's result, so an answer the module left unwritten reads as an empty string; they
// widen through `widener`, one for all the reads of an export call.

// Color_GetCurrentKey: the two strings of the module's current key.
LONG ReadCurrentKey(BiDiHandle* handle, AnswerWidener& widener, WideString& first,
                    WideString& second) noexcept;

// Color_GetNextOption: 0 when it delivered the next option of the current key.
LONG ReadNextOption(BiDiHandle* handle, AnswerWidener& widener, WideString& first,
                    WideString& second) noexcept;

// Color_GetSelectedOption: the option selected for `featureName`.
LONG ReadSelectedOption(BiDiHandle* handle, const wchar_t* featureName, AnswerWidener& widener,
                        WideString& first, WideString& second) noexcept;

// Color_SetCurrentKey: makes `featureName` (null passes as null) the current key.
LONG SetCurrentKey(BiDiHandle* handle, const wchar_t* featureName) noexcept;

// Color_SetKeyValue: either string may be null and is then passed as null.
LONG SetKeyValue(BiDiHandle* handle, const wchar_t* featureName,
                 const wchar_t* optionValue) noexcept;

// Copies two widened strings into a record's pair.
void CopyPair(TextPair& pair, const WideString& first, const WideString& second) noexcept;

}  // namespace vyx::color
