// The graph worked out from a report table: the pie's slices, labels and order, the bars, and
// the time line's points and date axis.
#include "presentation/graph_model.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace tw::presentation {
namespace {

using Strings = std::vector<std::string>;

ReportTable pieTable(const std::vector<std::pair<std::string, std::string>>& rows) {
    ReportTable t;
    t.setLayout(3, static_cast<int>(rows.size()), 1);
    t.graphStyle = GraphStyle::Pie;
    t.title = "Browser Statistics";
    for (int r = 0; r < static_cast<int>(rows.size()); ++r)
        t.setLabelValue(r, rows[static_cast<std::size_t>(r)].first,
                        rows[static_cast<std::size_t>(r)].second);
    return t;
}

Strings labels(const std::vector<PieSlice>& slices) {
    Strings out;
    for (const PieSlice& s : slices) out.push_back(s.label);
    return out;
}

TEST(GraphModel, PieSlicesAreTheLargestNonZeroValuesWithTheirShareOfEveryRow) {
    // Twelve classes, two with hits: two slices, their shares of the sum of all twelve.
    std::vector<std::pair<std::string, std::string>> browsers;
    for (const char* name : {"Netscape 4.x", "MSIE 5.x", "Opera", "Lynx", "WebTV", "AOL",
                             "Mosaic", "Other 1", "Other 2", "Other 3", "Other 4", "Other 5"})
        browsers.emplace_back(name, "0");
    browsers[2].second = "3";
    browsers[3].second = "9";
    const GraphModel g = graphOf(pieTable(browsers));
    EXPECT_EQ(g.style, GraphStyle::Pie);
    EXPECT_EQ(g.title, "Browser Statistics");
    EXPECT_EQ(labels(g.slices), (Strings{"Lynx (75.00%)", "Opera (25.00%)"}));
    ASSERT_EQ(g.slices.size(), 2u);
    EXPECT_EQ(g.slices[0].value, 9);
    EXPECT_DOUBLE_EQ(g.slices[1].share, 0.25);
    ASSERT_EQ(g.ranked.size(), 12u);
    // A selection sort: each largest value is swapped into place, moving the row it displaces.
    EXPECT_EQ(g.ranked[2].label, "MSIE 5.x (0.00%)");
    EXPECT_EQ(g.ranked[3].label, "Netscape 4.x (0.00%)");

    // Twenty suffixes: the eight largest; of equal values the earlier row comes first.
    std::vector<std::pair<std::string, std::string>> suffixes;
    for (int i = 0; i < 20; ++i)
        suffixes.emplace_back("s" + std::to_string(i), std::to_string(i % 10 == 0 ? 50 : i));
    const GraphModel many = graphOf(pieTable(suffixes));
    ASSERT_EQ(many.slices.size(), kMaxPieSlices);
    Strings names;
    for (const PieSlice& s : many.slices) names.push_back(s.label.substr(0, s.label.find(' ')));
    EXPECT_EQ(names, (Strings{"s0", "s10", "s19", "s18", "s17", "s16", "s15", "s14"}));

    // Every value 0: no slices, and every label says 0.00%.
    const GraphModel zero = graphOf(pieTable({{"com", "0"}, {"net", "0"}, {"org", "0"}}));
    EXPECT_TRUE(zero.slices.empty());
    EXPECT_EQ(labels(zero.ranked), (Strings{"com (0.00%)", "net (0.00%)", "org (0.00%)"}));

    // Counts at the end of the unsigned range neither wrap negative nor overflow the sum.
    const GraphModel huge = graphOf(
        pieTable({{"a", "18446744073709551615"}, {"b", "9223372036854775807"}, {"c", "x"}}));
    ASSERT_EQ(huge.slices.size(), 2u);
    EXPECT_EQ(labels(huge.slices), (Strings{"a (50.00%)", "b (50.00%)"}));
}

TEST(GraphModel, BarsAndTimeLinesReadTheirValuesAndAxes) {
    ReportTable bars;
    bars.setLayout(3, 3, 1);
    bars.graphStyle = GraphStyle::Bars;
    bars.yAxisTitle = "Hits";
    bars.setLabelValue(0, "12 AM", "4");
    bars.setLabelValue(1, "1", "2.5");
    bars.setLabelValue(2, "2", "junk");
    const GraphModel b = graphOf(bars);
    EXPECT_EQ(b.categories, (Strings{"12 AM", "1", "2"}));
    EXPECT_EQ(b.y, (std::vector<double>{4, 2.5, 0}));
    EXPECT_EQ(b.yAxisTitle, "Hits");
    EXPECT_EQ(b.yMax, 4);

    // Day numbers from the row keys; a tick at the start and each step up to the last day.
    ReportTable days;
    days.setLayout(3, 3, 1);
    days.graphStyle = GraphStyle::Time;
    days.setKinds({ColumnKind::ByKeyOrdered, ColumnKind::Integer, ColumnKind::Integer});
    days.dateLabelFormat = "d mmm, yy";
    days.graphStartTime = "2023:12:31:00:00:00";
    days.graphStep = "0000:00:00:04:48:00";
    for (int r = 0; r < 3; ++r) {
        days.setLabelValue(r, "day", std::to_string(r + 1));
        days.setKey(r, 19722 + r);
    }
    const GraphModel t = graphOf(days);
    EXPECT_EQ(t.x, (std::vector<double>{19722, 19723, 19724}));
    EXPECT_EQ(t.y, (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(t.xMin, 19722);
    EXPECT_EQ(t.xMax, 19724);
    // A step under a day (4.8 hours here) becomes a day: the labels name days.
    ASSERT_EQ(t.ticks.size(), 3u);
    EXPECT_EQ(t.ticks[0].x, 19722);
    EXPECT_EQ(t.ticks[0].label, "31 Dec, 23");
    EXPECT_EQ(t.ticks[1].x, 19723);
    EXPECT_EQ(t.ticks[1].label, "1 Jan, 24");
    EXPECT_EQ(t.ticks[2].label, "2 Jan, 24");
    // A step of several days and hours is rounded up to whole days.
    days.graphStep = "0000:00:01:12:00:00";
    const GraphModel wide = graphOf(days);
    ASSERT_EQ(wide.ticks.size(), 2u);
    EXPECT_EQ(wide.ticks[1].x, 19724);
    days.graphStep = "0000:00:00:04:48:00";

    // Without a date format, or with a start time of another shape, the axis shows numbers.
    days.graphStartTime = "yesterday";
    EXPECT_TRUE(graphOf(days).ticks.empty());
    // Other column kinds take the number the label starts with.
    days.setKinds({ColumnKind::Text});
    days.setLabelValue(0, "7 visits", "1");
    EXPECT_EQ(graphOf(days).x.front(), 7);
}

TEST(GraphModel, DateLabelFormats) {
    const double day = 19723;  // 1 January 2024
    EXPECT_EQ(formatDateLabel("d mmm", day), "1 Jan");
    EXPECT_EQ(formatDateLabel("dd/mm/yyyy", day + 0.75), "01/01/2024");
    EXPECT_EQ(formatDateLabel("mmmm d, yy", day - 1), "December 31, 23");
    EXPECT_EQ(formatDateLabel("m-d", 0), "1-1");  // 1970
}

}  // namespace
}  // namespace tw::presentation
