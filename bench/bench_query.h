// The bench query module's own interface: what it answers with, set by the benchmark program.
#pragma once

#include <windows.h>

// Bytes of the item text the module writes for every template: 32767 and the terminator.
#define BENCH_ITEM_TEXT_BYTES 32768

// How many entries the module's enumerations report, and in which letters its texts come:
// single-byte (code page 1252 letters) or, for the template items, mostly double-byte
// (code page 932) characters.
typedef struct BenchScenario {
    LONG features;   // keys the colour key cursor delivers
    LONG options;    // options each key's option cursor delivers
    LONG trays;      // paper trays reported
    LONG templates;  // job templates reported
    BOOL doubleByteItems;
} BenchScenario;

// Sets the scenario and builds every answer once, so that each entry point only copies.
typedef void(WINAPI* PFN_BenchQuery_Configure)(const BenchScenario* scenario);
// The item text every template gets: BENCH_ITEM_TEXT_BYTES bytes, terminator included.
typedef const char*(WINAPI* PFN_BenchQuery_ItemText)(void);
