// Parsing the printer URI and the options. Both arrive from a caller who may have typed them, so
// anything this module would not send as it stands is refused rather than guessed at.
#include "connection.h"

#include "ipp_codes.h"
#include "option_string.h"

namespace vyxipp {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsHostChar(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' || c == '.' ||
           c == '_';
}

bool IsIpv6Char(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' || c == '.';
}

bool IsPathChar(char c) {
    if (c < 0x21 || c > 0x7E) {
        return false;
    }
    for (char bad : std::string("\"<>\\^`{|}#")) {
        if (c == bad) {
            return false;
        }
    }
    return true;
}

// host[:port] or [v6][:port]; the whole of `authority`.
bool ParseAuthority(const std::string& authority, Target& target) {
    std::size_t hostEnd = 0;
    if (!authority.empty() && authority[0] == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string::npos || close < 2) {
            return false;
        }
        target.host = authority.substr(1, close - 1);
        for (char c : target.host) {
            if (!IsIpv6Char(c)) {
                return false;
            }
        }
        hostEnd = close + 1;
    } else {
        hostEnd = authority.find(':');
        if (hostEnd == std::string::npos) {
            hostEnd = authority.size();
        }
        target.host = authority.substr(0, hostEnd);
        if (target.host.empty()) {
            return false;
        }
        for (char c : target.host) {
            if (!IsHostChar(c)) {
                return false;
            }
        }
    }
    if (hostEnd == authority.size()) {
        return true;
    }
    if (authority[hostEnd] != ':') {
        return false;
    }
    std::uint32_t port = 0;
    if (!vyxserve::ParseDecimal(authority.substr(hostEnd + 1), 5, 1, 65535, port)) {
        return false;
    }
    target.port = static_cast<std::uint16_t>(port);
    return true;
}

}  // namespace

std::int32_t ParseTarget(const std::string& text, Target& target) {
    Target parsed;
    const std::size_t schemeEnd = text.find("://");
    std::string rest = text;
    if (schemeEnd != std::string::npos) {
        const std::string scheme = vyxserve::AsciiLower(text.substr(0, schemeEnd));
        if (scheme != "ipp" && scheme != "ipps") {
            return kBadPrinterUri;
        }
        parsed.secure = scheme == "ipps";
        rest = text.substr(schemeEnd + 3);
    }
    const std::size_t slash = rest.find('/');
    if (slash != std::string::npos) {
        if (schemeEnd == std::string::npos) {
            return kBadPrinterUri;  // a bare host names no path
        }
        parsed.path = rest.substr(slash);
        for (char c : parsed.path) {
            if (!IsPathChar(c)) {
                return kBadPrinterUri;
            }
        }
    }
    if (!ParseAuthority(rest.substr(0, slash), parsed)) {
        return kBadPrinterUri;
    }
    const bool v6 = parsed.host.find(':') != std::string::npos;
    parsed.uri = std::string(parsed.secure ? "ipps://" : "ipp://") +
                 (v6 ? "[" + parsed.host + "]" : parsed.host) + ":" + std::to_string(parsed.port) +
                 parsed.path;
    target = parsed;
    return 0;
}

std::string Origin(const Target& target) {
    const std::string host = vyxserve::AsciiLower(target.host);
    const bool v6 = host.find(':') != std::string::npos;
    return std::string(target.secure ? "ipps://" : "ipp://") + (v6 ? "[" + host + "]" : host) +
           ":" + std::to_string(target.port);
}

std::string NormalisedUri(const Target& target) {
    return Origin(target) + target.path;
}

std::int32_t ParseOptions(const std::string& text, Options& options) {
    std::vector<vyxserve::OptionItem> items;
    std::string problem;
    if (!vyxserve::SplitOptions(text, items, problem)) {
        return kBadOption;
    }
    Options parsed;
    for (const vyxserve::OptionItem& item : items) {
        if (item.key == "timeout") {
            if (!vyxserve::ParseDecimal(item.value, 6, kMinTimeoutMs, kMaxTimeoutMs,
                                        parsed.timeoutMs)) {
                return kBadOption;
            }
        } else if (item.key == "user") {
            if (item.value.empty() || item.value.size() > kMaxUserName) {
                return kBadOption;
            }
            for (char c : item.value) {
                if (c < 0x21 || c > 0x7E) {
                    return kBadOption;
                }
            }
            parsed.user = item.value;
        } else if (item.key == "cert") {
            if (item.value != "check" && item.value != "any") {
                return kBadOption;
            }
            parsed.acceptAnyCertificate = item.value == "any";
        } else {
            return kBadOption;
        }
    }
    options = parsed;
    return 0;
}

}  // namespace vyxipp
