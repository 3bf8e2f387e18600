// A query module that draws every answer at random from a seed, never writing past the buffer
// capacities the library documents, and that checks everything the library hands it.
#define VYXQUERY_DECLARE_ENTRY_POINTS
#include <windows.h>
#include <vyxquery.h>

#include <climits>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <initializer_list>

#include "support/random.h"
#include "hostile_query_module.h"

namespace {

// Buffer capacities as the library documents them, terminator included.
constexpr DWORD kPathBytes = 256;
constexpr DWORD kConnectFirstBytes = 128;
constexpr DWORD kConnectSecondBytes = 64;
constexpr DWORD kColorSessionBytes = 64;
constexpr DWORD kKeyBytes = 256;
constexpr DWORD kNameBytes = 64;
constexpr DWORD kItemTextBytes = 32768;
constexpr DWORD kAttribSessionBytes = 16;
constexpr DWORD kConsumableBytes = 32;
constexpr DWORD kOptionBytes = 64;
constexpr DWORD kTrayBytes = 264;
constexpr DWORD kTonerBytes = 72;

// Bounds that keep a run finite whatever the library does: an indexed enumeration fails once
// the library asks past the count reported (a breach), and a cursor ends after at most
// kLongestCursor steps.
constexpr LONG kLongestCursor = 300;

const char* const kEntryNames[] = {
#define HOSTILE_NAME_(name, params) #name,
    VYXQUERY_ENTRY_POINTS(HOSTILE_NAME_)
#undef HOSTILE_NAME_
};

using vyxtest::Random;

// A cursor runs `limit` steps, then reports its end; reading the item at step `failAt` fails
// (0: none), so that most walks read every item and long ones pass the library's cap.
struct Cursor {
    LONG steps;
    LONG limit;
    LONG failAt;
};

// One count-and-index enumeration: the index the library must pass next, where it is made to
// fail (-1: nowhere).
struct Enumeration {
    LONG expectedIndex;
    LONG lastIndex;  // the last index the reported count allows
    LONG failAt;
    bool failAtItems;  // templates: fail the item fetch rather than the name fetch
};

Random g_random;
LONG g_mode = HOSTILE_MODE_CALM;
HostileLog g_log;
HostileCoverage g_coverage;
Cursor g_keys;
Cursor g_options;
Enumeration g_consumables;
Enumeration g_templates;

bool Calm() {
    return g_mode == HOSTILE_MODE_CALM;
}

void Saw(HostileEntry entry, HostileBehaviour behaviour) {
    ++g_coverage.seen[entry][behaviour];
}

void Breach(HostileEntry entry, const char* what) {
    if (g_log.breaches++ == 0) {
        std::snprintf(g_log.firstBreach, sizeof g_log.firstBreach, "%s: %s", kEntryNames[entry],
                      what);
    }
}

HostileCall& Begin(HostileEntry entry, VyxQueryContext* context) {
    static HostileCall overflow;
    const LONG n = g_log.callCount++;
    HostileCall& call = n < HOSTILE_LOG_CAPACITY ? g_log.calls[n] : overflow;
    call = HostileCall{entry, 0, 0, {0, 0}};
    if (!context) {
        Breach(entry, "null query context");
    }
    return call;
}

LONG End(HostileCall& call, LONG result) {
    call.result = result;
    return result;
}

// ---- What the library hands over ----------------------------------------------------------

bool InBlockOf(const void* p, DWORD bytes) {
    const HGLOBAL block = GlobalHandle(p);
    return block && GlobalSize(block) >= bytes;
}

void CheckInput(HostileEntry entry, const char* text, DWORD capacity, bool nullable) {
    if (!text) {
        if (!nullable) {
            Breach(entry, "null input string");
        }
    } else if (!InBlockOf(text, capacity)) {
        Breach(entry, "input string not in a block of its capacity");
    } else if (!std::memchr(text, 0, capacity)) {
        Breach(entry, "input string not terminated within its capacity");
    }
}

// Whether the module may write `buffer`: a zero-filled block of at least `capacity` bytes.
bool CheckOutput(HostileEntry entry, const char* buffer, DWORD capacity, bool nullable) {
    if (!buffer) {
        if (!nullable) {
            Breach(entry, "null output buffer");
        }
        return false;
    }
    if (!InBlockOf(buffer, capacity)) {
        Breach(entry, "output buffer smaller than its capacity");
        return false;
    }
    for (DWORD i = 0; i < capacity; ++i) {
        if (buffer[i] != 0) {
            Breach(entry, "output buffer not zero-filled");
            break;
        }
    }
    return true;
}

bool CheckNumber(HostileEntry entry, const LONG* number, LONG expected, const char* what) {
    if (!number) {
        Breach(entry, what);
        return false;
    }
    if (*number != expected) {
        Breach(entry, what);
    }
    return true;
}

// ---- Answers ------------------------------------------------------------------------------

LONG NonZeroResult(HostileEntry entry) {
    static const LONG kLibraryCodes[] = {BIDI_ERR_FAILED, BIDI_ERR_BAD_ARGUMENT,
                                         BIDI_ERR_NO_ENTRY_POINT};
    switch (g_random.Below(4)) {
        case 0:
            Saw(entry, kHostileResultSmallPositive);
            return g_random.Between(1, 9);
        case 1:
            Saw(entry, kHostileResultNegative);
            return -g_random.Between(2, 1000);
        case 2:
            Saw(entry, kHostileResultLibraryCode);
            return kLibraryCodes[g_random.Below(3)];
        default:
            Saw(entry, kHostileResultExtreme);
            return g_random.Percent(50) ? LONG_MIN : LONG_MAX;
    }
}

LONG Result(HostileEntry entry, DWORD zeroPercent) {
    if (Calm() || g_random.Percent(zeroPercent)) {
        Saw(entry, kHostileResultZero);
        return 0;
    }
    return NonZeroResult(entry);
}

char Printable() {
    return static_cast<char>(g_random.Between(0x20, 0x7E));
}
char NonZero() {
    return static_cast<char>(g_random.Between(1, 0xFF));
}
char High() {
    return static_cast<char>(g_random.Between(0x80, 0xFF));
}
char LeadByte() {
    return static_cast<char>(g_random.Between(0x81, 0x9F));
}
char InvalidTrail() {
    static const char kTrails[] = {0x21, 0x3F, 0x7F, static_cast<char>(0xFF)};
    return kTrails[g_random.Below(4)];
}

// Writes one answer into `buffer` (`capacity` bytes, never more).
void WriteText(HostileEntry entry, char* buffer, DWORD capacity) {
    if (!buffer || Calm()) {
        return;
    }
    const DWORD pick = g_random.Below(100);
    if (pick < 10) {
        Saw(entry, kHostileTextUntouched);
    } else if (pick < 35) {
        Saw(entry, kHostileTextShort);
        const DWORD length = 1 + g_random.Below(8);
        for (DWORD i = 0; i < length; ++i) {
            buffer[i] = static_cast<char>('a' + g_random.Below(26));
        }
        buffer[length] = 0;
    } else if (pick < 45) {
        Saw(entry, kHostileTextExactlyFull);
        for (DWORD i = 0; i + 1 < capacity; ++i) {
            buffer[i] = Printable();
        }
        buffer[capacity - 1] = 0;
    } else if (pick < 55) {
        Saw(entry, kHostileTextNoTerminator);
        for (DWORD i = 0; i < capacity; ++i) {
            buffer[i] = Printable();
        }
    } else if (pick < 63) {
        Saw(entry, kHostileTextRandomBytes);
        for (DWORD i = 0; i < capacity; ++i) {
            buffer[i] = NonZero();
        }
    } else if (pick < 71) {
        Saw(entry, kHostileTextHighBytes);
        const DWORD length = 1 + g_random.Below(capacity);
        for (DWORD i = 0; i < length; ++i) {
            buffer[i] = High();
        }
        if (length < capacity) {
            buffer[length] = 0;
        }
    } else if (pick < 81) {
        Saw(entry, kHostileTextInvalidDoubleByte);
        const DWORD length = 2 + g_random.Below(capacity - 1);
        for (DWORD i = 0; i < length; ++i) {
            buffer[i] = i % 2 == 0 ? LeadByte() : InvalidTrail();
        }
        if (length < capacity) {
            buffer[length] = 0;
        }
    } else if (pick < 91) {
        // A valid double-byte text in code page 932 whose last byte, the buffer's last, is a lead.
        Saw(entry, kHostileTextSplitDoubleByte);
        buffer[0] = 'x';
        for (DWORD i = 1; i < capacity; ++i) {
            buffer[i] = static_cast<char>(i % 2 == 1 ? 0x82 : 0xA0);
        }
    } else {
        Saw(entry, kHostileTextEmbeddedZero);
        const DWORD length = 1 + g_random.Below(capacity / 4);
        for (DWORD i = 0; i < length; ++i) {
            buffer[i] = Printable();
        }
        buffer[length] = 0;
        for (DWORD i = length + 1; i < capacity; ++i) {
            buffer[i] = NonZero();
        }
    }
}

// A count to report; `recordBytes` is the size of one record for the consumables (0: templates).
// Gives false when the count is to be left unwritten.
bool PickCount(HostileEntry entry, DWORD recordBytes, LONG* count) {
    if (Calm()) {
        *count = 0;
        return true;
    }
    const DWORD pick = g_random.Below(100);
    if (pick < 33) {
        Saw(entry, kHostileCountSmall);
        *count = g_random.Between(1, 5);
    } else if (pick < 43) {
        Saw(entry, kHostileCountZero);
        *count = 0;
    } else if (pick < 50) {
        Saw(entry, kHostileCountMinusOne);
        *count = -1;
    } else if (pick < 57) {
        Saw(entry, kHostileCount64);
        *count = 64;
    } else if (pick < 64) {
        Saw(entry, kHostileCount65);
        *count = 65;
    } else if (pick < 67) {
        Saw(entry, kHostileCount10000);
        *count = 10000;
    } else if (pick < 77) {
        static const LONG kNear[] = {LONG_MAX, LONG_MAX - 1, LONG_MIN, 0x40000000};
        Saw(entry, kHostileCountNear2To31);
        *count = kNear[g_random.Below(4)];
    } else if (pick < 87 && recordBytes) {
        // The largest count whose block size fits in 32 bits, and the first that does not.
        Saw(entry, kHostileCountBlockEdge);
        *count =
            static_cast<LONG>(0xFFFFFFFFu / recordBytes) + static_cast<LONG>(g_random.Below(2));
    } else {
        Saw(entry, kHostileCountUnwritten);
        return false;
    }
    return true;
}

void Plan(Enumeration& e, LONG first, LONG count) {
    e.expectedIndex = first;
    e.lastIndex = count > 0 ? first + (count - 1) : first - 1;
    e.failAt = -1;
    e.failAtItems = false;
    if (!Calm() && count > 0 && g_random.Percent(35)) {
        e.failAt = first + static_cast<LONG>(g_random.Below(count < 70 ? count : 70));
        e.failAtItems = g_random.Percent(50);
    }
}

// The result of one indexed fetch at `index`, after the fetch checked and wrote its buffers.
LONG FetchResult(HostileEntry entry, Enumeration& e, LONG index, bool itemStage) {
    if (index > e.lastIndex) {
        Breach(entry, "asked for an index past the count reported");
        return 7;
    }
    if (index == e.failAt && itemStage == e.failAtItems) {
        Saw(entry, kHostileFetchFailsByPlan);
        return NonZeroResult(entry);
    }
    Saw(entry, kHostileResultZero);
    return 0;
}

void MaybeRewriteIndex(HostileEntry entry, LONG* index) {
    if (!Calm() && g_random.Percent(20)) {
        Saw(entry, kHostileIndexRewritten);
        static const LONG kGarbage[] = {0, -1, LONG_MAX, LONG_MIN, 1000000};
        *index =
            g_random.Percent(50) ? kGarbage[g_random.Below(5)] : static_cast<LONG>(g_random.Next());
    }
}

void NewLimit(Cursor& c) {
    const DWORD pick = g_random.Below(100);
    c.steps = 0;
    c.limit = pick < 50   ? g_random.Between(0, 4)
              : pick < 75 ? g_random.Between(5, 63)
              : pick < 90 ? g_random.Between(64, 70)
                          : g_random.Between(71, kLongestCursor);
    c.failAt = g_random.Percent(25) ? g_random.Between(1, c.limit + 1) : 0;
}

// The result of reading the item the cursor stands on.
LONG ReadResult(HostileEntry entry, const Cursor& c) {
    if (Calm() || c.steps != c.failAt) {
        Saw(entry, kHostileResultZero);
        return 0;
    }
    return NonZeroResult(entry);
}

// 0 while the cursor stands on a further item.
LONG StepCursor(HostileEntry entry, Cursor& c) {
    if (Calm()) {
        return 1;
    }
    if (c.steps >= c.limit) {
        Saw(entry, kHostileCursorForcedEnd);
        NewLimit(c);
        return 1;
    }
    if (g_random.Percent(1)) {
        Saw(entry, kHostileCursorEnds);
        NewLimit(c);
        return NonZeroResult(entry);
    }
    ++c.steps;
    Saw(entry, kHostileCursorContinues);
    return 0;
}

// ---- The template item text ---------------------------------------------------------------

// Appends bytes to a buffer and never past `limit`.
class TextWriter {
  public:
    TextWriter(char* buffer, DWORD limit) : buffer_(buffer), limit_(limit) {}
    bool Full() const { return length_ >= limit_; }
    void Put(char c) {
        if (length_ < limit_) {
            buffer_[length_++] = c;
        }
    }
    // A key or value of `length` bytes: mostly ASCII, some single high bytes, some pairs.
    void Segment(DWORD length, bool mayHoldTab) {
        for (DWORD i = 0; i < length && !Full(); ++i) {
            const DWORD pick = g_random.Below(100);
            if (pick < 70) {
                const char c = Printable();
                Put(c);
            } else if (pick < 80) {
                Put(mayHoldTab ? '\t' : 'T');
            } else if (pick < 90) {
                Put(High());
            } else {
                Put(static_cast<char>(0x82));
                Put(static_cast<char>(0xA0 + g_random.Below(0x50)));
                ++i;
            }
        }
    }
    void Line(DWORD keyLength, DWORD valueLength, const char* ending) {
        Segment(keyLength, false);
        Put('\t');
        Segment(valueLength, true);
        for (const char* p = ending; *p; ++p) {
            Put(*p);
        }
    }
    DWORD Length() const { return length_; }

  private:
    char* buffer_;
    DWORD limit_;
    DWORD length_ = 0;
};

void WriteItems(HostileEntry entry, char* buffer) {
    if (!buffer || Calm()) {
        return;
    }
    // Every text but one keeps its last byte for the terminator.
    TextWriter text(buffer, kItemTextBytes - 1);
    const DWORD pick = g_random.Below(100);
    if (pick < 8) {
        Saw(entry, kHostileItemsEmpty);
    } else if (pick < 35) {
        Saw(entry, kHostileItemsLines);
        for (DWORD n = g_random.Below(21); n > 0; --n) {
            text.Line(g_random.Below(21), g_random.Below(21), "\n");
        }
    } else if (pick < 45) {
        Saw(entry, kHostileItemsNoFinalLineFeed);
        for (DWORD n = g_random.Below(5); n > 0; --n) {
            text.Line(g_random.Below(10), g_random.Below(10), "\n");
        }
        text.Line(g_random.Below(10), g_random.Below(10), "");
    } else if (pick < 55) {
        Saw(entry, kHostileItemsCrLf);
        for (DWORD n = 1 + g_random.Below(10); n > 0; --n) {
            text.Line(g_random.Below(10), g_random.Below(10), "\r\n");
        }
    } else if (pick < 65) {
        Saw(entry, kHostileItemsLineWithoutTab);
        for (DWORD n = 1 + g_random.Below(10); n > 0; --n) {
            if (g_random.Percent(40)) {
                text.Segment(g_random.Below(10), false);
                text.Put('\n');
            } else {
                text.Line(g_random.Below(10), g_random.Below(10), "\n");
            }
        }
    } else if (pick < 75) {
        Saw(entry, kHostileItemsLongSegments);
        for (DWORD n = 1 + g_random.Below(8); n > 0; --n) {
            text.Line(g_random.Between(60, 300), g_random.Between(60, 300), "\n");
        }
    } else if (pick < 83) {
        Saw(entry, kHostileItemsManyLines);
        for (DWORD n = g_random.Between(129, 600); n > 0; --n) {
            text.Line(g_random.Below(6), g_random.Below(6), "\n");
        }
    } else if (pick < 91) {
        Saw(entry, kHostileItemsFullNoTerminator);
        TextWriter full(buffer, kItemTextBytes);
        while (!full.Full()) {
            full.Line(g_random.Below(80), g_random.Below(80), "\n");
        }
        return;
    } else {
        Saw(entry, kHostileItemsRandomBytes);
        for (DWORD n = g_random.Below(3000); n > 0; --n) {
            const DWORD b = g_random.Below(100);
            text.Put(b < 8 ? '\t' : b < 16 ? '\n' : b < 30 ? LeadByte() : NonZero());
        }
    }
    buffer[text.Length()] = 0;
}

}  // namespace

// ---- Control --------------------------------------------------------------------------------

extern "C" void WINAPI HostileQueryModule_ClearLog() {
    g_log.callCount = 0;
    g_log.breaches = 0;
    g_log.firstBreach[0] = 0;
}

extern "C" void WINAPI HostileQueryModule_Reset(DWORD seed, LONG mode) {
    g_random.Seed(seed);
    g_mode = mode;
    NewLimit(g_keys);
    NewLimit(g_options);
    Plan(g_consumables, 1, 0);
    Plan(g_templates, 0, 0);
    HostileQueryModule_ClearLog();
}

extern "C" const HostileLog* WINAPI HostileQueryModule_Log() {
    return &g_log;
}

extern "C" const HostileCoverage* WINAPI HostileQueryModule_Coverage() {
    return &g_coverage;
}

// ---- Entry points ---------------------------------------------------------------------------

#define BEGIN(name)                                \
    HostileCall& call = Begin(kHostile_##name, c); \
    const HostileEntry entry = kHostile_##name

extern "C" {

LONG WINAPI VyxQuery_Initialize(VyxQueryContext* c, LPCSTR path) {
    BEGIN(VyxQuery_Initialize);
    CheckInput(entry, path, kPathBytes, false);
    return End(call, Result(entry, 80));
}

LONG WINAPI VyxQuery_Terminate(VyxQueryContext* c) {
    BEGIN(VyxQuery_Terminate);
    return End(call, Result(entry, 60));
}

LONG WINAPI VyxQuery_Connect(VyxQueryContext* c, LPCSTR first, LPCSTR second) {
    BEGIN(VyxQuery_Connect);
    CheckInput(entry, first, kConnectFirstBytes, true);
    CheckInput(entry, second, kConnectSecondBytes, true);
    return End(call, Result(entry, 70));
}

LONG WINAPI VyxQuery_Disconnect(VyxQueryContext* c) {
    BEGIN(VyxQuery_Disconnect);
    return End(call, Result(entry, 70));
}

LONG WINAPI Color_OpenSession(VyxQueryContext* c, LPCSTR t1, LPCSTR t2, LPCSTR t3, LPCSTR t4,
                              LPCSTR t5, LPCSTR t6) {
    BEGIN(Color_OpenSession);
    for (LPCSTR text : {t1, t2, t3, t4, t5, t6}) {
        CheckInput(entry, text, kColorSessionBytes, true);
    }
    return End(call, Result(entry, 70));
}

LONG WINAPI Color_CloseSession(VyxQueryContext* c) {
    BEGIN(Color_CloseSession);
    return End(call, Result(entry, 70));
}

LONG WINAPI Color_SetNextKey(VyxQueryContext* c) {
    BEGIN(Color_SetNextKey);
    return End(call, StepCursor(entry, g_keys));
}

LONG WINAPI Color_GetCurrentKey(VyxQueryContext* c, LPSTR first, LPSTR second) {
    BEGIN(Color_GetCurrentKey);
    if (CheckOutput(entry, first, kKeyBytes, false)) {
        WriteText(entry, first, kKeyBytes);
    }
    if (CheckOutput(entry, second, kKeyBytes, false)) {
        WriteText(entry, second, kKeyBytes);
    }
    return End(call, ReadResult(entry, g_keys));
}

LONG WINAPI Color_GetNextOption(VyxQueryContext* c, LPSTR first, LPSTR second) {
    BEGIN(Color_GetNextOption);
    const LONG result = StepCursor(entry, g_options);
    const bool write = result == 0 || g_random.Percent(30);
    if (CheckOutput(entry, first, kKeyBytes, false) && write) {
        WriteText(entry, first, kKeyBytes);
    }
    if (CheckOutput(entry, second, kKeyBytes, false) && write) {
        WriteText(entry, second, kKeyBytes);
    }
    return End(call, result);
}

LONG WINAPI Color_SetCurrentKey(VyxQueryContext* c, LPCSTR key) {
    BEGIN(Color_SetCurrentKey);
    CheckInput(entry, key, kKeyBytes, true);
    NewLimit(g_options);
    return End(call, Result(entry, 80));
}

LONG WINAPI Color_GetSelectedOption(VyxQueryContext* c, LPCSTR key, LPSTR first, LPSTR second) {
    BEGIN(Color_GetSelectedOption);
    CheckInput(entry, key, kKeyBytes, false);
    if (CheckOutput(entry, first, kKeyBytes, false)) {
        WriteText(entry, first, kKeyBytes);
    }
    if (CheckOutput(entry, second, kKeyBytes, false)) {
        WriteText(entry, second, kKeyBytes);
    }
    return End(call, Result(entry, 75));
}

LONG WINAPI Color_SetKeyValue(VyxQueryContext* c, LPCSTR key, LPCSTR value) {
    BEGIN(Color_SetKeyValue);
    CheckInput(entry, key, kKeyBytes, true);
    CheckInput(entry, value, kKeyBytes, true);
    return End(call, Result(entry, 70));
}

LONG WINAPI JobTPlate_QueryTemplateNames(VyxQueryContext* c, LONG* count) {
    BEGIN(JobTPlate_QueryTemplateNames);
    if (!CheckNumber(entry, count, 0, "count not preset to 0")) {
        return End(call, 1);
    }
    if (PickCount(entry, 0, count)) {
        call.detail = *count;
    }
    Plan(g_templates, 0, call.detail);
    return End(call, Result(entry, 85));
}

LONG WINAPI JobTPlate_GetTemplateNames(VyxQueryContext* c, LONG* index, LPSTR name, LONG* tag) {
    BEGIN(JobTPlate_GetTemplateNames);
    if (!CheckNumber(entry, index, g_templates.expectedIndex, "unexpected template index")) {
        return End(call, 1);
    }
    const LONG asked = *index;
    call.detail = asked;
    g_templates.expectedIndex = asked + 1;
    if (CheckOutput(entry, name, kNameBytes, false)) {
        WriteText(entry, name, kNameBytes);
    }
    if (!tag) {
        Breach(entry, "null tag address");
    } else if (!Calm() && g_random.Percent(70)) {
        Saw(entry, kHostileTagWritten);
        *tag = call.written[0] = static_cast<LONG>(g_random.Next());
    } else {
        Saw(entry, kHostileTagUnwritten);
    }
    MaybeRewriteIndex(entry, index);
    return End(call, FetchResult(entry, g_templates, asked, false));
}

LONG WINAPI JobTPlate_GetTemplateItems(VyxQueryContext* c, TemplateRecord* record, LPSTR text,
                                       LONG* reserved) {
    BEGIN(JobTPlate_GetTemplateItems);
    CheckNumber(entry, reserved, 0, "last integer not preset to 0");
    if (!record) {
        Breach(entry, "null template record");
        return End(call, 1);
    }
    if (!wmemchr(record->name, L'\0', 64) || record->items || record->itemCount) {
        Breach(entry, "template record not as named and still without items");
    }
    const LONG asked = g_templates.expectedIndex - 1;  // the name just fetched
    call.detail = asked;
    if (CheckOutput(entry, text, kItemTextBytes, false)) {
        WriteItems(entry, text);
    }
    if (reserved && !Calm() && g_random.Percent(30)) {
        Saw(entry, kHostileReservedWritten);
        *reserved = static_cast<LONG>(g_random.Next());
    }
    if (!Calm() && g_random.Percent(10)) {
        Saw(entry, kHostileRecordScribbled);
        record->items = reinterpret_cast<TemplateItem*>(static_cast<uintptr_t>(0xBAADF00D));
        record->itemCount = static_cast<LONG>(g_random.Next());
    }
    return End(call, FetchResult(entry, g_templates, asked, true));
}

LONG WINAPI Attribute_OpenSession(VyxQueryContext* c, LPCSTR first, LPCSTR second) {
    BEGIN(Attribute_OpenSession);
    CheckInput(entry, first, kAttribSessionBytes, true);
    CheckInput(entry, second, kAttribSessionBytes, true);
    return End(call, Result(entry, 70));
}

LONG WINAPI Attribute_CloseSession(VyxQueryContext* c) {
    BEGIN(Attribute_CloseSession);
    return End(call, Result(entry, 70));
}

namespace {

LONG ReportConsumableCount(HostileEntry entry, HostileCall& call, LONG* count, DWORD recordBytes) {
    if (!CheckNumber(entry, count, 0, "count not preset to 0")) {
        return 1;
    }
    if (PickCount(entry, recordBytes, count)) {
        call.detail = *count;
    }
    Plan(g_consumables, 1, call.detail);
    // The largest count whose block fits in 32 bits asks for 4 GiB: a 64-bit process is given
    // it, and walking millions of records would make a run of hours. Its first fetch fails, so
    // the block goes back unwalked; a 32-bit process never gets that far.
    if (!Calm() && call.detail > 0 &&
        static_cast<unsigned long long>(call.detail) * recordBytes > 0x7FFFFFFFu) {
        g_consumables.failAt = 1;
        g_consumables.failAtItems = false;
    }
    return Result(entry, 85);
}

// The checks and writes shared by both indexed fetches; gives the index asked for.
LONG BeginConsumableFetch(HostileEntry entry, HostileCall& call, LONG* index, LONG* value1,
                          LONG* value2) {
    const LONG asked = index ? *index : 0;
    CheckNumber(entry, index, g_consumables.expectedIndex, "unexpected consumable index");
    call.detail = asked;
    g_consumables.expectedIndex = asked + 1;
    if (!value1 || value2 != value1 + 1) {
        Breach(entry, "value addresses not two adjacent fields");
    } else if (!Calm() && g_random.Percent(70)) {
        Saw(entry, kHostileValuesWritten);
        *value1 = call.written[0] = static_cast<LONG>(g_random.Next());
        *value2 = call.written[1] = static_cast<LONG>(g_random.Next());
    }
    return asked;
}

void AnswerConsumableText(HostileEntry entry, char* text) {
    if (CheckOutput(entry, text, kConsumableBytes, true)) {
        WriteText(entry, text, kConsumableBytes);
    }
}

LONG AnswerInstallable(HostileEntry entry, VyxQueryContext* c, LPSTR first, LPSTR second) {
    HostileCall& call = Begin(entry, c);
    if (CheckOutput(entry, first, kOptionBytes, true)) {
        WriteText(entry, first, kOptionBytes);
    }
    if (CheckOutput(entry, second, kOptionBytes, true)) {
        WriteText(entry, second, kOptionBytes);
    }
    return End(call, Result(entry, 60));
}

}  // namespace

LONG WINAPI Attribute_GetNumTrays(VyxQueryContext* c, LONG* count) {
    BEGIN(Attribute_GetNumTrays);
    return End(call, ReportConsumableCount(entry, call, count, kTrayBytes));
}

LONG WINAPI Attribute_GetNumColors(VyxQueryContext* c, LONG* count) {
    BEGIN(Attribute_GetNumColors);
    return End(call, ReportConsumableCount(entry, call, count, kTonerBytes));
}

LONG WINAPI Attribute_GetIndexedTrays(VyxQueryContext* c, LONG* index, LPSTR text1, LONG* value1,
                                      LONG* value2, LPSTR text2, LPSTR text3, LPSTR text4) {
    BEGIN(Attribute_GetIndexedTrays);
    const LONG asked = BeginConsumableFetch(entry, call, index, value1, value2);
    for (char* text : {text1, text2, text3, text4}) {
        AnswerConsumableText(entry, text);
    }
    if (index) {
        MaybeRewriteIndex(entry, index);
    }
    return End(call, FetchResult(entry, g_consumables, asked, false));
}

LONG WINAPI Attribute_GetIndexedColors(VyxQueryContext* c, LONG* index, LPSTR text1, LONG* value1,
                                       LONG* value2) {
    BEGIN(Attribute_GetIndexedColors);
    const LONG asked = BeginConsumableFetch(entry, call, index, value1, value2);
    AnswerConsumableText(entry, text1);
    if (index) {
        MaybeRewriteIndex(entry, index);
    }
    return End(call, FetchResult(entry, g_consumables, asked, false));
}

#define INSTALLABLE(name)                                             \
    LONG WINAPI name(VyxQueryContext* c, LPSTR first, LPSTR second) { \
        return AnswerInstallable(kHostile_##name, c, first, second);  \
    }
INSTALLABLE(Attribute_GetSorter)
INSTALLABLE(Attribute_GetDuplex)
INSTALLABLE(Attribute_GetLowerTray)
INSTALLABLE(Attribute_GetFax)
INSTALLABLE(Attribute_GetFinisher)
INSTALLABLE(Attribute_GetFaceDownUnit)
INSTALLABLE(Attribute_GetFinisherType)
INSTALLABLE(Attribute_GetFinisherOption)
INSTALLABLE(Attribute_GetMFPOption)
#undef INSTALLABLE

LONG WINAPI Misc_GetEMail_Notification(VyxQueryContext* c, void* value) {
    BEGIN(Misc_GetEMail_Notification);
    call.detail = static_cast<LONG>(reinterpret_cast<uintptr_t>(value));
    return End(call, Result(entry, 70));
}

}  // extern "C"
