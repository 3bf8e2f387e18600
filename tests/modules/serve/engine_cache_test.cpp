// The shared server's memory of printers' engines: trusted for the engine's time window since
// last confirmed, forgotten only as the engine it was, and bounded in printers.
#include <gtest/gtest.h>

#include "engine_cache.h"

namespace {

using vyxserve::EngineCache;
using vyxserve::EngineRecord;

TEST(EngineCache, AnEngineIsTrustedForItsTimeWindowSinceLastConfirmed) {
    EngineCache cache;
    EngineRecord found;
    EXPECT_FALSE(cache.Find("snmp://a:161", 0, found));
    cache.Keep("snmp://a:161", EngineRecord{"engine-a", 3, 1000, 5000});
    ASSERT_TRUE(cache.Find("snmp://a:161", 5000 + EngineCache::kTrustedMs - 1, found));
    EXPECT_EQ(found.id, "engine-a");
    EXPECT_EQ(found.boots, 3u);
    EXPECT_EQ(found.time, 1000u);
    EXPECT_FALSE(cache.Find("snmp://b:161", 5000, found));
    // Confirmed again later: trusted from then on.
    cache.Keep("snmp://a:161", EngineRecord{"engine-a", 3, 1100, 105000});
    EXPECT_TRUE(cache.Find("snmp://a:161", 5000 + EngineCache::kTrustedMs, found));
    EXPECT_FALSE(cache.Find("snmp://a:161", 105000 + EngineCache::kTrustedMs, found));
    EXPECT_FALSE(cache.Find("snmp://a:161", 105000, found));  // gone once past its window
}

TEST(EngineCache, OnlyTheEngineThatWasIsForgotten) {
    EngineCache cache;
    EngineRecord found;
    cache.Keep("snmp://a:161", EngineRecord{"engine-new", 1, 10, 0});
    cache.Forget("snmp://a:161", "engine-old");  // another connection learnt a newer one
    EXPECT_TRUE(cache.Find("snmp://a:161", 0, found));
    cache.Forget("snmp://a:161", "engine-new");
    EXPECT_FALSE(cache.Find("snmp://a:161", 0, found));
}

TEST(EngineCache, ThePrinterConfirmedLongestAgoGoesFirst) {
    EngineCache cache;
    for (std::size_t i = 0; i <= EngineCache::kMaxPrinters; ++i) {
        cache.Keep("snmp://printer-" + std::to_string(i) + ":161",
                   EngineRecord{"engine", 0, 0, 1000 + i});
    }
    EngineRecord found;
    EXPECT_FALSE(cache.Find("snmp://printer-0:161", 2000, found));
    EXPECT_TRUE(cache.Find("snmp://printer-1:161", 2000, found));
    EXPECT_TRUE(cache.Find("snmp://printer-64:161", 2000, found));
}

}  // namespace
