// Fuzz target: the IPP module's two connection strings. Whatever the text, the parsers answer
// 0 or their code, and a target they accept is one the transport can use: a host of printable
// ASCII without spaces, a path that starts with a slash, and a URI that parses back to it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "connection.h"
#include "ipp_codes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::size_t split = text.find('\n');
    const std::string first = text.substr(0, split);
    const std::string second = split == std::string::npos ? std::string() : text.substr(split + 1);

    vyxipp::Target target;
    const std::int32_t code = vyxipp::ParseTarget(first, target);
    if (code != 0 && code != vyxipp::kBadPrinterUri) {
        std::abort();
    }
    if (code == 0) {
        if (target.host.empty() || target.path.empty() || target.path[0] != '/') {
            std::abort();
        }
        for (const char c : target.host + target.path) {
            if (c <= ' ' || c >= 0x7F) {
                std::abort();
            }
        }
        // The URI the requests name parses back to the same place.
        vyxipp::Target again;
        if (vyxipp::ParseTarget(target.uri, again) != 0 || again.uri != target.uri ||
            again.host != target.host || again.port != target.port ||
            again.path != target.path || again.secure != target.secure) {
            std::abort();
        }
    }
    vyxipp::Options options;
    const std::int32_t parsed = vyxipp::ParseOptions(second, options);
    if (parsed != 0 && parsed != vyxipp::kBadOption) {
        std::abort();
    }
    if (parsed == 0 && (options.timeoutMs < vyxipp::kMinTimeoutMs ||
                        options.timeoutMs > vyxipp::kMaxTimeoutMs ||
                        options.user.size() > vyxipp::kMaxUserName)) {
        std::abort();
    }
    return 0;
}
