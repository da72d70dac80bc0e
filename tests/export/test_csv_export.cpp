// The comma-delimited export: file names, quoting and line ends, one file per report.
#include <gtest/gtest.h>

#include <vector>

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
    EXPECT_EQ(lines, 23u) << "the heading and 22 rows";
    // The last row is the robots' share: every request here came from one browser.
    EXPECT_TRUE(general.ends_with("\"Hits by robots\",\"0 (0.00%)\"\r\n")) << general;

    const std::string pages = readAll((out.path / "Most Requested Pages.csv").string());
    EXPECT_NE(pages.find("\"/p44.html\""), std::string::npos) << "no truncation";
    EXPECT_TRUE(fs::exists(out.path / "Tracking p1.html (hits).csv"));

    // A directory that does not exist: nothing written, the failure reported.
    EXPECT_FALSE(exportCsv(doc, (out.path / "missing").string(), &written));
    EXPECT_EQ(written, 0);
}

TEST(Csv, FailuresNameThePathAndTheReason) {
    test::DocumentFixture f;
    document::Document& doc = f.analyse(test::logLine("192.0.2.7", "/a.html", 1) +
                                        test::logLine("192.0.2.8", "/b.html", 2));
    ASSERT_TRUE(doc.reportPresent());
    test::TempDir out;
    int written = -1;
    std::string message;

    const std::string missing = (out.path / "missing").string();
    EXPECT_FALSE(exportCsv(doc, missing, &written, &message));
    EXPECT_EQ(written, 0);
    EXPECT_EQ(message, "The comma-delimited export could not be written to " + missing +
                           ": No such file or directory.");

    const std::string file = out.file("plain", "not a directory");
    EXPECT_FALSE(exportCsv(doc, file, &written, &message));
    EXPECT_EQ(message,
              "The comma-delimited export could not be written to " + file + ": Not a directory.");

    // One file meets a full disk: it is named, the others are still written.
    const fs::path folder = out.path / "some";
    fs::create_directory(folder);
    const fs::path general = folder / "General Statistics.csv";
    fs::create_symlink("/dev/full", general.string() + ".partial");
    message.clear();
    EXPECT_FALSE(exportCsv(doc, folder.string(), &written, &message));
    EXPECT_EQ(message, "The comma-delimited export could not be written to " + general.string() +
                           ": No space left on device.");
    EXPECT_GT(written, 3);
    EXPECT_FALSE(fs::exists(general));
    EXPECT_TRUE(fs::exists(folder / "Most Requested Pages.csv"));

    // Every file failing is said once, with the count of the rest.
    const fs::path allFull = out.path / "all";
    fs::create_directory(allFull);
    int reports = 0;
    ASSERT_TRUE(exportCsv(doc, allFull.string(), &reports));
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(allFull)) files.push_back(e.path());
    ASSERT_EQ(files.size(), static_cast<std::size_t>(reports));
    for (const fs::path& name : files) {
        fs::remove(name);
        fs::create_symlink("/dev/full", name.string() + ".partial");
    }
    EXPECT_FALSE(exportCsv(doc, allFull.string(), &written, &message));
    EXPECT_EQ(written, 0);
    EXPECT_NE(message.find(": No space left on device. " + std::to_string(reports - 1) +
                           " other comma-delimited files could not be written either."),
              std::string::npos)
        << message;

    // The file writer alone gives its reason too.
    presentation::ReportTable table;
    ASSERT_TRUE(table.setLayout(1, 0, -1));
    table.setHeaders({"Item"});
    std::string reason;
    EXPECT_FALSE(writeCsvFile(table, (out.path / "no" / "t.csv").string(), &reason));
    EXPECT_EQ(reason, "No such file or directory");
    EXPECT_TRUE(writeCsvFile(table, (out.path / "t.csv").string(), &reason));
}

}  // namespace
}  // namespace tw::exporter
