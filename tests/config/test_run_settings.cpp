// Program settings: defaults, the options sheet's write-back and overrides by name.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "config/run_settings.h"

#include "support/recording_settings.h"

namespace tw::config {
namespace {

using test::RecordingSettings;

TEST(RunSettings, EmptyStoreReadsTheDefaults) {
    platform::MemorySettings s;
    const RunSettings r = RunSettings::read(s);
    EXPECT_EQ(r.TruncateExport, 30);
    EXPECT_EQ(r.MultithreadMultiple, 1);
    EXPECT_EQ(r.CountRobots, 1);
    EXPECT_EQ(r.TruncateReports, 100);
    EXPECT_EQ(r.LookupTooOld, 60);
    EXPECT_EQ(r.CaseSensitive, 1);
    EXPECT_EQ(r.RemoveDirectories, 0);
    EXPECT_TRUE(r.ProxyServer.empty());
    EXPECT_TRUE(r.globalFilters.empty());
}

TEST(RunSettings, OptionsAreWrittenInTheSheetsOrderAndReadBack) {
    RecordingSettings s;
    RunSettings r;
    r.TruncateExport = 12;
    r.MultithreadMultiple = 0;
    r.TimeOffset = -5;
    r.CaseSensitive = 0;
    r.CountRobots = 0;
    r.RemoveDirectories = 1;
    r.ProxyServer = "proxy:8080";
    r.globalFilters = {Filter{1, kFilterHour, "", 15, 0, 0, 0, 0}, Filter{}};
    r.writeOptions(s);

    using W = std::pair<std::string, std::string>;
    std::vector<W> expected;
    for (const char* n :
         {"DoNotDisplayPound", "DoNotDisplayQuestion", "TimeOffset", "TruncateExport",
          "TruncateReports", "EuropeanFormat", "LastItems", "RemoveFirstDot", "LookupTooOld",
          "BadLookupTooOld", "PassiveFTP", "MultithreadMultiple", "AndIncludeFilters",
          "AndExcludeFilters", "CaseSensitive", "CountRobots", "GlobalFilterNum"})
        expected.emplace_back("", n);
    for (const char* section : {"GlobalFilter 0", "GlobalFilter 1"})
        for (const char* v : {"Include", "Information", "strFilter", "nFilter", "nFilter2",
                              "BeginningTime", "EndingTime", "Request"})
            expected.emplace_back(section, v);
    EXPECT_EQ(s.writes, expected);

    const RunSettings back = RunSettings::read(s);
    EXPECT_EQ(back.TruncateExport, 12);
    EXPECT_EQ(back.MultithreadMultiple, 0);
    EXPECT_EQ(back.TimeOffset, -5);
    EXPECT_EQ(back.CaseSensitive, 0);
    EXPECT_EQ(back.CountRobots, 0);
    EXPECT_EQ(back.globalFilters, r.globalFilters);
    EXPECT_EQ(back.RemoveDirectories, 0);  // not on the sheet, so not written
    EXPECT_TRUE(back.ProxyServer.empty());
}

TEST(RunSettings, OverridesByName) {
    RunSettings r;
    EXPECT_TRUE(r.applyOverride("TimeOffset", "-3"));
    EXPECT_TRUE(r.applyOverride("TruncateExport", "250"));
    EXPECT_TRUE(r.applyOverride("RemoveDirectories", "1"));
    EXPECT_TRUE(r.applyOverride("ProxyServer", "http://proxy:3128"));
    EXPECT_TRUE(r.applyOverride("MultithreadMultiple", "0"));
    EXPECT_EQ(r.TimeOffset, -3);
    EXPECT_EQ(r.TruncateExport, 250);
    EXPECT_EQ(r.RemoveDirectories, 1);
    EXPECT_EQ(r.ProxyServer, "http://proxy:3128");
    EXPECT_EQ(r.MultithreadMultiple, 0);

    for (const char* bad : {"", " 5", "5 ", "5x", "0x10", "1.5", "99999999999", "-"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(r.applyOverride("LastItems", bad));
    }
    EXPECT_EQ(r.LastItems, 30);
    EXPECT_FALSE(r.applyOverride("GlobalFilterNum", "2"));
    EXPECT_FALSE(r.applyOverride("timeoffset", "2"));
    EXPECT_FALSE(r.applyOverride("NoSuchSetting", "2"));
    EXPECT_EQ(r.TimeOffset, -3);
}

}  // namespace
}  // namespace tw::config
