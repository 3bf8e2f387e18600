// SNMP version 3 messages with the User-based Security Model: the header, the security
// parameters and the scoped PDU, plain or still encrypted. Like the community messages, decoding
// is a pure function over a byte span that checks every length before it uses it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "message.h"

namespace vyxsnmp {

namespace msg_flags {
constexpr std::uint8_t kAuth = 0x01;
constexpr std::uint8_t kPriv = 0x02;
constexpr std::uint8_t kReportable = 0x04;
}  // namespace msg_flags

constexpr std::int32_t kUsmSecurityModel = 3;
constexpr std::size_t kMaxEngineId = 32;     // an SnmpEngineID holds 5 to 32 bytes
constexpr std::size_t kMaxAdminString = 32;  // user and context names

struct UsmParameters {
    std::string engineId;
    std::uint32_t boots = 0;
    std::uint32_t time = 0;
    std::string userName;
    std::string authParams;
    std::string privParams;
};

struct ScopedPdu {
    std::string contextEngineId;
    std::string contextName;
    Pdu pdu;
};

struct V3Message {
    std::int32_t msgId = 0;
    std::int32_t maxSize = 65507;  // the largest UDP payload
    std::uint8_t flags = 0;
    std::int32_t securityModel = kUsmSecurityModel;
    UsmParameters usm;
    ScopedPdu scoped;       // without kPriv
    std::string encrypted;  // with kPriv: the encrypted scoped PDU
    // Decoded messages: where the authentication parameters' bytes lie in the datagram.
    std::size_t authOffset = 0;
};

Bytes EncodeScopedPdu(const ScopedPdu& scoped);
// Bytes after the scoped PDU are a cipher's padding when `padded`, else malformed.
DecodeStatus DecodeScopedPdu(ByteView bytes, bool padded, const DecodeLimits& limits,
                             ScopedPdu& scoped);

// The message as one datagram; `authOffset`, when given, gets where its authentication
// parameters lie, so that the MAC can be written in.
Bytes EncodeV3Message(const V3Message& message, std::size_t* authOffset = nullptr);
// Decodes the header and security parameters, and the scoped PDU unless it is encrypted.
DecodeStatus DecodeV3Message(const std::uint8_t* data, std::size_t size, const DecodeLimits& limits,
                             V3Message& message);

}  // namespace vyxsnmp
