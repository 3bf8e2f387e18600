// SHA-224 for the systems whose cryptography lacks it (Windows CNG and wine offer SHA-256 but
// not its truncated sibling, which the HMAC-SHA-224 authentication protocol needs).
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto.h"

namespace vyxsnmp {

class Sha224 : public Crypto::Hash {
  public:
    Sha224();
    ~Sha224() override;
    bool Update(ByteView data) override;
    bool Finish(std::uint8_t* digest) override;  // 28 bytes

  private:
    void Block(const std::uint8_t* block);

    std::uint32_t state_[8];
    std::uint8_t pending_[64];
    std::size_t pendingSize_ = 0;
    std::uint64_t total_ = 0;  // bytes hashed
};

// HMAC-SHA-224 (28 bytes) over Sha224.
void HmacSha224(ByteView key, ByteView data, std::uint8_t* mac);

}  // namespace vyxsnmp
