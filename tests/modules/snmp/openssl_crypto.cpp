// The codec's cryptography over OpenSSL, for the native tests only (never in a DLL).
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <vector>

#include "test_crypto.h"

namespace snmptest {
namespace {

using vyxsnmp::ByteView;
using vyxsnmp::HashKind;

const EVP_MD* Digest(HashKind kind) {
    switch (kind) {
        case HashKind::kMd5:
            return EVP_md5();
        case HashKind::kSha1:
            return EVP_sha1();
        case HashKind::kSha224:
            return EVP_sha224();
        case HashKind::kSha256:
            return EVP_sha256();
        case HashKind::kSha384:
            return EVP_sha384();
        case HashKind::kSha512:
            return EVP_sha512();
    }
    return nullptr;
}

class OpenSslHash : public vyxsnmp::Crypto::Hash {
  public:
    explicit OpenSslHash(HashKind kind) : context_(EVP_MD_CTX_new()) {
        ok_ = context_ && EVP_DigestInit_ex(context_, Digest(kind), nullptr) == 1;
    }
    ~OpenSslHash() override { EVP_MD_CTX_free(context_); }
    bool ok() const { return ok_; }
    bool Update(ByteView data) override {
        return EVP_DigestUpdate(context_, data.data, data.size) == 1;
    }
    bool Finish(std::uint8_t* digest) override {
        return EVP_DigestFinal_ex(context_, digest, nullptr) == 1;
    }

  private:
    EVP_MD_CTX* context_;
    bool ok_ = false;
};

bool Cipher(const EVP_CIPHER* cipher, bool encrypt, ByteView key, const std::uint8_t* iv,
            ByteView in, std::uint8_t* out) {
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    int written = 0;
    int last = 0;
    const bool ok =
        context &&
        EVP_CipherInit_ex(context, cipher, nullptr, key.data, iv, encrypt ? 1 : 0) == 1 &&
        EVP_CIPHER_CTX_set_padding(context, 0) == 1 &&
        EVP_CipherUpdate(context, out, &written, in.data, static_cast<int>(in.size)) == 1 &&
        EVP_CipherFinal_ex(context, out + written, &last) == 1 &&
        static_cast<std::size_t>(written + last) == in.size;
    EVP_CIPHER_CTX_free(context);
    return ok;
}

class OpenSslCrypto : public vyxsnmp::Crypto {
  public:
    std::unique_ptr<Hash> StartHash(HashKind kind) override {
        auto hash = std::make_unique<OpenSslHash>(kind);
        return hash->ok() ? std::move(hash) : nullptr;
    }
    bool Hmac(HashKind kind, ByteView key, ByteView data, std::uint8_t* mac) override {
        return HMAC(Digest(kind), key.data, static_cast<int>(key.size), data.data, data.size, mac,
                    nullptr) != nullptr;
    }
    bool AesEncryptBlocks(ByteView key, ByteView in, std::uint8_t* out) override {
        const EVP_CIPHER* cipher = key.size == 16   ? EVP_aes_128_ecb()
                                   : key.size == 24 ? EVP_aes_192_ecb()
                                   : key.size == 32 ? EVP_aes_256_ecb()
                                                    : nullptr;
        return cipher && in.size % 16 == 0 && Cipher(cipher, true, key, nullptr, in, out);
    }
    bool DesCbc(bool encrypt, ByteView key, ByteView iv, ByteView in, std::uint8_t* out) override {
        // Single DES is three-key DES with one key thrice (OpenSSL 3 keeps plain DES in its
        // legacy provider).
        if (key.size != 8 || iv.size != 8 || in.size % 8 != 0) {
            return false;
        }
        std::uint8_t triple[24];
        for (int i = 0; i < 3; ++i) {
            std::copy(key.data, key.data + 8, triple + 8 * i);
        }
        return Cipher(EVP_des_ede3_cbc(), encrypt, ByteView{triple, 24}, iv.data, in, out);
    }
    bool Random(std::uint8_t* out, std::size_t size) override {
        return RAND_bytes(out, static_cast<int>(size)) == 1;
    }
};

}  // namespace

std::unique_ptr<vyxsnmp::Crypto> MakeTestCrypto() {
    return std::make_unique<OpenSslCrypto>();
}

}  // namespace snmptest
