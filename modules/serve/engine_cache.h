// What a connection learnt of a printer's protocol engine, kept for the process so that the next
// connection to the same printer need not ask again: an SNMPv3 authoritative engine's identity,
// its boots and its clock, per printer (the module's normalised URI). Every module that learns
// such a thing keeps it here, under one rule: an entry lives as long as the engine's clock, as
// last confirmed and advanced by our own clock since, may be trusted within the time window an
// engine allows a message (150 s either way), and goes at once when the engine refuses it.
// Portable C++ (std::mutex), so that the codecs that use it are tested natively as well.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

namespace vyxserve {

// An authoritative engine's identity and clock as learnt at `at` (milliseconds of a monotonic
// clock that all connections of the process share).
struct EngineRecord {
    std::string id;
    std::uint32_t boots = 0;
    std::uint32_t time = 0;  // the engine's seconds since its boot, at `at`
    std::uint64_t at = 0;
};

class EngineCache {
  public:
    // How long after it was last confirmed an entry is trusted: the engine's time window.
    static constexpr std::uint64_t kTrustedMs = 150 * 1000;
    // Printers remembered at most; the one confirmed longest ago goes first.
    static constexpr std::size_t kMaxPrinters = 64;

    // The process's cache, which every connection shares.
    static EngineCache& Shared();

    // The engine last confirmed for `printer`, when it is still trusted at `now`.
    bool Find(const std::string& printer, std::uint64_t now, EngineRecord& record);
    // Keeps `record` for `printer`, in place of what was kept.
    void Keep(const std::string& printer, const EngineRecord& record);
    // Forgets `printer`'s engine if it is still `id` (another connection may have learnt a newer
    // one meanwhile).
    void Forget(const std::string& printer, const std::string& id);

  private:
    std::mutex lock_;
    std::map<std::string, EngineRecord> engines_;
};

}  // namespace vyxserve
