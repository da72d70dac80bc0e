// Filter lists through the settings store.
#include <gtest/gtest.h>

#include <climits>

#include "config/filter_store.h"

namespace tw::config {
namespace {

FilterList sampleFilters() {
    Filter a{
        1, kFilterBrowser, "MSIE \"5\\\" caf\xc3\xa9 C:\\logs\\*", 7, -3, 946684800, 2000000000, 2};
    Filter b{0, kFilterSuccessCode, "", 200, 299, -1, INT32_MIN, 1};
    Filter c{1, 99, "\xe6\x97\xa5\xff", INT_MAX, INT_MIN, 5, 6, -7};
    return {a, b, c};
}

TEST(FilterStore, GlobalAndReportListsRoundTripEveryField) {
    platform::MemorySettings s;
    const FilterList filters = sampleFilters();
    saveGlobalFilters(s, filters);
    saveReportFilters(s, "Report 2", FilterList{filters[2], filters[0]});

    EXPECT_EQ(s.getInt("", "GlobalFilterNum", -1), 3);
    EXPECT_EQ(s.getString("GlobalFilter 0", "strFilter", ""), filters[0].strFilter);
    EXPECT_EQ(s.getInt("GlobalFilter 1", "nFilter2", 0), 299);
    EXPECT_EQ(s.getInt("Report 2", "NumFilters", -1), 2);
    EXPECT_EQ(s.getInt("Report 2\\Filter 1", "BeginningTime", 0), 946684800);
    EXPECT_FALSE(s.has("", "NumFilters"));

    EXPECT_EQ(loadGlobalFilters(s), filters);
    EXPECT_EQ(loadReportFilters(s, "Report 2", 2), (FilterList{filters[2], filters[0]}));
    EXPECT_TRUE(loadReportFilters(s, "Report 3", 0).empty());
}

TEST(FilterStore, MissingValuesAndHostileCounts) {
    platform::MemorySettings s;
    EXPECT_TRUE(loadGlobalFilters(s).empty());

    s.setInt("", "GlobalFilterNum", 2);
    s.setInt("GlobalFilter 1", "Information", kFilterHour);
    s.setInt("GlobalFilter 1", "nFilter", 15);
    const FilterList partial = loadGlobalFilters(s);
    ASSERT_EQ(partial.size(), 2u);
    EXPECT_EQ(partial[0], Filter{});
    EXPECT_EQ(partial[1], (Filter{0, kFilterHour, "", 15, 0, 0, 0, 0}));
    EXPECT_EQ(loadReportFilters(s, "Report 0", 1), FilterList(1));

    s.setInt("", "GlobalFilterNum", -5);
    EXPECT_TRUE(loadGlobalFilters(s).empty());
    EXPECT_TRUE(loadReportFilters(s, "Report 0", INT_MIN).empty());
    s.setInt("", "GlobalFilterNum", INT_MAX);
    EXPECT_EQ(loadGlobalFilters(s).size(), static_cast<std::size_t>(kMaxStoredFilters));
    EXPECT_EQ(loadReportFilters(s, "Report 0", INT_MAX).size(),
              static_cast<std::size_t>(kMaxStoredFilters));
}

TEST(FilterStore, SavingAShorterListLeavesOldSectionsButLoadsOnlyTheCount) {
    platform::MemorySettings s;
    const FilterList filters = sampleFilters();
    saveGlobalFilters(s, filters);
    saveReportFilters(s, "Report 0", filters);
    saveGlobalFilters(s, FilterList{filters[1]});
    saveReportFilters(s, "Report 0", FilterList{});

    EXPECT_EQ(s.getString("GlobalFilter 2", "strFilter", ""), filters[2].strFilter);
    EXPECT_EQ(s.getInt("Report 0\\Filter 2", "Request", 0), -7);
    EXPECT_EQ(loadGlobalFilters(s), FilterList{filters[1]});
    EXPECT_EQ(s.getInt("Report 0", "NumFilters", -1), 0);
    // A count read from elsewhere reaches the old sections again, as stored.
    EXPECT_EQ(loadReportFilters(s, "Report 0", 3), filters);
}

}  // namespace
}  // namespace tw::config
