// The hostile test query module's own interface: seeding it, its call log and what it exercised.
#pragma once

#include <windows.h>
#include <vyxquery.h>

// Entry points by position in VYXQUERY_ENTRY_POINTS; the log names calls by these numbers.
enum HostileEntry {
#define HOSTILE_ENTRY_(name, params) kHostile_##name,
    VYXQUERY_ENTRY_POINTS(HOSTILE_ENTRY_)
#undef HOSTILE_ENTRY_
        kHostileEntryCount
};

// Everything the module may do to the library, one number per kind of answer.
#define HOSTILE_BEHAVIOURS(X)                                                         \
    X(ResultZero, "answers 0")                                                        \
    X(ResultSmallPositive, "answers a small positive code")                           \
    X(ResultNegative, "answers a negative code")                                      \
    X(ResultLibraryCode, "answers one of the library's own codes")                    \
    X(ResultExtreme, "answers INT_MIN or INT_MAX")                                    \
    X(TextUntouched, "leaves a buffer unwritten")                                     \
    X(TextShort, "writes a short terminated text")                                    \
    X(TextExactlyFull, "fills a buffer to its last byte with the terminator")         \
    X(TextNoTerminator, "fills a buffer to its last byte without a terminator")       \
    X(TextRandomBytes, "fills a buffer with random non-zero bytes")                   \
    X(TextHighBytes, "writes bytes 0x80-0xFF")                                        \
    X(TextInvalidDoubleByte, "writes lead bytes with invalid trail bytes")            \
    X(TextSplitDoubleByte, "fills a buffer with double-byte pairs, a lead byte last") \
    X(TextEmbeddedZero, "writes a text, a zero, then garbage to the end")             \
    X(CountZero, "reports a count of 0")                                              \
    X(CountMinusOne, "reports a count of -1")                                         \
    X(Count64, "reports a count of 64")                                               \
    X(Count65, "reports a count of 65")                                               \
    X(Count10000, "reports a count of 10000")                                         \
    X(CountNear2To31, "reports a count near 2^31")                                    \
    X(CountBlockEdge, "reports a count at the edge of a 32-bit block size")           \
    X(CountSmall, "reports a count of 1 to 5")                                        \
    X(CountUnwritten, "leaves the count unwritten")                                   \
    X(IndexRewritten, "writes garbage back through the index pointer")                \
    X(TagWritten, "writes a template tag")                                            \
    X(TagUnwritten, "leaves the template tag unwritten")                              \
    X(ValuesWritten, "writes random values into a record")                            \
    X(ReservedWritten, "writes the item fetch's last integer")                        \
    X(RecordScribbled, "scribbles on the template record's items and itemCount")      \
    X(CursorContinues, "lets a cursor go on")                                         \
    X(CursorEnds, "ends a cursor")                                                    \
    X(CursorForcedEnd, "ends a cursor at its step bound")                             \
    X(FetchFailsByPlan, "fails an enumeration part-way")                              \
    X(ItemsEmpty, "item text: empty")                                                 \
    X(ItemsLines, "item text: well-formed lines")                                     \
    X(ItemsNoFinalLineFeed, "item text: last line without line feed")                 \
    X(ItemsCrLf, "item text: lines ending in CR LF")                                  \
    X(ItemsLineWithoutTab, "item text: lines without TAB")                            \
    X(ItemsLongSegments, "item text: keys and values longer than 63 bytes")           \
    X(ItemsManyLines, "item text: more than 128 lines")                               \
    X(ItemsFullNoTerminator, "item text: 32768 bytes without terminator")             \
    X(ItemsRandomBytes, "item text: random bytes, invalid double-byte sequences included")

enum HostileBehaviour {
#define HOSTILE_BEHAVIOUR_(name, text) kHostile##name,
    HOSTILE_BEHAVIOURS(HOSTILE_BEHAVIOUR_)
#undef HOSTILE_BEHAVIOUR_
        kHostileBehaviourCount
};

// Modes of HostileQueryModule_Reset.
#define HOSTILE_MODE_CALM 0 /* every entry answers 0 and writes nothing; counts 0; cursors end */
#define HOSTILE_MODE_WILD 1 /* every answer drawn at random from the seed */

// Calls since the last HostileQueryModule_Reset or _ClearLog. `detail` holds, per entry point:
// the count written (count entries), the index received (indexed fetches), the value received
// (Misc_GetEMail_Notification); 0 otherwise. `written` holds what an indexed fetch wrote through
// its value addresses (value1, value2) or its tag address (tag first); 0 where it wrote nothing.
#define HOSTILE_LOG_CAPACITY 16384
typedef struct HostileCall {
    LONG entry;
    LONG result;
    LONG detail;
    LONG written[2];
} HostileCall;

typedef struct HostileLog {
    LONG callCount; /* may exceed the capacity; only the first HOSTILE_LOG_CAPACITY are kept */
    LONG breaches;  /* arguments from the library that break what it documents */
    char firstBreach[200];
    HostileCall calls[HOSTILE_LOG_CAPACITY];
} HostileLog;

// How often each entry point showed each behaviour since the module was loaded.
typedef struct HostileCoverage {
    DWORD seen[kHostileEntryCount][kHostileBehaviourCount];
} HostileCoverage;

typedef void(WINAPI* PFN_HostileQueryModule_Reset)(DWORD seed, LONG mode);
typedef void(WINAPI* PFN_HostileQueryModule_ClearLog)(void);
typedef const HostileLog*(WINAPI* PFN_HostileQueryModule_Log)(void);
typedef const HostileCoverage*(WINAPI* PFN_HostileQueryModule_Coverage)(void);
