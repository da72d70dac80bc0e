#pragma once
// The run's filters, compiled once before the workers start and then only read. Every record
// carries its own include/exclude state (State), so workers test filters concurrently without a
// lock, and a test neither allocates nor touches shared mutable data.
//
// Domain filters are decided in two passes: the first sees the host as logged, the second the
// host the analysis keeps (after lowercasing and reverse DNS), so "192.168.*" still keeps a
// visitor whose address resolves to a name. A host that is an address is also compared in its
// canonical spelling (platform::canonicalAddress), and a filter text that is an address is
// compiled to it, so "1.2.3.4" meets a logged "001.002.003.004" and any IPv6 spelling meets any
// other.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/filter.h"
#include "ingest/log_record.h"
#include "ingest/text_search.h"

namespace tw::engine {

class FilterSet {
  public:
    // Global filters first, in their order, then the report's. `andInclude`/`andExclude` are the
    // AndIncludeFilters/AndExcludeFilters settings; `apacheMultiFile` (the report's
    // ApacheTwoFileFormat) switches filtering off altogether.
    void compile(const config::FilterList& global, const config::FilterList& report,
                 bool andInclude, bool andExclude, bool apacheMultiFile);

    // A switched-off run compiles to an empty list, so one test covers both cases.
    bool active() const { return !filters_.empty(); }
    // Any domain filter (only meaningful when active): the decision then waits for secondPass.
    bool hasHostFilters() const { return hostFilters_; }

    struct State {
        bool include;
        bool exclude;
    };

    // First pass: every filter against the record; domain filters against `loggedHost`.
    // `url` is the URL after RemoveDirectories has cut it (the caller passes it).
    State firstPass(const ingest::LogRecord& rec, std::string_view loggedHost,
                    std::string_view url) const;
    // Second pass, only when hasHostFilters(): the domain filters again, against the host the
    // analysis keeps, continuing from `s`.
    State secondPass(State s, std::string_view keptHost) const;

    static bool passes(State s) { return s.include && !s.exclude; }

  private:
    struct Compiled {
        bool exclude = false;
        bool wildcard = false;  // text contains '*' or '?'; meaningless for kinds 6-8
        bool address = false;   // a domain filter whose text is an address, held canonical
        int kind = config::kFilterDomain;
        std::string text;
        int number1 = 0;
        int number2 = 0;
        int request = 0;
        std::int64_t begin = 0;
        std::int64_t end = 0;
        ingest::Pattern agentPattern;  // kinds 6-8 only
    };

    static bool textMatches(const Compiled& f, std::string_view value);
    // `canonical`: the host's canonical address text when it differs from `host`, else empty.
    static bool hostMatches(const Compiled& f, std::string_view host, std::string_view canonical);
    // The canonical address text of `host` in per-thread scratch, or empty when no filter wants
    // it or it would add nothing: `host` is a name or already written that way.
    std::string_view canonicalHost(std::string_view host) const;
    static bool matches(const Compiled& f, const ingest::LogRecord& rec,
                        std::string_view loggedHost, std::string_view canonical,
                        std::string_view url);
    // Applies the combining rule; `test` is called only when its result can change the state.
    template <class Test>
    void combine(State& s, const Compiled& f, Test&& test) const;

    std::vector<Compiled> filters_;
    State initial_{true, false};
    bool andInclude_ = false;
    bool andExclude_ = false;
    bool hostFilters_ = false;
    bool addressForms_ = false;  // some domain filter compares canonical address texts
};

}  // namespace tw::engine
