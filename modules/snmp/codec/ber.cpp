// BER reading and writing for SNMP messages.
#include "ber.h"

namespace vyxsnmp {
namespace {

constexpr std::uint8_t kHighTagNumber = 0x1F;
constexpr std::uint8_t kOidTag = 0x06;

}  // namespace

BerStatus BerReader::Next(std::uint8_t& tag, ByteView& content) {
    const std::size_t left = span_.size - offset_;
    if (left < 2) {
        return BerStatus::kTruncated;
    }
    const std::uint8_t* at = span_.data + offset_;
    if ((at[0] & kHighTagNumber) == kHighTagNumber) {
        return BerStatus::kBadTag;
    }
    std::size_t header = 2;
    std::size_t length = at[1];
    if (length & 0x80) {
        const std::size_t count = length & 0x7F;
        // 0x80 is the indefinite form, which SNMP does not use; more than four length bytes
        // would describe a message no UDP datagram can hold.
        if (count == 0 || count > 4) {
            return BerStatus::kBadLength;
        }
        if (left < 2 + count) {
            return BerStatus::kTruncated;
        }
        length = 0;
        for (std::size_t i = 0; i < count; ++i) {
            length = (length << 8) | at[2 + i];
        }
        header += count;
    }
    if (length > left - header) {
        return BerStatus::kTruncated;
    }
    tag = at[0];
    content.data = at + header;
    content.size = length;
    offset_ += header + length;
    return BerStatus::kOk;
}

BerStatus BerReader::Expect(std::uint8_t expected, ByteView& content) {
    std::uint8_t tag = 0;
    const BerStatus status = Next(tag, content);
    if (status != BerStatus::kOk) {
        return status;
    }
    return tag == expected ? BerStatus::kOk : BerStatus::kBadTag;
}

BerStatus DecodeSigned(ByteView content, std::int64_t& value) {
    if (content.size == 0) {
        return BerStatus::kBadValue;
    }
    if (content.size > 8) {
        return BerStatus::kTooLarge;
    }
    std::uint64_t bits = (content.data[0] & 0x80) ? ~std::uint64_t{0} : 0;
    for (std::size_t i = 0; i < content.size; ++i) {
        bits = (bits << 8) | content.data[i];
    }
    value = static_cast<std::int64_t>(bits);
    return BerStatus::kOk;
}

BerStatus DecodeUnsigned(ByteView content, std::uint64_t& value) {
    if (content.size == 0) {
        return BerStatus::kBadValue;
    }
    std::size_t start = 0;
    if (content.size == 9) {
        if (content.data[0] != 0) {
            return BerStatus::kTooLarge;
        }
        start = 1;
    } else if (content.size > 9) {
        return BerStatus::kTooLarge;
    }
    std::uint64_t bits = 0;
    for (std::size_t i = start; i < content.size; ++i) {
        bits = (bits << 8) | content.data[i];
    }
    value = bits;
    return BerStatus::kOk;
}

BerStatus DecodeOid(ByteView content, std::size_t maxParts, Oid& oid) {
    if (content.size == 0) {
        return BerStatus::kBadValue;
    }
    std::vector<std::uint32_t> parts;
    std::uint64_t current = 0;
    bool inside = false;  // a sub-identifier has started and not yet ended
    for (std::size_t i = 0; i < content.size; ++i) {
        const std::uint8_t byte = content.data[i];
        if (!inside && byte == 0x80) {
            return BerStatus::kBadValue;  // a sub-identifier may not start with a zero group
        }
        current = (current << 7) | (byte & 0x7F);
        if (current > 0xFFFFFFFFu) {
            return BerStatus::kTooLarge;
        }
        inside = (byte & 0x80) != 0;
        if (inside) {
            continue;
        }
        if (parts.empty()) {
            // The first sub-identifier carries the first two arcs: 40 * X + Y.
            const std::uint32_t first = current < 80 ? static_cast<std::uint32_t>(current / 40) : 2;
            parts.push_back(first);
            parts.push_back(static_cast<std::uint32_t>(current - 40u * first));
        } else {
            parts.push_back(static_cast<std::uint32_t>(current));
        }
        if (parts.size() > maxParts) {
            return BerStatus::kTooLarge;
        }
        current = 0;
    }
    if (inside) {
        return BerStatus::kTruncated;
    }
    oid = Oid(std::move(parts));
    return BerStatus::kOk;
}

void BerWriter::Header(std::uint8_t tag, std::size_t length) {
    bytes_.push_back(tag);
    if (length < 0x80) {
        bytes_.push_back(static_cast<std::uint8_t>(length));
        return;
    }
    std::uint8_t digits[sizeof(std::size_t)];
    std::size_t count = 0;
    for (std::size_t rest = length; rest != 0; rest >>= 8) {
        digits[count++] = static_cast<std::uint8_t>(rest & 0xFF);
    }
    bytes_.push_back(static_cast<std::uint8_t>(0x80 | count));
    while (count != 0) {
        bytes_.push_back(digits[--count]);
    }
}

void BerWriter::Integer(std::uint8_t tag, std::int64_t value) {
    // The shortest two's-complement form: drop leading bytes that only repeat the sign.
    std::uint8_t digits[8];
    for (int i = 0; i < 8; ++i) {
        digits[7 - i] = static_cast<std::uint8_t>((static_cast<std::uint64_t>(value) >> (8 * i)) & 0xFF);
    }
    int first = 0;
    while (first < 7 && ((digits[first] == 0x00 && !(digits[first + 1] & 0x80)) ||
                         (digits[first] == 0xFF && (digits[first + 1] & 0x80)))) {
        ++first;
    }
    Header(tag, static_cast<std::size_t>(8 - first));
    bytes_.insert(bytes_.end(), digits + first, digits + 8);
}

void BerWriter::Unsigned(std::uint8_t tag, std::uint64_t value) {
    std::uint8_t digits[9] = {0};
    for (int i = 0; i < 8; ++i) {
        digits[8 - i] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF);
    }
    int first = 0;
    while (first < 8 && digits[first] == 0 && !(digits[first + 1] & 0x80)) {
        ++first;
    }
    Header(tag, static_cast<std::size_t>(9 - first));
    bytes_.insert(bytes_.end(), digits + first, digits + 9);
}

void BerWriter::OctetString(std::uint8_t tag, const std::string& bytes) {
    Header(tag, bytes.size());
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
}

void BerWriter::Null(std::uint8_t tag) { Header(tag, 0); }

void BerWriter::ObjectId(const Oid& oid) {
    Bytes content;
    auto put = [&content](std::uint32_t value) {
        std::uint8_t groups[5];
        int count = 0;
        do {
            groups[count++] = static_cast<std::uint8_t>(value & 0x7F);
            value >>= 7;
        } while (value != 0);
        while (count > 1) {
            content.push_back(static_cast<std::uint8_t>(0x80 | groups[--count]));
        }
        content.push_back(groups[0]);
    };
    const auto& parts = oid.parts();
    if (parts.size() >= 2) {
        put(parts[0] * 40 + parts[1]);
        for (std::size_t i = 2; i < parts.size(); ++i) {
            put(parts[i]);
        }
    } else {
        put(parts.empty() ? 0 : parts[0] * 40);
    }
    Header(kOidTag, content.size());
    bytes_.insert(bytes_.end(), content.begin(), content.end());
}

void BerWriter::Wrap(std::uint8_t tag, const BerWriter& inner) {
    Header(tag, inner.bytes_.size());
    bytes_.insert(bytes_.end(), inner.bytes_.begin(), inner.bytes_.end());
}

void BerWriter::Raw(const Bytes& encoded) {
    bytes_.insert(bytes_.end(), encoded.begin(), encoded.end());
}

}  // namespace vyxsnmp
