// The walk over the report tree and the row limits of the export sequence.
#include <gtest/gtest.h>

#include <vector>

#include "export/export_fixture.h"
#include "export/export_walk.h"

namespace tw::exporter {
namespace {

using presentation::ReportId;

// Keeps the row structure of what is written: one vector of cell texts per row.
class RowRecorder final : public ReportWriter {
  public:
    std::vector<std::vector<std::string>> rows;
    bool open(const std::string&) override { return true; }
    bool close() override { return true; }
    void writeText(std::string_view text) override {
        if (inCell_) rows.back().back() += text;
    }
    void indent() override {}
    void beginParagraph() override {}
    void endParagraph() override {}
    void lineBreak() override {}
    void sectionGap() override {}
    void beginTable(int, int, int) override {}
    void endTable() override {}
    void beginRow() override { rows.emplace_back(); }
    void endRow() override {}
    void beginCell() override {
        rows.back().emplace_back();
        inCell_ = true;
    }
    void endCell() override { inCell_ = false; }
    void anchor(std::string_view, std::string_view) override {}
    void link(std::string_view, std::string_view) override {}

  private:
    bool inCell_ = false;
};

std::string manyPages(int pages) {
    std::string log;
    for (int i = 0; i < pages; ++i)
        log += test::logLine("192.0.2." + std::to_string(i % 7 + 1),
                             "/p" + std::to_string(i) + ".html", i % 60);
    return log;
}

TEST(ExportWalk, RowLimitsCutLongReportsButNotTheWholeTableOnes) {
    test::DocumentFixture f;
    document::Document& doc = f.analyse(manyPages(45));
    ASSERT_TRUE(doc.reportPresent());

    const presentation::Handle pages = doc.catalogue().findByTitle("Most Requested Pages");
    ASSERT_TRUE(doc.select(pages, {.exportWalk = true}).hasContent);
    ASSERT_EQ(doc.table().rows(), 45);
    const SectionLimits pageLimits = sectionLimits(ReportId::MostRequestedPages, 30);
    RowRecorder cut;
    writeReportSection(cut, doc.table(), pageLimits.rowLimit, pageLimits.grouped);
    ASSERT_EQ(cut.rows.size(), 1u + 1u + 30u) << "title bar, header row, 30 data rows";
    EXPECT_EQ(cut.rows[1][0], doc.table().header(0));
    EXPECT_EQ(cut.rows.back()[0], doc.table().cell(29, 0));

    doc.select(doc.catalogue().initialSelection(), {.exportWalk = true});
    ASSERT_EQ(doc.table().rows(), 22);
    const SectionLimits general = sectionLimits(ReportId::GeneralStatistics, 5);
    RowRecorder all;
    writeReportSection(all, doc.table(), general.rowLimit, general.grouped);
    ASSERT_EQ(all.rows.size(), 24u);
    for (int r = 0; r < 22; ++r) {
        EXPECT_EQ(all.rows[static_cast<std::size_t>(r) + 2][0], doc.table().cell(r, 0));
    }

    const SectionLimits referrers = sectionLimits(ReportId::BrokenLinkReferrers, 30);
    EXPECT_EQ(referrers.rowLimit, 120);
    EXPECT_TRUE(referrers.grouped);
    EXPECT_EQ(sectionLimits(ReportId::BandwidthPerDay, 30).rowLimit, -1);
    EXPECT_EQ(sectionLimits(ReportId::TrackedHits, 30).rowLimit, 30);
}

TEST(ExportWalk, VisitsReportsWithContentInTreeOrderAndRestoresTheSelection) {
    test::DocumentFixture f;
    config::ReportDefinition d;
    d.trackFiles = {"/p1.html"};
    document::Document& doc = f.analyse(manyPages(3), d);
    ASSERT_TRUE(doc.reportPresent());
    const presentation::Handle pages = doc.catalogue().findByTitle("Most Requested Pages");
    doc.select(pages);

    std::vector<presentation::Handle> visited;
    std::vector<std::string> tracked;
    exportWalk(doc, [&](const WalkItem& item) {
        visited.push_back(item.handle);
        EXPECT_EQ(doc.table().title.empty(), false);
        if (item.parentIsTrackedFiles) tracked.push_back(item.title);
    });

    std::vector<presentation::Handle> expected;
    for (const presentation::Handle h : doc.catalogue().depthFirst()) {
        const presentation::CatalogueEntry* e = doc.catalogue().entry(h);
        if (!e->category && e->report != ReportId::HyperlinkTree) expected.push_back(h);
    }
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(visited.front(), doc.catalogue().initialSelection());
    // Every visit is a report (never a category) and comes in tree order.
    std::size_t next = 0;
    for (const presentation::Handle h : visited) {
        while (next < expected.size() && expected[next] != h) ++next;
        EXPECT_LT(next, expected.size()) << "handle " << h << " out of order or a category";
    }
    ASSERT_EQ(tracked.size(), 2u) << "the hits and bandwidth entries of the tracked file";
    EXPECT_EQ(doc.selected(), pages);
    EXPECT_EQ(doc.table().title, "Most Requested Pages");
}

}  // namespace
}  // namespace tw::exporter
