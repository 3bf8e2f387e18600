// Encoding of SNMP requests and decoding of responses, versions 1 and 2c.
#include "message.h"

namespace vyxsnmp {
namespace {

void EncodeValue(BerWriter& out, const Value& value) {
    switch (value.type) {
        case tag::kInteger:
            out.Integer(tag::kInteger, value.number);
            break;
        case tag::kCounter32:
        case tag::kGauge32:
        case tag::kTimeTicks:
        case tag::kCounter64:
            out.Unsigned(value.type, static_cast<std::uint64_t>(value.number));
            break;
        case tag::kOctetString:
        case tag::kIpAddress:
        case tag::kOpaque:
            out.OctetString(value.type, value.bytes);
            break;
        case tag::kOid:
            out.ObjectId(value.oid);
            break;
        default:  // Null and the exceptions carry no content
            out.Null(value.type);
            break;
    }
}

bool Ok(BerStatus status) { return status == BerStatus::kOk; }

DecodeStatus FromBer(BerStatus status) {
    return status == BerStatus::kTooLarge ? DecodeStatus::kTooLarge : DecodeStatus::kMalformed;
}

}  // namespace

DecodeStatus DecodeInteger32(BerReader& reader, std::int32_t& out) {
    ByteView content;
    BerStatus status = reader.Expect(tag::kInteger, content);
    std::int64_t value = 0;
    if (Ok(status)) {
        status = DecodeSigned(content, value);
    }
    if (!Ok(status)) {
        return FromBer(status);
    }
    if (value < INT32_MIN || value > INT32_MAX) {
        return DecodeStatus::kMalformed;
    }
    out = static_cast<std::int32_t>(value);
    return DecodeStatus::kOk;
}

namespace {

DecodeStatus DecodeValue(std::uint8_t type, ByteView content, const DecodeLimits& limits,
                         Value& value) {
    value = Value();
    value.type = type;
    BerStatus status = BerStatus::kOk;
    switch (type) {
        case tag::kInteger:
            status = DecodeSigned(content, value.number);
            break;
        case tag::kCounter32:
        case tag::kGauge32:
        case tag::kTimeTicks:
        case tag::kCounter64: {
            std::uint64_t number = 0;
            status = DecodeUnsigned(content, number);
            if (Ok(status) && type != tag::kCounter64 && number > 0xFFFFFFFFu) {
                status = BerStatus::kBadValue;
            }
            value.number = static_cast<std::int64_t>(number);
            break;
        }
        case tag::kOctetString:
        case tag::kOpaque:
            value.bytes.assign(reinterpret_cast<const char*>(content.data), content.size);
            break;
        case tag::kIpAddress:
            if (content.size != 4) {
                status = BerStatus::kBadValue;
            }
            value.bytes.assign(reinterpret_cast<const char*>(content.data), content.size);
            break;
        case tag::kOid:
            status = DecodeOid(content, limits.maxOidParts, value.oid);
            break;
        case tag::kNull:
        case tag::kNoSuchObject:
        case tag::kNoSuchInstance:
        case tag::kEndOfMibView:
            if (content.size != 0) {
                status = BerStatus::kBadValue;
            }
            break;
        default:
            status = BerStatus::kBadTag;
            break;
    }
    return Ok(status) ? DecodeStatus::kOk : FromBer(status);
}

DecodeStatus DecodeVarBinds(ByteView list, const DecodeLimits& limits,
                            std::vector<VarBind>& varBinds) {
    BerReader reader(list);
    while (!reader.AtEnd()) {
        if (varBinds.size() == limits.maxVarBinds) {
            return DecodeStatus::kTooLarge;
        }
        ByteView pair;
        BerStatus status = reader.Expect(tag::kSequence, pair);
        if (!Ok(status)) {
            return FromBer(status);
        }
        BerReader inner(pair);
        ByteView name;
        status = inner.Expect(tag::kOid, name);
        VarBind bind;
        if (Ok(status)) {
            status = DecodeOid(name, limits.maxOidParts, bind.name);
        }
        if (!Ok(status)) {
            return FromBer(status);
        }
        std::uint8_t type = 0;
        ByteView content;
        status = inner.Next(type, content);
        if (!Ok(status) || !inner.AtEnd()) {
            return Ok(status) ? DecodeStatus::kMalformed : FromBer(status);
        }
        const DecodeStatus decoded = DecodeValue(type, content, limits, bind.value);
        if (decoded != DecodeStatus::kOk) {
            return decoded;
        }
        varBinds.push_back(std::move(bind));
    }
    return DecodeStatus::kOk;
}

}  // namespace

const char* ToString(DecodeStatus status) {
    switch (status) {
        case DecodeStatus::kOk:
            return "ok";
        case DecodeStatus::kTooLarge:
            return "too large";
        case DecodeStatus::kMalformed:
            return "malformed";
        case DecodeStatus::kBadVersion:
            return "unsupported version";
    }
    return "?";
}

void EncodePdu(BerWriter& out, const Pdu& pdu) {
    BerWriter list;
    for (const VarBind& bind : pdu.varBinds) {
        BerWriter pair;
        pair.ObjectId(bind.name);
        EncodeValue(pair, bind.value);
        list.Wrap(tag::kSequence, pair);
    }
    BerWriter fields;
    fields.Integer(tag::kInteger, pdu.requestId);
    fields.Integer(tag::kInteger, pdu.errorStatus);
    fields.Integer(tag::kInteger, pdu.errorIndex);
    fields.Wrap(tag::kSequence, list);
    out.Wrap(pdu.type, fields);
}

DecodeStatus DecodePdu(std::uint8_t type, ByteView content, const DecodeLimits& limits, Pdu& pdu) {
    // Every PDU of versions 1 to 3 shares this shape but the version 1 trap (0xA4).
    if (type < tag::kGetRequest || type > tag::kReport || type == 0xA4) {
        return DecodeStatus::kMalformed;
    }
    pdu = Pdu();
    pdu.type = type;
    BerReader fields(content);
    for (std::int32_t* field : {&pdu.requestId, &pdu.errorStatus, &pdu.errorIndex}) {
        const DecodeStatus decoded = DecodeInteger32(fields, *field);
        if (decoded != DecodeStatus::kOk) {
            return decoded;
        }
    }
    ByteView list;
    const BerStatus status = fields.Expect(tag::kSequence, list);
    if (!Ok(status) || !fields.AtEnd()) {
        return Ok(status) ? DecodeStatus::kMalformed : FromBer(status);
    }
    return DecodeVarBinds(list, limits, pdu.varBinds);
}

Bytes EncodeMessage(const Message& message) {
    BerWriter body;
    body.Integer(tag::kInteger, static_cast<std::int32_t>(message.version));
    body.OctetString(tag::kOctetString, message.community);
    EncodePdu(body, message.pdu);
    BerWriter whole;
    whole.Wrap(tag::kSequence, body);
    return whole.bytes();
}

DecodeStatus OpenMessage(const std::uint8_t* data, std::size_t size, const DecodeLimits& limits,
                         BerReader& fields, std::int32_t& version) {
    if (size > limits.maxMessage) {
        return DecodeStatus::kTooLarge;
    }
    BerReader outer(ByteView{data, size});
    ByteView body;
    const BerStatus status = outer.Expect(tag::kSequence, body);
    if (!Ok(status) || !outer.AtEnd()) {
        return Ok(status) ? DecodeStatus::kMalformed : FromBer(status);
    }
    fields = BerReader(body);
    return DecodeInteger32(fields, version);
}

DecodeStatus DecodeMessage(const std::uint8_t* data, std::size_t size, const DecodeLimits& limits,
                           Message& message) {
    BerReader reader(ByteView{});
    std::int32_t version = 0;
    const DecodeStatus decoded = OpenMessage(data, size, limits, reader, version);
    if (decoded != DecodeStatus::kOk) {
        return decoded;
    }
    if (version != static_cast<std::int32_t>(Version::kV1) &&
        version != static_cast<std::int32_t>(Version::kV2c)) {
        return DecodeStatus::kBadVersion;
    }
    message.version = static_cast<Version>(version);
    ByteView community;
    BerStatus status = reader.Expect(tag::kOctetString, community);
    if (!Ok(status)) {
        return FromBer(status);
    }
    message.community.assign(reinterpret_cast<const char*>(community.data), community.size);
    std::uint8_t pduType = 0;
    ByteView pdu;
    status = reader.Next(pduType, pdu);
    if (!Ok(status) || !reader.AtEnd()) {
        return Ok(status) ? DecodeStatus::kMalformed : FromBer(status);
    }
    return DecodePdu(pduType, pdu, limits, message.pdu);
}

}  // namespace vyxsnmp
