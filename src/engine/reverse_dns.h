#pragma once
// Settles a client address through the host-name cache and, on a miss, a blocking reverse
// lookup. Entries older than the good-entry limit are looked up again; a failed entry is
// retried only once it is older than the bad-entry limit.
//
// Threads: resolve() is called by many workers at once, outside the analysis lock; the cache
// and the resolver are thread-safe, and the status texts go to a Progress that takes status()
// from any thread.
#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/host_cache.h"
#include "engine/record_classifier.h"
#include "platform/progress.h"
#include "platform/resolver.h"

namespace tw::engine {

class ReverseDns final : public ClassifierHooks {
  public:
    ReverseDns(HostNameCache& cache, platform::Resolver& resolver, platform::Progress* progress)
        : cache_(cache), resolver_(resolver), progress_(progress) {}

    // Fixes the run's start time and the two age limits (in days), and posts the "no lookups
    // yet" status.
    void start(std::int64_t runStart, int lookupTooOldDays, int badLookupTooOldDays);
    // The name of `address` (in canonical spelling), or empty when it stays an address. Only
    // IPv4 addresses are looked up; any other is remembered as having no name.
    std::string resolve(std::string_view address) override;
    std::uint64_t lookups() const { return lookups_.load(); }
    // The host-name cache's key for `address`: its block for a plain dotted quad, the whole
    // address otherwise.
    static std::string_view cacheKey(std::string_view address);

  private:
    // `bytes`: the address to ask the resolver for; null when it cannot be asked.
    std::string lookUp(std::string_view address, std::string_view key,
                       const std::array<std::uint8_t, 4>* bytes);

    HostNameCache& cache_;
    platform::Resolver& resolver_;
    platform::Progress* progress_;
    std::int32_t runStart_ = 0;
    std::int64_t goodLimit_ = 0;
    std::int64_t badLimit_ = 0;
    std::atomic<std::uint64_t> lookups_{0};
};

}  // namespace tw::engine
