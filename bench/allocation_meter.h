// Counts the library's global memory while it is watched: blocks taken, peak and held bytes.
#pragma once

#include <windows.h>

#include <cstddef>
#include <map>

namespace bench {

// While alive, VYXBIDI.dll's imports of GlobalAlloc and GlobalFree pass through this meter.
// One meter at a time; timing runs without one.
class AllocationMeter {
  public:
    AllocationMeter();
    ~AllocationMeter();
    AllocationMeter(const AllocationMeter&) = delete;
    AllocationMeter& operator=(const AllocationMeter&) = delete;

    // False when the library's imports could not be found (nothing is then counted).
    bool Active() const { return allocSlot_ && freeSlot_; }

    // Counting starts anew: blocks held from before are forgotten.
    void Reset();

    int Blocks() const { return blocks_; }
    std::size_t HeldBytes() const { return held_; }
    std::size_t PeakBytes() const { return peak_; }

  private:
    static HGLOBAL WINAPI CountedAlloc(UINT flags, SIZE_T bytes);
    static HGLOBAL WINAPI CountedFree(HGLOBAL block);

    void** allocSlot_ = nullptr;
    void** freeSlot_ = nullptr;
    void* originalAlloc_ = nullptr;
    void* originalFree_ = nullptr;
    int blocks_ = 0;
    std::size_t held_ = 0;
    std::size_t peak_ = 0;
    std::map<HGLOBAL, std::size_t> live_;
};

}  // namespace bench
