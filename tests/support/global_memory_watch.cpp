// Import-table patching of VYXBIDI.dll, so tests see and steer its use of global memory.
#include "global_memory_watch.h"

#include <cstring>
#include <stdexcept>

namespace vyxtest {
namespace {

GlobalMemoryWatch* g_watch = nullptr;

// The import-address-table slot through which `module` calls `function` of `library`.
void** ImportSlot(HMODULE module, const char* library, const char* function) {
    auto* base = reinterpret_cast<BYTE*>(module);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS32*>(
        base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name;
         ++d) {
        if (lstrcmpiA(reinterpret_cast<char*>(base + d->Name), library) != 0) {
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
    throw std::runtime_error(std::string("VYXBIDI.dll does not import ") + function);
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

GlobalMemoryWatch::GlobalMemoryWatch() {
    if (g_watch) {
        throw std::logic_error("one GlobalMemoryWatch at a time");
    }
    const HMODULE library = GetModuleHandleW(L"VYXBIDI.dll");
    if (!library) {
        throw std::runtime_error("VYXBIDI.dll is not loaded");
    }
    allocSlot_ = ImportSlot(library, "KERNEL32.dll", "GlobalAlloc");
    freeSlot_ = ImportSlot(library, "KERNEL32.dll", "GlobalFree");
    g_watch = this;
    originalAlloc_ = Swap(allocSlot_, reinterpret_cast<void*>(&HookedAlloc));
    originalFree_ = Swap(freeSlot_, reinterpret_cast<void*>(&HookedFree));
}

GlobalMemoryWatch::~GlobalMemoryWatch() {
    Swap(allocSlot_, originalAlloc_);
    Swap(freeSlot_, originalFree_);
    g_watch = nullptr;
}

void GlobalMemoryWatch::FailAllocation(int n) { failAt_ = n == 0 ? 0 : allocations_ + n; }

bool GlobalMemoryWatch::IsLive(const void* locked) const {
    return live_.count(GlobalHandle(locked)) != 0;
}

HGLOBAL WINAPI GlobalMemoryWatch::HookedAlloc(UINT flags, SIZE_T bytes) {
    GlobalMemoryWatch& watch = *g_watch;
    if (++watch.allocations_ == watch.failAt_) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    const HGLOBAL block =
        reinterpret_cast<decltype(&GlobalAlloc)>(watch.originalAlloc_)(flags, bytes);
    if (block) {
        watch.live_[block] = bytes;
    }
    return block;
}

HGLOBAL WINAPI GlobalMemoryWatch::HookedFree(HGLOBAL block) {
    GlobalMemoryWatch& watch = *g_watch;
    watch.live_.erase(block);
    return reinterpret_cast<decltype(&GlobalFree)>(watch.originalFree_)(block);
}

}  // namespace vyxtest
