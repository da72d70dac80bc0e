#pragma once
// A resolver that answers from a table, optionally slowly, and records how it was called.
// Every member may be used from any thread at any time.
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "platform/resolver.h"

namespace tw::test {

class ScriptedResolver final : public platform::Resolver {
  public:
    // The name returned for `dotted` ("192.0.2.17"); an address without an answer gets "".
    void answer(const std::string& dotted, std::string name) {
        std::lock_guard lock(mutex_);
        answers_[dotted] = std::move(name);
    }
    // Each call sleeps this long while counted as in flight, like a blocking lookup.
    void setDelay(std::chrono::milliseconds delay) { delayMs_ = delay.count(); }
    // Run inside every call, while it is in flight and before the delay, with no lock held (so
    // the hook may call back into this object).
    void setOnCall(std::function<void()> hook) {
        std::lock_guard lock(mutex_);
        onCall_ = std::move(hook);
    }

    std::string reverseLookup(const std::array<std::uint8_t, 4>& address) override {
        const std::string dotted = toDotted(address);
        std::function<void()> hook;
        std::string name;
        {
            std::lock_guard lock(mutex_);
            ++callsFor_[dotted];
            hook = onCall_;
            if (const auto it = answers_.find(dotted); it != answers_.end()) name = it->second;
        }
        calls_.fetch_add(1);
        const int now = inFlight_.fetch_add(1) + 1;
        int seen = maxInFlight_.load();
        while (now > seen && !maxInFlight_.compare_exchange_weak(seen, now)) {
        }
        if (hook) hook();
        if (const auto ms = delayMs_.load(); ms > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        }
        inFlight_.fetch_sub(1);
        return name;
    }

    int calls() const { return calls_.load(); }
    int callsFor(const std::string& dotted) const {
        std::lock_guard lock(mutex_);
        const auto it = callsFor_.find(dotted);
        return it == callsFor_.end() ? 0 : it->second;
    }
    // The largest number of calls that were inside reverseLookup at one time.
    int maxInFlight() const { return maxInFlight_.load(); }

    static std::string toDotted(const std::array<std::uint8_t, 4>& a) {
        return std::to_string(a[0]) + '.' + std::to_string(a[1]) + '.' + std::to_string(a[2]) +
               '.' + std::to_string(a[3]);
    }

  private:
    mutable std::mutex mutex_;
    std::map<std::string, std::string> answers_;
    std::map<std::string, int> callsFor_;
    std::function<void()> onCall_;
    std::atomic<std::chrono::milliseconds::rep> delayMs_{0};
    std::atomic<int> calls_{0};
    std::atomic<int> inFlight_{0};
    std::atomic<int> maxInFlight_{0};
};

}  // namespace tw::test
