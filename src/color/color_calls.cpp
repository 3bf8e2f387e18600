// The colour entry points that carry strings: convert, call, widen, release.
#include "color_calls.h"

#include <cstring>

#include "frame/query_module.h"

namespace vyx::color {
namespace {

using AnswerBlock = GlobalBuffer<AnsiBlock<kKeyTextBytes>>;

// Copies at most 255 characters and the terminator, as lstrcpynW with the field's size would,
// but in one block copy: the platform's copy goes character by character, at several times the
// cost, twice for every key and option.
void CopyString(WCHAR (&dest)[kKeyTextBytes], const WideString& source) noexcept {
    std::size_t length = 0;
    while (length + 1 < kKeyTextBytes && source.text[length] != L'\0') {
        ++length;
    }
    std::memcpy(dest, source.text, length * sizeof(WCHAR));
    dest[length] = L'\0';
}

// Calls `entry` with `inputs` followed by two fresh zero-filled answer blocks, then widens both
// answers. An absent entry point leaves the blocks zero-filled, so the outputs read empty just as
// the callers' own empty buffers would.
template <typename Pfn, typename... Inputs>
LONG ReadTwoStrings(BiDiHandle* handle, vyxquery::EntryPoint<Pfn> entry, AnswerWidener& widener,
                    WideString& first, WideString& second, Inputs... inputs) noexcept {
    const AnswerBlock firstAnswer;
    const AnswerBlock secondAnswer;
    if (!firstAnswer || !secondAnswer) {
        return BIDI_ERR_FAILED;
    }
    const LONG result = CallModule(handle, entry, inputs..., firstAnswer->text, secondAnswer->text);
    widener.Widen(first.text, *firstAnswer);
    widener.Widen(second.text, *secondAnswer);
    return result;
}

}  // namespace

LONG ReadCurrentKey(BiDiHandle* handle, AnswerWidener& widener, WideString& first,
                    WideString& second) noexcept {
    return ReadTwoStrings(handle, vyxquery::Color_GetCurrentKey, widener, first, second);
}

LONG ReadNextOption(BiDiHandle* handle, AnswerWidener& widener, WideString& first,
                    WideString& second) noexcept {
    return ReadTwoStrings(handle, vyxquery::Color_GetNextOption, widener, first, second);
}

LONG ReadSelectedOption(BiDiHandle* handle, const wchar_t* featureName, AnswerWidener& widener,
                        WideString& first, WideString& second) noexcept {
    const AnsiArgument<kKeyTextBytes> key(featureName);
    if (const LONG refused = key.status()) {
        return refused;
    }
    return ReadTwoStrings(handle, vyxquery::Color_GetSelectedOption, widener, first, second,
                          key.get());
}

LONG SetCurrentKey(BiDiHandle* handle, const wchar_t* featureName) noexcept {
    const AnsiArgument<kKeyTextBytes> key(featureName);
    if (const LONG refused = key.status()) {
        return refused;
    }
    return CallModule(handle, vyxquery::Color_SetCurrentKey, key.get());
}

LONG SetKeyValue(BiDiHandle* handle, const wchar_t* featureName,
                 const wchar_t* optionValue) noexcept {
    const AnsiArgument<kKeyTextBytes> key(featureName);
    const AnsiArgument<kKeyTextBytes> value(optionValue);
    if (const LONG refused = FirstFailure(key, value)) {
        return refused;
    }
    return CallModule(handle, vyxquery::Color_SetKeyValue, key.get(), value.get());
}

void CopyPair(TextPair& pair, const WideString& first, const WideString& second) noexcept {
    CopyString(pair.first, first);
    CopyString(pair.second, second);
}

}  // namespace vyx::color
