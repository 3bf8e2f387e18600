// Fuzz target: the SNMP module's two connection strings. Accepted options stay inside the
// bounds the transport relies on: a timeout and retries that keep every wait bounded.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "options.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::size_t split = text.find('\n');
    vyxsnmp::Endpoint endpoint;
    if (vyxsnmp::ParsePrinter(text.substr(0, split), endpoint) &&
        (endpoint.host.empty() || endpoint.port == 0)) {
        std::abort();
    }
    vyxsnmp::ConnectOptions options;
    std::string problem;
    if (split != std::string::npos &&
        vyxsnmp::ParseOptions(text.substr(split + 1), options, problem)) {
        const auto& c = options.client;
        if (c.timeoutMs < 10 || c.timeoutMs > 60000 || c.retries > 10 || options.bulk > 255) {
            std::abort();
        }
    }
    return 0;
}
