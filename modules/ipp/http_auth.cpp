// Basic authentication (RFC 7617) with the printer's stored credential.
#include "http_auth.h"

#include "code_page_text.h"
#include "ipp_codes.h"

namespace vyxipp::http {

std::int32_t LoadCredential(const std::string& credentialName,
                            vyxserve::StoredCredential& credential) {
    switch (vyxserve::ReadCredential(credentialName, credential)) {
        case vyxserve::CredentialLookup::kFound:
            return credential.secrets.empty() ? kNoCredential : 0;
        case vyxserve::CredentialLookup::kNone:
            return kNoCredential;
        case vyxserve::CredentialLookup::kFailed:
            break;
    }
    return kTransportFailed;
}

void BasicAuthorization(const vyxserve::StoredCredential& credential, WipedText<wchar_t>& line) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::string user = vyxtext::Encode(CP_UTF8, credential.user);
    const vyxserve::Secret& password = credential.secrets.at(0);
    WipedText<std::uint8_t> pair(user.size() + 1 + password.size());
    pair.Append(reinterpret_cast<const std::uint8_t*>(user.data()), user.size());
    const std::uint8_t colon = ':';
    pair.Append(&colon, 1);
    pair.Append(password.data(), password.size());
    const wchar_t prefix[] = L"Authorization: Basic ";
    line.Append(prefix, sizeof prefix / sizeof prefix[0] - 1);
    for (std::size_t i = 0; i < pair.size(); i += 3) {
        const std::size_t n = pair.size() - i < 3 ? pair.size() - i : 3;
        const std::uint32_t group = (pair.data()[i] << 16) | (n > 1 ? pair.data()[i + 1] << 8 : 0) |
                                    (n > 2 ? pair.data()[i + 2] : 0);
        const wchar_t quad[4] = {static_cast<wchar_t>(kAlphabet[(group >> 18) & 63]),
                                 static_cast<wchar_t>(kAlphabet[(group >> 12) & 63]),
                                 static_cast<wchar_t>(n > 1 ? kAlphabet[(group >> 6) & 63] : '='),
                                 static_cast<wchar_t>(n > 2 ? kAlphabet[group & 63] : '=')};
        line.Append(quad, 4);
    }
    const wchar_t end[] = L"\r\n";
    line.Append(end, 3);  // and its terminating zero
}

std::size_t BasicAuthorizationRoom(const vyxserve::StoredCredential& credential) {
    const std::size_t pair = vyxtext::Encode(CP_UTF8, credential.user).size() + 1 + credential.secrets.at(0).size();
    return 32 + (pair + 2) / 3 * 4;
}

}  // namespace vyxipp::http
