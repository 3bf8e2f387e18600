// SHA-224: the SHA-256 compression function from SHA-224's initial values, cut to 28 bytes.
#include "sha224.h"

#include <algorithm>
#include <cstring>

namespace vyxsnmp {
namespace {

constexpr std::uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr std::uint32_t kInitial[8] = {0xc1059ed8, 0x367cd507, 0x3070dd17, 0xf70e5939,
                                       0xffc00b31, 0x68581511, 0x64f98fa7, 0xbefa4fa4};

std::uint32_t Rotate(std::uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

}  // namespace

Sha224::Sha224() {
    std::memcpy(state_, kInitial, sizeof state_);
}

Sha224::~Sha224() {
    volatile std::uint8_t* p = pending_;
    for (std::size_t i = 0; i < sizeof pending_; ++i) {
        p[i] = 0;
    }
}

void Sha224::Block(const std::uint8_t* block) {
    std::uint32_t w[64];
    for (int i = 0; i < 16; ++i) {
        w[i] = static_cast<std::uint32_t>(block[4 * i]) << 24 |
               static_cast<std::uint32_t>(block[4 * i + 1]) << 16 |
               static_cast<std::uint32_t>(block[4 * i + 2]) << 8 | block[4 * i + 3];
    }
    for (int i = 16; i < 64; ++i) {
        const std::uint32_t s0 = Rotate(w[i - 15], 7) ^ Rotate(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const std::uint32_t s1 = Rotate(w[i - 2], 17) ^ Rotate(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    std::uint32_t v[8];
    std::memcpy(v, state_, sizeof v);
    for (int i = 0; i < 64; ++i) {
        const std::uint32_t s1 = Rotate(v[4], 6) ^ Rotate(v[4], 11) ^ Rotate(v[4], 25);
        const std::uint32_t choice = (v[4] & v[5]) ^ (~v[4] & v[6]);
        const std::uint32_t t1 = v[7] + s1 + choice + kRound[i] + w[i];
        const std::uint32_t s0 = Rotate(v[0], 2) ^ Rotate(v[0], 13) ^ Rotate(v[0], 22);
        const std::uint32_t majority = (v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]);
        std::memmove(v + 1, v, 7 * sizeof v[0]);
        v[4] += t1;
        v[0] = t1 + s0 + majority;
    }
    for (int i = 0; i < 8; ++i) {
        state_[i] += v[i];
    }
}

bool Sha224::Update(ByteView data) {
    total_ += data.size;
    std::size_t offset = 0;
    while (offset < data.size) {
        const std::size_t take = std::min<std::size_t>(64 - pendingSize_, data.size - offset);
        std::memcpy(pending_ + pendingSize_, data.data + offset, take);
        pendingSize_ += take;
        offset += take;
        if (pendingSize_ == 64) {
            Block(pending_);
            pendingSize_ = 0;
        }
    }
    return true;
}

bool Sha224::Finish(std::uint8_t* digest) {
    const std::uint64_t bits = total_ * 8;
    std::uint8_t tail[72] = {0x80};
    const std::size_t padding = (pendingSize_ < 56 ? 56 : 120) - pendingSize_;
    for (int i = 0; i < 8; ++i) {
        tail[padding + i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
    }
    Update(ByteView{tail, padding + 8});
    for (int i = 0; i < 7; ++i) {
        for (int j = 0; j < 4; ++j) {
            digest[4 * i + j] = static_cast<std::uint8_t>(state_[i] >> (24 - 8 * j));
        }
    }
    return true;
}

void HmacSha224(ByteView key, ByteView data, std::uint8_t* mac) {
    constexpr std::size_t kBlock = 64;
    std::uint8_t padded[kBlock] = {0};
    if (key.size > kBlock) {
        Sha224 shortened;
        shortened.Update(key);
        shortened.Finish(padded);
    } else {
        std::memcpy(padded, key.data, key.size);
    }
    std::uint8_t pad[kBlock];
    std::uint8_t inner[28];
    for (std::size_t i = 0; i < kBlock; ++i) {
        pad[i] = static_cast<std::uint8_t>(padded[i] ^ 0x36);
    }
    Sha224 first;
    first.Update(ByteView{pad, kBlock});
    first.Update(data);
    first.Finish(inner);
    for (std::size_t i = 0; i < kBlock; ++i) {
        pad[i] = static_cast<std::uint8_t>(padded[i] ^ 0x5c);
    }
    Sha224 second;
    second.Update(ByteView{pad, kBlock});
    second.Update(ByteView{inner, sizeof inner});
    second.Finish(mac);
    volatile std::uint8_t* wipe[] = {padded, pad};
    for (volatile std::uint8_t* p : wipe) {
        for (std::size_t i = 0; i < kBlock; ++i) {
            p[i] = 0;
        }
    }
}

}  // namespace vyxsnmp
