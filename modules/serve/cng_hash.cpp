// SHA-256 through CNG: one algorithm provider and one hash object for each digest.
#include "cng_hash.h"

#include "cng_handles.h"

namespace vyxserve {

std::vector<std::uint8_t> Sha256(const void* data, std::size_t size) {
    BCRYPT_ALG_HANDLE opened = nullptr;
    if (!BCRYPT_SUCCESS(
            BCryptOpenAlgorithmProvider(&opened, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
        return {};
    }
    const CngProvider provider(opened);
    BCRYPT_HASH_HANDLE created = nullptr;
    if (!BCRYPT_SUCCESS(BCryptCreateHash(provider.get(), &created, nullptr, 0, nullptr, 0, 0))) {
        return {};
    }
    const CngHash hash(created);
    std::vector<std::uint8_t> digest(32);
    if (size > 0xFFFFFFFFu ||
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
