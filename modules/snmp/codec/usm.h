// The User-based Security Model's cryptographic rules: keys from passwords and their
// localisation to an engine, the authentication of whole messages, and the privacy transforms
// of a scoped PDU (DES-CBC, AES in 128-bit CFB).
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto.h"
#include "secret.h"

namespace vyxsnmp {

using vyxserve::Secret;

enum class SecurityLevel { kNoAuth, kAuth, kPriv };
enum class AuthProtocol { kMd5, kSha1, kSha224, kSha256, kSha384, kSha512 };
enum class PrivProtocol { kDes, kAes128, kAes192, kAes256 };

HashKind HashOf(AuthProtocol protocol);
// Bytes of msgAuthenticationParameters: the HMAC truncated (12 for MD5 and SHA-1, then 16, 24,
// 32 and 48 for the SHA-2 family).
std::size_t MacSize(AuthProtocol protocol);
// Bytes of localised key the transform takes (DES: its key, then its pre-IV).
std::size_t PrivKeySize(PrivProtocol protocol);

// The password's key: the digest of the password repeated over 1 MiB.
bool PasswordToKey(Crypto& crypto, HashKind kind, const Secret& password, Secret& key);
// The key localised to one engine: H(key || engineId || key).
bool LocaliseKey(Crypto& crypto, HashKind kind, const Secret& key, ByteView engineId,
                 Secret& localised);
// A localised privacy key lengthened to `size` bytes by appending H of all it holds so far,
// as often as needed. This is how net-snmp's AES192/AES256 and snmpsimd's AES192BLMT/AES256BLMT
// extend a key shorter than the cipher's (the other extension in use, snmpsimd's AES192/AES256
// and net-snmp's AES192C/AES256C, localises again instead; agents that offer AES-192/256 at all
// most often do it this way).
bool ExtendKey(Crypto& crypto, HashKind kind, const Secret& key, std::size_t size,
               Secret& extended);

// The localised keys of one user at one engine.
struct UsmKeys {
    Secret auth;
    Secret priv;  // PrivKeySize bytes
};
bool DeriveKeys(Crypto& crypto, AuthProtocol auth, PrivProtocol priv, SecurityLevel level,
                const Secret& authPassword, const Secret& privPassword, ByteView engineId,
                UsmKeys& keys);

// The truncated HMAC of `message` (its authentication parameters zeroed), MacSize bytes.
bool ComputeMac(Crypto& crypto, AuthProtocol protocol, const Secret& key, ByteView message,
                std::uint8_t* mac);

// Where an encryption starts: the engine's boots and time, and a salt that differs for every
// message this engine sends (DES uses its low 32 bits behind the boots).
struct PrivacyClock {
    std::uint32_t boots = 0;
    std::uint32_t time = 0;
    std::uint64_t salt = 0;
};

// `cipher` gets the encrypted PDU, `privParams` the 8 bytes of msgPrivacyParameters.
bool EncryptScopedPdu(Crypto& crypto, PrivProtocol protocol, const Secret& key,
                      const PrivacyClock& clock, ByteView plain, Bytes& cipher, Bytes& privParams);
// False for parameters or a length the transform cannot have produced, or a failed cipher.
bool DecryptScopedPdu(Crypto& crypto, PrivProtocol protocol, const Secret& key, std::uint32_t boots,
                      std::uint32_t time, ByteView privParams, ByteView cipher, Bytes& plain);

// Equal bytes, compared in time that does not depend on where they differ.
bool SameBytes(ByteView a, ByteView b);

}  // namespace vyxsnmp
