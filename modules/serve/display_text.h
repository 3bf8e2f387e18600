// How a text a user reads fits its field: cleaned of control characters and outer spaces, and
// cut where a reader expects a text to stop (a word's end, a separator) rather than inside a
// word. Portable: the code page comes in as a test of its lead bytes.
#pragma once

#include <cstddef>
#include <string>

namespace vyxserve {

// Control characters (C0, DEL and C1; a printer's line break among them) become spaces, a run
// of them and the spaces around it one space; leading and trailing spaces go. UTF-8 in and out.
std::string DisplayText(const std::string& utf8);

// True when the byte starts a two-byte character of the code page the text is in.
using LeadByteTest = bool (*)(unsigned char byte);

// The text cut to at most `limit` bytes: at the last break that fits (before a space or '(',
// after ';', ',' or '/'), then without the spaces and separators it ends with, and before a
// parenthesis the cut leaves open; at the last whole character only when no break leaves
// anything (one word longer than the field). A text that fits comes back as it is.
std::string FitToField(const std::string& text, std::size_t limit, LeadByteTest isLeadByte);

}  // namespace vyxserve
