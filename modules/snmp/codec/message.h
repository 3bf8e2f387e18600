// SNMP messages of versions 1 and 2c (community-based), and the PDUs that version 3 carries too:
// the requests this module sends and the responses it reads. Decoding is a pure function over a
// byte span with explicit limits, so that every answer from the network, however malformed, ends in
// a status and never in a read past the datagram.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ber.h"
#include "oid.h"

namespace vyxsnmp {

enum class Version : std::int32_t { kV1 = 0, kV2c = 1, kV3 = 3 };

namespace tag {
constexpr std::uint8_t kInteger = 0x02;
constexpr std::uint8_t kOctetString = 0x04;
constexpr std::uint8_t kNull = 0x05;
constexpr std::uint8_t kOid = 0x06;
constexpr std::uint8_t kSequence = 0x30;
constexpr std::uint8_t kIpAddress = 0x40;
constexpr std::uint8_t kCounter32 = 0x41;
constexpr std::uint8_t kGauge32 = 0x42;
constexpr std::uint8_t kTimeTicks = 0x43;
constexpr std::uint8_t kOpaque = 0x44;
constexpr std::uint8_t kCounter64 = 0x46;
constexpr std::uint8_t kNoSuchObject = 0x80;
constexpr std::uint8_t kNoSuchInstance = 0x81;
constexpr std::uint8_t kEndOfMibView = 0x82;
constexpr std::uint8_t kGetRequest = 0xA0;
constexpr std::uint8_t kGetNextRequest = 0xA1;
constexpr std::uint8_t kResponse = 0xA2;
constexpr std::uint8_t kSetRequest = 0xA3;
constexpr std::uint8_t kGetBulkRequest = 0xA5;
constexpr std::uint8_t kReport = 0xA8;
}  // namespace tag

// error-status values of a response (RFC 3416, and RFC 1157 for the first six).
namespace error_status {
constexpr std::int32_t kNoError = 0;
constexpr std::int32_t kTooBig = 1;
constexpr std::int32_t kNoSuchName = 2;
constexpr std::int32_t kGenErr = 5;
}  // namespace error_status

// One value of a variable binding. `type` is its BER tag; integers and the unsigned
// application types are in `number` (Counter64 as its bit pattern), octet strings, IP
// addresses and opaque values in `bytes`, object identifiers in `oid`.
struct Value {
    std::uint8_t type = tag::kNull;
    std::int64_t number = 0;
    std::string bytes;
    Oid oid;

    bool IsException() const {
        return type == tag::kNoSuchObject || type == tag::kNoSuchInstance ||
               type == tag::kEndOfMibView;
    }
    static Value Integer(std::int64_t n) {
        Value v;
        v.type = tag::kInteger;
        v.number = n;
        return v;
    }
    static Value Text(std::string s) {
        Value v;
        v.type = tag::kOctetString;
        v.bytes = std::move(s);
        return v;
    }
};

struct VarBind {
    Oid name;
    Value value;
};

// A PDU. For GetBulk, errorStatus and errorIndex carry non-repeaters and max-repetitions.
struct Pdu {
    std::uint8_t type = tag::kGetRequest;
    std::int32_t requestId = 0;
    std::int32_t errorStatus = 0;
    std::int32_t errorIndex = 0;
    std::vector<VarBind> varBinds;
};

struct Message {
    Version version = Version::kV2c;
    std::string community;
    Pdu pdu;
};

// Bounds on what one decoded message may hold; anything beyond them is refused.
struct DecodeLimits {
    std::size_t maxMessage = 65535;  // bytes: no UDP datagram is larger
    std::size_t maxVarBinds = 2048;
    std::size_t maxOidParts = 128;  // RFC 2578's limit on sub-identifiers
};

enum class DecodeStatus {
    kOk,
    kTooLarge,    // the datagram or a count within it exceeds the limits
    kMalformed,   // not well-formed BER in the shape of an SNMP message
    kBadVersion,  // a version this module does not speak
};

const char* ToString(DecodeStatus status);

// A PDU as one TLV, appended to `out`; values are encoded by their type.
void EncodePdu(BerWriter& out, const Pdu& pdu);
// The PDU of tag `type` (any but the version 1 trap) whose content is `content`.
DecodeStatus DecodePdu(std::uint8_t type, ByteView content, const DecodeLimits& limits, Pdu& pdu);
// An INTEGER that fits 32 bits.
DecodeStatus DecodeInteger32(BerReader& reader, std::int32_t& value);
// The start of a message of any version: its whole SEQUENCE, within the limits, and its version
// number; `fields` then reads on after the version.
DecodeStatus OpenMessage(const std::uint8_t* data, std::size_t size, const DecodeLimits& limits,
                         BerReader& fields, std::int32_t& version);

// The message as one datagram; values are encoded by their type.
Bytes EncodeMessage(const Message& message);

// Decodes one datagram of `size` bytes at `data`, of any PDU type but the version 1 trap (the
// caller checks the type it expects). On kOk `message` holds it; otherwise
// `message` is left in an unspecified but valid state.
DecodeStatus DecodeMessage(const std::uint8_t* data, std::size_t size, const DecodeLimits& limits,
                           Message& message);

}  // namespace vyxsnmp
