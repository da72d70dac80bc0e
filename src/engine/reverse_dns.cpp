#include "engine/reverse_dns.h"

#include "ingest/text_search.h"
#include "platform/strings.h"

namespace tw::engine {

void ReverseDns::start(std::int64_t runStart, int lookupTooOldDays, int badLookupTooOldDays) {
    runStart_ = static_cast<std::int32_t>(runStart);
    goodLimit_ = runStart - std::int64_t{lookupTooOldDays} * 86400;
    badLimit_ = runStart - std::int64_t{badLookupTooOldDays} * 86400;
    lookups_ = 0;
    if (progress_) progress_->status(platform::text(platform::sid::NoLookupsYet));
}

std::string_view ReverseDns::cacheKey(std::string_view address) {
    std::array<std::uint8_t, 4> bytes{};
    return platform::parseDottedQuad(address, bytes) ? HostNameCache::keyOf(address) : address;
}

std::string ReverseDns::resolve(std::string_view address) {
    // Only a plain dotted quad stands for its block; any other address ("1.2.3.4%eth0" and
    // "::ffff:1.2.3.4" included) is never looked up, and its failed entry must not stop the
    // lookups of the block its last "." happens to cut out.
    std::array<std::uint8_t, 4> bytes{};
    const bool quad = platform::parseDottedQuad(address, bytes);
    const std::string_view key = cacheKey(address);
    const std::optional<HostCacheEntry> e = cache_.find(key);
    if (e && e->time >= goodLimit_) {
        if (e->success == 0) {
            if (e->time >= badLimit_) return {};
        } else {
            return e->name == "-" ? std::string() : e->name;
        }
    }
    return lookUp(address, key, quad ? &bytes : nullptr);
}

std::string ReverseDns::lookUp(std::string_view address, std::string_view key,
                               const std::array<std::uint8_t, 4>* bytes) {
    if (progress_) {
        const std::string shown(address.substr(0, 900));  // the status line holds 1000 bytes
        progress_->status(
            platform::format(platform::text(platform::sid::LookingUp).data(), shown.c_str()));
    }
    std::string name;
    if (bytes != nullptr) {
        ++lookups_;
        name = resolver_.reverseLookup(*bytes);
    }
    if (name.empty()) {
        cache_.store({std::string(key), "-", runStart_, 0});
        return {};
    }
    ingest::lowerAscii(name);
    // Kept as found: the analysis drops the first label itself, so a name from the cache and a
    // name just looked up give the same host.
    cache_.store({std::string(key), name, runStart_, 1});
    return name;
}

}  // namespace tw::engine
