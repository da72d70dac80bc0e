#include "presentation/report_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace tw::presentation {
namespace {

TEST(ReportTable, CellFormats) {
    ReportTable t;
    ASSERT_TRUE(t.setLayout(3, 8, 1));
    t.setInteger(0, 0, std::numeric_limits<std::int64_t>::min());
    t.setInteger(0, 1, -42);
    t.setInteger(0, 2, 9000000000LL);
    EXPECT_EQ(t.cell(0, 0), "-9223372036854775808");
    EXPECT_EQ(t.cell(0, 1), "-42");
    EXPECT_EQ(t.cell(0, 2), "9000000000");
    t.setSmallInteger(1, 0, -7);
    t.setSmallInteger(1, 1, 418);
    EXPECT_EQ(t.cell(1, 0), "-7");
    EXPECT_EQ(t.cell(1, 1), "418");

    // Percentages: two decimals, rounded; a total of 0 has no decimals at all.
    t.setPercentage(2, 0, 1, 3);
    t.setPercentage(2, 1, 2, 3);
    t.setPercentage(2, 2, 0, 0);
    EXPECT_EQ(t.cell(2, 0), "33.33%");
    EXPECT_EQ(t.cell(2, 1), "66.67%");
    EXPECT_EQ(t.cell(2, 2), "0%");
    t.setPercentage(3, 0, 5, 5);
    t.setPercentage(3, 1, 0, 9);
    t.setPercentage(3, 2, 1, 8);
    EXPECT_EQ(t.cell(3, 0), "100.00%");
    EXPECT_EQ(t.cell(3, 1), "0.00%");
    EXPECT_EQ(t.cell(3, 2), "12.50%");
    // value x 100 would not fit 64 bits: still the right share, not a wrapped one.
    const std::uint64_t huge = std::numeric_limits<std::uint64_t>::max() / 2;
    t.setPercentage(4, 0, huge, huge * 2);
    EXPECT_EQ(t.cell(4, 0), "50.00%");

    // Cell writers set the row's indent and child flag; the last writer wins.
    t.setText(5, 0, "child", 1, true);
    EXPECT_EQ(t.indent(5), 1);
    EXPECT_TRUE(t.isChild(5));
    t.setText(5, 1, "parent");
    EXPECT_EQ(t.indent(5), 0);
    EXPECT_FALSE(t.isChild(5));
    t.setKey(6, -5);
    EXPECT_EQ(t.key(6), -5);
    t.setLabelValue(7, "Hits", "12");
    EXPECT_EQ(t.cell(7, 0), "Hits");
    EXPECT_EQ(t.cell(7, 1), "12");

    // Outside the layout nothing is written and reads are empty.
    t.setText(8, 0, "x");
    t.setText(0, 3, "x");
    t.setText(-1, 0, "x");
    EXPECT_EQ(t.cell(8, 0), "");
    EXPECT_EQ(t.cell(0, 3), "");
    EXPECT_EQ(t.header(3), "");
    EXPECT_EQ(t.kind(-1), ColumnKind::Text);
}

TEST(ReportTable, HeadersAndKinds) {
    ReportTable t;
    ASSERT_TRUE(t.setLayout(3, 0, -1));
    t.setHeaderIds({61258, 61259, 61312, 61313});  // one more than there are columns
    EXPECT_EQ(t.header(0), "Hits");
    EXPECT_EQ(t.header(1), "Total Data Transferred");
    EXPECT_EQ(t.header(2), "Browser");
    t.setHeaders({"A", "B"});
    EXPECT_EQ(t.header(0), "A");
    EXPECT_EQ(t.header(1), "B");
    EXPECT_EQ(t.header(2), "Browser");
    EXPECT_EQ(t.kind(0), ColumnKind::Text);
    t.setKinds(
        {ColumnKind::Integer, ColumnKind::ByKey, ColumnKind::ByKeyOrdered, ColumnKind::Integer});
    EXPECT_EQ(t.kind(0), ColumnKind::Integer);
    EXPECT_EQ(t.kind(2), ColumnKind::ByKeyOrdered);
    EXPECT_EQ(static_cast<int>(t.kind(1)), 2);
}

TEST(ReportTable, LayoutReusesStorageAndEmptiesEverything) {
    ReportTable t;
    ASSERT_TRUE(t.setLayout(4, 10, 2));
    EXPECT_EQ(t.columnCapacity(), 4);
    EXPECT_EQ(t.rowCapacity(), 10);
    t.setHeaders({"a", "b", "c", "d"});
    t.setKinds(
        {ColumnKind::Integer, ColumnKind::Integer, ColumnKind::Integer, ColumnKind::Integer});
    for (int r = 0; r < 10; ++r)
        for (int c = 0; c < 4; ++c) t.setText(r, c, "old", 2, true);
    t.setKey(9, 99);
    t.title = "T";
    t.description = "D";
    t.xAxisTitle = "X";
    t.yAxisTitle = "Y";
    t.dateLabelFormat = "d mmm";
    t.graphStartTime = "S";
    t.graphStep = "P";
    t.message = "M";
    t.helpTopic = 11001;

    // Smaller: the capacity stays, the visible grid and the seven texts are emptied.
    ASSERT_TRUE(t.setLayout(2, 3, -1));
    EXPECT_EQ(t.columnCapacity(), 4);
    EXPECT_EQ(t.rowCapacity(), 10);
    EXPECT_EQ(t.columns(), 2);
    EXPECT_EQ(t.rows(), 3);
    EXPECT_EQ(t.sortColumn(), -1);
    EXPECT_EQ(t.cell(2, 1), "");
    EXPECT_EQ(t.header(0), "");
    EXPECT_EQ(t.kind(0), ColumnKind::Text);
    EXPECT_EQ(t.indent(2), 0);
    EXPECT_FALSE(t.isChild(2));
    for (const std::string* s : {&t.title, &t.description, &t.xAxisTitle, &t.yAxisTitle,
                                 &t.dateLabelFormat, &t.graphStartTime, &t.graphStep})
        EXPECT_EQ(*s, "");
    // The message and help topic are not report texts: the fill step owns them.
    EXPECT_EQ(t.message, "M");
    EXPECT_EQ(t.helpTopic, 11001);

    // Growing back into the capacity must not show the cells of the earlier layout.
    ASSERT_TRUE(t.setLayout(4, 10, 0));
    EXPECT_EQ(t.cell(9, 3), "");
    EXPECT_EQ(t.key(9), 0);
    // More columns only: rows keep their capacity, columns grow.
    ASSERT_TRUE(t.setLayout(6, 2, 0));
    EXPECT_EQ(t.columnCapacity(), 6);
    EXPECT_EQ(t.rowCapacity(), 10);
    t.setText(1, 5, "corner");
    EXPECT_EQ(t.cell(1, 5), "corner");
    EXPECT_EQ(t.cell(1, 4), "");
}

// The values beside the texts: each number writer records what it formatted, a text drops it,
// and a reused table never shows a value of the report before.
TEST(ReportTable, CellValuesFollowTheirTexts) {
    ReportTable t;
    ASSERT_TRUE(t.setLayout(3, 3, 0));
    t.setCount(0, 0, std::numeric_limits<std::uint64_t>::max());
    t.setInteger(0, 1, -42);
    t.setSmallInteger(0, 2, 404);
    EXPECT_EQ(t.value(0, 0).type(), ValueType::Count);
    EXPECT_EQ(t.value(0, 0).count(), std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(t.value(0, 1).type(), ValueType::Integer);
    EXPECT_EQ(t.value(0, 1).integer(), -42);
    EXPECT_EQ(t.value(0, 2).integer(), 404);
    // A reader of another type gets 0, not the bits reinterpreted.
    EXPECT_EQ(t.value(0, 1).count(), 0u);
    EXPECT_EQ(t.value(0, 0).integer(), 0);

    // The share itself, not its two rounded decimals.
    t.setPercentage(1, 0, 1, 3);
    t.setPercentage(1, 1, 7, 0);
    EXPECT_EQ(t.value(1, 0).type(), ValueType::Percentage);
    EXPECT_DOUBLE_EQ(t.value(1, 0).real(), 100.0 / 3.0);
    EXPECT_EQ(t.cell(1, 0), "33.33%");
    EXPECT_EQ(t.value(1, 1).type(), ValueType::Percentage);
    EXPECT_EQ(t.value(1, 1).real(), 0.0);

    // A value added to a worded cell keeps the words; writing the text again drops the value.
    t.setText(2, 0, "1.50 kilobytes", 1, true);
    t.setValue(2, 0, CellValue::ofBytes(1536));
    EXPECT_EQ(t.cell(2, 0), "1.50 kilobytes");
    EXPECT_EQ(t.value(2, 0).count(), 1536u);
    EXPECT_EQ(t.indent(2), 1) << "setValue leaves the row's marks alone";
    t.setText(2, 0, "changed");
    EXPECT_EQ(t.value(2, 0).type(), ValueType::None);
    t.setValue(2, 1, CellValue::ofTime(-86400));
    EXPECT_EQ(t.value(2, 1).integer(), -86400);

    // Out of range: ignored and read as none.
    t.setValue(3, 0, CellValue::ofCount(1));
    t.setValue(0, -1, CellValue::ofCount(1));
    EXPECT_EQ(t.value(3, 0).type(), ValueType::None);

    // Same capacity, smaller and then larger again: no value of the earlier layout survives.
    ASSERT_TRUE(t.setLayout(1, 1, 0));
    ASSERT_TRUE(t.setLayout(3, 3, 0));
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) EXPECT_EQ(t.value(r, c).type(), ValueType::None) << r << c;
}

TEST(ReportTable, StorageThatCannotBeHadEmptiesTheTable) {
    ReportTable t;
    ASSERT_TRUE(t.setLayout(2, 2, 1));
    t.setText(0, 0, "kept?");
    // 2^48 cells: far beyond any address space.
    EXPECT_FALSE(t.setLayout(1 << 24, 1 << 24, 1));
    EXPECT_EQ(t.columns(), 0);
    EXPECT_EQ(t.rows(), 0);
    EXPECT_EQ(t.sortColumn(), -1);
    EXPECT_EQ(t.columnCapacity(), 0);
    t.setText(0, 0, "ignored");  // the fill goes on writing into nothing
    EXPECT_EQ(t.cell(0, 0), "");
    EXPECT_FALSE(t.setLayout(-1, 3, 0));
    EXPECT_EQ(t.rows(), 0);
    // And the table recovers on the next layout.
    ASSERT_TRUE(t.setLayout(1, 1, 0));
    t.setText(0, 0, "back");
    EXPECT_EQ(t.cell(0, 0), "back");
}

}  // namespace
}  // namespace tw::presentation
