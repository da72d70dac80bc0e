#pragma once
// Finished results of a run: each table collected into a flat array, sorted and cut to the
// report length, plus the two grouped reports and the General Statistics values.
//
// Result items share their texts with the tables: results live only as long as the Statistics
// they came from (until the next run or release()).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/client_reports.h"
#include "engine/statistics.h"

namespace tw::engine {

inline constexpr int kDefaultTruncateReports = 100;
inline constexpr std::size_t kDomainSuffixesKept = 100;
inline constexpr std::size_t kGroupedSubItems = 25;

struct GroupedItem {
    Text text;
    Text companion;  // the other text of the pair that created the group
    std::uint64_t hits = 0;
    std::vector<TextHitsKind::Item> sub;  // highest first, at most kGroupedSubItems
};

struct Results {
    std::vector<VisitorKind::Item> visitors;
    std::vector<TextHitsKind::Item> domainSuffixes, referrerUrls, referredPages, referringSites;
    std::vector<DayKind::Item> days;  // latest day first
    std::vector<RequestedFileKind::Item> pages, images, otherFiles, directories;
    std::vector<ErrorRequestKind::Item> notFound, otherErrors;
    std::vector<SearchKind::Item> searchEngines, searchPhrases, searchKeywords;
    std::vector<AuthUserKind::Item> users;
    std::vector<GroupedItem> pagesByReferrer, brokenLinksByPage;
    std::vector<std::vector<DayKind::Item>> trackedDays;  // one per tracked file
    ClientReports clients;  // filled by the engine, which holds the rules

    // Totals of the visitors (or, when hosts lose their first label, of the raw hosts).
    std::uint64_t totalHits = 0;
    std::uint64_t totalVisits = 0;
    std::uint64_t distinctHosts = 0;
};

// Also fills the two grouped tables of `stats` (emptied first, so finalising twice is harmless).
Results finalise(Statistics& stats, int truncateReports, bool removeFirstDot);

struct GeneralRow {
    std::string_view label;
    std::string value;
};

// The 22 General Statistics rows in their order. Log times are shown in the log's own frame;
// `runStart` (seconds since 1970) in the machine's local time.
std::vector<GeneralRow> generalStatistics(const Results& results, const GeneralCounters& counters,
                                          std::int64_t runStart);

// "1.50 kilobytes" and the like.
std::string byteAmountText(std::uint64_t bytes);
// The explanation of a status code in the errors report.
std::string_view statusExplanation(int status);

}  // namespace tw::engine
