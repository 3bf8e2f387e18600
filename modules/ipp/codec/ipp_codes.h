// Result codes of the IPP query module, besides the codes every module shares (0, 1 and
// 0x2001-0x200F, which the server answers). Portable, so the codec and mapping can name them.
#pragma once

#include <cstdint>

namespace vyxipp {

constexpr std::int32_t kBadPrinterUri = 0x2101;  // the first connection string is no printer URI
constexpr std::int32_t kBadOption = 0x2102;      // the second connection string has a bad option
constexpr std::int32_t kUnreachable = 0x2103;    // no such host, connection refused or reset
constexpr std::int32_t kTimedOut = 0x2104;       // the printer did not answer within the timeout
constexpr std::int32_t kTlsFailed = 0x2105;      // no secure connection, or its certificate refused
constexpr std::int32_t kMalformedReply = 0x2106;      // the reply is not a well-formed IPP message
constexpr std::int32_t kReplyTooLarge = 0x2107;       // the reply is larger than the module accepts
constexpr std::int32_t kWrongReply = 0x2108;          // the reply answers another request
constexpr std::int32_t kNotSupported = 0x2109;        // the printer does not support the operation
constexpr std::int32_t kTransportFailed = 0x210A;     // any other failure of the HTTP exchange
constexpr std::int32_t kAuthNeedsTls = 0x210B;        // a password is asked for over ipp://
constexpr std::int32_t kNoCredential = 0x210C;        // a password is asked for and none is stored
constexpr std::int32_t kAuthRefused = 0x210D;         // the printer refused the stored credential
constexpr std::int32_t kAuthUnsupported = 0x210E;     // it asks for another scheme than Basic
constexpr std::int32_t kCertificateChanged = 0x210F;  // unvalidated, and not the pinned one

// An HTTP status other than 200, and an IPP error status, carried in the code.
constexpr std::int32_t kHttpStatusBase = 0x30000;
constexpr std::int32_t kIppStatusBase = 0x40000;

}  // namespace vyxipp
