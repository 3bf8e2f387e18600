// A query module for the benchmark: full-length answers, built once, so every call only copies.
#define VYXQUERY_DECLARE_ENTRY_POINTS
#include <windows.h>
#include <vyxquery.h>

#include <cstring>
#include <string>

#include "bench_query.h"

namespace {

constexpr std::size_t kKeyBytes = 256;    // colour strings: 255 bytes and the terminator
constexpr std::size_t kTrayBytes = 32;    // tray texts: 31 bytes
constexpr std::size_t kOptionBytes = 64;  // installable texts: 63 bytes
constexpr std::size_t kNameBytes = 64;    // template names: 63 bytes
constexpr int kLines = 128;               // item lines per template
constexpr int kAnswerSets = 64;           // distinct keys, options and names

struct Answers {
    BenchScenario scenario{64, 64, 1000, 64, FALSE};
    char keyFirst[kAnswerSets][kKeyBytes];
    char keySecond[kAnswerSets][kKeyBytes];
    char optionFirst[kAnswerSets][kKeyBytes];
    char optionSecond[kAnswerSets][kKeyBytes];
    char trayTexts[4][kTrayBytes];
    char installables[9][2][kOptionBytes];
    char names[kAnswerSets][kNameBytes];
    char itemText[BENCH_ITEM_TEXT_BYTES];
    LONG keyCursor = 0;
    LONG optionCursor = 0;
};

Answers g_answers;

// Writes `prefix` and then `filler` over and over into `dest`, `bytes` bytes in all, and a zero
// after them.
void Compose(char* dest, std::size_t bytes, const std::string& prefix, const char* filler) {
    std::string text = prefix;
    while (text.size() < bytes) {
        text += filler;
    }
    std::memcpy(dest, text.data(), bytes);
    dest[bytes] = '\0';
}

// Code page 1252 words, a few letters above ASCII among them.
const char kLatinWords[] =
    "Farbabgleich \xfc"
    "ber das Profil, r\xe9glage de la teinte, gamma \xb1 0,2; ";

std::string Numbered(const char* label, int number) {
    char text[32];
    wsprintfA(text, "%s %02d ", label, number);
    return text;
}

// Code page 932 characters, each a lead and a trail byte (some trail bytes in the ASCII range).
const char kKanaKanji[] =
    "\x83\x4a\x83\x89\x81\x5b\x88\xf3\x8d\xfc\x90\xdd\x92\xe8\x82\xcc\x97\x70\x8e\x86";

std::string DoubleByte(std::size_t characters, std::size_t start) {
    const std::size_t available = (sizeof kKanaKanji - 1) / 2;
    std::string text;
    for (std::size_t i = 0; i < characters; ++i) {
        text.append(kKanaKanji + 2 * ((start + i) % available), 2);
    }
    return text;
}

// 128 lines of key, TAB, value, line feed filling the 32 KB block: keys of 63 bytes, values of
// 191 (the last one 190), 32767 bytes in all.
void ComposeItemText(char* dest, bool doubleByte) {
    std::string text;
    for (int line = 0; line < kLines; ++line) {
        const std::size_t valueBytes = line + 1 < kLines ? 191 : 190;
        std::string key, value;
        if (doubleByte) {
            char number[8];
            wsprintfA(number, "K%03d", line);
            key = number + DoubleByte(29, line) + ".";
            value = DoubleByte(95, line + 3) + (valueBytes == 191 ? "." : "");
        } else {
            char buffer[256];
            Compose(buffer, 63, Numbered("Einstellung", line), kLatinWords);
            key = buffer;
            Compose(buffer, valueBytes, Numbered("Wert", line), kLatinWords);
            value = buffer;
        }
        text += key + "\t" + value + "\n";
    }
    std::memset(dest, 0, BENCH_ITEM_TEXT_BYTES);
    std::memcpy(dest, text.data(),
                text.size() < BENCH_ITEM_TEXT_BYTES ? text.size() : BENCH_ITEM_TEXT_BYTES - 1);
}

void ComposeAnswers(Answers& a) {
    for (int i = 0; i < kAnswerSets; ++i) {
        Compose(a.keyFirst[i], kKeyBytes - 1, Numbered("Schl\xfcssel", i), kLatinWords);
        Compose(a.keySecond[i], kKeyBytes - 1, Numbered("Beschreibung", i), kLatinWords);
        Compose(a.optionFirst[i], kKeyBytes - 1, Numbered("Option", i), kLatinWords);
        Compose(a.optionSecond[i], kKeyBytes - 1, Numbered("Anzeige", i), kLatinWords);
        Compose(a.names[i], kNameBytes - 1, Numbered("Vorlage", i), kLatinWords);
    }
    for (int t = 0; t < 4; ++t) {
        Compose(a.trayTexts[t], kTrayBytes - 1, Numbered("Fach", t), kLatinWords);
    }
    for (int o = 0; o < 9; ++o) {
        Compose(a.installables[o][0], kOptionBytes - 1, Numbered("Ger\xe4t", o), kLatinWords);
        Compose(a.installables[o][1], kOptionBytes - 1, Numbered("Zustand", o), kLatinWords);
    }
    ComposeItemText(a.itemText, a.scenario.doubleByteItems);
}

void CopyPair(char (&firstSet)[kAnswerSets][kKeyBytes], char (&secondSet)[kAnswerSets][kKeyBytes],
              LONG index, LPSTR first, LPSTR second) {
    const LONG i = index % kAnswerSets;
    std::memcpy(first, firstSet[i], kKeyBytes);
    std::memcpy(second, secondSet[i], kKeyBytes);
}

LONG Installable(int option, LPSTR text1, LPSTR text2) {
    std::memcpy(text1, g_answers.installables[option][0], kOptionBytes);
    std::memcpy(text2, g_answers.installables[option][1], kOptionBytes);
    return 0;
}

}  // namespace

extern "C" {

void WINAPI BenchQuery_Configure(const BenchScenario* scenario) {
    g_answers.scenario = *scenario;
    g_answers.keyCursor = 0;
    g_answers.optionCursor = 0;
    ComposeAnswers(g_answers);
}

const char* WINAPI BenchQuery_ItemText() {
    return g_answers.itemText;
}

LONG WINAPI VyxQuery_Initialize(VyxQueryContext*, LPCSTR) {
    return 0;
}
LONG WINAPI VyxQuery_Terminate(VyxQueryContext*) {
    return 0;
}
LONG WINAPI VyxQuery_Connect(VyxQueryContext*, LPCSTR, LPCSTR) {
    return 0;
}
LONG WINAPI VyxQuery_Disconnect(VyxQueryContext*) {
    return 0;
}

LONG WINAPI Color_OpenSession(VyxQueryContext*, LPCSTR, LPCSTR, LPCSTR, LPCSTR, LPCSTR, LPCSTR) {
    return 0;
}
LONG WINAPI Color_CloseSession(VyxQueryContext*) {
    return 0;
}

// The key cursor stands on keys 1 to `features` and starts again once it has reported the end.
LONG WINAPI Color_SetNextKey(VyxQueryContext*) {
    if (g_answers.keyCursor < g_answers.scenario.features) {
        ++g_answers.keyCursor;
        return 0;
    }
    g_answers.keyCursor = 0;
    return 1;
}

LONG WINAPI Color_GetCurrentKey(VyxQueryContext*, LPSTR first, LPSTR second) {
    const LONG current = g_answers.keyCursor > 0 ? g_answers.keyCursor - 1 : 0;
    CopyPair(g_answers.keyFirst, g_answers.keySecond, current, first, second);
    return 0;
}

LONG WINAPI Color_SetCurrentKey(VyxQueryContext*, LPCSTR) {
    g_answers.optionCursor = 0;
    return 0;
}

LONG WINAPI Color_GetNextOption(VyxQueryContext*, LPSTR first, LPSTR second) {
    if (g_answers.optionCursor >= g_answers.scenario.options) {
        return 1;
    }
    CopyPair(g_answers.optionFirst, g_answers.optionSecond, g_answers.optionCursor++, first,
             second);
    return 0;
}

LONG WINAPI Color_GetSelectedOption(VyxQueryContext*, LPCSTR, LPSTR first, LPSTR second) {
    CopyPair(g_answers.optionFirst, g_answers.optionSecond, 0, first, second);
    return 0;
}

LONG WINAPI Color_SetKeyValue(VyxQueryContext*, LPCSTR, LPCSTR) {
    return 0;
}

LONG WINAPI JobTPlate_QueryTemplateNames(VyxQueryContext*, LONG* count) {
    *count = g_answers.scenario.templates;
    return 0;
}

LONG WINAPI JobTPlate_GetTemplateNames(VyxQueryContext*, LONG* index, LPSTR name, LONG* tag) {
    std::memcpy(name, g_answers.names[*index % kAnswerSets], kNameBytes);
    *tag = 1000 + *index;
    return 0;
}

LONG WINAPI JobTPlate_GetTemplateItems(VyxQueryContext*, TemplateRecord*, LPSTR text, LONG*) {
    std::memcpy(text, g_answers.itemText, BENCH_ITEM_TEXT_BYTES);
    return 0;
}

LONG WINAPI Attribute_OpenSession(VyxQueryContext*, LPCSTR, LPCSTR) {
    return 0;
}
LONG WINAPI Attribute_CloseSession(VyxQueryContext*) {
    return 0;
}

LONG WINAPI Attribute_GetNumTrays(VyxQueryContext*, LONG* count) {
    *count = g_answers.scenario.trays;
    return 0;
}

LONG WINAPI Attribute_GetNumColors(VyxQueryContext*, LONG* count) {
    *count = 4;
    return 0;
}

LONG WINAPI Attribute_GetIndexedTrays(VyxQueryContext*, LONG* index, LPSTR text1, LONG* value1,
                                      LONG* value2, LPSTR text2, LPSTR text3, LPSTR text4) {
    std::memcpy(text1, g_answers.trayTexts[0], kTrayBytes);
    std::memcpy(text2, g_answers.trayTexts[1], kTrayBytes);
    std::memcpy(text3, g_answers.trayTexts[2], kTrayBytes);
    std::memcpy(text4, g_answers.trayTexts[3], kTrayBytes);
    *value1 = *index;
    *value2 = 500;
    return 0;
}

LONG WINAPI Attribute_GetIndexedColors(VyxQueryContext*, LONG* index, LPSTR text1, LONG* value1,
                                       LONG* value2) {
    std::memcpy(text1, g_answers.trayTexts[0], kTrayBytes);
    *value1 = *index;
    *value2 = 80;
    return 0;
}

LONG WINAPI Attribute_GetSorter(VyxQueryContext*, LPSTR a, LPSTR b) {
    return Installable(0, a, b);
}
LONG WINAPI Attribute_GetDuplex(VyxQueryContext*, LPSTR a, LPSTR b) {
    return Installable(1, a, b);
}
LONG WINAPI Attribute_GetLowerTray(VyxQueryContext*, LPSTR a, LPSTR b) {
    return Installable(2, a, b);
}
LONG WINAPI Attribute_GetFax(VyxQueryContext*, LPSTR a, LPSTR b) {
    return Installable(3, a, b);
}
LONG WINAPI Attribute_GetFinisher(VyxQueryContext*, LPSTR a, LPSTR b) {
    return Installable(4, a, b);
}
LONG WINAPI Attribute_GetFaceDownUnit(VyxQueryContext*, LPSTR a, LPSTR b) {
    return Installable(5, a, b);
}
LONG WINAPI Attribute_GetFinisherType(VyxQueryContext*, LPSTR a, LPSTR b) {
    return Installable(6, a, b);
}
LONG WINAPI Attribute_GetFinisherOption(VyxQueryContext*, LPSTR a, LPSTR b) {
    return Installable(7, a, b);
}
LONG WINAPI Attribute_GetMFPOption(VyxQueryContext*, LPSTR a, LPSTR b) {
    return Installable(8, a, b);
}

LONG WINAPI Misc_GetEMail_Notification(VyxQueryContext*, void*) {
    return 0;
}

}  // extern "C"
