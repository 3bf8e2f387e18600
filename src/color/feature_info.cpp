// One colour feature in detail (its key, options and selected option), and selecting an option.
#include <windows.h>
#include <vyxbidi.h>

#include "color_calls.h"
#include "frame/global_buffer.h"

namespace vyx::color {
namespace {

// Stores a pair for each of the first 64 options the module's cursor delivers, and runs the
// cursor to its end past them. An option that cannot be stored ends the walk with what was
// stored before it. Gives the number stored.
SHORT CollectOptions(BiDiHandle* handle, AnswerWidener& widener,
                     TextPair* (&options)[BIDI_MAX_OPTIONS]) noexcept {
    SHORT count = 0;
    for (;;) {
        // Options past the 64th are walked over, with no block taken for them.
        GlobalBuffer<TextPair> option(nullptr);
        if (ReadNextOption(handle, TakePair(widener, option, count < BIDI_MAX_OPTIONS)) !=
            BIDI_OK) {
            break;
        }
        if (count == BIDI_MAX_OPTIONS) {
            continue;
        }
        if (!option) {
            break;
        }
        options[count++] = option.release();
    }
    return count;
}

// Fills the zero-filled `info` for `featureName`: the module's answer to the selected-option
// query is the result, unless the key cannot be made current or working blocks cannot be had.
LONG FillFeatureInfo(BiDiHandle* handle, const wchar_t* featureName, FeatureInfo& info) noexcept {
    // Four 512-byte working blocks (the key's strings, then an option's) are taken first and
    // released when they always were, so that callers who watch the library's global memory
    // find the blocks they always found, and a fill that cannot have them calls nothing. The
    // strings never pass through them: every answer is widened straight into the record.
    GlobalBuffer<WideString> keyFirst;
    GlobalBuffer<WideString> keySecond;
    const GlobalBuffer<WideString> optionFirst;
    const GlobalBuffer<WideString> optionSecond;
    if (!keyFirst || !keySecond || !optionFirst || !optionSecond) {
        return BIDI_ERR_FAILED;
    }
    if (const LONG refused = SetCurrentKey(handle, featureName)) {
        return refused;
    }
    AnswerWidener widener;
    const auto widenInto = [&widener](TextPair& pair) {
        return [&widener, &pair](LONG, const KeyAnswer& first, const KeyAnswer& second) {
            WidenPair(widener, pair, first, second);
        };
    };
    // A key that cannot be read stays empty; that alone does not fail the request.
    ReadCurrentKey(handle, widenInto(info.currentKey));
    keyFirst.reset();
    keySecond.reset();

    info.optionCount = CollectOptions(handle, widener, info.options);

    // Whatever the module answers, what it wrote is the selected option; a module that writes
    // nothing, or lacks the entry point, leaves it empty rather than holding the last option.
    return ReadSelectedOption(handle, featureName, widenInto(info.selectedOption));
}

}  // namespace
}  // namespace vyx::color

using namespace vyx;

extern "C" LONG WINAPI ClrBiDi_GetFeatureInfo(BiDiHandle* handle, LPCWSTR featureName,
                                              FeatureInfo** info) {
    if (!handle || !featureName || !info || featureName[0] == L'\0' ||
        !FitsAnsiBlock<color::kKeyTextBytes>(featureName)) {
        return BIDI_ERR_BAD_ARGUMENT;
    }
    GlobalBuffer<FeatureInfo> record;
    if (!record) {
        return BIDI_ERR_FAILED;
    }
    // The record is the caller's from here on, whatever the fill then meets.
    *info = record.release();
    return color::FillFeatureInfo(handle, featureName, **info);
}

extern "C" LONG WINAPI ClrBiDi_DeleteFeatureInfo(BiDiHandle* handle, FeatureInfo** info) {
    if (!handle || !info || !*info) {
        return BIDI_ERR_BAD_ARGUMENT;
    }
    FeatureInfo* const record = *info;
    // A count beyond the array's bounds can only come from a damaged record; never read past it.
    for (SHORT i = 0; i < record->optionCount && i < BIDI_MAX_OPTIONS; ++i) {
        ReleaseGlobal(record->options[i]);
    }
    ReleaseGlobal(record);
    return BIDI_OK;
}

extern "C" LONG WINAPI ClrBiDi_SelectOption(BiDiHandle* handle, LPCWSTR featureName,
                                            LPCWSTR optionValue) {
    if (!handle) {
        return BIDI_ERR_BAD_ARGUMENT;
    }
    // Whether either string makes sense is the module's judgement, null and empty included.
    return color::SetKeyValue(handle, featureName, optionValue);
}
