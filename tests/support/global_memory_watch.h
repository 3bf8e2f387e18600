// Watches the library's global memory: which blocks it holds, and a chosen allocation failing.
#pragma once

#include <windows.h>

#include <cstddef>
#include <map>

namespace vyxtest {

// While alive, VYXBIDI.dll's imports of GlobalAlloc and GlobalFree are routed through this
// object: every block the library takes or gives back is recorded, and the allocation chosen
// with FailAllocation() fails as it would when memory runs out. One watch at a time.
class GlobalMemoryWatch {
public:
    GlobalMemoryWatch();
    ~GlobalMemoryWatch();
    GlobalMemoryWatch(const GlobalMemoryWatch&) = delete;
    GlobalMemoryWatch& operator=(const GlobalMemoryWatch&) = delete;

    // Makes the n-th allocation from now on (1-based) fail; 0 fails none.
    void FailAllocation(int n);

    // Allocations attempted since the watch began (failed ones included).
    int Allocations() const { return allocations_; }
    // Blocks the library took while watched and has not given back, by handle, with sizes.
    const std::map<HGLOBAL, SIZE_T>& LiveBlocks() const { return live_; }
    // Whether `locked` (a pointer the library handed out) lies in a block it still holds.
    bool IsLive(const void* locked) const;

private:
    static HGLOBAL WINAPI HookedAlloc(UINT flags, SIZE_T bytes);
    static HGLOBAL WINAPI HookedFree(HGLOBAL block);

    void** allocSlot_ = nullptr;
    void** freeSlot_ = nullptr;
    void* originalAlloc_ = nullptr;
    void* originalFree_ = nullptr;
    int allocations_ = 0;
    int failAt_ = 0;
    std::map<HGLOBAL, SIZE_T> live_;
};

}  // namespace vyxtest
