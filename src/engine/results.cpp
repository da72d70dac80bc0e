#include "engine/results.h"

#include <algorithm>
#include <ctime>
#include <string>

#include "ingest/log_time.h"
#include "ingest/text_search.h"
#include "platform/strings.h"

namespace tw::engine {
namespace {

template <typename Table>
auto collect(const Table& table) {
    std::vector<typename Table::Item> out;
    out.reserve(table.size());
    table.forEach([&](const auto& item) { out.push_back(item); });
    return out;
}

// The table's `keep` items with the most hits, highest first. The sorts move pointers instead
// of items, so a table of millions of keys costs 8 bytes a key while it is ranked rather than a
// copy of every item kept beside the table. The sorts decide only by comparisons, so the
// pointers come out in exactly the order the items themselves would: ties included.
template <typename Table>
auto ranked(const Table& table, std::size_t keep) {
    using Item = typename Table::Item;
    std::vector<const Item*> order;
    order.reserve(table.size());
    table.forEach([&](const Item& item) { order.push_back(&item); });
    const auto byHits = [](const Item* a, const Item* b) { return a->hits > b->hits; };
    if (order.size() > keep) {
        std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(keep),
                          order.end(), byHits);
        order.resize(keep);
    } else {
        std::sort(order.begin(), order.end(), byHits);
    }
    std::vector<Item> out;
    out.reserve(order.size());
    for (const Item* item : order) out.push_back(*item);
    return out;
}

void latestFirst(std::vector<DayKind::Item>& days) {
    std::sort(days.begin(), days.end(),
              [](const DayKind::Item& a, const DayKind::Item& b) { return a.day > b.day; });
}

// Groups pairs by their second text (the page or the missing URL); the first texts become the
// group's sub-items.
std::vector<GroupedItem> group(const StatTable<TextPairKind>& pairs, StatTable<GroupedKind>& groups,
                               std::size_t keep) {
    groups.reset(static_cast<std::uint32_t>(groups.startBucketCount()));
    pairs.forEach([&](const TextPairKind::Item& p) {
        groups.insertOrMerge({p.second, p.first, p.hits, nullptr});
    });
    // Only the groups that survive the cut have their sub-tables collected.
    const std::vector<GroupedKind::Item> top = ranked(groups, keep);
    std::vector<GroupedItem> out;
    out.reserve(top.size());
    for (const GroupedKind::Item& g : top) {
        out.push_back(GroupedItem{g.text, g.companion, g.hits, ranked(*g.sub, kGroupedSubItems)});
    }
    return out;
}

std::string text(int id) {
    return std::string(platform::text(id));
}

std::string share(std::uint64_t count, std::uint64_t hits, const char* none) {
    if (hits == 0) return none;
    return platform::format("%llu (%.2f%%)", static_cast<unsigned long long>(count),
                            static_cast<double>(count) * 100.0 / static_cast<double>(hits));
}

std::string logTime(std::int64_t t) {
    const ingest::CivilTime c = ingest::civilFromFrame(t);
    std::tm tm{};
    tm.tm_year = c.year - 1900;
    tm.tm_mon = c.month - 1;
    tm.tm_mday = c.day;
    tm.tm_hour = c.hour;
    tm.tm_min = c.minute;
    tm.tm_sec = c.second;
    char buf[64];
    const std::size_t n = std::strftime(buf, sizeof buf, "%B %d, %Y, %I:%M %p", &tm);
    return std::string(buf, n);
}

std::string localTime(std::int64_t t) {
    const std::time_t tt = static_cast<std::time_t>(t);
    std::tm tm{};
    localtime_r(&tt, &tm);
    char buf[64];
    const std::size_t n = std::strftime(buf, sizeof buf, "%B %d, %Y at %I:%M %p", &tm);
    return std::string(buf, n);
}

}  // namespace

Results finalise(Statistics& s, int truncateReports, bool removeFirstDot) {
    const std::size_t keep = static_cast<std::size_t>(std::max(truncateReports, 0));
    Results r;
    r.visitors = ranked(s.visitors, keep);
    r.domainSuffixes = ranked(s.domainSuffixes, kDomainSuffixesKept);
    r.referrerUrls = ranked(s.referrerUrls, keep);
    r.referredPages = ranked(s.referredPages, keep);
    r.referringSites = ranked(s.referringSites, keep);
    r.days = collect(s.days);
    r.pages = ranked(s.pages, keep);
    r.images = ranked(s.images, keep);
    r.otherFiles = ranked(s.otherFiles, keep);
    r.directories = ranked(s.directories, keep);
    r.notFound = ranked(s.notFound, keep);
    r.otherErrors = ranked(s.otherErrors, keep);
    r.searchEngines = collect(s.searchEngines);
    r.searchPhrases = ranked(s.searchPhrases, keep);
    r.searchKeywords = ranked(s.searchKeywords, keep);
    r.users = collect(s.users);

    const StatTable<VisitorKind>& hosts = removeFirstDot ? s.rawHosts : s.visitors;
    r.totalHits = hosts.totals().hits;
    r.totalVisits = hosts.totals().visits;
    r.distinctHosts = hosts.size();

    r.pagesByReferrer = group(s.referrerToPage, s.pagesByReferrer, keep);
    r.brokenLinksByPage = group(s.brokenLinks, s.brokenLinksByPage, keep);

    latestFirst(r.days);
    for (const TrackedFile& t : s.tracked) {
        r.trackedDays.push_back(collect(t.days));
        latestFirst(r.trackedDays.back());
    }
    return r;
}

std::string byteAmountText(std::uint64_t bytes) {
    const double b = static_cast<double>(bytes);
    if (bytes >= (std::uint64_t{1} << 30))
        return platform::format(platform::text(61411).data(), b / 1073741824.0);
    if (bytes >= (std::uint64_t{1} << 20))
        return platform::format(platform::text(61412).data(), b / 1048576.0);
    if (bytes >= 1024) return platform::format(platform::text(61413).data(), b / 1024.0);
    return platform::format(platform::text(61414).data(), b);
}

std::vector<GeneralRow> generalStatistics(const Results& r, const GeneralCounters& c,
                                          std::int64_t runStart) {
    const std::uint64_t hits = r.totalHits, visits = r.totalVisits, hosts = r.distinctHosts;
    // Without any dated record there is no period: it collapses to the latest time.
    const std::int64_t earliest = c.earliest == kNoEarliest ? c.latest : c.earliest;
    std::int64_t days = 1 + (c.latest - earliest) / 86400;
    if (days <= 0) days = 1;
    const double d = static_cast<double>(days);
    const auto count = [](std::uint64_t v) { return std::to_string(v); };
    const auto fixed = [](double v) { return platform::format("%.2f", v); };

    std::vector<GeneralRow> rows;
    const auto add = [&](int id, std::string value) {
        rows.push_back({platform::text(id), std::move(value)});
    };
    add(61258, count(hits));
    add(61259, byteAmountText(c.totalBytes));
    add(61261, count(visits));
    add(61262, logTime(earliest) + text(61392) + logTime(c.latest));
    add(61263, visits ? fixed(static_cast<double>(hits) / static_cast<double>(visits)) : "0%");
    add(61264, fixed(static_cast<double>(visits) / d));
    add(61265, byteAmountText(c.totalBytes / static_cast<std::uint64_t>(days)));
    add(61266, share(c.cachedHits, hits, "0 (0%)"));
    add(61267, localTime(runStart));
    add(61268, share(c.partial, hits, "0%"));
    add(61269, days == 1 ? std::string("1 day")
                         : platform::format(platform::text(61387).data(), static_cast<int>(days)));
    add(61270, share(c.notFound, hits, "0 (0%)"));
    add(61260, count(hosts));
    add(61271, visits ? byteAmountText(c.totalBytes / visits) : "0 bytes");
    add(61272, fixed(static_cast<double>(hits) / d));
    add(61273, hits ? byteAmountText(c.totalBytes / hits) : "0 bytes");
    add(61274, hosts ? platform::format(platform::text(61386).data(),
                                        static_cast<double>(visits) / static_cast<double>(hosts))
                     : "0 times");
    add(32828, count(c.pages));
    add(32829, count(c.otherFiles));
    add(32830, count(c.images));
    add(platform::sid::RejectedLogLines,
        share(c.rejectedLines, c.rejectedLines + c.recordLines, "0 (0%)"));
    // Left out, they are no share of the hits counted: the row says how many there were.
    add(platform::sid::RobotHits,
        !r.clients.kept ? std::string("-")
        : c.robotsLeftOut != 0
            ? platform::format(platform::text(platform::sid::RobotHitsLeftOut).data(),
                               static_cast<unsigned long long>(c.robotsLeftOut))
            : share(r.clients.robotHits, r.clients.agentHits, "0 (0%)"));
    return rows;
}

std::string_view statusExplanation(int status) {
    static constexpr std::pair<int, int> kCodes[] = {
        {0, 61423},   {201, 61434}, {202, 61435}, {203, 61436}, {204, 61433}, {206, 61415},
        {300, 61418}, {301, 61416}, {302, 61417}, {303, 61419}, {304, 61420}, {400, 61421},
        {401, 61424}, {402, 61425}, {403, 61426}, {404, 61422}, {405, 61427}, {406, 32884},
        {407, 32885}, {408, 61428}, {409, 32886}, {410, 32887}, {411, 32888}, {412, 32889},
        {413, 32890}, {414, 32891}, {415, 32892}, {500, 61429}, {501, 61430}, {502, 61431},
        {503, 61432}, {504, 32894}, {505, 32893}};
    for (const auto& [code, id] : kCodes)
        if (code == status) return platform::text(id);
    return platform::text(61437);
}

}  // namespace tw::engine
