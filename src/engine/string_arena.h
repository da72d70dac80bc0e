#pragma once
// The block allocator that holds every text of the statistics tables for one run.
//
// An allocation is a pointer bump; the two most recent allocations can be given back (newest
// first), which is how a caller returns the texts it built for a key that turned out to exist
// already. Everything is released at once by reset(). With locks on, every call is serialised;
// otherwise the arena is used from one thread only.
//
// When the block limit is reached, allocate() returns nullptr and the arena stays exhausted
// until reset(): the caller ends the run in an orderly way (outOfMemory() tells it so).
#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

#include "engine/memory_meter.h"

namespace tw::engine {

struct Text {
    const char* data = nullptr;
    std::uint32_t length = 0;
    std::string_view view() const { return {data, length}; }
};

// A text that points at someone else's bytes (a record field, a scratch buffer): the probe of a
// table lookup, which only a new key turns into an arena copy.
inline Text borrowed(std::string_view s) {
    return {s.data(), static_cast<std::uint32_t>(s.size())};
}

class StringArena {
  public:
    static constexpr std::size_t kBlockBytes = 100741824;
    static constexpr int kMaxBlocks = 20;

    explicit StringArena(std::size_t blockBytes = kBlockBytes, int maxBlocks = kMaxBlocks)
        : blockBytes_(blockBytes), maxBlocks_(maxBlocks) {}

    void setUseLocks(bool on) { useLocks_ = on; }
    // Where the arena counts the texts it holds; null for nowhere.
    void setMeter(MemoryMeter* meter);
    // Copies `s` into the arena (not NUL-terminated). nullptr data when the arena is exhausted
    // or the text does not fit a block.
    Text copy(std::string_view s);
    char* allocate(std::size_t n);
    // Gives back the most recent allocation, or after that the one before it; anything else is
    // ignored.
    void free(const void* p);
    void reset();

    // Asked once a line by the reading, so inline.
    bool outOfMemory() const { return exhausted_.load(std::memory_order_relaxed); }
    int blocks() const { return static_cast<int>(blocks_.size()); }
    std::size_t bytesInUse() const;

  private:
    char* allocateLocked(std::size_t n);
    struct Undo {
        const char* ptr = nullptr;
        std::size_t before = 0;  // position in the block before the allocation
        int block = -1;
    };

    std::size_t blockBytes_;
    int maxBlocks_;
    bool useLocks_ = false;
    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::size_t pos_ = 0;  // in the current (last) block
    Undo undo_[2];         // [0] newest
    std::atomic<bool> exhausted_{false};
    MemoryMeter* meter_ = nullptr;
    std::int64_t metered_ = 0;
    std::size_t abandoned_ = 0;
};

}  // namespace tw::engine
