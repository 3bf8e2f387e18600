// The connection strings: printer URIs in each accepted form, and the options, with what is
// refused.
#include <gtest/gtest.h>

#include "connection.h"
#include "ipp_codes.h"

namespace vyxipp {
namespace {

TEST(IppConnection, AcceptedPrinterUris) {
    struct Case {
        const char* text;
        const char* uri;
        const char* host;
        std::uint16_t port;
        const char* path;
        bool secure;
    } cases[] = {
        {"ipp://printer:631/ipp/print", "ipp://printer:631/ipp/print", "printer", 631, "/ipp/print",
         false},
        {"IPPS://Printer.Example/ipp/print", "ipps://Printer.Example:631/ipp/print",
         "Printer.Example", 631, "/ipp/print", true},
        {"ipp://127.0.0.1:8631", "ipp://127.0.0.1:8631/ipp/print", "127.0.0.1", 8631, "/ipp/print",
         false},
        {"ipp://[::1]:8000/printers/q?x=1", "ipp://[::1]:8000/printers/q?x=1", "::1", 8000,
         "/printers/q?x=1", false},
        {"printer", "ipp://printer:631/ipp/print", "printer", 631, "/ipp/print", false},
        {"10.0.0.7:9100", "ipp://10.0.0.7:9100/ipp/print", "10.0.0.7", 9100, "/ipp/print", false},
        {"[fe80::1]", "ipp://[fe80::1]:631/ipp/print", "fe80::1", 631, "/ipp/print", false},
        {"ipp://p:65535/", "ipp://p:65535/", "p", 65535, "/", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Target t;
        ASSERT_EQ(ParseTarget(c.text, t), 0);
        EXPECT_EQ(t.uri, c.uri);
        EXPECT_EQ(t.host, c.host);
        EXPECT_EQ(t.port, c.port);
        EXPECT_EQ(t.path, c.path);
        EXPECT_EQ(t.secure, c.secure);
    }
}

// One name per printer, whichever way the first string wrote it: the credential store's key
// (the whole URI) and the certificate pin's (scheme, host and port).
TEST(IppConnection, NormalisedUrisAndOrigins) {
    const struct {
        const char* text;
        const char* uri;
        const char* origin;
    } cases[] = {
        {"ipp://printer:631/ipp/print", "ipp://printer:631/ipp/print", "ipp://printer:631"},
        {"IPPS://Printer.Example/ipp/print", "ipps://printer.example:631/ipp/print",
         "ipps://printer.example:631"},
        {"ipps://PRINTER:8631/Printers/Colour?Queue=A", "ipps://printer:8631/Printers/Colour?Queue=A",
         "ipps://printer:8631"},
        {"Printer", "ipp://printer:631/ipp/print", "ipp://printer:631"},
        {"10.0.0.7:9100", "ipp://10.0.0.7:9100/ipp/print", "ipp://10.0.0.7:9100"},
        {"ipps://[FE80::1]", "ipps://[fe80::1]:631/ipp/print", "ipps://[fe80::1]:631"},
        {"ipp://[::1]:8000/printers/q?x=1", "ipp://[::1]:8000/printers/q?x=1", "ipp://[::1]:8000"},
        {"ipp://p:65535/", "ipp://p:65535/", "ipp://p:65535"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Target t;
        ASSERT_EQ(ParseTarget(c.text, t), 0);
        EXPECT_EQ(NormalisedUri(t), c.uri);
        EXPECT_EQ(Origin(t), c.origin);
        Target again;
        ASSERT_EQ(ParseTarget(NormalisedUri(t), again), 0);
        EXPECT_EQ(NormalisedUri(again), c.uri);
    }
}

TEST(IppConnection, RefusedPrinterUris) {
    for (const char* text : {"",
                             "http://printer/ipp",
                             "ipp://",
                             "ipp:///ipp/print",
                             "ipp://host:0/",
                             "ipp://host:65536/",
                             "ipp://host:/x",
                             "ipp://host:12a/",
                             "ipp://user@host/",
                             "ipp://ho st/",
                             "ipp://host/a b",
                             "ipp://host/a\"b",
                             "ipp://host/#frag",
                             "printer/ipp/print",
                             "ipp://[::1/",
                             "ipp://[]/",
                             "ipp://[::1]x/",
                             "ipp://[g::1]/",
                             "ipp://h\xC3\xA9/",
                             "ipp://host:631:632/",
                             "ipp://host\t/"}) {
        SCOPED_TRACE(text);
        Target t;
        t.host = "unchanged";
        EXPECT_EQ(ParseTarget(text, t), kBadPrinterUri);
        EXPECT_EQ(t.host, "unchanged");
    }
}

TEST(IppConnection, Options) {
    Options o;
    ASSERT_EQ(ParseOptions("", o), 0);
    EXPECT_EQ(o.timeoutMs, 5000u);
    EXPECT_EQ(o.user, "vyxbidi");
    EXPECT_FALSE(o.acceptAnyCertificate);

    ASSERT_EQ(ParseOptions("timeout=250;user=alice;cert=any;", o), 0);
    EXPECT_EQ(o.timeoutMs, 250u);
    EXPECT_EQ(o.user, "alice");
    EXPECT_TRUE(o.acceptAnyCertificate);
    ASSERT_EQ(ParseOptions(";cert=check;;timeout=120000", o), 0);
    EXPECT_FALSE(o.acceptAnyCertificate);
    EXPECT_EQ(o.timeoutMs, 120000u);
    EXPECT_EQ(o.user, "vyxbidi");
    // The syntax every module shares: keys in any case, spaces around keys and values.
    ASSERT_EQ(ParseOptions(" Timeout = 300 ; USER=bob", o), 0);
    EXPECT_EQ(o.timeoutMs, 300u);
    EXPECT_EQ(o.user, "bob");

    for (const char* text : {"timeout", "timeout=", "timeout=99", "timeout=120001", "timeout=-5",
                             "timeout=5s", "timeout=0000000100", "timeout=1;timeout=2",
                             "user=", "user=a b", "user=123456789012345678901234567890123",
                             "cert=yes", "timeout=100;TIMEOUT=200", "speed=3", "=1"}) {
        SCOPED_TRACE(text);
        Options refused;
        refused.user = "unchanged";
        EXPECT_EQ(ParseOptions(text, refused), kBadOption);
        EXPECT_EQ(refused.user, "unchanged");
    }
}

}  // namespace
}  // namespace vyxipp
