// Counts the C runtime blocks a loaded module (a query module) holds, exactly, through its
// imports: blind to whatever wine, Winsock or WinHTTP allocate on their own behalf.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <set>

namespace vyxtest {

// While alive, `module`'s imports of msvcrt's malloc, calloc, realloc, _strdup and free are
// routed through this object. One watch at a time; the hooks are safe from any thread.
class ModuleHeapWatch {
public:
    explicit ModuleHeapWatch(HMODULE module);
    ~ModuleHeapWatch();
    ModuleHeapWatch(const ModuleHeapWatch&) = delete;
    ModuleHeapWatch& operator=(const ModuleHeapWatch&) = delete;

    // Blocks taken while watched and still held, less blocks from before the watch given back:
    // what the module holds now beyond what it held when the watch began.
    long Growth() const;

private:
    static void* __cdecl HookedMalloc(size_t bytes);
    static void* __cdecl HookedCalloc(size_t count, size_t bytes);
    static void* __cdecl HookedRealloc(void* block, size_t bytes);
    static char* __cdecl HookedStrdup(const char* text);
    static void __cdecl HookedFree(void* block);

    // Blocks by address only: they are never read.
    void Taken(std::uintptr_t block);
    void GivenBack(std::uintptr_t block);

    struct Hook {
        void** slot;
        void* original;
    };
    static constexpr std::size_t kHooks = 5;
    Hook hooks_[kHooks] = {};
    mutable std::mutex lock_;
    std::set<std::uintptr_t> taken_;
    long earlierGivenBack_ = 0;
};

}  // namespace vyxtest
