// The benchmark: each listed export with its release, timed beside the floor of its module calls.
#include <windows.h>
#include <vyxbidi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "allocation_meter.h"
#include "bench_query.h"
#include "floors.h"
#include "jobtemplate/item_parser.h"
#include "sampling.h"

namespace {

using namespace bench;

constexpr LONG kKeys = 64;
constexpr LONG kOptions = 64;
constexpr LONG kTemplates = 64;
constexpr LONG kFewTrays = 1000;
constexpr LONG kManyTrays = 100000;

struct Bench {
    BiDiHandle* handle = nullptr;
    PFN_BenchQuery_Configure configure = nullptr;
    BenchScenario scenario{kKeys, kOptions, kFewTrays, kTemplates, FALSE};
    const char* itemText = nullptr;
    std::wstring featureName;  // a full 255-character key, as the caller got it from the list
    FloorContext floor;
};

// Global memory that the library's contract allows one call: blocks taken, bytes handed to the
// caller, and a bound on the bytes held at once (handed out plus the largest scratch held at one
// time).
struct AllowedMemory {
    int blocks;
    std::size_t handedOut;
    std::size_t peakBound;
};

struct Row {
    std::string operation;
    std::function<bool()> acquire;  // the export; false when its answer is not the expected one
    std::function<void()> release;  // its release export
    std::function<void()> floor;
    std::function<void()> blocksFloor;  // empty where the operation takes no global memory
    double goal;                        // the ratio to the floor to stay within
    LONG trays;                         // trays per call, for the per-tray figures; 0 otherwise
    AllowedMemory allowed;
    std::function<void()> prepare = [] {};  // sets the module's scenario for the row
};

struct Result {
    const Row* row = nullptr;
    Spread library, floor, blocksFloor;
    Spread toFloor, toBlocksFloor;  // the library's time over each floor's, round by round
    int blocks = 0;
    std::size_t handedOut = 0;
    std::size_t peak = 0;
};

std::vector<Row> ColourRows(Bench& b) {
    static FeatureList* list = nullptr;
    static FeatureInfo* info = nullptr;
    const std::size_t pairs = static_cast<std::size_t>(kKeys) * sizeof(TextPair);
    FloorContext& f = b.floor;
    return {
        {"ClrBiDi_GetFeatureList, 64 keys",
         [&b] {
             return ClrBiDi_GetFeatureList(b.handle, &list) == BIDI_OK &&
                    list->featureCount == kKeys && lstrlenW(list->features[63]->second) == 255;
         },
         [&b] { ClrBiDi_DeleteFeatureList(b.handle, &list); },
         [&f] { FloorFeatureList(f); },
         [&f] { BlocksFloorFeatureList(f); },
         3.0,
         0,
         // the list, two wide blocks, and per key two answer blocks and its pair
         {1 + 2 + kKeys * 3, sizeof(FeatureList) + pairs, sizeof(FeatureList) + pairs + 1536}},
        {"ClrBiDi_GetFeatureInfo, 64 options",
         [&b] {
             return ClrBiDi_GetFeatureInfo(b.handle, b.featureName.c_str(), &info) == BIDI_OK &&
                    info->optionCount == kOptions && lstrlenW(info->options[63]->first) == 255 &&
                    lstrlenW(info->selectedOption.second) == 255;
         },
         [&b] { ClrBiDi_DeleteFeatureInfo(b.handle, &info); },
         [&f] { FloorFeatureInfo(f); },
         [&f] { BlocksFloorFeatureInfo(f); },
         3.0,
         0,
         // the record, four wide blocks, the name twice, two answer blocks per read, 64 pairs
         {1 + 4 + 1 + 2 + (kOptions + 1) * 2 + kOptions + 3, sizeof(FeatureInfo) + pairs,
          sizeof(FeatureInfo) + pairs + 4 * 512 + 2 * 256}},
    };
}

Row TrayRow(Bench& b, LONG trays, const char* label) {
    static TrayRecord* records = nullptr;
    static LONG count = 0;
    const std::size_t handed = static_cast<std::size_t>(trays) * sizeof(TrayRecord);
    FloorContext& f = b.floor;
    return {std::string("Attrib_GetPaperConsumables, ") + label + " trays",
            [&b, trays] {
                return Attrib_GetPaperConsumables(b.handle, &records, &count) == BIDI_OK &&
                       count == trays && records[trays - 1].value1 == trays &&
                       lstrlenW(records[trays - 1].text4) == 31;
            },
            [&b] { Attrib_FreePaperConsBuffers(b.handle, &records); },
            [&f] { FloorTrays(f); },
            [&f] { BlocksFloorTrays(f); },
            3.0,
            trays,
            {1 + 4 * static_cast<int>(trays), handed, handed + 4 * 32},
            [&b, trays] {
                b.scenario.trays = trays;
                b.configure(&b.scenario);
            }};
}

Row InstallablesRow(Bench& b) {
    static InstallablesRecord* record = nullptr;
    static DWORD presence = 0;
    FloorContext& f = b.floor;
    return {"Attrib_GetInstallableOptions",
            [&b] {
                return Attrib_GetInstallableOptions(b.handle, &record, &presence) == BIDI_OK &&
                       presence == 0x1FF && lstrlenW(record->mfpOption.text2) == 63;
            },
            [&b] { Attrib_FreeInstallablesBuffers(b.handle, &record); },
            [&f] { FloorInstallables(f); },
            [&f] { BlocksFloorInstallables(f); },
            3.0,
            0,
            {1 + 9 * 2, sizeof(InstallablesRecord), sizeof(InstallablesRecord) + 2 * 64}};
}

std::vector<Row> TemplateRows(Bench& b) {
    static TemplateList list{};
    static std::vector<TemplateItem> items(BIDI_MAX_TEMPLATE_ITEMS);
    const std::size_t blocks = static_cast<std::size_t>(kTemplates) * 32768;
    const std::size_t handed = sizeof(TemplateRecord) * BIDI_MAX_TEMPLATES + blocks;
    FloorContext& f = b.floor;
    return {
        {"Item parse, 32 KB text of 128 lines",
         [&b] {
             LONG count = 0;
             vyx::ParseTemplateItems(items.data(), b.itemText, BENCH_ITEM_TEXT_BYTES, &count);
             return count == BIDI_MAX_TEMPLATE_ITEMS && items[127].value[62] != L'\0';
         },
         [] {},
         [&b] { b.floor.sink = FloorParse(b.floor, b.itemText); },
         nullptr,
         2.5,
         0,
         {0, 0, 0}},
        {"JobTplate_GetAll, 64 templates x 128 items",
         [&b] {
             return JobTplate_GetAll(b.handle, &list) == BIDI_OK && list.count == kTemplates &&
                    list.templates[63].itemCount == BIDI_MAX_TEMPLATE_ITEMS &&
                    lstrlenW(list.templates[63].name) == 63;
         },
         [&b] { JobTplate_GetAll_Free(b.handle, &list); },
         [&f] { FloorAllTemplates(f); },
         [&f] { BlocksFloorAllTemplates(f); },
         3.0,
         0,
         // the array; per template a name block, the item block and the text block; and a
         // scratch block for each of its 256 keys and values
         {1 + kTemplates * (3 + 2 * BIDI_MAX_TEMPLATE_ITEMS), handed, handed + 32768 + 191 + 3}},
    };
}

// ---- Running --------------------------------------------------------------------------------

bool Measure(const Row& row, const Settings& settings, Result& result) {
    result.row = &row;
    row.prepare();
    if (row.blocksFloor) {
        AllocationMeter meter;
        meter.Reset();
        const bool answered = row.acquire();
        result.blocks = meter.Blocks();
        result.handedOut = meter.HeldBytes();
        result.peak = meter.PeakBytes();
        row.release();
        if (!answered || (meter.Active() && meter.HeldBytes() != 0)) {
            std::fprintf(stderr, "%s: unexpected answer, or memory kept after the release\n",
                         row.operation.c_str());
            return false;
        }
    } else if (!row.acquire()) {
        std::fprintf(stderr, "%s: unexpected answer\n", row.operation.c_str());
        return false;
    }
    std::fprintf(stderr, "timing %s\n", row.operation.c_str());
    std::vector<std::function<void()>> operations = {[&row] {
                                                         row.acquire();
                                                         row.release();
                                                     },
                                                     row.floor};
    if (row.blocksFloor) {
        operations.push_back(row.blocksFloor);
    }
    const RoundSamples samples = TimeAlternating(operations, settings);
    result.library = Summarise(samples[0]);
    result.floor = Summarise(samples[1]);
    result.toFloor = RatioByRound(samples[0], samples[1]);
    if (row.blocksFloor) {
        result.blocksFloor = Summarise(samples[2]);
        result.toBlocksFloor = RatioByRound(samples[0], samples[2]);
    }
    return true;
}

// ---- Reporting ------------------------------------------------------------------------------

std::string Microseconds(double seconds) {
    const double us = seconds * 1e6;
    char text[32];
    if (us >= 10000) {
        std::snprintf(text, sizeof text, "%.1f ms", us / 1000);
    } else if (us >= 100) {
        std::snprintf(text, sizeof text, "%.0f us", us);
    } else if (us >= 10) {
        std::snprintf(text, sizeof text, "%.1f us", us);
    } else {
        std::snprintf(text, sizeof text, "%.2f us", us);
    }
    return text;
}

// "412 us (2%)": the median, and half the interquartile range relative to it.
std::string Figure(const Spread& s) {
    if (s.median <= 0) {
        return "-";
    }
    char text[48];
    std::snprintf(text, sizeof text, "%s (%.0f%%)", Microseconds(s.median).c_str(),
                  50.0 * (s.upper - s.lower) / s.median);
    return text;
}

// "1.12 (3%)": the median ratio, and half its interquartile range relative to it.
std::string Ratio(const Spread& ratio) {
    if (ratio.median <= 0) {
        return "-";
    }
    char text[24];
    std::snprintf(text, sizeof text, "%.2f (%.0f%%)", ratio.median,
                  50.0 * (ratio.upper - ratio.lower) / ratio.median);
    return text;
}

const char* Verdict(bool met) {
    return met ? "met" : "not met";
}

// Every listing that takes global memory is to stay within this ratio of its floor + blocks: the
// blocks are the interface's, so what the library adds beyond them is its own work.
constexpr double kBlocksGoal = 1.3;

void PrintTimes(const std::vector<Result>& results) {
    std::printf("| %-43s | %-15s | %-15s | %-12s | %-11s | %-15s | %-12s | %-11s |\n",
                "Operation (with its release)", "Per call", "Floor", "Ratio", "Goal",
                "Floor + blocks", "Ratio to it", "Goal");
    std::printf(
        "|%s|%s|%s|%s|%s|%s|%s|%s|\n", std::string(45, '-').c_str(), std::string(17, '-').c_str(),
        std::string(17, '-').c_str(), std::string(14, '-').c_str(), std::string(13, '-').c_str(),
        std::string(17, '-').c_str(), std::string(14, '-').c_str(), std::string(13, '-').c_str());
    for (const Result& r : results) {
        const bool met = r.toFloor.median <= r.row->goal;
        char goal[24];
        std::snprintf(goal, sizeof goal, "%.1f %s", r.row->goal, Verdict(met));
        char blocksGoal[24] = "-";
        if (r.blocksFloor.median > 0) {
            std::snprintf(blocksGoal, sizeof blocksGoal, "%.1f %s", kBlocksGoal,
                          Verdict(r.toBlocksFloor.median <= kBlocksGoal));
        }
        std::printf("| %-43s | %-15s | %-15s | %12s | %-11s | %-15s | %12s | %-11s |\n",
                    r.row->operation.c_str(), Figure(r.library).c_str(), Figure(r.floor).c_str(),
                    Ratio(r.toFloor).c_str(), goal, Figure(r.blocksFloor).c_str(),
                    Ratio(r.toBlocksFloor).c_str(), blocksGoal);
    }
}

void PrintPerTray(const std::vector<Result>& results) {
    const Result* few = nullptr;
    const Result* many = nullptr;
    for (const Result& r : results) {
        if (r.row->trays == kFewTrays) {
            few = &r;
        } else if (r.row->trays == kManyTrays) {
            many = &r;
        }
    }
    if (!few || !many) {
        return;
    }
    const double perFew = few->library.median / kFewTrays;
    const double perMany = many->library.median / kManyTrays;
    std::printf(
        "\nPer tray: %s at 1 000 trays, %s at 100 000 (floor %s and %s); growth %.2f, goal 1.3: "
        "%s\n",
        Microseconds(perFew).c_str(), Microseconds(perMany).c_str(),
        Microseconds(few->floor.median / kFewTrays).c_str(),
        Microseconds(many->floor.median / kManyTrays).c_str(), perMany / perFew,
        Verdict(perMany / perFew <= 1.3));
}

void PrintMemory(const std::vector<Result>& results) {
    std::printf("\n| %-43s | %-17s | %-21s | %-21s | %-7s |\n", "Global memory per call",
                "Blocks (allowed)", "Handed out (allowed)", "Peak held (bound)", "Goal");
    std::printf("|%s|%s|%s|%s|%s|\n", std::string(45, '-').c_str(), std::string(19, '-').c_str(),
                std::string(23, '-').c_str(), std::string(23, '-').c_str(),
                std::string(9, '-').c_str());
    for (const Result& r : results) {
        if (!r.row->blocksFloor) {
            continue;
        }
        const AllowedMemory& p = r.row->allowed;
        const bool met =
            r.blocks <= p.blocks && r.handedOut == p.handedOut && r.peak <= p.peakBound;
        char blocks[32], handed[32], peak[32];
        std::snprintf(blocks, sizeof blocks, "%d (%d)", r.blocks, p.blocks);
        std::snprintf(handed, sizeof handed, "%u (%u)", static_cast<unsigned>(r.handedOut),
                      static_cast<unsigned>(p.handedOut));
        std::snprintf(peak, sizeof peak, "%u (%u)", static_cast<unsigned>(r.peak),
                      static_cast<unsigned>(p.peakBound));
        std::printf("| %-43s | %-17s | %-21s | %-21s | %-7s |\n", r.row->operation.c_str(), blocks,
                    handed, peak, Verdict(met));
    }
}

// ---- Setting up ----------------------------------------------------------------------------

std::wstring ExecutablePath() {
    WCHAR path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, length);
}

bool DoubleByteCodePage() {
    CPINFO info;
    return GetCPInfo(CP_ACP, &info) && info.MaxCharSize > 1;
}

bool Open(Bench& b) {
    // The library derives its query module from the caller's path: the last three characters
    // become "SNM", which names the bench module beside this program.
    const std::wstring path = ExecutablePath();
    const std::wstring modulePath = path.substr(0, path.size() - 3) + L"SNM";
    const HMODULE module = LoadLibraryW(modulePath.c_str());
    if (!module) {
        std::fprintf(stderr, "cannot load the bench query module\n");
        return false;
    }
    b.floor.module = module;
    b.configure = reinterpret_cast<PFN_BenchQuery_Configure>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, "BenchQuery_Configure")));
    const auto itemText = reinterpret_cast<PFN_BenchQuery_ItemText>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, "BenchQuery_ItemText")));
    b.scenario.doubleByteItems = DoubleByteCodePage();
    b.configure(&b.scenario);
    b.itemText = itemText();
    if (VyxBiDi_Initialize(&b.handle, path.c_str()) != BIDI_OK || b.handle->module != module) {
        std::fprintf(stderr, "the library did not load the bench query module\n");
        return false;
    }
    VyxBiDi_Connect(b.handle, L"Drucker im Flur", L"LPT1:");
    ClrBiDi_OpenSession(b.handle, L"a", L"b", L"c", L"d", L"e", L"f");
    Attrib_OpenSession(b.handle, L"A4", L"A3");

    FeatureList* list = nullptr;
    if (ClrBiDi_GetFeatureList(b.handle, &list) != BIDI_OK || list->featureCount == 0) {
        return false;
    }
    b.featureName = list->features[0]->first;
    ClrBiDi_DeleteFeatureList(b.handle, &list);
    char name[256] = {};
    WideCharToMultiByte(CP_ACP, 0, b.featureName.c_str(), -1, name, sizeof name, nullptr, nullptr);
    b.floor.featureName = name;
    b.floor.buffers = new FloorBuffers();
    return true;
}

void Close(Bench& b) {
    Attrib_CloseSession(b.handle);
    ClrBiDi_CloseSession(b.handle);
    VyxBiDi_Disconnect(b.handle);
    VyxBiDi_Terminate(b.handle);
    FreeLibrary(b.floor.module);
    delete b.floor.buffers;
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    bool templatesOnly = false;
    std::string only;  // rows whose name holds this text; all when empty
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--templates") == 0) {
            templatesOnly = true;
        } else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) {
            only = argv[++i];
        } else if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
            settings.rounds = std::max(3, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--batch-ms") == 0 && i + 1 < argc) {
            settings.batchSeconds = std::max(1, std::atoi(argv[++i])) / 1000.0;
        } else {
            std::fprintf(
                stderr,
                "usage: vyxbench [--templates] [--only TEXT] [--rounds N] [--batch-ms N]\n");
            return 2;
        }
    }
    Bench b;
    if (!Open(b)) {
        return 1;
    }
    std::vector<Row> rows;
    if (!templatesOnly) {
        rows = ColourRows(b);
        rows.push_back(TrayRow(b, kFewTrays, "1 000"));
        rows.push_back(TrayRow(b, kManyTrays, "100 000"));
        rows.push_back(InstallablesRow(b));
    }
    for (Row& row : TemplateRows(b)) {
        rows.push_back(std::move(row));
    }
    rows.erase(std::remove_if(
                   rows.begin(), rows.end(),
                   [&](const Row& row) { return row.operation.find(only) == std::string::npos; }),
               rows.end());
    std::vector<Result> results(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (!Measure(rows[i], settings, results[i])) {
            return 1;
        }
    }
    std::printf(
        "\nCode page %u, item text %s. %d rounds, each a batch of at least %.0f ms. "
        "Per call: median (half the interquartile range).\n"
        "Ratios: the median over the rounds of the call's time against the floor's timed next "
        "to it (half the interquartile range).\n"
        "Floor: the same query-module calls, each looked up by name, into reused "
        "buffers (for items: one whole-text conversion and a line-feed scan).\n"
        "Floor + blocks: the floor with every buffer and record the contract names taken "
        "and released as global memory.\n\n",
        GetACP(), b.scenario.doubleByteItems ? "mostly double-byte" : "single-byte",
        settings.rounds, settings.batchSeconds * 1000);
    PrintTimes(results);
    PrintPerTray(results);
    PrintMemory(results);
    Close(b);
    return 0;
}
