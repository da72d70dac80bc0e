#include "engine/planned_lookups.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace tw::engine {

void PlannedLookups::clear() {
    order_.clear();
    names_.clear();
}

void PlannedLookups::note(std::string_view address) {
    const auto [it, added] = names_.try_emplace(std::string(address));
    if (added) order_.push_back(it->first);
}

namespace {

// Shared with the lookup threads, which may outlive resolveAll() when one hangs after a cancel.
struct Batch {
    std::vector<std::string> addresses;
    std::vector<std::string> names;
    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    std::condition_variable finished;
    int running = 0;
};

}  // namespace

bool PlannedLookups::resolveAll(ReverseDns& dns, const platform::CancelFlag* cancel, int inFlight) {
    // First the first address of each block, all at once; the others then find their block's
    // entry in the cache, as they would have had they come one after another.
    std::unordered_map<std::string, bool> blocks;
    auto batch = std::make_shared<Batch>();
    std::vector<std::string> later;
    for (const std::string& a : order_) {
        if (blocks.try_emplace(std::string(ReverseDns::cacheKey(a)), true).second)
            batch->addresses.push_back(a);
        else
            later.push_back(a);
    }
    batch->names.resize(batch->addresses.size());
    const int threads = static_cast<int>(std::min<std::size_t>(
        static_cast<std::size_t>(std::max(1, inFlight)), batch->addresses.size()));
    batch->running = threads;
    for (int t = 0; t < threads; ++t) {
        std::thread([batch, &dns, cancel] {
            for (;;) {
                if (cancel != nullptr && cancel->isSet()) break;
                const std::size_t i = batch->next.fetch_add(1);
                if (i >= batch->addresses.size()) break;
                batch->names[i] = dns.resolve(batch->addresses[i]);
            }
            std::lock_guard lock(batch->mutex);
            if (--batch->running == 0) batch->finished.notify_all();
        }).detach();
    }
    {
        std::unique_lock lock(batch->mutex);
        // Without a cancel every lookup is waited for, however slow; after one, five seconds.
        while (batch->running > 0) {
            if (cancel != nullptr && cancel->isSet()) {
                batch->finished.wait_for(lock, std::chrono::seconds(5),
                                         [&] { return batch->running == 0; });
                if (batch->running > 0) return false;
                break;
            }
            batch->finished.wait_for(lock, std::chrono::milliseconds(100));
        }
    }
    if (cancel != nullptr && cancel->isSet()) return false;
    for (std::size_t i = 0; i < batch->addresses.size(); ++i)
        names_[batch->addresses[i]] = batch->names[i];
    for (const std::string& a : later) names_[a] = dns.resolve(a);
    return true;
}

std::string PlannedLookups::resolve(std::string_view address) {
    const auto it = names_.find(address);
    if (it != names_.end()) return it->second;
    return fallback_ != nullptr ? fallback_->resolve(address) : std::string();
}

}  // namespace tw::engine
