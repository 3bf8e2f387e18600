// The cryptography SNMPv3 needs, behind an interface: the module implements it over Windows CNG,
// the native tests over OpenSSL, so that the codec itself stays portable and is checked against
// the same vectors on both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "ber.h"

namespace vyxsnmp {

enum class HashKind { kMd5, kSha1, kSha224, kSha256, kSha384, kSha512 };

// Bytes of a digest of `kind`.
std::size_t DigestSize(HashKind kind);

class Crypto {
  public:
    // A digest computed over data given in pieces.
    class Hash {
      public:
        virtual ~Hash() = default;
        virtual bool Update(ByteView data) = 0;
        // Writes DigestSize(kind) bytes.
        virtual bool Finish(std::uint8_t* digest) = 0;
    };

    virtual ~Crypto() = default;
    // Null when the algorithm is not available.
    virtual std::unique_ptr<Hash> StartHash(HashKind kind) = 0;
    // Writes DigestSize(kind) bytes: the whole HMAC, untruncated.
    virtual bool Hmac(HashKind kind, ByteView key, ByteView data, std::uint8_t* mac) = 0;
    // AES (key of 16, 24 or 32 bytes) of whole 16-byte blocks, each on its own (ECB); `out`
    // holds in.size bytes.
    virtual bool AesEncryptBlocks(ByteView key, ByteView in, std::uint8_t* out) = 0;
    // DES-CBC of whole 8-byte blocks with an 8-byte key and IV; `out` holds in.size bytes.
    virtual bool DesCbc(bool encrypt, ByteView key, ByteView iv, ByteView in,
                        std::uint8_t* out) = 0;
    // Unpredictable bytes, for salts.
    virtual bool Random(std::uint8_t* out, std::size_t size) = 0;
};

}  // namespace vyxsnmp
