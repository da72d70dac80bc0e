#pragma once
// A whole statistics table in an archive: format 1, the bucket count, the entry count, the
// entries through their kind's serialise operation (bucket by bucket, along each chain), and
// the count of entries that operation skipped.
//
// Only kinds with read/write operations can be archived. Reading re-creates the table and adds
// every entry through insert-or-merge, so a damaged file can never break the table's rules.
#include <cstdint>

#include "engine/archive.h"
#include "engine/stat_table.h"
#include "engine/string_arena.h"

namespace tw::engine {

inline constexpr std::int32_t kTableFormat = 1;
// A read table starts with this many buckets whatever the file says; it grows as it needs.
inline constexpr std::uint32_t kReadTableBuckets = 10000;

template <typename Kind>
void writeTable(ArchiveWriter& out, const StatTable<Kind>& table) {
    // Items go to a side archive first: the entry count in front must be the count of items
    // actually written, or a reader would take the skipped count for an item.
    ArchiveWriter items;
    std::uint64_t written = 0, skipped = 0;
    table.forEach([&](const typename Kind::Item& item) {
        if (Kind::write(items, item) == SerialiseStatus::Ok)
            ++written;
        else
            ++skipped;
    });
    out.i32(kTableFormat);
    out.u32(static_cast<std::uint32_t>(table.bucketCount()));
    out.u64(written);
    out.raw(items.bytes());
    out.u64(skipped);
}

// False when the archive is short or damaged; the entries read before the damage stay in the
// table.
template <typename Kind>
bool readTable(ArchiveReader& in, StatTable<Kind>& table, StringArena& arena) {
    table.reset(kReadTableBuckets);
    std::int32_t format;
    std::uint32_t buckets;
    std::uint64_t count;
    if (!in.i32(format) || format != kTableFormat || !in.u32(buckets) || !in.u64(count))
        return false;
    // The count is not trusted for anything but the loop: a hostile one just runs into the end
    // of the buffer.
    for (std::uint64_t i = 0; i < count; ++i) {
        typename Kind::Item item{};
        const SerialiseStatus st = Kind::read(in, arena, item);
        if (st == SerialiseStatus::Failed) return false;
        if (st == SerialiseStatus::Ok) table.insertOrMerge(item);
    }
    std::uint64_t skipped;
    return in.u64(skipped);
}

}  // namespace tw::engine
