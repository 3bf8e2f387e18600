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

// One attribute's two answers, wide and terminated within 64 characters.
struct OptionTexts {
    wchar_t first[kOptionTextBytes];
    wchar_t second[kOptionTextBytes];
};

// Unlike the consumables, whatever the module left in its blocks is kept even when it reports a
// failure; blocks of a missing entry point stay zero-filled and so give empty texts.
LONG FetchOptionTexts(BiDiHandle* handle, OptionEntry entry, AnswerWidener& widener,
                      OptionTexts& texts) noexcept {
    const OptionText first, second;
    const LONG result = CallModule(handle, entry, AnswerText(first), AnswerText(second));
    WidenAnswer(widener, texts.first, first);
    WidenAnswer(widener, texts.second, second);
    return result;
}

// Copies a terminated text into a field of `D` units, cut to fit: nothing goes past the field.
template <std::size_t D>
void CopyCut(wchar_t (&dest)[D], const wchar_t* source) noexcept {
    std::size_t i = 0;
    for (; i + 1 < D && source[i] != L'\0'; ++i) {
        dest[i] = source[i];
    }
    dest[i] = L'\0';
}

// Reads one attribute into its slot; true when the module answered it.
bool ReadInstallable(BiDiHandle* handle, const InstallableAttribute& attribute,
                     AnswerWidener& widener, InstallableSlot& slot) noexcept {
    OptionTexts texts = {};
    const LONG result = FetchOptionTexts(handle, attribute.entry, widener, texts);
    const bool answered = result == BIDI_OK;
    // A lower tray that did not answer gets an empty second text, its whole field left zero;
    // its first text is kept like every other attribute's.
    if (answered || !attribute.emptiesSecondTextOnFailure) {
        CopyCut(slot.text2, texts.second);
    }
    CopyCut(slot.text1, texts.first);
    return answered;
}

}  // namespace
}  // namespace vyx

using namespace vyx;

extern "C" LONG WINAPI Attrib_GetInstallableOptions(BiDiHandle* handle,
                                                    InstallablesRecord** recordOut,
                                                    DWORD* presence) noexcept {
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

extern "C" LONG WINAPI Attrib_FreeInstallablesBuffers(BiDiHandle*,
                                                      InstallablesRecord** record) noexcept {
    return ReleaseHandedOut(record);
}
