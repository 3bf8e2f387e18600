// Paper trays and toner colours: a count, then one fetch per 1-based index, into one block.
#include <windows.h>
#include <vyxbidi.h>

#include <cstddef>

#include "frame/global_buffer.h"
#include "frame/query_module.h"
#include "blocks.h"

namespace vyx {
namespace {

// Every tray and toner text arrives in a 32-byte block: at most 31 bytes and the terminator.
constexpr std::size_t kConsumableTextBytes = 32;
using ConsumableText = AnswerBlock<kConsumableTextBytes>;

// The module writes value1 and value2 straight into the caller's record; texts are taken over
// only when it reports success.
LONG FetchTray(BiDiHandle* handle, AnswerWidener& widener, LONG* index, TrayRecord& tray) noexcept {
    const ConsumableText text1, text2, text3, text4;
    const LONG result = CallModule(handle, vyxquery::Attribute_GetIndexedTrays, index,
                                   AnswerText(text1), &tray.value1, &tray.value2, AnswerText(text2),
                                   AnswerText(text3), AnswerText(text4));
    if (result == BIDI_OK) {
        WidenAnswer(widener, tray.text1, text1);
        WidenAnswer(widener, tray.text2, text2);
        WidenAnswer(widener, tray.text3, text3);
        WidenAnswer(widener, tray.text4, text4);
    }
    return result;
}

LONG FetchToner(BiDiHandle* handle, AnswerWidener& widener, LONG* index,
                TonerRecord& toner) noexcept {
    const ConsumableText text1;
    const LONG result = CallModule(handle, vyxquery::Attribute_GetIndexedColors, index,
                                   AnswerText(text1), &toner.value1, &toner.value2);
    if (result == BIDI_OK) {
        WidenAnswer(widener, toner.text1, text1);
    }
    return result;
}

// Hands out every entry or nothing: on any failure the caller keeps a null pointer and a count
// of 0, and the block is gone. A count of 0 or below hands out no block but the count itself.
template <typename Record, typename CountPfn, typename Fetch>
LONG EnumerateConsumables(BiDiHandle* handle, vyxquery::EntryPoint<CountPfn> countEntry,
                          Fetch fetch, Record** recordsOut, LONG* countOut) noexcept {
    if (!handle || !recordsOut || !countOut) {
        return BIDI_ERR_FAILED;
    }
    *recordsOut = nullptr;
    *countOut = 0;
    LONG count = 0;
    if (const LONG result = CallModule(handle, countEntry, &count)) {
        return result;
    }
    GlobalBuffer<Record> records(nullptr);
    if (count > 0) {
        // Empty too when count times the record size does not fit in 32 bits.
        records = GlobalBuffer<Record>(static_cast<std::size_t>(count));
        if (!records) {
            return BIDI_ERR_FAILED;
        }
    }
    AnswerWidener widener;
    for (LONG index = 1; index <= count; ++index) {
        // The module gets a copy: whatever it writes there, the walk neither skips nor repeats
        // an entry and never leaves the block.
        LONG askedIndex = index;
        if (const LONG result = fetch(handle, widener, &askedIndex, records[index - 1])) {
            return result;
        }
    }
    *recordsOut = records.release();
    *countOut = count;
    return BIDI_OK;
}

}  // namespace
}  // namespace vyx

using namespace vyx;

extern "C" LONG WINAPI Attrib_GetPaperConsumables(BiDiHandle* handle, TrayRecord** trays,
                                                  LONG* count) {
    return EnumerateConsumables(handle, vyxquery::Attribute_GetNumTrays, FetchTray, trays, count);
}

extern "C" LONG WINAPI Attrib_FreePaperConsBuffers(BiDiHandle*, TrayRecord** trays) {
    return ReleaseHandedOut(trays);
}

extern "C" LONG WINAPI Attrib_GetTonerConsumables(BiDiHandle* handle, TonerRecord** toners,
                                                  LONG* count) {
    return EnumerateConsumables(handle, vyxquery::Attribute_GetNumColors, FetchToner, toners,
                                count);
}

extern "C" LONG WINAPI Attrib_FreeTonerConsBuffers(BiDiHandle*, TonerRecord** toners) {
    return ReleaseHandedOut(toners);
}
