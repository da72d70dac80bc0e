#pragma once
// Everything one analysis run accumulates: the general counters, the bucket arrays, the keyed
// tables, the recent-visitors ring and the tracked files. One Statistics object per run, reset
// by initialise() so runs can follow one another.
//
// Threads: with locks on, the per-record analysis holds the analysis lock while it updates the
// counters and arrays, and each table and the arena take their own lock as well.
#include <array>
#include <cstdint>
#include <deque>
#include <limits>
#include <mutex>
#include <string>
#include <vector>

#include "engine/site_pages.h"
#include "engine/stat_items.h"
#include "engine/stat_table.h"
#include "engine/string_arena.h"
#include "engine/table_sizes.h"
#include "engine/user_agents.h"

namespace tw::engine {

// No record seen yet; a record time of 0 ("no usable date") never lowers the earliest time.
inline constexpr std::int64_t kNoEarliest = std::numeric_limits<std::int64_t>::max();

struct GeneralCounters {
    std::uint64_t totalBytes = 0;
    std::uint64_t cachedHits = 0;  // 304
    std::uint64_t notFound = 0;    // 404
    std::uint64_t partial = 0;     // 206
    std::uint64_t pages = 0;
    std::uint64_t images = 0;
    std::uint64_t otherFiles = 0;
    std::uint64_t rejectedLines = 0;  // lines no reader could make a record of
    std::uint64_t recordLines = 0;    // lines a reader made a record of, filtered ones included
    std::int64_t earliest = kNoEarliest;
    std::int64_t latest = 0;
    bool hostNamesSeen = false;
    bool agentsSeen = false;
    bool referrersSeen = false;
    std::uint64_t robotsLeftOut = 0;  // robot requests not counted (CountRobots=0)

    // Only dated records: a marker time is no moment, and one of -1 taken for real would
    // stretch the period back to 1969.
    void noteTime(std::int64_t t) {
        if (t < earliest) earliest = t;
        if (t > latest) latest = t;
    }
};

// A visit that a later range of a log started with a request of `agent`: whether the whole log
// counts it depends on the requests of the ranges before, so the merge decides (as it does for
// the visitor's own visits) and credits the agent then.
struct ProvisionalAgentVisit {
    const VisitorKind::Item* visitor;  // in the range's table that counts the run's visits
    AgentKind::Item* agent;            // in the range's agents table
    std::int64_t before;               // the visitor's latest request of the range before it
    std::int64_t at;
    bool first;  // the visitor's first request of the range (else a visit after a gap)
};

struct TrackedFile {
    std::string pattern;  // lowercased unless CaseSensitive
    bool wildcard = false;
    StatTable<DayKind> days{TableSizes::kTrackedDays};
};

// The hosts first seen most recently, newest written last; entries point into the visitors
// table.
class RecentVisitors {
  public:
    void reset(int capacity);
    // Writes `item` when its time is not earlier than the latest seen so far.
    void offer(const VisitorKind::Item* item, std::int64_t time);
    const std::vector<const VisitorKind::Item*>& entries() const { return ring_; }
    // The entries oldest first, as a saved report gives them back.
    void restore(std::vector<const VisitorKind::Item*> entries) {
        ring_ = std::move(entries);
        next_ = 0;
        latest_ = 0;
    }
    // The entries oldest first.
    std::vector<const VisitorKind::Item*> inOrder() const;
    std::size_t writeIndex() const { return next_; }

  private:
    std::vector<const VisitorKind::Item*> ring_;
    std::size_t next_ = 0;
    std::int64_t latest_ = 0;
};

struct StatisticsOptions {
    std::uint64_t totalBytes = 0;
    bool useLocks = false;
    bool caseSensitive = true;
    bool removeFirstDot = true;
    int lastItems = 30;
    std::vector<std::string> trackedFiles;
};

class Statistics {
  public:
    // The arena's block size is a parameter so tests can reach its limit cheaply.
    explicit Statistics(std::size_t arenaBlockBytes = StringArena::kBlockBytes)
        : arena(arenaBlockBytes) {}

    void initialise(const StatisticsOptions& options);
    // Frees every table and text (results built from them must be gone first).
    void release();

    // Where every table and the arena count what they hold (the tracked files' tables too);
    // null for nowhere. Set after initialise().
    void setMeter(MemoryMeter* meter);

    bool useLocks() const { return useLocks_; }
    std::mutex& analysisLock() { return analysisLock_; }

    StringArena arena;
    GeneralCounters counters;
    std::array<std::uint64_t, 24> hours{};
    std::array<std::uint64_t, 7> weekdays{};
    std::array<std::uint64_t, kOsClasses> operatingSystems{};
    std::array<std::uint64_t, kBrowserClasses> browsers{};

    StatTable<VisitorKind> visitors, rawHosts;
    StatTable<TextHitsKind> domainSuffixes;
    StatTable<DayKind> days;
    StatTable<RequestedFileKind> pages, images, otherFiles, directories;
    StatTable<ErrorRequestKind> notFound, otherErrors;
    StatTable<TextPairKind> brokenLinks, pageTransitions, referrerToPage;
    StatTable<TextHitsKind> referrerUrls, referredPages, referringSites;
    StatTable<SearchKind> searchEngines, searchPhrases, searchKeywords;
    StatTable<AuthUserKind> users;
    // Every distinct user agent, for the client reports. Visits are those of `visitors`, or of
    // `rawHosts` when hosts lose their first label, as the general totals count them.
    StatTable<AgentKind> agents;
    std::vector<ProvisionalAgentVisit> provisionalAgentVisits;
    bool rawHostVisits = false;  // the run's visits are those of rawHosts
    // Filled by finalisation from referrerToPage and brokenLinks.
    StatTable<GroupedKind> pagesByReferrer, brokenLinksByPage;
    SitePageTable sitePages;  // filled by the site crawl, before any record
    RecentVisitors recent;
    std::deque<TrackedFile> tracked;  // tables hold a lock: they never move

  private:
    template <typename F>
    void forEachTable(F&& f);
    bool useLocks_ = false;
    std::mutex analysisLock_;
};

}  // namespace tw::engine
