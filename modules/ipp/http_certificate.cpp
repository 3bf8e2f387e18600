// A TLS printer's certificate taken from WinHTTP, and its fingerprint for the trust rule.
#include "http_certificate.h"

#include <wincrypt.h>

#include "cng_hash.h"

namespace vyxipp::http {

bool IsCertificateError(DWORD error) {
    switch (error) {
        case ERROR_WINHTTP_SECURE_FAILURE:
        case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
        case ERROR_WINHTTP_SECURE_INVALID_CA:
        case ERROR_WINHTTP_SECURE_INVALID_CERT:
        case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
        case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
        case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE:
            return true;
        default:
            return false;
    }
}

bool TakeUnvalidatedCertificate(HINTERNET request) {
    DWORD ignore = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID |
                   SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE;
    return WinHttpSetOption(request, WINHTTP_OPTION_SECURITY_FLAGS, &ignore, sizeof ignore) !=
           FALSE;
}

std::string ShownFingerprint(HINTERNET request) {
    PCCERT_CONTEXT certificate = nullptr;
    DWORD size = sizeof certificate;
    if (!WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &certificate, &size) ||
        !certificate) {
        return {};
    }
    std::string fingerprint = vyxserve::LowerHex(
        vyxserve::Sha256(certificate->pbCertEncoded, certificate->cbCertEncoded));
    CertFreeCertificateContext(certificate);
    return fingerprint;
}

}  // namespace vyxipp::http
