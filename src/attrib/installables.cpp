// The nine installable options, read into one record with a mask of those the module answered.
#include <windows.h>
#include <vyxbidi.h>

#include <cstddef>

#include "frame/global_buffer.h"
#include "frame/query_module.h"
#include "blocks.h"

namespace vyx {
namespace {

// Each answer text arrives in a 64-byte block: at most 63 bytes and the terminator.
constexpr std::size_t kOptionTextBytes = 64;
using OptionText = AnswerBlock<kOptionTextBytes>;
using OptionEntry = vyxquery::EntryPoint<PFN_Attribute_GetSorter>;

struct InstallableAttribute {
    OptionEntry entry;
    InstallableSlot InstallablesRecord::*slot;
    DWORD presenceBit;
    bool emptiesSecondTextOnFailure;
};

// Slot order is call order.
constexpr InstallableAttribute kAttributes[] = {
    {vyxquery::Attribute_GetSorter, &InstallablesRecord::sorter, BIDI_HAS_SORTER, false},
    {vyxquery::Attribute_GetDuplex, &InstallablesRecord::duplex, BIDI_HAS_DUPLEX, false},
    {vyxquery::Attribute_GetLowerTray, &InstallablesRecord::lowerTray, BIDI_HAS_LOWER_TRAY, true},
    {vyxquery::Attribute_GetFax, &InstallablesRecord::fax, BIDI_HAS_FAX, false},
    {vyxquery::Attribute_GetFinisher, &InstallablesRecord::finisher, BIDI_HAS_FINISHER, false},
    {vyxquery::Attribute_GetFaceDownUnit, &InstallablesRecord::faceDownUnit,
     BIDI_HAS_FACE_DOWN_UNIT, false},
    {vyxquery::Attribute_GetFinisherType, &InstallablesRecord::finisherType, BIDI_HAS_FINISHER_TYPE,
     false},
    {vyxquery::Attribute_GetFinisherOption, &InstallablesRecord::finisherOption,
     BIDI_HAS_FINISHER_OPTION, false},
    {vyxquery::Attribute_GetMFPOption, &InstallablesRecord::mfpOption, BIDI_HAS_MFP_OPTION, false},
};

// Reads one attribute into its slot; true when the module answered it. Unlike the consumables,
// whatever the module left in its blocks is kept even when it reports a failure; blocks of a
// missing entry point stay zero-filled and so give empty texts. Both answers are widened straight
// into the zero-filled slot: the second fills its field at most exactly, the first is cut to the
// 39 characters its field holds.
bool ReadInstallable(BiDiHandle* handle, const InstallableAttribute& attribute,
                     AnswerWidener& widener, InstallableSlot& slot) noexcept {
    const OptionText first, second;
    const LONG result = CallModule(handle, attribute.entry, AnswerText(first), AnswerText(second));
    const bool answered = result == BIDI_OK;
    // A lower tray that did not answer gets an empty second text, its whole field left zero;
    // its first text is kept like every other attribute's.
    if (answered || !attribute.emptiesSecondTextOnFailure) {
        WidenAnswer(widener, slot.text2, second);
    }
    if (first) {
        widener.WidenCut(slot.text1, *first);
    }
    return answered;
}

}  // namespace
}  // namespace vyx

using namespace vyx;

extern "C" LONG WINAPI Attrib_GetInstallableOptions(BiDiHandle* handle,
                                                    InstallablesRecord** recordOut,
                                                    DWORD* presence) {
    if (!handle || !recordOut || !presence) {
        return BIDI_ERR_FAILED;
    }
    *presence = 0;
    GlobalBuffer<InstallablesRecord> record;
    if (!record) {
        return BIDI_ERR_FAILED;
    }
    DWORD answered = 0;
    AnswerWidener widener;
    for (const InstallableAttribute& attribute : kAttributes) {
        if (ReadInstallable(handle, attribute, widener, (*record).*attribute.slot)) {
            answered |= attribute.presenceBit;
        }
    }
    *presence = answered;
    // The record is the caller's even when no attribute answered.
    *recordOut = record.release();
    return answered != 0 ? BIDI_OK : BIDI_ERR_FAILED;
}

extern "C" LONG WINAPI Attrib_FreeInstallablesBuffers(BiDiHandle*, InstallablesRecord** record) {
    return ReleaseHandedOut(record);
}
