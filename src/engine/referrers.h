#pragma once
// What a referrer tells: an own-site referrer gives a page transition; any other one a
// referrer URL, a referring site and, from a known search site, the engine, the search phrase
// and its keywords.
//
// Not safe for concurrent use: the analysis calls it under its lock when workers run in
// parallel. The search site of a referring host is looked up once per distinct host.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/statistics.h"
#include "engine/text_cache.h"
#include "ingest/text_search.h"

namespace tw::engine {

struct SearchEngine {
    std::string_view host;   // a fragment of the search site's host name
    std::string_view host2;  // a second site, or empty
    std::string_view name;   // as the reports show it
    std::string_view key;    // the query key, matched byte for byte
    std::string_view key2;   // tried when the first key gives nothing, or empty
};
inline constexpr std::size_t kSearchEngineCount = 38;
// In the order they are tried: where a host holds the fragments of two rows, the earlier wins.
extern const std::array<SearchEngine, kSearchEngineCount> kSearchEngines;

struct ReferrerOptions {
    std::string domain;  // the site's own domain, without a trailing "/"
    std::string defaultPage = "index.html";
    bool caseSensitive = true;
    bool cutAtPound = true;     // DoNotDisplayPound
    bool cutAtQuestion = true;  // DoNotDisplayQuestion
    bool hyperlinkTree = false;
};

class ReferrerAnalyser {
  public:
    static constexpr std::size_t kHostCacheLimit = 100000;

    explicit ReferrerAnalyser(Statistics& stats) : stats_(stats) {}
    void start(ReferrerOptions options);

    // `page` is the requested page as the pages table counts it (a 404's URL), already folded.
    void analyse(std::string_view referrer, std::string_view page, int status);

    // The row of the search site whose fragment the host holds, or -1.
    int engineFor(std::string_view host);
    static int engineForUncached(std::string_view host);
    // The host between "//" and the next "/", less a leading "www", "www2." and the like;
    // empty when the referrer names no host that way.
    static std::string_view referringHost(std::string_view referrer);
    // The value of `key` after the referrer's first "?", up to the next "&"; empty if none.
    static std::string_view queryValue(std::string_view referrer, std::string_view key);
    // The phrase a search value spells ("+" a blank, "%xx" dropped) and its words of four or
    // more characters, as views into `phrase`.
    static void splitSearch(std::string_view value, std::string& phrase,
                            std::vector<std::string_view>& words);

  private:
    std::string_view folded(std::string_view s, std::string& scratch) const;
    void countText(StatTable<TextHitsKind>& table, std::string_view text);
    void countPair(StatTable<TextPairKind>& table, std::string_view first, std::string_view second);
    void countSearch(StatTable<SearchKind>& table, std::string_view recorded,
                     std::string_view engine);
    Text store(std::string_view s) { return stats_.arena.copy(s); }

    Statistics& stats_;
    ReferrerOptions options_;
    ingest::Pattern domain_;
    TextCache<int> engineOfHost_{kHostCacheLimit};
};

}  // namespace tw::engine
