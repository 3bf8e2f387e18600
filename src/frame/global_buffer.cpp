// GlobalAlloc blocks as the library hands them out: zero-filled, moveable, locked once.
#include "global_buffer.h"

namespace vyx {

void* AllocateGlobal(std::size_t bytes, HGLOBAL* handle) noexcept {
    HGLOBAL block = GlobalAlloc(GHND, bytes);
    if (!block) {
        return nullptr;
    }
    void* locked = GlobalLock(block);
    if (!locked) {
        GlobalFree(block);
    } else if (handle) {
        *handle = block;
    }
    return locked;
}

void ReleaseGlobal(const void* locked) noexcept {
    if (!locked) {
        return;
    }
    HGLOBAL block = GlobalHandle(locked);
    GlobalUnlock(block);
    GlobalFree(block);
}

}  // namespace vyx
