// The colour entry points that carry strings towards the module, and the widening of answers.
#include "color_calls.h"

namespace vyx::color {

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

// A pair's field holds one unit per byte of its answer block, so each string arrives whole and
// terminated, and the zeros behind it stay as the block came.
void WidenPair(AnswerWidener& widener, TextPair& pair, const KeyAnswer& first,
               const KeyAnswer& second) noexcept {
    widener.Widen(pair.first, first);
    widener.Widen(pair.second, second);
}

}  // namespace vyx::color
