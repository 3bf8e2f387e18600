// One colour feature in detail (its key, options and selected option), and selecting an option.
#include <windows.h>
#include <vyxbidi.h>

#include "color_calls.h"
#include "frame/global_buffer.h"

namespace vyx::color {
namespace {

// Stores a pair for each of the first 64 options the module's cursor delivers into the two
// blocks, and runs the cursor to its end past them. An option that cannot be stored ends the
// walk with what was stored before it. Gives the number stored.
SHORT CollectOptions(BiDiHandle* handle, AnswerWidener& widener,
                     TextPair* (&options)[BIDI_MAX_OPTIONS], WideString& first,
                     WideString& second) noexcept {
    SHORT count = 0;
    while (ReadNextOption(handle, widener, first, second) == BIDI_OK) {
        if (count == BIDI_MAX_OPTIONS) {
            continue;
        }
        GlobalBuffer<TextPair> option;
        if (!option) {
            break;
        }
        CopyPair(*option, first, second);
        options[count++] = option.release();
    }
    return count;
}

// Fills the zero-filled `info` for `featureName`: the module's answer to the selected-option
// query is the result, unless the key cannot be made current or working blocks cannot be had.
LONG FillFeatureInfo(BiDiHandle* handle, const wchar_t* featureName, FeatureInfo& info) noexcept {
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
    // A key that cannot be read stays empty; that alone does not fail the request.
    ReadCurrentKey(handle, widener, *keyFirst, *keySecond);
    CopyPair(info.currentKey, *keyFirst, *keySecond);
    keyFirst.reset();
    keySecond.reset();

    info.optionCount = CollectOptions(handle, widener, info.options, *optionFirst, *optionSecond);

    // The option blocks still hold the last option; emptied, they keep it out of selectedOption
    // when the module writes nothing there or lacks the entry point.
    optionFirst->text[0] = L'\0';
    optionSecond->text[0] = L'\0';
    const LONG result =
        ReadSelectedOption(handle, featureName, widener, *optionFirst, *optionSecond);
    CopyPair(info.selectedOption, *optionFirst, *optionSecond);
    return result;
}

}  // namespace
}  // namespace vyx::color

using namespace vyx;

extern "C" LONG WINAPI ClrBiDi_GetFeatureInfo(BiDiHandle* handle, LPCWSTR featureName,
                                              FeatureInfo** info) noexcept {
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

extern "C" LONG WINAPI ClrBiDi_DeleteFeatureInfo(BiDiHandle* handle, FeatureInfo** info) noexcept {
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
                                            LPCWSTR optionValue) noexcept {
    if (!handle) {
        return BIDI_ERR_BAD_ARGUMENT;
    }
    // Whether either string makes sense is the module's judgement, null and empty included.
    return color::SetKeyValue(handle, featureName, optionValue);
}
