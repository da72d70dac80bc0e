// The settings in a real QSettings file: values and filters survive a write and a fresh read,
// texts byte for byte.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>

#include "app/qt_settings.h"
#include "config/filter_store.h"

namespace tw::app {
namespace {

struct TempIni {
    std::filesystem::path dir;
    TempIni() {
        char pattern[] = "/tmp/tallyweb-settings-XXXXXX";
        dir = mkdtemp(pattern);
    }
    ~TempIni() { std::filesystem::remove_all(dir); }
    std::string file() const { return (dir / "Tallyweb.ini").string(); }
};

TEST(QtSettings, ValuesAndFiltersRoundTripThroughAFile) {
    TempIni ini;
    const config::FilterList global = {
        {.Include = 1, .Information = config::kFilterBrowser, .strFilter = "MSIE "},
        {.Include = 0,
         .Information = config::kFilterDateRange,
         .strFilter = "",
         .nFilter = 0,
         .nFilter2 = 0,
         .BeginningTime = 946684800,
         .EndingTime = 2147483647,
         .Request = 0}};
    const config::FilterList report = {
        {.Include = 0, .Information = config::kFilterFileName, .strFilter = "/caf\xc3\xa9/*.htm"},
        {.Include = 1, .Information = config::kFilterDomain, .strFilter = "h\xe9te\\*=;\"x\""},
        {.Include = 0, .Information = config::kFilterSuccessCode, .nFilter = 200, .nFilter2 = 299}};
    {
        QtSettingsProfile p(ini.file());
        p.setInt("", "TruncateReports", 250);
        p.setString("Report 0", "Path", "/var/log/a.log;/var/log/b.log");
        config::saveGlobalFilters(p, global);
        config::saveReportFilters(p, "Report 0", report);
        ASSERT_TRUE(p.flush());
    }
    QtSettingsProfile back(ini.file());
    EXPECT_EQ(back.getInt("", "TruncateReports", 100), 250);
    EXPECT_EQ(back.getInt("", "Missing", 7), 7);
    EXPECT_EQ(back.getString("Report 0", "Path", ""), "/var/log/a.log;/var/log/b.log");
    EXPECT_EQ(back.getString("Report 0", "Missing", "none"), "none");
    EXPECT_EQ(back.getString("Report 0", "Path", "x").size(), 29u);
    EXPECT_EQ(config::loadGlobalFilters(back), global);
    EXPECT_EQ(config::loadReportFilters(back, "Report 0", back.getInt("Report 0", "NumFilters", 0)),
              report)
        << "a text that is not UTF-8 comes back byte for byte";
    // A subkey written with a backslash is a nested group.
    EXPECT_EQ(back.getInt("Report 0/Filter 2", "nFilter2", 0), 299);
}

TEST(QtSettings, DataAndCacheFoldersAreTheUsersOwn) {
    TempIni home;
    const char* oldData = std::getenv("XDG_DATA_HOME");
    const char* oldCache = std::getenv("XDG_CACHE_HOME");
    const std::string savedData = oldData ? oldData : "", savedCache = oldCache ? oldCache : "";
    setenv("XDG_DATA_HOME", (home.dir / "data").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home.dir / "cache").c_str(), 1);
    const std::string data = QtSettingsProfile(home.file()).dataFolder();
    const std::string cache = QtSettingsProfile(home.file()).cacheFolder();
    for (auto [name, old, saved] : {std::tuple{"XDG_DATA_HOME", oldData, savedData},
                                    std::tuple{"XDG_CACHE_HOME", oldCache, savedCache}}) {
        if (old) {
            setenv(name, saved.c_str(), 1);
        } else {
            unsetenv(name);
        }
    }
    EXPECT_EQ(data, (home.dir / "data" / "Corvane Software" / "Tallyweb").string());
    EXPECT_EQ(cache, (home.dir / "cache" / "Corvane Software" / "Tallyweb").string());
    EXPECT_TRUE(std::filesystem::is_directory(data)) << "created when missing";
    EXPECT_TRUE(std::filesystem::is_directory(cache));
}

}  // namespace
}  // namespace tw::app

namespace tw::app {
namespace {

std::filesystem::perms modeOf(const std::filesystem::path& p) {
    return std::filesystem::status(p).permissions() & std::filesystem::perms::all;
}

TEST(QtSettings, TheStoreIsReadableByItsOwnerOnly) {
    using std::filesystem::perms;
    const perms ownerOnly = perms::owner_read | perms::owner_write;
    TempIni ini;
    {
        QtSettingsProfile p(ini.file());
        EXPECT_EQ(p.getInt("", "LastItems", 30), 30);
        EXPECT_FALSE(std::filesystem::exists(ini.file())) << "reading alone creates nothing";
        p.setString("Report 0", "Password", "secret");
        EXPECT_EQ(modeOf(ini.file()), ownerOnly) << "never open to others, even before a sync";
    }
    EXPECT_EQ(modeOf(ini.file()), ownerOnly);

    // A store left readable by an older version is closed up at the next write.
    std::filesystem::permissions(ini.file(), perms::owner_read | perms::owner_write |
                                                 perms::group_read | perms::others_read);
    {
        QtSettingsProfile p(ini.file());
        p.setInt("", "TruncateReports", 5);
        EXPECT_TRUE(p.flush());
    }
    EXPECT_EQ(modeOf(ini.file()), ownerOnly);
    EXPECT_EQ(QtSettingsProfile(ini.file()).getString("Report 0", "Password", ""), "secret");

    // The user's own store, found through the configuration folder.
    TempIni home;
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_CONFIG_HOME", home.dir.c_str(), 1);
    {
        QtSettingsProfile p;
        p.setInt("", "LastItems", 12);
    }
    if (old) {
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    } else {
        unsetenv("XDG_CONFIG_HOME");
    }
    const auto file = home.dir / "Corvane Software" / "Tallyweb.conf";
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(modeOf(file), ownerOnly);
}

}  // namespace
}  // namespace tw::app
