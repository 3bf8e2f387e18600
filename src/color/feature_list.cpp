// The colour feature list: every key the module's cursor reports, the first 64 of them kept.
#include <windows.h>
#include <vyxbidi.h>

#include "color_calls.h"
#include "frame/global_buffer.h"
#include "frame/query_module.h"

namespace vyx::color {
namespace {

// Walks the module's key cursor to its end and stores a pair for each of the first 64 keys.
// A key that cannot be read or stored ends the walk, keeping what was stored before it. The
// count is written once the walk is over; BIDI_ERR_FAILED only when the walk could not start.
LONG EnumerateFeatures(BiDiHandle* handle, FeatureList& list) noexcept {
    // Two 512-byte working blocks are taken before the walk and held through it, so that callers
    // who watch the library's global memory find the blocks they always found, and a walk that
    // cannot have them calls nothing. The strings never pass through them: each key is widened
    // straight from the module's blocks into its pair.
    const GlobalBuffer<WideString> first;
    const GlobalBuffer<WideString> second;
    if (!first || !second) {
        return BIDI_ERR_FAILED;
    }
    AnswerWidener widener;
    SHORT count = 0;
    while (CallModule(handle, vyxquery::Color_SetNextKey) == BIDI_OK) {
        // Past the cap the cursor is still advanced, so the next walk starts from a module that
        // has reported its end.
        if (count == BIDI_MAX_FEATURES) {
            continue;
        }
        GlobalBuffer<TextPair> feature(nullptr);
        if (ReadCurrentKey(handle, TakePair(widener, feature)) != BIDI_OK || !feature) {
            break;
        }
        list.features[count++] = feature.release();
    }
    list.featureCount = count;
    return BIDI_OK;
}

}  // namespace
}  // namespace vyx::color

using namespace vyx;

extern "C" LONG WINAPI ClrBiDi_GetFeatureList(BiDiHandle* handle, FeatureList** list) {
    if (!handle || !list) {
        return BIDI_ERR_BAD_ARGUMENT;
    }
    GlobalBuffer<FeatureList> record;
    if (!record) {
        return BIDI_ERR_FAILED;
    }
    // The list is the caller's from here on, whatever the walk then meets.
    *list = record.release();
    return color::EnumerateFeatures(handle, **list);
}

extern "C" LONG WINAPI ClrBiDi_DeleteFeatureList(BiDiHandle* handle, FeatureList** list) {
    if (!handle || !list || !*list) {
        return BIDI_ERR_BAD_ARGUMENT;
    }
    FeatureList* const record = *list;
    // A count beyond the array's bounds can only come from a damaged record; never read past it.
    for (SHORT i = 0; i < record->featureCount && i < BIDI_MAX_FEATURES; ++i) {
        ReleaseGlobal(record->features[i]);
    }
    ReleaseGlobal(record);
    return BIDI_OK;
}
