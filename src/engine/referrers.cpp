#include "engine/referrers.h"

#include "ingest/text_search.h"

namespace tw::engine {

// Host fragments are those of the services' real search sites, so a referrer from one of them
// is recognised. Where one fragment holds another ("hotbot.lycos.com" holds "lycos."), the
// longer one comes first.
const std::array<SearchEngine, kSearchEngineCount> kSearchEngines = {{
    {"search.yahoo.", "", "Yahoo/Inktomi", "p=", ""},
    {"www.yahoo.", "", "Yahoo", "p=", ""},
    {"altavista.", "", "AltaVista", "&q=", "s="},
    {"go.com", "", "GO Network (Infoseek)", "qt=", ""},
    {"goto.", "", "GoTo.com", "Keywords=", ""},
    {"hotbot.com", "", "HotBot", "MT=", ""},
    {"search.aol.", "", "AOL Search", "query=", ""},
    {"netfind.", "", "AOL Netfind", "search=", "s="},
    {"hotbot.lycos.com", "", "hotbot.lycos.com", "MT=", ""},
    {"lycos.", "", "Lycos", "query=", ""},
    {"magellan.excite.", "", "Magellan Internet Guide", "search=", ""},
    {"excite.", "", "Excite", "search=", "s="},
    {"msn.", "", "MSN Search", "q=", ""},
    {"webcrawler.", "", "WebCrawler", "searchText=", ""},
    {"infoseek.", "", "Infoseek", "qt=", ""},
    {"metacrawler.", "", "Metacrawler (go2net Network)", "general=", ""},
    {"go2net.", "", "Go2Net.com", "general=", "q="},
    {"mamma.", "", "Mamma.com", "general=", ""},
    {"northernlight.", "", "Northern Light", "qr=", ""},
    {"yahooligans.", "", "Yahooligans", "p=", ""},
    {"yahoo.", "", "Yahoo/AltaVista", "p=", ""},
    {"snap.", "", "Snap", "keyword=", ""},
    {"iwon.", "", "iWon", "searchfor=", ""},
    {"directhit.", "", "Direct Hit", "qry=", ""},
    {"google.", "", "Google", "q=", ""},
    {"alltheweb.", "", "AllTheWeb", "query=", ""},
    {"compuserve.", "", "Compuserve", "sTerm=", ""},
    {"savvysearch.", "", "SavvySearch", "q=", ""},
    {"dmoz.", "", "Open Directory Project", "search=", ""},
    {"search.com", "", "Search.com", "MT=", ""},
    {"infospace.", "", "Infospace", "QKW=", ""},
    {"ukplus.", "", "UK Plus", "search=", ""},
    {"freeserve.", "", "Freeserve", "query=", ""},
    {"ask.com", "askjeeves.", "Ask Jeeves", "ask=", ""},
    {"dogpile.", "", "Dogpile", "q=", ""},
    {"euroseek.", "", "Euroseek.com", "QUERY=", ""},
    {"looksmart.", "", "LookSmart", "key=", ""},
    {"search.netscape.", "", "Netscape Search", "search=", ""},
}};

namespace {

using ingest::Pattern;

bool contains(std::string_view text, std::string_view fragment) {
    return ingest::findText(text, fragment, Pattern::Case::Insensitive) >= 0;
}

std::string_view cutAtLast(std::string_view s, char c) {
    const std::size_t at = ingest::lastOf(s, c);
    return at == std::string_view::npos ? s : s.substr(0, at);
}

const Pattern kReferredPageMarks[] = {{"htm", Pattern::Case::Insensitive},
                                      {"cfm", Pattern::Case::Insensitive},
                                      {"asp", Pattern::Case::Insensitive}};

// Per-thread scratch texts: grown once, then reused.
struct Scratch {
    std::string referrer, page, url, host, phrase, recorded, lowered;
    std::vector<std::string_view> words;
};
thread_local Scratch tScratch;

}  // namespace

void ReferrerAnalyser::start(ReferrerOptions options) {
    options_ = std::move(options);
    domain_ = Pattern(options_.domain, Pattern::Case::Insensitive);
    engineOfHost_.clear();
}

int ReferrerAnalyser::engineForUncached(std::string_view host) {
    for (std::size_t i = 0; i < kSearchEngines.size(); ++i) {
        const SearchEngine& e = kSearchEngines[i];
        if (contains(host, e.host) || (!e.host2.empty() && contains(host, e.host2)))
            return static_cast<int>(i);
    }
    return -1;
}

int ReferrerAnalyser::engineFor(std::string_view host) {
    return engineOfHost_.get(host, engineForUncached);
}

std::string_view ReferrerAnalyser::referringHost(std::string_view r) {
    const std::size_t slash = r.find('/');
    if (slash == std::string_view::npos || slash + 1 >= r.size() || r[slash + 1] != '/') return {};
    const std::size_t begin = slash + 2;
    const std::size_t end = r.find('/', begin);
    if (end == std::string_view::npos) return {};
    std::string_view host = r.substr(begin, end - begin);
    if (host.size() >= 3 && ingest::equalsIgnoringCase(host.substr(0, 3), "www")) {
        host.remove_prefix(3);
        if (!host.empty() && host[0] >= '1' && host[0] <= '9') host.remove_prefix(1);
        if (!host.empty() && host[0] == '.') host.remove_prefix(1);
    }
    return host;
}

std::string_view ReferrerAnalyser::queryValue(std::string_view r, std::string_view key) {
    const std::size_t q = r.find('?');
    if (q == std::string_view::npos || key.empty()) return {};
    const std::size_t at = r.find(key, q + 1);
    if (at == std::string_view::npos) return {};
    const std::string_view rest = r.substr(at + key.size());
    return rest.substr(0, rest.find('&'));
}

void ReferrerAnalyser::splitSearch(std::string_view value, std::string& phrase,
                                   std::vector<std::string_view>& words) {
    phrase.clear();
    words.clear();
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '%') {
            i += 2;  // the escape is dropped, not decoded
            continue;
        }
        phrase.push_back(c == '+' ? ' ' : c);
    }
    // A word is a run of the phrase between blanks: "+" and " " end words, a dropped escape
    // does not.
    std::size_t start = 0;
    for (std::size_t i = 0; i <= phrase.size(); ++i) {
        if (i == phrase.size() || phrase[i] == ' ') {
            if (i - start > 3) words.push_back(std::string_view(phrase).substr(start, i - start));
            start = i + 1;
        }
    }
}

std::string_view ReferrerAnalyser::folded(std::string_view s, std::string& scratch) const {
    if (options_.caseSensitive) return s;
    scratch.assign(s);
    ingest::lowerAscii(scratch);
    return scratch;
}

void ReferrerAnalyser::countText(StatTable<TextHitsKind>& table, std::string_view text) {
    table.insertOrMerge({borrowed(text), 1}, [&](TextHitsKind::Item& i) { i.text = store(text); });
}

void ReferrerAnalyser::countPair(StatTable<TextPairKind>& table, std::string_view first,
                                 std::string_view second) {
    table.insertOrMerge({borrowed(first), borrowed(second), 1}, [&](TextPairKind::Item& i) {
        i.first = store(first);
        i.second = store(second);
    });
}

void ReferrerAnalyser::countSearch(StatTable<SearchKind>& table, std::string_view recorded,
                                   std::string_view engine) {
    Scratch& s = tScratch;
    s.lowered.assign(recorded);
    ingest::lowerAscii(s.lowered);
    const std::string_view lowered = s.lowered;
    table.insertOrMerge({borrowed(recorded), borrowed(lowered), borrowed(engine), 1},
                        [&](SearchKind::Item& i) {
                            i.recorded = store(recorded);
                            i.lowered = store(lowered);
                            i.engine = store(engine);
                        });
}

void ReferrerAnalyser::analyse(std::string_view referrer, std::string_view page, int status) {
    Scratch& s = tScratch;
    const std::string_view ref = options_.cutAtPound ? cutAtLast(referrer, '#') : referrer;
    const long own = domain_.find(ref);

    if (status == 404) countPair(stats_.brokenLinks, folded(ref, s.referrer), page);

    if (own >= 0) {
        if (options_.hyperlinkTree && status != 404) {
            std::string& from = s.page;
            from.assign(ref.substr(static_cast<std::size_t>(own) + domain_.length()));
            if (from.find('.') == std::string::npos) {
                if (from.empty() || from.back() != '/') from.push_back('/');
                from.append(options_.defaultPage);
            }
            if (!options_.caseSensitive) ingest::lowerAscii(from);
            countPair(stats_.pageTransitions, from, page);
        }
        return;
    }

    std::string_view url = folded(ref, s.url);
    if (options_.cutAtQuestion) url = cutAtLast(url, '?');
    countText(stats_.referrerUrls, url);
    if (status != 404) {
        countPair(stats_.referrerToPage, url, page);
        for (const Pattern& p : kReferredPageMarks) {
            if (p.foundIn(page)) {
                countText(stats_.referredPages, page);
                break;
            }
        }
    }

    const std::string_view host = referringHost(ref);
    if (host.empty()) return;
    countText(stats_.referringSites, folded(host, s.host));

    const int row = engineFor(host);
    if (row < 0) return;
    const SearchEngine& e = kSearchEngines[static_cast<std::size_t>(row)];
    std::string_view value = queryValue(ref, e.key);
    if (value.empty() && !e.key2.empty()) value = queryValue(ref, e.key2);
    if (value.empty()) return;
    countSearch(stats_.searchEngines, " ", e.name);

    splitSearch(value, s.phrase, s.words);
    // Words first: countSearch reuses the lowered scratch, and the words are views into the
    // phrase, which stays put.
    for (const std::string_view w : s.words)
        countSearch(stats_.searchKeywords, folded(w, s.recorded), " ");
    if (!s.phrase.empty()) countSearch(stats_.searchPhrases, folded(s.phrase, s.recorded), e.name);
}

}  // namespace tw::engine
