// The checks of the report wizard's pages.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "config/wizard_checks.h"
#include "platform/strings.h"

namespace tw::config {
namespace {

namespace sid = platform::sid;

// A refusal must carry its numbered text, so that the wizard has something to show.
void expectRefused(const PageCheck& c, int id, PageField field) {
    EXPECT_FALSE(c.ok());
    EXPECT_EQ(c.messageId, id);
    EXPECT_EQ(c.message, platform::text(id));
    EXPECT_FALSE(c.message.empty());
    EXPECT_EQ(c.field, field);
}

TEST(WizardChecks, LocalAndFtpLocations) {
    expectRefused(checkLocalLocation(0, "").check, sid::NeedLogDirectory, PageField::Path);
    expectRefused(checkLocalLocation(1, "").check, sid::NeedLogFile, PageField::Path);
    expectRefused(checkLocalLocation(2, "").check, sid::NeedWildcard, PageField::Path);
    expectRefused(checkFtpLocation(0, "").check, sid::NeedLogDirectory, PageField::Path);
    expectRefused(checkFtpLocation(2, "").check, sid::NeedWildcard, PageField::Path);

    AdjustedCheck c = checkLocalLocation(0, "/var/log/httpd");
    EXPECT_TRUE(c.ok());
    EXPECT_EQ(c.value, "/var/log/httpd/");
    EXPECT_EQ(checkLocalLocation(0, "/var/log/").value, "/var/log/");
    EXPECT_EQ(checkLocalLocation(1, "/var/log/access.log").value, "/var/log/access.log");
    EXPECT_EQ(checkLocalLocation(2, "/var/log/access*").value, "/var/log/access*");
    c = checkFtpLocation(0, "/users/ftp/logs");
    EXPECT_TRUE(c.ok());
    EXPECT_EQ(c.value, "/users/ftp/logs");
}

TEST(WizardChecks, FtpLogin) {
    expectRefused(checkFtpLogin("", "joe", "pw"), sid::NeedFtpSite, PageField::Sitename);
    expectRefused(checkFtpLogin("ftp.example.com", "", "pw"), sid::NeedFtpUsername,
                  PageField::Username);
    expectRefused(checkFtpLogin("ftp.example.com", "joe", ""), sid::NeedPassword,
                  PageField::Password);
    expectRefused(checkFtpLogin("ftp.example.com", "anonymous2", ""), sid::NeedPassword,
                  PageField::Password);
    EXPECT_TRUE(checkFtpLogin("ftp.example.com", "joe", "pw").ok());
    EXPECT_TRUE(checkFtpLogin("ftp.example.com", "anonymous", "").ok());
    EXPECT_TRUE(checkFtpLogin("ftp.example.com", "AnonYMous", "").ok());
}

TEST(WizardChecks, HttpLocation) {
    expectRefused(checkHttpLocation("", false, ""), sid::NeedLogLocation, PageField::Path);
    expectRefused(checkHttpLocation("", true, "joe"), sid::NeedLogLocation, PageField::Path);
    expectRefused(checkHttpLocation("http://x/log", true, ""), sid::NeedUsername,
                  PageField::Username);
    // A protected URL is not examined.
    EXPECT_TRUE(checkHttpLocation("logs.example.com/access.log", true, "joe").ok());

    for (const char* bad :
         {"logs.example.com/access.log", "ftp://logs.example.com/a.log",
          "http:/logs.example.com/a.log", "http:///access.log", "http://", "http://bad host/a.log",
          "http://host:99999/a.log", "http://host:/a.log", "http://[::1/a.log"}) {
        SCOPED_TRACE(bad);
        expectRefused(checkHttpLocation(bad, false, ""), sid::InvalidLogUrl, PageField::Path);
    }
    for (const char* good :
         {"http://logs.example.com/access.log", "HTTPS://logs.example.com:8443/a?day=1",
          "http://user:pw@logs.example.com", "http://[::1]:8080/log", "http://10.0.0.1"}) {
        SCOPED_TRACE(good);
        EXPECT_TRUE(checkHttpLocation(good, false, "").ok());
    }
}

TEST(WizardChecks, TrackedEntryDomainExportAndName) {
    expectRefused(checkTrackedEntry("").check, sid::NeedTrackedEntry, PageField::TrackedEntry);
    EXPECT_EQ(checkTrackedEntry("images/*").value, "/images/*");
    for (const char* kept : {"/index.html", "*.gif", "?page=2"}) {
        const AdjustedCheck c = checkTrackedEntry(kept);
        EXPECT_TRUE(c.ok());
        EXPECT_EQ(c.value, kept);
    }

    expectRefused(checkDomain("", "index.html"), sid::NeedDomain, PageField::Domain);
    expectRefused(checkDomain("www.example.com", ""), sid::NeedDefaultPage, PageField::DefaultPage);
    EXPECT_TRUE(checkDomain("www.example.com/~joe", "index.html").ok());

    const PageCheck noLocation = checkExport(true, "");
    EXPECT_FALSE(noLocation.ok());
    EXPECT_EQ(noLocation.message, platform::txt::NoExportLocation);
    EXPECT_EQ(noLocation.field, PageField::ExportLocation);
    EXPECT_TRUE(checkExport(false, "").ok());
    EXPECT_TRUE(checkExport(true, "/tmp/report.html").ok());

    expectRefused(checkName(""), sid::NeedReportName, PageField::Name);
    EXPECT_TRUE(checkName("Daily").ok());
}

TEST(WizardChecks, TreeView) {
    EXPECT_TRUE(checkTreeView(false, "", 0).ok());
    EXPECT_TRUE(checkTreeView(true, "", -1).ok());
    expectRefused(checkTreeView(true, "http://www.example.com/index.html", 0), sid::ZeroTreeDepth,
                  PageField::RecursionDepth);

    const std::filesystem::path dir = ::testing::TempDir();
    const std::filesystem::path page = dir / "wizard_checks_root.html";
    std::ofstream(page) << "<html></html>";
    EXPECT_TRUE(checkTreeView(false, page.string(), 3).ok());
    expectRefused(checkTreeView(false, dir.string(), 3), sid::RootMissing, PageField::Root);
    expectRefused(checkTreeView(false, (dir / "no_such_page.html").string(), 3), sid::RootMissing,
                  PageField::Root);
    std::filesystem::remove(page);

    EXPECT_TRUE(checkTreeView(true, "http://www.example.com/index.html", 1).ok());
    EXPECT_TRUE(checkTreeView(true, "https://www.example.com/~joe/", 2).ok());
    expectRefused(checkTreeView(true, "www.example.com/index.html", 3), sid::InvalidRootUrl,
                  PageField::Root);
    expectRefused(checkTreeView(true, "file:///srv/index.html", 3), sid::InvalidRootUrl,
                  PageField::Root);
    for (const char* bare : {"http://www.example.com/", "http://www.example.com",
                             "http://www.example.com?x=1", "http:///index.html"}) {
        SCOPED_TRACE(bare);
        expectRefused(checkTreeView(true, bare, 3), sid::RootNotAPage, PageField::Root);
    }
}

}  // namespace
}  // namespace tw::config
