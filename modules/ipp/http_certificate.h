// A TLS printer's certificate as WinHTTP shows it, for the trust rule to judge.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <string>

namespace vyxipp::http {

// Whether a failed secure request failed on the certificate: the error of a handshake whose
// certificate did not validate (wine reports it as a secure channel error).
bool IsCertificateError(DWORD error);

// Lets `request` take a certificate that does not validate, for the module to judge by its rule.
bool TakeUnvalidatedCertificate(HINTERNET request);

// The SHA-256 fingerprint (64 lower-case hex digits) of the certificate `request`'s connection
// shows, for the trust rule (trust_rule.h); empty when none is shown.
std::string ShownFingerprint(HINTERNET request);

}  // namespace vyxipp::http
