// From a report's log paths to local files, and the shared path routines.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/fakes.h"
#include "transfer/log_paths.h"

namespace tw::transfer {
namespace {

namespace fs = std::filesystem;
using Files = std::vector<std::string>;

class LogPathsSpec : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
    test::FakeClock clock;
};

TEST_F(LogPathsSpec, BackdayMovesEveryDateCodeBack) {
    clock.setNow(1700000000);  // 2023-11-14 22:13:20 UTC
    EXPECT_EQ(expandLogPaths("/logs/ex%y%m%d.log", clock), Files{"/logs/ex231114.log"});
    EXPECT_EQ(expandLogPaths("/logs/ex%y%m%d.log%BACKDAY1%", clock), Files{"/logs/ex231113.log"});
    EXPECT_EQ(expandLogPaths("%BACKDAY14%/logs/%Y/%m/%d.log", clock),
              Files{"/logs/2023/10/31.log"});
    // Across a leap day and a year end.
    clock.setNow(1709251200);  // 2024-03-01 00:00:00 UTC
    EXPECT_EQ(expandLogPaths("a%BACKDAY1%%Y%m%d;b%Y%m%d", clock),
              (Files{"a20240229", "b20240229"}));
    clock.setNow(1704067200);  // 2024-01-01
    EXPECT_EQ(expandLogPaths("%BACKDAY 1%%Y-%m-%d", clock), Files{"2023-12-31"});
}

TEST_F(LogPathsSpec, TextWithoutAMacroGoesThroughStrftimeSafely) {
    clock.setNow(1700000000);
    // No "%" after the macro: it stays and "%B" is the month name.
    EXPECT_EQ(expandLogPaths("x%BACKDAY", clock), Files{"xNovemberACKDAY"});
    // Codes strftime does not define, a lone "%" at the end and "%%".
    EXPECT_EQ(expandLogPaths("a%Q;b%;c%%d;%E;%Ey", clock), (Files{"a%Q", "b%", "c%d", "%E", "23"}));
    // Longer than any fixed buffer.
    std::string longText;
    for (int i = 0; i < 3000; ++i) longText += "%A";
    const Files expanded = expandLogPaths(longText, clock);
    ASSERT_EQ(expanded.size(), 1u);
    EXPECT_EQ(expanded[0].size(), 3000u * std::string("Tuesday").size());
}

TEST_F(LogPathsSpec, SplitsOnSemicolonsAndTrims) {
    EXPECT_EQ(expandLogPaths("  /a/x.log ;; \t;/b/y.log\t;", clock),
              (Files{"/a/x.log", "/b/y.log"}));
    EXPECT_TRUE(expandLogPaths("", clock).empty());
    EXPECT_TRUE(expandLogPaths(" ; ; ", clock).empty());
}

class LogPathsTree : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/tallyweb-paths-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root = pattern;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    void file(const std::string& relative) {
        fs::create_directories(fs::path(root + "/" + relative).parent_path());
        std::ofstream(root + "/" + relative) << "x\n";
    }
    std::string at(const std::string& relative) const { return root + "/" + relative; }
    std::string root;
};

TEST_F(LogPathsTree, DirectoriesGiveEveryFileBelowThem) {
    file("access_log");
    file("b.log");
    file(".hidden");
    file(".dotdir/inside.log");
    file("sub/c.log");
    file("sub/deeper/d");
    fs::create_directory_symlink(root, at("sub/loop"));
    ASSERT_EQ(::mkfifo(at("pipe").c_str(), 0600), 0);

    EXPECT_EQ(expandLocalEntries({root}),
              (Files{at("access_log"), at("b.log"), at("sub/c.log"), at("sub/deeper/d")}));
    // Entered through the link, the top folder is listed once but "sub" is not entered again.
    // A trailing separator changes nothing; the same directory twice is listed twice.
    EXPECT_EQ(expandLocalEntries({root + "/sub/", at("sub/deeper")}),
              (Files{at("sub/c.log"), at("sub/deeper/d"), at("sub/loop/access_log"),
                     at("sub/loop/b.log"), at("sub/deeper/d")}));
}

TEST_F(LogPathsTree, WildcardsMatchNamesAndEnterMatchedDirectories) {
    file("ex0101.log");
    file("ex0102.log");
    file("ex0102.txt");
    file(".ex0103.log");
    file("logs1/x.log");
    file("logs2/y.log");
    file("what*");

    EXPECT_EQ(expandLocalEntries({at("ex*.log")}), (Files{at("ex0101.log"), at("ex0102.log")}));
    EXPECT_EQ(expandLocalEntries({at("ex010?.txt")}), Files{at("ex0102.txt")});
    EXPECT_EQ(expandLocalEntries({at("logs?")}), (Files{at("logs1/x.log"), at("logs2/y.log")}));
    // A matched name is not read as a pattern again.
    EXPECT_EQ(expandLocalEntries({at("what*")}), Files{at("what*")});
    // Case-sensitive, nothing matched, a directory that does not exist, a missing file kept.
    EXPECT_TRUE(expandLocalEntries({at("EX*.LOG"), at("none*"), at("nodir/*.log"), ""}).empty());
    EXPECT_EQ(expandLocalEntries({at("missing.log"), at("ex0101.log")}),
              (Files{at("missing.log"), at("ex0101.log")}));
}

TEST(LogPathsRoutines, SplitJoinAndClean) {
    EXPECT_EQ(directoryPart("a/b\\c.log"), "a/b\\");
    EXPECT_EQ(directoryPart("c.log"), "");
    EXPECT_EQ(namePart("a/b\\c.log"), "c.log");
    EXPECT_EQ(namePart("http://h/logs/"), "");
    EXPECT_EQ(namePart("c.log"), "c.log");

    EXPECT_EQ(joinPath("a", "b"), "a/b");
    EXPECT_EQ(joinPath("a/", "/b"), "a/b");
    EXPECT_EQ(joinPath("a\\", "b"), "a/b");
    EXPECT_EQ(joinPath("/", "b"), "/b");
    EXPECT_EQ(joinPath("", "b"), "b");
    EXPECT_EQ(stripLeadingSeparator("//x"), "/x");
    EXPECT_EQ(stripLeadingSeparator("\\x"), "x");
    EXPECT_EQ(stripLeadingSeparator("x"), "x");
    EXPECT_EQ(unifySeparators("c:\\logs\\a/b"), "c:/logs/a/b");

    EXPECT_EQ(folderSafeName("My #1 site; 50%?*/\\"), "My 1 site 50");
    EXPECT_EQ(folderSafeName(std::string("a\0b", 3)), "ab");
    EXPECT_EQ(downloadFolder("/data/", "Site/A"), "/data/SiteA");
    // Nothing usable left: the downloads go straight into the base folder.
    EXPECT_EQ(downloadFolder("/data", "#%*/;?\\"), "/data");
    EXPECT_EQ(downloadFolder("/data", ".#."), "/data");
    EXPECT_EQ(downloadFolder("/data", "/../"), "/data");

    for (const std::string& bad :
         std::vector<std::string>{"", ".", "..", "a/b", "..\\x", std::string("a\0b", 3)}) {
        EXPECT_FALSE(safeComponent(bad)) << bad;
    }
    for (const char* good : {"access.log", "...", ".profile", "a b"}) {
        EXPECT_TRUE(safeComponent(good)) << good;
    }
}

TEST(LogPathsRoutines, MakeDirectoriesAndProgramDirectory) {
    char pattern[] = "/tmp/tallyweb-dirs-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string base = pattern;
    EXPECT_TRUE(makeDirectories(base + "/a/b/c"));
    EXPECT_TRUE(fs::is_directory(base + "/a/b/c"));
    EXPECT_TRUE(makeDirectories(base + "/a/b/c"));  // already there
    std::ofstream(base + "/file") << "x";
    EXPECT_FALSE(makeDirectories(base + "/file"));
    EXPECT_FALSE(makeDirectories(base + "/file/below"));
    EXPECT_FALSE(makeDirectories(""));
    std::error_code ec;
    fs::remove_all(base, ec);

    const std::string dir = programDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_TRUE(fs::exists(dir + "transfer_tests"));
}

}  // namespace
}  // namespace tw::transfer
