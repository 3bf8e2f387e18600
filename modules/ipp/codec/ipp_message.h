// An IPP message as it travels: header, attribute groups, attributes and their values, with
// collections held as nested member attributes. Portable C++, no Win32.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vyxipp {

// Delimiter tags that open an attribute group, and the one that ends them.
enum GroupTag : std::uint8_t {
    kOperationGroup = 0x01,
    kJobGroup = 0x02,
    kEndOfAttributes = 0x03,
    kPrinterGroup = 0x04,
    kUnsupportedGroup = 0x05,
};

// Value tags this module reads or writes; any other tag is carried as raw bytes.
enum ValueTag : std::uint8_t {
    kUnsupportedValue = 0x10,
    kUnknownValue = 0x12,
    kNoValue = 0x13,
    kNotSettable = 0x15,
    kDeleteAttribute = 0x16,
    kAdminDefine = 0x17,
    kInteger = 0x21,
    kBoolean = 0x22,
    kEnum = 0x23,
    kOctetString = 0x30,
    kDateTime = 0x31,
    kResolution = 0x32,
    kRangeOfInteger = 0x33,
    kBegCollection = 0x34,
    kTextWithLanguage = 0x35,
    kNameWithLanguage = 0x36,
    kEndCollection = 0x37,
    kTextWithoutLanguage = 0x41,
    kNameWithoutLanguage = 0x42,
    kKeyword = 0x44,
    kUri = 0x45,
    kUriScheme = 0x46,
    kCharset = 0x47,
    kNaturalLanguage = 0x48,
    kMimeMediaType = 0x49,
    kMemberAttrName = 0x4A,
    kExtension = 0x7F,
};

struct Attribute;

// One value. `bytes` holds the value as it is encoded on the wire (for integers and enums the
// four big-endian bytes, for texts with a language the whole structure); `members` holds a
// collection's member attributes.
struct Value {
    std::uint8_t tag = kNoValue;
    std::string bytes;
    std::vector<Attribute> members;

    static Value Integer(std::uint8_t tag, std::int32_t number);
    static Value Boolean(bool flag);
    static Value String(std::uint8_t tag, std::string text);
    static Value Range(std::int32_t lower, std::int32_t upper);
    static Value Resolution(std::int32_t x, std::int32_t y, std::uint8_t units);
    static Value TextWithLanguage(std::uint8_t tag, std::string language, std::string text);
    static Value Collection(std::vector<Attribute> members);

    bool IsInteger() const { return (tag == kInteger || tag == kEnum) && bytes.size() == 4; }
    bool IsString() const;  // a text, name, keyword, uri or other character-string tag
    bool IsCollection() const { return tag == kBegCollection; }
    bool IsOutOfBand() const { return tag >= 0x10 && tag <= 0x1F; }

    std::int32_t AsInteger() const;  // 0 unless IsInteger()
    bool AsBoolean() const;          // false unless a one-byte boolean of value 1
    std::string AsString() const;    // the text of a string value (without its language)
    std::int32_t WordAt(std::size_t offset) const;  // big-endian 32 bits inside bytes, or 0
};

struct Attribute {
    std::string name;
    std::vector<Value> values;

    const Value* First() const { return values.empty() ? nullptr : &values.front(); }
};

struct Group {
    std::uint8_t tag = kOperationGroup;
    std::vector<Attribute> attributes;

    const Attribute* Find(const std::string& name) const;
};

struct Message {
    std::uint8_t versionMajor = 2;
    std::uint8_t versionMinor = 0;
    std::uint16_t code = 0;  // the operation in a request, the status in a reply
    std::int32_t requestId = 1;
    std::vector<Group> groups;

    // The first group of that tag, or null.
    const Group* FindGroup(std::uint8_t tag) const;
    // An attribute of that name in any group of that tag, or null.
    const Attribute* Find(std::uint8_t groupTag, const std::string& name) const;
};

// Operation codes and the status codes this module tells apart.
enum Operation : std::uint16_t {
    kGetPrinterAttributes = 0x000B,
    kSetPrinterAttributes = 0x0013,
};

enum Status : std::uint16_t {
    kSuccessfulOk = 0x0000,
    kSuccessfulLimit = 0x00FF,  // statuses up to this one are successes
    kServerErrorOperationNotSupported = 0x0501,
    kServerErrorVersionNotSupported = 0x0503,
};

}  // namespace vyxipp
