// The process heap as a leak and corruption detector: busy blocks counted with HeapWalk.
#pragma once

#include <windows.h>

#include <cstddef>

namespace vyxtest {

struct HeapUse {
    std::size_t blocks = 0;
    std::size_t bytes = 0;
};

// Busy blocks and their bytes on GetProcessHeap(), where wine's GlobalAlloc takes its blocks.
inline HeapUse ProcessHeapUse() {
    const HANDLE heap = GetProcessHeap();
    HeapUse use;
    HeapLock(heap);
    PROCESS_HEAP_ENTRY entry = {};
    while (HeapWalk(heap, &entry)) {
        if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) {
            ++use.blocks;
            use.bytes += entry.cbData;
        }
    }
    HeapUnlock(heap);
    return use;
}

inline bool ProcessHeapValid() {
    return HeapValidate(GetProcessHeap(), 0, nullptr) != FALSE;
}

}  // namespace vyxtest
