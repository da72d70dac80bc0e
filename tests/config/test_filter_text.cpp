// Filter descriptions, the wizard pages' checks and the user-agent choice lists.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "config/filter_text.h"
#include "platform/strings.h"

namespace tw::config {
namespace {

Filter make(int kind, std::string text = "", int n1 = 0, int n2 = 0, int exclude = 0) {
    return Filter{exclude, kind, std::move(text), n1, n2, 0, 0, 0};
}

TEST(FilterText, DescriptionsOfEveryKind) {
    const std::pair<Filter, const char*> cases[] = {
        {make(kFilterDayOfWeek, "", 3), "Include requests on Wednesday"},
        {make(kFilterDayOfWeek, "", 0, 0, 1), "Exclude requests on Sunday"},
        {make(kFilterDayOfWeek, "", 7), "Include "},
        {make(kFilterDayOfWeek, "", -1), "Include "},
        {make(kFilterHour, "", 15), "Include requests at 3 PM"},
        {make(kFilterHour, "", 0), "Include requests at 12 AM"},
        {make(kFilterHour, "", 12), "Include requests at 12 PM"},
        {make(kFilterHour, "", 11), "Include requests at 11 AM"},
        {make(kFilterHour, "", 13), "Include requests at 1 PM"},
        {make(kFilterHour, "", 24), "Include "},
        {make(kFilterHour, "", -1), "Include "},
        {make(kFilterDomain, "192.168.*"), "Include domains matching '192.168.*'"},
        {make(kFilterFileName, "/a.gif", 0, 0, 1), "Exclude files matching '/a.gif'"},
        {make(kFilterReferringUrl, "http://x/"), "Include referrers matching 'http://x/'"},
        {make(kFilterUserOs, "Win"), "Include requests from the 'Win' OS"},
        {make(kFilterBrowser, "MSIE "), "Include requests from the 'MSIE ' browser"},
        {make(kFilterSpider, "Slurp"), "Include requests from the 'Slurp' spider"},
        {make(kFilterAuthUser, "-"), "Include requests from users matching '-'"},
        {make(kFilterVirtualDomain, "10.0.0.1"),
         "Include hits on the server with an address matching '10.0.0.1'"},
        {make(13, "x"), "Include domains matching 'x'"},
        {make(kFilterSuccessCode, "", 200, 299, 1), "Exclude success codes between 200 and 299"},
    };
    for (const auto& [filter, expected] : cases) EXPECT_EQ(describeFilter(filter), expected);

    Filter request = make(kFilterRequest);
    const char* methods[] = {"GET", "HEAD", "POST"};
    for (int m = 0; m < 3; ++m) {
        request.Request = m;
        EXPECT_EQ(describeFilter(request), std::string("Include all ") + methods[m] + " requests");
    }
    request.Request = 3;
    EXPECT_EQ(describeFilter(request), "Include ");
}

TEST(FilterText, DateRangesAreShownInLocalTime) {
    Filter f = make(kFilterDateRange);
    f.EndingTime = 1700000000;
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(describeFilter(f),
              "Include dates from 01/01/1970 at 12:00 AM to 11/14/2023 at 10:13 PM");
    setenv("TZ", "EST5", 1);
    tzset();
    EXPECT_EQ(describeFilter(f),
              "Include dates from 12/31/1969 at 07:00 PM to 11/14/2023 at 05:13 PM");
    unsetenv("TZ");
    tzset();
}

TEST(FilterText, WizardPageChecks) {
    for (int id : {32831, 32833, 32834}) EXPECT_FALSE(platform::text(id).empty()) << id;
    for (int kind : {0, 1, 5, 6, 7, 8, 13}) {
        EXPECT_EQ(checkFilterPage(make(kind)), platform::text(32831)) << kind;
        EXPECT_EQ(checkFilterPage(make(kind, "x")), "") << kind;
    }
    EXPECT_EQ(checkFilterPage(make(kFilterAuthUser)),
              "You must specify a wildcard or a username to filter the authenticated users by. If "
              "the user is not authenticated, there will be a '-' (dash).");
    EXPECT_EQ(checkFilterPage(make(kFilterAuthUser, "-")), "");
    EXPECT_EQ(checkFilterPage(make(kFilterVirtualDomain)),
              "You must specify a domain to filter by.");
    EXPECT_EQ(checkFilterPage(make(kFilterVirtualDomain, "10.*")), "");

    Filter range = make(kFilterDateRange);
    range.BeginningTime = range.EndingTime = 1000;
    EXPECT_EQ(checkFilterPage(range), platform::text(32834));
    range.EndingTime = 999;
    EXPECT_EQ(checkFilterPage(range), platform::text(32833));
    range.EndingTime = 1001;
    EXPECT_EQ(checkFilterPage(range), "");

    const char* upperBelow = "The upper bound must be greater than or equal to the lower bound.";
    EXPECT_EQ(checkFilterPage(make(kFilterSuccessCode, "", 300, 299)), upperBelow);
    EXPECT_EQ(checkFilterPage(make(kFilterSuccessCode, "", -1, 200)), upperBelow);
    EXPECT_EQ(checkFilterPage(make(kFilterSuccessCode, "", 200, 200)), "");
    for (int kind : {3, 4, 9}) EXPECT_EQ(checkFilterPage(make(kind, "", 99, -99)), "") << kind;
}

TEST(FilterText, ChoiceLists) {
    EXPECT_EQ(filterChoices(kFilterBrowser).size(), 12u);
    EXPECT_EQ(filterChoices(kFilterUserOs).size(), 15u);
    EXPECT_EQ(filterChoices(kFilterSpider).size(), 10u);
    EXPECT_TRUE(filterChoices(kFilterDomain).empty());
    EXPECT_EQ(kBrowserChoices[0].label, "IE (all versions)");
    EXPECT_EQ(kBrowserChoices[0].match, "MSIE ");
    EXPECT_EQ(kOsChoices[8].label, "X Windows");
    EXPECT_EQ(kOsChoices[8].match, "X Window");
    EXPECT_EQ(kSpiderChoices[3].label, "Lycos Spider");
    EXPECT_EQ(kSpiderChoices[9].match, "BackRub");
}

}  // namespace
}  // namespace tw::config
