// splitmix64: small, and the same sequence on every platform, so a seed means the same run
// in the hostile module and in the test that drives it.
#pragma once

#include <windows.h>

namespace vyxtest {

class Random {
  public:
    explicit Random(unsigned long long seed = 1) : state_(seed) {}
    void Seed(DWORD seed) { state_ = 0x9E3779B97F4A7C15ull ^ seed; }
    DWORD Next() {
        unsigned long long z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return static_cast<DWORD>((z ^ (z >> 31)) >> 16);
    }
    DWORD Below(DWORD n) { return n ? Next() % n : 0; }
    LONG Between(LONG low, LONG high) { return low + static_cast<LONG>(Below(high - low + 1)); }
    bool Percent(DWORD p) { return Below(100) < p; }

  private:
    unsigned long long state_;
};

}  // namespace vyxtest
