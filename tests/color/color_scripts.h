// Scripted colour cursors and byte views shared by the colour tests.
#pragma once

#include <windows.h>
#include <vyxbidi.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "support/layout.h"
#include "support/scripted_module.h"
#include "support/text_util.h"

namespace colortest {

namespace layout = vyxtest::layout;

// The two strings item `i` (1-based) of a scripted cursor answers.
inline std::string FirstText(const char* kind, int i) {
    return kind + std::to_string(i);
}
inline std::string SecondText(const char* kind, int i) {
    return std::string(kind) + " number " + std::to_string(i);
}
inline std::wstring Wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

// A non-ASCII text that the running code page (1252 or 932) converts as a whole.
inline std::wstring NonAsciiText() {
    return vyxtest::IsCodePage932() ? L"\u30ab\u30e9\u30fc" : L"Mod\u00e8le";
}

// A key cursor of `keys` keys; reading key `failingKey` answers 4 and writes nothing.
inline void ScriptKeys(vyxtest::ScriptedModule& module, int keys, int failingKey = 0) {
    auto at = std::make_shared<int>(0);
    // After reporting its end the cursor stands before the first key again.
    module.On(vyxquery::Color_SetNextKey, [=](VyxQueryContext*) {
        if (++*at <= keys) {
            return LONG{0};
        }
        *at = 0;
        return LONG{1};
    });
    module.On(vyxquery::Color_GetCurrentKey, [=](VyxQueryContext*, LPSTR first, LPSTR second) {
        if (*at == failingKey) {
            return LONG{4};
        }
        vyxtest::Fill(first, FirstText("key", *at));
        vyxtest::Fill(second, SecondText("key", *at));
        return LONG{0};
    });
}

// An option cursor of `options` options, restarted by every Color_SetCurrentKey, which answers
// `setKeyAnswer`.
inline void ScriptOptions(vyxtest::ScriptedModule& module, int options, LONG setKeyAnswer = 0) {
    auto at = std::make_shared<int>(0);
    module.On(vyxquery::Color_SetCurrentKey, [=](VyxQueryContext*, LPCSTR) {
        *at = 0;
        return setKeyAnswer;
    });
    module.On(vyxquery::Color_GetNextOption, [=](VyxQueryContext*, LPSTR first, LPSTR second) {
        // The end is answered with strings too, which must not reach the record.
        if (++*at > options) {
            vyxtest::Fill(first, "end");
            vyxtest::Fill(second, "end");
            return LONG{1};
        }
        vyxtest::Fill(first, FirstText("option", *at));
        vyxtest::Fill(second, SecondText("option", *at));
        return LONG{0};
    });
}

// Bytes a module writes into a 256-byte answer block (no terminator added), and the caller's
// string they must become under the running code page.
struct AnswerCase {
    const char* label;
    UINT codePage;  // 0: any
    std::string bytes;
    std::wstring expected;
};

inline std::vector<AnswerCase> AnswerCases() {
    return {
        {"ascii", 0, "Auto Color", L"Auto Color"},
        {"unterminated: read to the block's end", 0, std::string(256, 'A'),
         std::wstring(255, L'A')},
        {"e-grave", 1252, "Mod\xe8le", L"Mod\u00e8le"},
        {"katakana", 932, "\x83\x4a\x83\x89\x81\x5b", L"\u30ab\u30e9\u30fc"},
        {"lone lead byte: raw", 932, "A\x83", L"A\u0083"},
        {"lead byte cut by the block's end: raw", 932, std::string(254, 'A') + "\x83\x4a",
         std::wstring(254, L'A') + L"\u0083"},
    };
}

inline bool AppliesHere(const AnswerCase& c) {
    return !c.codePage || c.codePage == GetACP();
}

inline std::string Bytes(const void* p, std::size_t n) {
    return std::string(static_cast<const char*>(p), n);
}

// Writes `text` and its terminator as UTF-16LE into `image` at `offset`.
inline void PutWide(std::string& image, std::size_t offset, const std::wstring& text) {
    std::memcpy(&image[offset], text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

// Writes the pointer's bytes, as wide as a pointer is on this architecture.
inline void PutPointer(std::string& image, std::size_t offset, const void* pointer) {
    static_assert(sizeof pointer == layout::kPointer, "a record's pointer is a pointer");
    std::memcpy(&image[offset], &pointer, sizeof pointer);
}

// The exact 1024 bytes of a pair holding these strings.
inline std::string PairImage(const std::wstring& first, const std::wstring& second) {
    std::string image(sizeof(TextPair), '\0');
    PutWide(image, 0, first);
    PutWide(image, 512, second);
    return image;
}

inline SIZE_T BlockSize(const void* locked) {
    return GlobalSize(GlobalHandle(locked));
}

inline std::vector<std::string> Repeat(std::vector<std::string> names, const std::string& name,
                                       int times) {
    names.insert(names.end(), times, name);
    return names;
}

}  // namespace colortest
