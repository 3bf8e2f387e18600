// Fuzz target: the tables a walk brings back, made up row by row, mapped to the printer model.
// Rows land on the columns the mapping reads, under indexes of one, two or more parts and of
// several devices, with values of every type an agent may send, numbers at their extremes.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "model_checks.h"
#include "printer_mib.h"

namespace {

using namespace vyxsnmp;

const std::uint8_t kTypes[] = {tag::kInteger,   tag::kOctetString, tag::kOid,
                               tag::kNull,      tag::kCounter32,   tag::kGauge32,
                               tag::kCounter64, tag::kIpAddress,   tag::kNoSuchInstance};

// The system's conversion, as the module's Windows part provides it: here any charset it is
// asked for becomes the bytes as they are, or a refusal.
class Decoder : public TextDecoder {
  public:
    explicit Decoder(bool converts) : converts_(converts) {}

  protected:
    bool ConvertOther(const std::string& bytes, int, std::string& utf8) const override {
        if (!converts_ || !IsValidUtf8(bytes)) {
            return false;
        }
        utf8 = bytes;
        return true;
    }

  private:
    bool converts_;
};

Value MakeValue(FuzzedDataProvider& in) {
    Value v;
    v.type = in.PickValueInArray(kTypes);
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:
            v.number = in.ConsumeIntegralInRange<std::int64_t>(-3, 20);
            break;
        case 1:
            v.number = in.PickValueInArray<std::int64_t>(
                {INT64_MIN, INT64_MAX, INT32_MIN, INT32_MAX, INT64_C(1) << 62, 0xFFFFFFFF});
            break;
        case 2:
            v.number = in.ConsumeIntegral<std::int64_t>();
            break;
        default:
            v.number = in.ConsumeIntegral<std::int32_t>();
            break;
    }
    v.bytes = in.ConsumeRandomLengthString(40);
    if (v.type == tag::kOid) {
        v.oid = in.ConsumeBool() ? Oid{1, 3, 6, 1, 2, 1, 25, 3, 1, 14} : Oid{1, 3, 6, 1};
    }
    return v;
}

// Mostly the (device, row) indexes of the Printer MIB tables, on one of two devices.
Oid MakeIndex(FuzzedDataProvider& in) {
    if (in.ConsumeBool()) {
        return Oid{in.ConsumeIntegralInRange<std::uint32_t>(1, 2),
                   in.ConsumeIntegralInRange<std::uint32_t>(0, 4)};
    }
    std::vector<std::uint32_t> parts;
    const std::size_t n = in.ConsumeIntegralInRange<std::size_t>(0, 3);
    for (std::size_t i = 0; i < n; ++i) {
        parts.push_back(in.ConsumeBool() ? in.ConsumeIntegralInRange<std::uint32_t>(0, 4)
                                         : in.ConsumeIntegral<std::uint32_t>());
    }
    return Oid(std::move(parts));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const Parts parts = in.PickValueInArray({Parts::kColour, Parts::kAttributes, Parts::kAll});
    const Decoder decoder(in.ConsumeBool());
    MibData mib;
    const std::size_t rows = in.ConsumeIntegralInRange<std::size_t>(0, 200);
    for (std::size_t i = 0; i < rows && in.remaining_bytes() > 0; ++i) {
        const auto column = static_cast<Column>(in.ConsumeIntegralInRange<std::size_t>(0, kColumnCount - 1));
        Oid index = MakeIndex(in);
        mib.rows[column].emplace_back(std::move(index), MakeValue(in));
    }
    vyxserve::Printer printer;
    if (MapPrinter(mib, parts, decoder, printer) == MapStatus::kOk) {
        vyxfuzz::CheckModel(printer, true);
    }
    return 0;
}
