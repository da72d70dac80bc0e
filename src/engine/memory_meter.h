#pragma once
// What a run's tables and texts hold, against a ceiling: a run that would pass it ends, as one
// whose arena is full does, with the orderly out-of-memory message and what it read so far.
//
// Threads: add() and over() may be called from any thread (the parts of a file read at once
// share one meter); relaxed atomics, as the figure is a bound, not an account.
#include <atomic>
#include <cstdint>

namespace tw::engine {

class MemoryMeter {
  public:
    // 0: no ceiling.
    void reset(std::uint64_t ceiling) {
        used_.store(0, std::memory_order_relaxed);
        ceiling_.store(ceiling, std::memory_order_relaxed);
    }
    void add(std::int64_t bytes) {
        used_.fetch_add(static_cast<std::uint64_t>(bytes), std::memory_order_relaxed);
    }
    bool over() const {
        const std::uint64_t c = ceiling_.load(std::memory_order_relaxed);
        return c != 0 && used_.load(std::memory_order_relaxed) > c;
    }
    std::uint64_t used() const { return used_.load(std::memory_order_relaxed); }

    // Three quarters of the machine's memory, or 0 when it cannot be told.
    static std::uint64_t defaultCeiling();

  private:
    std::atomic<std::uint64_t> used_{0};
    std::atomic<std::uint64_t> ceiling_{0};
};

}  // namespace tw::engine
