// The desktop program's command line: which files to open and which stored report to generate.
#include <gtest/gtest.h>

#include "app/command_line.h"

namespace tw::app {
namespace {

TEST(StartupCommand, AutoReportInEveryFormAndTheNameAsTyped) {
    for (const char* option : {"/AUTOREPORT", "-autoreport", "AutoReport", "/autoREPORT"}) {
        const StartupCommand c = parseStartupCommand({option, "Daily Stats"});
        ASSERT_TRUE(c.requestedReport.has_value()) << option;
        EXPECT_EQ(*c.requestedReport, "Daily Stats") << "case and blanks kept";
        EXPECT_TRUE(c.documents.empty()) << option << ": the name is no file to open";
    }

    // Files are opened, other options ignored, and a name that is itself the option word
    // hands on to the next argument.
    StartupCommand c = parseStartupCommand({"/home/u/week.twb", "--verbose", "-x"});
    EXPECT_EQ(c.documents, (std::vector<std::string>{"/home/u/week.twb"}));
    EXPECT_FALSE(c.requestedReport.has_value());

    c = parseStartupCommand({"/AUTOREPORT", "AUTOREPORT", "Weekly"});
    EXPECT_EQ(c.requestedReport.value_or(""), "Weekly");
    EXPECT_TRUE(c.documents.empty());

    c = parseStartupCommand({"-AUTOREPORT"});
    EXPECT_FALSE(c.requestedReport.has_value()) << "no name follows";

    c = parseStartupCommand({"-AUTOREPORT", "/srv/report.twb", "/tmp/other.twb"});
    EXPECT_EQ(c.requestedReport.value_or(""), "/srv/report.twb");
    EXPECT_EQ(c.documents, (std::vector<std::string>{"/tmp/other.twb"}));
}

}  // namespace
}  // namespace tw::app
