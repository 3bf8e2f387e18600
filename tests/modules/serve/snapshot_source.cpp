// A source for the server's own tests: every snapshot is numbered and says what it was taken
// for, so a test sees which snapshot each answer comes from.
//   first connection string "refuse": Connect answers kRefused;
//   second "fail-later": every snapshot after the connection's answers kSnapshotFailed.
// Its one feature "Mode" has options "keep1", "keep2" (not settable: kept by the server) and
// "send1" (taken by the printer, which then reports it selected).
#include <windows.h>

#include <memory>
#include <string>

#include "source.h"

namespace {

constexpr LONG kRefused = 0x2190;
constexpr LONG kSnapshotFailed = 0x2191;

const char* ScopeName(vyxserve::Scope scope) {
    switch (scope) {
        case vyxserve::Scope::kAll:
            return "all";
        case vyxserve::Scope::kColour:
            return "colour";
        case vyxserve::Scope::kAttributes:
            return "attributes";
        case vyxserve::Scope::kTemplates:
            return "templates";
    }
    return "?";
}

class NumberedSnapshots : public vyxserve::Source {
  public:
    LONG Connect(const std::string& first, const std::string& second) override {
        failLater_ = second == "fail-later";
        return first == "refuse" ? kRefused : 0;
    }

    LONG Snapshot(vyxserve::Scope scope, vyxserve::Printer& printer) override {
        if (failLater_ && taken_ > 0) {
            return kSnapshotFailed;
        }
        const std::string name = "snapshot " + std::to_string(++taken_);
        vyxserve::Feature mode{"Mode", name, {{"keep1", "K1"}, {"keep2", "K2"}, {"send1", "S1"}}};
        mode.selected = printerSelection_;
        printer.features = {mode};
        printer.trays = {{name, 0, taken_, "", ScopeName(scope), ""}};
        printer.templates = {{name, taken_, {}, {}}};
        printer.email = {true, static_cast<std::uint32_t>(taken_)};
        return 0;
    }

    LONG Select(const vyxserve::Feature& feature, const vyxserve::Option& option,
                bool& sent) override {
        sent = option.value == "send1";
        if (sent) {
            printerSelection_ = 2;
        }
        return 0;
    }

  private:
    bool failLater_ = false;
    std::int32_t taken_ = 0;
    std::size_t printerSelection_ = 0;
};

}  // namespace

namespace vyxserve {

std::unique_ptr<Source> CreateSource(const std::string&, LONG&) {
    return std::make_unique<NumberedSnapshots>();
}

}  // namespace vyxserve
