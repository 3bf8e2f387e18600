// Parsing of the printer address and the option string.
#include "options.h"

#include <algorithm>
#include <cctype>

#include "codes.h"
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

template <typename T, std::size_t N>
bool Lookup(const std::string& text, const std::pair<const char*, T> (&table)[N], T& out) {
    const std::string lower = vyxserve::AsciiLower(text);
    for (const auto& entry : table) {
        if (lower == entry.first) {
            out = entry.second;
            return true;
        }
    }
    return false;
}

constexpr std::pair<const char*, SecurityLevel> kLevels[] = {{"noauth", SecurityLevel::kNoAuth},
                                                             {"auth", SecurityLevel::kAuth},
                                                             {"priv", SecurityLevel::kPriv}};
constexpr std::pair<const char*, AuthProtocol> kAuths[] = {
    {"md5", AuthProtocol::kMd5},       {"sha", AuthProtocol::kSha1},
    {"sha224", AuthProtocol::kSha224}, {"sha256", AuthProtocol::kSha256},
    {"sha384", AuthProtocol::kSha384}, {"sha512", AuthProtocol::kSha512}};
constexpr std::pair<const char*, PrivProtocol> kPrivs[] = {{"des", PrivProtocol::kDes},
                                                           {"aes", PrivProtocol::kAes128},
                                                           {"aes192", PrivProtocol::kAes192},
                                                           {"aes256", PrivProtocol::kAes256}};

// The options of version 3 alone.
bool ParseUsmOption(const vyxserve::OptionItem& item, UsmOptions& usm) {
    if (item.key == "user") {
        usm.user = item.value;
        return !item.value.empty() && item.value.size() <= kMaxAdminString;
    }
    if (item.key == "context") {
        usm.context = item.value;
        return item.value.size() <= kMaxAdminString;
    }
    if (item.key == "level") {
        SecurityLevel level = SecurityLevel::kNoAuth;
        if (!Lookup(item.value, kLevels, level)) {
            return false;
        }
        usm.level = level;
        return true;
    }
    if (item.key == "auth") {
        return Lookup(item.value, kAuths, usm.auth);
    }
    return item.key == "priv" && Lookup(item.value, kPrivs, usm.priv);
}

bool IsUsmKey(const std::string& key) {
    return key == "user" || key == "context" || key == "level" || key == "auth" || key == "priv";
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
    std::string usmOnly;
    for (const vyxserve::OptionItem& item : items) {
        problem = item.key + "=" + item.value;
        std::uint32_t number = 0;
        if (IsUsmKey(item.key)) {
            if (!ParseUsmOption(item, options.usm)) {
                return false;
            }
            usmOnly = problem;
        } else if (item.key == "community") {
            options.client.community = item.value;
            options.communityGiven = true;
        } else if (item.key == "version") {
            const std::string v = vyxserve::AsciiLower(item.value);
            if (v == "1") {
                options.version = VersionChoice::kV1;
            } else if (v == "2c") {
                options.version = VersionChoice::kV2c;
            } else if (v == "auto") {
                options.version = VersionChoice::kAuto;
            } else if (v == "3") {
                options.version = VersionChoice::kV3;
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
    // A community means nothing to version 3, a user or level nothing to the others.
    const bool v3 = options.version == VersionChoice::kV3;
    if (!v3 && !usmOnly.empty()) {
        problem = usmOnly;
        return false;
    }
    if (v3 && options.communityGiven) {
        problem = "community";
        return false;
    }
    problem.clear();
    return true;
}

std::int32_t ApplyCredential(const StoredSecrets& stored, ConnectOptions& options) {
    if (options.version != VersionChoice::kV3) {
        if (!options.communityGiven && stored.found && stored.user.empty() &&
            !stored.secrets.empty()) {
            const Secret& community = stored.secrets[0];
            options.client.community.assign(reinterpret_cast<const char*>(community.data()),
                                            community.size());
        }
        return 0;
    }
    UsmUser& user = options.user;
    const bool storedUser = stored.found && !stored.user.empty();
    if (storedUser && !options.usm.user.empty() && options.usm.user != stored.user) {
        return code::kUserMismatch;
    }
    user.name = storedUser ? stored.user : options.usm.user;
    if (user.name.empty()) {
        return code::kNoPassword;
    }
    const std::size_t passwords = storedUser ? stored.secrets.size() : 0;
    const SecurityLevel allowed = passwords >= 2   ? SecurityLevel::kPriv
                                  : passwords == 1 ? SecurityLevel::kAuth
                                                   : SecurityLevel::kNoAuth;
    user.level = options.usm.level.value_or(allowed);
    if (static_cast<int>(user.level) > static_cast<int>(allowed)) {
        return code::kNoPassword;
    }
    if (user.level != SecurityLevel::kNoAuth) {
        user.authPassword = stored.secrets[0];
    }
    if (user.level == SecurityLevel::kPriv) {
        user.privPassword = stored.secrets[1];
    }
    user.auth = options.usm.auth;
    user.priv = options.usm.priv;
    user.context = options.usm.context;
    return 0;
}

}  // namespace vyxsnmp
