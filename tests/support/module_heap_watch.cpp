// Import-table patching of a query module's C runtime allocations.
#include "module_heap_watch.h"

#include <cstdint>
#include <cstdlib>
#include <stdexcept>

#include "import_patch.h"

namespace vyxtest {
namespace {

ModuleHeapWatch* g_watch = nullptr;

}  // namespace

ModuleHeapWatch::ModuleHeapWatch(HMODULE module) {
    if (g_watch) {
        throw std::logic_error("one ModuleHeapWatch at a time");
    }
    if (!module) {
        throw std::runtime_error("the module to watch is not loaded");
    }
    const struct {
        const char* name;
        void* replacement;
    } functions[kHooks] = {
        {"malloc", reinterpret_cast<void*>(&HookedMalloc)},
        {"calloc", reinterpret_cast<void*>(&HookedCalloc)},
        {"realloc", reinterpret_cast<void*>(&HookedRealloc)},
        {"_strdup", reinterpret_cast<void*>(&HookedStrdup)},
        {"free", reinterpret_cast<void*>(&HookedFree)},
    };
    // The lock's first use takes a block of its own: let that happen before anything is counted.
    { std::lock_guard<std::mutex> hold(lock_); }
    g_watch = this;
    for (std::size_t i = 0; i < kHooks; ++i) {
        // A function the module does not import is one it cannot allocate with.
        if (void** slot = vyximport::ImportSlot(module, "msvcrt.dll", functions[i].name)) {
            hooks_[i] = {slot, vyximport::SwapSlot(slot, functions[i].replacement)};
        }
    }
}

ModuleHeapWatch::~ModuleHeapWatch() {
    for (const Hook& hook : hooks_) {
        if (hook.slot) {
            vyximport::SwapSlot(hook.slot, hook.original);
        }
    }
    g_watch = nullptr;
}

long ModuleHeapWatch::Growth() const {
    std::lock_guard<std::mutex> hold(lock_);
    return static_cast<long>(taken_.size()) - earlierGivenBack_;
}

void ModuleHeapWatch::Taken(std::uintptr_t block) {
    if (block) {
        std::lock_guard<std::mutex> hold(lock_);
        taken_.insert(block);
    }
}

void ModuleHeapWatch::GivenBack(std::uintptr_t block) {
    if (block) {
        std::lock_guard<std::mutex> hold(lock_);
        if (taken_.erase(block) == 0) {
            ++earlierGivenBack_;
        }
    }
}

// The module and this program share msvcrt, so the hooks call the same functions it would.
void* __cdecl ModuleHeapWatch::HookedMalloc(size_t bytes) {
    void* block = std::malloc(bytes);
    g_watch->Taken(reinterpret_cast<std::uintptr_t>(block));
    return block;
}

void* __cdecl ModuleHeapWatch::HookedCalloc(size_t count, size_t bytes) {
    void* block = std::calloc(count, bytes);
    g_watch->Taken(reinterpret_cast<std::uintptr_t>(block));
    return block;
}

void* __cdecl ModuleHeapWatch::HookedRealloc(void* block, size_t bytes) {
    // Given back before the call, and taken again if it fails: the old block may be gone after.
    const auto was = reinterpret_cast<std::uintptr_t>(block);
    g_watch->GivenBack(was);
    void* moved = std::realloc(block, bytes);
    g_watch->Taken(moved || bytes == 0 ? reinterpret_cast<std::uintptr_t>(moved) : was);
    return moved;
}

char* __cdecl ModuleHeapWatch::HookedStrdup(const char* text) {
    char* copy = _strdup(text);
    g_watch->Taken(reinterpret_cast<std::uintptr_t>(copy));
    return copy;
}

void __cdecl ModuleHeapWatch::HookedFree(void* block) {
    g_watch->GivenBack(reinterpret_cast<std::uintptr_t>(block));
    std::free(block);
}

}  // namespace vyxtest
