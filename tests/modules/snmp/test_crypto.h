// The cryptography a test program checks the codec with: OpenSSL natively, Windows CNG (the
// module's own) under wine.
#pragma once

#include <memory>

#include "crypto.h"

namespace snmptest {

std::unique_ptr<vyxsnmp::Crypto> MakeTestCrypto();

}  // namespace snmptest
