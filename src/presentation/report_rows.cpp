#include "presentation/report_rows.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <new>
#include <string>
#include <string_view>

#include "engine/user_agents.h"
#include "platform/strings.h"

namespace tw::presentation {
namespace {

using engine::Results;
using engine::Statistics;
using K = ColumnKind;

// Texts that replace a table.
constexpr std::string_view kNoAnalysis =
    "You have not selected a valid report to view.\n\nYou should go to File|Switch to Report "
    "Picker and choose a report to view.";
constexpr std::string_view kCategory =
    "You have selected a report category, not a specific report.\nClick the plus sign to the "
    "left of the currently selected item to view a list of available reports under the current "
    "heading. Reports do not have folder icons next to them.";
constexpr std::string_view kNoTrackedFiles =
    "You did not specify any files to be tracked. Tracking a file will generate a graph of the "
    "number of requests for that file over a specified period of hours, days, weeks, or "
    "months.\n\nTo configure file tracking, click the File menu, choose Switch to Report Picker, "
    "edit a report, and then press Next until you reach the file tracking page.";
constexpr std::string_view kTreeWhilePrinting =
    "You cannot view the Hyperlink Tree View in chart mode.\r\nIn addition, you cannot print or "
    "export the Hyperlink Tree View.";
constexpr std::string_view kTreeNotGenerated =
    "The hyperlink tree view was not generated for this report; to enable it, edit the current "
    "Report and click on the 'Tree View' tab.\n\nThe hyperlink tree view lets you graphically "
    "view how people move through your web site.";
constexpr std::string_view kTreeNeedsReferrers =
    "Your log file did not contain referrer information, and the hyperlink tree view requires "
    "referrer information to operate.\n\nYou should read the Tallyweb FAQ in the help file.";
constexpr std::string_view kTreeReminder =
    "The hyperlink tree view lets you graphically view how people move through your web site. "
    "It not only shows the number of clicks from one page to another, not the total number of "
    "hits on a page.\n\nClick 'Ok' to view an introduction to the hyperlink tree view. It is "
    "highly recommended that you view this tutorial.";
constexpr std::string_view kNoItems = "There were no items in this view";
constexpr std::string_view kNotRequested =
    "This file, directory, or wildcard was not requested at all.";
constexpr std::string_view kTrackedMissing =
    "Tallyweb could not find the statistics of this tracked file. This is an internal error; "
    "generating the report again should correct it.";
constexpr std::string_view kNoMemory =
    "There is not enough memory to show this report. Close other programs and select the report "
    "again.";

// Descriptions.
constexpr std::string_view kNothing = "nothing";
constexpr std::string_view kGeneralText =
    "This report gives you an overview of your web site and contains miscellaneous information.";
constexpr std::string_view kDomainText =
    "This report displays the domain names of the visitors to your web site. When your web "
    "server does not resolve visitors' addresses and reverse DNS lookups are not enabled for "
    "this report, only IP addresses are shown. An IP address is the numerical address of a "
    "computer on the Internet, such as 192.0.2.44.";
constexpr std::string_view kGeographyText =
    "This report displays the countries your visitors come from. The country is derived from "
    "the suffix of each visitor's domain name: .com and .us count as the United States, .uk as "
    "the United Kingdom, .de as Germany, and so on. This is not exact, since the users of an "
    "international provider appear under the provider's home country.";
constexpr std::string_view kBrowserText =
    "This report displays information about the web browsers that visitors use to access your "
    "web site.";
constexpr std::string_view kOsText =
    "This report displays information on the operating systems of visitors to your web site.";
constexpr std::string_view kPagesText =
    "This report displays the most requested pages on your web site. Pages are defined as files "
    "that end in one of the following extensions: .htm, .html, or .asp.";
constexpr std::string_view kFilesText =
    "This report displays the most requested files on your web site. 'Files' are defined as "
    "files that are not Images or Pages.";
constexpr std::string_view kImagesText =
    "This report displays the most requested files on your web site. Images are defined as "
    "files that end in one of the following extensions: .gif, .jpg, or .jpeg.";
constexpr std::string_view kDirectoriesText =
    "This report displays the most requested directories on your web site. A directory is "
    "counted when a visitor requests the directory itself (such as "
    "http://www.example.com/products/) rather than a file in it (such as "
    "http://www.example.com/products/list.html).";
constexpr std::string_view kHitsPerDayText =
    "This report displays the number of hits in the date and time period spanned by your log "
    "files.";
constexpr std::string_view kBandwidthPerDayText =
    "This report displays the number of bytes transferred per day over the period spanned by "
    "your log files.";
constexpr std::string_view kReferringDomainsText =
    "This report displays information about the domains people come from when visiting your "
    "site. Referring domains contain sites that link to your web site.";
constexpr std::string_view kReferringPagesText =
    "This report displays information about the pages people come from when visiting your site. "
    "Referring pages link to your web site.";
constexpr std::string_view kPageReferrersText =
    "This report displays the pages users most frequently visit, and the web sites that most "
    "frequently refer people to those pages (i.e. link to those pages). The names of the pages "
    "requested are first, with the linking web sites below.";
constexpr std::string_view kEntryPagesText =
    "The pages where visitors most frequently enter your web site. In other words, the pages on "
    "your site that are most frequently linked to.";
constexpr std::string_view kPhrasesText =
    "This report displays the phrases visitors most frequently use to search for your web site.";
constexpr std::string_view kKeywordsText =
    "This report displays the keywords visitors most frequently used to search for your site. "
    "Keywords are single words within search phrases. This report is different from the "
    "\"Search Engine Phrases\" report in that it breaks down the individual words in the search "
    "query; for example, the \"Phrases\" report would record a search for \"Tallyweb "
    "Software\", while the Keywords report would record \"Tallyweb\" and \"Software\".";
constexpr std::string_view kEnginesText =
    "This report displays the total number of hits received from each of the most popular "
    "search engines. You can use this report to figure out which search engines you should "
    "concentrate your efforts on (i.e., which search engines are driving the least traffic your "
    "way).";
constexpr std::string_view kTrackedText =
    "This report contains the history of a file, directory, or wildcard over a specified period "
    "of time.";
constexpr std::string_view kMissingText =
    "This report displays a record of any 404 errors recorded. 404 errors occur when the file "
    "requested was not found.";
constexpr std::string_view kBrokenLinksText =
    "This reports displays both 404 server errors (missing pages), and the web sites that "
    "linked to these erroneous locations. The names of the pages requested are first, with the "
    "linking web sites below.";
constexpr std::string_view kErrorsText =
    "This report displays all error messages except 404 file not found errors, which are "
    "reserved their own report.";
constexpr std::string_view kTreeText =
    "The hyperlink tree view lets you graphically view how people move through your web site.";

constexpr std::string_view kBrowserFamiliesText =
    "This report displays the browsers visitors use, by family and major version, as browsers "
    "name themselves today. Robots and crawlers are left out: they have a report of their own.";
constexpr std::string_view kSystemsText =
    "This report displays the operating systems of visitors to your web site, by family and "
    "version. Robots and crawlers are left out: they have a report of their own.";
constexpr std::string_view kDevicesText =
    "This report displays the kinds of device visitors use: desktop computers, mobile phones, "
    "tablets, robots and other devices.";
constexpr std::string_view kRobotsText =
    "This report displays the robots and crawlers that requested files of your web site: search "
    "engines' crawlers, feed readers, AI crawlers and other programs that fetch pages for "
    "themselves rather than for a person reading them.";

constexpr std::string_view kHitsPerDayAxis = "Hits per day";
constexpr std::string_view kBytesPerDayAxis = "Bandwidth (bytes) per day";

constexpr int kHelpCategory = 11000;
constexpr int kHelpTree = 135383;

// Fixed row orders of the share reports; each label names the class whose counter it shows.
constexpr std::array<std::string_view, engine::kBrowserClasses> kBrowserRows = {
    "IE 3.x", "IE 4.x", "Navigator 2.x", "Navigator 3.x", "Navigator 4.x", "NCSA Mosaic",
    "Lynx",   "Other",  "IE 2.x",        "IE 5.x",        "Navigator 5.x", "Opera"};
constexpr std::array<std::string_view, engine::kOsClasses> kOsRows = {
    "Windows 3.1", "Windows 95", "Windows 98", "Windows NT", "Windows CE", "Macintosh", "OS/2",
    "Other",       "Linux",      "WebTV",      "OSF1",       "IRIX",       "SunOS",     "HP-UX"};
constexpr std::array<std::string_view, 7> kWeekdays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                       "Thursday", "Friday", "Saturday"};

// Row keys are signed; a count beyond their range sorts as the largest rather than as a
// negative one.
std::int64_t rowKey(std::uint64_t v) {
    return v > static_cast<std::uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<std::int64_t>(v);
}

// Log times and day numbers are seconds since 1970 in the log's own frame, which is read as
// UTC: formatting them in the machine's zone would move days across midnight.
std::string frameTime(std::int64_t seconds, const char* fmt) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    if (!gmtime_r(&t, &tm)) return {};
    char buf[128];
    const std::size_t n = std::strftime(buf, sizeof buf, fmt, &tm);
    return std::string(buf, n);
}

// What the rules could not tell, when many distinct agents were seen: the rarest ones were
// only checked for the words robots sign with.
std::string clientDescription(std::string_view text, const engine::ClientReports& c) {
    std::string out(text);
    if (c.classifiedAgents < c.distinctAgents)
        out += platform::format(
            " Of the %llu distinct user agents in the logs, the %llu most requested were "
            "classified by their full rules; the rest count as Other, or as robots when they "
            "sign as one.",
            static_cast<unsigned long long>(c.distinctAgents),
            static_cast<unsigned long long>(c.classifiedAgents));
    return out;
}

std::string_view orNoReferrer(std::string_view text) {
    return text == "-" ? std::string_view("No referrer") : text;
}

std::string_view trimmed(std::string_view s) {
    constexpr std::string_view kBlank = " \t\r\n\f\v";
    const std::size_t first = s.find_first_not_of(kBlank);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(kBlank) - first + 1);
}

// The counter of the class whose label text is `label`, among `ids` (the class labels in class
// order); 0 when no class bears it.
template <std::size_t N>
std::uint64_t counterFor(std::string_view label, const std::array<int, N>& ids,
                         const std::array<std::uint64_t, N>& counters) {
    for (std::size_t i = 0; i < N; ++i)
        if (platform::text(ids[i]) == label) return counters[i];
    return 0;
}

// Step of the date axis: a tenth of the span, as months of 30 days, days, hours, minutes and
// seconds, whole years left out.
std::string graphStep(std::int64_t oldestDay, std::int64_t newestDay) {
    std::int64_t s = (newestDay - oldestDay) * 86400 / 10;
    s %= 365LL * 86400;
    const auto months = static_cast<int>(s / (30LL * 86400));
    s %= 30LL * 86400;
    const auto days = static_cast<int>(s / 86400);
    s %= 86400;
    const auto hours = static_cast<int>(s / 3600);
    s %= 3600;
    const auto minutes = static_cast<int>(s / 60);
    const auto seconds = static_cast<int>(s % 60);
    return platform::format("0000:%.2d:%.2d:%.2d:%.2d:%.2d", months, days, hours, minutes, seconds);
}

class Filler {
  public:
    Filler(const FillContext& context, ReportTable& table) : ctx_(context), t_(table) {}

    FillResult fill(const CatalogueEntry& e);

  private:
    FillResult message(std::string_view text, int help) {
        t_.setLayout(0, 0, -1);
        t_.message.assign(text);
        t_.helpTopic = help;
        return {true, ViewKind::Message, help, false};
    }
    // Sets the layout and the report's texts; false when the table could not be had.
    bool layout(int columns, std::size_t rows, int sort, std::string_view title,
                std::string_view description, int help) {
        if (rows > static_cast<std::size_t>(INT32_MAX)) return false;
        if (!t_.setLayout(columns, static_cast<int>(rows), sort)) return false;
        t_.title.assign(title);
        t_.description.assign(description);
        t_.helpTopic = help;
        t_.message.clear();
        return true;
    }
    FillResult shown(ViewKind view) { return {true, view, t_.helpTopic, true}; }
    FillResult graphOrChart() { return shown(ctx_.chartMode ? ViewKind::Chart : ViewKind::Graph); }
    FillResult noMemory() { return message(kNoMemory, 0); }

    FillResult hyperlinkTree();
    void remindOfTree();
    FillResult general();
    FillResult domainNames();
    FillResult recentAccesses();
    FillResult geography();
    template <std::size_t N>
    FillResult shares(std::string_view title, std::string_view header, std::string_view description,
                      int help, const std::array<std::string_view, N>& rows,
                      const std::array<int, N>& ids, const std::array<std::uint64_t, N>& counters);
    FillResult files(const std::vector<engine::RequestedFileKind::Item>& items,
                     std::string_view title, std::string_view header, std::string_view description,
                     int help, bool withPartial);
    FillResult days(const std::vector<engine::DayKind::Item>& days, bool bytes,
                    std::string_view title, std::string_view header, std::string_view description,
                    int help, int sort);
    FillResult hours();
    FillResult weekdays();
    FillResult texts(const std::vector<engine::TextHitsKind::Item>& items, std::string_view title,
                     std::string_view header, std::string_view description, int help,
                     bool referrers);
    FillResult grouped(const std::vector<engine::GroupedItem>& groups, std::string_view title,
                       std::string_view description, int sort, int help, bool parentReferrers);
    FillResult phrases();
    FillResult keywords();
    FillResult engines();
    FillResult tracked(const CatalogueEntry& e);
    FillResult missing();
    FillResult errors();
    FillResult clientShares(const std::vector<engine::ClientRow>& rows, std::uint64_t total,
                            std::string_view title, std::string_view header,
                            std::string_view description, int help);
    FillResult robots();

    const Statistics& stats() const { return ctx_.analysis->statistics; }
    const Results& results() const { return ctx_.analysis->results; }

    const FillContext& ctx_;
    ReportTable& t_;
};

FillResult Filler::fill(const CatalogueEntry& e) {
    t_.graphStyle = GraphStyle::Bars;
    if (!ctx_.analysis) return message(kNoAnalysis, 0);
    using R = ReportId;
    switch (e.report) {
        case R::VisitorInformation:
        case R::AccessStatistics:
        case R::ReferrerInformation:
        case R::TechnicalInformation:
            return message(kCategory, kHelpCategory);
        case R::TrackedFiles:
            return message(e.children.empty() ? kNoTrackedFiles : kCategory, kHelpCategory);
        case R::HyperlinkTree:
            return hyperlinkTree();
        case R::GeneralStatistics:
            return general();
        case R::DomainName:
            return domainNames();
        case R::RecentAccesses:
            return recentAccesses();
        case R::GeographicalLocation:
            return geography();
        case R::Browser:
            return shares("Browser", "Browser", kBrowserText, 11005, kBrowserRows,
                          engine::kBrowserLabels, stats().browsers);
        case R::OperatingSystem:
            return shares("Visiting Operating Systems", "Operating System", kOsText, 11006, kOsRows,
                          engine::kOsLabels, stats().operatingSystems);
        case R::MostRequestedPages:
            return files(results().pages, "Most Requested Pages", "Page Name", kPagesText, 11012,
                         false);
        case R::MostRequestedFiles:
            return files(results().otherFiles, "Most Requested Files", "File Name", kFilesText,
                         11013, true);
        case R::MostRequestedImages:
            return files(results().images, "Most Requested Images", "Image File Name", kImagesText,
                         11023, true);
        case R::MostRequestedDirectories:
            return files(results().directories, "Most Requested Directories", "Directory name",
                         kDirectoriesText, 11014, false);
        case R::HitsPerDay:
            return days(results().days, false, "Hits over Time Period", "Date/Time",
                        kHitsPerDayText, 11015, 1);
        case R::BandwidthPerDay:
            return days(results().days, true, "Bandwidth Over Time Period", "Date/Time",
                        kBandwidthPerDayText, 11017, 1);
        case R::MostPopularHour:
            return hours();
        case R::MostPopularDayOfWeek:
            return weekdays();
        case R::ReferringDomains:
            return texts(results().referringSites, "Referring Domains", "Referring Domain",
                         kReferringDomainsText, 11007, false);
        case R::ReferringPages:
            return texts(results().referrerUrls, "Referring Pages", "Referring Page",
                         kReferringPagesText, 11008, true);
        case R::IndividualPageReferrers:
            return grouped(results().pagesByReferrer, "Individual Page Referrers",
                           kPageReferrersText, -1, 11024, false);
        case R::SiteEntryPages:
            return texts(results().referredPages, "Site Entry Pages", "Entry Page", kEntryPagesText,
                         11009, false);
        case R::SearchEnginePhrases:
            return phrases();
        case R::SearchEngineKeywords:
            return keywords();
        case R::SearchEnginePerformance:
            return engines();
        case R::TrackedHits:
        case R::TrackedBandwidth:
            return tracked(e);
        case R::MissingFiles:
            return missing();
        case R::BrokenLinkReferrers:
            return grouped(results().brokenLinksByPage, "404 error referrers", kBrokenLinksText, 1,
                           11025, true);
        case R::MiscellaneousErrors:
            return errors();
        case R::BrowserFamilies:
        case R::OperatingSystems:
        case R::Devices:
        case R::RobotsAndCrawlers: {
            const engine::ClientReports& c = results().clients;
            if (!c.rulesRead) return message(c.problem, 0);
            const std::uint64_t people = c.agentHits - c.robotHits;
            if (e.report == R::BrowserFamilies)
                return clientShares(c.browsers, people, "Browser Families", "Browser",
                                    kBrowserFamiliesText, 11005);
            if (e.report == R::OperatingSystems)
                return clientShares(c.systems, people, "Operating Systems", "Operating System",
                                    kSystemsText, 11006);
            if (e.report == R::Devices)
                return clientShares(c.devices, c.agentHits, "Devices", "Device", kDevicesText,
                                    11005);
            return robots();
        }
    }
    return message(kNoAnalysis, 0);
}

FillResult Filler::hyperlinkTree() {
    const bool root = ctx_.definition && !ctx_.definition->Root.empty();
    if (!root) return message(kTreeNotGenerated, 0);
    if (!stats().counters.referrersSeen) return message(kTreeNeedsReferrers, 0);
    FillResult r;
    if (ctx_.printWalk) {
        r = message(kTreeWhilePrinting, 0);
    } else {
        if (!layout(3, 0, -1, "Hyperlink Tree View", kTreeText, kHelpTree)) return noMemory();
        t_.setHeaders({"File Name", "Hits from Parent to Page", "Percentage"});
        t_.setKinds({K::Text, K::Integer, K::Integer});
        // The drawing can be neither printed nor exported.
        r = {true, ViewKind::HyperlinkTree, kHelpTree, false};
    }
    remindOfTree();
    return r;
}

void Filler::remindOfTree() {
    // Neither walk shows the tree to anyone, so neither offers its tutorial.
    if (ctx_.exportWalk || ctx_.printWalk || !ctx_.prompter || !ctx_.settings) return;
    if (ctx_.settings->getInt("", kDoNotRemindHyperlink, 0) != 0) return;
    const platform::NoticeResult answer = ctx_.prompter->notice(kTreeReminder, true, kHelpTree);
    if (answer.answer == platform::Answer::Ok) {
        // The help system asks the document for its topic while the tutorial opens.
        const int saved = t_.helpTopic;
        t_.helpTopic = 0;
        ctx_.prompter->openHelp(kHelpTree);
        t_.helpTopic = saved;
    }
    ctx_.settings->setInt("", kDoNotRemindHyperlink, answer.doNotRemind ? 1 : 0);
}

FillResult Filler::general() {
    const std::vector<engine::GeneralRow> rows =
        engine::generalStatistics(results(), stats().counters, ctx_.analysis->runStart);
    if (!layout(2, rows.size(), 0, "General Statistics", kGeneralText, 11001)) return noMemory();
    t_.setHeaders({"Item", "Value"});
    t_.setKinds({K::Text, K::Text});
    for (std::size_t i = 0; i < rows.size(); ++i)
        t_.setLabelValue(static_cast<int>(i), rows[i].label, rows[i].value);
    return shown(ViewKind::Chart);
}

FillResult Filler::domainNames() {
    const auto& items = results().visitors;
    if (!layout(4, items.size(), 1, "Visiting Domain Names", kDomainText, 11004)) return noMemory();
    t_.setHeaders({"Domain Name", "Hits", "Users", "Bandwidth"});
    t_.setKinds({K::Text, K::Integer, K::Integer, K::ByKey});
    for (std::size_t i = 0; i < items.size(); ++i) {
        const int r = static_cast<int>(i);
        t_.setText(r, 0, items[i].host.view());
        t_.setCount(r, 1, items[i].hits);
        t_.setCount(r, 2, items[i].visits);
        t_.setText(r, 3, engine::byteAmountText(items[i].bytes));
        t_.setValue(r, 3, CellValue::ofBytes(items[i].bytes));
        t_.setKey(r, rowKey(items[i].bytes));
    }
    return shown(ViewKind::Chart);
}

FillResult Filler::recentAccesses() {
    const std::vector<const engine::VisitorKind::Item*> visitors = stats().recent.inOrder();
    if (!layout(4, visitors.size(), 1, "Recent Accesses", kDomainText, 11004)) return noMemory();
    t_.setHeaders({"Domain Name", "Hits", "Users", "Time of Last Access"});
    t_.setKinds({K::Text, K::Integer, K::Integer, K::ByKeyOrdered});
    for (std::size_t i = 0; i < visitors.size(); ++i) {
        const int r = static_cast<int>(i);
        const engine::VisitorKind::Item& v = *visitors[i];
        t_.setText(r, 0, v.host.view());
        t_.setCount(r, 1, v.hits);
        t_.setCount(r, 2, v.visits);
        t_.setText(
            r, 3,
            v.lastSeen == 0 ? std::string("-") : frameTime(v.lastSeen, "%B, %d %Y %I:%M:%S %p"));
        if (v.lastSeen != 0) t_.setValue(r, 3, CellValue::ofTime(v.lastSeen));
        t_.setKey(r, v.lastSeen);
    }
    return shown(ViewKind::Chart);
}

FillResult Filler::geography() {
    const auto& items = results().domainSuffixes;
    if (items.empty()) return message(kNoItems, 0);
    if (!layout(3, items.size(), 1, "Geographical Location", kGeographyText, 11003))
        return noMemory();
    t_.setHeaders({"Domain Name", "Hits", "Percentage"});
    t_.setKinds({K::Text, K::Integer, K::Integer});
    t_.graphStyle = GraphStyle::Pie;
    std::uint64_t total = 0;
    for (const auto& s : items) total += s.hits;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const int r = static_cast<int>(i);
        const std::string_view suffix = items[i].text.view();
        t_.setText(r, 0, ctx_.suffixNames ? ctx_.suffixNames->label(suffix) : std::string(suffix));
        t_.setCount(r, 1, items[i].hits);
        t_.setPercentage(r, 2, items[i].hits, total);
    }
    return graphOrChart();
}

template <std::size_t N>
FillResult Filler::shares(std::string_view title, std::string_view header,
                          std::string_view description, int help,
                          const std::array<std::string_view, N>& rows,
                          const std::array<int, N>& ids,
                          const std::array<std::uint64_t, N>& counters) {
    if (!layout(3, N, 1, title, description, help)) return noMemory();
    t_.setHeaders({header, "Hits", "Percentage"});
    t_.setKinds({K::Text, K::Integer, K::Integer});
    t_.graphStyle = GraphStyle::Pie;
    std::uint64_t total = 0;
    for (std::uint64_t c : counters) total += c;
    for (std::size_t i = 0; i < N; ++i) {
        const int r = static_cast<int>(i);
        const std::uint64_t hits = counterFor(rows[i], ids, counters);
        t_.setText(r, 0, rows[i]);
        t_.setCount(r, 1, hits);
        t_.setPercentage(r, 2, hits, total);
    }
    return graphOrChart();
}

FillResult Filler::files(const std::vector<engine::RequestedFileKind::Item>& items,
                         std::string_view title, std::string_view header,
                         std::string_view description, int help, bool withPartial) {
    const int columns = withPartial ? 4 : 3;
    if (!layout(columns, items.size(), 1, title, description, help)) return noMemory();
    if (withPartial) {
        t_.setHeaders({header, "Hits", "Incomplete Requests", "Bandwidth"});
        t_.setKinds({K::Text, K::Integer, K::Integer, K::ByKey});
    } else {
        t_.setHeaders({header, "Hits", "Bandwidth"});
        t_.setKinds({K::Text, K::Integer, K::ByKey});
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        const int r = static_cast<int>(i);
        int c = 0;
        t_.setText(r, c++, items[i].url.view());
        t_.setCount(r, c++, items[i].hits);
        if (withPartial) t_.setCount(r, c++, items[i].partial);
        t_.setText(r, c, engine::byteAmountText(items[i].bytes));
        t_.setValue(r, c, CellValue::ofBytes(items[i].bytes));
        t_.setKey(r, rowKey(items[i].bytes));
    }
    return shown(ViewKind::Chart);
}

FillResult Filler::days(const std::vector<engine::DayKind::Item>& items, bool bytes,
                        std::string_view title, std::string_view header,
                        std::string_view description, int help, int sort) {
    if (!layout(3, items.size(), sort, title, description, help)) return noMemory();
    t_.setHeaders({header, bytes ? "Bandwidth (in bytes)" : "Hits", "Percentage"});
    t_.setKinds({K::ByKeyOrdered, K::Integer, K::Integer});
    t_.graphStyle = GraphStyle::Time;
    t_.yAxisTitle.assign(bytes ? kBytesPerDayAxis : kHitsPerDayAxis);
    t_.dateLabelFormat = "d mmm";
    if (items.empty()) return shown(ViewKind::Chart);

    // The array holds the latest day first; the rows run oldest first.
    const std::int64_t oldest = items.back().day, newest = items.front().day;
    const bool yearsDiffer = frameTime(oldest * 86400, "%Y") != frameTime(newest * 86400, "%Y");
    const char* labelFormat = yearsDiffer ? "%B %d, %Y" : "%B %d";
    if (yearsDiffer) t_.dateLabelFormat += ", yy";
    t_.graphStartTime = frameTime(oldest * 86400, "%Y:%m:%d:%H:%M:%S");
    t_.graphStep = graphStep(oldest, newest);

    std::uint64_t total = 0;
    for (const auto& d : items) total = engine::saturatingAdd(total, bytes ? d.bytes : d.hits);
    const std::size_t n = items.size();
    for (std::size_t i = 0; i < n; ++i) {
        const engine::DayKind::Item& d = items[n - 1 - i];
        const int r = static_cast<int>(i);
        const std::uint64_t value = bytes ? d.bytes : d.hits;
        t_.setText(r, 0, frameTime(d.day * 86400, labelFormat));
        t_.setValue(r, 0, CellValue::ofDate(d.day * 86400));
        t_.setCount(r, 1, value);
        if (bytes) t_.setValue(r, 1, CellValue::ofBytes(value));
        t_.setPercentage(r, 2, value, total);
        t_.setKey(r, d.day);
    }
    // One point makes no line.
    if (n <= 1) return shown(ViewKind::Chart);
    return graphOrChart();
}

FillResult Filler::hours() {
    const auto& buckets = stats().hours;
    if (!layout(3, buckets.size(), 1, "Most Popular Hour of Day", kNothing, 11019))
        return noMemory();
    t_.setHeaders({"Hour", "Hits", "Percentage"});
    t_.setKinds({K::ByKeyOrdered, K::Integer, K::Integer});
    t_.graphStyle = GraphStyle::Bars;
    t_.yAxisTitle = "Hits";
    std::uint64_t total = 0;
    for (std::uint64_t h : buckets) total += h;
    for (int r = 0; r < 24; ++r) {
        std::string label;
        if (r == 0)
            label = "12 AM";
        else if (r == 12)
            label = "12 PM";
        else {
            // The bars are too narrow for the suffix.
            label = std::to_string(r < 12 ? r : r - 12);
            if (ctx_.chartMode) label += r < 12 ? " AM" : " PM";
        }
        const std::uint64_t hits = buckets[static_cast<std::size_t>(r)];
        t_.setText(r, 0, label);
        t_.setValue(r, 0, CellValue::ofInteger(r));
        t_.setCount(r, 1, hits);
        t_.setPercentage(r, 2, hits, total);
        t_.setKey(r, r);
    }
    return graphOrChart();
}

FillResult Filler::weekdays() {
    const auto& buckets = stats().weekdays;
    if (!layout(3, buckets.size(), 1, "Most Popular Day of Week", kNothing, 11020))
        return noMemory();
    t_.setHeaders({"Day of Week", "Hits", "Percentage"});
    t_.setKinds({K::ByKey, K::Integer, K::ByKeyOrdered});
    t_.graphStyle = GraphStyle::Bars;
    t_.yAxisTitle = "Hits";
    std::uint64_t total = 0;
    for (std::uint64_t h : buckets) total += h;
    for (int r = 0; r < 7; ++r) {
        const std::uint64_t hits = buckets[static_cast<std::size_t>(r)];
        t_.setText(r, 0, kWeekdays[static_cast<std::size_t>(r)]);
        t_.setCount(r, 1, hits);
        t_.setPercentage(r, 2, hits, total);
        t_.setKey(r, r);
    }
    return graphOrChart();
}

FillResult Filler::texts(const std::vector<engine::TextHitsKind::Item>& items,
                         std::string_view title, std::string_view header,
                         std::string_view description, int help, bool referrers) {
    if (!layout(2, items.size(), 1, title, description, help)) return noMemory();
    t_.setHeaders({header, "Occurrences"});
    t_.setKinds({K::Text, K::Integer});
    for (std::size_t i = 0; i < items.size(); ++i) {
        const int r = static_cast<int>(i);
        const std::string_view text = items[i].text.view();
        t_.setText(r, 0, referrers ? orNoReferrer(text) : text);
        t_.setCount(r, 1, items[i].hits);
    }
    return shown(ViewKind::Chart);
}

FillResult Filler::grouped(const std::vector<engine::GroupedItem>& groups, std::string_view title,
                           std::string_view description, int sort, int help, bool parentReferrers) {
    std::size_t rows = groups.size();
    for (const auto& g : groups) rows += g.sub.size();
    if (!layout(2, rows, sort, title, description, help)) return noMemory();
    t_.setHeaders({"Filename/Referring URL", "Hits"});
    t_.setKinds({K::Text, K::Integer});
    int r = 0;
    for (const auto& g : groups) {
        const std::string_view text = g.text.view();
        t_.setText(r, 0, parentReferrers ? orNoReferrer(text) : text);
        t_.setCount(r, 1, g.hits);
        ++r;
        for (const auto& s : g.sub) {
            t_.setText(r, 0, orNoReferrer(s.text.view()), 1, true);
            t_.setCount(r, 1, s.hits, 1, true);
            ++r;
        }
    }
    return shown(ViewKind::TreeList);
}

FillResult Filler::phrases() {
    const auto& items = results().searchPhrases;
    if (!layout(3, items.size(), 2, "Search Engine Phrases", kPhrasesText, 11010))
        return noMemory();
    t_.setHeaders({"Search Phrase", "Search Engine", "Hits"});
    t_.setKinds({K::Text, K::Text, K::Integer});
    for (std::size_t i = 0; i < items.size(); ++i) {
        const int r = static_cast<int>(i);
        t_.setText(r, 0, trimmed(items[i].recorded.view()));
        t_.setText(r, 1, items[i].engine.view());
        t_.setCount(r, 2, items[i].hits);
    }
    return shown(ViewKind::Chart);
}

FillResult Filler::keywords() {
    const auto& items = results().searchKeywords;
    if (!layout(2, items.size(), 1, "Search Engine Keywords", kKeywordsText, 11011))
        return noMemory();
    t_.setHeaders({"Search Keyword", "Hits"});
    t_.setKinds({K::Text, K::Integer});
    for (std::size_t i = 0; i < items.size(); ++i) {
        const int r = static_cast<int>(i);
        t_.setText(r, 0, trimmed(items[i].recorded.view()));
        t_.setCount(r, 1, items[i].hits);
    }
    return shown(ViewKind::Chart);
}

FillResult Filler::engines() {
    const auto& items = results().searchEngines;
    if (!layout(2, items.size(), 1, "Search Engine Performance", kEnginesText, 11026))
        return noMemory();
    t_.setHeaders({"Search Engine Name", "Total Hits from That Engine"});
    t_.setKinds({K::Text, K::Integer});
    for (std::size_t i = 0; i < items.size(); ++i) {
        const int r = static_cast<int>(i);
        t_.setText(r, 0, items[i].engine.view());
        t_.setCount(r, 1, items[i].hits);
    }
    return shown(ViewKind::Chart);
}

FillResult Filler::tracked(const CatalogueEntry& e) {
    // The entry's own text names the series and the pattern, as the tree shows it.
    const std::string_view title = e.title;
    constexpr std::string_view kHits = " (hits)", kBandwidth = " (bandwidth)";
    const std::size_t hitsAt = title.find(kHits);
    const bool bytes = hitsAt == std::string_view::npos;
    const std::string_view pattern = title.substr(0, bytes ? title.find(kBandwidth) : hitsAt);

    // Several entries may share a pattern: the last one speaks for all of them.
    int index = -1;
    if (ctx_.definition) {
        const auto& files = ctx_.definition->trackFiles;
        for (std::size_t i = 0; i < files.size(); ++i)
            if (files[i] == pattern) index = static_cast<int>(i);
    }
    const auto& all = results().trackedDays;
    if (index < 0 || static_cast<std::size_t>(index) >= all.size())
        return message(kTrackedMissing, 0);
    const auto& series = all[static_cast<std::size_t>(index)];
    if (series.empty()) return message(kNotRequested, 0);
    const std::string reportTitle = "Tracking " + std::string(pattern);
    return days(series, bytes, reportTitle, "Time Increment", kTrackedText, 11002, 0);
}

FillResult Filler::missing() {
    const auto& items = results().notFound;
    if (!layout(2, items.size(), 1, "Missing Files (404 errors)", kMissingText, 11021))
        return noMemory();
    t_.setHeaders({"Requested URL", "Occurrences"});
    t_.setKinds({K::Text, K::Integer});
    for (std::size_t i = 0; i < items.size(); ++i) {
        const int r = static_cast<int>(i);
        t_.setText(r, 0, items[i].url.view());
        t_.setCount(r, 1, items[i].hits);
    }
    return shown(ViewKind::Chart);
}

FillResult Filler::errors() {
    const auto& items = results().otherErrors;
    if (!layout(4, items.size(), 2, "Miscellaneous Errors", kErrorsText, 11022)) return noMemory();
    t_.setHeaders({"Error Code", "Requested URL", "Occurrences", "Explanation"});
    t_.setKinds({K::Integer, K::Text, K::Integer, K::Text});
    for (std::size_t i = 0; i < items.size(); ++i) {
        const int r = static_cast<int>(i);
        t_.setSmallInteger(r, 0, items[i].status);
        t_.setText(r, 1, items[i].url.view());
        t_.setCount(r, 2, items[i].hits);
        t_.setText(r, 3, engine::statusExplanation(items[i].status));
    }
    return shown(ViewKind::Chart);
}

}  // namespace

FillResult fillReport(const Catalogue& catalogue, Handle selected, const FillContext& context,
                      ReportTable& table) {
    const CatalogueEntry* e = catalogue.entry(selected);
    // An empty document has no entries, yet its pane still says how to get a report.
    if (!e && !context.analysis) {
        table.setLayout(0, 0, -1);
        table.message.assign(kNoAnalysis);
        table.helpTopic = 0;
        return {true, ViewKind::Message, 0, false};
    }
    if (!e) return {};
    try {
        return Filler(context, table).fill(*e);
    } catch (...) {
        // Only allocation can fail here; whatever was written is dropped.
        table.clear();
        try {
            table.message.assign(kNoMemory);
        } catch (...) {
        }
        table.helpTopic = 0;
        return {true, ViewKind::Message, 0, false};
    }
}

FillResult Filler::clientShares(const std::vector<engine::ClientRow>& rows, std::uint64_t total,
                                std::string_view title, std::string_view header,
                                std::string_view description, int help) {
    if (rows.empty()) return message(kNoItems, 0);
    if (!layout(4, rows.size(), 1, title, clientDescription(description, results().clients), help))
        return noMemory();
    t_.setHeaders({header, "Hits", "Visits", "Percentage"});
    t_.setKinds({K::Text, K::Integer, K::Integer, K::Integer});
    t_.graphStyle = GraphStyle::Pie;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int r = static_cast<int>(i);
        t_.setText(r, 0, rows[i].name);
        t_.setCount(r, 1, rows[i].hits);
        t_.setCount(r, 2, rows[i].visits);
        t_.setPercentage(r, 3, rows[i].hits, total);
    }
    return graphOrChart();
}

FillResult Filler::robots() {
    const engine::ClientReports& c = results().clients;
    if (c.robots.empty()) return message(kNoItems, 0);
    if (!layout(4, c.robots.size(), 1, "Robots and Crawlers", clientDescription(kRobotsText, c),
                11004))
        return noMemory();
    t_.setHeaders({"Robot", "Hits", "Bandwidth", "Last Seen"});
    t_.setKinds({K::Text, K::Integer, K::ByKey, K::Text});
    for (std::size_t i = 0; i < c.robots.size(); ++i) {
        const int r = static_cast<int>(i);
        const engine::ClientRow& row = c.robots[i];
        t_.setText(r, 0, row.name);
        t_.setCount(r, 1, row.hits);
        t_.setText(r, 2, engine::byteAmountText(row.bytes));
        t_.setValue(r, 2, CellValue::ofBytes(row.bytes));
        t_.setKey(r, rowKey(row.bytes));
        // Year first, so that the column sorts as text in time order.
        const std::string seen =
            row.lastSeen == 0 ? "" : frameTime(row.lastSeen, "%Y-%m-%d %H:%M:%S");
        t_.setText(r, 3, seen.empty() ? "-" : seen);
        if (row.lastSeen != 0) t_.setValue(r, 3, CellValue::ofTime(row.lastSeen));
    }
    return shown(ViewKind::Chart);
}

}  // namespace tw::presentation
