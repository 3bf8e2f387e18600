// Parsing of the printer address and the option string.
#include "options.h"

#include <algorithm>
#include <cctype>

#include "option_string.h"

namespace vyxsnmp {
namespace {

std::string Trim(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) {
        ++begin;
    }
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) {
        --end;
    }
    return text.substr(begin, end - begin);
}

bool IsHostName(const std::string& host) {
    if (host.empty() || host.size() > 253) {
        return false;
    }
    for (const char c : host) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.' && c != '_') {
            return false;
        }
    }
    return true;
}

bool IsIpv6Literal(const std::string& host) {
    if (host.size() < 2 || host.size() > 45) {
        return false;
    }
    for (const char c : host) {
        if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') {
            return false;
        }
    }
    return host.find(':') != std::string::npos;
}

}  // namespace

bool ParsePrinter(const std::string& text, Endpoint& endpoint) {
    std::string rest = Trim(text);
    if (vyxserve::AsciiLower(rest.substr(0, 7)) == "snmp://") {
        rest = rest.substr(7);
    }
    if (!rest.empty() && rest.back() == '/') {
        rest.pop_back();
    }
    std::string host;
    std::string port;
    if (!rest.empty() && rest[0] == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string::npos) {
            return false;
        }
        host = rest.substr(1, close - 1);
        const std::string after = rest.substr(close + 1);
        if (!after.empty()) {
            if (after[0] != ':') {
                return false;
            }
            port = after.substr(1);
            if (port.empty()) {
                return false;
            }
        }
        if (!IsIpv6Literal(host)) {
            return false;
        }
    } else if (std::count(rest.begin(), rest.end(), ':') > 1) {
        host = rest;  // an IPv6 address without brackets, and so without a port
        if (!IsIpv6Literal(host)) {
            return false;
        }
    } else {
        const std::size_t colon = rest.find(':');
        host = rest.substr(0, colon);
        if (colon != std::string::npos) {
            port = rest.substr(colon + 1);
            if (port.empty()) {
                return false;
            }
        }
        if (!IsHostName(host)) {
            return false;
        }
    }
    std::uint32_t number = 161;
    if (!port.empty() && !vyxserve::ParseDecimal(port, 9, 1, 65535, number)) {
        return false;
    }
    endpoint.host = host;
    endpoint.port = static_cast<std::uint16_t>(number);
    return true;
}

std::string NormalisedUri(const Endpoint& endpoint) {
    const std::string host = vyxserve::AsciiLower(endpoint.host);
    const bool v6 = host.find(':') != std::string::npos;
    return "snmp://" + (v6 ? "[" + host + "]" : host) + ":" + std::to_string(endpoint.port);
}

bool ParseOptions(const std::string& text, ConnectOptions& options, std::string& problem) {
    std::vector<vyxserve::OptionItem> items;
    if (!vyxserve::SplitOptions(text, items, problem)) {
        return false;
    }
    for (const vyxserve::OptionItem& item : items) {
        problem = item.key + "=" + item.value;
        std::uint32_t number = 0;
        if (item.key == "community") {
            options.client.community = item.value;
        } else if (item.key == "version") {
            const std::string v = vyxserve::AsciiLower(item.value);
            if (v == "1") {
                options.version = VersionChoice::kV1;
            } else if (v == "2c") {
                options.version = VersionChoice::kV2c;
            } else if (v == "auto") {
                options.version = VersionChoice::kAuto;
            } else {
                return false;
            }
        } else if (item.key == "timeout" && vyxserve::ParseDecimal(item.value, 9, 10, 60000, number)) {
            options.client.timeoutMs = number;
        } else if (item.key == "retries" && vyxserve::ParseDecimal(item.value, 9, 0, 10, number)) {
            options.client.retries = number;
        } else if (item.key == "bulk" && vyxserve::ParseDecimal(item.value, 9, 0, 255, number)) {
            options.bulk = number;
        } else {
            return false;
        }
    }
    problem.clear();
    return true;
}

}  // namespace vyxsnmp
