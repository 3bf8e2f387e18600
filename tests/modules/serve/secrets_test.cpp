// The secret and trust stores under wine: credentials and pins round trip, the credential's
// exact bytes as the system keeps them, one written by another tool read, and what is refused.
// Every test names printers of its own (this process's id in the host), so that the programs
// sharing the prefix never meet, and removes what it stored. No assertion prints a secret.
#include <gtest/gtest.h>

#include <windows.h>
#include <wincred.h>

#include <string>
#include <vector>

#include "credentials.h"
#include "support/store_cleanup.h"
#include "trust_rule.h"
#include "trust_store.h"

namespace {

using vyxserve::CredentialLookup;
using vyxserve::Secret;
using vyxserve::StoredCredential;

// A printer URI no other test or process uses.
std::string UniqueUri(const std::string& scheme, const char* test) {
    return scheme + "://secrets-" + std::to_string(GetCurrentProcessId()) + "-" + test +
           (scheme == "snmp" ? ".test:161" : ".test:631/ipp/print");
}

std::string Origin(const char* test) {
    return "ipps://secrets-" + std::to_string(GetCurrentProcessId()) + "-" + test + ".test:631";
}

Secret Text(const std::string& utf8) {
    return Secret(utf8.data(), utf8.size());
}

bool Holds(const Secret& secret, const std::string& utf8) {
    return secret.size() == utf8.size() &&
           std::string(reinterpret_cast<const char*>(secret.data()), secret.size()) == utf8;
}

// The secret blob as the system keeps it, read without our store.
std::vector<BYTE> RawBlob(const std::string& uri, std::wstring* user = nullptr,
                          DWORD* persist = nullptr) {
    PCREDENTIALW found = nullptr;
    const std::wstring target = vyxserve::CredentialTarget(uri);
    if (!CredReadW(target.c_str(), CRED_TYPE_GENERIC, 0, &found)) {
        ADD_FAILURE() << "CredReadW: " << GetLastError();
        return {};
    }
    std::vector<BYTE> blob(found->CredentialBlob, found->CredentialBlob + found->CredentialBlobSize);
    if (user) {
        *user = found->UserName ? found->UserName : L"(null)";
    }
    if (persist) {
        *persist = found->Persist;
    }
    CredFree(found);
    return blob;
}

std::vector<BYTE> Utf16Bytes(const std::wstring& text) {
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text.data());
    return std::vector<BYTE>(bytes, bytes + text.size() * sizeof(wchar_t));
}

// A credential as another tool writes it: straight through CredWriteW.
void WriteRaw(const std::string& uri, const wchar_t* user, const std::vector<BYTE>& blob) {
    const std::wstring target = vyxserve::CredentialTarget(uri);
    CREDENTIALW credential{};
    credential.Type = CRED_TYPE_GENERIC;
    credential.TargetName = const_cast<wchar_t*>(target.c_str());
    credential.UserName = const_cast<wchar_t*>(user);
    credential.CredentialBlobSize = static_cast<DWORD>(blob.size());
    credential.CredentialBlob = const_cast<BYTE*>(blob.data());
    credential.Persist = CRED_PERSIST_LOCAL_MACHINE;
    ASSERT_TRUE(CredWriteW(&credential, 0)) << GetLastError();
}

TEST(CredentialStore, TheTargetNameIsThePrefixAndTheUri) {
    EXPECT_EQ(vyxserve::CredentialTarget("snmp://printer.example:161"),
              L"VYXBIDI:snmp://printer.example:161");
    EXPECT_EQ(vyxserve::CredentialTarget("ipps://printer.example:631/ipp/print"),
              L"VYXBIDI:ipps://printer.example:631/ipp/print");
}

TEST(CredentialStore, TwoPasswordsRoundTripAndAreJoinedByOneNul) {
    const CredentialCleanup cleanup{UniqueUri("snmp", "two")};
    StoredCredential written;
    written.user = L"operator";
    written.secrets.push_back(Text("authentication-pass"));
    written.secrets.push_back(Text("privacy-pass"));
    ASSERT_EQ(vyxserve::WriteCredential(cleanup.uri, written), 0u);

    StoredCredential read;
    ASSERT_EQ(vyxserve::ReadCredential(cleanup.uri, read), CredentialLookup::kFound);
    EXPECT_EQ(read.user, L"operator");
    ASSERT_EQ(read.secrets.size(), 2u);
    EXPECT_TRUE(Holds(read.secrets[0], "authentication-pass"));
    EXPECT_TRUE(Holds(read.secrets[1], "privacy-pass"));

    std::wstring user;
    DWORD persist = 0;
    const std::vector<BYTE> blob = RawBlob(cleanup.uri, &user, &persist);
    EXPECT_TRUE(blob == Utf16Bytes(std::wstring(L"authentication-pass") + L'\0' + L"privacy-pass"))
        << "the blob is not the two passwords in UTF-16LE joined by one U+0000";
    EXPECT_EQ(user, L"operator");
    EXPECT_EQ(persist, static_cast<DWORD>(CRED_PERSIST_LOCAL_MACHINE));
}

TEST(CredentialStore, OnePasswordIsPlainUtf16WithoutTerminator) {
    const CredentialCleanup cleanup{UniqueUri("ipps", "one")};
    StoredCredential written;
    written.user = L"alice";
    written.secrets.push_back(Text("s3cret"));
    ASSERT_EQ(vyxserve::WriteCredential(cleanup.uri, written), 0u);
    EXPECT_TRUE(RawBlob(cleanup.uri) == Utf16Bytes(L"s3cret"))
        << "one password is not stored as plain UTF-16LE";
    StoredCredential read;
    ASSERT_EQ(vyxserve::ReadCredential(cleanup.uri, read), CredentialLookup::kFound);
    ASSERT_EQ(read.secrets.size(), 1u);
    EXPECT_TRUE(Holds(read.secrets[0], "s3cret"));
}

TEST(CredentialStore, ACommunityHasNoUserName) {
    const CredentialCleanup cleanup{UniqueUri("snmp", "community")};
    StoredCredential written;
    written.secrets.push_back(Text("colour-mfp"));
    ASSERT_EQ(vyxserve::WriteCredential(cleanup.uri, written), 0u);
    std::wstring user;
    RawBlob(cleanup.uri, &user);
    EXPECT_EQ(user, L"(null)");
    StoredCredential read;
    read.user = L"left over";
    ASSERT_EQ(vyxserve::ReadCredential(cleanup.uri, read), CredentialLookup::kFound);
    EXPECT_EQ(read.user, L"");
    ASSERT_EQ(read.secrets.size(), 1u);
    EXPECT_TRUE(Holds(read.secrets[0], "colour-mfp"));
}

TEST(CredentialStore, NonAsciiPasswordsAreUtf8InAndUtf16Stored) {
    const CredentialCleanup cleanup{UniqueUri("snmp", "nonascii")};
    // "pässwörd", "秘密の鍵" and U+1F511 (a surrogate pair in UTF-16).
    const std::string first = "p\xC3\xA4sswo\xCC\x88rd";
    const std::string second = "\xE7\xA7\x98\xE5\xAF\x86\xE3\x81\xAE\xE9\x8D\xB5\xF0\x9F\x94\x91";
    StoredCredential written;
    written.user = L"\x00FC" L"ser";  // "üser"
    written.secrets.push_back(Text(first));
    written.secrets.push_back(Text(second));
    ASSERT_EQ(vyxserve::WriteCredential(cleanup.uri, written), 0u);
    const std::wstring expected = std::wstring(L"p\x00E4sswo\x0308rd") + L'\0' +
                                  L"\x79D8\x5BC6\x306E\x9375\xD83D\xDD11";
    EXPECT_TRUE(RawBlob(cleanup.uri) == Utf16Bytes(expected)) << "the UTF-16 form differs";
    StoredCredential read;
    ASSERT_EQ(vyxserve::ReadCredential(cleanup.uri, read), CredentialLookup::kFound);
    EXPECT_EQ(read.user, L"\x00FC" L"ser");
    ASSERT_EQ(read.secrets.size(), 2u);
    EXPECT_TRUE(Holds(read.secrets[0], first));
    EXPECT_TRUE(Holds(read.secrets[1], second));
}

TEST(CredentialStore, OneWrittenByAnotherToolIsRead) {
    const CredentialCleanup cleanup{UniqueUri("ipps", "othertool")};
    const struct {
        const char* what;
        std::wstring blob;
        std::vector<std::string> secrets;
    } cases[] = {
        {"plain", L"w\x00F6rter", {"w\xC3\xB6rter"}},
        {"with a terminator", std::wstring(L"pass") + L'\0', {"pass"}},
        {"two", std::wstring(L"auth") + L'\0' + L"priv", {"auth", "priv"}},
        {"two with a terminator", std::wstring(L"auth") + L'\0' + L"priv" + L'\0',
         {"auth", "priv"}},
        {"empty", L"", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteRaw(cleanup.uri, L"bob", Utf16Bytes(c.blob));
        StoredCredential read;
        ASSERT_EQ(vyxserve::ReadCredential(cleanup.uri, read), CredentialLookup::kFound);
        EXPECT_EQ(read.user, L"bob");
        ASSERT_EQ(read.secrets.size(), c.secrets.size());
        for (std::size_t i = 0; i < c.secrets.size(); ++i) {
            EXPECT_TRUE(Holds(read.secrets[i], c.secrets[i])) << "secret " << i << " differs";
        }
    }
}

TEST(CredentialStore, ABlobThatHoldsNoSecretsIsAFailure) {
    const CredentialCleanup cleanup{UniqueUri("snmp", "badblob")};
    const struct {
        const char* what;
        std::vector<BYTE> blob;
    } cases[] = {
        {"odd size", {'a', 0, 'b'}},
        {"unpaired high surrogate", Utf16Bytes(L"a\xD800")},
        {"unpaired low surrogate", Utf16Bytes(L"\xDC00" L"a")},
        {"three secrets", Utf16Bytes(std::wstring(L"a") + L'\0' + L"b" + L'\0' + L"c")},
        {"an empty first secret", Utf16Bytes(std::wstring(1, L'\0') + L"b")},
        {"only separators", Utf16Bytes(std::wstring(2, L'\0'))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteRaw(cleanup.uri, L"bob", c.blob);
        StoredCredential read;
        EXPECT_EQ(vyxserve::ReadCredential(cleanup.uri, read), CredentialLookup::kFailed);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
        EXPECT_TRUE(read.secrets.empty());
    }
}

TEST(CredentialStore, WhatCannotBeStoredIsRefusedAndLeavesTheOldOne) {
    const CredentialCleanup cleanup{UniqueUri("snmp", "refused")};
    StoredCredential good;
    good.user = L"keep";
    good.secrets.push_back(Text("kept"));
    ASSERT_EQ(vyxserve::WriteCredential(cleanup.uri, good), 0u);
    const std::vector<std::vector<std::string>> refused = {
        {"a", "b", "c"},
        {""},
        {"a", ""},
        {std::string("a\0b", 3)},
        {"\xFF"},
        {"\xC0\x80"},
        {"\xED\xA0\x80"},
        {"\xE2\x82"},
        {"\xF4\x90\x80\x80"},
        {std::string(1281, 'x')},
        {std::string(640, 'x'), std::string(640, 'y')},
    };
    for (std::size_t k = 0; k < refused.size(); ++k) {
        SCOPED_TRACE(k);
        StoredCredential bad;
        bad.user = L"bad";
        for (const std::string& s : refused[k]) {
            bad.secrets.push_back(Text(s));
        }
        EXPECT_EQ(vyxserve::WriteCredential(cleanup.uri, bad),
                  static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
    StoredCredential read;
    ASSERT_EQ(vyxserve::ReadCredential(cleanup.uri, read), CredentialLookup::kFound);
    EXPECT_EQ(read.user, L"keep");
    ASSERT_EQ(read.secrets.size(), 1u);
    EXPECT_TRUE(Holds(read.secrets[0], "kept"));

    // The most the store takes: 1280 UTF-16 units with the separator.
    StoredCredential largest;
    largest.user = L"large";
    largest.secrets.push_back(Text(std::string(640, 'x')));
    largest.secrets.push_back(Text(std::string(639, 'y')));
    EXPECT_EQ(vyxserve::WriteCredential(cleanup.uri, largest), 0u);
}

TEST(CredentialStore, AWriteReplacesAndADeleteRemoves) {
    const CredentialCleanup cleanup{UniqueUri("snmp", "replace")};
    StoredCredential read;
    EXPECT_EQ(vyxserve::ReadCredential(cleanup.uri, read), CredentialLookup::kNone);
    EXPECT_EQ(vyxserve::DeleteCredential(cleanup.uri), static_cast<DWORD>(ERROR_NOT_FOUND));

    StoredCredential first;
    first.user = L"one";
    first.secrets.push_back(Text("first-auth"));
    first.secrets.push_back(Text("first-priv"));
    ASSERT_EQ(vyxserve::WriteCredential(cleanup.uri, first), 0u);
    StoredCredential second;
    second.user = L"two";
    second.secrets.push_back(Text("second-auth"));
    ASSERT_EQ(vyxserve::WriteCredential(cleanup.uri, second), 0u);
    ASSERT_EQ(vyxserve::ReadCredential(cleanup.uri, read), CredentialLookup::kFound);
    EXPECT_EQ(read.user, L"two");
    ASSERT_EQ(read.secrets.size(), 1u);
    EXPECT_TRUE(Holds(read.secrets[0], "second-auth"));

    // A user alone (no secret): an SNMPv3 user without authentication.
    StoredCredential userOnly;
    userOnly.user = L"noauth";
    ASSERT_EQ(vyxserve::WriteCredential(cleanup.uri, userOnly), 0u);
    ASSERT_EQ(vyxserve::ReadCredential(cleanup.uri, read), CredentialLookup::kFound);
    EXPECT_EQ(read.user, L"noauth");
    EXPECT_TRUE(read.secrets.empty());

    EXPECT_EQ(vyxserve::DeleteCredential(cleanup.uri), 0u);
    EXPECT_EQ(vyxserve::ReadCredential(cleanup.uri, read), CredentialLookup::kNone);
    EXPECT_EQ(vyxserve::DeleteCredential(cleanup.uri), static_cast<DWORD>(ERROR_NOT_FOUND));
}

TEST(CredentialStore, PrintersAndProtocolsHaveCredentialsOfTheirOwn) {
    const CredentialCleanup snmp{UniqueUri("snmp", "apart")};
    const CredentialCleanup ipps{UniqueUri("ipps", "apart")};
    StoredCredential community;
    community.secrets.push_back(Text("public-ish"));
    ASSERT_EQ(vyxserve::WriteCredential(snmp.uri, community), 0u);
    StoredCredential read;
    EXPECT_EQ(vyxserve::ReadCredential(ipps.uri, read), CredentialLookup::kNone);
    EXPECT_EQ(vyxserve::DeleteCredential(ipps.uri), static_cast<DWORD>(ERROR_NOT_FOUND));
    EXPECT_EQ(vyxserve::ReadCredential(snmp.uri, read), CredentialLookup::kFound);
}

// ---- Certificate pins ------------------------------------------------------------------------

const char kFingerprint[] = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
const char kOther[] = "fedcba9876543210fedcba9876543210fedcba9876543210fedcba9876543210";

std::wstring RegistryText(const wchar_t* key, const std::string& printer) {
    const std::wstring name(printer.begin(), printer.end());
    wchar_t value[256] = {};
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, key, name.c_str(), RRF_RT_REG_SZ, nullptr, value, &size) !=
        ERROR_SUCCESS) {
        return L"(none)";
    }
    return value;
}

void SetRegistryText(const wchar_t* key, const std::string& printer, const std::wstring& text) {
    HKEY opened = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              &opened, nullptr),
              ERROR_SUCCESS);
    const std::wstring name(printer.begin(), printer.end());
    RegSetValueExW(opened, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(opened);
}

TEST(TrustStore, PinAndOfferedRoundTripWhereTheHeaderSays) {
    const PinCleanup cleanup{Origin("roundtrip")};
    EXPECT_EQ(vyxserve::ReadPin(cleanup.printer), "");
    EXPECT_EQ(vyxserve::ReadOffered(cleanup.printer), "");
    const std::string upper = "0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF";
    ASSERT_EQ(vyxserve::WritePin(cleanup.printer, upper), 0u);
    EXPECT_EQ(vyxserve::ReadPin(cleanup.printer), kFingerprint);
    EXPECT_EQ(RegistryText(L"Software\\VYXBIDI\\Trust", cleanup.printer),
              std::wstring(kFingerprint, kFingerprint + 64));
    EXPECT_EQ(vyxserve::ReadOffered(cleanup.printer), "");

    ASSERT_EQ(vyxserve::WriteOffered(cleanup.printer, kOther), 0u);
    EXPECT_EQ(vyxserve::ReadOffered(cleanup.printer), kOther);
    EXPECT_EQ(RegistryText(L"Software\\VYXBIDI\\Trust\\Offered", cleanup.printer),
              std::wstring(kOther, kOther + 64));
    EXPECT_EQ(vyxserve::ReadPin(cleanup.printer), kFingerprint);

    ASSERT_EQ(vyxserve::WritePin(cleanup.printer, kOther), 0u);
    EXPECT_EQ(vyxserve::ReadPin(cleanup.printer), kOther);
}

TEST(TrustStore, ForgetRemovesThePinAndTheOfferedOne) {
    const PinCleanup cleanup{Origin("forget")};
    const std::string neighbour = Origin("forget-neighbour");
    const PinCleanup neighbourCleanup{neighbour};
    ASSERT_EQ(vyxserve::WritePin(cleanup.printer, kFingerprint), 0u);
    ASSERT_EQ(vyxserve::WriteOffered(cleanup.printer, kOther), 0u);
    ASSERT_EQ(vyxserve::WritePin(neighbour, kOther), 0u);
    EXPECT_EQ(vyxserve::ForgetPin(cleanup.printer), 0u);
    EXPECT_EQ(vyxserve::ReadPin(cleanup.printer), "");
    EXPECT_EQ(vyxserve::ReadOffered(cleanup.printer), "");
    EXPECT_EQ(RegistryText(L"Software\\VYXBIDI\\Trust", cleanup.printer), L"(none)");
    EXPECT_EQ(vyxserve::ReadPin(neighbour), kOther);
    EXPECT_EQ(vyxserve::ForgetPin(cleanup.printer), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    // An offered fingerprint without a pin goes too, and there was no pin.
    ASSERT_EQ(vyxserve::WriteOffered(cleanup.printer, kOther), 0u);
    EXPECT_EQ(vyxserve::ForgetPin(cleanup.printer), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(vyxserve::ReadOffered(cleanup.printer), "");
}

TEST(TrustStore, APinWrittenByHandIsReadAndAnythingElseIsNone) {
    const PinCleanup cleanup{Origin("byhand")};
    SetRegistryText(L"Software\\VYXBIDI\\Trust", cleanup.printer,
                    std::wstring(kOther, kOther + 64));
    EXPECT_EQ(vyxserve::ReadPin(cleanup.printer), kOther);
    for (const std::wstring& text :
         {std::wstring(L"not a fingerprint"), std::wstring(63, L'a'), std::wstring(65, L'a'),
          std::wstring(63, L'a') + L"g", std::wstring(300, L'a')}) {
        SetRegistryText(L"Software\\VYXBIDI\\Trust", cleanup.printer, text);
        EXPECT_EQ(vyxserve::ReadPin(cleanup.printer), "");
    }
}

TEST(TrustStore, AFingerprintThatIsNoneIsRefused) {
    const PinCleanup cleanup{Origin("refused")};
    for (const std::string& bad : {std::string(""), std::string(63, 'a'), std::string(65, 'a'),
                                   std::string(63, 'a') + "z", std::string(64, ' ')}) {
        EXPECT_EQ(vyxserve::WritePin(cleanup.printer, bad),
                  static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        EXPECT_EQ(vyxserve::WriteOffered(cleanup.printer, bad),
                  static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
    EXPECT_EQ(vyxserve::WritePin("", kFingerprint), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(vyxserve::ReadPin(cleanup.printer), "");
}

// Asking whether a certificate is the pinned one answers as the rule would take it, and neither
// pins on first use nor notes another as offered.
TEST(TrustRule, AskingWhetherACertificateIsPinnedChangesNothing) {
    const PinCleanup cleanup{Origin("ispinned")};
    EXPECT_FALSE(vyxserve::HasPin(cleanup.printer));
    EXPECT_FALSE(vyxserve::IsPinned(cleanup.printer, kFingerprint));
    EXPECT_EQ(vyxserve::ReadPin(cleanup.printer), "");
    ASSERT_EQ(vyxserve::WritePin(cleanup.printer, kFingerprint), 0u);
    EXPECT_TRUE(vyxserve::HasPin(cleanup.printer));
    EXPECT_TRUE(vyxserve::IsPinned(cleanup.printer, kFingerprint));
    EXPECT_FALSE(vyxserve::IsPinned(cleanup.printer, kOther));
    EXPECT_FALSE(vyxserve::IsPinned(cleanup.printer, ""));
    EXPECT_EQ(vyxserve::ReadOffered(cleanup.printer), "");
    EXPECT_EQ(vyxserve::JudgeCertificate(cleanup.printer, kFingerprint, false),
              vyxserve::CertificateVerdict::kTaken);
}

}  // namespace
