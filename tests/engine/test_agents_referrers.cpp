// User-agent classes, and what a referrer adds: own-site transitions, external referrers,
// referring sites, search engines, phrases and keywords.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "engine/referrers.h"
#include "engine/user_agents.h"
#include "platform/strings.h"

namespace tw::engine {
namespace {

std::string osOf(std::string_view agent) {
    return std::string(platform::text(kOsLabels[AgentClassifier::classifyUncached(agent).os]));
}
std::string browserOf(std::string_view agent) {
    return std::string(
        platform::text(kBrowserLabels[AgentClassifier::classifyUncached(agent).browser]));
}

TEST(UserAgents, FirstClassInOrderWins) {
    EXPECT_EQ(osOf("Mozilla/4.0 (compatible; MSIE 5.0; Windows NT; Win98)"), "Windows 98");
    EXPECT_EQ(browserOf("Mozilla/4.0 (compatible; MSIE 5.0; Windows 98)"), "IE 5.x");
    EXPECT_EQ(browserOf("Mozilla/4.0 (compatible; MSIE 5.0; Windows 98) Opera 6.0"), "IE 5.x");
    EXPECT_EQ(browserOf("Opera/9.80 (Windows NT 6.1) Presto"), "Opera");
    EXPECT_EQ(browserOf("Mozilla/4.0 (compatible; msie 4.01; windows 95)"), "IE 4.x")
        << "tokens are found ignoring case";
    EXPECT_EQ(osOf("Mozilla/4.0 (compatible; msie 4.01; windows 95)"), "Windows 95");
    EXPECT_EQ(osOf("Mozilla/3.0 (Macintosh; I; PPC)"), "Macintosh");
    EXPECT_EQ(osOf("Mozilla/4.0 (compatible; MSIE 5.0; Mac_PowerPC)"), "Macintosh");
    EXPECT_EQ(osOf("Mozilla/5.0 (X11; Linux x86_64; rv:109.0) Gecko/20100101 Firefox/115.0"),
              "Linux");
    EXPECT_EQ(browserOf("Mozilla/5.0 (X11; Linux x86_64; rv:109.0) Gecko/20100101"),
              "Navigator 5.x");
    EXPECT_EQ(browserOf("Mozilla/4.7 [en] (X11; I; SunOS 5.8 sun4u)"), "Navigator 4.x");
    EXPECT_EQ(osOf("Mozilla/4.7 [en] (X11; I; SunOS 5.8 sun4u)"), "SunOS");
    EXPECT_EQ(browserOf("Lynx/2.8.4rel.1 libwww-FM/2.14"), "Lynx");
    EXPECT_EQ(osOf("curl/7.68.0"), "Other");
    EXPECT_EQ(browserOf("curl/7.68.0"), "Other");
    EXPECT_EQ(osOf("Mozilla/4.0 (compatible; MSIE 4.0; Windows CE; PPC)"), "Windows CE");

    AgentClassifier cached;
    const std::string agent = "Mozilla/4.0 (compatible; MSIE 3.02; Windows 3.1)";
    for (int i = 0; i < 3; ++i) {
        const AgentClasses c = cached.classify(agent);
        EXPECT_EQ(platform::text(kBrowserLabels[c.browser]), "IE 3.x");
        EXPECT_EQ(platform::text(kOsLabels[c.os]), "Windows 3.1");
    }
    cached.classify("Lynx/2.8");
    EXPECT_EQ(cached.cached(), 2u) << "each distinct text is classified once";
}

TEST(Referrers, SearchValuesHostsAndEngines) {
    std::string phrase;
    std::vector<std::string_view> words;
    ReferrerAnalyser::splitSearch("red+wine%2C+cheap", phrase, words);
    EXPECT_EQ(phrase, "red wine cheap");
    EXPECT_EQ(words, (std::vector<std::string_view>{"wine", "cheap"}));
    ReferrerAnalyser::splitSearch("++dogs", phrase, words);
    EXPECT_EQ(phrase, "  dogs");
    EXPECT_EQ(words, (std::vector<std::string_view>{"dogs"}));
    ReferrerAnalyser::splitSearch("ab%2Ccd tail%2", phrase, words);
    EXPECT_EQ(phrase, "abcd tail") << "an escape neither ends a word nor reads past the value";
    EXPECT_EQ(words, (std::vector<std::string_view>{"abcd", "tail"}));

    EXPECT_EQ(ReferrerAnalyser::referringHost("http://www2.example.org/a?b"), "example.org");
    EXPECT_EQ(ReferrerAnalyser::referringHost("http://WWW.Example.org/"), "Example.org");
    EXPECT_EQ(ReferrerAnalyser::referringHost("http://news.example.org/x"), "news.example.org");
    EXPECT_EQ(ReferrerAnalyser::referringHost("http://example.org"), "")
        << "no further slash, no site";
    EXPECT_EQ(ReferrerAnalyser::referringHost("/local/page.htm"), "");

    EXPECT_EQ(ReferrerAnalyser::queryValue("http://g/search?hl=en&q=red+wine&x=1", "q="),
              "red+wine");
    EXPECT_EQ(ReferrerAnalyser::queryValue("http://g/?faq=1&q=2", "q="), "1")
        << "the key is found anywhere, also inside another key";
    EXPECT_EQ(ReferrerAnalyser::queryValue("http://g/q=1", "q="), "") << "only after the ?";

    const auto name = [](std::string_view host) {
        const int row = ReferrerAnalyser::engineForUncached(host);
        return row < 0 ? std::string("-")
                       : std::string(kSearchEngines[static_cast<std::size_t>(row)].name);
    };
    EXPECT_EQ(name("www.google.co.uk"), "Google");
    EXPECT_EQ(name("hotbot.lycos.com"), "hotbot.lycos.com") << "the longer fragment comes first";
    EXPECT_EQ(name("search.lycos.com"), "Lycos");
    EXPECT_EQ(name("magellan.excite.com"), "Magellan Internet Guide");
    EXPECT_EQ(name("www.excite.com"), "Excite");
    EXPECT_EQ(name("askjeeves.com"), "Ask Jeeves");
    EXPECT_EQ(name("ASK.COM"), "Ask Jeeves");
    EXPECT_EQ(name("example.org"), "-");
}

struct ReferrerRun : ::testing::Test {
    Statistics stats{1 << 20};
    ReferrerAnalyser referrers{stats};

    void start(std::string domain, bool tree = true, bool caseSensitive = true) {
        StatisticsOptions so;
        so.totalBytes = 1 << 20;
        stats.initialise(so);
        ReferrerOptions o;
        o.domain = std::move(domain);
        o.hyperlinkTree = tree;
        o.caseSensitive = caseSensitive;
        referrers.start(o);
    }
    template <typename Table, typename Key>
    static std::map<std::string, std::uint64_t> hits(const Table& t, Key key) {
        std::map<std::string, std::uint64_t> out;
        t.forEach([&](const auto& i) { out[key(i)] += i.hits; });
        return out;
    }
    static std::string pair(const TextPairKind::Item& i) {
        return std::string(i.first.view()) + " > " + std::string(i.second.view());
    }
    static std::string text(const TextHitsKind::Item& i) { return std::string(i.text.view()); }
    static std::string search(const SearchKind::Item& i) {
        return std::string(i.recorded.view()) + "|" + std::string(i.engine.view());
    }
};

TEST_F(ReferrerRun, InternalAndExternalReferrers) {
    start("example.com");
    referrers.analyse("http://www.example.com/docs#top", "/a.htm", 200);
    referrers.analyse("http://www.example.com/b.htm", "/missing.htm", 404);
    referrers.analyse("http://www2.other.org/list.html?page=2#x", "/a.htm", 200);
    referrers.analyse("http://www2.other.org/list.html?page=3", "/pic.gif", 200);

    EXPECT_EQ(hits(stats.pageTransitions, pair),
              (std::map<std::string, std::uint64_t>{{"/docs/index.html > /a.htm", 1}}));
    EXPECT_EQ(
        hits(stats.brokenLinks, pair),
        (std::map<std::string, std::uint64_t>{{"http://www.example.com/b.htm > /missing.htm", 1}}))
        << "a 404 with an own-site referrer counts as a broken link and nothing else";
    EXPECT_EQ(hits(stats.referrerUrls, text),
              (std::map<std::string, std::uint64_t>{{"http://www2.other.org/list.html", 2}}));
    EXPECT_EQ(hits(stats.referringSites, text),
              (std::map<std::string, std::uint64_t>{{"other.org", 2}}));
    EXPECT_EQ(
        hits(stats.referrerToPage, pair),
        (std::map<std::string, std::uint64_t>{{"http://www2.other.org/list.html > /a.htm", 1},
                                              {"http://www2.other.org/list.html > /pic.gif", 1}}));
    EXPECT_EQ(hits(stats.referredPages, text),
              (std::map<std::string, std::uint64_t>{{"/a.htm", 1}}))
        << "only pages count as externally referred";

    // Without the hyperlink tree an own-site referrer adds nothing at all.
    start("example.com", false);
    referrers.analyse("http://example.com/x.htm", "/a.htm", 200);
    EXPECT_EQ(stats.pageTransitions.size() + stats.referrerUrls.size(), 0u);

    // With no domain every referrer is the site's own.
    start("");
    referrers.analyse("http://www.google.com/search?q=wine", "/a.htm", 200);
    EXPECT_EQ(stats.referrerUrls.size() + stats.searchEngines.size(), 0u);
    EXPECT_EQ(stats.pageTransitions.size(), 1u);
}

TEST_F(ReferrerRun, SearchEnginesPhrasesAndKeywords) {
    start("example.com", true, false);
    referrers.analyse("http://www.google.com/search?hl=en&q=Red+Wine%2C+cheap", "/a.htm", 200);
    referrers.analyse("http://www.altavista.com/cgi-bin/query?s=red+wine", "/a.htm", 200);
    referrers.analyse("http://www.altavista.com/cgi-bin/query?pg=q&s=no&q=fine+wine", "/a.htm",
                      200);
    referrers.analyse("http://www.google.com/search?q=", "/a.htm", 200);

    EXPECT_EQ(hits(stats.searchEngines, search),
              (std::map<std::string, std::uint64_t>{{" |AltaVista", 2}, {" |Google", 1}}))
        << "an AltaVista referrer without &q= falls back to s=; an empty value is no search";
    EXPECT_EQ(
        hits(stats.searchPhrases, search),
        (std::map<std::string, std::uint64_t>{
            {"red wine cheap|Google", 1}, {"red wine|AltaVista", 1}, {"fine wine|AltaVista", 1}}))
        << "the same words through two engines are two phrases; folded without CaseSensitive";
    EXPECT_EQ(hits(stats.searchKeywords, search),
              (std::map<std::string, std::uint64_t>{{"wine| ", 3}, {"cheap| ", 1}, {"fine| ", 1}}));
}

}  // namespace
}  // namespace tw::engine
