#pragma once
// Operating-system and browser classes of a user-agent text, tested in a fixed order: the first
// class with a token in the agent wins, the last class of each list takes the rest.
//
// An agent text is classified once per run: the classifier remembers the classes of the texts
// it has seen, so the per-record cost is one lookup however many tokens there are. Not safe for
// concurrent use; the analysis calls it under its lock when workers run in parallel.
#include <array>
#include <cstdint>
#include <string_view>

#include "engine/text_cache.h"

namespace tw::engine {

inline constexpr int kOsClasses = 14;
inline constexpr int kBrowserClasses = 12;
// Row labels (numbered texts), in class order.
inline constexpr std::array<int, kOsClasses> kOsLabels = {61316, 61315, 61317, 61320, 61323,
                                                          61318, 61314, 32900, 32876, 61324,
                                                          32901, 61321, 32824, 61322};
inline constexpr std::array<int, kBrowserClasses> kBrowserLabels = {
    61311, 61303, 61302, 61310, 32773, 61306, 61305, 61304, 61393, 61308, 61307, 61309};
inline constexpr int kOsColumnLabel = 61313;
inline constexpr int kBrowserColumnLabel = 61312;

struct AgentClasses {
    std::uint8_t os = kOsClasses - 1;
    std::uint8_t browser = kBrowserClasses - 1;
    // Where the run counts this agent text (its item in the agents table), once it has been
    // counted; left to the analysis, which fills it in.
    void* counted = nullptr;
};

class AgentClassifier {
  public:
    static constexpr std::size_t kCacheLimit = 100000;

    AgentClasses classify(std::string_view agent);
    // The remembered classes of `agent`, which the caller may complete (`counted`); null when
    // the cache is full, `classes` then holding the classes. The agent `hint` names is tried
    // first (see TextCache::slot): a host that keeps its agent from request to request finds
    // it without a search. Hints stay valid until reset().
    AgentClasses* lookup(std::string_view agent, const void*& hint, AgentClasses& classes);
    // The token tests themselves, without the cache.
    static AgentClasses classifyUncached(std::string_view agent);
    void reset() { cache_.clear(); }
    std::size_t cached() const { return cache_.size(); }

  private:
    TextCache<AgentClasses> cache_{kCacheLimit};
};

}  // namespace tw::engine
