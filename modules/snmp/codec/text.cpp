// Portable decoders for the printer's text: UTF-8, Latin-1, windows-1252 and UTF-16.
#include "text.h"

#include <cstdint>

namespace vyxsnmp {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void Append(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The length of the well-formed UTF-8 sequence at `i`, or 0 when there is none.
std::size_t SequenceAt(const std::string& s, std::size_t i, char32_t& c) {
    const auto byte = [&s](std::size_t k) { return static_cast<std::uint8_t>(s[k]); };
    const std::uint8_t b0 = byte(i);
    if (b0 < 0x80) {
        c = b0;
        return 1;
    }
    std::size_t length = 0;
    char32_t min = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2, c = b0 & 0x1F, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3, c = b0 & 0x0F, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4, c = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + length > s.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
        c = (c << 6) | (byte(i + k) & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        return 0;
    }
    return length;
}

std::string FromUtf8(const std::string& bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t c = 0;
        const std::size_t length = SequenceAt(bytes, i, c);
        Append(out, length ? c : kReplacement);
        i += length ? length : 1;
    }
    return out;
}

std::string FromLatin1(const std::string& bytes) {
    std::string out;
    for (const char b : bytes) {
        Append(out, static_cast<std::uint8_t>(b));
    }
    return out;
}

std::string FromWindows1252(const std::string& bytes) {
    // 0x80-0x9F differ from Latin-1; five of them are unassigned.
    static const char16_t kHigh[32] = {
        0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
    std::string out;
    for (const char b : bytes) {
        const std::uint8_t byte = static_cast<std::uint8_t>(b);
        Append(out, byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : byte);
    }
    return out;
}

std::string FromUtf16(const std::string& bytes, bool bigEndian) {
    std::string out;
    std::size_t i = 0;
    const auto unit = [&bytes, bigEndian](std::size_t k) -> char32_t {
        const std::uint8_t a = static_cast<std::uint8_t>(bytes[k]);
        const std::uint8_t b = static_cast<std::uint8_t>(bytes[k + 1]);
        return bigEndian ? (a << 8 | b) : (b << 8 | a);
    };
    for (; i + 1 < bytes.size(); i += 2) {
        const char32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
            const char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                Append(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        Append(out, (u >= 0xD800 && u <= 0xDFFF) ? kReplacement : u);
    }
    if (i < bytes.size()) {
        Append(out, kReplacement);  // an odd byte at the end
    }
    return out;
}

// UTF-16 with an optional byte-order mark; big-endian without one, as RFC 2781 says.
std::string FromUtf16WithMark(const std::string& bytes) {
    if (bytes.size() >= 2) {
        const std::uint8_t a = static_cast<std::uint8_t>(bytes[0]);
        const std::uint8_t b = static_cast<std::uint8_t>(bytes[1]);
        if (a == 0xFE && b == 0xFF) {
            return FromUtf16(bytes.substr(2), true);
        }
        if (a == 0xFF && b == 0xFE) {
            return FromUtf16(bytes.substr(2), false);
        }
    }
    return FromUtf16(bytes, true);
}

std::string Tidy(std::string text) {
    const std::size_t nul = text.find('\0');
    if (nul != std::string::npos) {
        text.resize(nul);
    }
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

}  // namespace

bool IsValidUtf8(const std::string& bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t c = 0;
        const std::size_t length = SequenceAt(bytes, i, c);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

std::string TextDecoder::ToUtf8(const std::string& bytes, int set) const {
    std::string utf8;
    switch (set) {
        case charset::kUtf8:
            return Tidy(FromUtf8(bytes));
        case charset::kLatin1:
            return Tidy(FromLatin1(bytes));
        case charset::kWindows1252:
            return Tidy(FromWindows1252(bytes));
        case charset::kUcs2:
        case charset::kUtf16Be:
            return Tidy(FromUtf16(bytes, true));
        case charset::kUtf16Le:
            return Tidy(FromUtf16(bytes, false));
        case charset::kUtf16:
            return Tidy(FromUtf16WithMark(bytes));
        case charset::kUnknown:
        case charset::kUsAscii:
            break;
        default:
            if (ConvertOther(bytes, set, utf8)) {
                return Tidy(utf8);
            }
            break;
    }
    if (IsValidUtf8(bytes)) {
        return Tidy(bytes);
    }
    if (ConvertOther(bytes, charset::kUnknown, utf8)) {
        return Tidy(utf8);
    }
    return Tidy(FromWindows1252(bytes));
}

}  // namespace vyxsnmp
