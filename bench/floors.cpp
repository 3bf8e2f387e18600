// Each listing's query-module calls without the library: the bare calls, then with its blocks.
#include "floors.h"

#include <cstring>

namespace bench {
namespace {

// One module call as the library must make it: the entry point looked up by name, then called
// with the address of the context slot.
template <typename Pfn, typename... Arguments>
LONG Direct(FloorContext& f, vyxquery::EntryPoint<Pfn> entry, Arguments... arguments) {
    const Pfn function =
        reinterpret_cast<Pfn>(reinterpret_cast<void (*)()>(GetProcAddress(f.module, entry.name)));
    return function(&f.context, arguments...);
}

// A block as the library takes one: zero-filled, moveable, locked once.
char* Take(std::size_t bytes) {
    return static_cast<char*>(GlobalLock(GlobalAlloc(GHND, bytes)));
}

// And gives it back, from its locked pointer.
void Give(const void* locked) {
    const HGLOBAL block = GlobalHandle(locked);
    GlobalUnlock(block);
    GlobalFree(block);
}

template <typename Pfn>
LONG DirectInstallable(FloorContext& f, vyxquery::EntryPoint<Pfn> entry, char* first,
                       char* second) {
    return Direct(f, entry, first, second) == 0;
}

template <typename Pfn>
LONG BlocksInstallable(FloorContext& f, vyxquery::EntryPoint<Pfn> entry) {
    char* first = Take(64);
    char* second = Take(64);
    const LONG answered = Direct(f, entry, first, second) == 0;
    Give(first);
    Give(second);
    return answered;
}

// The nine attributes in slot order, each through `fetch`.
template <typename Fetch>
LONG EveryInstallable(Fetch fetch) {
    return fetch(vyxquery::Attribute_GetSorter) + fetch(vyxquery::Attribute_GetDuplex) +
           fetch(vyxquery::Attribute_GetLowerTray) + fetch(vyxquery::Attribute_GetFax) +
           fetch(vyxquery::Attribute_GetFinisher) + fetch(vyxquery::Attribute_GetFaceDownUnit) +
           fetch(vyxquery::Attribute_GetFinisherType) +
           fetch(vyxquery::Attribute_GetFinisherOption) + fetch(vyxquery::Attribute_GetMFPOption);
}

}  // namespace

void FloorFeatureList(FloorContext& f) {
    FloorBuffers& b = *f.buffers;
    LONG stored = 0;
    while (Direct(f, vyxquery::Color_SetNextKey) == 0) {
        if (stored == BIDI_MAX_FEATURES) {
            continue;
        }
        if (Direct(f, vyxquery::Color_GetCurrentKey, b.first, b.second) != 0) {
            break;
        }
        ++stored;
    }
    f.sink = stored;
}

void BlocksFloorFeatureList(FloorContext& f) {
    char* list = Take(sizeof(FeatureList));
    char* wideFirst = Take(512);
    char* wideSecond = Take(512);
    char* pairs[BIDI_MAX_FEATURES];
    LONG stored = 0;
    while (Direct(f, vyxquery::Color_SetNextKey) == 0) {
        if (stored == BIDI_MAX_FEATURES) {
            continue;
        }
        char* first = Take(256);
        char* second = Take(256);
        const LONG result = Direct(f, vyxquery::Color_GetCurrentKey, first, second);
        Give(first);
        Give(second);
        if (result != 0) {
            break;
        }
        pairs[stored++] = Take(sizeof(TextPair));
    }
    Give(wideFirst);
    Give(wideSecond);
    for (LONG i = 0; i < stored; ++i) {
        Give(pairs[i]);
    }
    Give(list);
    f.sink = stored;
}

void FloorFeatureInfo(FloorContext& f) {
    FloorBuffers& b = *f.buffers;
    const char* name = f.featureName.c_str();
    Direct(f, vyxquery::Color_SetCurrentKey, name);
    Direct(f, vyxquery::Color_GetCurrentKey, b.first, b.second);
    LONG options = 0;
    while (Direct(f, vyxquery::Color_GetNextOption, b.first, b.second) == 0) {
        ++options;
    }
    f.sink = options + Direct(f, vyxquery::Color_GetSelectedOption, name, b.first, b.second);
}

void BlocksFloorFeatureInfo(FloorContext& f) {
    char* record = Take(sizeof(FeatureInfo));
    char* wide[4] = {Take(512), Take(512), Take(512), Take(512)};
    char* name = Take(256);
    std::memcpy(name, f.featureName.c_str(), f.featureName.size());
    Direct(f, vyxquery::Color_SetCurrentKey, name);
    Give(name);
    char* first = Take(256);
    char* second = Take(256);
    Direct(f, vyxquery::Color_GetCurrentKey, first, second);
    Give(first);
    Give(second);
    Give(wide[0]);
    Give(wide[1]);
    char* pairs[BIDI_MAX_OPTIONS];
    LONG options = 0;
    for (;;) {
        first = Take(256);
        second = Take(256);
        const LONG result = Direct(f, vyxquery::Color_GetNextOption, first, second);
        Give(first);
        Give(second);
        if (result != 0) {
            break;
        }
        if (options < BIDI_MAX_OPTIONS) {
            pairs[options++] = Take(sizeof(TextPair));
        }
    }
    name = Take(256);
    std::memcpy(name, f.featureName.c_str(), f.featureName.size());
    first = Take(256);
    second = Take(256);
    f.sink = Direct(f, vyxquery::Color_GetSelectedOption, name, first, second);
    Give(first);
    Give(second);
    Give(name);
    Give(wide[2]);
    Give(wide[3]);
    for (LONG i = 0; i < options; ++i) {
        Give(pairs[i]);
    }
    Give(record);
}

void FloorTrays(FloorContext& f) {
    FloorBuffers& b = *f.buffers;
    LONG count = 0;
    Direct(f, vyxquery::Attribute_GetNumTrays, &count);
    LONG value1 = 0, value2 = 0;
    for (LONG index = 1; index <= count; ++index) {
        Direct(f, vyxquery::Attribute_GetIndexedTrays, &index, b.trayTexts[0], &value1, &value2,
               b.trayTexts[1], b.trayTexts[2], b.trayTexts[3]);
    }
    f.sink = value1;
}

void BlocksFloorTrays(FloorContext& f) {
    LONG count = 0;
    Direct(f, vyxquery::Attribute_GetNumTrays, &count);
    auto* trays = reinterpret_cast<TrayRecord*>(Take(count * sizeof(TrayRecord)));
    for (LONG index = 1; index <= count; ++index) {
        TrayRecord& tray = trays[index - 1];
        char* texts[4] = {Take(32), Take(32), Take(32), Take(32)};
        Direct(f, vyxquery::Attribute_GetIndexedTrays, &index, texts[0], &tray.value1, &tray.value2,
               texts[1], texts[2], texts[3]);
        for (char* text : texts) {
            Give(text);
        }
    }
    f.sink = trays[count - 1].value1;
    Give(trays);
}

void FloorInstallables(FloorContext& f) {
    char* first = f.buffers->optionTexts[0];
    char* second = f.buffers->optionTexts[1];
    f.sink =
        EveryInstallable([&](auto entry) { return DirectInstallable(f, entry, first, second); });
}

void BlocksFloorInstallables(FloorContext& f) {
    char* record = Take(sizeof(InstallablesRecord));
    f.sink = EveryInstallable([&](auto entry) { return BlocksInstallable(f, entry); });
    Give(record);
}

LONG FloorParse(FloorContext& f, const char* text) {
    const int units =
        MultiByteToWideChar(CP_ACP, 0, text, -1, f.buffers->wideText, BENCH_ITEM_TEXT_BYTES);
    LONG lines = 0;
    for (const char* p = std::strchr(text, '\n'); p; p = std::strchr(p + 1, '\n')) {
        ++lines;
    }
    return lines + units;
}

void FloorAllTemplates(FloorContext& f) {
    FloorBuffers& b = *f.buffers;
    LONG count = 0;
    Direct(f, vyxquery::JobTPlate_QueryTemplateNames, &count);
    LONG parsed = 0;
    for (LONG index = 0; index < count; ++index) {
        LONG tag = 0, reserved = 0;
        Direct(f, vyxquery::JobTPlate_GetTemplateNames, &index, b.name, &tag);
        Direct(f, vyxquery::JobTPlate_GetTemplateItems, &b.record, b.itemText, &reserved);
        parsed += FloorParse(f, b.itemText);
    }
    f.sink = parsed;
}

void BlocksFloorAllTemplates(FloorContext& f) {
    auto* records = reinterpret_cast<TemplateRecord*>(Take(sizeof(TemplateRecord) * 64));
    LONG count = 0;
    Direct(f, vyxquery::JobTPlate_QueryTemplateNames, &count);
    LONG parsed = 0;
    for (LONG index = 0; index < count && index < BIDI_MAX_TEMPLATES; ++index) {
        LONG tag = 0, reserved = 0;
        char* name = Take(64);
        Direct(f, vyxquery::JobTPlate_GetTemplateNames, &index, name, &tag);
        Give(name);
        records[index].items = reinterpret_cast<TemplateItem*>(Take(32768));
        char* text = Take(BENCH_ITEM_TEXT_BYTES);
        Direct(f, vyxquery::JobTPlate_GetTemplateItems, &records[index], text, &reserved);
        parsed += FloorParse(f, text);
        Give(text);
    }
    for (LONG index = 0; index < count && index < BIDI_MAX_TEMPLATES; ++index) {
        Give(records[index].items);
    }
    Give(records);
    f.sink = parsed;
}

}  // namespace bench
