// IPP encoding and decoding: every length read from the bytes is checked against what is left
// before it is used, and nesting, counts and size are bounded by the caller's limits.
#include "ipp_codec.h"

namespace vyxipp {
namespace {

class Reader {
  public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::size_t left() const { return size_ - pos_; }

    bool Byte(std::uint8_t& out) {
        if (left() < 1) {
            return false;
        }
        out = data_[pos_++];
        return true;
    }

    bool Short(std::uint16_t& out) {
        if (left() < 2) {
            return false;
        }
        out = static_cast<std::uint16_t>((data_[pos_] << 8) | data_[pos_ + 1]);
        pos_ += 2;
        return true;
    }

    bool Word(std::int32_t& out) {
        if (left() < 4) {
            return false;
        }
        std::uint32_t u = 0;
        for (int i = 0; i < 4; ++i) {
            u = (u << 8) | data_[pos_++];
        }
        out = static_cast<std::int32_t>(u);
        return true;
    }

    // A two-byte length and that many bytes.
    bool Counted(std::string& out) {
        std::uint16_t n = 0;
        if (!Short(n) || left() < n) {
            return false;
        }
        out.assign(reinterpret_cast<const char*>(data_ + pos_), n);
        pos_ += n;
        return true;
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// One attribute-with-one-value as the wire holds it: tag, name, value.
struct Item {
    std::uint8_t tag = 0;
    std::string name;
    std::string value;
};

bool LengthFits(std::uint8_t tag, const std::string& value) {
    switch (tag) {
        case kInteger:
        case kEnum:
            return value.size() == 4;
        case kBoolean:
            return value.size() == 1;
        case kDateTime:
            return value.size() == 11;
        case kResolution:
            return value.size() == 9;
        case kRangeOfInteger:
            return value.size() == 8;
        case kTextWithLanguage:
        case kNameWithLanguage: {
            // two counted strings that fill the value exactly
            if (value.size() < 4) {
                return false;
            }
            const std::size_t language =
                (static_cast<std::uint8_t>(value[0]) << 8) | static_cast<std::uint8_t>(value[1]);
            if (value.size() < 4 + language) {
                return false;
            }
            const std::size_t text = (static_cast<std::uint8_t>(value[2 + language]) << 8) |
                                     static_cast<std::uint8_t>(value[3 + language]);
            return value.size() == 4 + language + text;
        }
        default:
            return true;
    }
}

class Decoder {
  public:
    Decoder(const std::uint8_t* data, std::size_t size, const DecodeLimits& limits)
        : in_(data, size), limits_(limits) {}

    DecodeStatus Run(Message& message) {
        std::int32_t requestId = 0;
        if (!in_.Byte(message.versionMajor) || !in_.Byte(message.versionMinor) ||
            !in_.Short(message.code) || !in_.Word(requestId)) {
            return DecodeStatus::kTruncated;
        }
        message.requestId = requestId;
        message.groups.clear();
        for (;;) {
            std::uint8_t tag = 0;
            if (!in_.Byte(tag)) {
                return DecodeStatus::kTruncated;
            }
            if (tag == kEndOfAttributes) {
                return DecodeStatus::kOk;
            }
            if (tag == 0x00) {
                return DecodeStatus::kBadTag;
            }
            if (tag < 0x10) {
                message.groups.push_back(Group{tag, {}});
                continue;
            }
            if (message.groups.empty()) {
                return DecodeStatus::kBadStructure;
            }
            const DecodeStatus status = TopLevelValue(tag, message.groups.back().attributes);
            if (status != DecodeStatus::kOk) {
                return status;
            }
        }
    }

  private:
    DecodeStatus ReadItem(std::uint8_t tag, Item& item) {
        item.tag = tag;
        if (!in_.Counted(item.name) || !in_.Counted(item.value)) {
            return DecodeStatus::kTruncated;
        }
        if (!LengthFits(tag, item.value)) {
            return DecodeStatus::kBadLength;
        }
        return DecodeStatus::kOk;
    }

    DecodeStatus CountAttribute() {
        return ++attributes_ > limits_.maxAttributes ? DecodeStatus::kTooMany : DecodeStatus::kOk;
    }

    // Adds the item's value to `attribute`; a collection's members are read on from here.
    DecodeStatus AddValue(const Item& item, Attribute& attribute, std::size_t depth) {
        if (++values_ > limits_.maxValues) {
            return DecodeStatus::kTooMany;
        }
        Value value;
        value.tag = item.tag;
        if (item.tag == kBegCollection) {
            const DecodeStatus status = Collection(depth + 1, value.members);
            if (status != DecodeStatus::kOk) {
                return status;
            }
        } else if (item.tag == kEndCollection || item.tag == kMemberAttrName) {
            return DecodeStatus::kBadStructure;
        } else {
            value.bytes = item.value;
        }
        attribute.values.push_back(std::move(value));
        return DecodeStatus::kOk;
    }

    DecodeStatus TopLevelValue(std::uint8_t tag, std::vector<Attribute>& attributes) {
        Item item;
        DecodeStatus status = ReadItem(tag, item);
        if (status != DecodeStatus::kOk) {
            return status;
        }
        if (!item.name.empty()) {
            if ((status = CountAttribute()) != DecodeStatus::kOk) {
                return status;
            }
            attributes.push_back(Attribute{item.name, {}});
        } else if (attributes.empty()) {
            return DecodeStatus::kBadStructure;  // an additional value with nothing before it
        }
        return AddValue(item, attributes.back(), 0);
    }

    // The members of a collection whose begCollection has just been read, up to its
    // endCollection.
    DecodeStatus Collection(std::size_t depth, std::vector<Attribute>& members) {
        if (depth > limits_.maxDepth) {
            return DecodeStatus::kTooDeep;
        }
        for (;;) {
            std::uint8_t tag = 0;
            if (!in_.Byte(tag)) {
                return DecodeStatus::kTruncated;
            }
            if (tag < 0x10) {
                return DecodeStatus::kBadStructure;  // a group delimiter inside a collection
            }
            Item item;
            DecodeStatus status = ReadItem(tag, item);
            if (status != DecodeStatus::kOk) {
                return status;
            }
            if (tag == kEndCollection) {
                return DecodeStatus::kOk;
            }
            if (tag == kMemberAttrName) {
                if (item.value.empty()) {
                    return DecodeStatus::kBadStructure;
                }
                if ((status = CountAttribute()) != DecodeStatus::kOk) {
                    return status;
                }
                members.push_back(Attribute{item.value, {}});
                continue;
            }
            if (members.empty()) {
                return DecodeStatus::kBadStructure;  // a member value before any member name
            }
            if ((status = AddValue(item, members.back(), depth)) != DecodeStatus::kOk) {
                return status;
            }
        }
    }

    Reader in_;
    const DecodeLimits& limits_;
    std::size_t attributes_ = 0;
    std::size_t values_ = 0;
};

class Encoder {
  public:
    explicit Encoder(std::string& out) : out_(out) {}

    bool Run(const Message& message) {
        out_.clear();
        Byte(message.versionMajor);
        Byte(message.versionMinor);
        Short(message.code);
        Word(message.requestId);
        for (const Group& group : message.groups) {
            Byte(group.tag);
            for (const Attribute& attribute : group.attributes) {
                if (!Values(attribute.name, attribute.values)) {
                    return false;
                }
            }
        }
        Byte(kEndOfAttributes);
        return true;
    }

  private:
    void Byte(std::uint8_t b) { out_.push_back(static_cast<char>(b)); }
    void Short(std::uint16_t s) {
        Byte(static_cast<std::uint8_t>(s >> 8));
        Byte(static_cast<std::uint8_t>(s));
    }
    void Word(std::int32_t w) {
        const auto u = static_cast<std::uint32_t>(w);
        Short(static_cast<std::uint16_t>(u >> 16));
        Short(static_cast<std::uint16_t>(u));
    }
    bool Counted(const std::string& text) {
        if (text.size() > 0xFFFF) {
            return false;
        }
        Short(static_cast<std::uint16_t>(text.size()));
        out_ += text;
        return true;
    }
    bool Item(std::uint8_t tag, const std::string& name, const std::string& value) {
        Byte(tag);
        return Counted(name) && Counted(value);
    }

    // The first value carries the name; the others follow with an empty one.
    bool Values(const std::string& name, const std::vector<Value>& values) {
        if (values.empty()) {
            return Item(kNoValue, name, std::string());
        }
        const std::string* label = &name;
        static const std::string none;
        for (const Value& value : values) {
            if (value.tag == kBegCollection) {
                if (!Item(kBegCollection, *label, std::string()) || !Members(value.members) ||
                    !Item(kEndCollection, none, none)) {
                    return false;
                }
            } else if (!Item(value.tag, *label, value.bytes)) {
                return false;
            }
            label = &none;
        }
        return true;
    }

    bool Members(const std::vector<Attribute>& members) {
        static const std::string none;
        for (const Attribute& member : members) {
            if (!Item(kMemberAttrName, none, member.name) || !Values(none, member.values)) {
                return false;
            }
        }
        return true;
    }

    std::string& out_;
};

}  // namespace

const char* DecodeStatusName(DecodeStatus status) {
    switch (status) {
        case DecodeStatus::kOk:
            return "ok";
        case DecodeStatus::kTooLarge:
            return "too large";
        case DecodeStatus::kTruncated:
            return "truncated";
        case DecodeStatus::kBadTag:
            return "reserved tag";
        case DecodeStatus::kBadLength:
            return "bad value length";
        case DecodeStatus::kBadStructure:
            return "bad structure";
        case DecodeStatus::kTooDeep:
            return "collections nested too deep";
        case DecodeStatus::kTooMany:
            return "too many attributes or values";
    }
    return "?";
}

DecodeStatus Decode(const std::uint8_t* data, std::size_t size, const DecodeLimits& limits,
                    Message& message) {
    if (size > limits.maxBytes) {
        return DecodeStatus::kTooLarge;
    }
    if (data == nullptr && size != 0) {
        return DecodeStatus::kTruncated;
    }
    return Decoder(data, size, limits).Run(message);
}

bool Encode(const Message& message, std::string& out) {
    return Encoder(out).Run(message);
}

}  // namespace vyxipp
