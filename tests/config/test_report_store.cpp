// The report list through the settings store.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "config/report_store.h"

#include "support/recording_settings.h"

namespace tw::config {
namespace {

using test::RecordingSettings;

ReportDefinition fullDefinition(const std::string& name) {
    ReportDefinition d;
    d.Local = 2;
    d.File = 2;
    d.Path = "http://logs.example.com/access.log;C:\\logs\\*.gz";
    d.trackFiles = {"/images/*", "?q=1", ""};
    d.Domain = "www.example.com/~user";
    d.DefaultPage = "index.html";
    d.EnableDNS = 1;
    d.Name = name;
    d.Sitename = "ftp.example.com";
    d.Username = "joe";
    d.Password = "s3cr\xc3\xa9t \"quoted\"";
    d.Internet = 1;
    d.Root = "http://www.example.com/index.html";
    d.RecursionDepth = 7;
    d.PasswordProtected = 1;
    d.exportSettings = {2, "ftp://up.example.com/out.html", 3, "uploader", "pw;2", 1};
    d.Export = 1;
    d.ApacheTwoFileFormat = 1;
    d.filters = {Filter{1, kFilterBrowser, "MSIE ", 1, 2, 3, 4, 2},
                 Filter{0, kFilterSuccessCode, "", 200, 299, 0, 0, 0}};
    return d;
}

TEST(ReportStore, ListRoundTripsEveryField) {
    platform::MemorySettings s;
    ReportDefinition second = fullDefinition("Second");
    second.trackFiles.clear();
    second.filters.clear();
    second.Local = 0;
    second.RecursionDepth = 0;
    const std::vector<ReportDefinition> list = {fullDefinition("First"), second};

    saveReportList(s, list);
    EXPECT_EQ(s.getString("", "NumReports", ""), "2");
    EXPECT_EQ(s.getString("Report 0\\TrackFilesTrack", "TrackFile 0", ""), "/images/*");
    EXPECT_EQ(s.getString("Report 0", "Password", ""), list[0].Password);
    EXPECT_EQ(s.getInt("Report 0\\Filter 1", "nFilter2", 0), 299);
    EXPECT_EQ(loadReportList(s), list);
    EXPECT_EQ(loadReport(s, 1), second);
}

TEST(ReportStore, WritesInTheStoredOrder) {
    RecordingSettings s;
    ReportDefinition d = fullDefinition("Only");
    d.trackFiles = {"/a", "/b"};
    d.filters.resize(1);
    saveReportList(s, {d});

    using W = std::pair<std::string, std::string>;
    std::vector<W> expected = {{"", "NumReports"},
                               {"Report 0", "File"},
                               {"Report 0", "Path"},
                               {"Report 0", "NumTrackFiles"},
                               {"Report 0\\TrackFilesTrack", "TrackFile 0"},
                               {"Report 0\\TrackFilesTrack", "TrackFile 1"},
                               {"Report 0", "NumFilters"}};
    for (const char* v : {"Include", "Information", "strFilter", "nFilter", "nFilter2",
                          "BeginningTime", "EndingTime", "Request"})
        expected.emplace_back("Report 0\\Filter 0", v);
    for (const char* v :
         {"Domain", "DefaultPage", "EnableDNS", "Name", "Local", "Sitename", "Username", "Password",
          "PasswordProtected", "Internet", "Root", "RecursionDepth", "ExportExportType",
          "ExportLocation", "ExportServiceType", "ExportUsername", "ExportPassword", "Export",
          "ApacheTwoFileFormat", "ExportGraphs"})
        expected.emplace_back("Report 0", v);
    EXPECT_EQ(s.writes, expected);
}

TEST(ReportStore, ShrinkingKeepsOldSectionsButLoadsOnlyTheCount) {
    platform::MemorySettings s;
    std::vector<ReportDefinition> five;
    for (const char* n : {"a", "b", "c", "d", "e"}) five.push_back(fullDefinition(n));
    saveReportList(s, five);
    ReportDefinition shorter = five[0];
    shorter.trackFiles = {"/only"};
    const std::vector<ReportDefinition> three = {shorter, five[1], five[2]};
    saveReportList(s, three);

    EXPECT_EQ(s.getString("Report 4", "Name", ""), "e");
    EXPECT_EQ(s.getString("Report 0\\TrackFilesTrack", "TrackFile 1", "gone"), "?q=1");
    EXPECT_EQ(loadReportList(s), three);
}

TEST(ReportStore, MissingValuesTakeTheStoredDefaults) {
    platform::MemorySettings s;
    EXPECT_TRUE(loadReportList(s).empty());

    s.setString("", "NumReports", "1");
    s.setString("Report 0", "Path", "/var/log/");
    s.setInt("Report 0", "NumTrackFiles", 2);
    s.setString("Report 0\\TrackFilesTrack", "TrackFile 1", "/x");
    s.setInt("Report 0", "NumFilters", 1);
    const std::vector<ReportDefinition> list = loadReportList(s);
    ASSERT_EQ(list.size(), 1u);
    const ReportDefinition& d = list[0];
    EXPECT_EQ(d.Name, "(Default Name)");
    EXPECT_EQ(d.RecursionDepth, 4);
    EXPECT_EQ(d.Local, 1);
    EXPECT_EQ(d.File, 0);
    EXPECT_EQ(d.exportSettings.ExportExportType, 1);
    EXPECT_EQ(d.exportSettings.ExportServiceType, 1);
    EXPECT_EQ(d.trackFiles, (std::vector<std::string>{"", "/x"}));
    EXPECT_EQ(d.filters, FilterList(1));

    // Everything but the name and the depth reads as a new report would start.
    ReportDefinition expected;
    expected.Name = "(Default Name)";
    expected.RecursionDepth = 4;
    expected.Path = d.Path;
    expected.trackFiles = d.trackFiles;
    expected.filters = d.filters;
    EXPECT_EQ(d, expected);
}

TEST(ReportStore, DamagedCountsAreReadSafely) {
    platform::MemorySettings s;
    const auto countFor = [&](const char* stored) {
        s.setString("", "NumReports", stored);
        return loadReportList(s).size();
    };
    EXPECT_EQ(countFor("-5"), 0u);
    EXPECT_EQ(countFor("abc"), 0u);
    EXPECT_EQ(countFor(""), 0u);
    EXPECT_EQ(countFor(" 2"), 2u);
    EXPECT_EQ(countFor("3 reports"), 3u);
    EXPECT_EQ(countFor("999999999"), static_cast<std::size_t>(kMaxStoredReports));
    EXPECT_EQ(countFor("99999999999999999999999"), static_cast<std::size_t>(kMaxStoredReports));

    s.setString("", "NumReports", "1");
    s.setInt("Report 0", "NumTrackFiles", -4);
    s.setInt("Report 0", "NumFilters", -1);
    EXPECT_TRUE(loadReport(s, 0).trackFiles.empty());
    EXPECT_TRUE(loadReport(s, 0).filters.empty());
    s.setInt("Report 0", "NumTrackFiles", 2000000000);
    EXPECT_EQ(loadReport(s, 0).trackFiles.size(), static_cast<std::size_t>(kMaxStoredTrackFiles));
}

TEST(ReportStore, LastSelection) {
    platform::MemorySettings s;
    EXPECT_EQ(loadLastSelection(s), 0);
    saveLastSelection(s, 3);
    EXPECT_EQ(s.getInt("", "ReportListDlgLastSel", -1), 3);
    EXPECT_EQ(loadLastSelection(s), 3);
}

}  // namespace
}  // namespace tw::config
