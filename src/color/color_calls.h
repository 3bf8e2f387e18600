// The colour entry points that carry strings, each call with fresh ANSI blocks of its own.
#pragma once

#include <windows.h>
#include <vyxbidi.h>

#include <cstddef>

#include "frame/answer_widener.h"
#include "frame/global_buffer.h"
#include "frame/query_module.h"
#include "frame/text.h"

namespace vyx::color {

// Session strings travel in 64-byte blocks; feature names, option values and every string the
// module writes back in 256-byte blocks. All sizes include the terminator.
constexpr std::size_t kSessionTextBytes = 64;
constexpr std::size_t kKeyTextBytes = 256;

// One string of a key or an option as the module wrote it.
using KeyAnswer = AnsiBlock<kKeyTextBytes>;

// A 512-byte wide working block: one code unit per byte of a module's answer.
struct WideString {
    WCHAR text[kKeyTextBytes];
};
static_assert(sizeof(WideString) == 512, "a wide working block is 512 bytes");

// Calls `entry` with `inputs` followed by two fresh zero-filled answer blocks, and hands the
// module's result and both blocks to `take(result, first, second)` while they are still held, so
// that the answers are widened straight to where they belong. An absent entry point leaves the
// blocks zero-filled: they then widen to empty strings. Gives the module's result,
// BIDI_ERR_NO_ENTRY_POINT, or BIDI_ERR_FAILED with nothing called or taken when the blocks
// cannot be had.
template <typename Pfn, typename Take, typename... Inputs>
LONG ReadTwoStrings(BiDiHandle* handle, vyxquery::EntryPoint<Pfn> entry, Take take,
                    Inputs... inputs) noexcept {
    const GlobalBuffer<KeyAnswer> first;
    const GlobalBuffer<KeyAnswer> second;
    if (!first || !second) {
        return BIDI_ERR_FAILED;
    }
    const LONG result = CallModule(handle, entry, inputs..., first->text, second->text);
    take(result, *first, *second);
    return result;
}

// Color_GetCurrentKey: the two strings of the module's current key.
template <typename Take>
LONG ReadCurrentKey(BiDiHandle* handle, Take take) noexcept {
    return ReadTwoStrings(handle, vyxquery::Color_GetCurrentKey, take);
}

// Color_GetNextOption: 0 when it delivered the next option of the current key.
template <typename Take>
LONG ReadNextOption(BiDiHandle* handle, Take take) noexcept {
    return ReadTwoStrings(handle, vyxquery::Color_GetNextOption, take);
}

// Color_GetSelectedOption: the option selected for `featureName`, whose block is taken before
// the answer blocks. BIDI_ERR_BAD_ARGUMENT or BIDI_ERR_FAILED, with nothing called, when the
// name does not fit its block or no block can be had for it.
template <typename Take>
LONG ReadSelectedOption(BiDiHandle* handle, const wchar_t* featureName, Take take) noexcept {
    const AnsiArgument<kKeyTextBytes> key(featureName);
    if (const LONG refused = key.status()) {
        return refused;
    }
    return ReadTwoStrings(handle, vyxquery::Color_GetSelectedOption, take, key.get());
}

// Each of the calls below gives the module's result, BIDI_ERR_NO_ENTRY_POINT, BIDI_ERR_FAILED
// when one of its own blocks cannot be had, or BIDI_ERR_BAD_ARGUMENT when an input does not fit
// its block; in the last two cases nothing is called.

// Color_SetCurrentKey: makes `featureName` (null passes as null) the current key.
LONG SetCurrentKey(BiDiHandle* handle, const wchar_t* featureName) noexcept;

// Color_SetKeyValue: either string may be null and is then passed as null.
LONG SetKeyValue(BiDiHandle* handle, const wchar_t* featureName,
                 const wchar_t* optionValue) noexcept;

// Widens a key's or an option's two answers into a record's pair.
void WidenPair(AnswerWidener& widener, TextPair& pair, const KeyAnswer& first,
               const KeyAnswer& second) noexcept;

// A reader's `take` for a pair block of its own: only once the module has answered 0, and only
// when the pair is `wanted`, is the block taken into `pair` and both answers widened into it;
// otherwise, or when no block can be had, `pair` stays empty.
inline auto TakePair(AnswerWidener& widener, GlobalBuffer<TextPair>& pair,
                     bool wanted = true) noexcept {
    return [&widener, &pair, wanted](LONG result, const KeyAnswer& first,
                                     const KeyAnswer& second) {
        if (result == BIDI_OK && wanted) {
            pair = GlobalBuffer<TextPair>();
            if (pair) {
                WidenPair(widener, *pair, first, second);
            }
        }
    };
}

}  // namespace vyx::color
