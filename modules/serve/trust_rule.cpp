// The certificate rule of trust_rule.h; the registry is touched only when the pin changes.
#include "trust_rule.h"

#include "trust_store.h"

namespace vyxserve {

CertificateVerdict JudgeCertificate(const std::string& origin, const std::string& fingerprint,
                                    bool validated) {
    if (fingerprint.empty()) {
        return CertificateVerdict::kFailed;
    }
    const std::string pin = ReadPin(origin);
    if (pin == fingerprint) {
        return CertificateVerdict::kTaken;
    }
    if (validated || pin.empty()) {
        return WritePin(origin, fingerprint) == 0 ? CertificateVerdict::kTaken
                                                  : CertificateVerdict::kFailed;
    }
    WriteOffered(origin, fingerprint);
    return CertificateVerdict::kChanged;
}

bool HasPin(const std::string& origin) {
    return !ReadPin(origin).empty();
}

bool IsPinned(const std::string& origin, const std::string& fingerprint) {
    return !fingerprint.empty() && ReadPin(origin) == fingerprint;
}

}  // namespace vyxserve
