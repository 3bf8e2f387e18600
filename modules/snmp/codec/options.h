// The two connection strings: the printer ("snmp://host[:port]" or "host[:port]") and the
// options ("community=public;version=2c;timeout=1000;retries=1;bulk=0", or for version 3
// "version=3;user=NAME;level=priv;auth=sha;priv=aes;context=NAME"), and how a credential stored
// for the printer completes them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "client.h"
#include "walk.h"

namespace vyxsnmp {

struct Endpoint {
    std::string host;  // a host name, an IPv4 address, or an IPv6 address without brackets
    std::uint16_t port = 161;
};

// Version 3's options; the passwords come from the credential store alone.
struct UsmOptions {
    std::string user;                    // empty: the stored credential's
    std::optional<SecurityLevel> level;  // none: as high as the stored passwords allow
    AuthProtocol auth = AuthProtocol::kSha1;
    PrivProtocol priv = PrivProtocol::kAes128;
    std::string context;
};

struct ConnectOptions {
    ClientSettings client;
    VersionChoice version = VersionChoice::kAuto;
    std::uint32_t bulk = 0;  // max-repetitions; 0 lets the walk choose
    bool communityGiven = false;
    UsmOptions usm;
    UsmUser user;  // version 3: the options and the stored credential together
};

// What the credential store holds for the printer.
struct StoredSecrets {
    bool found = false;
    std::string user;             // UTF-8; empty: the secret is a community
    std::vector<Secret> secrets;  // a community; or the authentication, then privacy password
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

// Completes parsed options with the printer's stored credential: versions 1 and 2c take a stored
// community unless the options name one (a stored SNMPv3 user's password is never a community);
// version 3 takes the stored user and passwords, and the level they allow unless the options
// name one. 0, or code::kNoPassword (no user at all, or the level named needs a password not
// stored), code::kUserMismatch (user= names another user than the stored one).
std::int32_t ApplyCredential(const StoredSecrets& stored, ConnectOptions& options);

}  // namespace vyxsnmp
