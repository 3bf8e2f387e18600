// Encoding and decoding of SNMP version 3 messages under the User-based Security Model.
#include "message_v3.h"

namespace vyxsnmp {
namespace {

bool Ok(BerStatus status) {
    return status == BerStatus::kOk;
}

DecodeStatus FromBer(BerStatus status) {
    return status == BerStatus::kTooLarge ? DecodeStatus::kTooLarge : DecodeStatus::kMalformed;
}

DecodeStatus ReadOctets(BerReader& reader, std::size_t maxSize, std::string& out,
                        ByteView* where = nullptr) {
    ByteView content;
    const BerStatus status = reader.Expect(tag::kOctetString, content);
    if (!Ok(status)) {
        return FromBer(status);
    }
    if (content.size > maxSize) {
        return DecodeStatus::kTooLarge;
    }
    out.assign(reinterpret_cast<const char*>(content.data), content.size);
    if (where) {
        *where = content;
    }
    return DecodeStatus::kOk;
}

DecodeStatus ReadUnsigned31(BerReader& reader, std::uint32_t& out) {
    std::int32_t value = 0;
    const DecodeStatus decoded = DecodeInteger32(reader, value);
    if (decoded != DecodeStatus::kOk) {
        return decoded;
    }
    if (value < 0) {
        return DecodeStatus::kMalformed;
    }
    out = static_cast<std::uint32_t>(value);
    return DecodeStatus::kOk;
}

DecodeStatus DecodeUsm(ByteView bytes, UsmParameters& usm, ByteView& authParams) {
    BerReader outer(bytes);
    ByteView sequence;
    const BerStatus status = outer.Expect(tag::kSequence, sequence);
    if (!Ok(status) || !outer.AtEnd()) {
        return Ok(status) ? DecodeStatus::kMalformed : FromBer(status);
    }
    BerReader reader(sequence);
    DecodeStatus decoded = ReadOctets(reader, kMaxEngineId, usm.engineId);
    if (decoded == DecodeStatus::kOk) {
        decoded = ReadUnsigned31(reader, usm.boots);
    }
    if (decoded == DecodeStatus::kOk) {
        decoded = ReadUnsigned31(reader, usm.time);
    }
    if (decoded == DecodeStatus::kOk) {
        decoded = ReadOctets(reader, kMaxAdminString, usm.userName);
    }
    if (decoded == DecodeStatus::kOk) {
        decoded = ReadOctets(reader, 64, usm.authParams, &authParams);
    }
    if (decoded == DecodeStatus::kOk) {
        decoded = ReadOctets(reader, 64, usm.privParams);
    }
    if (decoded == DecodeStatus::kOk && !reader.AtEnd()) {
        decoded = DecodeStatus::kMalformed;
    }
    return decoded;
}

DecodeStatus DecodeHeader(BerReader& reader, V3Message& message) {
    ByteView header;
    const BerStatus status = reader.Expect(tag::kSequence, header);
    if (!Ok(status)) {
        return FromBer(status);
    }
    BerReader fields(header);
    std::string flags;
    DecodeStatus decoded = DecodeInteger32(fields, message.msgId);
    if (decoded == DecodeStatus::kOk) {
        decoded = DecodeInteger32(fields, message.maxSize);
    }
    if (decoded == DecodeStatus::kOk) {
        decoded = ReadOctets(fields, 1, flags);
    }
    if (decoded == DecodeStatus::kOk) {
        decoded = DecodeInteger32(fields, message.securityModel);
    }
    if (decoded != DecodeStatus::kOk) {
        return decoded;
    }
    if (!fields.AtEnd() || flags.size() != 1 || message.msgId < 0 || message.maxSize < 484) {
        return DecodeStatus::kMalformed;
    }
    message.flags = static_cast<std::uint8_t>(flags[0]);
    // Privacy without authentication is no level at all.
    if ((message.flags & msg_flags::kPriv) && !(message.flags & msg_flags::kAuth)) {
        return DecodeStatus::kMalformed;
    }
    return DecodeStatus::kOk;
}

// The content of a scoped PDU's SEQUENCE.
DecodeStatus DecodeScopedBody(ByteView body, const DecodeLimits& limits, ScopedPdu& scoped) {
    BerReader reader(body);
    DecodeStatus decoded = ReadOctets(reader, kMaxEngineId, scoped.contextEngineId);
    if (decoded == DecodeStatus::kOk) {
        decoded = ReadOctets(reader, kMaxAdminString, scoped.contextName);
    }
    if (decoded != DecodeStatus::kOk) {
        return decoded;
    }
    std::uint8_t type = 0;
    ByteView pdu;
    const BerStatus status = reader.Next(type, pdu);
    if (!Ok(status) || !reader.AtEnd()) {
        return Ok(status) ? DecodeStatus::kMalformed : FromBer(status);
    }
    return DecodePdu(type, pdu, limits, scoped.pdu);
}

}  // namespace

Bytes EncodeScopedPdu(const ScopedPdu& scoped) {
    BerWriter body;
    body.OctetString(tag::kOctetString, scoped.contextEngineId);
    body.OctetString(tag::kOctetString, scoped.contextName);
    EncodePdu(body, scoped.pdu);
    BerWriter whole;
    whole.Wrap(tag::kSequence, body);
    return whole.bytes();
}

DecodeStatus DecodeScopedPdu(ByteView bytes, bool padded, const DecodeLimits& limits,
                             ScopedPdu& scoped) {
    BerReader outer(bytes);
    ByteView body;
    const BerStatus status = outer.Expect(tag::kSequence, body);
    if (!Ok(status) || (!padded && !outer.AtEnd())) {
        return Ok(status) ? DecodeStatus::kMalformed : FromBer(status);
    }
    return DecodeScopedBody(body, limits, scoped);
}

Bytes EncodeV3Message(const V3Message& message, std::size_t* authOffset) {
    BerWriter header;
    header.Integer(tag::kInteger, message.msgId);
    header.Integer(tag::kInteger, message.maxSize);
    header.OctetString(tag::kOctetString, std::string(1, static_cast<char>(message.flags)));
    header.Integer(tag::kInteger, message.securityModel);

    BerWriter usmFields;
    usmFields.OctetString(tag::kOctetString, message.usm.engineId);
    usmFields.Integer(tag::kInteger, message.usm.boots);
    usmFields.Integer(tag::kInteger, message.usm.time);
    usmFields.OctetString(tag::kOctetString, message.usm.userName);
    usmFields.OctetString(tag::kOctetString, message.usm.authParams);
    usmFields.OctetString(tag::kOctetString, message.usm.privParams);
    BerWriter usm;
    usm.Wrap(tag::kSequence, usmFields);

    BerWriter body;
    body.Integer(tag::kInteger, static_cast<std::int32_t>(Version::kV3));
    body.Wrap(tag::kSequence, header);
    body.OctetString(tag::kOctetString, std::string(usm.bytes().begin(), usm.bytes().end()));
    if (message.flags & msg_flags::kPriv) {
        body.OctetString(tag::kOctetString, message.encrypted);
    } else {
        body.Raw(EncodeScopedPdu(message.scoped));
    }
    BerWriter whole;
    whole.Wrap(tag::kSequence, body);
    Bytes bytes = whole.bytes();
    if (authOffset) {
        V3Message decoded;
        *authOffset = DecodeV3Message(bytes.data(), bytes.size(), DecodeLimits(), decoded) ==
                              DecodeStatus::kOk
                          ? decoded.authOffset
                          : 0;
    }
    return bytes;
}

DecodeStatus DecodeV3Message(const std::uint8_t* data, std::size_t size, const DecodeLimits& limits,
                             V3Message& message) {
    BerReader reader(ByteView{});
    std::int32_t version = 0;
    DecodeStatus decoded = OpenMessage(data, size, limits, reader, version);
    if (decoded != DecodeStatus::kOk) {
        return decoded;
    }
    if (version != static_cast<std::int32_t>(Version::kV3)) {
        return DecodeStatus::kBadVersion;
    }
    decoded = DecodeHeader(reader, message);
    if (decoded != DecodeStatus::kOk) {
        return decoded;
    }
    ByteView security;
    BerStatus status = reader.Expect(tag::kOctetString, security);
    if (!Ok(status)) {
        return FromBer(status);
    }
    ByteView authParams;
    decoded = DecodeUsm(security, message.usm, authParams);
    if (decoded != DecodeStatus::kOk) {
        return decoded;
    }
    message.authOffset = static_cast<std::size_t>(authParams.data - data);
    std::uint8_t type = 0;
    ByteView scoped;
    status = reader.Next(type, scoped);
    if (!Ok(status) || !reader.AtEnd()) {
        return Ok(status) ? DecodeStatus::kMalformed : FromBer(status);
    }
    if (message.flags & msg_flags::kPriv) {
        if (type != tag::kOctetString) {
            return DecodeStatus::kMalformed;
        }
        message.encrypted.assign(reinterpret_cast<const char*>(scoped.data), scoped.size);
        return DecodeStatus::kOk;
    }
    if (type != tag::kSequence) {
        return DecodeStatus::kMalformed;
    }
    return DecodeScopedBody(scoped, limits, message.scoped);
}

}  // namespace vyxsnmp
