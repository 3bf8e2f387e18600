// The module's CNG cryptography under the same vectors as OpenSSL natively (usm_vectors_test.cpp),
// so that a difference between wine's CNG and Windows' shows here first.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "cng_crypto.h"
#include "test_crypto.h"

namespace snmptest {

std::unique_ptr<vyxsnmp::Crypto> MakeTestCrypto() {
    return std::make_unique<vyxsnmp::CngCrypto>();
}

}  // namespace snmptest

namespace {

// What this system's CNG offers: the DES provider, or the three-key fallback.
TEST(CngCrypto, Providers) {
    vyxsnmp::CngCrypto crypto;
    std::printf("DES through %s\n", crypto.NativeDes() ? "the DES provider" : "three-key DES");
    std::uint8_t a[16] = {0};
    std::uint8_t b[16] = {0};
    ASSERT_TRUE(crypto.Random(a, sizeof a));
    ASSERT_TRUE(crypto.Random(b, sizeof b));
    EXPECT_NE(std::memcmp(a, b, sizeof a), 0);
    for (const auto kind :
         {vyxsnmp::HashKind::kMd5, vyxsnmp::HashKind::kSha1, vyxsnmp::HashKind::kSha224,
          vyxsnmp::HashKind::kSha256, vyxsnmp::HashKind::kSha384, vyxsnmp::HashKind::kSha512}) {
        EXPECT_NE(crypto.StartHash(kind), nullptr) << static_cast<int>(kind);
    }
}

}  // namespace
