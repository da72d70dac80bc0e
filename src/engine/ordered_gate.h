#pragma once
// Lets records through in the order of their lines. Workers settle their records' hosts at the
// same time (that is where they wait), then take turns for the table updates, so visits, the
// recent visitors and every tie come out as a single-threaded run would give them.
//
// Every sequence number from 0 on must pass exactly once, or the ones after it wait; a waiter
// gives up when the run's cancel flag is set.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "ingest/log_record.h"
#include "platform/progress.h"

namespace tw::engine {

class OrderedGate {
  public:
    void reset() {
        std::lock_guard lock(mutex_);
        next_ = 0;
    }
    // Blocks until every record before `sequence` has passed; false when cancelled first.
    bool waitTurn(std::uint64_t sequence, const platform::CancelFlag* cancel) {
        std::unique_lock lock(mutex_);
        while (next_ != sequence) {
            if (cancel && cancel->isSet()) return false;
            // The cancel flag has no way to wake us, so look at it now and then.
            turnOf(sequence).wait_for(lock, std::chrono::milliseconds(20));
        }
        return true;
    }
    void pass(std::uint64_t sequence) {
        {
            std::lock_guard lock(mutex_);
            if (next_ != sequence) return;
            next_ = sequence + 1;
        }
        turnOf(sequence + 1).notify_all();
    }

  private:
    // No more records are in flight than there are slots, so the records waiting at one time
    // have distinct numbers modulo the slot count: each has a condition of its own, and a pass
    // wakes only the one whose turn it is.
    static constexpr std::size_t kTurns = ingest::kSlotCount;
    std::condition_variable& turnOf(std::uint64_t sequence) { return turns_[sequence % kTurns]; }

    std::mutex mutex_;
    std::condition_variable turns_[kTurns];
    std::uint64_t next_ = 0;
};

}  // namespace tw::engine
