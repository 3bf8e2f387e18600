// Hashes through Windows CNG (bcrypt.dll, a system DLL), for the modules that need a digest:
// the IPP module's certificate fingerprints, and any later user of the same provider.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vyxserve {

// The SHA-256 digest of `size` bytes at `data`: 32 bytes, or none when CNG failed.
std::vector<std::uint8_t> Sha256(const void* data, std::size_t size);

// `bytes` as lower-case hexadecimal digits, two a byte.
std::string LowerHex(const std::vector<std::uint8_t>& bytes);

}  // namespace vyxserve
