// Import-table patching of VYXBIDI.dll, so tests see and steer its use of global memory.
#include "global_memory_watch.h"

#include "import_patch.h"

#include <string>
#include <stdexcept>

namespace vyxtest {
namespace {

GlobalMemoryWatch* g_watch = nullptr;

// The slot through which VYXBIDI.dll calls `function` of KERNEL32.
void** LibraryImportSlot(HMODULE library, const char* function) {
    void** slot = vyximport::ImportSlot(library, "KERNEL32.dll", function);
    if (!slot) {
        throw std::runtime_error(std::string("VYXBIDI.dll does not import ") + function);
    }
    return slot;
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
    allocSlot_ = LibraryImportSlot(library, "GlobalAlloc");
    freeSlot_ = LibraryImportSlot(library, "GlobalFree");
    g_watch = this;
    originalAlloc_ = vyximport::SwapSlot(allocSlot_, reinterpret_cast<void*>(&HookedAlloc));
    originalFree_ = vyximport::SwapSlot(freeSlot_, reinterpret_cast<void*>(&HookedFree));
}

GlobalMemoryWatch::~GlobalMemoryWatch() {
    vyximport::SwapSlot(allocSlot_, originalAlloc_);
    vyximport::SwapSlot(freeSlot_, originalFree_);
    g_watch = nullptr;
}

void GlobalMemoryWatch::FailAllocation(int n) {
    failAt_ = n == 0 ? 0 : allocations_ + n;
}

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
