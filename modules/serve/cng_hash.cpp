// SHA-256 through CNG: one algorithm provider and one hash object for each digest, both closed
// by their owners on every path.
#include "cng_hash.h"

#include <windows.h>
#include <bcrypt.h>

namespace vyxserve {
namespace {

class Provider {
  public:
    explicit Provider(const wchar_t* algorithm) {
        if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle_, algorithm, nullptr, 0))) {
            handle_ = nullptr;
        }
    }
    ~Provider() {
        if (handle_) {
            BCryptCloseAlgorithmProvider(handle_, 0);
        }
    }
    Provider(const Provider&) = delete;
    Provider& operator=(const Provider&) = delete;
    BCRYPT_ALG_HANDLE get() const { return handle_; }

  private:
    BCRYPT_ALG_HANDLE handle_ = nullptr;
};

class Hash {
  public:
    explicit Hash(const Provider& provider) {
        if (!provider.get() || !BCRYPT_SUCCESS(BCryptCreateHash(provider.get(), &handle_, nullptr,
                                                                0, nullptr, 0, 0))) {
            handle_ = nullptr;
        }
    }
    ~Hash() {
        if (handle_) {
            BCryptDestroyHash(handle_);
        }
    }
    Hash(const Hash&) = delete;
    Hash& operator=(const Hash&) = delete;
    BCRYPT_HASH_HANDLE get() const { return handle_; }

  private:
    BCRYPT_HASH_HANDLE handle_ = nullptr;
};

}  // namespace

std::vector<std::uint8_t> Sha256(const void* data, std::size_t size) {
    const Provider provider(BCRYPT_SHA256_ALGORITHM);
    const Hash hash(provider);
    std::vector<std::uint8_t> digest(32);
    if (!hash.get() || size > 0xFFFFFFFFu ||
        !BCRYPT_SUCCESS(BCryptHashData(hash.get(), static_cast<PUCHAR>(const_cast<void*>(data)),
                                       static_cast<ULONG>(size), 0)) ||
        !BCRYPT_SUCCESS(
            BCryptFinishHash(hash.get(), digest.data(), static_cast<ULONG>(digest.size()), 0))) {
        return {};
    }
    return digest;
}

std::string LowerHex(const std::vector<std::uint8_t>& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        text += kDigits[b >> 4];
        text += kDigits[b & 0x0F];
    }
    return text;
}

}  // namespace vyxserve
