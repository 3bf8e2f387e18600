// The two connection strings of the IPP module: the printer's URI, and the options.
#pragma once

#include <cstdint>
#include <string>

namespace vyxipp {

// Where the printer is. `uri` is what the requests name as printer-uri; host, port, path and
// `secure` are where the HTTP requests go.
struct Target {
    std::string uri;
    std::string host;  // a name or an address; an IPv6 address without its brackets
    std::uint16_t port = 631;
    std::string path = "/ipp/print";
    bool secure = false;
};

struct Options {
    std::uint32_t timeoutMs = 5000;     // each request, from its name lookup to the last byte read
    std::string user = "vyxbidi";       // requesting-user-name
    bool acceptAnyCertificate = false;  // ipps: take a self-signed or otherwise unchecked one
};

constexpr std::uint32_t kMinTimeoutMs = 100;
constexpr std::uint32_t kMaxTimeoutMs = 120000;
constexpr std::size_t kMaxUserName = 32;

// `ipp://host[:port][/path]`, `ipps://...` or a bare `host[:port]` (which means
// `ipp://host:port/ipp/print`). 0, or kBadPrinterUri.
std::int32_t ParseTarget(const std::string& text, Target& target);

// The one name of the printer at `target`, whichever way the first string wrote it: its URI
// with the scheme and the host lower-cased, the port always written and the path as given
// ("ipps://printer.example:631/ipp/print", "ipp://[fe80::1]:8000/printers/q"). The module and
// bidiprobe name the printer's credential (credentials.h) by it.
std::string NormalisedUri(const Target& target);

// The scheme, host and port of `target`, lower-cased as in NormalisedUri and without the path:
// "ipps://printer.example:631" for a TLS printer, the name of its certificate pin
// (trust_store.h); "ipp://host:port" for a printer without TLS.
std::string Origin(const Target& target);

// `key=value` pairs separated by `;`: timeout=MS, user=NAME, cert=check|any. Empty means the
// defaults. 0, or kBadOption.
std::int32_t ParseOptions(const std::string& text, Options& options);

}  // namespace vyxipp
