// The IPP wire encoding (RFC 8010): a message to bytes and bytes to a message. The decoder is a
// pure function over a byte span with explicit limits, so that any reply, however it is cut or
// garbled, ends in a status and never in a read past its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "ipp_message.h"

namespace vyxipp {

struct DecodeLimits {
    std::size_t maxBytes = 1u << 20;    // the whole message
    std::size_t maxDepth = 16;          // collections inside collections
    std::size_t maxAttributes = 20000;  // attributes and collection members, all counted
    std::size_t maxValues = 100000;     // values, all counted
};

enum class DecodeStatus {
    kOk,
    kTooLarge,      // more bytes than maxBytes
    kTruncated,     // the bytes stop inside the header, a value or before end-of-attributes
    kBadTag,        // a reserved delimiter tag
    kBadLength,     // a value whose length its tag does not allow
    kBadStructure,  // a value before any group or attribute, a stray collection tag
    kTooDeep,       // collections nested deeper than maxDepth
    kTooMany,       // more attributes or values than the limits allow
};

const char* DecodeStatusName(DecodeStatus status);

// Decodes one message from `data`. On any status but kOk, `message` holds what was read so far
// and must not be relied on. Bytes after end-of-attributes (document data) are ignored.
DecodeStatus Decode(const std::uint8_t* data, std::size_t size, const DecodeLimits& limits,
                    Message& message);

// Encodes `message`; false (and `out` unspecified) when a name or value is longer than the
// encoding can carry (65535 bytes).
bool Encode(const Message& message, std::string& out);

}  // namespace vyxipp
