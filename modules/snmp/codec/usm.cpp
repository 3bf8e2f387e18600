// Keys, message authentication and the privacy transforms of the User-based Security Model.
#include "usm.h"

#include <algorithm>
#include <vector>

namespace vyxsnmp {
namespace {

constexpr std::size_t kPasswordSpan = 1048576;  // the bytes of password a key is hashed from
constexpr std::size_t kAesBlock = 16;
constexpr std::size_t kDesBlock = 8;

// Working bytes that held key material: wiped when they go.
class Wiped {
  public:
    explicit Wiped(std::size_t size) : bytes_(size) {}
    ~Wiped() {
        volatile std::uint8_t* p = bytes_.data();
        for (std::size_t i = 0; i < bytes_.size(); ++i) {
            p[i] = 0;
        }
    }
    Wiped(const Wiped&) = delete;
    Wiped& operator=(const Wiped&) = delete;

    std::uint8_t* data() { return bytes_.data(); }
    std::size_t size() const { return bytes_.size(); }
    ByteView view() const { return ByteView{bytes_.data(), bytes_.size()}; }
    Secret ToSecret(std::size_t size) const { return Secret(bytes_.data(), size); }

  private:
    std::vector<std::uint8_t> bytes_;
};

ByteView View(const Secret& secret) {
    return ByteView{secret.data(), secret.size()};
}

void PutBigEndian(std::uint8_t* out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out[i] = static_cast<std::uint8_t>(value >> (8 * (bytes - 1 - i)));
    }
}

// The AES initialisation vector: boots, time and the 8 bytes of salt.
void AesIv(std::uint32_t boots, std::uint32_t time, ByteView salt, std::uint8_t* iv) {
    PutBigEndian(iv, boots, 4);
    PutBigEndian(iv + 4, time, 4);
    std::copy(salt.data, salt.data + 8, iv + 8);
}

// 128-bit cipher feedback over AES encryption, one block at a time; the last block may be
// short. The system's own CFB modes feed back 8 bits at a time (or refuse 128), so it is built
// here on single-block encryption.
bool AesCfb(Crypto& crypto, ByteView key, const std::uint8_t* iv, ByteView in, bool encrypt,
            std::uint8_t* out) {
    std::uint8_t feedback[kAesBlock];
    std::uint8_t stream[kAesBlock];
    std::copy(iv, iv + kAesBlock, feedback);
    for (std::size_t offset = 0; offset < in.size; offset += kAesBlock) {
        if (!crypto.AesEncryptBlocks(key, ByteView{feedback, kAesBlock}, stream)) {
            return false;
        }
        const std::size_t n = std::min(kAesBlock, in.size - offset);
        for (std::size_t i = 0; i < n; ++i) {
            out[offset + i] = static_cast<std::uint8_t>(in.data[offset + i] ^ stream[i]);
        }
        const std::uint8_t* cipher = encrypt ? out + offset : in.data + offset;
        std::copy(cipher, cipher + n, feedback);
    }
    return true;
}

}  // namespace

std::size_t DigestSize(HashKind kind) {
    switch (kind) {
        case HashKind::kMd5:
            return 16;
        case HashKind::kSha1:
            return 20;
        case HashKind::kSha224:
            return 28;
        case HashKind::kSha256:
            return 32;
        case HashKind::kSha384:
            return 48;
        case HashKind::kSha512:
            return 64;
    }
    return 0;
}

HashKind HashOf(AuthProtocol protocol) {
    switch (protocol) {
        case AuthProtocol::kMd5:
            return HashKind::kMd5;
        case AuthProtocol::kSha1:
            return HashKind::kSha1;
        case AuthProtocol::kSha224:
            return HashKind::kSha224;
        case AuthProtocol::kSha256:
            return HashKind::kSha256;
        case AuthProtocol::kSha384:
            return HashKind::kSha384;
        case AuthProtocol::kSha512:
            return HashKind::kSha512;
    }
    return HashKind::kSha1;
}

std::size_t MacSize(AuthProtocol protocol) {
    switch (protocol) {
        case AuthProtocol::kMd5:
        case AuthProtocol::kSha1:
            return 12;
        case AuthProtocol::kSha224:
            return 16;
        case AuthProtocol::kSha256:
            return 24;
        case AuthProtocol::kSha384:
            return 32;
        case AuthProtocol::kSha512:
            return 48;
    }
    return 12;
}

std::size_t PrivKeySize(PrivProtocol protocol) {
    switch (protocol) {
        case PrivProtocol::kDes:
        case PrivProtocol::kAes128:
            return 16;
        case PrivProtocol::kAes192:
            return 24;
        case PrivProtocol::kAes256:
            return 32;
    }
    return 16;
}

bool PasswordToKey(Crypto& crypto, HashKind kind, const Secret& password, Secret& key) {
    if (password.empty()) {
        return false;
    }
    std::unique_ptr<Crypto::Hash> hash = crypto.StartHash(kind);
    if (!hash) {
        return false;
    }
    // The password repeated, in chunks that carry the repetition on from one to the next.
    Wiped chunk(4096);
    std::size_t at = 0;
    for (std::size_t done = 0; done < kPasswordSpan; done += chunk.size()) {
        for (std::size_t i = 0; i < chunk.size(); ++i) {
            chunk.data()[i] = password.data()[at];
            at = at + 1 == password.size() ? 0 : at + 1;
        }
        if (!hash->Update(chunk.view())) {
            return false;
        }
    }
    Wiped digest(DigestSize(kind));
    if (!hash->Finish(digest.data())) {
        return false;
    }
    key = digest.ToSecret(digest.size());
    return true;
}

bool LocaliseKey(Crypto& crypto, HashKind kind, const Secret& key, ByteView engineId,
                 Secret& localised) {
    std::unique_ptr<Crypto::Hash> hash = crypto.StartHash(kind);
    Wiped digest(DigestSize(kind));
    if (!hash || !hash->Update(View(key)) || !hash->Update(engineId) || !hash->Update(View(key)) ||
        !hash->Finish(digest.data())) {
        return false;
    }
    localised = digest.ToSecret(digest.size());
    return true;
}

bool ExtendKey(Crypto& crypto, HashKind kind, const Secret& key, std::size_t size,
               Secret& extended) {
    const std::size_t step = DigestSize(kind);
    Wiped grown(key.size() + (size > key.size() ? size - key.size() + step : 0));
    std::copy(key.data(), key.data() + key.size(), grown.data());
    std::size_t length = key.size();
    while (length < size) {
        std::unique_ptr<Crypto::Hash> hash = crypto.StartHash(kind);
        if (!hash || !hash->Update(ByteView{grown.data(), length}) ||
            !hash->Finish(grown.data() + length)) {
            return false;
        }
        length += step;
    }
    extended = grown.ToSecret(size);
    return true;
}

bool DeriveKeys(Crypto& crypto, AuthProtocol auth, PrivProtocol priv, SecurityLevel level,
                const Secret& authPassword, const Secret& privPassword, ByteView engineId,
                UsmKeys& keys) {
    keys = UsmKeys();
    if (level == SecurityLevel::kNoAuth) {
        return true;
    }
    const HashKind kind = HashOf(auth);
    Secret master;
    if (!PasswordToKey(crypto, kind, authPassword, master) ||
        !LocaliseKey(crypto, kind, master, engineId, keys.auth)) {
        return false;
    }
    if (level != SecurityLevel::kPriv) {
        return true;
    }
    Secret localised;
    if (!PasswordToKey(crypto, kind, privPassword, master) ||
        !LocaliseKey(crypto, kind, master, engineId, localised)) {
        return false;
    }
    return ExtendKey(crypto, kind, localised, PrivKeySize(priv), keys.priv);
}

bool ComputeMac(Crypto& crypto, AuthProtocol protocol, const Secret& key, ByteView message,
                std::uint8_t* mac) {
    Wiped full(DigestSize(HashOf(protocol)));
    if (!crypto.Hmac(HashOf(protocol), View(key), message, full.data())) {
        return false;
    }
    std::copy(full.data(), full.data() + MacSize(protocol), mac);
    return true;
}

bool EncryptScopedPdu(Crypto& crypto, PrivProtocol protocol, const Secret& key,
                      const PrivacyClock& clock, ByteView plain, Bytes& cipher, Bytes& privParams) {
    if (key.size() < PrivKeySize(protocol)) {
        return false;
    }
    privParams.assign(8, 0);
    if (protocol == PrivProtocol::kDes) {
        PutBigEndian(privParams.data(), clock.boots, 4);
        PutBigEndian(privParams.data() + 4, clock.salt & 0xFFFFFFFFu, 4);
        std::uint8_t iv[kDesBlock];
        for (std::size_t i = 0; i < kDesBlock; ++i) {
            iv[i] = static_cast<std::uint8_t>(key.data()[kDesBlock + i] ^ privParams[i]);
        }
        // Padded to whole blocks; the padding's value does not matter to the receiver.
        Bytes padded(plain.data, plain.data + plain.size);
        padded.resize((plain.size + kDesBlock - 1) / kDesBlock * kDesBlock, 0);
        cipher.resize(padded.size());
        return crypto.DesCbc(true, ByteView{key.data(), kDesBlock}, ByteView{iv, kDesBlock},
                             ByteView{padded.data(), padded.size()}, cipher.data());
    }
    PutBigEndian(privParams.data(), clock.salt, 8);
    std::uint8_t iv[kAesBlock];
    AesIv(clock.boots, clock.time, ByteView{privParams.data(), 8}, iv);
    cipher.resize(plain.size);
    return AesCfb(crypto, ByteView{key.data(), PrivKeySize(protocol)}, iv, plain, true,
                  cipher.data());
}

bool DecryptScopedPdu(Crypto& crypto, PrivProtocol protocol, const Secret& key, std::uint32_t boots,
                      std::uint32_t time, ByteView privParams, ByteView cipher, Bytes& plain) {
    if (privParams.size != 8 || key.size() < PrivKeySize(protocol) || cipher.size == 0) {
        return false;
    }
    plain.resize(cipher.size);
    if (protocol == PrivProtocol::kDes) {
        if (cipher.size % kDesBlock != 0) {
            return false;
        }
        std::uint8_t iv[kDesBlock];
        for (std::size_t i = 0; i < kDesBlock; ++i) {
            iv[i] = static_cast<std::uint8_t>(key.data()[kDesBlock + i] ^ privParams.data[i]);
        }
        return crypto.DesCbc(false, ByteView{key.data(), kDesBlock}, ByteView{iv, kDesBlock},
                             cipher, plain.data());
    }
    std::uint8_t iv[kAesBlock];
    AesIv(boots, time, privParams, iv);
    return AesCfb(crypto, ByteView{key.data(), PrivKeySize(protocol)}, iv, cipher, false,
                  plain.data());
}

bool SameBytes(ByteView a, ByteView b) {
    if (a.size != b.size) {
        return false;
    }
    std::uint8_t difference = 0;
    for (std::size_t i = 0; i < a.size; ++i) {
        difference |= static_cast<std::uint8_t>(a.data[i] ^ b.data[i]);
    }
    return difference == 0;
}

}  // namespace vyxsnmp
