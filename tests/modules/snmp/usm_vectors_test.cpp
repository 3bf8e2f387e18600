// The security model's cryptography against known answers: the key localisation examples of the
// USM's own appendix (MD5, SHA-1), the SHA-2 keys and truncated HMACs, the AES key extension,
// AES in 128-bit CFB and DES-CBC. Built twice: natively over OpenSSL and under wine over CNG, so
// that both implementations of the crypto interface give the same bytes.
#include <gtest/gtest.h>

#include <string>

#include "sha224.h"
#include "test_crypto.h"
#include "usm.h"

namespace {

using namespace vyxsnmp;

Bytes Hex(const std::string& text) {
    Bytes bytes;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

std::string HexOf(const std::uint8_t* data, std::size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        text += digits[data[i] >> 4];
        text += digits[data[i] & 15];
    }
    return text;
}
std::string HexOf(const Secret& s) {
    return HexOf(s.data(), s.size());
}
std::string HexOf(const Bytes& b) {
    return HexOf(b.data(), b.size());
}
ByteView View(const Bytes& b) {
    return ByteView{b.data(), b.size()};
}

const Secret kPassword("maplesyrup", 10);
const Bytes kEngine = Hex("000000000000000000000002");

Secret Localised(Crypto& crypto, AuthProtocol protocol) {
    Secret key;
    Secret localised;
    EXPECT_TRUE(PasswordToKey(crypto, HashOf(protocol), kPassword, key));
    EXPECT_TRUE(LocaliseKey(crypto, HashOf(protocol), key, View(kEngine), localised));
    return localised;
}

TEST(UsmVectors, PasswordToLocalisedKey) {
    const auto crypto = snmptest::MakeTestCrypto();
    const struct {
        AuthProtocol protocol;
        const char* key;
        const char* localised;
    } cases[] = {
        {AuthProtocol::kMd5, "9faf3283884e92834ebc9847d8edd963",
         "526f5eed9fcce26f8964c2930787d82b"},
        {AuthProtocol::kSha1, "9fb5cc0381497b3793528939ff788d5d79145211",
         "6695febc9288e36282235fc7151f128497b38f3f"},
        {AuthProtocol::kSha256, "ab51014d1e077f6017df2b12bee5f5aa72993177e9bb569c4dff5a4ca0b4afac",
         "8982e0e549e866db361a6b625d84cccc11162d453ee8ce3a6445c2d6776f0f8b"},
        {AuthProtocol::kSha512,
         "7e4396de5aadc77be853819b98c9406265b3a9c37cc3176569847a4e4f6fba63dd3a73d04924d31a63f95a601"
         "f9"
         "385af6be4ed1b37f87d040f7c6ed6f8d38a91",
         "22a5a36cedfcc085807a128d7bc6c2382167ad6c0dbc5fdff856740f3d84c099ad1ea87a8db096714d9788bd5"
         "44"
         "047c9021e4229ce27e4c0a69250adfcffbb0b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.protocol));
        Secret key;
        ASSERT_TRUE(PasswordToKey(*crypto, HashOf(c.protocol), kPassword, key));
        EXPECT_EQ(HexOf(key), c.key);
        EXPECT_EQ(HexOf(Localised(*crypto, c.protocol)), c.localised);
    }
}

// The HMAC over a whole message, truncated to each protocol's length, keyed by the localised key.
TEST(UsmVectors, TruncatedMacs) {
    const auto crypto = snmptest::MakeTestCrypto();
    Bytes message;
    for (int i = 0; i < 64; ++i) {
        message.push_back(static_cast<std::uint8_t>(i));
    }
    const struct {
        AuthProtocol protocol;
        const char* mac;
    } cases[] = {
        {AuthProtocol::kMd5, "e9950435bdcce0350b4de17a"},
        {AuthProtocol::kSha1, "83786e0d5de03ff3fe8eb804"},
        {AuthProtocol::kSha224, "5ad4b0561553616f240bebce6b73c3aa"},
        {AuthProtocol::kSha256, "4f9c72cdaa9f82c3aef49fa897224cd6cf49e967d4fb3e6d"},
        {AuthProtocol::kSha384, "4ef994a784f996fe3196fa6bc4b134ee886cf80330162e11004a5232039d0cb6"},
        {AuthProtocol::kSha512,
         "e4a254427842478e5d42afb95e1484669777cd48c9f2a5a4eb18c3b0749bd4ca363dee5e839a25859c07d704d"
         "97"
         "73b14"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.protocol));
        std::uint8_t mac[64];
        ASSERT_TRUE(
            ComputeMac(*crypto, c.protocol, Localised(*crypto, c.protocol), View(message), mac));
        EXPECT_EQ(HexOf(mac, MacSize(c.protocol)), c.mac);
    }
}

// The SHA-224 of our own, for the systems without one, gives the same HMAC.
TEST(UsmVectors, OwnSha224) {
    const auto crypto = snmptest::MakeTestCrypto();
    Bytes message;
    for (int i = 0; i < 64; ++i) {
        message.push_back(static_cast<std::uint8_t>(i));
    }
    const Secret key = Localised(*crypto, AuthProtocol::kSha224);
    std::uint8_t mac[28];
    HmacSha224(ByteView{key.data(), key.size()}, View(message), mac);
    EXPECT_EQ(HexOf(mac, 16), "5ad4b0561553616f240bebce6b73c3aa");
    Sha224 hash;
    const std::string abc = "abc";
    hash.Update(ByteView{reinterpret_cast<const std::uint8_t*>(abc.data()), abc.size()});
    hash.Finish(mac);
    EXPECT_EQ(HexOf(mac, 28), "23097d223405d8228642a477bda255b32aadbce4bda0b3f7e36c9da7");
}

// A localised key shorter than the cipher's key grows by the hash of all it holds so far.
TEST(UsmVectors, KeyExtension) {
    const auto crypto = snmptest::MakeTestCrypto();
    const struct {
        AuthProtocol protocol;
        std::size_t size;
        const char* extended;
    } cases[] = {
        {AuthProtocol::kSha1, 32,
         "6695febc9288e36282235fc7151f128497b38f3f505e07eb9af25568fa1f5dbe"},
        {AuthProtocol::kMd5, 24, "526f5eed9fcce26f8964c2930787d82bfa24a92467426c2f"},
        {AuthProtocol::kMd5, 16, "526f5eed9fcce26f8964c2930787d82b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        Secret extended;
        ASSERT_TRUE(ExtendKey(*crypto, HashOf(c.protocol), Localised(*crypto, c.protocol), c.size,
                              extended));
        EXPECT_EQ(HexOf(extended), c.extended);
    }
}

// Encrypted and back: the IV from the engine's boots and time and the salt, which travels as the
// privacy parameters; AES in 128-bit CFB (a short last block included), DES-CBC padded.
TEST(UsmVectors, PrivacyTransforms) {
    const auto crypto = snmptest::MakeTestCrypto();
    Bytes counting;
    for (int i = 0; i < 37; ++i) {
        counting.push_back(static_cast<std::uint8_t>(i));
    }
    const std::string fips = "Now is the time for all ";
    const Bytes fipsText(fips.begin(), fips.end());
    const struct {
        PrivProtocol protocol;
        const char* key;
        PrivacyClock clock;
        const Bytes& plain;
        const char* privParams;
        const char* cipher;
    } cases[] = {
        {PrivProtocol::kAes128,
         "000102030405060708090a0b0c0d0e0f",
         {1, 2, 0x0102030405060708},
         counting,
         "0102030405060708",
         "ef40c75e0a1f2caf2cbe5ba40da4f65c820000de6b5032a230a4aaa2e3ee71c200761a900b"},
        {PrivProtocol::kAes256,
         "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
         {1, 2, 0x0102030405060708},
         counting,
         "0102030405060708",
         "c7d5f83269554afecd23b93958d979720e01bb32807d45eb26d74ff96856ec27f4f7696577"},
        // DES: the key, then the pre-IV, which the salt (boots, counter) is XORed into.
        {PrivProtocol::kDes,
         "0123456789abcdef1234567890abcdef",
         {0, 99, 0},
         fipsText,
         "0000000000000000",
         "e5c7cdde872bf27c43e934008c389c0f683788499a7c05f6"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.protocol));
        const Bytes keyBytes = Hex(c.key);
        const Secret key(keyBytes.data(), keyBytes.size());
        Bytes cipher;
        Bytes privParams;
        ASSERT_TRUE(
            EncryptScopedPdu(*crypto, c.protocol, key, c.clock, View(c.plain), cipher, privParams));
        EXPECT_EQ(HexOf(privParams), c.privParams);
        EXPECT_EQ(HexOf(cipher), c.cipher);
        Bytes plain;
        ASSERT_TRUE(DecryptScopedPdu(*crypto, c.protocol, key, c.clock.boots, c.clock.time,
                                     View(privParams), View(cipher), plain));
        EXPECT_EQ(plain, c.plain);
    }
    // DES pads to whole blocks, and refuses a cipher text that is not whole blocks.
    const Bytes desKey = Hex("0123456789abcdef1234567890abcdef");
    const Secret key(desKey.data(), desKey.size());
    Bytes cipher;
    Bytes privParams;
    ASSERT_TRUE(EncryptScopedPdu(*crypto, PrivProtocol::kDes, key, {7, 0, 5}, View(counting),
                                 cipher, privParams));
    EXPECT_EQ(cipher.size(), 40u);
    EXPECT_EQ(HexOf(privParams), "0000000700000005");
    cipher.pop_back();
    Bytes plain;
    EXPECT_FALSE(DecryptScopedPdu(*crypto, PrivProtocol::kDes, key, 7, 0, View(privParams),
                                  View(cipher), plain));
}

}  // namespace
