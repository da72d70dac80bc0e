#include "presentation/report_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/strings.h"
#include "presentation/graph_model.h"
#include "presentation/help_topics.h"
#include "support/engine_run.h"

namespace tw::presentation {
namespace {

using Strings = std::vector<std::string>;

// Eight requests over New Year, UTC. Every expected figure below is counted from these lines.
constexpr const char* kMsie = "\"Mozilla/4.0 (compatible; MSIE 5.0; Windows 98)\"";
constexpr const char* kSun = "\"Mozilla/4.7 [en] (X11; I; SunOS 5.8 sun4u)\"";
constexpr const char* kLynx = "\"Lynx/2.8.4rel.1 libwww-FM/2.14\"";
constexpr const char* kLinks = "\"http://other.example.org/links.html\"";

std::string line(const char* host, const char* time, const char* url, int status, int bytes,
                 const std::string& referrer, const std::string& agent) {
    return std::string(host) + " - - [" + time + " +0000] \"GET " + url + " HTTP/1.0\" " +
           std::to_string(status) + " " + std::to_string(bytes) + " " + referrer + " " + agent +
           "\n";
}

std::string newYearLog() {
    return line("10.0.0.1", "31/Dec/2023:23:10:00", "/index.html", 200, 1000, "\"-\"", kMsie) +
           line("host1.example.de", "01/Jan/2024:00:05:00", "/index.html", 200, 2000,
                "\"http://www.google.com/search?q=+tallyweb+software+\"",
                "\"Opera/6.0 (Linux 2.4; U)\"") +
           line("10.0.0.2", "01/Jan/2024:09:30:00", "/missing.html", 404, 300, kLinks, kLynx) +
           line("10.0.0.2", "01/Jan/2024:13:45:00", "/teapot.cgi", 418, 0, "\"-\"", kLynx) +
           line("10.0.0.3", "02/Jan/2024:18:00:00", "/img/logo.gif", 206, 1536, kLinks, kSun) +
           line("10.0.0.1", "02/Jan/2024:20:00:00", "/index.html", 304, 0,
                "\"http://www.mysite.com/about.html\"", kMsie) +
           line("10.0.0.4", "02/Jan/2024:21:00:00", "/index.html", 200, 500, kLinks, kSun) +
           line("10.0.0.4", "02/Jan/2024:21:30:00", "/index.html", 200, 500, kLinks, kSun);
}

// No referrers, no agents, one host name without a dot (so no domain suffix), one day.
std::string plainLog() {
    return "localhost - - [05/Mar/2024:10:00:00 +0000] \"GET /a.html HTTP/1.0\" 200 10\n"
           "10.1.1.1 - - [05/Mar/2024:11:00:00 +0000] \"GET /b.html HTTP/1.0\" 200 20\n";
}

struct Analysed {
    engine::RunOutcome run;
    std::unique_ptr<AnalysisData> data;
    Catalogue catalogue;
};

std::unique_ptr<Analysed> analyse(const std::string& content, engine::RunOptions options) {
    char pattern[] = "/tmp/tallyweb-rows-XXXXXX";
    const std::filesystem::path dir = mkdtemp(pattern);
    const std::string log = (dir / "access.log").string();
    std::ofstream(log) << content;
    auto a = std::make_unique<Analysed>();
    a->run = engine::runOver(log, options);
    std::filesystem::remove_all(dir);
    if (!a->run.produced) return nullptr;
    a->data = std::make_unique<AnalysisData>(AnalysisData{
        a->run.engine->statistics(), a->run.engine->results(), a->run.engine->runStart()});
    a->catalogue.build(a->run.engine->statistics().counters, a->run.definition);
    return a;
}

Strings headers(const ReportTable& t) {
    Strings out;
    for (int c = 0; c < t.columns(); ++c) out.push_back(t.header(c));
    return out;
}
std::vector<int> kinds(const ReportTable& t) {
    std::vector<int> out;
    for (int c = 0; c < t.columns(); ++c) out.push_back(static_cast<int>(t.kind(c)));
    return out;
}
Strings row(const ReportTable& t, int r) {
    Strings out;
    for (int c = 0; c < t.columns(); ++c) out.push_back(t.cell(r, c));
    return out;
}
Strings column(const ReportTable& t, int c) {
    Strings out;
    for (int r = 0; r < t.rows(); ++r) out.push_back(t.cell(r, c));
    return out;
}
std::vector<std::int64_t> keys(const ReportTable& t) {
    std::vector<std::int64_t> out;
    for (int r = 0; r < t.rows(); ++r) out.push_back(t.key(r));
    return out;
}
// The row whose first cell is `first`, for reports whose ties fall in no fixed order.
Strings rowOf(const ReportTable& t, const std::string& first) {
    for (int r = 0; r < t.rows(); ++r)
        if (t.cell(r, 0) == first) return row(t, r);
    return {};
}

class ReportRows : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        setenv("TZ", "UTC", 1);
        tzset();
        full = analyse(newYearLog(),
                       {.domain = "www.mysite.com",
                        .trackFiles = {"/index.html", "/img/*", "/nothing.html", "/index.html"},
                        .root = "http://www.mysite.com/index.html"})
                   .release();
        plain = analyse(plainLog(), {.root = "http://www.mysite.com/index.html"}).release();
    }
    static void TearDownTestSuite() {
        delete full;
        delete plain;
    }
    void SetUp() override {
        ASSERT_NE(full, nullptr);
        ASSERT_NE(plain, nullptr);
    }

    FillContext context(const Analysed& a) const {
        FillContext ctx;
        ctx.analysis = a.data.get();
        ctx.definition = &a.run.definition;
        return ctx;
    }
    FillResult fill(const std::string& title, bool chartMode = false) {
        FillContext ctx = context(*full);
        ctx.chartMode = chartMode;
        const Handle h = full->catalogue.findByTitle(title);
        EXPECT_NE(h, kNoHandle) << title;
        return fillReport(full->catalogue, h, ctx, table);
    }

    static Analysed* full;
    static Analysed* plain;
    ReportTable table;
};
Analysed* ReportRows::full = nullptr;
Analysed* ReportRows::plain = nullptr;

void expectShown(const FillResult& r, ViewKind view, int help) {
    EXPECT_TRUE(r.filled);
    EXPECT_EQ(r.view, view);
    EXPECT_EQ(r.helpTopic, help);
    EXPECT_TRUE(r.hasContent);
}

void expectMessage(const FillResult& r, const ReportTable& t, const std::string& text, int help) {
    EXPECT_TRUE(r.filled);
    EXPECT_EQ(r.view, ViewKind::Message);
    EXPECT_EQ(r.helpTopic, help);
    EXPECT_FALSE(r.hasContent);
    EXPECT_EQ(t.message, text);
    EXPECT_EQ(t.helpTopic, help);
    EXPECT_EQ(t.rows(), 0);
}

TEST_F(ReportRows, GeneralStatisticsInRowOrder) {
    expectShown(fill("General Statistics"), ViewKind::Chart, 11001);
    EXPECT_EQ(table.title, "General Statistics");
    EXPECT_EQ(table.description,
              "This report gives you an overview of your web site and contains miscellaneous "
              "information.");
    EXPECT_EQ(headers(table), (Strings{"Item", "Value"}));
    EXPECT_EQ(kinds(table), (std::vector<int>{1, 1}));
    EXPECT_EQ(table.sortColumn(), 0);
    const auto expected = engine::generalStatistics(full->run.engine->results(),
                                                    full->run.engine->statistics().counters,
                                                    full->run.engine->runStart());
    ASSERT_EQ(table.rows(), 22);
    for (int r = 0; r < 22; ++r) {
        EXPECT_EQ(table.cell(r, 0), expected[static_cast<std::size_t>(r)].label);
        EXPECT_EQ(table.cell(r, 1), expected[static_cast<std::size_t>(r)].value);
    }
    EXPECT_EQ(row(table, 0), (Strings{"Hits", "8"}));
    EXPECT_EQ(row(table, 3), (Strings{"Time Period",
                                      "December 31, 2023, 11:10 PM to January 02, "
                                      "2024, 09:30 PM"}));
    EXPECT_EQ(row(table, 10), (Strings{"Log spans a period of", "2 days"}));
    EXPECT_EQ(row(table, 19), (Strings{"Hits on Images", "1"}));
    EXPECT_EQ(row(table, 20), (Strings{"Rejected log lines", "0 (0.00%)"}));
}

TEST_F(ReportRows, VisitorReports) {
    expectShown(fill("Domain Name"), ViewKind::Chart, 11004);
    EXPECT_EQ(table.title, "Visiting Domain Names");
    EXPECT_EQ(headers(table), (Strings{"Domain Name", "Hits", "Users", "Bandwidth"}));
    EXPECT_EQ(kinds(table), (std::vector<int>{1, 0, 0, 2}));
    EXPECT_EQ(table.sortColumn(), 1);
    EXPECT_EQ(table.rows(), 5);
    EXPECT_EQ(rowOf(table, "10.0.0.1"), (Strings{"10.0.0.1", "2", "2", "1000.00 bytes"}));
    EXPECT_EQ(rowOf(table, "example.de"), (Strings{"example.de", "1", "1", "1.95 kilobytes"}));
    EXPECT_EQ(rowOf(table, "10.0.0.4"), (Strings{"10.0.0.4", "2", "1", "1000.00 bytes"}));
    for (int r = 0; r < table.rows(); ++r) {
        if (table.cell(r, 0) == "10.0.0.3") {
            EXPECT_EQ(table.key(r), 1536);
        }
    }
    const std::string domainText = table.description;

    // Oldest first from the ring's write position: the hosts in the order they first came.
    expectShown(fill("Recent Accesses"), ViewKind::Chart, 11004);
    EXPECT_EQ(table.title, "Recent Accesses");
    EXPECT_EQ(table.description, domainText);
    EXPECT_EQ(headers(table), (Strings{"Domain Name", "Hits", "Users", "Time of Last Access"}));
    EXPECT_EQ(kinds(table), (std::vector<int>{1, 0, 0, 3}));
    EXPECT_EQ(column(table, 0),
              (Strings{"10.0.0.1", "example.de", "10.0.0.2", "10.0.0.3", "10.0.0.4"}));
    EXPECT_EQ(column(table, 3),
              (Strings{"January, 02 2024 08:00:00 PM", "January, 01 2024 12:05:00 AM",
                       "January, 01 2024 01:45:00 PM", "January, 02 2024 06:00:00 PM",
                       "January, 02 2024 09:30:00 PM"}));
    EXPECT_EQ(table.key(4), 1704231000);  // 2 Jan 2024 21:30 UTC

    // Suffix names when there is a table, bare suffixes without one.
    expectShown(fill("Geographical Location"), ViewKind::Graph, 11003);
    EXPECT_EQ(table.graphStyle, GraphStyle::Pie);
    EXPECT_EQ(headers(table), (Strings{"Domain Name", "Hits", "Percentage"}));
    EXPECT_EQ(kinds(table), (std::vector<int>{1, 0, 0}));
    EXPECT_EQ(row(table, 0), (Strings{".de", "1", "100.00%"}));
    engine::SuffixNames names;
    names.parse("Germany .de\n");
    FillContext ctx = context(*full);
    ctx.suffixNames = &names;
    ctx.chartMode = true;
    const FillResult named = fillReport(
        full->catalogue, full->catalogue.findByTitle("Geographical Location"), ctx, table);
    EXPECT_EQ(named.view, ViewKind::Chart);
    EXPECT_EQ(row(table, 0), (Strings{"Germany (.de)", "1", "100.00%"}));
}

TEST_F(ReportRows, BrowserAndOperatingSystemInTheirFixedOrders) {
    expectShown(fill("Browser"), ViewKind::Graph, 11005);
    EXPECT_EQ(table.title, "Browser");
    EXPECT_EQ(table.graphStyle, GraphStyle::Pie);
    EXPECT_EQ(headers(table), (Strings{"Browser", "Hits", "Percentage"}));
    EXPECT_EQ(column(table, 0), (Strings{"IE 3.x", "IE 4.x", "Navigator 2.x", "Navigator 3.x",
                                         "Navigator 4.x", "NCSA Mosaic", "Lynx", "Other", "IE 2.x",
                                         "IE 5.x", "Navigator 5.x", "Opera"}));
    EXPECT_EQ(column(table, 1),
              (Strings{"0", "0", "0", "0", "3", "0", "2", "0", "0", "2", "0", "1"}));
    EXPECT_EQ(table.cell(4, 2), "37.50%");
    EXPECT_EQ(table.cell(11, 2), "12.50%");
    EXPECT_EQ(table.cell(0, 2), "0.00%");

    expectShown(fill("Operating System", true), ViewKind::Chart, 11006);
    EXPECT_EQ(table.title, "Visiting Operating Systems");
    EXPECT_EQ(headers(table), (Strings{"Operating System", "Hits", "Percentage"}));
    EXPECT_EQ(column(table, 0), (Strings{"Windows 3.1", "Windows 95", "Windows 98", "Windows NT",
                                         "Windows CE", "Macintosh", "OS/2", "Other", "Linux",
                                         "WebTV", "OSF1", "IRIX", "SunOS", "HP-UX"}));
    EXPECT_EQ(column(table, 1),
              (Strings{"0", "0", "2", "0", "0", "0", "0", "2", "1", "0", "0", "0", "3", "0"}));
    EXPECT_EQ(table.cell(12, 2), "37.50%");
}

TEST_F(ReportRows, RequestedFiles) {
    expectShown(fill("Most Requested Pages"), ViewKind::Chart, 11012);
    EXPECT_EQ(headers(table), (Strings{"Page Name", "Hits", "Bandwidth"}));
    EXPECT_EQ(kinds(table), (std::vector<int>{1, 0, 2}));
    ASSERT_EQ(table.rows(), 1);
    EXPECT_EQ(row(table, 0), (Strings{"/index.html", "5", "3.91 kilobytes"}));
    EXPECT_EQ(table.key(0), 4000);

    expectShown(fill("Most Requested Files"), ViewKind::Chart, 11013);
    EXPECT_EQ(headers(table), (Strings{"File Name", "Hits", "Incomplete Requests", "Bandwidth"}));
    EXPECT_EQ(kinds(table), (std::vector<int>{1, 0, 0, 2}));
    EXPECT_EQ(row(table, 0), (Strings{"/teapot.cgi", "1", "0", "0.00 bytes"}));

    expectShown(fill("Most Requested Images"), ViewKind::Chart, 11023);
    EXPECT_EQ(table.title, "Most Requested Images");
    EXPECT_EQ(headers(table)[0], "Image File Name");
    EXPECT_EQ(row(table, 0), (Strings{"/img/logo.gif", "1", "1", "1.50 kilobytes"}));
    EXPECT_EQ(table.key(0), 1536);

    expectShown(fill("Most Requested Directories"), ViewKind::Chart, 11014);
    EXPECT_EQ(headers(table), (Strings{"Directory name", "Hits", "Bandwidth"}));
    EXPECT_EQ(column(table, 0), (Strings{"/", "/img/"}));
    EXPECT_EQ(row(table, 0), (Strings{"/", "6", "3.91 kilobytes"}));
}

TEST_F(ReportRows, DaysOverNewYear) {
    expectShown(fill("Hits per Day"), ViewKind::Graph, 11015);
    EXPECT_EQ(table.title, "Hits over Time Period");
    EXPECT_EQ(headers(table), (Strings{"Date/Time", "Hits", "Percentage"}));
    EXPECT_EQ(kinds(table), (std::vector<int>{3, 0, 0}));
    EXPECT_EQ(table.sortColumn(), 1);
    EXPECT_EQ(table.graphStyle, GraphStyle::Time);
    EXPECT_EQ(table.xAxisTitle, "");
    EXPECT_EQ(table.yAxisTitle, "Hits per day");
    // Oldest first, every label with its year because the span crosses one.
    EXPECT_EQ(column(table, 0),
              (Strings{"December 31, 2023", "January 01, 2024", "January 02, 2024"}));
    EXPECT_EQ(column(table, 1), (Strings{"1", "3", "4"}));
    EXPECT_EQ(column(table, 2), (Strings{"12.50%", "37.50%", "50.00%"}));
    EXPECT_EQ(keys(table), (std::vector<std::int64_t>{19722, 19723, 19724}));
    EXPECT_EQ(table.dateLabelFormat, "d mmm, yy");
    EXPECT_EQ(table.graphStartTime, "2023:12:31:00:00:00");
    EXPECT_EQ(table.graphStep, "0000:00:00:04:48:00");  // two days / 10
    // The graph: left to right in time, the date axis from the first day, a day a step.
    const GraphModel days = graphOf(table);
    EXPECT_EQ(days.x, (std::vector<double>{19722, 19723, 19724}));
    EXPECT_EQ(days.y, (std::vector<double>{1, 3, 4}));
    ASSERT_FALSE(days.ticks.empty());
    EXPECT_EQ(days.ticks.front().label, "31 Dec, 23");
    EXPECT_EQ(days.ticks[1].x - days.ticks[0].x, 1);

    expectShown(fill("Bandwidth per Day", true), ViewKind::Chart, 11017);
    EXPECT_EQ(table.title, "Bandwidth Over Time Period");
    EXPECT_EQ(headers(table), (Strings{"Date/Time", "Bandwidth (in bytes)", "Percentage"}));
    EXPECT_EQ(table.yAxisTitle, "Bandwidth (bytes) per day");
    EXPECT_EQ(column(table, 1), (Strings{"1000", "2300", "2536"}));
    EXPECT_EQ(column(table, 2), (Strings{"17.14%", "39.41%", "43.45%"}));
    EXPECT_EQ(table.description.find('%'), std::string::npos);
    EXPECT_NE(table.description, "");
}

TEST_F(ReportRows, HourAndWeekdayBuckets) {
    expectShown(fill("Most Popular Hour"), ViewKind::Graph, 11019);
    EXPECT_EQ(table.title, "Most Popular Hour of Day");
    EXPECT_EQ(table.description, "nothing");
    EXPECT_EQ(headers(table), (Strings{"Hour", "Hits", "Percentage"}));
    EXPECT_EQ(kinds(table), (std::vector<int>{3, 0, 0}));
    EXPECT_EQ(table.graphStyle, GraphStyle::Bars);
    EXPECT_EQ(table.yAxisTitle, "Hits");
    ASSERT_EQ(table.rows(), 24);
    const Strings graphLabels = column(table, 0);
    EXPECT_EQ(graphLabels[0], "12 AM");
    EXPECT_EQ(graphLabels[1], "1");
    EXPECT_EQ(graphLabels[11], "11");
    EXPECT_EQ(graphLabels[12], "12 PM");
    EXPECT_EQ(graphLabels[13], "1");
    EXPECT_EQ(graphLabels[23], "11");
    EXPECT_EQ(row(table, 21), (Strings{"9", "2", "25.00%"}));
    EXPECT_EQ(table.key(21), 21);
    // The bars keep the short labels, in hour order.
    const GraphModel hours = graphOf(table);
    ASSERT_EQ(hours.categories.size(), 24u);
    EXPECT_EQ(hours.categories[0], "12 AM");
    EXPECT_EQ(hours.categories[13], "1");
    EXPECT_EQ(hours.y[21], 2);
    EXPECT_EQ(hours.yAxisTitle, "Hits");

    expectShown(fill("Most Popular Hour", true), ViewKind::Chart, 11019);
    const Strings listLabels = column(table, 0);
    EXPECT_EQ(listLabels[0], "12 AM");
    EXPECT_EQ(listLabels[9], "9 AM");
    EXPECT_EQ(listLabels[12], "12 PM");
    EXPECT_EQ(listLabels[13], "1 PM");
    EXPECT_EQ(listLabels[23], "11 PM");

    expectShown(fill("Most Popular Day of Week"), ViewKind::Graph, 11020);
    EXPECT_EQ(headers(table), (Strings{"Day of Week", "Hits", "Percentage"}));
    EXPECT_EQ(kinds(table), (std::vector<int>{2, 0, 3}));
    EXPECT_EQ(column(table, 0), (Strings{"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday",
                                         "Friday", "Saturday"}));
    EXPECT_EQ(column(table, 1), (Strings{"1", "3", "4", "0", "0", "0", "0"}));
    EXPECT_EQ(keys(table), (std::vector<std::int64_t>{0, 1, 2, 3, 4, 5, 6}));
}

TEST_F(ReportRows, ReferrerReports) {
    expectShown(fill("Referring Domains"), ViewKind::Chart, 11007);
    EXPECT_EQ(headers(table), (Strings{"Referring Domain", "Occurrences"}));
    EXPECT_EQ(kinds(table), (std::vector<int>{1, 0}));
    EXPECT_EQ(row(table, 0), (Strings{"other.example.org", "4"}));
    EXPECT_EQ(row(table, 1), (Strings{"google.com", "1"}));

    expectShown(fill("Referring Pages"), ViewKind::Chart, 11008);
    EXPECT_EQ(headers(table), (Strings{"Referring Page", "Occurrences"}));
    EXPECT_EQ(row(table, 0), (Strings{"http://other.example.org/links.html", "4"}));
    EXPECT_EQ(row(table, 1), (Strings{"http://www.google.com/search", "1"}));

    // Parent rows and their referrers, indented and flagged as children.
    expectShown(fill("Individual Page Referrers"), ViewKind::TreeList, 11024);
    EXPECT_EQ(headers(table), (Strings{"Filename/Referring URL", "Hits"}));
    EXPECT_EQ(table.sortColumn(), -1);
    ASSERT_EQ(table.rows(), 5);
    EXPECT_EQ(row(table, 0), (Strings{"/index.html", "3"}));
    EXPECT_EQ(row(table, 1), (Strings{"http://other.example.org/links.html", "2"}));
    EXPECT_EQ(row(table, 2), (Strings{"http://www.google.com/search", "1"}));
    EXPECT_EQ(row(table, 3), (Strings{"/img/logo.gif", "1"}));
    EXPECT_EQ(row(table, 4), (Strings{"http://other.example.org/links.html", "1"}));
    for (int r : {0, 3}) {
        EXPECT_EQ(table.indent(r), 0);
        EXPECT_FALSE(table.isChild(r));
    }
    for (int r : {1, 2, 4}) {
        EXPECT_EQ(table.indent(r), 1);
        EXPECT_TRUE(table.isChild(r));
    }

    expectShown(fill("Site Entry Pages"), ViewKind::Chart, 11009);
    EXPECT_EQ(headers(table), (Strings{"Entry Page", "Occurrences"}));
    EXPECT_EQ(row(table, 0), (Strings{"/index.html", "3"}));

    // The phrase arrives with the blanks its "+" signs made; the report trims them.
    expectShown(fill("Search Engine Phrases"), ViewKind::Chart, 11010);
    EXPECT_EQ(headers(table), (Strings{"Search Phrase", "Search Engine", "Hits"}));
    EXPECT_EQ(kinds(table), (std::vector<int>{1, 1, 0}));
    EXPECT_EQ(table.sortColumn(), 2);
    ASSERT_EQ(table.rows(), 1);
    EXPECT_EQ(row(table, 0), (Strings{"tallyweb software", "Google", "1"}));

    expectShown(fill("Search Engine Keywords"), ViewKind::Chart, 11011);
    EXPECT_EQ(headers(table), (Strings{"Search Keyword", "Hits"}));
    Strings words = column(table, 0);
    std::sort(words.begin(), words.end());
    EXPECT_EQ(words, (Strings{"software", "tallyweb"}));

    expectShown(fill("Search Engine Performance"), ViewKind::Chart, 11026);
    EXPECT_EQ(headers(table), (Strings{"Search Engine Name", "Total Hits from That Engine"}));
    EXPECT_EQ(row(table, 0), (Strings{"Google", "1"}));
}

TEST_F(ReportRows, ErrorReports) {
    expectShown(fill("Missing Files (404 errors)"), ViewKind::Chart, 11021);
    EXPECT_EQ(headers(table), (Strings{"Requested URL", "Occurrences"}));
    EXPECT_EQ(row(table, 0), (Strings{"/missing.html", "1"}));

    expectShown(fill("404 error referrers"), ViewKind::TreeList, 11025);
    EXPECT_EQ(table.sortColumn(), 1);
    ASSERT_EQ(table.rows(), 2);
    EXPECT_EQ(row(table, 0), (Strings{"/missing.html", "1"}));
    EXPECT_EQ(row(table, 1), (Strings{"http://other.example.org/links.html", "1"}));
    EXPECT_TRUE(table.isChild(1));

    expectShown(fill("Miscellaneous Errors"), ViewKind::Chart, 11022);
    EXPECT_EQ(headers(table),
              (Strings{"Error Code", "Requested URL", "Occurrences", "Explanation"}));
    EXPECT_EQ(kinds(table), (std::vector<int>{0, 1, 0, 1}));
    EXPECT_EQ(table.sortColumn(), 2);
    EXPECT_EQ(rowOf(table, "418"), (Strings{"418", "/teapot.cgi", "1", "Unrecognized error code"}));
    EXPECT_EQ(rowOf(table, "206"),
              (Strings{"206", "/img/logo.gif", "1",
                       "Only partial content delivered (requested file not completely "
                       "downloaded)"}));
}

TEST_F(ReportRows, TrackedFiles) {
    const auto& pairs = full->catalogue.trackedPairs();
    ASSERT_EQ(pairs.size(), 4u);
    FillContext ctx = context(*full);

    FillResult r = fillReport(full->catalogue, pairs[0].first, ctx, table);
    expectShown(r, ViewKind::Graph, 11002);
    EXPECT_EQ(table.title, "Tracking /index.html");
    EXPECT_EQ(headers(table), (Strings{"Time Increment", "Hits", "Percentage"}));
    EXPECT_EQ(kinds(table), (std::vector<int>{3, 0, 0}));
    EXPECT_EQ(table.sortColumn(), 0);
    EXPECT_EQ(table.yAxisTitle, "Hits per day");
    EXPECT_EQ(column(table, 0),
              (Strings{"December 31, 2023", "January 01, 2024", "January 02, 2024"}));
    EXPECT_EQ(column(table, 1), (Strings{"1", "1", "3"}));
    EXPECT_EQ(column(table, 2), (Strings{"20.00%", "20.00%", "60.00%"}));
    EXPECT_EQ(table.dateLabelFormat, "d mmm, yy");

    r = fillReport(full->catalogue, pairs[0].second, ctx, table);
    expectShown(r, ViewKind::Graph, 11002);
    EXPECT_EQ(headers(table), (Strings{"Time Increment", "Bandwidth (in bytes)", "Percentage"}));
    EXPECT_EQ(table.yAxisTitle, "Bandwidth (bytes) per day");
    EXPECT_EQ(column(table, 1), (Strings{"1000", "2000", "1000"}));
    EXPECT_EQ(column(table, 2), (Strings{"25.00%", "50.00%", "25.00%"}));

    // One day: a list even in graph mode, and no year in the labels.
    r = fillReport(full->catalogue, pairs[1].first, ctx, table);
    expectShown(r, ViewKind::Chart, 11002);
    EXPECT_EQ(column(table, 0), (Strings{"January 02"}));
    EXPECT_EQ(table.dateLabelFormat, "d mmm");
    EXPECT_EQ(table.graphStartTime, "2024:01:02:00:00:00");
    EXPECT_EQ(table.graphStep, "0000:00:00:00:00:00");

    r = fillReport(full->catalogue, pairs[2].second, ctx, table);
    expectMessage(r, table, "This file, directory, or wildcard was not requested at all.", 0);

    // Equal patterns: both pairs show the last entry's series. The run counts both alike, so
    // the first entry's series is emptied to tell them apart.
    engine::Results results = full->run.engine->results();
    ASSERT_EQ(results.trackedDays.size(), 4u);
    results.trackedDays[0].clear();
    const AnalysisData altered{full->run.engine->statistics(), results, 0};
    ctx.analysis = &altered;
    for (Handle h : {pairs[0].first, pairs[3].first}) {
        expectShown(fillReport(full->catalogue, h, ctx, table), ViewKind::Graph, 11002);
        EXPECT_EQ(column(table, 1), (Strings{"1", "1", "3"}));
    }

    // A tree entry that the definition does not know.
    Catalogue stale;
    stale.build(CatalogueFlags{}, {"/gone.html"});
    r = fillReport(stale, stale.trackedPairs()[0].first, ctx, table);
    EXPECT_EQ(r.view, ViewKind::Message);
    EXPECT_FALSE(r.hasContent);
    EXPECT_NE(table.message, "");
}

TEST_F(ReportRows, MessagesThatReplaceATable) {
    const std::string category =
        "You have selected a report category, not a specific report.\nClick the plus sign to "
        "the left of the currently selected item to view a list of available reports under the "
        "current heading. Reports do not have folder icons next to them.";
    for (const char* title : {"Visitor Information", "Access Statistics", "Referrer Information",
                              "Technical Information", "Tracked Files"})
        expectMessage(fill(title), table, category, 11000);

    // Without an analysis every entry says so, categories included.
    FillContext none;
    for (Handle h : full->catalogue.depthFirst()) {
        const FillResult r = fillReport(full->catalogue, h, none, table);
        expectMessage(r, table,
                      "You have not selected a valid report to view.\n\nYou should go to "
                      "File|Switch to Report Picker and choose a report to view.",
                      0);
    }

    // No entry at all: nothing is touched.
    table.message = "untouched";
    EXPECT_FALSE(fillReport(full->catalogue, kNoHandle, context(*full), table).filled);
    EXPECT_EQ(table.message, "untouched");

    // The plain run: no tracked files, no suffixes, no referrers.
    const Catalogue& c = plain->catalogue;
    const FillContext ctx = context(*plain);
    expectMessage(fillReport(c, c.findByTitle("Tracked Files"), ctx, table), table,
                  "You did not specify any files to be tracked. Tracking a file will generate a "
                  "graph of the number of requests for that file over a specified period of "
                  "hours, days, weeks, or months.\n\nTo configure file tracking, click the File "
                  "menu, choose Switch to Report Picker, edit a report, and then press Next "
                  "until you reach the file tracking page.",
                  11000);
    expectMessage(fillReport(c, c.findByTitle("Geographical Location"), ctx, table), table,
                  "There were no items in this view", 0);
    expectMessage(fillReport(c, c.findByTitle("Hyperlink Tree View"), ctx, table), table,
                  "Your log file did not contain referrer information, and the hyperlink tree "
                  "view requires referrer information to operate.\n\nYou should read the "
                  "Tallyweb FAQ in the help file.",
                  0);
    config::ReportDefinition noRoot = plain->run.definition;
    noRoot.Root.clear();
    FillContext withoutRoot = ctx;
    withoutRoot.definition = &noRoot;
    expectMessage(fillReport(c, c.findByTitle("Hyperlink Tree View"), withoutRoot, table), table,
                  "The hyperlink tree view was not generated for this report; to enable it, edit "
                  "the current Report and click on the 'Tree View' tab.\n\nThe hyperlink tree "
                  "view lets you graphically view how people move through your web site.",
                  0);

    // An empty array is a table with headers and no rows, not a message.
    const FillResult empty = fillReport(c, c.findByTitle("Missing Files (404 errors)"), ctx, table);
    expectShown(empty, ViewKind::Chart, 11021);
    EXPECT_EQ(table.rows(), 0);
    EXPECT_EQ(headers(table), (Strings{"Requested URL", "Occurrences"}));
    // One day: the per-day report is a list even in graph mode.
    expectShown(fillReport(c, c.findByTitle("Hits per Day"), ctx, table), ViewKind::Chart, 11015);
    EXPECT_EQ(column(table, 0), (Strings{"March 05"}));
}

// Records the document's help topic at the moment the tutorial opens.
class TutorialPrompter final : public platform::Prompter {
  public:
    explicit TutorialPrompter(const ReportTable& t) : table_(t) {}
    void message(std::string_view, platform::Icon, int) override {}
    void messageWithCaption(std::string_view, std::string_view, platform::Icon) override {}
    platform::Answer askYesNo(std::string_view, platform::Icon) override {
        return platform::Answer::Yes;
    }
    platform::Answer askOkCancel(std::string_view, platform::Icon) override {
        return platform::Answer::Ok;
    }
    platform::Answer askYesNoCancel(std::string_view, platform::Icon) override {
        return platform::Answer::Yes;
    }
    platform::NoticeResult notice(std::string_view text, bool okCancel, int help) override {
        notices.push_back(std::string(text));
        noticeOkCancel = okCancel;
        noticeHelp = help;
        return answer;
    }
    void openHelp(int help) override {
        opened.push_back(help);
        topicWhileOpen = table_.helpTopic;
    }
    std::optional<platform::LoginAnswer> askLogin(std::string_view, std::string_view) override {
        return std::nullopt;
    }
    platform::NoticeResult answer;
    Strings notices;
    bool noticeOkCancel = false;
    int noticeHelp = 0;
    std::vector<int> opened;
    int topicWhileOpen = -1;

  private:
    const ReportTable& table_;
};

TEST_F(ReportRows, HyperlinkTreeAndItsReminder) {
    TutorialPrompter prompter(table);
    platform::MemorySettings settings;
    FillContext ctx = context(*full);
    ctx.prompter = &prompter;
    ctx.settings = &settings;
    const Handle tree = full->catalogue.findByTitle("Hyperlink Tree View");

    prompter.answer = {platform::Answer::Ok, false};
    FillResult r = fillReport(full->catalogue, tree, ctx, table);
    EXPECT_EQ(r.view, ViewKind::HyperlinkTree);
    EXPECT_EQ(r.helpTopic, 135383);
    EXPECT_FALSE(r.hasContent);  // never printed or exported
    EXPECT_EQ(table.title, "Hyperlink Tree View");
    EXPECT_EQ(headers(table), (Strings{"File Name", "Hits from Parent to Page", "Percentage"}));
    EXPECT_EQ(table.rows(), 0);
    EXPECT_EQ(table.sortColumn(), -1);
    ASSERT_EQ(prompter.notices.size(), 1u);
    EXPECT_EQ(prompter.notices[0],
              "The hyperlink tree view lets you graphically view how people move through your "
              "web site. It not only shows the number of clicks from one page to another, not "
              "the total number of hits on a page.\n\nClick 'Ok' to view an introduction to the "
              "hyperlink tree view. It is highly recommended that you view this tutorial.");
    EXPECT_TRUE(prompter.noticeOkCancel);
    EXPECT_EQ(prompter.noticeHelp, 135383);
    EXPECT_EQ(prompter.opened, (std::vector<int>{135383}));
    EXPECT_EQ(prompter.topicWhileOpen, 0);
    EXPECT_EQ(table.helpTopic, 135383);  // restored
    EXPECT_EQ(settings.getInt("", "DoNotRemindHyperlink", -1), 0);

    // Cancel with the box ticked: no tutorial, and never again.
    prompter.answer = {platform::Answer::Cancel, true};
    fillReport(full->catalogue, tree, ctx, table);
    EXPECT_EQ(prompter.opened.size(), 1u);
    EXPECT_EQ(settings.getInt("", "DoNotRemindHyperlink", 0), 1);
    fillReport(full->catalogue, tree, ctx, table);
    EXPECT_EQ(prompter.notices.size(), 2u);

    // The walks never remind.
    settings.setInt("", "DoNotRemindHyperlink", 0);
    ctx.exportWalk = true;
    EXPECT_EQ(fillReport(full->catalogue, tree, ctx, table).view, ViewKind::HyperlinkTree);
    ctx.exportWalk = false;
    ctx.printWalk = true;
    expectMessage(fillReport(full->catalogue, tree, ctx, table), table,
                  "You cannot view the Hyperlink Tree View in chart mode.\r\nIn addition, you "
                  "cannot print or export the Hyperlink Tree View.",
                  0);
    EXPECT_EQ(prompter.notices.size(), 2u);
    // Without a prompter or settings there is no reminder either.
    ctx.printWalk = false;
    ctx.settings = nullptr;
    EXPECT_EQ(fillReport(full->catalogue, tree, ctx, table).view, ViewKind::HyperlinkTree);
    EXPECT_EQ(prompter.notices.size(), 2u);
}

TEST_F(ReportRows, EveryEntryFillsAndNoReferrerRule) {
    // Every entry of the tree gives a table or a message, and a table always has its texts.
    const FillContext ctx = context(*full);
    for (Handle h : full->catalogue.depthFirst()) {
        const CatalogueEntry* e = full->catalogue.entry(h);
        const FillResult r = fillReport(full->catalogue, h, ctx, table);
        EXPECT_TRUE(r.filled) << e->title;
        if (r.view == ViewKind::Message) {
            EXPECT_NE(table.message, "") << e->title;
        } else {
            EXPECT_NE(table.title, "") << e->title;
            EXPECT_NE(table.description, "") << e->title;
            EXPECT_GT(table.columns(), 0) << e->title;
            EXPECT_EQ(r.helpTopic, table.helpTopic) << e->title;
        }
    }

    // A referrer of exactly "-" reads "No referrer" in Referring Pages and in both grouped
    // reports, the missing URLs of 404 error referrers included.
    static const std::string dash = "-", page = "/p.html", dashed = "-x";
    engine::Results results = full->run.engine->results();
    results.referrerUrls = {{engine::borrowed(dash), 7}, {engine::borrowed(dashed), 1}};
    results.pagesByReferrer = {{engine::borrowed(page),
                                {},
                                3,
                                {{engine::borrowed(dash), 2}, {engine::borrowed(dashed), 1}}}};
    results.brokenLinksByPage = {{engine::borrowed(dash), {}, 2, {{engine::borrowed(dash), 2}}}};
    const AnalysisData altered{full->run.engine->statistics(), results, 0};
    FillContext alteredCtx = ctx;
    alteredCtx.analysis = &altered;
    const Catalogue& c = full->catalogue;

    fillReport(c, c.findByTitle("Referring Pages"), alteredCtx, table);
    EXPECT_EQ(column(table, 0), (Strings{"No referrer", "-x"}));
    fillReport(c, c.findByTitle("Individual Page Referrers"), alteredCtx, table);
    EXPECT_EQ(column(table, 0), (Strings{"/p.html", "No referrer", "-x"}));
    EXPECT_EQ(column(table, 1), (Strings{"3", "2", "1"}));
    fillReport(c, c.findByTitle("404 error referrers"), alteredCtx, table);
    EXPECT_EQ(column(table, 0), (Strings{"No referrer", "No referrer"}));
    // Other text reports keep "-" as it is.
    results.referringSites = {{engine::borrowed(dash), 1}};
    fillReport(c, c.findByTitle("Referring Domains"), alteredCtx, table);
    EXPECT_EQ(column(table, 0), (Strings{"-"}));
}

TEST(RecentAccesses, RingOrderWrapAndTimeless) {
    setenv("TZ", "UTC", 1);
    tzset();
    engine::Statistics stats(1 << 16);
    engine::StatisticsOptions options;
    options.totalBytes = 1000;
    options.lastItems = 4;
    stats.initialise(options);
    static const std::string names[] = {"a.example", "b.example", "c.example", "d.example",
                                        "e.example"};
    engine::VisitorKind::Item items[5];
    for (int i = 0; i < 5; ++i) {
        items[i].host = engine::borrowed(names[i]);
        items[i].hits = static_cast<std::uint64_t>(i + 1);
        items[i].visits = 1;
        items[i].lastSeen = i * 3600;
    }
    const engine::Results results;
    const AnalysisData data{stats, results, 0};
    FillContext ctx;
    ctx.analysis = &data;
    Catalogue c;
    c.build(CatalogueFlags{}, {});
    const Handle recent = c.findByTitle("Recent Accesses");
    ReportTable t;

    // Two of four slots used: the empty ones are skipped; a time of 0 shows "-".
    stats.recent.offer(&items[0], 0);
    stats.recent.offer(&items[1], 3600);
    fillReport(c, recent, ctx, t);
    EXPECT_EQ(column(t, 0), (Strings{"a.example", "b.example"}));
    EXPECT_EQ(column(t, 3), (Strings{"-", "January, 01 1970 01:00:00 AM"}));
    EXPECT_EQ(keys(t), (std::vector<std::int64_t>{0, 3600}));

    // Wrapped: the slot the next write goes to holds the oldest entry.
    for (int i = 2; i < 5; ++i) stats.recent.offer(&items[i], items[i].lastSeen);
    ASSERT_EQ(stats.recent.writeIndex(), 1u);
    fillReport(c, recent, ctx, t);
    EXPECT_EQ(column(t, 0), (Strings{"b.example", "c.example", "d.example", "e.example"}));
    EXPECT_EQ(column(t, 1), (Strings{"2", "3", "4", "5"}));
}

}  // namespace
}  // namespace tw::presentation

namespace tw::presentation {
namespace {

std::string helpFile(std::string_view name) {
    std::ifstream in(std::filesystem::path(TALLYWEB_DATA_DIR) / "help" / std::string(name));
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A topic's page must exist, and the place on it too: a missing anchor silently opens the top
// of a long page.
void expectHelpFor(int topic) {
    const HelpPage page = helpPage(topic);
    const std::string text = helpFile(page.file);
    ASSERT_FALSE(text.empty()) << topic << ": " << page.file;
    if (!page.anchor.empty()) {
        EXPECT_NE(text.find("id=\"" + std::string(page.anchor) + "\""), std::string::npos)
            << topic << ": " << page.file << "#" << page.anchor;
    }
}

TEST_F(ReportRows, EveryReportAndEveryPromptHasItsHelpPage) {
    std::set<int> topics;
    for (const Handle h : full->catalogue.depthFirst()) {
        FillContext ctx = context(*full);
        const FillResult r = fillReport(full->catalogue, h, ctx, table);
        topics.insert(r.helpTopic);
    }
    EXPECT_GT(topics.size(), 20u) << "the reports have topics of their own";
    namespace help = platform::help;
    for (int t : {help::Contents, help::NothingAccepted, help::InsufficientFields,
                  help::HyperlinkTreeIntro, help::LogFormats, help::CommandLine,
                  help::ReportWizardName, help::ReportWizardLocal, help::ReportWizardFtp,
                  help::ReportWizardHttp, help::ReportWizardSite, help::ReportWizardDns,
                  help::ReportWizardTracking, help::ReportWizardTree, help::ReportWizardFilters,
                  help::ReportWizardExport, help::FilterWizard, help::ExportFormat,
                  help::ExportHtml, help::ExportWord, help::ExportCsv, help::ExportDestination})
        topics.insert(t);
    for (int kind = 0; kind < 13; ++kind) topics.insert(help::FilterKind + kind);
    for (const int t : topics) expectHelpFor(t);
    // Each filter kind has a place of its own, and an unknown topic still opens something.
    std::set<std::string_view> kinds;
    for (int kind = 0; kind < 13; ++kind) kinds.insert(helpPage(help::FilterKind + kind).anchor);
    EXPECT_EQ(kinds.size(), 13u);
    EXPECT_EQ(helpPage(987654).file, "index.html");
    EXPECT_EQ(helpPage(11001).anchor, "general");
}

}  // namespace
}  // namespace tw::presentation
