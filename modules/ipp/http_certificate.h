// A TLS printer's certificate as WinHTTP shows it, and the trust rule's verdict on it.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <string>

#include "trust_rule.h"

namespace vyxipp::http {

// Whether a failed secure request failed on the certificate: the error of a handshake whose
// certificate did not validate (wine reports it as a secure channel error).
bool IsCertificateError(DWORD error);

// Lets `request` take a certificate that does not validate, for the module to judge by its rule.
bool TakeUnvalidatedCertificate(HINTERNET request);

// The rule's verdict (trust_rule.h) on the certificate `request`'s connection shows, for the
// printer `origin`, `validated` by WinHTTP or not; kFailed when none is shown.
vyxserve::CertificateVerdict JudgeShownCertificate(HINTERNET request, const std::string& origin,
                                                   bool validated);

}  // namespace vyxipp::http
