// The process's engines, per printer, trusted for the engine's time window since last confirmed.
#include "engine_cache.h"

#include <algorithm>

namespace vyxserve {

EngineCache& EngineCache::Shared() {
    static EngineCache cache;
    return cache;
}

bool EngineCache::Find(const std::string& printer, std::uint64_t now, EngineRecord& record) {
    const std::lock_guard<std::mutex> held(lock_);
    const auto found = engines_.find(printer);
    if (found == engines_.end()) {
        return false;
    }
    // A clock that went back (another clock than the one the entry was made with) trusts
    // nothing either.
    if (now < found->second.at || now - found->second.at >= kTrustedMs) {
        engines_.erase(found);
        return false;
    }
    record = found->second;
    return true;
}

void EngineCache::Keep(const std::string& printer, const EngineRecord& record) {
    const std::lock_guard<std::mutex> held(lock_);
    if (engines_.size() >= kMaxPrinters && engines_.count(printer) == 0) {
        engines_.erase(std::min_element(
            engines_.begin(), engines_.end(),
            [](const auto& a, const auto& b) { return a.second.at < b.second.at; }));
    }
    engines_[printer] = record;
}

void EngineCache::Forget(const std::string& printer, const std::string& id) {
    const std::lock_guard<std::mutex> held(lock_);
    const auto found = engines_.find(printer);
    if (found != engines_.end() && found->second.id == id) {
        engines_.erase(found);
    }
}

}  // namespace vyxserve
