// Secrets for a printer, kept where Windows programs keep them: one generic credential of the
// current user in the Windows credential store per printer and protocol, named "VYXBIDI:" and
// the connection's normalised URI (each module says how it normalises its own:
// vyxsnmp::NormalisedUri, vyxipp::NormalisedUri). The credential's user name is the SNMPv3 or
// IPP user, or empty (no user name) for an SNMP community; its secret holds one or two secrets
// (SNMPv3: the authentication password, then the privacy one) as UTF-16LE text without a
// terminator, two of them separated by one U+0000, so that a single password is stored just as
// the system's own tools store one. Reading also takes one U+0000 at the very end as a
// terminator that some programs store. Persisted for the local machine (CRED_PERSIST_LOCAL_MACHINE:
// the user's credential, kept across log-ons, not roamed). Needs advapi32: link vyxserve_secrets.
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

constexpr std::size_t kMaxSecrets = 2;
// The most a credential's secret holds (CRED_MAX_CREDENTIAL_BLOB_SIZE): 1280 UTF-16 units with
// the separator.
constexpr std::size_t kMaxSecretBlobBytes = 5 * 512;

// The credential store's name for the printer at `normalisedUri`: "VYXBIDI:" and the URI.
std::wstring CredentialTarget(const std::string& normalisedUri);

// kFound fills `credential`; kNone when the printer has none; kFailed, with GetLastError() set,
// when the store fails or the secret stored is not one or two secrets of UTF-16 text
// (ERROR_INVALID_DATA: an odd size, an unpaired surrogate, an empty secret, a third one).
// Every copy of the secret bytes but the ones handed over is wiped.
CredentialLookup ReadCredential(const std::string& normalisedUri, StoredCredential& credential);
// Replaces any credential stored for the printer. 0, ERROR_INVALID_PARAMETER for more than two
// secrets, an empty one, one that is not UTF-8 or holds U+0000, or more than
// kMaxSecretBlobBytes in all; or the system's error code. No secret at all stores the user alone.
DWORD WriteCredential(const std::string& normalisedUri, const StoredCredential& credential);
// 0, ERROR_NOT_FOUND when there was none, or the system's error code.
DWORD DeleteCredential(const std::string& normalisedUri);

}  // namespace vyxserve
