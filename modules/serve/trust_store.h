// Certificates trusted on first use: for each TLS printer (its normalised "ipps://host:port")
// the SHA-256 fingerprint of the certificate first met there that did not validate, kept in the
// current user's registry under HKEY_CURRENT_USER\Software\VYXBIDI\Trust (one REG_SZ value per
// printer, named by the URI, holding 64 lower-case hex digits). A certificate refused because it
// differs from the pin is noted under Trust\Offered the same way, so that an administrator can
// see what the printer showed before forgetting the pin.
#pragma once

#include <windows.h>

#include <string>

namespace vyxserve {

// The pin for `printer`, or empty.
std::string ReadPin(const std::string& printer);
// 0, or the system's error code.
DWORD WritePin(const std::string& printer, const std::string& fingerprint);
// The fingerprint of the certificate last refused as changed, or empty.
std::string ReadOffered(const std::string& printer);
DWORD WriteOffered(const std::string& printer, const std::string& fingerprint);
// Removes the pin and any offered fingerprint. 0, ERROR_FILE_NOT_FOUND when there was no pin,
// or the system's error code.
DWORD ForgetPin(const std::string& printer);

}  // namespace vyxserve
