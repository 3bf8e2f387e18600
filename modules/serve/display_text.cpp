// The fitting rule of display texts: one place for every module's trays, supplies, installable
// options and colour labels.
#include "display_text.h"

namespace vyxserve {
namespace {

// Every separator is ASCII below 0x40, so none can be the trail byte of a two-byte character.
bool IsSeparator(unsigned char c) {
    return c == ';' || c == ',' || c == '/';
}

// The width of the character at `at`: two bytes for a lead byte with a byte after it.
std::size_t Width(const std::string& text, std::size_t at, LeadByteTest isLeadByte) {
    return isLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size() ? 2 : 1;
}

// The first `length` bytes of `text` (whole characters) without the spaces and separators they
// end with; a parenthesis they leave open is dropped with what follows it, unless nothing would
// be left ("Toner (High" reads as a mistake, "Toner" does not).
std::string Kept(const std::string& text, std::size_t length, LeadByteTest isLeadByte) {
    std::size_t end = 0;         // after the last character but a space or separator
    std::size_t beforeOpen = 0;  // `end` where the open parenthesis began
    bool open = false;
    for (std::size_t at = 0; at < length;) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        const std::size_t width = Width(text, at, isLeadByte);
        if (width == 1 && c == '(') {
            open = true;
            beforeOpen = end;
        } else if (width == 1 && c == ')') {
            open = false;
        }
        at += width;
        if (width == 2 || (c != ' ' && !IsSeparator(c))) {
            end = at;
        }
    }
    return text.substr(0, open && beforeOpen > 0 ? beforeOpen : end);
}

}  // namespace

std::string DisplayText(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    bool afterControl = false;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        const bool c1 = c == 0xC2 && i + 1 < utf8.size() &&
                        static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(utf8[i + 1]) <= 0x9F;
        if (c < 0x20 || c == 0x7F || c1) {
            i += c1 ? 1 : 0;
            if (!out.empty() && out.back() != ' ') {
                out += ' ';
            }
            afterControl = true;
            continue;
        }
        if (c == ' ' && afterControl) {
            continue;
        }
        afterControl = false;
        if (c == ' ' && out.empty()) {
            continue;
        }
        out += static_cast<char>(c);
    }
    while (!out.empty() && out.back() == ' ') {
        out.pop_back();
    }
    return out;
}

std::string FitToField(const std::string& text, std::size_t limit, LeadByteTest isLeadByte) {
    if (text.size() <= limit) {
        return text;
    }
    std::size_t lastBreak = 0;  // the length of the text up to the last break that fits
    std::size_t wholeCharacters = 0;
    for (std::size_t at = 0; at < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        const std::size_t width = Width(text, at, isLeadByte);
        if (width == 1 && (c == ' ' || c == '(')) {
            lastBreak = at;
        }
        if (at + width > limit) {
            break;
        }
        at += width;
        wholeCharacters = at;
        if (width == 1 && IsSeparator(c)) {
            lastBreak = at;
        }
    }
    const std::string atBreak = Kept(text, lastBreak, isLeadByte);
    return atBreak.empty() ? Kept(text, wholeCharacters, isLeadByte) : atBreak;
}

}  // namespace vyxserve
