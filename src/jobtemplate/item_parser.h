// The template item text: lines of key, TAB, value, line feed, parsed into TemplateItem entries.
#pragma once

#include <windows.h>
#include <vyxbidi.h>

#include <cstddef>

namespace vyx {

// Units in a key or value field, terminator included.
constexpr std::size_t kItemFieldUnits = sizeof(TemplateItem::key) / sizeof(WCHAR);

// Parses `text`, a buffer of `textBytes` bytes that the query module filled, in one forward pass
// into `items` (room for BIDI_MAX_TEMPLATE_ITEMS entries) and writes the number of complete lines
// kept to `count`. The text is read up to its terminator, and never beyond its last byte but one
// when it has none. Parsing stops at the first line that lacks its TAB or its line feed, and
// after the last entry that fits; nothing is trimmed. Always BIDI_OK.
LONG ParseTemplateItems(TemplateItem* items, const char* text, std::size_t textBytes,
                        LONG* count) noexcept;

// Writes the wide form of the `length` bytes at `source`, which hold no zero byte, into `dest`:
// the segment converted on its own as a zero-terminated string (code page flags 0, no fallback),
// cut to 63 units and terminated.
void WidenSegment(WCHAR (&dest)[kItemFieldUnits], const char* source, std::size_t length) noexcept;

}  // namespace vyx
