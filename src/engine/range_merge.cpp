#include "engine/range_merge.h"

#include <algorithm>

namespace tw::engine {
namespace {

using Visitors = StatTable<VisitorKind>;

bool visitorsFit(const Visitors& whole, const Visitors& range) {
    const std::int64_t limit = range.totals().earlyLimit;
    bool fits = true;
    range.forEachInserted([&](const VisitorKind::Item& v) {
        if (!fits) return;
        const VisitorKind::Item* known = whole.find(v);
        if (known != nullptr && known->lastSeen > limit) fits = false;
    });
    return fits;
}

bool own(StringArena& arena, Text& t) {
    const std::string_view s = t.view();
    t = arena.copy(s);
    return s.empty() || t.data != nullptr;
}

// A visitor's visits in the whole log: its first request of the range starts one only if it
// comes more than the gap after the latest request before the range, and a visit the range
// started after a request of its own is not one if the requests before the range still cover
// it.
bool absorbVisitors(Visitors& whole, const Visitors& range, StringArena& arena,
                    RecentVisitors* recent) {
    std::vector<VisitorKind::EarlyVisit> early = range.totals().early;
    std::stable_sort(early.begin(), early.end(),
                     [](const auto& a, const auto& b) { return a.item < b.item; });
    VisitorKind::Totals& totals = whole.totals();
    bool ok = true;
    range.forEachInserted([&](const VisitorKind::Item& v) {
        if (!ok) return;
        const auto combine = [&](VisitorKind::Item& s, const VisitorKind::Item& in) {
            const std::int64_t before = s.lastSeen;
            std::uint64_t visits = in.visits - 1;
            if (in.firstSeen - before > VisitorKind::kVisitGap) ++visits;
            const auto [from, to] =
                std::equal_range(early.begin(), early.end(), VisitorKind::EarlyVisit{&in, 0, 0},
                                 [](const auto& a, const auto& b) { return a.item < b.item; });
            for (auto e = from; e != to; ++e)
                if (e->before < before && e->at - before <= VisitorKind::kVisitGap) --visits;
            s.hits += in.hits;
            s.bytes = saturatingAdd(s.bytes, in.bytes);
            s.visits += visits;
            s.lastSeen = std::max(s.lastSeen, in.lastSeen);
            totals.visits += visits;
            totals.hits += in.hits;
        };
        const auto r = whole.absorb(
            v, [&](VisitorKind::Item& c) { return own(arena, c.host); }, combine);
        if (r.item == nullptr) {
            ok = false;
            return;
        }
        if (r.inserted) {
            totals.visits += v.visits;
            totals.hits += v.hits;
            if (recent != nullptr) recent->offer(r.item, v.firstSeen);
        }
    });
    return ok;
}

// The other tables: counts add, and a key new to `whole` keeps the spelling the range met
// first, which is the whole log's first.
template <typename Kind, typename Own, typename Combine>
bool absorbTable(StatTable<Kind>& whole, const StatTable<Kind>& range, Own&& ownTexts,
                 Combine&& combine) {
    bool ok = true;
    range.forEachInserted([&](const typename Kind::Item& item) {
        if (ok && whole.absorb(item, ownTexts, combine).item == nullptr) ok = false;
    });
    return ok;
}

template <typename Item>
void addHits(Item& s, const Item& in) {
    s.hits += in.hits;
}

void addFile(RequestedFileKind::Item& s, const RequestedFileKind::Item& in) {
    s.hits += in.hits;
    s.partial += in.partial;
    s.bytes = saturatingAdd(s.bytes, in.bytes);
}

void addDay(DayKind::Item& s, const DayKind::Item& in) {
    s.hits += in.hits;
    s.bytes = saturatingAdd(s.bytes, in.bytes);
}

void addAgent(AgentKind::Item& s, const AgentKind::Item& in) {
    AgentKind::Totals none;
    AgentKind::merge(s, in, none);
    s.visits += in.visits;
}

// The range's provisional visits, decided as absorbVisitors() decides the visitor's own: must
// run while `whole` still holds only the requests before the range, and after the agents were
// absorbed.
void creditAgentVisits(Statistics& whole, const Statistics& range) {
    const Visitors& visitors = whole.rawHostVisits ? whole.rawHosts : whole.visitors;
    for (const ProvisionalAgentVisit& p : range.provisionalAgentVisits) {
        const VisitorKind::Item* known = visitors.find(*p.visitor);
        bool visit = true;
        if (known != nullptr) {
            const std::int64_t before = known->lastSeen;
            visit = p.first ? p.at - before > VisitorKind::kVisitGap
                            : !(p.before < before && p.at - before <= VisitorKind::kVisitGap);
        }
        if (!visit) continue;
        if (AgentKind::Item* agent = whole.agents.findMutable(*p.agent)) ++agent->visits;
    }
}

template <std::size_t N>
void addAll(std::array<std::uint64_t, N>& to, const std::array<std::uint64_t, N>& from) {
    for (std::size_t i = 0; i < N; ++i) to[i] += from[i];
}

}  // namespace

bool canAbsorb(const Statistics& whole, const Statistics& range) {
    return visitorsFit(whole.visitors, range.visitors) &&
           visitorsFit(whole.rawHosts, range.rawHosts);
}

bool absorbRange(Statistics& whole, const Statistics& range) {
    StringArena& arena = whole.arena;
    GeneralCounters& c = whole.counters;
    const GeneralCounters& in = range.counters;
    c.totalBytes = saturatingAdd(c.totalBytes, in.totalBytes);
    c.cachedHits += in.cachedHits;
    c.notFound += in.notFound;
    c.partial += in.partial;
    c.pages += in.pages;
    c.images += in.images;
    c.otherFiles += in.otherFiles;
    c.rejectedLines += in.rejectedLines;
    c.recordLines += in.recordLines;
    c.earliest = std::min(c.earliest, in.earliest);
    c.latest = std::max(c.latest, in.latest);
    c.hostNamesSeen = c.hostNamesSeen || in.hostNamesSeen;
    c.agentsSeen = c.agentsSeen || in.agentsSeen;
    c.referrersSeen = c.referrersSeen || in.referrersSeen;
    addAll(whole.hours, range.hours);
    addAll(whole.weekdays, range.weekdays);
    addAll(whole.operatingSystems, range.operatingSystems);
    addAll(whole.browsers, range.browsers);

    const auto noTexts = [](auto&) { return true; };
    const auto oneText = [&](auto member) {
        return [&arena, member](auto& item) { return own(arena, item.*member); };
    };
    const auto pair = [&](TextPairKind::Item& i) {
        return own(arena, i.first) && own(arena, i.second);
    };
    const auto search = [&](SearchKind::Item& i) {
        return own(arena, i.recorded) && own(arena, i.lowered) && own(arena, i.engine);
    };
    const auto file = oneText(&RequestedFileKind::Item::url);
    const auto text = oneText(&TextHitsKind::Item::text);
    const auto error = oneText(&ErrorRequestKind::Item::url);

    c.robotsLeftOut += in.robotsLeftOut;
    const auto agent = oneText(&AgentKind::Item::agent);
    if (!absorbTable(whole.agents, range.agents, agent, addAgent)) return false;
    creditAgentVisits(whole, range);

    bool ok =
        absorbVisitors(whole.rawHosts, range.rawHosts, arena, nullptr) &&
        absorbVisitors(whole.visitors, range.visitors, arena, &whole.recent) &&
        absorbTable(whole.domainSuffixes, range.domainSuffixes, text,
                    addHits<TextHitsKind::Item>) &&
        absorbTable(whole.days, range.days, noTexts, addDay) &&
        absorbTable(whole.notFound, range.notFound, error, addHits<ErrorRequestKind::Item>) &&
        absorbTable(whole.otherErrors, range.otherErrors, error, addHits<ErrorRequestKind::Item>) &&
        absorbTable(whole.pages, range.pages, file, addFile) &&
        absorbTable(whole.images, range.images, file, addFile) &&
        absorbTable(whole.otherFiles, range.otherFiles, file, addFile) &&
        absorbTable(whole.directories, range.directories, file, addFile) &&
        absorbTable(whole.brokenLinks, range.brokenLinks, pair, addHits<TextPairKind::Item>) &&
        absorbTable(whole.pageTransitions, range.pageTransitions, pair,
                    addHits<TextPairKind::Item>) &&
        absorbTable(whole.referrerUrls, range.referrerUrls, text, addHits<TextHitsKind::Item>) &&
        absorbTable(whole.referrerToPage, range.referrerToPage, pair,
                    addHits<TextPairKind::Item>) &&
        absorbTable(whole.referredPages, range.referredPages, text, addHits<TextHitsKind::Item>) &&
        absorbTable(whole.referringSites, range.referringSites, text,
                    addHits<TextHitsKind::Item>) &&
        absorbTable(whole.searchEngines, range.searchEngines, search, addHits<SearchKind::Item>) &&
        absorbTable(whole.searchKeywords, range.searchKeywords, search,
                    addHits<SearchKind::Item>) &&
        absorbTable(whole.searchPhrases, range.searchPhrases, search, addHits<SearchKind::Item>);
    auto from = range.tracked.begin();
    for (auto to = whole.tracked.begin();
         ok && to != whole.tracked.end() && from != range.tracked.end(); ++to, ++from)
        ok = absorbTable(to->days, from->days, noTexts, addDay);
    return ok;
}

}  // namespace tw::engine
