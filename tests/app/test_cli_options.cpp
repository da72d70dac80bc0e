// The headless program's command line, as scripts write it.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "app/cli_options.h"

namespace tw::app {
namespace {

TEST(CliOptions, OneOffReportWithEveryOption) {
    const CliParse p = parseCliOptions({"--domain",
                                        "www.example.com",
                                        "--default-page=default.htm",
                                        "--dns",
                                        "--three-file",
                                        "--track",
                                        "docs/*",
                                        "--track=/index.html",
                                        "--root",
                                        "/srv/www/index.html",
                                        "--depth",
                                        "5",
                                        "--setting",
                                        "TruncateReports=1000",
                                        "--setting=TimeOffset=-2",
                                        "--report",
                                        "Most Requested Pages",
                                        "--export",
                                        "csv",
                                        "/tmp/out",
                                        "a.log",
                                        "--",
                                        "-odd.log"});
    ASSERT_EQ(p.error, "");
    const CliOptions& o = p.options;
    EXPECT_EQ(o.domain, "www.example.com");
    EXPECT_EQ(o.defaultPage, "default.htm");
    EXPECT_TRUE(o.dns);
    EXPECT_TRUE(o.threeFile);
    EXPECT_EQ(o.tracks, (std::vector<std::string>{"docs/*", "/index.html"}));
    EXPECT_EQ(o.root, "/srv/www/index.html");
    EXPECT_EQ(o.depth, 5);
    ASSERT_EQ(o.settings.size(), 2u);
    EXPECT_EQ(o.settings[1], (std::pair<std::string, std::string>{"TimeOffset", "-2"}));
    EXPECT_EQ(o.report.value_or(""), "Most Requested Pages");
    ASSERT_TRUE(o.exportTo.has_value());
    EXPECT_EQ(o.exportTo->first, ExportFormat::Csv);
    EXPECT_EQ(o.exportTo->second, "/tmp/out");
    for (const auto& [word, format] :
         {std::pair{"html", ExportFormat::Html}, std::pair{"html-charts", ExportFormat::HtmlCharts},
          std::pair{"docx", ExportFormat::Docx}, std::pair{"json", ExportFormat::Json}}) {
        const CliParse e = parseCliOptions({"--export", word, "/tmp/r", "a.log"});
        ASSERT_EQ(e.error, "") << word;
        EXPECT_EQ(e.options.exportTo.value().first, format) << word;
    }
    EXPECT_NE(std::string(kCliUsage).find("html-charts"), std::string::npos);
    EXPECT_EQ(o.logs, (std::vector<std::string>{"a.log", "-odd.log"}));

    const CliOptions d = parseCliOptions({"a.log"}).options;
    EXPECT_EQ(d.defaultPage, "index.html");
    EXPECT_EQ(d.depth, 3);
    EXPECT_FALSE(d.dns);
}

TEST(CliOptions, StoredReportsAndUsageErrors) {
    CliParse p = parseCliOptions({"--autoreport", "Daily Stats", "--report", "Browser"});
    ASSERT_EQ(p.error, "");
    EXPECT_EQ(p.options.autoReport.value_or(""), "Daily Stats");
    EXPECT_TRUE(parseCliOptions({"--list"}).error.empty());
    EXPECT_TRUE(parseCliOptions({"--autoreport", "X", "--setting", "LastItems=5"}).error.empty());
    p = parseCliOptions({"--open", "r.twb", "--save", "s.twb", "--report", "Browser"});
    ASSERT_EQ(p.error, "");
    EXPECT_EQ(p.options.open.value_or(""), "r.twb");
    EXPECT_EQ(p.options.save.value_or(""), "s.twb");
    EXPECT_TRUE(parseCliOptions({"--help", "--bogus"}).error.find("bogus") != std::string::npos)
        << "an unknown option is reported even beside --help";

    const std::pair<std::vector<std::string>, const char*> bad[] = {
        {{}, "no log file given"},
        {{"--bogus", "a.log"}, "unknown option '--bogus'"},
        {{"--domain"}, "needs a value"},
        {{"--depth", "0", "a.log"}, "above 0"},
        {{"--depth", "3x", "a.log"}, "above 0"},
        {{"--setting", "NoEquals", "a.log"}, "NAME=VALUE"},
        {{"--setting", "=5", "a.log"}, "NAME=VALUE"},
        {{"--export", "pdf", "x", "a.log"}, "unknown export format 'pdf'"},
        {{"--export", "html"}, "a format and a path"},
        {{"--dns=1", "a.log"}, "takes no value"},
        {{"--autoreport", "X", "a.log"}, "cannot be given with --autoreport"},
        {{"--autoreport", "X", "--domain", "d"}, "'--domain' shapes a one-off report"},
        {{"--list", "--autoreport", "X"}, "cannot be combined"},
        {{"--list", "--report", "Browser"}, "--list prints no report"},
        {{"--track", "", "a.log"}, "must not be empty"},
        {{"--open", "r.twb", "a.log"}, "cannot be given with --open"},
        {{"--open", "r.twb", "--root", "/x/index.html"}, "was analysed already"},
        {{"--open", "r.twb", "--autoreport", "X"}, "cannot be combined"},
        {{"--list", "--save", "r.twb"}, "--list prints no report"},
        {{"--save=", "a.log"}, "needs a file name"},
    };
    for (const auto& [args, expected] : bad) {
        const std::string error = parseCliOptions(args).error;
        EXPECT_NE(error.find(expected), std::string::npos) << "got '" << error << "'";
    }
}

}  // namespace
}  // namespace tw::app

namespace tw::app {
namespace {

// The help page shows the usage as the program prints it: a line that changes in one place and
// not in the other would send a user to an option that does not exist.
TEST(CliOptions, TheHelpPageShowsTheUsageAsPrinted) {
    std::ifstream in(std::string(TALLYWEB_DATA_DIR) + "/help/command-line.html");
    const std::string page((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(page.empty());
    std::string escaped;
    for (const char* p = kCliUsage; *p; ++p) {
        switch (*p) {
            case '&': escaped += "&amp;"; break;
            case '<': escaped += "&lt;"; break;
            case '>': escaped += "&gt;"; break;
            case '\'': escaped += "&#x27;"; break;
            case '"': escaped += "&quot;"; break;
            default: escaped += *p;
        }
    }
    EXPECT_NE(page.find(escaped), std::string::npos)
        << "data/help/command-line.html no longer matches the usage text";
}

}  // namespace
}  // namespace tw::app
