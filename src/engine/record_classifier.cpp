#include "engine/record_classifier.h"

#include <cstring>

#include "ingest/log_time.h"
#include "ingest/text_search.h"
#include "platform/resolver.h"

namespace tw::engine {
namespace {

using ingest::LogRecord;

// The readers stop every field at a control byte, NUL included, so a field's text never holds
// one before its end and a strlen per field would only repeat that; the length must still lie
// within the buffer and a copied text end where it is ended.
bool consistent(const ingest::TextField& f) {
    return f.length >= 0 && f.length <= ingest::kFieldMax &&
           (f.outside != nullptr || f.text[f.length] == '\0');
}

// Extensions are matched as substrings ignoring case, so "html" and "HTM" are pages and "jpeg2"
// is an image. Built once: patterns are read-only and shared by all workers.
using ingest::Pattern;
const Pattern kPageExtensions[] = {{"htm", Pattern::Case::Insensitive},
                                   {"asp", Pattern::Case::Insensitive},
                                   {"cfm", Pattern::Case::Insensitive},
                                   {"shtml", Pattern::Case::Insensitive}};
const Pattern kImageExtensions[] = {{"gif", Pattern::Case::Insensitive},
                                    {"jpg", Pattern::Case::Insensitive},
                                    {"jpeg", Pattern::Case::Insensitive}};

template <std::size_t N>
bool extensionIsOneOf(std::string_view ext, const Pattern (&list)[N]) {
    for (const Pattern& p : list)
        if (p.foundIn(ext)) return true;
    return false;
}

// Per-thread scratch texts: grown once, then reused, so a record allocates nothing here.
struct Scratch {
    std::string url, host, unshortened, page, address;
    // The last record's host as logged, and what it read as: a visit's requests follow each
    // other, so most records repeat the host of the one before.
    std::string lastLogged, lastHost;
    bool lastIsName = false;
    bool lastKnown = false;
};
thread_local Scratch tScratch;

}  // namespace

bool RecordClassifier::isAddress(std::string_view host) {
    return platform::canonicalAddress(host, tScratch.address);
}

Text RecordClassifier::store(std::string_view s) {
    return stats_.arena.copy(s);
}

// The probe borrows `text`; only a new key copies it into the arena.
template <typename Table, typename Item>
typename Table::Item* RecordClassifier::merge(Table& table, Item item, Text Item::*field) {
    return table
        .insertOrMerge(item, [&](Item& stored) { stored.*field = store((stored.*field).view()); })
        .item;
}

void RecordClassifier::shorten(std::string& name) const {
    const std::size_t dot = name.find('.');
    if (options_.removeFirstDot && dot != std::string::npos && name.size() - dot - 1 > 5)
        name.erase(0, dot + 1);
}

void RecordClassifier::setOptions(ClassifierOptions o) {
    options_ = std::move(o);
    agents_.reset();
    extensionKinds_.clear();
    hostEntries_.clear();
    urlEntries_.clear();
    lastDay_ = nullptr;
    ReferrerOptions r;
    r.domain = options_.domain;
    r.defaultPage = options_.defaultPage;
    r.caseSensitive = options_.caseSensitive;
    r.cutAtPound = options_.cutAtPound;
    r.cutAtQuestion = options_.cutAtQuestion;
    r.hyperlinkTree = options_.hyperlinkTree;
    referrers_.start(std::move(r));
}

void RecordClassifier::setRobotRules(const ClientDatabase* rules) {
    robotRules_ = rules;
    robots_.clear();
}

bool RecordClassifier::isRobot(std::string_view agent) {
    const auto verdict = [this](std::string_view a) { return robotRules_->classify(a).robot; };
    // Past the cache's bound a verdict is worked out again for every request: slower, but the
    // same answer, and a log of forged agents cannot grow the cache without end.
    if (oneAtATime()) return robots_.get(agent, verdict);
    std::lock_guard<std::mutex> lock(robotsLock_);
    return robots_.get(agent, verdict);
}

// Watches the table that counts the run's visits across one record's merge: a visit started
// when its total grew. In a later range of a log, a visitor's first request and a visit noted
// as early are only provisionally visits (see ProvisionalAgentVisit).
class RecordClassifier::VisitWatch {
  public:
    explicit VisitWatch(StatTable<VisitorKind>& table)
        : totals_(table.totals()), visits_(totals_.visits) {}
    void done(const VisitorKind::Item* item, bool inserted, std::int64_t time, VisitNote& note) {
        note.started = totals_.visits != visits_;
        if (!note.started) [[likely]]
            return;
        note.visitor = item;
        note.at = time;
        if (totals_.earlyLimit == INT64_MIN) return;
        if (inserted) {
            const std::int64_t limit = totals_.earlyLimit;
            note.first = true;
            note.provisional = limit > INT64_MAX - VisitorKind::kVisitGap ||
                               time <= limit + VisitorKind::kVisitGap;
        } else if (!totals_.early.empty() && totals_.early.back().item == item &&
                   totals_.early.back().at == time) {
            // Noted as early by this very merge: no other visit of the item starts at `time`.
            note.provisional = true;
            note.before = totals_.early.back().before;
        }
    }

  private:
    VisitorKind::Totals& totals_;
    std::uint64_t visits_;
};

// An agent met before merges straight into its item; the first request of an agent (or one
// past the cache's bound) finds it in the table, away from the usual path.
inline void RecordClassifier::countAgent(const LogRecord& rec, AgentClasses* cached,
                                         const VisitNote& visit) {
    auto* item = cached != nullptr ? static_cast<AgentKind::Item*>(cached->counted) : nullptr;
    if (item != nullptr) [[likely]] {
        AgentKind::Totals none;
        AgentKind::merge(*item, {{}, 1, 0, rec.bytes, rec.dated() ? rec.time : 0}, none);
    } else {
        item = countNewAgent(rec, cached);
    }
    if (visit.started) [[unlikely]]
        creditVisit(item, visit);
}

AgentKind::Item* RecordClassifier::countNewAgent(const LogRecord& rec, AgentClasses* cached) {
    const std::int64_t time = rec.dated() ? rec.time : 0;
    AgentKind::Item* item =
        merge(stats_.agents, AgentKind::Item{borrowed(rec.agent.view()), 1, 0, rec.bytes, time},
              &AgentKind::Item::agent);
    // A text the arena could not hold is not a key to merge into again.
    if (cached != nullptr && item->agent.data != nullptr) cached->counted = item;
    return item;
}

void RecordClassifier::creditVisit(AgentKind::Item* item, const VisitNote& visit) {
    if (!visit.provisional)
        ++item->visits;
    else
        stats_.provisionalAgentVisits.push_back(
            {visit.visitor, item, visit.before, visit.at, visit.first});
}

bool RecordClassifier::classify(const LogRecord& rec) {
    if (!consistent(rec.host) || !consistent(rec.url) || !consistent(rec.referrer) ||
        !consistent(rec.agent) || !consistent(rec.user))
        return false;
    Turn turn(*this, rec);
    const bool withAgent = rec.caps.hasAgent && rec.agent.length > 1;
    if (robotRules_ != nullptr && withAgent && isRobot(rec.agent.view())) {
        if (turn.begin()) ++stats_.counters.robotsLeftOut;
        return false;
    }
    std::string_view page;
    HostEntry* host = nullptr;  // a local: workers classify records at once
    VisitNote visit;
    if (rec.caps.hasAccessData) {
        if (!classifyAccess(rec, turn, page, host, visit)) return false;
    } else if (!turn.begin()) {
        return false;
    } else if (rec.caps.refererLogMode) {
        // A referer-only line names its page the way a directory request would.
        page = rec.url.view();
        if (page.find('.') == std::string_view::npos) page = withDefaultPage(page);
        if (!options_.caseSensitive) {
            tScratch.url.assign(page);
            ingest::lowerAscii(tScratch.url);
            page = tScratch.url;
        }
    }
    if (withAgent) {
        AgentClasses computed;
        const void* noHint = nullptr;
        AgentClasses* cached =
            agents_.lookup(rec.agent.view(), host != nullptr ? host->agent : noHint, computed);
        const AgentClasses& c = cached != nullptr ? *cached : computed;
        ++stats_.operatingSystems[c.os];
        ++stats_.browsers[c.browser];
        stats_.counters.agentsSeen = true;
        countAgent(rec, cached, visit);
    }
    // "-" is how logs write "no referrer": counting it would make it the top external
    // referrer of most sites.
    if (rec.caps.hasReferrer && rec.referrer.length > 0 && rec.referrer.view() != "-") {
        stats_.counters.referrersSeen = true;
        referrers_.analyse(rec.referrer.view(), page, rec.status);
    }
    return rec.caps.hasAccessData;
}

std::string_view RecordClassifier::countedUrl(const LogRecord& rec) const {
    std::string_view url = rec.url.view();
    if (options_.removeDirectories) {
        const std::size_t last = ingest::lastOf(url, '/');
        if (last != std::string_view::npos && last != 0) url = url.substr(last);
    }
    return url;
}

bool RecordClassifier::addressToResolve(const LogRecord& rec, std::string& address) const {
    if (!consistent(rec.host) || !consistent(rec.url) || !consistent(rec.referrer) ||
        !consistent(rec.agent) || !consistent(rec.user) || !rec.caps.hasAccessData)
        return false;
    // The first filter pass decides, as in classifyAccess(), whether the host is settled at all.
    if (filters_ != nullptr && filters_->active() && !filters_->hasHostFilters()) {
        if (!FilterSet::passes(filters_->firstPass(rec, rec.host.view(), countedUrl(rec))))
            return false;
    }
    return platform::canonicalAddress(rec.host.view(), address);
}

std::string_view RecordClassifier::withDefaultPage(std::string_view directory) {
    std::string& page = tScratch.page;
    page.assign(directory);
    if (page.empty() || page.back() != '/') page.push_back('/');
    page.append(options_.defaultPage);
    return page;
}

void RecordClassifier::Turn::finish() {
    if (lock_.owns_lock()) lock_.unlock();
    if (c_.gate_ == nullptr || abandoned_) return;
    // A record that ends before its updates (filtered, inconsistent) still takes its turn, or
    // every record after it would wait for it.
    if (!begun_ && !c_.gate_->waitTurn(rec_.sequence, c_.cancel_)) return;
    c_.gate_->pass(rec_.sequence);
}

bool RecordClassifier::Turn::beginInTurn() {
    if (c_.gate_ != nullptr && !c_.gate_->waitTurn(rec_.sequence, c_.cancel_)) {
        abandoned_ = true;
        return false;
    }
    begun_ = true;
    if (c_.stats_.useLocks()) lock_ = std::unique_lock<std::mutex>(c_.stats_.analysisLock());
    return true;
}

bool RecordClassifier::classifyAccess(const LogRecord& rec, Turn& turn, std::string_view& page,
                                      HostEntry*& host, VisitNote& visit) {
    Scratch& s = tScratch;
    const std::string_view url = countedUrl(rec);
    const bool filtering = filters_ != nullptr && filters_->active();
    const bool hostFilters = filtering && filters_->hasHostFilters();
    FilterSet::State filterState{true, false};
    if (filtering) {
        filterState = filters_->firstPass(rec, rec.host.view(), url);
        // With domain filters the decision waits for the host the statistics keep.
        if (!hostFilters && !FilterSet::passes(filterState)) return false;
    }

    const bool remember = oneAtATime() && !hostFilters;
    if (HostEntry* known = remember ? hostEntries_.find(rec.host.view()) : nullptr) {
        if (!turn.begin()) return false;
        host = known;
        const VisitorKind::Item probe{{}, 0, 0, rec.bytes, rec.time};
        if (known->suffix != nullptr) {
            TextHitsKind::Totals none;
            TextHitsKind::merge(*known->suffix, {}, none);
            stats_.counters.hostNamesSeen = true;
        }
        VisitWatch watch(options_.removeFirstDot ? stats_.rawHosts : stats_.visitors);
        if (known->raw != nullptr) VisitorKind::merge(*known->raw, probe, stats_.rawHosts.totals());
        VisitorKind::merge(*known->visitor, probe, stats_.visitors.totals());
        watch.done(options_.removeFirstDot ? known->raw : known->visitor, false, rec.time, visit);
    } else if (!settleHost(rec, turn, filterState, hostFilters, remember, host, visit)) {
        return false;
    }

    const std::int64_t day = ingest::dayNumber(rec.time);
    if (rec.dated()) {
        const DayKind::Item probe{day, 1, rec.bytes};
        if (lastDay_ != nullptr && lastDay_->day == day) {
            DayKind::merge(*lastDay_, probe, stats_.days.totals());
        } else {
            DayKind::Item* const item = stats_.days.insertOrMerge(probe).item;
            if (oneAtATime()) lastDay_ = item;
        }
    }

    std::string_view u = url;
    if (!options_.caseSensitive) {
        s.url.assign(url);
        ingest::lowerAscii(s.url);
        u = s.url;
    }
    if (rec.status == 304) ++stats_.counters.cachedHits;
    if (rec.status != 200 && rec.status != 304) {
        const ErrorRequestKind::Item e{borrowed(u), rec.status, 1};
        if (rec.status == 404) {
            merge(stats_.notFound, e, &ErrorRequestKind::Item::url);
            ++stats_.counters.notFound;
        } else {
            merge(stats_.otherErrors, e, &ErrorRequestKind::Item::url);
        }
        if (rec.status == 206) ++stats_.counters.partial;
    }

    stats_.counters.totalBytes = saturatingAdd(stats_.counters.totalBytes, rec.bytes);
    if (rec.hour >= 0 && rec.hour < 24) ++stats_.hours[static_cast<std::size_t>(rec.hour)];
    if (rec.weekday >= 0 && rec.weekday < 7)
        ++stats_.weekdays[static_cast<std::size_t>(rec.weekday)];
    if (rec.dated()) stats_.counters.noteTime(rec.time);

    page = rec.status != 404 ? countFile(u, rec) : u;

    for (TrackedFile& tf : stats_.tracked) {
        const bool hit = tf.wildcard ? ingest::wildcardMatch(tf.pattern, page) : tf.pattern == page;
        if (hit && rec.dated()) tf.days.insertOrMerge({day, 1, rec.bytes});
    }
    return true;
}

// Host: names are lowercased (and lose their first label when asked); addresses go to the
// resolver. An address is kept in its canonical spelling from here on, so that the ways one
// address can be written count as one visitor, share one lookup and meet one filter text.
bool RecordClassifier::settleHost(const LogRecord& rec, Turn& turn, FilterSet::State filterState,
                                  bool hostFilters, bool remember, HostEntry*& cached,
                                  VisitNote& visit) {
    Scratch& s = tScratch;
    std::string& host = s.host;
    bool isName = false;
    if (s.lastKnown && rec.host.view() == s.lastLogged) {
        host.assign(s.lastHost);
        isName = s.lastIsName;
    } else {
        isName = !platform::canonicalAddress(rec.host.view(), host);
        if (isName) host.assign(rec.host.view());
        s.lastLogged.assign(rec.host.view());
        s.lastHost.assign(host);
        s.lastIsName = isName;
        s.lastKnown = true;
    }
    std::string& unshortened = s.unshortened;
    if (!isName) {
        std::string resolved = hooks_->resolve(host);
        if (cancel_ && cancel_->isSet()) {
            turn.abandon();
            return false;
        }
        if (!resolved.empty()) {
            host = std::move(resolved);
            isName = true;
        }
    }
    if (isName) {
        ingest::lowerAscii(host);
        if (options_.removeFirstDot) unshortened = host;
        shorten(host);
    }
    if (hostFilters && !FilterSet::passes(filters_->secondPass(filterState, host))) return false;
    if (!turn.begin()) return false;
    HostEntry entry{nullptr, nullptr, nullptr, nullptr};

    if (isName) {
        const std::size_t dot = ingest::lastOf(host, '.');
        // A name was lowercased above, so its suffix is already in the form the table keeps.
        if (dot != std::string::npos)
            entry.suffix =
                merge(stats_.domainSuffixes,
                      TextHitsKind::Item{borrowed(std::string_view(host).substr(dot)), 1},
                      &TextHitsKind::Item::text);
        stats_.counters.hostNamesSeen = true;
    }
    // Every host, name or address, as it was before losing its first label: the general totals
    // count hosts from here when labels are dropped.
    VisitWatch watch(options_.removeFirstDot ? stats_.rawHosts : stats_.visitors);
    StatTable<VisitorKind>::Result counted{nullptr, false};
    if (options_.removeFirstDot) {
        const Text t = borrowed(isName ? std::string_view(unshortened) : std::string_view(host));
        counted = stats_.rawHosts.insertOrMerge(
            VisitorKind::Item{t, 0, 0, rec.bytes, rec.time},
            [&](VisitorKind::Item& v) { v.host = store(v.host.view()); });
        entry.raw = counted.item;
    }

    {
        const auto r =
            stats_.visitors.insertOrMerge({borrowed(host), 0, 0, rec.bytes, rec.time},
                                          [&](VisitorKind::Item& v) { v.host = store(host); });
        if (r.inserted) stats_.recent.offer(r.item, rec.time);
        entry.visitor = r.item;
        if (!options_.removeFirstDot) counted = r;
    }
    watch.done(counted.item, counted.inserted, rec.time, visit);
    // A text the arena could not hold is not a key to merge into again.
    const auto held = [](const auto* item, const Text& t) {
        return item == nullptr || t.data != nullptr;
    };
    if (remember && entry.visitor->host.data != nullptr &&
        held(entry.raw, entry.raw ? entry.raw->host : Text{}) &&
        held(entry.suffix, entry.suffix ? entry.suffix->text : Text{}))
        cached = hostEntries_.put(rec.host.view(), entry);
    return true;
}

std::string_view RecordClassifier::countFile(std::string_view url, const LogRecord& rec) {
    const std::uint64_t partial = rec.status == 206 ? 1 : 0;
    const RequestedFileKind::Item probe{{}, 1, partial, rec.bytes};
    std::uint64_t* const kinds[] = {&stats_.counters.pages, &stats_.counters.images,
                                    &stats_.counters.otherFiles};
    const bool remember = oneAtATime();
    if (UrlEntry* known = remember ? urlEntries_.find(url) : nullptr) {
        RequestedFileKind::Totals none;
        RequestedFileKind::merge(*known->file, probe, none);
        if (known->directory != nullptr) RequestedFileKind::merge(*known->directory, probe, none);
        ++*kinds[static_cast<int>(known->kind)];
        return known->defaultPage ? known->file->url.view() : url;
    }
    const auto file = [&](StatTable<RequestedFileKind>& table, std::string_view text) {
        return merge(table, RequestedFileKind::Item{borrowed(text), 1, partial, rec.bytes},
                     &RequestedFileKind::Item::url);
    };
    // A text the arena could not hold is not a key to merge into again.
    const auto keep = [&](const UrlEntry& e) {
        if (remember && e.file->url.data != nullptr &&
            (e.directory == nullptr || e.directory->url.data != nullptr))
            urlEntries_.put(url, e);
    };
    const std::size_t dot = ingest::lastOf(url, '.');
    if (!url.empty() && url.back() != '/' && dot != std::string_view::npos) {
        const FileKind kind = extensionKinds_.get(url.substr(dot + 1), [](std::string_view ext) {
            return extensionIsOneOf(ext, kPageExtensions)    ? FileKind::Page
                   : extensionIsOneOf(ext, kImageExtensions) ? FileKind::Image
                                                             : FileKind::Other;
        });
        UrlEntry e{kind, nullptr, nullptr, false};
        e.file = file(kind == FileKind::Page    ? stats_.pages
                      : kind == FileKind::Image ? stats_.images
                                                : stats_.otherFiles,
                      url);
        ++*kinds[static_cast<int>(kind)];
        const std::size_t slash = ingest::lastOf(url, '/');
        if (slash != std::string_view::npos)
            e.directory = file(stats_.directories, url.substr(0, slash + 1));
        keep(e);
        return url;
    }
    const std::string_view page = withDefaultPage(url);
    UrlEntry e{FileKind::Page, nullptr, nullptr, true};
    e.directory =
        file(stats_.directories, page.substr(0, page.size() - options_.defaultPage.size()));
    e.file = file(stats_.pages, page);
    ++stats_.counters.pages;
    keep(e);
    return page;
}

}  // namespace tw::engine
