// The simulated printer as a source: the printer of the description beside the caller's path,
// always reachable, never settable (the server keeps selections in the query context).
#include <windows.h>

#include <memory>

#include "code_page_text.h"
#include "description.h"
#include "printer_file.h"
#include "sim_codes.h"
#include "source.h"

namespace vyxsim {
namespace {

class DescribedPrinter : public vyxserve::Source {
  public:
    explicit DescribedPrinter(Description description) : description_(std::move(description)) {}

    LONG Connect(const std::string&, const std::string&) override { return 0; }

    LONG Snapshot(vyxserve::Scope, Printer& printer) override {
        printer = description_.printer;
        return 0;
    }

    LONG Select(const vyxserve::Feature&, const vyxserve::Option&, bool& sent) override {
        sent = false;
        return 0;
    }

    const Faults& faults() const override { return description_.faults; }

  private:
    Description description_;
};

}  // namespace
}  // namespace vyxsim

namespace vyxserve {

// A refused description is told to the developer, and initialisation fails with its code.
std::unique_ptr<Source> CreateSource(const std::string& path, LONG& code) {
    using namespace vyxsim;
    const std::wstring descriptionPath = DescriptionPathFor(vyxtext::Decode(CP_ACP, path));
    try {
        return std::make_unique<DescribedPrinter>(LoadPrinter(descriptionPath));
    } catch (const DescriptionError& e) {
        ReportDescriptionError(descriptionPath, e.what());
        code = kBadDescription;
        return nullptr;
    }
}

}  // namespace vyxserve
