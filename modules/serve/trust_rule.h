// The rule for a TLS printer's certificate, over the pins of trust_store.h: a certificate that
// validates is taken and becomes the pin; one that does not is trusted on first use (pinned)
// and from then on only while it is the pinned one; another one is refused and noted as
// offered. Pinning a validated certificate too means that a printer that once showed one is
// never again trusted on first use: an unvalidated certificate there is a changed one.
#pragma once

#include <string>

namespace vyxserve {

enum class CertificateVerdict {
    kTaken,    // validated, or the pinned one, or pinned now on first use
    kChanged,  // unvalidated and not the pinned one: refused, noted as offered
    kFailed,   // the pin could not be read or written: refused
};

// Judges the certificate whose SHA-256 `fingerprint` (64 lower-case hex digits) the printer
// `origin` ("ipps://host:port") showed, `validated` by the system or not.
CertificateVerdict JudgeCertificate(const std::string& origin, const std::string& fingerprint,
                                    bool validated);

// Whether `origin` has a pin at all.
bool HasPin(const std::string& origin);

// Whether `fingerprint` is the one pinned for `origin`: the certificate JudgeCertificate takes
// whether or not it validates, so a caller may ask this before the system's validation and
// leave any other certificate to JudgeCertificate. Reads the pin and changes nothing.
bool IsPinned(const std::string& origin, const std::string& fingerprint);

}  // namespace vyxserve
