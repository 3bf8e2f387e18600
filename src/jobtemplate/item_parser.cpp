// One pass over a template's item text: split at TAB and line feed, widen each key and value.
#include "item_parser.h"

#include <algorithm>
#include <cstring>

#include "frame/answer_widener.h"

namespace vyx {
namespace {

// A field keeps 63 units, and no character takes more than four bytes in any ANSI code page, so
// those units come from the first 252 bytes of a segment; converting only this prefix of a
// longer one gives the same 63 units.
constexpr std::size_t kConvertedBytes = 256;
// The segment is converted as the zero-terminated string it would be on its own. Zeros follow it,
// so a lead byte at its end meets a zero byte, never the TAB or line feed that follows it in the
// text, whatever the code page makes of that pair.
constexpr std::size_t kTerminatorBytes = 3;

// Converts the first `length` bytes at `source`, at most `prefixBytes` of them, as a
// zero-terminated string and keeps the first 63 units. Any prefix that holds the first 63
// characters whole gives the same units as the whole segment.
void WidenPrefix(WCHAR (&dest)[kItemFieldUnits], const char* source, std::size_t length,
                 std::size_t prefixBytes) noexcept {
    char segment[kConvertedBytes + kTerminatorBytes];
    const std::size_t copied = std::min(length, prefixBytes);
    std::memcpy(segment, source, copied);
    std::memset(segment + copied, 0, kTerminatorBytes);

    // The length given counts the terminator, as the string's own length would: the segment
    // holds no zero byte, so nothing changes but that it is not measured again.
    // A conversion never yields more units than it reads bytes, terminator included.
    WCHAR wide[kConvertedBytes + 1];
    const int units = MultiByteToWideChar(CP_ACP, 0, segment, static_cast<int>(copied + 1), wide,
                                          kConvertedBytes + 1);
    const std::size_t kept = std::min<std::size_t>(units > 0 ? units : 0, kItemFieldUnits - 1);
    std::copy(wide, wide + kept, dest);
    dest[kept] = L'\0';
}

// The first `wanted` byte in [from, end), or null.
const char* FindByte(const char* from, const char* end, char wanted) noexcept {
    return static_cast<const char*>(std::memchr(from, wanted, end - from));
}

// Widens segments one after the other, most of them without a call into the code page: a
// segment whose first 63 bytes are all standalone bytes gives the same units through their table
// (16 at a time where they keep their values) as through the code page; any other is converted,
// only as far as its first 63 characters reach.
class SegmentWidener {
  public:
    void Widen(WCHAR (&dest)[kItemFieldUnits], const char* source, std::size_t length) noexcept {
        const unsigned known = table_.Limit();
        const auto* bytes = reinterpret_cast<const unsigned char*>(source);
        const std::size_t kept = std::min(length, kItemFieldUnits - 1);
        // Where the table covers every byte there is nothing to check. Otherwise the check goes
        // byte by byte: in a double-byte code page most segments that fail it do so within their
        // first few bytes.
        const bool standalone =
            known == 0x100 ||
            std::all_of(bytes, bytes + kept, [known](unsigned char b) { return b < known; });
        if (!standalone) {
            // 63 characters, each of at most MaxCharSize bytes and each at least one unit, lie
            // whole in the first 64 * MaxCharSize bytes: in a double-byte code page the
            // conversion can stop at 128 bytes.
            WidenPrefix(dest, source, length, kItemFieldUnits * table_.MaxCharSize());
            return;
        }
        dest[table_.WidenRun(dest, bytes, kept)] = L'\0';
    }

  private:
    StandaloneBytes table_;
};

}  // namespace

void WidenSegment(WCHAR (&dest)[kItemFieldUnits], const char* source, std::size_t length) noexcept {
    WidenPrefix(dest, source, length, kConvertedBytes);
}

LONG ParseTemplateItems(TemplateItem* items, const char* text, std::size_t textBytes,
                        LONG* count) noexcept {
    const char* end = text;
    if (textBytes > 0) {
        const char* zero = FindByte(text, text + textBytes - 1, '\0');
        end = zero ? zero : text + textBytes - 1;
    }
    SegmentWidener widener;
    const char* cursor = text;
    LONG parsed = 0;
    while (parsed < BIDI_MAX_TEMPLATE_ITEMS) {
        // A key runs to the first TAB and may hold line feeds: a line without TAB becomes part of
        // the next line's key.
        const char* tab = FindByte(cursor, end, '\t');
        if (!tab) {
            break;
        }
        widener.Widen(items[parsed].key, cursor, tab - cursor);
        cursor = tab + 1;
        const char* lineFeed = FindByte(cursor, end, '\n');
        if (!lineFeed) {
            break;  // an unfinished line is not counted, though its key was stored
        }
        widener.Widen(items[parsed].value, cursor, lineFeed - cursor);
        cursor = lineFeed + 1;
        ++parsed;
    }
    *count = parsed;
    return BIDI_OK;
}

}  // namespace vyx
