// The two connection strings: printer names and option strings, accepted and refused.
#include <gtest/gtest.h>

#include <cstring>

#include "codes.h"
#include "options.h"

namespace {

using namespace vyxsnmp;

TEST(SnmpOptions, PrinterNames) {
    const struct {
        const char* text;
        bool ok;
        const char* host;
        std::uint16_t port;
    } cases[] = {
        {"printer", true, "printer", 161},
        {"snmp://printer.example.com", true, "printer.example.com", 161},
        {"SNMP://10.0.0.7:1161/", true, "10.0.0.7", 1161},
        {"  127.0.0.1:65535  ", true, "127.0.0.1", 65535},
        {"[::1]:1161", true, "::1", 1161},
        {"snmp://[fe80::1]", true, "fe80::1", 161},
        {"::1", true, "::1", 161},
        {"", false, "", 0},
        {"snmp://", false, "", 0},
        {"printer:", false, "", 0},
        {"printer:0", false, "", 0},
        {"printer:65536", false, "", 0},
        {"printer:12a", false, "", 0},
        {"[::1", false, "", 0},
        {"[::1]1161", false, "", 0},
        {"[printer]:161", false, "", 0},
        {"public@printer", false, "", 0},
        {"ipp://printer", false, "", 0},
        {"snmp://printer/path", false, "", 0},
        {"two words", false, "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Endpoint endpoint;
        ASSERT_EQ(ParsePrinter(c.text, endpoint), c.ok);
        if (c.ok) {
            EXPECT_EQ(endpoint.host, c.host);
            EXPECT_EQ(endpoint.port, c.port);
        }
    }
}

// One name per agent, whichever way the first string wrote it: the credential store's key.
TEST(SnmpOptions, NormalisedUris) {
    const struct {
        const char* text;
        const char* uri;
    } cases[] = {
        {"printer", "snmp://printer:161"},
        {"Printer.Example.COM", "snmp://printer.example.com:161"},
        {"SNMP://Printer.Example:161/", "snmp://printer.example:161"},
        {"snmp://printer.example", "snmp://printer.example:161"},
        {"  10.0.0.7:1161 ", "snmp://10.0.0.7:1161"},
        {"[::1]:1161", "snmp://[::1]:1161"},
        {"snmp://[FE80::1]", "snmp://[fe80::1]:161"},
        {"FE80::A:1", "snmp://[fe80::a:1]:161"},
        {"snmp://my_host-2:65535", "snmp://my_host-2:65535"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Endpoint endpoint;
        ASSERT_TRUE(ParsePrinter(c.text, endpoint));
        EXPECT_EQ(NormalisedUri(endpoint), c.uri);
        // The normalised URI names the same agent, and is its own normal form.
        Endpoint again;
        ASSERT_TRUE(ParsePrinter(NormalisedUri(endpoint), again));
        EXPECT_EQ(NormalisedUri(again), c.uri);
    }
}

TEST(SnmpOptions, OptionStrings) {
    ConnectOptions defaults;
    std::string problem;
    ASSERT_TRUE(ParseOptions("", defaults, problem));
    EXPECT_EQ(defaults.client.community, "public");
    EXPECT_EQ(defaults.version, VersionChoice::kAuto);
    EXPECT_EQ(defaults.client.timeoutMs, 1000u);
    EXPECT_EQ(defaults.client.retries, 1u);

    ConnectOptions all;
    ASSERT_TRUE(ParseOptions(" Community = colour-mfp ;VERSION=2c;timeout=250;retries=0;bulk=12;",
                             all, problem));
    EXPECT_EQ(all.client.community, "colour-mfp");
    EXPECT_EQ(all.version, VersionChoice::kV2c);
    EXPECT_EQ(all.client.timeoutMs, 250u);
    EXPECT_EQ(all.client.retries, 0u);
    EXPECT_EQ(all.bulk, 12u);

    const struct {
        const char* text;
        const char* problem;
    } refused[] = {
        {"community", "community"},
        {"colour=yes", "colour=yes"},
        {"version=4", "version=4"},
        {"timeout=9", "timeout=9"},
        {"timeout=60001", "timeout=60001"},
        {"timeout=1s", "timeout=1s"},
        {"retries=11", "retries=11"},
        {"retries=-1", "retries=-1"},
        {"bulk=256", "bulk=256"},
        {"timeout=100;timeout=200", "timeout=200"},
        {"community=a;=b", "=b"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.text);
        ConnectOptions options;
        EXPECT_FALSE(ParseOptions(c.text, options, problem));
        EXPECT_EQ(problem, c.problem);
    }
}

TEST(SnmpOptions, Version3Options) {
    ConnectOptions options;
    std::string problem;
    ASSERT_TRUE(ParseOptions("version=3;user=ops;level=AUTH;auth=sha256;priv=aes256;context=MFP",
                             options, problem));
    EXPECT_EQ(options.version, VersionChoice::kV3);
    EXPECT_EQ(options.usm.user, "ops");
    EXPECT_EQ(options.usm.level, SecurityLevel::kAuth);
    EXPECT_EQ(options.usm.auth, AuthProtocol::kSha256);
    EXPECT_EQ(options.usm.priv, PrivProtocol::kAes256);
    EXPECT_EQ(options.usm.context, "MFP");

    ConnectOptions defaults;
    ASSERT_TRUE(ParseOptions("version=3", defaults, problem));
    EXPECT_FALSE(defaults.usm.level.has_value());
    EXPECT_EQ(defaults.usm.auth, AuthProtocol::kSha1);
    EXPECT_EQ(defaults.usm.priv, PrivProtocol::kAes128);

    const struct {
        const char* text;
        const char* problem;
    } refused[] = {
        {"user=ops", "user=ops"},  // only with version=3
        {"version=2c;level=auth", "level=auth"},
        {"version=3;community=public", "community"},
        {"version=3;level=authpriv", "level=authpriv"},
        {"version=3;auth=sha1", "auth=sha1"},
        {"version=3;priv=3des", "priv=3des"},
        {"version=3;user=", "user="},
        {"version=3;user=123456789012345678901234567890123",
         "user=123456789012345678901234567890123"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.text);
        ConnectOptions refusedOptions;
        EXPECT_FALSE(ParseOptions(c.text, refusedOptions, problem));
        EXPECT_EQ(problem, c.problem);
    }
}

// The options and the stored credential together: who the connection speaks as, at which level.
TEST(SnmpOptions, StoredCredentials) {
    const auto secret = [](const char* text) { return Secret(text, std::strlen(text)); };
    const auto stored = [&](const char* user, std::vector<const char*> passwords) {
        StoredSecrets s;
        s.found = true;
        s.user = user;
        for (const char* p : passwords) {
            s.secrets.push_back(secret(p));
        }
        return s;
    };
    const StoredSecrets none;
    const struct {
        const char* options;
        StoredSecrets stored;
        std::int32_t code;
        const char* user;
        SecurityLevel level;
        const char* community;
    } cases[] = {
        {"", none, 0, "", SecurityLevel::kNoAuth, "public"},
        {"", stored("", {"office"}), 0, "", SecurityLevel::kNoAuth, "office"},
        {"community=given", stored("", {"office"}), 0, "", SecurityLevel::kNoAuth, "given"},
        // A v3 user's password is never taken for a community.
        {"version=2c", stored("ops", {"authpass"}), 0, "", SecurityLevel::kNoAuth, "public"},
        {"version=3", stored("ops", {"authpass", "privpass"}), 0, "ops", SecurityLevel::kPriv, ""},
        {"version=3", stored("ops", {"authpass"}), 0, "ops", SecurityLevel::kAuth, ""},
        {"version=3", stored("ops", {}), 0, "ops", SecurityLevel::kNoAuth, ""},
        {"version=3;level=auth", stored("ops", {"a", "p"}), 0, "ops", SecurityLevel::kAuth, ""},
        {"version=3;user=ops", stored("ops", {"a"}), 0, "ops", SecurityLevel::kAuth, ""},
        {"version=3;user=guest", none, 0, "guest", SecurityLevel::kNoAuth, ""},
        {"version=3;user=guest", stored("", {"office"}), 0, "guest", SecurityLevel::kNoAuth, ""},
        {"version=3", none, code::kNoPassword, "", SecurityLevel::kNoAuth, ""},
        {"version=3;user=guest;level=auth", none, code::kNoPassword, "", SecurityLevel::kNoAuth,
         ""},
        {"version=3;level=priv", stored("ops", {"a"}), code::kNoPassword, "",
         SecurityLevel::kNoAuth, ""},
        {"version=3;user=other", stored("ops", {"a"}), code::kUserMismatch, "",
         SecurityLevel::kNoAuth, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        ConnectOptions options;
        std::string problem;
        ASSERT_TRUE(ParseOptions(c.options, options, problem));
        ASSERT_EQ(ApplyCredential(c.stored, options), c.code);
        if (c.code != 0) {
            continue;
        }
        if (options.version == VersionChoice::kV3) {
            EXPECT_EQ(options.user.name, c.user);
            EXPECT_EQ(options.user.level, c.level);
            EXPECT_EQ(options.user.authPassword.empty(), c.level == SecurityLevel::kNoAuth);
            EXPECT_EQ(options.user.privPassword.empty(), c.level != SecurityLevel::kPriv);
        } else {
            EXPECT_EQ(options.client.community, c.community);
        }
    }
}

}  // namespace
