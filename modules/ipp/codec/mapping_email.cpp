// The e-mail notification: offered when notify-schemes-supported holds mailto.
#include "mapping_reply.h"
#include "option_string.h"

namespace vyxipp::mapping {

void MapEMail(const Reply& reply, vyxserve::Printer& printer) {
    bool mailto = false;
    for (const std::string& scheme : reply.Strings("notify-schemes-supported")) {
        mailto = mailto || vyxserve::AsciiLower(scheme) == "mailto";
    }
    // IPP subscribes to any event by e-mail once mailto is offered, so every value is covered,
    // whatever bits a caller's value sets on either architecture.
    printer.email.enabled = mailto;
    printer.email.events = mailto ? ~std::uint64_t{0} : 0;
}

}  // namespace vyxipp::mapping
