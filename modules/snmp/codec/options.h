// The two connection strings: the printer ("snmp://host[:port]" or "host[:port]") and the
// options ("community=public;version=2c;timeout=1000;retries=1;bulk=0").
#pragma once

#include <cstdint>
#include <string>

#include "client.h"
#include "walk.h"

namespace vyxsnmp {

struct Endpoint {
    std::string host;  // a host name, an IPv4 address, or an IPv6 address without brackets
    std::uint16_t port = 161;
};

struct ConnectOptions {
    ClientSettings client;
    VersionChoice version = VersionChoice::kAuto;
    std::uint32_t bulk = 0;  // max-repetitions; 0 lets the walk choose
};

// Parses the first connection string; false for anything that does not name one agent.
bool ParsePrinter(const std::string& text, Endpoint& endpoint);

// The one name of the agent at `endpoint`, whichever way the first string wrote it:
// "snmp://host:port", the host ASCII-lower-cased, an IPv6 address in brackets, the port always
// written ("snmp://printer.example:161", "snmp://[fe80::1]:1161"). The module and bidiprobe name
// the printer's credential (credentials.h) by it.
std::string NormalisedUri(const Endpoint& endpoint);

// Parses the second connection string over the defaults already in `options`. Empty means
// every default. False, with the offending part in `problem`, for an unknown, repeated or
// badly valued option.
bool ParseOptions(const std::string& text, ConnectOptions& options, std::string& problem);

}  // namespace vyxsnmp
