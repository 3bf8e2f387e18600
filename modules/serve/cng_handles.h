// Owners of Windows CNG handles (bcrypt.dll), for every module that uses the system's
// cryptography: each handle is closed or destroyed with its owner, on every path.
#pragma once

#include <windows.h>
#include <bcrypt.h>

#include <memory>

namespace vyxserve {

struct CloseCngProvider {
    void operator()(void* handle) const { BCryptCloseAlgorithmProvider(handle, 0); }
};
struct DestroyCngHash {
    void operator()(void* handle) const { BCryptDestroyHash(handle); }
};
struct DestroyCngKey {
    void operator()(void* handle) const { BCryptDestroyKey(handle); }
};
using CngProvider = std::unique_ptr<void, CloseCngProvider>;
using CngHash = std::unique_ptr<void, DestroyCngHash>;
using CngKey = std::unique_ptr<void, DestroyCngKey>;

}  // namespace vyxserve
