// The real implementations of the platform seams.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "platform/mapped_file.h"
#include "platform/settings.h"
#include "platform/strings.h"

namespace tw::platform {
namespace {

std::string tempFileWith(const std::string& content) {
    char name[] = "/tmp/tallyweb-map-XXXXXX";
    const int fd = ::mkstemp(name);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(::write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
    ::close(fd);
    return name;
}

TEST(PosixFileOpener, MapsAlignedWindowsAndRefusesWhatCannotBeMapped) {
    std::string content;
    for (int i = 0; content.size() < 3 * 4096 + 100; ++i) content += std::to_string(i) + "\n";
    const std::string path = tempFileWith(content);
    PosixFileOpener opener;
    std::string error;
    auto file = opener.open(path, &error);
    ASSERT_NE(file, nullptr) << error;
    EXPECT_EQ(file->size(), content.size());
    const std::size_t g = file->granularity();
    ASSERT_GT(g, 0u);

    MapView view;
    ASSERT_TRUE(file->map(g, 2 * g, view));
    EXPECT_EQ(std::string(view.data, view.size), content.substr(g, 2 * g));
    // A window running past the end is cut there.
    ASSERT_TRUE(file->map(2 * g, 10 * g, view));
    EXPECT_EQ(std::string(view.data, view.size), content.substr(2 * g));
    EXPECT_FALSE(file->map(1, 10, view)) << "unaligned offset";
    EXPECT_EQ(view.data, nullptr);
    EXPECT_FALSE(file->map(content.size() / g * g + g, 10, view)) << "past the end";
    file.reset();
    ::unlink(path.c_str());

    EXPECT_EQ(opener.open("/nonexistent/tallyweb/log", &error), nullptr);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(opener.open("/tmp", &error), nullptr);
    EXPECT_EQ(error, "not a regular file");
}

TEST(Strings, NumberedTextsAndFormatting) {
    EXPECT_EQ(text(sid::Completed).substr(0, 45), "Tallyweb has completed analyzing your log fil");
    EXPECT_EQ(text(sid::ErrorCaption), "Tallyweb Error");
    EXPECT_TRUE(text(12345).empty());
    EXPECT_EQ(format(text(sid::Completed).data(), 1.5, 2.25, 40.0),
              "Tallyweb has completed analyzing your log files. It has processed over 1.50 "
              "megabytes of log files in 2.25 seconds, at a speed of 40.00 megabytes per minute.");
    // Long arguments are not cut.
    const std::string longName(5000, 'n');
    EXPECT_NE(format(text(sid::OpenError).data(), longName.c_str()).find(longName),
              std::string::npos);
    for (int id :
         {sid::CancelConfirm, sid::Canceling, sid::Initializing, sid::DecompressCancelled,
          sid::UnexpectedFormat, sid::InsufficientFields, sid::InvalidSpiderRoot, sid::OpenError,
          sid::DownloadCancelled, sid::NoLogFiles, sid::NothingAccepted, sid::NoLookupsYet})
        EXPECT_FALSE(text(id).empty()) << id;
    // A number listed twice would hide its second text.
    std::vector<int> ids = allTextIds();
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(std::adjacent_find(ids.begin(), ids.end()), ids.end());
}

TEST(MemorySettings, SectionsAndKindsAreKeptApart) {
    MemorySettings s;
    EXPECT_EQ(s.getInt("", "LastItems", 30), 30);
    EXPECT_EQ(s.getString("", "ProxyServer", "none"), "none");
    s.setInt("", "LastItems", 12);
    s.setInt("Report 1", "LastItems", 5);
    s.setString("", "ProxyServer", "proxy:8080");
    EXPECT_EQ(s.getInt("", "LastItems", 30), 12);
    EXPECT_EQ(s.getInt("Report 1", "LastItems", 30), 5);
    EXPECT_EQ(s.getString("", "ProxyServer", ""), "proxy:8080");
    EXPECT_TRUE(s.has("", "ProxyServer"));
    EXPECT_FALSE(s.has("Report 1", "ProxyServer"));
}

TEST(OverlaySettings, OverridesTopLevelReadsOnlyAndWritesThrough) {
    MemorySettings base;
    base.setInt("", "TruncateReports", 100);
    base.setInt("Report 0", "TruncateReports", 7);
    base.setDataFolder("/data");
    OverlaySettings o(base);
    o.override("TruncateReports", "1000");
    o.override("TimeOffset", "-2");
    o.override("ProxyServer", "proxy:8080");
    EXPECT_EQ(o.getInt("", "TruncateReports", 0), 1000);
    EXPECT_EQ(o.getInt("", "TimeOffset", 0), -2);
    EXPECT_EQ(o.getString("", "ProxyServer", ""), "proxy:8080");
    EXPECT_EQ(o.getInt("", "ProxyServer", 3), 3) << "a text is no number";
    EXPECT_EQ(o.getInt("Report 0", "TruncateReports", 0), 7) << "sections are not overridden";
    EXPECT_EQ(o.getInt("", "LastItems", 30), 30);
    EXPECT_EQ(o.dataFolder(), "/data");
    o.setInt("", "DoNotSpeedRemind", 1);
    EXPECT_EQ(base.getInt("", "DoNotSpeedRemind", 0), 1);
    EXPECT_EQ(base.getInt("", "TruncateReports", 0), 100) << "overrides never reach the store";
}

}  // namespace
}  // namespace tw::platform
