// Basic authentication with the printer's stored credential, its secret only in wiped memory.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "credentials.h"

namespace vyxipp::http {

// Text that holds a secret, wiped when it goes; its room is reserved once, so that growing it
// never leaves a copy behind.
template <typename Unit>
class WipedText {
  public:
    explicit WipedText(std::size_t room) { units_.reserve(room); }
    ~WipedText() { SecureZeroMemory(units_.data(), units_.capacity() * sizeof(Unit)); }
    WipedText(const WipedText&) = delete;
    WipedText& operator=(const WipedText&) = delete;
    void Append(const Unit* units, std::size_t count) {
        for (std::size_t i = 0; i < count && units_.size() < units_.capacity(); ++i) {
            units_.push_back(units[i]);
        }
    }
    const Unit* data() const { return units_.data(); }
    std::size_t size() const { return units_.size(); }

  private:
    std::vector<Unit> units_;
};

// 0 with the credential stored as `credentialName`; kNoCredential when there is none or it
// holds no secret, kTransportFailed when the store cannot be read.
std::int32_t LoadCredential(const std::string& credentialName,
                            vyxserve::StoredCredential& credential);

// "Authorization: Basic ..." for the credential's user and first secret (UTF-8, RFC 7617), as
// the request's one added header line.
void BasicAuthorization(const vyxserve::StoredCredential& credential, WipedText<wchar_t>& line);

// How many characters BasicAuthorization writes for `credential`, at most.
std::size_t BasicAuthorizationRoom(const vyxserve::StoredCredential& credential);

}  // namespace vyxipp::http
