#pragma once
// Starting bucket counts of a run's tables, from the total size of its logs. Tables grow past
// these, so they only spare the first rehashes.
#include <algorithm>
#include <cstdint>

namespace tw::engine {

struct TableSizes {
    std::uint32_t g = 100;

    // The full 64-bit size is used: only its low 32 bits would make a 5 GB run look small.
    static TableSizes forBytes(std::uint64_t totalBytes) {
        return {
            static_cast<std::uint32_t>(std::clamp<std::uint64_t>(totalBytes / 12000, 100, 10000))};
    }
    std::uint32_t visitors() const { return 2 * g; }
    std::uint32_t days() const { return g; }
    std::uint32_t pages() const { return g / 20; }
    std::uint32_t images() const { return g / 10; }
    std::uint32_t otherFiles() const { return g / 20; }
    std::uint32_t directories() const { return g / 75; }
    std::uint32_t notFound() const { return g / 7; }
    std::uint32_t otherErrors() const { return g / 10; }
    std::uint32_t brokenLinks() const { return g / 10; }
    std::uint32_t pageTransitions() const { return g / 4; }
    std::uint32_t referrerUrls() const { return g; }
    std::uint32_t referrerToPage() const { return g; }
    std::uint32_t referredPages() const { return g / 20; }
    std::uint32_t pagesByReferrer() const { return g / 4; }
    std::uint32_t brokenLinksByPage() const { return g / 10; }
    std::uint32_t referringSites() const { return g / 2; }
    std::uint32_t searchPhrases() const { return g / 4; }
    std::uint32_t searchKeywords() const { return g / 5; }
    static constexpr std::uint32_t kDomainSuffixes = 260;
    static constexpr std::uint32_t kSearchEngines = 300;
    static constexpr std::uint32_t kAgents = 1024;  // grows with the distinct agents
    static constexpr std::uint32_t kTrackedDays = 100;
    static constexpr std::uint32_t kHostCache = 10000;
};

}  // namespace tw::engine
