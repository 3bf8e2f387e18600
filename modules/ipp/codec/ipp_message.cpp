// Building and reading single IPP values, and finding groups and attributes in a message.
#include "ipp_message.h"

namespace vyxipp {
namespace {

void AppendWord(std::string& out, std::int32_t word) {
    const auto u = static_cast<std::uint32_t>(word);
    out.push_back(static_cast<char>(u >> 24));
    out.push_back(static_cast<char>(u >> 16));
    out.push_back(static_cast<char>(u >> 8));
    out.push_back(static_cast<char>(u));
}

void AppendShortString(std::string& out, const std::string& text) {
    const auto n = static_cast<std::uint16_t>(text.size());
    out.push_back(static_cast<char>(n >> 8));
    out.push_back(static_cast<char>(n));
    out.append(text, 0, n);
}

std::uint16_t ShortAt(const std::string& bytes, std::size_t offset) {
    return static_cast<std::uint16_t>((static_cast<std::uint8_t>(bytes[offset]) << 8) |
                                      static_cast<std::uint8_t>(bytes[offset + 1]));
}

}  // namespace

Value Value::Integer(std::uint8_t tag, std::int32_t number) {
    Value v;
    v.tag = tag;
    AppendWord(v.bytes, number);
    return v;
}

Value Value::Boolean(bool flag) {
    Value v;
    v.tag = kBoolean;
    v.bytes.push_back(flag ? 1 : 0);
    return v;
}

Value Value::String(std::uint8_t tag, std::string text) {
    Value v;
    v.tag = tag;
    v.bytes = std::move(text);
    return v;
}

Value Value::Range(std::int32_t lower, std::int32_t upper) {
    Value v;
    v.tag = kRangeOfInteger;
    AppendWord(v.bytes, lower);
    AppendWord(v.bytes, upper);
    return v;
}

Value Value::Resolution(std::int32_t x, std::int32_t y, std::uint8_t units) {
    Value v;
    v.tag = kResolution;
    AppendWord(v.bytes, x);
    AppendWord(v.bytes, y);
    v.bytes.push_back(static_cast<char>(units));
    return v;
}

Value Value::TextWithLanguage(std::uint8_t tag, std::string language, std::string text) {
    Value v;
    v.tag = tag;
    AppendShortString(v.bytes, language);
    AppendShortString(v.bytes, text);
    return v;
}

Value Value::Collection(std::vector<Attribute> members) {
    Value v;
    v.tag = kBegCollection;
    v.members = std::move(members);
    return v;
}

bool Value::IsString() const {
    return tag == kOctetString || tag == kTextWithLanguage || tag == kNameWithLanguage ||
           (tag >= kTextWithoutLanguage && tag <= kMimeMediaType);
}

std::int32_t Value::WordAt(std::size_t offset) const {
    if (offset > bytes.size() || bytes.size() - offset < 4) {
        return 0;
    }
    std::uint32_t u = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        u = (u << 8) | static_cast<std::uint8_t>(bytes[offset + i]);
    }
    return static_cast<std::int32_t>(u);
}

std::int32_t Value::AsInteger() const {
    return IsInteger() ? WordAt(0) : 0;
}

bool Value::AsBoolean() const {
    return tag == kBoolean && bytes.size() == 1 && bytes[0] == 1;
}

std::string Value::AsString() const {
    if (tag != kTextWithLanguage && tag != kNameWithLanguage) {
        return IsString() ? bytes : std::string();
    }
    // language length, language, text length, text: the decoder has checked the layout.
    if (bytes.size() < 4) {
        return std::string();
    }
    const std::size_t languageLength = ShortAt(bytes, 0);
    if (bytes.size() < 4 + languageLength) {
        return std::string();
    }
    const std::size_t textLength = ShortAt(bytes, 2 + languageLength);
    const std::size_t textStart = 4 + languageLength;
    if (bytes.size() - textStart < textLength) {
        return std::string();
    }
    return bytes.substr(textStart, textLength);
}

const Attribute* Group::Find(const std::string& name) const {
    for (const Attribute& a : attributes) {
        if (a.name == name) {
            return &a;
        }
    }
    return nullptr;
}

const Group* Message::FindGroup(std::uint8_t tag) const {
    for (const Group& g : groups) {
        if (g.tag == tag) {
            return &g;
        }
    }
    return nullptr;
}

const Attribute* Message::Find(std::uint8_t groupTag, const std::string& name) const {
    for (const Group& g : groups) {
        if (g.tag == groupTag) {
            if (const Attribute* a = g.Find(name)) {
                return a;
            }
        }
    }
    return nullptr;
}

}  // namespace vyxipp
