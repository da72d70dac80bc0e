// The pages report of a real log against the whole pages table computed without the program
// (elastic/pages.txt, by compute.py --pages): every listed page has the computed hits, bytes
// and partial downloads, and the list is a true top list of the report's length.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

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

    const RunOutcome run = runOver(log, false);
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

}  // namespace
}  // namespace tw::engine
