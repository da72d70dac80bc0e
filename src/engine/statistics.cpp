#include "engine/statistics.h"

#include <algorithm>

#include "ingest/text_search.h"

namespace tw::engine {

void RecentVisitors::reset(int capacity) {
    ring_.assign(static_cast<std::size_t>(std::max(capacity, 0)), nullptr);
    next_ = 0;
    latest_ = 0;
}

void RecentVisitors::offer(const VisitorKind::Item* item, std::int64_t time) {
    if (ring_.empty() || time < latest_) return;
    ring_[next_] = item;
    next_ = (next_ + 1) % ring_.size();
    latest_ = time;
}

std::vector<const VisitorKind::Item*> RecentVisitors::inOrder() const {
    // The write index is the oldest entry once the ring has wrapped.
    std::vector<const VisitorKind::Item*> out;
    for (std::size_t i = 0; i < ring_.size(); ++i)
        if (const auto* v = ring_[(next_ + i) % ring_.size()]) out.push_back(v);
    return out;
}

template <typename F>
void Statistics::forEachTable(F&& f) {
    f(visitors), f(rawHosts), f(domainSuffixes), f(days), f(pages), f(images), f(otherFiles);
    f(directories), f(notFound), f(otherErrors), f(brokenLinks), f(pageTransitions);
    f(referrerToPage), f(referrerUrls), f(referredPages), f(referringSites);
    f(searchEngines), f(searchPhrases), f(searchKeywords), f(users), f(agents), f(pagesByReferrer);
    f(brokenLinksByPage), f(sitePages);
}

void Statistics::initialise(const StatisticsOptions& o) {
    release();
    useLocks_ = o.useLocks;
    arena.setUseLocks(o.useLocks);
    const TableSizes s = TableSizes::forBytes(o.totalBytes);
    visitors.reset(s.visitors());
    rawHosts.reset(o.removeFirstDot ? s.visitors() : 1);
    domainSuffixes.reset(TableSizes::kDomainSuffixes);
    days.reset(s.days());
    pages.reset(s.pages());
    images.reset(s.images());
    otherFiles.reset(s.otherFiles());
    directories.reset(s.directories());
    notFound.reset(s.notFound());
    otherErrors.reset(s.otherErrors());
    brokenLinks.reset(s.brokenLinks());
    pageTransitions.reset(s.pageTransitions());
    referrerToPage.reset(s.referrerToPage());
    referrerUrls.reset(s.referrerUrls());
    referredPages.reset(s.referredPages());
    referringSites.reset(s.referringSites());
    searchEngines.reset(TableSizes::kSearchEngines);
    searchPhrases.reset(s.searchPhrases());
    searchKeywords.reset(s.searchKeywords());
    users.reset(1);
    agents.reset(TableSizes::kAgents);
    provisionalAgentVisits.clear();
    rawHostVisits = o.removeFirstDot;
    pagesByReferrer.reset(s.pagesByReferrer());
    brokenLinksByPage.reset(s.brokenLinksByPage());
    sitePages.reset(SitePageKind::kBuckets);
    forEachTable([&](auto& t) { t.setUseLocks(o.useLocks); });

    counters = {};
    hours.fill(0);
    weekdays.fill(0);
    operatingSystems.fill(0);
    browsers.fill(0);
    recent.reset(o.lastItems);

    tracked.clear();
    for (const std::string& p : o.trackedFiles) {
        TrackedFile& t = tracked.emplace_back();
        t.pattern = p;
        if (!o.caseSensitive) ingest::lowerAscii(t.pattern);
        t.wildcard = t.pattern.find_first_of("*?") != std::string::npos;
        t.days.setUseLocks(o.useLocks);
    }
}

void Statistics::setMeter(MemoryMeter* meter) {
    forEachTable([&](auto& t) { t.setMeter(meter); });
    for (TrackedFile& t : tracked) t.days.setMeter(meter);
    arena.setMeter(meter);
}

void Statistics::release() {
    forEachTable([](auto& t) { t.reset(1); });
    for (TrackedFile& t : tracked) t.days.reset(1);
    recent.reset(0);
    provisionalAgentVisits = {};
    arena.reset();
}

}  // namespace tw::engine
