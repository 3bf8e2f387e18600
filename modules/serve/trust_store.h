// Certificates trusted on first use: for each TLS printer (its normalised "ipps://host:port")
// the SHA-256 fingerprint of the certificate first met there that did not validate, kept in the
// current user's registry under HKEY_CURRENT_USER\Software\VYXBIDI\Trust (one REG_SZ value per
// printer, named by the URI, holding 64 lower-case hex digits). A certificate refused because it
// differs from the pin is noted under Trust\Offered the same way, so that an administrator can
// see what the printer showed before forgetting the pin. Printer names are the modules'
// vyxipp::Origin. Needs advapi32: link vyxserve_secrets.
#pragma once

#include <windows.h>

#include <string>

namespace vyxserve {

constexpr std::size_t kFingerprintDigits = 64;

// The pin for `printer` (64 lower-case hex digits), or empty: none, or a value that is no
// fingerprint (not REG_SZ, not 64 hex digits; upper-case digits are read as lower-case).
std::string ReadPin(const std::string& printer);
// 0, ERROR_INVALID_PARAMETER for an empty printer or a fingerprint that is not 64 hex digits
// (either case; stored lower-case), or the system's error code. Leaves any offered one alone.
DWORD WritePin(const std::string& printer, const std::string& fingerprint);
// The fingerprint of the certificate last refused as changed, or empty; read and written as the
// pin is.
std::string ReadOffered(const std::string& printer);
DWORD WriteOffered(const std::string& printer, const std::string& fingerprint);
// Removes the pin and any offered fingerprint. 0, ERROR_FILE_NOT_FOUND when there was no pin,
// or the system's error code.
DWORD ForgetPin(const std::string& printer);

}  // namespace vyxserve
