// Code-page conversions for the charsets the portable decoders leave to the system.
#include "system_text.h"

#include <windows.h>

namespace vyxsnmp {

unsigned CodePageFor(int charset) {
    static const struct {
        int charset;
        unsigned codePage;
    } kPages[] = {
        {5, 28592},   {6, 28593},   {7, 28594},   {8, 28595},   {9, 28596},   {10, 28597},
        {11, 28598},  {12, 28599},  {111, 28605}, {17, 932},    {18, 20932},  {39, 50220},
        {36, 949},    {38, 949},    {2025, 936},  {113, 936},   {114, 54936}, {2026, 950},
        {2084, 20866}, {2088, 21866}, {2009, 850}, {2011, 437}, {2086, 866},  {2250, 1250},
        {2251, 1251}, {2253, 1253}, {2254, 1254}, {2255, 1255}, {2256, 1256}, {2257, 1257},
        {2258, 1258},
    };
    for (const auto& page : kPages) {
        if (page.charset == charset) {
            return page.codePage;
        }
    }
    return 0;
}

bool SystemTextDecoder::ConvertOther(const std::string& bytes, int charset,
                                     std::string& utf8) const {
    // A charset the printer names is taken at its word (bytes it lacks become the code page's
    // default character); the machine's code page is only a guess, so it must fit exactly.
    const unsigned page = charset == charset::kUnknown ? CP_ACP : CodePageFor(charset);
    const DWORD flags = charset == charset::kUnknown ? MB_ERR_INVALID_CHARS : 0;
    if ((charset != charset::kUnknown && page == 0) || bytes.empty() || bytes.size() > 0xFFFF) {
        return false;
    }
    const int length = static_cast<int>(bytes.size());
    const int wide = MultiByteToWideChar(page, flags, bytes.data(), length, nullptr, 0);
    if (wide <= 0) {
        return false;
    }
    std::wstring text(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(page, flags, bytes.data(), length, text.data(), wide);
    const int narrow = WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
    if (narrow <= 0) {
        return false;
    }
    utf8.assign(static_cast<std::size_t>(narrow), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, utf8.data(), narrow, nullptr, nullptr);
    return true;
}

}  // namespace vyxsnmp
