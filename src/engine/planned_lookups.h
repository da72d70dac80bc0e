#pragma once
// Reverse lookups settled before the records are counted: a first reading notes each distinct
// address the count will ask about, in the order the log first asks; the lookups then run many
// at a time; the count itself only reads the answers, so it needs no workers, no turns and no
// locks, and may read a file on several threads.
//
// The answers are those of lookups made one after another in the order noted: the cache keeps
// one name for a block of addresses, and the first address of a block to be asked about is the
// one looked up, the others take its answer.
//
// Threads: note() and resolveAll() on one thread; resolve() from any number of threads once
// resolveAll() has returned.
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/record_classifier.h"
#include "engine/reverse_dns.h"
#include "platform/progress.h"

namespace tw::engine {

class PlannedLookups final : public ClassifierHooks {
  public:
    static constexpr int kMaxInFlight = 64;

    void clear();
    // `address` in canonical spelling; an address noted before is ignored.
    void note(std::string_view address);
    std::size_t noted() const { return order_.size(); }

    // Settles every noted address through `dns`, at most `inFlight` lookups at a time. False
    // when `cancel` was set first: the addresses not settled by then stay unanswered. A lookup
    // that hangs past a cancel is left to finish on its own.
    bool resolveAll(ReverseDns& dns, const platform::CancelFlag* cancel,
                    int inFlight = kMaxInFlight);

    // The settled name, or empty; an address that was never noted is asked of `fallback`.
    std::string resolve(std::string_view address) override;
    void setFallback(ClassifierHooks* fallback) { fallback_ = fallback; }

  private:
    std::vector<std::string> order_;
    // Transparent, so the count's lookups by string_view build no string.
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const {
            return std::hash<std::string_view>{}(s);
        }
    };
    std::unordered_map<std::string, std::string, Hash, std::equal_to<>> names_;  // "" no name
    ClassifierHooks* fallback_ = nullptr;
};

}  // namespace tw::engine
