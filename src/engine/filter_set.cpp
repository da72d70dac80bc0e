#include "engine/filter_set.h"

#include <utility>

#include "platform/resolver.h"

namespace tw::engine {

namespace {

// Workers test filters concurrently: each keeps its own canonical host text, grown once.
thread_local std::string tCanonicalHost;

bool searchesAgent(int kind) {
    return kind == config::kFilterUserOs || kind == config::kFilterBrowser ||
           kind == config::kFilterSpider;
}

}  // namespace

void FilterSet::compile(const config::FilterList& global, const config::FilterList& report,
                        bool andInclude, bool andExclude, bool apacheMultiFile) {
    filters_.clear();
    hostFilters_ = false;
    addressForms_ = false;
    andInclude_ = andInclude;
    andExclude_ = andExclude;

    // Separate access/agent/referrer files never put all the fields a filter might test into one
    // record, so such a run counts everything; with an empty list the initial state passes.
    if (!apacheMultiFile) {
        filters_.reserve(global.size() + report.size());
        for (const auto* list : {&global, &report}) {
            for (const config::Filter& in : *list) {
                Compiled f;
                f.exclude = in.excludes();
                // A kind outside the known range can only come from a damaged or hand-edited
                // settings file. It is described as a domain filter, so it also behaves as one
                // rather than silently matching nothing (or everything).
                f.kind = (in.Information >= 0 && in.Information < config::kFilterKinds)
                             ? in.Information
                             : config::kFilterDomain;
                f.text = in.strFilter;
                f.wildcard = f.text.find_first_of("*?") != std::string::npos;
                f.number1 = in.nFilter;
                f.number2 = in.nFilter2;
                f.request = in.Request;
                f.begin = in.BeginningTime;
                f.end = in.EndingTime;
                // Agent texts are searched literally: "Mozilla/4.*" means those bytes, not a
                // pattern, so the skip table is built whatever the text holds.
                if (searchesAgent(f.kind)) {
                    f.agentPattern = ingest::Pattern(f.text, ingest::Pattern::Case::Sensitive);
                }
                if (f.kind == config::kFilterDomain) {
                    hostFilters_ = true;
                    // Compiled to the form the hosts are compared in; a pattern cannot be, but
                    // it is also tried against that form, so "10.6.6.*" takes "010.6.6.6".
                    if (!f.wildcard) {
                        std::string canonical;
                        if (platform::canonicalAddress(f.text, canonical)) {
                            f.text = std::move(canonical);
                            f.address = true;
                        }
                    }
                    if (f.wildcard || f.address) addressForms_ = true;
                }
                filters_.push_back(std::move(f));
            }
        }
    }

    bool anyInclude = false;
    bool anyExclude = false;
    for (const Compiled& f : filters_) {
        (f.exclude ? anyExclude : anyInclude) = true;
    }
    // AND starts from "all matched so far" and can only fall; OR starts from "none matched" and
    // can only rise. Without include filters there is nothing to satisfy, and without exclude
    // filters nothing to be excluded by.
    initial_.include = andInclude_ || !anyInclude;
    initial_.exclude = andExclude_ && anyExclude;
}

bool FilterSet::textMatches(const Compiled& f, std::string_view value) {
    if (f.wildcard) return ingest::wildcardMatch(f.text, value);
    // Most records differ in length from the text, so that check rejects them before any byte is
    // compared (string_view equality compares sizes first).
    return value == std::string_view(f.text);
}

bool FilterSet::hostMatches(const Compiled& f, std::string_view host, std::string_view canonical) {
    if (textMatches(f, host)) return true;
    // A name filter is compared as entered: a canonical address could never equal it.
    return !canonical.empty() && (f.wildcard || f.address) && textMatches(f, canonical);
}

std::string_view FilterSet::canonicalHost(std::string_view host) const {
    if (!addressForms_) return {};
    std::string& canonical = tCanonicalHost;
    if (!platform::canonicalAddress(host, canonical) || canonical == host) return {};
    return canonical;
}

bool FilterSet::matches(const Compiled& f, const ingest::LogRecord& rec,
                        std::string_view loggedHost, std::string_view canonical,
                        std::string_view url) {
    switch (f.kind) {
        case config::kFilterDomain:
            return hostMatches(f, loggedHost, canonical);
        case config::kFilterFileName:
            return textMatches(f, url);
        case config::kFilterDateRange:
            return f.begin <= rec.time && rec.time <= f.end;
        case config::kFilterDayOfWeek:
            return rec.weekday == f.number1;
        case config::kFilterHour:
            return rec.hour == f.number1;
        case config::kFilterReferringUrl:
            return textMatches(f, rec.referrer.view());
        case config::kFilterUserOs:
        case config::kFilterBrowser:
        case config::kFilterSpider:
            return f.agentPattern.foundIn(rec.agent.view());
        case config::kFilterRequest:
            return rec.method == f.request;
        case config::kFilterSuccessCode: {
            // Unsigned, so a negative (unparsable) status sorts above every real code.
            const auto status = static_cast<std::uint32_t>(rec.status);
            return static_cast<std::uint32_t>(f.number1) <= status &&
                   status <= static_cast<std::uint32_t>(f.number2);
        }
        case config::kFilterAuthUser:
            return textMatches(f, rec.user.view());
        case config::kFilterVirtualDomain:
            return textMatches(f, rec.serverIp.view());
        default:
            // compile() maps every other kind to a domain filter.
            return hostMatches(f, loggedHost, canonical);
    }
}

template <class Test>
void FilterSet::combine(State& s, const Compiled& f, Test&& test) const {
    bool& state = f.exclude ? s.exclude : s.include;
    const bool all = f.exclude ? andExclude_ : andInclude_;
    // Under AND a false state is final, under OR a true one; either way the test is skipped.
    if (state != all) return;
    state = test();
}

FilterSet::State FilterSet::firstPass(const ingest::LogRecord& rec, std::string_view loggedHost,
                                      std::string_view url) const {
    State s = initial_;
    const std::string_view canonical = canonicalHost(loggedHost);
    for (const Compiled& f : filters_) {
        combine(s, f, [&] { return matches(f, rec, loggedHost, canonical, url); });
    }
    return s;
}

FilterSet::State FilterSet::secondPass(State s, std::string_view keptHost) const {
    const std::string_view canonical = canonicalHost(keptHost);
    for (const Compiled& f : filters_) {
        if (f.kind != config::kFilterDomain) continue;
        combine(s, f, [&] { return hostMatches(f, keptHost, canonical); });
    }
    return s;
}

}  // namespace tw::engine
