// The shared server's memory of printers' engines: forgotten only as the engine it was, and
// bounded in printers.
#include <gtest/gtest.h>

#include "engine_cache.h"

namespace {

using vyxserve::EngineCache;
using vyxserve::EngineRecord;

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
