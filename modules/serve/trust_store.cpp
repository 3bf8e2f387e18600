// The certificate pins in the current user's registry.
#include "trust_store.h"

#include "code_page_text.h"

namespace vyxserve {
namespace {

const wchar_t kTrustKey[] = L"Software\\VYXBIDI\\Trust";
const wchar_t kOfferedKey[] = L"Software\\VYXBIDI\\Trust\\Offered";

// 64 hex digits in either case, lower-cased; empty for anything else.
std::string Fingerprint(const std::wstring& text) {
    if (text.size() != kFingerprintDigits) {
        return {};
    }
    std::string out;
    for (const wchar_t c : text) {
        if (c >= L'0' && c <= L'9') {
            out += static_cast<char>(c);
        } else if (c >= L'a' && c <= L'f') {
            out += static_cast<char>(c);
        } else if (c >= L'A' && c <= L'F') {
            out += static_cast<char>(c - L'A' + L'a');
        } else {
            return {};
        }
    }
    return out;
}

std::string ReadValue(const wchar_t* key, const std::string& printer) {
    if (printer.empty()) {
        return {};
    }
    const std::wstring name = vyxtext::Decode(CP_UTF8, printer);
    wchar_t value[kFingerprintDigits + 8] = {};
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, key, name.c_str(), RRF_RT_REG_SZ, nullptr, value,
                     &size) != ERROR_SUCCESS) {
        return {};  // none, or more than a fingerprint (ERROR_MORE_DATA)
    }
    return Fingerprint(value);
}

DWORD WriteValue(const wchar_t* key, const std::string& printer, const std::string& fingerprint) {
    const std::string digits = Fingerprint(vyxtext::Decode(CP_UTF8, fingerprint));
    if (printer.empty() || digits.empty()) {
        return ERROR_INVALID_PARAMETER;
    }
    HKEY opened = nullptr;
    DWORD status = RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   KEY_SET_VALUE, nullptr, &opened, nullptr);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    const std::wstring name = vyxtext::Decode(CP_UTF8, printer);
    const std::wstring value = vyxtext::Decode(CP_UTF8, digits);
    status = RegSetValueExW(opened, name.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(opened);
    return status;
}

// 0, ERROR_FILE_NOT_FOUND when the key or the value is not there, or the system's error code.
DWORD DeleteValue(const wchar_t* key, const std::string& printer) {
    HKEY opened = nullptr;
    DWORD status = RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_SET_VALUE, &opened);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    const std::wstring name = vyxtext::Decode(CP_UTF8, printer);
    status = RegDeleteValueW(opened, name.c_str());
    RegCloseKey(opened);
    return status;
}

}  // namespace

std::string ReadPin(const std::string& printer) {
    return ReadValue(kTrustKey, printer);
}

DWORD WritePin(const std::string& printer, const std::string& fingerprint) {
    return WriteValue(kTrustKey, printer, fingerprint);
}

std::string ReadOffered(const std::string& printer) {
    return ReadValue(kOfferedKey, printer);
}

DWORD WriteOffered(const std::string& printer, const std::string& fingerprint) {
    return WriteValue(kOfferedKey, printer, fingerprint);
}

DWORD ForgetPin(const std::string& printer) {
    if (printer.empty()) {
        return ERROR_INVALID_PARAMETER;
    }
    const DWORD offered = DeleteValue(kOfferedKey, printer);
    if (offered != ERROR_SUCCESS && offered != ERROR_FILE_NOT_FOUND) {
        return offered;
    }
    return DeleteValue(kTrustKey, printer);
}

}  // namespace vyxserve
