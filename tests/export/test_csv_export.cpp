// The comma-delimited export: file names, quoting and line ends, one file per report.
#include <gtest/gtest.h>

#include "export/csv_export.h"
#include "export/export_fixture.h"

namespace tw::exporter {
namespace {

namespace fs = std::filesystem;
using test::readAll;

TEST(Csv, NamesAndJoinedPaths) {
    EXPECT_EQ(csvFileName("General Statistics", false), "General Statistics.csv");
    EXPECT_EQ(csvFileName("/index.html (hits)", true), "Tracking index.html (hits).csv");
    EXPECT_EQ(csvFileName("a#b%c*d;e?f\\g", false), "abcdefg.csv");
    EXPECT_EQ(joinExportPath("/tmp/out/", "/a.csv"), "/tmp/out/a.csv");
    EXPECT_EQ(joinExportPath("/tmp//out", "a.csv"), "/tmp/out/a.csv");
}

TEST(Csv, QuotesEveryCellAndDoublesEmbeddedQuotes) {
    presentation::ReportTable table;
    ASSERT_TRUE(table.setLayout(2, 2, -1));
    table.setHeaders({"Referrer", "Hits"});
    table.setText(0, 0, "http://x.example/a,b");
    table.setText(0, 1, "3");
    table.setText(1, 0, "say \"hi\"");
    table.setText(1, 1, "");
    EXPECT_EQ(csvText(table),
              "Referrer,Hits\r\n\"http://x.example/a,b\",\"3\"\r\n\"say \"\"hi\"\"\",\"\"\r\n");
    ASSERT_TRUE(table.setLayout(2, 0, -1));
    table.setHeaders({"Item", "Value"});
    EXPECT_EQ(csvText(table), "Item,Value\r\n");
}

TEST(Csv, OneFilePerReportWithEveryRow) {
    test::DocumentFixture f;
    std::string log;
    for (int i = 0; i < 45; ++i)
        log += test::logLine("192.0.2.7", "/p" + std::to_string(i) + ".html", i);
    config::ReportDefinition d;
    d.trackFiles = {"/p1.html"};
    document::Document& doc = f.analyse(log, d);
    ASSERT_TRUE(doc.reportPresent());
    test::TempDir out;

    int written = 0;
    ASSERT_TRUE(exportCsv(doc, out.path.string() + "/", &written));
    int files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(out.path)) ++files;
    EXPECT_EQ(files, written);
    EXPECT_GT(written, 5);

    const std::string general = readAll((out.path / "General Statistics.csv").string());
    EXPECT_EQ(general.rfind("Item,Value\r\n\"Hits\",\"45\"\r\n", 0), 0u);
    std::size_t lines = 0;
    for (std::size_t p = general.find("\r\n"); p != std::string::npos;
         p = general.find("\r\n", p + 2))
        ++lines;
    EXPECT_EQ(lines, 21u);

    const std::string pages = readAll((out.path / "Most Requested Pages.csv").string());
    EXPECT_NE(pages.find("\"/p44.html\""), std::string::npos) << "no truncation";
    EXPECT_TRUE(fs::exists(out.path / "Tracking p1.html (hits).csv"));

    // A directory that does not exist: nothing written, the failure reported.
    EXPECT_FALSE(exportCsv(doc, (out.path / "missing").string(), &written));
    EXPECT_EQ(written, 0);
}

}  // namespace
}  // namespace tw::exporter
