// Finalisation: ranking and truncation, the grouped reports, and the General Statistics rows.
#include <gtest/gtest.h>

#include <string>

#include "engine/results.h"
#include "ingest/log_time.h"

namespace tw::engine {
namespace {

std::string value(const std::vector<GeneralRow>& rows, std::string_view label) {
    for (const auto& r : rows)
        if (r.label == label) return r.value;
    ADD_FAILURE() << "no row " << label;
    return {};
}

TEST(Finalise, RanksCutsAndGroups) {
    Statistics s(1 << 20);
    StatisticsOptions o;
    o.totalBytes = 1 << 20;
    s.initialise(o);
    for (int p = 0; p < 25; ++p)
        for (int h = 0; h <= p; ++h)
            s.pages.insertOrMerge({s.arena.copy("/p" + std::to_string(p) + ".htm"), 1, 0, 1});
    for (int i = 0; i < 150; ++i)
        s.domainSuffixes.insertOrMerge({s.arena.copy(".s" + std::to_string(i)), 1});
    // One page referred to by 40 sites, site i referring i+1 times; another by two.
    for (int i = 0; i < 40; ++i)
        s.referrerToPage.insertOrMerge({s.arena.copy("http://site" + std::to_string(i) + "/"),
                                        s.arena.copy("/popular.htm"),
                                        static_cast<std::uint64_t>(i + 1)});
    s.referrerToPage.insertOrMerge({s.arena.copy("http://A/"), s.arena.copy("/quiet.htm"), 1});
    s.referrerToPage.insertOrMerge({s.arena.copy("http://a/"), s.arena.copy("/quiet.htm"), 2});
    for (std::int64_t d : {18300, 18302, 18301}) s.days.insertOrMerge({d, 1, 0});
    s.brokenLinks.insertOrMerge({s.arena.copy("/from1.htm"), s.arena.copy("/gone.htm"), 1});
    s.brokenLinks.insertOrMerge({s.arena.copy("/from2.htm"), s.arena.copy("/gone.htm"), 2});
    s.brokenLinks.insertOrMerge({s.arena.copy("/from2.htm"), s.arena.copy("/lost.htm"), 1});

    Results r = finalise(s, 10, true);
    ASSERT_EQ(r.pages.size(), 10u);
    EXPECT_EQ(r.pages.front().url.view(), "/p24.htm");
    EXPECT_EQ(r.pages.front().hits, 25u);
    EXPECT_EQ(r.pages.back().hits, 16u);
    EXPECT_EQ(r.domainSuffixes.size(), 100u) << "suffixes keep 100 whatever the report length";
    ASSERT_EQ(r.pagesByReferrer.size(), 2u);
    const GroupedItem& popular = r.pagesByReferrer[0];
    EXPECT_EQ(popular.text.view(), "/popular.htm");
    EXPECT_EQ(popular.hits, 40u * 41 / 2);
    ASSERT_EQ(popular.sub.size(), 25u);
    EXPECT_EQ(popular.sub.front().hits, 40u);
    EXPECT_EQ(popular.sub.back().hits, 16u);
    ASSERT_EQ(r.pagesByReferrer[1].sub.size(), 1u) << "sub-items compare ignoring case";
    EXPECT_EQ(r.pagesByReferrer[1].sub[0].hits, 3u);
    ASSERT_EQ(r.brokenLinksByPage.size(), 2u);
    const GroupedItem& gone = r.brokenLinksByPage[0];
    EXPECT_EQ(gone.text.view(), "/gone.htm");
    EXPECT_EQ(gone.hits, 3u);
    ASSERT_EQ(gone.sub.size(), 2u);
    EXPECT_EQ(gone.sub[0].text.view(), "/from2.htm");
    EXPECT_TRUE(gone.companion.view() == "/from1.htm" || gone.companion.view() == "/from2.htm");
    // Finalising again rebuilds the groups rather than adding to them.
    r = finalise(s, 10, true);
    EXPECT_EQ(r.brokenLinksByPage[0].hits, 3u);
    EXPECT_EQ(r.pagesByReferrer[0].sub.front().hits, 40u);
    ASSERT_EQ(r.days.size(), 3u);
    EXPECT_EQ(r.days[0].day, 18302);
    EXPECT_EQ(r.days[2].day, 18300);
}

TEST(GeneralStatistics, RowsAndTheirFormats) {
    Results r;
    r.totalHits = 200;
    r.totalVisits = 8;
    r.distinctHosts = 5;
    GeneralCounters c;
    c.totalBytes = 5000000000ull;  // past 32 bits
    c.cachedHits = 50;
    c.partial = 1;
    c.notFound = 3;
    c.pages = 120;
    c.otherFiles = 30;
    c.images = 50;
    c.earliest = ingest::frameSeconds(2020, 3, 1, 10, 0, 0);
    c.latest = ingest::frameSeconds(2020, 3, 3, 9, 0, 0);
    c.recordLines = 225;
    c.rejectedLines = 25;
    r.clients.agentHits = 160;
    r.clients.robotHits = 40;
    const auto rows = generalStatistics(r, c, 0);
    ASSERT_EQ(rows.size(), 22u);
    const char* labels[] = {"Hits",
                            "Total Data Transferred",
                            "Total Visiting Users",
                            "Time Period",
                            "Average Hits per User",
                            "Average Users per Day",
                            "Average Data Transferred per Day",
                            "Hits cached by Client",
                            "Report generated on",
                            "Incomplete downloads/file requests",
                            "Log spans a period of",
                            "Total failed requests",
                            "Unique IP Addresses",
                            "Average Data Transferred per User",
                            "Average Hits per Day",
                            "Average Data Transferred per Hit",
                            "Each user has visited approximately",
                            "Hits on Pages",
                            "Hits on Files",
                            "Hits on Images",
                            "Rejected log lines",
                            "Hits by robots"};
    for (std::size_t i = 0; i < 22; ++i) EXPECT_EQ(rows[i].label, labels[i]) << i;
    EXPECT_EQ(rows[0].value, "200");
    EXPECT_EQ(rows[1].value, "4.66 gigabytes");
    EXPECT_EQ(rows[3].value, "March 01, 2020, 10:00 AM to March 03, 2020, 09:00 AM");
    EXPECT_EQ(rows[4].value, "25.00");
    EXPECT_EQ(rows[5].value, "4.00") << "1 March 10:00 to 3 March 09:00 is D = 2";
    EXPECT_EQ(rows[6].value, "2.33 gigabytes");
    EXPECT_EQ(rows[7].value, "50 (25.00%)");
    EXPECT_EQ(rows[9].value, "1 (0.50%)");
    EXPECT_EQ(rows[10].value, "2 days");
    EXPECT_EQ(rows[11].value, "3 (1.50%)");
    EXPECT_EQ(rows[12].value, "5");
    EXPECT_EQ(rows[13].value, "596.05 megabytes");  // 625000000 bytes
    EXPECT_EQ(rows[14].value, "100.00");
    EXPECT_EQ(rows[15].value, "23.84 megabytes");
    EXPECT_EQ(rows[16].value, "1.60 times");
    EXPECT_EQ(rows[17].value, "120");
    EXPECT_EQ(rows[20].value, "25 (10.00%)") << "a share of every line read, not of the hits";
    EXPECT_EQ(rows[21].value, "40 (25.00%)") << "a share of the requests that name an agent";
    c.robotsLeftOut = 7;
    EXPECT_EQ(value(generalStatistics(r, c, 0), "Hits by robots"), "7 (not counted)");

    // Nothing counted: the "none" texts, and one day.
    const auto empty = generalStatistics(Results{}, GeneralCounters{}, 0);
    EXPECT_EQ(value(empty, "Average Hits per User"), "0%");
    EXPECT_EQ(value(empty, "Average Data Transferred per User"), "0 bytes");
    EXPECT_EQ(value(empty, "Average Data Transferred per Hit"), "0 bytes");
    EXPECT_EQ(value(empty, "Hits cached by Client"), "0 (0%)");
    EXPECT_EQ(value(empty, "Incomplete downloads/file requests"), "0%");
    EXPECT_EQ(value(empty, "Each user has visited approximately"), "0 times");
    EXPECT_EQ(value(empty, "Log spans a period of"), "1 day");
    EXPECT_EQ(value(empty, "Rejected log lines"), "0 (0%)");
    EXPECT_EQ(value(empty, "Hits by robots"), "0 (0%)");
}

TEST(GeneralStatistics, ByteAmountsAndStatusTexts) {
    EXPECT_EQ(byteAmountText(1536), "1.50 kilobytes");
    EXPECT_EQ(byteAmountText(1023), "1023.00 bytes");
    EXPECT_EQ(byteAmountText(1024), "1.00 kilobytes");
    EXPECT_EQ(byteAmountText(1048576), "1.00 megabytes");
    EXPECT_EQ(byteAmountText(std::uint64_t{3} << 30), "3.00 gigabytes");
    EXPECT_EQ(statusExplanation(404), "URL not found");
    EXPECT_EQ(statusExplanation(206),
              "Only partial content delivered (requested file not completely downloaded)");
    EXPECT_EQ(statusExplanation(504).substr(0, 20), "The server, while ac");
    EXPECT_EQ(statusExplanation(418), "Unrecognized error code");
    EXPECT_EQ(statusExplanation(0), "Incomplete/Undefined transmission");
}

}  // namespace
}  // namespace tw::engine
