// Reports of a real log against figures computed without the program by compute.py: the pages
// report against the whole pages table (elastic/pages.txt), and the browser, operating-system,
// referring-site and search-engine reports against elastic/visitors.txt.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "platform/strings.h"
#include "support/engine_run.h"

namespace tw::engine {
namespace {

struct PageFigures {
    std::uint64_t hits = 0, bytes = 0, partial = 0;
    bool operator==(const PageFigures&) const = default;
};

std::map<std::string, PageFigures> readExpected(const std::string& path) {
    std::map<std::string, PageFigures> out;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        PageFigures f;
        std::string url;
        fields >> f.hits >> f.bytes >> f.partial;
        fields.ignore(1);
        std::getline(fields, url);
        out[url] = f;
    }
    return out;
}

TEST(GoldenPages, ElasticTopPagesMatchTheComputedTable) {
    const std::string log =
        std::string(TALLYWEB_DATA_DIR) + "/combined/elastic-examples_apache_logs.log";
    const auto expected = readExpected(std::string(TALLYWEB_GOLDEN_DIR) + "/elastic/pages.txt");
    ASSERT_GT(expected.size(), 100u) << "the table must be longer than the report";

    const RunOutcome run = runOver(log);
    ASSERT_TRUE(run.produced);
    const auto& pages = run.engine->results().pages;
    ASSERT_EQ(pages.size(), 100u) << "the default report length";

    std::uint64_t lowestListed = ~std::uint64_t{0};
    std::map<std::string, PageFigures> listed;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const std::string url(pages[i].url.view());
        if (i > 0) {
            EXPECT_LE(pages[i].hits, pages[i - 1].hits) << "highest first";
        }
        const auto it = expected.find(url);
        ASSERT_NE(it, expected.end()) << url;
        EXPECT_EQ((PageFigures{pages[i].hits, pages[i].bytes, pages[i].partial}), it->second)
            << url;
        listed[url] = it->second;
        lowestListed = std::min(lowestListed, pages[i].hits);
    }
    EXPECT_EQ(listed.size(), pages.size()) << "no page listed twice";
    // Ties at the cut may fall either way; nothing left out may have more hits.
    for (const auto& [url, f] : expected)
        if (!listed.count(url)) {
            EXPECT_LE(f.hits, lowestListed) << url;
        }
    EXPECT_EQ(pages.front().url.view(), "/blog/tags/puppet?flav=rss20/index.html");
}

// "kind<TAB>key...<TAB>count" lines, the key being every field between kind and count.
std::map<std::string, std::map<std::string, std::uint64_t>> readVisitors(const std::string& path) {
    std::map<std::string, std::map<std::string, std::uint64_t>> out;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t kindEnd = line.find('\t');
        const std::size_t countAt = line.rfind('\t');
        out[line.substr(0, kindEnd)][line.substr(kindEnd + 1, countAt - kindEnd - 1)] =
            std::stoull(line.substr(countAt + 1));
    }
    return out;
}

std::string lowered(std::string_view s) {
    std::string out(s);
    ingest::lowerAscii(out);
    return out;
}

TEST(GoldenReports, ElasticAgentsReferringSitesAndSearchEngines) {
    const std::string log =
        std::string(TALLYWEB_DATA_DIR) + "/combined/elastic-examples_apache_logs.log";
    auto expected = readVisitors(std::string(TALLYWEB_GOLDEN_DIR) + "/elastic/visitors.txt");
    ASSERT_EQ(expected["os"].size(), 14u);
    ASSERT_EQ(expected["browser"].size(), 12u);

    const RunOutcome run = runOver(log, {.domain = "semicomplete.com"});
    ASSERT_TRUE(run.produced);
    const Statistics& stats = run.engine->statistics();
    const Results& r = run.engine->results();

    std::map<std::string, std::uint64_t> os, browsers;
    for (int i = 0; i < kOsClasses; ++i)
        os[std::string(platform::text(kOsLabels[static_cast<std::size_t>(i)]))] +=
            stats.operatingSystems[static_cast<std::size_t>(i)];
    for (int i = 0; i < kBrowserClasses; ++i)
        browsers[std::string(platform::text(kBrowserLabels[static_cast<std::size_t>(i)]))] +=
            stats.browsers[static_cast<std::size_t>(i)];
    // Both lists end in "Other"; the maps merge the two, so compare them that way too.
    EXPECT_EQ(os, expected["os"]);
    EXPECT_EQ(browsers, expected["browser"]);

    std::map<std::string, std::uint64_t> engines;
    for (const SearchKind::Item& e : r.searchEngines)
        engines[std::string(e.engine.view())] += e.hits;
    EXPECT_EQ(engines, expected["engine"]);
    EXPECT_FALSE(engines.empty());

    std::map<std::string, std::uint64_t> phrases;
    stats.searchPhrases.forEach([&](const SearchKind::Item& p) {
        phrases[std::string(p.engine.view()) + "\t" + std::string(p.lowered.view())] += p.hits;
    });
    EXPECT_EQ(phrases, expected["phrase"]);

    // Referring sites: a true top list of the report's length, each with the computed hits.
    const auto& sites = expected["site"];
    ASSERT_GT(sites.size(), 100u);
    ASSERT_EQ(r.referringSites.size(), 100u);
    std::uint64_t lowest = ~std::uint64_t{0};
    std::map<std::string, std::uint64_t> listed;
    for (const TextHitsKind::Item& s : r.referringSites) {
        const std::string host = lowered(s.text.view());
        const auto it = sites.find(host);
        ASSERT_NE(it, sites.end()) << host;
        EXPECT_EQ(s.hits, it->second) << host;
        listed[host] = s.hits;
        lowest = std::min(lowest, s.hits);
    }
    for (const auto& [host, hits] : sites) {
        if (!listed.count(host)) {
            EXPECT_LE(hits, lowest) << host;
        }
    }
}

}  // namespace
}  // namespace tw::engine
