#pragma once
// The host names found by reverse lookups, kept from run to run in "reversedns.dat". Entries
// are keyed by the address without its last part ("192.0.2" for 192.0.2.17), so one lookup
// serves a whole block; a failed lookup is kept as "-" so it is not retried at once.
//
// Threads: every operation takes the cache's own lock, so workers may look up and store
// concurrently. Texts live on the heap, not in a run's arena: they outlive the run.
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "engine/archive.h"
#include "engine/lookup2.h"
#include "engine/stat_items.h"
#include "engine/stat_table.h"

namespace tw::engine {

struct HostCacheEntry {
    std::string key;
    std::string name;       // "-" for a failed lookup
    std::int32_t time = 0;  // seconds since 1970 of the lookup
    std::int32_t success = 0;
    bool operator==(const HostCacheEntry&) const = default;
};

// A second store under a key replaces the whole entry.
struct HostCacheKind {
    using Item = HostCacheEntry;
    using Totals = NoTotals;
    static std::uint32_t hash(const Item& i) { return lookup2(i.key); }
    static bool equals(const Item& a, const Item& b) { return a.key == b.key; }
    static void merge(Item& s, const Item& in, Totals&) { s = in; }
    static void onInsert(Item&, const Item&, Totals&) {}
};

class HostNameCache {
  public:
    static constexpr const char* kFileName = "reversedns.dat";
    static constexpr std::uint32_t kBuckets = 10000;
    static constexpr std::int32_t kFileVersion = 1;
    // Names are stored as long as a log field can be; the file reader takes them back at that
    // length, so a file the program wrote always reads back.
    static constexpr std::uint32_t kMaxName = 9999;

    HostNameCache() : table_(kBuckets) {}

    // The cache key of an address: everything before its last ".".
    static std::string_view keyOf(std::string_view address);

    std::optional<HostCacheEntry> find(std::string_view key) const;
    void store(HostCacheEntry entry);
    std::size_t size() const;
    void clear();

    // The file's bytes: version, bucket count, entry count (failed entries included), the
    // successful entries, and the count of failed ones, which are not written.
    std::string serialise() const;
    // Reads entries until the count is reached or a record is damaged, keeping those before;
    // false when the file was damaged or short.
    bool deserialise(std::string_view bytes);

    // A missing file is an empty cache (true); the file is replaced whole, by writing a
    // temporary file beside it and renaming it, so a crash never leaves half a cache.
    bool load(const std::string& path);
    bool save(const std::string& path) const;

  private:
    mutable std::mutex mutex_;
    StatTable<HostCacheKind> table_;
};

}  // namespace tw::engine
