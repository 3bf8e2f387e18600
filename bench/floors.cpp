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

// A block as the library takes one: zero-filled, moveable, locked once. A fixed block costs about
// a quarter less under wine, but it is not the block callers are promised: it reports no lock
// count in GlobalFlags, GlobalUnlock never reports it unlocked, and GlobalReAlloc may move it.
// So moveable is the cheapest kind a floor may take.
struct Block {
    explicit Block(std::size_t bytes)
        : handle(GlobalAlloc(GHND, bytes)), bytes(static_cast<char*>(GlobalLock(handle))) {}
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;
    // A scratch block goes back by its handle.
    ~Block() {
        GlobalUnlock(handle);
        GlobalFree(handle);
    }
    HGLOBAL handle;
    char* bytes;
};

// A record block is taken the same way; it goes back from its locked pointer alone, as the
// release exports get it.
char* TakeRecord(std::size_t bytes) {
    return static_cast<char*>(GlobalLock(GlobalAlloc(GHND, bytes)));
}

void GiveRecord(const void* locked) {
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
    const Block first(64), second(64);
    return Direct(f, entry, first.bytes, second.bytes) == 0;
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
    char* list = TakeRecord(sizeof(FeatureList));
    LONG stored = 0;
    {
        const Block wideFirst(512), wideSecond(512);
        char* pairs[BIDI_MAX_FEATURES];
        while (Direct(f, vyxquery::Color_SetNextKey) == 0) {
            if (stored == BIDI_MAX_FEATURES) {
                continue;
            }
            LONG result = 0;
            {
                const Block first(256), second(256);
                result = Direct(f, vyxquery::Color_GetCurrentKey, first.bytes, second.bytes);
            }
            if (result != 0) {
                break;
            }
            pairs[stored++] = TakeRecord(sizeof(TextPair));
        }
        for (LONG i = 0; i < stored; ++i) {
            GiveRecord(pairs[i]);
        }
    }
    GiveRecord(list);
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
    char* record = TakeRecord(sizeof(FeatureInfo));
    char* pairs[BIDI_MAX_OPTIONS];
    LONG options = 0;
    {
        const Block optionFirst(512), optionSecond(512);
        {
            const Block keyFirst(512), keySecond(512);
            {
                const Block name(256);
                std::memcpy(name.bytes, f.featureName.c_str(), f.featureName.size());
                Direct(f, vyxquery::Color_SetCurrentKey, name.bytes);
            }
            const Block first(256), second(256);
            Direct(f, vyxquery::Color_GetCurrentKey, first.bytes, second.bytes);
        }
        for (;;) {
            LONG result = 0;
            {
                const Block first(256), second(256);
                result = Direct(f, vyxquery::Color_GetNextOption, first.bytes, second.bytes);
            }
            if (result != 0) {
                break;
            }
            if (options < BIDI_MAX_OPTIONS) {
                pairs[options++] = TakeRecord(sizeof(TextPair));
            }
        }
        const Block name(256), first(256), second(256);
        std::memcpy(name.bytes, f.featureName.c_str(), f.featureName.size());
        f.sink =
            Direct(f, vyxquery::Color_GetSelectedOption, name.bytes, first.bytes, second.bytes);
    }
    for (LONG i = 0; i < options; ++i) {
        GiveRecord(pairs[i]);
    }
    GiveRecord(record);
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
    auto* trays = reinterpret_cast<TrayRecord*>(TakeRecord(count * sizeof(TrayRecord)));
    for (LONG index = 1; index <= count; ++index) {
        TrayRecord& tray = trays[index - 1];
        const Block text1(32), text2(32), text3(32), text4(32);
        Direct(f, vyxquery::Attribute_GetIndexedTrays, &index, text1.bytes, &tray.value1,
               &tray.value2, text2.bytes, text3.bytes, text4.bytes);
    }
    f.sink = trays[count - 1].value1;
    GiveRecord(trays);
}

void FloorInstallables(FloorContext& f) {
    char* first = f.buffers->optionTexts[0];
    char* second = f.buffers->optionTexts[1];
    f.sink =
        EveryInstallable([&](auto entry) { return DirectInstallable(f, entry, first, second); });
}

void BlocksFloorInstallables(FloorContext& f) {
    char* record = TakeRecord(sizeof(InstallablesRecord));
    f.sink = EveryInstallable([&](auto entry) { return BlocksInstallable(f, entry); });
    GiveRecord(record);
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
    auto* records =
        reinterpret_cast<TemplateRecord*>(TakeRecord(sizeof(TemplateRecord) * BIDI_MAX_TEMPLATES));
    LONG count = 0;
    Direct(f, vyxquery::JobTPlate_QueryTemplateNames, &count);
    LONG parsed = 0;
    for (LONG index = 0; index < count && index < BIDI_MAX_TEMPLATES; ++index) {
        LONG tag = 0, reserved = 0;
        {
            const Block name(64);
            Direct(f, vyxquery::JobTPlate_GetTemplateNames, &index, name.bytes, &tag);
        }
        records[index].items = reinterpret_cast<TemplateItem*>(TakeRecord(32768));
        const Block text(BENCH_ITEM_TEXT_BYTES);
        Direct(f, vyxquery::JobTPlate_GetTemplateItems, &records[index], text.bytes, &reserved);
        parsed += FloorParse(f, text.bytes);
    }
    for (LONG index = 0; index < count && index < BIDI_MAX_TEMPLATES; ++index) {
        GiveRecord(records[index].items);
    }
    GiveRecord(records);
    f.sink = parsed;
}

}  // namespace bench
