// Run-wide statistics: initialisation between runs, the time bounds, the recent-visitors ring
// and the tracked files.
#include <gtest/gtest.h>

#include "engine/statistics.h"

namespace tw::engine {
namespace {

TEST(Statistics, InitialiseStartsEveryRunFromNothing) {
    Statistics s(1 << 16);
    StatisticsOptions o;
    o.totalBytes = 1048576;
    o.trackedFiles = {"/Docs/*.PDF", "/index.html"};
    o.caseSensitive = false;
    s.initialise(o);
    EXPECT_EQ(s.pages.bucketCount(), 5u);
    EXPECT_EQ(s.directories.bucketCount(), 1u);
    EXPECT_EQ(s.visitors.bucketCount(), 200u);
    ASSERT_EQ(s.tracked.size(), 2u);
    EXPECT_EQ(s.tracked[0].pattern, "/docs/*.pdf");
    EXPECT_TRUE(s.tracked[0].wildcard);
    EXPECT_FALSE(s.tracked[1].wildcard);

    // A first run leaves counts behind...
    s.pages.insertOrMerge({s.arena.copy("/a.html"), 1, 0, 10});
    s.tracked[1].days.insertOrMerge({18000, 1, 5});
    s.counters.pages = 7;
    s.counters.noteTime(1000);
    s.hours[3] = 2;
    EXPECT_GT(s.arena.bytesInUse(), 0u);

    // ...which the next one does not see.
    o.totalBytes = 200u * 1048576;
    o.trackedFiles = {"/Docs/*.PDF"};
    o.caseSensitive = true;
    s.initialise(o);
    EXPECT_EQ(s.pages.size(), 0u);
    EXPECT_EQ(s.pages.bucketCount(), 500u);
    EXPECT_EQ(s.counters.pages, 0u);
    EXPECT_EQ(s.counters.earliest, kNoEarliest);
    EXPECT_EQ(s.hours[3], 0u);
    EXPECT_EQ(s.arena.bytesInUse(), 0u);
    ASSERT_EQ(s.tracked.size(), 1u);
    EXPECT_EQ(s.tracked[0].pattern, "/Docs/*.PDF");
    EXPECT_EQ(s.tracked[0].days.size(), 0u);
}

TEST(Statistics, TimeBoundsAreTheEarliestAndLatestTimeGiven) {
    GeneralCounters c;
    EXPECT_EQ(c.earliest, kNoEarliest);
    c.noteTime(5000);
    c.noteTime(4000000000);  // past 2038: no 32-bit limit
    c.noteTime(3000);
    EXPECT_EQ(c.earliest, 3000);
    EXPECT_EQ(c.latest, 4000000000);
    // Undated records never get here, so the first second of 1970 is a time like any other.
    c.noteTime(0);
    EXPECT_EQ(c.earliest, 0);
}

TEST(Statistics, RecentVisitorsRingWrapsAndSkipsOlderTimes) {
    RecentVisitors r;
    r.reset(3);
    VisitorKind::Item v[5];
    r.offer(&v[0], 100);
    r.offer(&v[1], 200);
    r.offer(&v[2], 150);  // earlier than the latest seen: not written
    r.offer(&v[3], 200);
    r.offer(&v[4], 300);
    EXPECT_EQ(r.entries(), (std::vector<const VisitorKind::Item*>{&v[4], &v[1], &v[3]}));
    EXPECT_EQ(r.writeIndex(), 1u);
    r.reset(0);
    r.offer(&v[0], 400);  // no ring at all is not an error
    EXPECT_TRUE(r.entries().empty());
}

}  // namespace
}  // namespace tw::engine
