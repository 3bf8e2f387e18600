// The floors: each listing's query-module calls made directly, with or without its global blocks.
#pragma once

#include <windows.h>
#include <vyxbidi.h>
#include <vyxquery.h>

#include <string>

#include "bench_query.h"

namespace bench {

// What the plain floors reuse from call to call: one buffer of each size the module fills.
struct FloorBuffers {
    char first[256];
    char second[256];
    char trayTexts[4][32];
    char optionTexts[2][64];
    char name[64];
    char itemText[BENCH_ITEM_TEXT_BYTES];
    WCHAR wideText[BENCH_ITEM_TEXT_BYTES];
    TemplateRecord record;
};

struct FloorContext {
    HMODULE module = nullptr;
    VyxQueryContext context = nullptr;  // the floors' own context slot
    std::string featureName;            // ANSI, made once: the floors convert nothing
    FloorBuffers* buffers = nullptr;
    volatile LONG sink = 0;  // keeps the floors' results alive
};

// Plain floors: every entry point looked up by name before each call, as the library must do,
// one reused buffer per argument, no conversions, no records.
void FloorFeatureList(FloorContext& f);
void FloorFeatureInfo(FloorContext& f);
void FloorTrays(FloorContext& f);
void FloorInstallables(FloorContext& f);
void FloorAllTemplates(FloorContext& f);

// The least any item parser must do: widen the whole text in one call, find its line feeds.
LONG FloorParse(FloorContext& f, const char* text);

// Block floors: the plain floor's calls, but every buffer and record the contract names is a fresh
// zero-filled global block, taken, locked and released as the library must (scratch blocks by
// their handle, records from their pointer as the release exports get them); still no
// conversions and no copying. What the library adds beyond this is its own work.
void BlocksFloorFeatureList(FloorContext& f);
void BlocksFloorFeatureInfo(FloorContext& f);
void BlocksFloorTrays(FloorContext& f);
void BlocksFloorInstallables(FloorContext& f);
void BlocksFloorAllTemplates(FloorContext& f);

}  // namespace bench
