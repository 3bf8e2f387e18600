// The codec's cryptography over Windows CNG (bcrypt.dll): hashes and HMACs, AES one block at a
// time (the codec builds 128-bit CFB on it), DES-CBC, and the system's random numbers. Each
// algorithm provider opens on first use and closes with the object.
#pragma once

#include <windows.h>
#include <bcrypt.h>

#include <memory>

#include "crypto.h"

namespace vyxsnmp {

class CngCrypto : public Crypto {
  public:
    CngCrypto();
    ~CngCrypto() override;
    CngCrypto(const CngCrypto&) = delete;
    CngCrypto& operator=(const CngCrypto&) = delete;

    std::unique_ptr<Hash> StartHash(HashKind kind) override;
    bool Hmac(HashKind kind, ByteView key, ByteView data, std::uint8_t* mac) override;
    bool AesEncryptBlocks(ByteView key, ByteView in, std::uint8_t* out) override;
    bool DesCbc(bool encrypt, ByteView key, ByteView iv, ByteView in, std::uint8_t* out) override;
    bool Random(std::uint8_t* out, std::size_t size) override;

    // True when DES came from the system's own DES provider, false when from three-key DES with
    // the key thrice (which is DES); for the tests' record of what the system offers.
    bool NativeDes();

  private:
    struct Providers;
    std::unique_ptr<Providers> providers_;
};

}  // namespace vyxsnmp
