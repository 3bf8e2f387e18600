// Import-table patching of VYXBIDI.dll, so the benchmark sees the global memory each call takes.
#include "allocation_meter.h"

#include "import_patch.h"

namespace bench {
namespace {

AllocationMeter* g_meter = nullptr;

}  // namespace

AllocationMeter::AllocationMeter() {
    const HMODULE library = GetModuleHandleW(L"VYXBIDI.dll");
    if (!library || g_meter) {
        return;
    }
    allocSlot_ = vyximport::ImportSlot(library, "KERNEL32.dll", "GlobalAlloc");
    freeSlot_ = vyximport::ImportSlot(library, "KERNEL32.dll", "GlobalFree");
    if (!Active()) {
        return;
    }
    g_meter = this;
    originalAlloc_ = vyximport::SwapSlot(allocSlot_, reinterpret_cast<void*>(&CountedAlloc));
    originalFree_ = vyximport::SwapSlot(freeSlot_, reinterpret_cast<void*>(&CountedFree));
}

AllocationMeter::~AllocationMeter() {
    if (g_meter == this) {
        vyximport::SwapSlot(allocSlot_, originalAlloc_);
        vyximport::SwapSlot(freeSlot_, originalFree_);
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
