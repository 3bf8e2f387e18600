// The subset of BER (X.690) that SNMP messages use: single-byte tags, definite lengths,
// integers, octet strings, nulls and object identifiers. The reader never reads past the span
// it is given; every length is checked against what is left before it is used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "oid.h"

namespace vyxsnmp {

using Bytes = std::vector<std::uint8_t>;

// A read-only view of bytes (the codec builds as C++17, without std::span).
struct ByteView {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
};

enum class BerStatus {
    kOk,
    kTruncated,     // a header or content runs past the end of its enclosing span
    kBadLength,     // indefinite, over-long or unsupported length form
    kBadTag,        // a multi-byte tag, or not the tag that was expected
    kBadValue,      // content that its type does not allow (empty integer, bad OID, ...)
    kTooLarge,      // a value beyond the limits the caller set (OID length, integer width)
};

// Walks the TLVs of one span, in order.
class BerReader {
  public:
    explicit BerReader(ByteView span) : span_(span) {}

    bool AtEnd() const { return offset_ == span_.size; }

    // Reads the next TLV: its tag and a view of its content; moves past it.
    BerStatus Next(std::uint8_t& tag, ByteView& content);
    // Reads the next TLV and requires its tag to be `expected`.
    BerStatus Expect(std::uint8_t expected, ByteView& content);

  private:
    ByteView span_;
    std::size_t offset_ = 0;
};

// Two's-complement INTEGER content of 1 to 8 bytes.
BerStatus DecodeSigned(ByteView content, std::int64_t& value);
// An unsigned quantity (Counter32, Gauge32, TimeTicks, Counter64): up to 8 bytes of value,
// with one leading zero byte allowed. Agents that leave out the zero byte for values with the
// high bit set are read as they meant it.
BerStatus DecodeUnsigned(ByteView content, std::uint64_t& value);
// OBJECT IDENTIFIER content; at most `maxParts` sub-identifiers of 32 bits each.
BerStatus DecodeOid(ByteView content, std::size_t maxParts, Oid& oid);

// Appends TLVs to a byte buffer.
class BerWriter {
  public:
    void Integer(std::uint8_t tag, std::int64_t value);
    void Unsigned(std::uint8_t tag, std::uint64_t value);
    void OctetString(std::uint8_t tag, const std::string& bytes);
    void Null(std::uint8_t tag);
    void ObjectId(const Oid& oid);
    // A constructed TLV around what `inner` holds.
    void Wrap(std::uint8_t tag, const BerWriter& inner);
    // Bytes already encoded, appended as they are.
    void Raw(const Bytes& encoded);

    const Bytes& bytes() const { return bytes_; }

  private:
    void Header(std::uint8_t tag, std::size_t length);
    Bytes bytes_;
};

}  // namespace vyxsnmp
