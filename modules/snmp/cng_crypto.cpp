// Hashes, HMACs, AES, DES and random bytes through CNG, with RAII owners for its handles.
#include "cng_crypto.h"

#include "cng_handles.h"
#include "sha224.h"
#include "usm.h"

#include <cstring>
#include <vector>

namespace vyxsnmp {
namespace {

bool Succeeded(NTSTATUS status) {
    return BCRYPT_SUCCESS(status);
}

using ProviderHandle = vyxserve::CngProvider;
using HashHandle = vyxserve::CngHash;
using KeyHandle = vyxserve::CngKey;

// One provider, opened when first asked for; a provider that failed to open is not tried again.
class LazyProvider {
  public:
    BCRYPT_ALG_HANDLE Get(LPCWSTR algorithm, ULONG flags, LPCWSTR chaining = nullptr) {
        if (!tried_) {
            tried_ = true;
            BCRYPT_ALG_HANDLE handle = nullptr;
            if (Succeeded(BCryptOpenAlgorithmProvider(&handle, algorithm, nullptr, flags))) {
                handle_.reset(handle);
                if (chaining &&
                    !Succeeded(BCryptSetProperty(
                        handle, BCRYPT_CHAINING_MODE,
                        reinterpret_cast<PUCHAR>(const_cast<LPWSTR>(chaining)),
                        static_cast<ULONG>((wcslen(chaining) + 1) * sizeof(wchar_t)), 0))) {
                    handle_.reset();
                }
            }
        }
        return handle_.get();
    }

  private:
    bool tried_ = false;
    ProviderHandle handle_;
};

LPCWSTR AlgorithmOf(HashKind kind) {
    switch (kind) {
        case HashKind::kMd5:
            return BCRYPT_MD5_ALGORITHM;
        case HashKind::kSha1:
            return BCRYPT_SHA1_ALGORITHM;
        case HashKind::kSha224:
            return L"SHA224";  // neither Windows' CNG nor wine's has it: see Sha224
        case HashKind::kSha256:
            return BCRYPT_SHA256_ALGORITHM;
        case HashKind::kSha384:
            return BCRYPT_SHA384_ALGORITHM;
        case HashKind::kSha512:
            return BCRYPT_SHA512_ALGORITHM;
    }
    return BCRYPT_SHA1_ALGORITHM;
}

class CngHash : public Crypto::Hash {
  public:
    CngHash(HashHandle hash, std::size_t size) : hash_(std::move(hash)), size_(size) {}
    bool Update(ByteView data) override {
        return Succeeded(BCryptHashData(hash_.get(), const_cast<PUCHAR>(data.data),
                                        static_cast<ULONG>(data.size), 0));
    }
    bool Finish(std::uint8_t* digest) override {
        return Succeeded(BCryptFinishHash(hash_.get(), digest, static_cast<ULONG>(size_), 0));
    }

  private:
    HashHandle hash_;
    std::size_t size_;
};

HashHandle CreateHash(BCRYPT_ALG_HANDLE provider, ByteView key) {
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (!provider ||
        !Succeeded(BCryptCreateHash(provider, &hash, nullptr, 0, const_cast<PUCHAR>(key.data),
                                    static_cast<ULONG>(key.size), 0))) {
        return nullptr;
    }
    return HashHandle(hash);
}

KeyHandle CreateKey(BCRYPT_ALG_HANDLE provider, ByteView key) {
    BCRYPT_KEY_HANDLE handle = nullptr;
    if (!provider || !Succeeded(BCryptGenerateSymmetricKey(provider, &handle, nullptr, 0,
                                                           const_cast<PUCHAR>(key.data),
                                                           static_cast<ULONG>(key.size), 0))) {
        return nullptr;
    }
    return KeyHandle(handle);
}

constexpr int kHashKinds = 6;

}  // namespace

struct CngCrypto::Providers {
    LazyProvider hashes[kHashKinds];
    LazyProvider hmacs[kHashKinds];
    LazyProvider aes;
    LazyProvider des;
    LazyProvider tripleDes;
    // The last AES key, kept: CFB asks for one block at a time under the same key.
    KeyHandle aesKey;
    Secret aesKeyBytes;
};

CngCrypto::CngCrypto() : providers_(std::make_unique<Providers>()) {}
CngCrypto::~CngCrypto() = default;

std::unique_ptr<Crypto::Hash> CngCrypto::StartHash(HashKind kind) {
    const int index = static_cast<int>(kind);
    HashHandle hash = CreateHash(providers_->hashes[index].Get(AlgorithmOf(kind), 0), ByteView{});
    if (!hash) {
        return kind == HashKind::kSha224 ? std::make_unique<Sha224>() : nullptr;
    }
    return std::make_unique<CngHash>(std::move(hash), DigestSize(kind));
}

bool CngCrypto::Hmac(HashKind kind, ByteView key, ByteView data, std::uint8_t* mac) {
    const int index = static_cast<int>(kind);
    HashHandle hash = CreateHash(
        providers_->hmacs[index].Get(AlgorithmOf(kind), BCRYPT_ALG_HANDLE_HMAC_FLAG), key);
    if (!hash && kind == HashKind::kSha224) {
        HmacSha224(key, data, mac);
        return true;
    }
    return hash &&
           Succeeded(BCryptHashData(hash.get(), const_cast<PUCHAR>(data.data),
                                    static_cast<ULONG>(data.size), 0)) &&
           Succeeded(BCryptFinishHash(hash.get(), mac, static_cast<ULONG>(DigestSize(kind)), 0));
}

bool CngCrypto::AesEncryptBlocks(ByteView key, ByteView in, std::uint8_t* out) {
    if (in.size % 16 != 0) {
        return false;
    }
    const Secret& held = providers_->aesKeyBytes;
    if (!providers_->aesKey || !SameBytes(key, ByteView{held.data(), held.size()})) {
        providers_->aesKey =
            CreateKey(providers_->aes.Get(BCRYPT_AES_ALGORITHM, 0, BCRYPT_CHAIN_MODE_ECB), key);
        providers_->aesKeyBytes = Secret(key.data, key.size);
    }
    const KeyHandle& handle = providers_->aesKey;
    ULONG written = 0;
    return handle &&
           Succeeded(BCryptEncrypt(handle.get(), const_cast<PUCHAR>(in.data),
                                   static_cast<ULONG>(in.size), nullptr, nullptr, 0, out,
                                   static_cast<ULONG>(in.size), &written, 0)) &&
           written == in.size;
}

bool CngCrypto::NativeDes() {
    return providers_->des.Get(BCRYPT_DES_ALGORITHM, 0, BCRYPT_CHAIN_MODE_CBC) != nullptr;
}

bool CngCrypto::DesCbc(bool encrypt, ByteView key, ByteView iv, ByteView in, std::uint8_t* out) {
    if (key.size != 8 || iv.size != 8 || in.size % 8 != 0) {
        return false;
    }
    // DES where the system has it; otherwise three-key DES with the key thrice, which is DES.
    KeyHandle handle;
    if (NativeDes()) {
        handle = CreateKey(providers_->des.Get(BCRYPT_DES_ALGORITHM, 0), key);
    } else {
        std::uint8_t triple[24];
        for (int i = 0; i < 3; ++i) {
            std::memcpy(triple + 8 * i, key.data, 8);
        }
        handle =
            CreateKey(providers_->tripleDes.Get(BCRYPT_3DES_ALGORITHM, 0, BCRYPT_CHAIN_MODE_CBC),
                      ByteView{triple, sizeof triple});
        SecureZeroMemory(triple, sizeof triple);
    }
    if (!handle) {
        return false;
    }
    std::uint8_t chain[8];  // CNG moves the IV on in place
    std::memcpy(chain, iv.data, 8);
    ULONG written = 0;
    const ULONG size = static_cast<ULONG>(in.size);
    const NTSTATUS status = encrypt ? BCryptEncrypt(handle.get(), const_cast<PUCHAR>(in.data), size,
                                                    nullptr, chain, 8, out, size, &written, 0)
                                    : BCryptDecrypt(handle.get(), const_cast<PUCHAR>(in.data), size,
                                                    nullptr, chain, 8, out, size, &written, 0);
    return Succeeded(status) && written == in.size;
}

bool CngCrypto::Random(std::uint8_t* out, std::size_t size) {
    return Succeeded(
        BCryptGenRandom(nullptr, out, static_cast<ULONG>(size), BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

}  // namespace vyxsnmp
