// Secrets for a printer, kept where Windows programs keep them: one generic credential of the
// current user in the Windows credential store per printer and protocol, named "VYXBIDI:" and
// the connection's normalised URI (each module says how it normalises its own). The
// credential's user name is the SNMPv3 or IPP user, or empty for an SNMP community; its secret
// holds one or two secrets (SNMPv3: the authentication password, then the privacy one) as
// UTF-16LE text, two of them separated by one U+0000, so that a single password is stored just
// as the system's own tools store one.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "secret.h"

namespace vyxserve {

struct StoredCredential {
    std::wstring user;            // empty: the secret is a community
    std::vector<Secret> secrets;  // UTF-8 bytes, in the order stored; at most two
};

enum class CredentialLookup { kFound, kNone, kFailed };

// The credential store's name for the printer at `normalisedUri`: "VYXBIDI:" and the URI.
std::wstring CredentialTarget(const std::string& normalisedUri);

CredentialLookup ReadCredential(const std::string& normalisedUri, StoredCredential& credential);
// Replaces any credential stored for the printer. 0, or the system's error code.
DWORD WriteCredential(const std::string& normalisedUri, const StoredCredential& credential);
// 0, ERROR_NOT_FOUND when there was none, or the system's error code.
DWORD DeleteCredential(const std::string& normalisedUri);

}  // namespace vyxserve
