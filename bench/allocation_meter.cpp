// Import-table patching of VYXBIDI.dll, so the benchmark sees the global memory each call takes.
#include "allocation_meter.h"

#include <cstring>

namespace bench {
namespace {

AllocationMeter* g_meter = nullptr;

// The import-address-table slot through which `module` calls `function` of KERNEL32, or null.
void** ImportSlot(HMODULE module, const char* function) {
    auto* base = reinterpret_cast<BYTE*>(module);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS32*>(
        base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name;
         ++d) {
        if (lstrcmpiA(reinterpret_cast<char*>(base + d->Name), "KERNEL32.dll") != 0) {
            continue;
        }
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA32*>(base + d->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA32*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL32(names->u1.Ordinal)) {
                continue;
            }
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<char*>(byName->Name), function) == 0) {
                return reinterpret_cast<void**>(&slots->u1.Function);
            }
        }
    }
    return nullptr;
}

void* Swap(void** slot, void* replacement) {
    DWORD protection = 0;
    VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &protection);
    void* previous = *slot;
    *slot = replacement;
    VirtualProtect(slot, sizeof(void*), protection, &protection);
    return previous;
}

}  // namespace

AllocationMeter::AllocationMeter() {
    const HMODULE library = GetModuleHandleW(L"VYXBIDI.dll");
    if (!library || g_meter) {
        return;
    }
    allocSlot_ = ImportSlot(library, "GlobalAlloc");
    freeSlot_ = ImportSlot(library, "GlobalFree");
    if (!Active()) {
        return;
    }
    g_meter = this;
    originalAlloc_ = Swap(allocSlot_, reinterpret_cast<void*>(&CountedAlloc));
    originalFree_ = Swap(freeSlot_, reinterpret_cast<void*>(&CountedFree));
}

AllocationMeter::~AllocationMeter() {
    if (g_meter == this) {
        Swap(allocSlot_, originalAlloc_);
        Swap(freeSlot_, originalFree_);
        g_meter = nullptr;
    }
}

void AllocationMeter::Reset() {
    blocks_ = 0;
    held_ = 0;
    peak_ = 0;
    live_.clear();
}

HGLOBAL WINAPI AllocationMeter::CountedAlloc(UINT flags, SIZE_T bytes) {
    AllocationMeter& meter = *g_meter;
    const HGLOBAL block =
        reinterpret_cast<decltype(&GlobalAlloc)>(meter.originalAlloc_)(flags, bytes);
    ++meter.blocks_;
    if (block) {
        meter.live_[block] = bytes;
        meter.held_ += bytes;
        if (meter.held_ > meter.peak_) {
            meter.peak_ = meter.held_;
        }
    }
    return block;
}

HGLOBAL WINAPI AllocationMeter::CountedFree(HGLOBAL block) {
    AllocationMeter& meter = *g_meter;
    const auto found = meter.live_.find(block);
    if (found != meter.live_.end()) {
        meter.held_ -= found->second;
        meter.live_.erase(found);
    }
    return reinterpret_cast<decltype(&GlobalFree)>(meter.originalFree_)(block);
}

}  // namespace bench
