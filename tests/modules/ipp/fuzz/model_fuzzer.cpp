// Fuzz target: a reply built attribute by attribute from the fuzzer's bytes, with the names
// the mapping looks for, so that the mapping is reached with shapes the decoder would need
// many lucky bytes to produce: long 1setOf lists, collections of collections, values of the
// wrong tag, key=value strings that lie about their numbers.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ipp_mapping.h"
#include "model_checks.h"

namespace {

using vyxipp::Attribute;
using vyxipp::Value;

const char* const kMemberNames[] = {
    "media-source", "media-size-name", "media-type", "media-size", "x-dimension",
    "y-dimension",  "preset-name",     "print-quality", "finishings", "media-col",
    "sides",        "print-color-mode", "orientation-requested", "copies",
};

const char* const kKeyValueTexts[] = {
    "name=",  "type=sheetFeedAutoRemovableTray", "maxcapacity=", "level=", "status=",
    "colorantname=", "pagedelivery=faceDown", ";", "=", "type=",
};

const std::uint8_t kTags[] = {
    vyxipp::kInteger,       vyxipp::kEnum,          vyxipp::kBoolean,     vyxipp::kKeyword,
    vyxipp::kTextWithoutLanguage, vyxipp::kNameWithoutLanguage, vyxipp::kTextWithLanguage,
    vyxipp::kDateTime,      vyxipp::kResolution,    vyxipp::kRangeOfInteger, vyxipp::kNoValue,
    vyxipp::kUnknownValue,  vyxipp::kOctetString,   vyxipp::kUri,         vyxipp::kBegCollection,
};

class Builder {
  public:
    explicit Builder(FuzzedDataProvider& in) : in_(in) {
        for (const std::string& name : vyxipp::RequestedAttributes(vyxipp::kEverything)) {
            names_.push_back(name);
        }
        for (const char* name : kMemberNames) {
            members_.push_back(name);
        }
    }

    vyxipp::Message Reply() {
        vyxipp::Message m;
        m.groups.push_back(vyxipp::Group{vyxipp::kPrinterGroup, {}});
        const std::size_t count = in_.ConsumeIntegralInRange<std::size_t>(0, 48);
        for (std::size_t i = 0; i < count && in_.remaining_bytes() > 0; ++i) {
            Attribute a;
            a.name = in_.ConsumeBool() ? Pick(names_)
                                       : in_.ConsumeRandomLengthString(24);
            a.values = Values(0);
            m.groups.back().attributes.push_back(std::move(a));
        }
        return m;
    }

  private:
    const std::string& Pick(const std::vector<std::string>& from) {
        return from[in_.ConsumeIntegralInRange<std::size_t>(0, from.size() - 1)];
    }

    std::vector<Value> Values(int depth) {
        std::vector<Value> out;
        // Mostly a few values; sometimes a long list of short ones.
        const std::size_t count = in_.ConsumeBool() ? in_.ConsumeIntegralInRange<std::size_t>(0, 4)
                                                    : in_.ConsumeIntegralInRange<std::size_t>(0, 600);
        for (std::size_t i = 0; i < count && in_.remaining_bytes() > 0; ++i) {
            out.push_back(OneValue(depth));
        }
        return out;
    }

    Value OneValue(int depth) {
        const std::uint8_t tag = in_.PickValueInArray(kTags);
        switch (tag) {
            case vyxipp::kInteger:
            case vyxipp::kEnum:
                return Value::Integer(tag, in_.ConsumeIntegral<std::int32_t>());
            case vyxipp::kBoolean:
                return Value::Boolean(in_.ConsumeBool());
            case vyxipp::kRangeOfInteger:
                return Value::Range(in_.ConsumeIntegral<std::int32_t>(),
                                    in_.ConsumeIntegral<std::int32_t>());
            case vyxipp::kResolution:
                return Value::Resolution(in_.ConsumeIntegral<std::int32_t>(),
                                         in_.ConsumeIntegral<std::int32_t>(),
                                         in_.ConsumeIntegral<std::uint8_t>());
            case vyxipp::kTextWithLanguage:
                return Value::TextWithLanguage(tag, in_.ConsumeRandomLengthString(8), Text());
            case vyxipp::kBegCollection:
                if (depth < 4) {
                    std::vector<Attribute> members;
                    const std::size_t n = in_.ConsumeIntegralInRange<std::size_t>(0, 6);
                    for (std::size_t i = 0; i < n && in_.remaining_bytes() > 0; ++i) {
                        members.push_back(Attribute{Pick(members_), Values(depth + 1)});
                    }
                    return Value::Collection(std::move(members));
                }
                return Value::String(vyxipp::kKeyword, Text());
            default: {
                Value v = Value::String(tag, Text());
                if (in_.ConsumeBool()) {
                    v.bytes.resize(in_.ConsumeIntegralInRange<std::size_t>(0, 12));  // a lying size
                }
                return v;
            }
        }
    }

    // Free text, or key=value pieces the tray and supply strings are made of.
    std::string Text() {
        if (in_.ConsumeBool()) {
            return in_.ConsumeRandomLengthString(32);
        }
        std::string text;
        const std::size_t n = in_.ConsumeIntegralInRange<std::size_t>(0, 6);
        for (std::size_t i = 0; i < n; ++i) {
            text += in_.PickValueInArray(kKeyValueTexts);
            text += in_.ConsumeRandomLengthString(12);
        }
        return text;
    }

    FuzzedDataProvider& in_;
    std::vector<std::string> names_;
    std::vector<std::string> members_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const unsigned parts = in.ConsumeIntegralInRange<unsigned>(1, vyxipp::kEverything);
    Builder builder(in);
    const vyxipp::Message reply = builder.Reply();
    vyxserve::Printer printer;
    vyxipp::PrinterFacts facts;
    vyxipp::MapPrinter(reply, parts, printer, facts);
    vyxfuzz::CheckModel(printer);
    return 0;
}
