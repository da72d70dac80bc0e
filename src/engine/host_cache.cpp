#include "engine/host_cache.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "ingest/text_search.h"

namespace tw::engine {

std::string_view HostNameCache::keyOf(std::string_view address) {
    const std::size_t dot = ingest::lastOf(address, '.');
    return dot == std::string_view::npos ? address : address.substr(0, dot);
}

std::optional<HostCacheEntry> HostNameCache::find(std::string_view key) const {
    std::lock_guard lock(mutex_);
    std::optional<HostCacheEntry> out;
    // The table's find is its write path; a probe that is never stored is cheaper to walk by
    // hand than to insert and take back.
    table_.forEachInChain(lookup2(key), [&](const HostCacheEntry& e) {
        if (!out && e.key == key) out = e;
    });
    return out;
}

void HostNameCache::store(HostCacheEntry entry) {
    std::lock_guard lock(mutex_);
    if (entry.name.size() > kMaxName) entry.name.resize(kMaxName);
    table_.insertOrMerge(entry);
}

std::size_t HostNameCache::size() const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(table_.size());
}

void HostNameCache::clear() {
    std::lock_guard lock(mutex_);
    table_.reset(kBuckets);
}

std::string HostNameCache::serialise() const {
    std::lock_guard lock(mutex_);
    ArchiveWriter out;
    out.i32(kFileVersion);
    out.u32(std::min<std::uint32_t>(static_cast<std::uint32_t>(table_.bucketCount()), kBuckets));
    out.u64(table_.size());
    std::uint64_t failed = 0;
    table_.forEach([&](const HostCacheEntry& e) {
        if (e.success == 0) {
            ++failed;
            return;
        }
        out.text(e.key);
        out.text(e.name);
        out.i32(e.time);
        out.i32(1);
    });
    out.u64(failed);
    return out.bytes();
}

bool HostNameCache::deserialise(std::string_view bytes) {
    ArchiveReader in(bytes);
    std::int32_t version;
    std::uint32_t buckets;
    std::uint64_t count;
    if (!in.i32(version) || !in.u32(buckets) || !in.u64(count)) return false;
    if (version != 0 && version != 1) return false;
    // The count only bounds the loop; nothing is allocated from it, so a hostile one merely
    // runs into the end of the bytes.
    for (std::uint64_t i = 0; i < count; ++i) {
        // The count includes the failed entries, which are not written: the records are over
        // when what is left is a trailer that accounts for the rest of the count.
        if (in.remaining() == 8) {
            ArchiveReader peek = in;
            std::uint64_t failed = 0;
            if (peek.u64(failed) && failed == count - i) break;
        }
        HostCacheEntry e;
        std::string_view key, name;
        if (!in.text(key, kMaxName) || !in.text(name, kMaxName) || !in.i32(e.time)) return false;
        e.success = 1;
        if (version >= 1 && !in.i32(e.success)) return false;
        if (e.success == 0) continue;
        e.key.assign(key);
        e.name.assign(name);
        store(std::move(e));
    }
    std::uint64_t failed;
    return in.u64(failed);
}

bool HostNameCache::load(const std::string& path) {
    clear();
    std::ifstream f(path, std::ios::binary);
    if (!f) return true;
    const std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    return deserialise(bytes);
}

bool HostNameCache::save(const std::string& path) const {
    const std::string bytes = serialise();
    const std::string temp = path + ".tmp";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    // On disk before the rename: otherwise a crash could leave the new name on empty data.
    const bool written = done == bytes.size() && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !written || std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace tw::engine
