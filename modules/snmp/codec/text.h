// The printer's text bytes into UTF-8. The Printer MIB's strings are bytes in the coded
// character set of the printer's current localization (an IANA charset number); the common
// ones are decoded here, portably, and the rest go to a hook that the module's Windows part
// fills with the system's code-page conversions.
#pragma once

#include <string>

namespace vyxsnmp {

// IANA character set numbers (MIBenum) with a decoder of their own here.
namespace charset {
constexpr int kUnknown = 0;  // not reported: guessed from the bytes
constexpr int kUsAscii = 3;
constexpr int kLatin1 = 4;
constexpr int kUtf8 = 106;
constexpr int kUcs2 = 1000;
constexpr int kUtf16Be = 1013;
constexpr int kUtf16Le = 1014;
constexpr int kUtf16 = 1015;
constexpr int kWindows1252 = 2252;
}  // namespace charset

class TextDecoder {
  public:
    virtual ~TextDecoder() = default;

    // The text as UTF-8, cut at its first NUL and without trailing spaces (printers often pad
    // their strings with either). Bytes that are not valid in their character set become
    // U+FFFD. Unknown charsets, and US-ASCII (often claimed for 8-bit text), are guessed:
    // valid UTF-8 stays as it is, anything else goes to the hook as the machine's own code
    // page, or is read as windows-1252 when the hook declines.
    std::string ToUtf8(const std::string& bytes, int charset) const;

  protected:
    // Converts `bytes` of a charset the portable part does not know (kUnknown: the machine's
    // ANSI code page) into UTF-8; false when it cannot.
    virtual bool ConvertOther(const std::string& bytes, int charset, std::string& utf8) const {
        return false;
    }
};

// True when `bytes` is well-formed UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF).
bool IsValidUtf8(const std::string& bytes);

}  // namespace vyxsnmp
