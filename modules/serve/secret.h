// A password, key or community held in memory: its bytes are wiped when it goes, it is never
// copied into a std::string, and nothing prints it. Portable (no Win32), so the codecs that
// derive keys from a secret build natively as well.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace vyxserve {

class Secret {
  public:
    Secret() = default;
    Secret(const void* bytes, std::size_t size)
        : bytes_(static_cast<const std::uint8_t*>(bytes),
                 static_cast<const std::uint8_t*>(bytes) + size) {}
    Secret(const Secret& other) = default;
    Secret(Secret&& other) noexcept : bytes_(std::move(other.bytes_)) { other.Wipe(); }
    Secret& operator=(Secret other) noexcept {
        Wipe();
        bytes_.swap(other.bytes_);
        return *this;
    }
    ~Secret() { Wipe(); }

    const std::uint8_t* data() const { return bytes_.data(); }
    std::size_t size() const { return bytes_.size(); }
    bool empty() const { return bytes_.empty(); }

  private:
    void Wipe() noexcept {
        volatile std::uint8_t* p = bytes_.data();
        for (std::size_t i = 0; i < bytes_.size(); ++i) {
            p[i] = 0;
        }
        bytes_.clear();
    }

    std::vector<std::uint8_t> bytes_;
};

}  // namespace vyxserve
