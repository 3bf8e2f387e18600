// The credential store through CredReadW/CredWriteW/CredDeleteW: generic credentials of the
// current user. Every buffer that holds a secret, ours or the system's, is wiped before it goes;
// the conversions between UTF-8 and UTF-16 are our own so that they write only into buffers we
// wipe, and so that a byte sequence that is no text is refused rather than replaced.
#include "credentials.h"

#include <wincred.h>

#include <cstdint>

#include "code_page_text.h"

namespace vyxserve {
namespace {

// A buffer of secret units, wiped when it goes. Its room is reserved once, before anything is
// put in it, so that no reallocation leaves a copy behind.
template <typename Unit>
class WipedBuffer {
  public:
    explicit WipedBuffer(std::size_t room) { units_.reserve(room); }
    ~WipedBuffer() {
        if (!units_.empty()) {
            SecureZeroMemory(units_.data(), units_.size() * sizeof(Unit));
        }
    }
    WipedBuffer(const WipedBuffer&) = delete;
    WipedBuffer& operator=(const WipedBuffer&) = delete;

    // False when the reserved room would be exceeded.
    bool Push(Unit unit) {
        if (units_.size() == units_.capacity()) {
            return false;
        }
        units_.push_back(unit);
        return true;
    }
    const Unit* data() const { return units_.data(); }
    std::size_t size() const { return units_.size(); }

  private:
    std::vector<Unit> units_;
};

// UTF-8 to UTF-16, strictly: no overlong form, no surrogate code point, nothing past U+10FFFF,
// no U+0000 (the separator of two secrets). False for anything else.
bool AppendUtf16(const Secret& utf8, WipedBuffer<wchar_t>& out) {
    const std::uint8_t* p = utf8.data();
    const std::size_t n = utf8.size();
    for (std::size_t i = 0; i < n;) {
        const std::uint8_t lead = p[i];
        std::uint32_t code = 0;
        std::size_t length = 0;
        std::uint32_t least = 0;
        if (lead < 0x80) {
            code = lead;
            length = 1;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            code = lead & 0x1F;
            length = 2;
            least = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            code = lead & 0x0F;
            length = 3;
            least = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            code = lead & 0x07;
            length = 4;
            least = 0x10000;
        } else {
            return false;
        }
        if (i + length > n) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (p[i + k] & 0x3F);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) || code == 0) {
            return false;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            if (!out.Push(static_cast<wchar_t>(0xD800 + (code >> 10))) ||
                !out.Push(static_cast<wchar_t>(0xDC00 + (code & 0x3FF)))) {
                return false;
            }
        } else if (!out.Push(static_cast<wchar_t>(code))) {
            return false;
        }
        i += length;
    }
    return true;
}

// UTF-16 to UTF-8, strictly: an unpaired surrogate makes it false.
bool ToUtf8(const wchar_t* text, std::size_t count, WipedBuffer<std::uint8_t>& out) {
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t code = static_cast<std::uint16_t>(text[i]);
        if (code >= 0xD800 && code <= 0xDBFF) {
            if (i + 1 >= count) {
                return false;
            }
            const std::uint32_t low = static_cast<std::uint16_t>(text[i + 1]);
            if (low < 0xDC00 || low > 0xDFFF) {
                return false;
            }
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            ++i;
        } else if (code >= 0xDC00 && code <= 0xDFFF) {
            return false;
        }
        bool room = true;
        if (code < 0x80) {
            room = out.Push(static_cast<std::uint8_t>(code));
        } else if (code < 0x800) {
            room = out.Push(static_cast<std::uint8_t>(0xC0 | (code >> 6))) &&
                   out.Push(static_cast<std::uint8_t>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            room = out.Push(static_cast<std::uint8_t>(0xE0 | (code >> 12))) &&
                   out.Push(static_cast<std::uint8_t>(0x80 | ((code >> 6) & 0x3F))) &&
                   out.Push(static_cast<std::uint8_t>(0x80 | (code & 0x3F)));
        } else {
            room = out.Push(static_cast<std::uint8_t>(0xF0 | (code >> 18))) &&
                   out.Push(static_cast<std::uint8_t>(0x80 | ((code >> 12) & 0x3F))) &&
                   out.Push(static_cast<std::uint8_t>(0x80 | ((code >> 6) & 0x3F))) &&
                   out.Push(static_cast<std::uint8_t>(0x80 | (code & 0x3F)));
        }
        if (!room) {
            return false;
        }
    }
    return true;
}

// The blob as secrets: UTF-16LE text; one U+0000 separates two secrets; one U+0000 at the very
// end is a terminator some programs store, and is not a secret of its own.
bool SplitBlob(const BYTE* blob, DWORD size, std::vector<Secret>& secrets) {
    if (size % 2 != 0) {
        return false;
    }
    std::size_t count = size / 2;
    const wchar_t* text = reinterpret_cast<const wchar_t*>(blob);
    if (count > 0 && text[count - 1] == L'\0') {
        --count;
    }
    if (count == 0) {
        return true;
    }
    std::size_t start = 0;
    for (std::size_t i = 0; i <= count; ++i) {
        if (i < count && text[i] != L'\0') {
            continue;
        }
        if (i == start || secrets.size() == kMaxSecrets) {
            return false;  // an empty secret, or a third one
        }
        WipedBuffer<std::uint8_t> utf8((i - start) * 3);
        if (!ToUtf8(text + start, i - start, utf8)) {
            return false;
        }
        secrets.emplace_back(utf8.data(), utf8.size());
        start = i + 1;
    }
    return true;
}

}  // namespace

std::wstring CredentialTarget(const std::string& normalisedUri) {
    return L"VYXBIDI:" + vyxtext::Decode(CP_UTF8, normalisedUri);
}

CredentialLookup ReadCredential(const std::string& normalisedUri, StoredCredential& credential) {
    const std::wstring target = CredentialTarget(normalisedUri);
    PCREDENTIALW found = nullptr;
    if (!CredReadW(target.c_str(), CRED_TYPE_GENERIC, 0, &found)) {
        return GetLastError() == ERROR_NOT_FOUND ? CredentialLookup::kNone
                                                 : CredentialLookup::kFailed;
    }
    StoredCredential read;
    const bool ok = SplitBlob(found->CredentialBlob, found->CredentialBlobSize, read.secrets);
    if (found->UserName) {
        read.user = found->UserName;
    }
    if (found->CredentialBlob && found->CredentialBlobSize > 0) {
        SecureZeroMemory(found->CredentialBlob, found->CredentialBlobSize);
    }
    CredFree(found);
    if (!ok) {
        SetLastError(ERROR_INVALID_DATA);
        return CredentialLookup::kFailed;
    }
    credential = std::move(read);
    return CredentialLookup::kFound;
}

DWORD WriteCredential(const std::string& normalisedUri, const StoredCredential& credential) {
    if (credential.secrets.size() > kMaxSecrets) {
        return ERROR_INVALID_PARAMETER;
    }
    std::size_t room = 0;
    for (const Secret& secret : credential.secrets) {
        if (secret.empty()) {
            return ERROR_INVALID_PARAMETER;
        }
        room += secret.size() + 1;  // a UTF-8 byte gives at most one UTF-16 unit
    }
    WipedBuffer<wchar_t> blob(room);
    for (std::size_t i = 0; i < credential.secrets.size(); ++i) {
        if ((i > 0 && !blob.Push(L'\0')) || !AppendUtf16(credential.secrets[i], blob)) {
            return ERROR_INVALID_PARAMETER;
        }
    }
    if (blob.size() * sizeof(wchar_t) > kMaxSecretBlobBytes) {
        return ERROR_INVALID_PARAMETER;
    }
    const std::wstring target = CredentialTarget(normalisedUri);
    std::wstring user = credential.user;
    CREDENTIALW written{};
    written.Type = CRED_TYPE_GENERIC;
    written.TargetName = const_cast<wchar_t*>(target.c_str());
    written.UserName = user.empty() ? nullptr : user.data();
    written.CredentialBlobSize = static_cast<DWORD>(blob.size() * sizeof(wchar_t));
    written.CredentialBlob =
        blob.size() > 0 ? reinterpret_cast<BYTE*>(const_cast<wchar_t*>(blob.data())) : nullptr;
    written.Persist = CRED_PERSIST_LOCAL_MACHINE;
    return CredWriteW(&written, 0) ? 0 : GetLastError();
}

DWORD DeleteCredential(const std::string& normalisedUri) {
    const std::wstring target = CredentialTarget(normalisedUri);
    return CredDeleteW(target.c_str(), CRED_TYPE_GENERIC, 0) ? 0 : GetLastError();
}

}  // namespace vyxserve
