// Fuzz target: the display-text rule and the naming rules on any bytes. A fitted text must be a
// prefix of the text, within its field, of whole characters, without outer spaces.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "display_text.h"
#include "naming.h"

namespace {

bool ShiftJisLead(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
bool NoLead(unsigned char) {
    return false;
}

void Require(bool holds) {
    if (!holds) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::size_t limit = data[0] % 64;
    const vyxserve::LeadByteTest lead = data[1] % 2 ? ShiftJisLead : NoLead;
    const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);

    const std::string shown = vyxserve::DisplayText(text);
    Require(shown.empty() || (shown.front() != ' ' && shown.back() != ' '));
    for (unsigned char c : shown) {
        Require(c >= 0x20 && c != 0x7F);
    }

    const std::string fitted = vyxserve::FitToField(shown, limit, lead);
    Require(fitted.size() <= limit || fitted == shown);
    Require(shown.compare(0, fitted.size(), fitted) == 0);
    if (shown.size() > limit) {
        std::size_t at = 0;
        bool endsInSpace = false;
        while (at < fitted.size()) {
            const bool pair = lead(static_cast<unsigned char>(fitted[at])) && at + 1 < shown.size();
            endsInSpace = !pair && fitted[at] == ' ';
            at += pair ? 2 : 1;
        }
        Require(at == fitted.size());  // no character cut in two
        Require(!endsInSpace);
    }

    vyxserve::SizeFromName(text);
    vyxserve::MediaTypeLabel(text);
    vyxserve::MediaSourceLabel(text);
    vyxserve::FinishingLabel(text);
    vyxserve::ColourWord(text);
    return 0;
}
