#include "presentation/client_rows.h"

#include <ctime>
#include <string>

#include "engine/results.h"
#include "platform/strings.h"

namespace tw::presentation {
namespace {

using K = ColumnKind;

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
constexpr std::string_view kNoItems = "There were no items in this view";

constexpr int kHelpBrowser = 11005;
constexpr int kHelpSystem = 11006;

std::int64_t rowKey(std::uint64_t v) {
    return v > static_cast<std::uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<std::int64_t>(v);
}

// Year first, so that the column sorts as text in time order.
std::string sortableTime(std::int64_t seconds) {
    if (seconds == 0) return "-";
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    if (!gmtime_r(&t, &tm)) return "-";
    char buf[32];
    const std::size_t n = std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
    return std::string(buf, n);
}

// What the rules could not tell, when many distinct agents were seen: the rarest ones were
// only checked for the words robots sign with.
std::string described(std::string_view text, const engine::ClientReports& c) {
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

FillResult message(ReportTable& t, std::string_view text, int help) {
    t.setLayout(0, 0, -1);
    t.message.assign(text);
    t.helpTopic = help;
    return {true, ViewKind::Message, help, false};
}

bool layout(ReportTable& t, int columns, std::size_t rows, std::string_view title,
            std::string description, int help) {
    if (rows > static_cast<std::size_t>(INT32_MAX) ||
        !t.setLayout(columns, static_cast<int>(rows), 1))
        return false;
    t.title.assign(title);
    t.description = std::move(description);
    t.helpTopic = help;
    t.message.clear();
    return true;
}

FillResult shares(ReportTable& t, const std::vector<engine::ClientRow>& rows, std::uint64_t total,
                  std::string_view title, std::string_view header, std::string description,
                  int help, bool chartMode) {
    if (rows.empty()) return message(t, kNoItems, 0);
    if (!layout(t, 4, rows.size(), title, std::move(description), help))
        return message(t, platform::text(platform::sid::NoMemoryForReport), 0);
    t.setHeaders({header, "Hits", "Visits", "Percentage"});
    t.setKinds({K::Text, K::Integer, K::Integer, K::Integer});
    t.graphStyle = GraphStyle::Pie;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int r = static_cast<int>(i);
        t.setText(r, 0, rows[i].name);
        t.setCount(r, 1, rows[i].hits);
        t.setCount(r, 2, rows[i].visits);
        t.setPercentage(r, 3, rows[i].hits, total);
    }
    return {true, chartMode ? ViewKind::Chart : ViewKind::Graph, help, true};
}

FillResult robots(ReportTable& t, const engine::ClientReports& c) {
    if (c.robots.empty()) return message(t, kNoItems, 0);
    if (!layout(t, 4, c.robots.size(), "Robots and Crawlers", described(kRobotsText, c), 11004))
        return message(t, platform::text(platform::sid::NoMemoryForReport), 0);
    t.setHeaders({"Robot", "Hits", "Bandwidth", "Last Seen"});
    t.setKinds({K::Text, K::Integer, K::ByKey, K::Text});
    for (std::size_t i = 0; i < c.robots.size(); ++i) {
        const int r = static_cast<int>(i);
        const engine::ClientRow& row = c.robots[i];
        t.setText(r, 0, row.name);
        t.setCount(r, 1, row.hits);
        t.setText(r, 2, engine::byteAmountText(row.bytes));
        t.setValue(r, 2, CellValue::ofBytes(row.bytes));
        t.setKey(r, rowKey(row.bytes));
        t.setText(r, 3, sortableTime(row.lastSeen));
        if (row.lastSeen != 0) t.setValue(r, 3, CellValue::ofTime(row.lastSeen));
    }
    return {true, ViewKind::Chart, 11004, true};
}

}  // namespace

bool isClientReport(ReportId report) {
    return report == ReportId::BrowserFamilies || report == ReportId::OperatingSystems ||
           report == ReportId::Devices || report == ReportId::RobotsAndCrawlers;
}

FillResult fillClientReport(ReportId report, const engine::ClientReports& c, bool chartMode,
                            ReportTable& t) {
    t.graphStyle = GraphStyle::Bars;
    if (!c.rulesRead) return message(t, c.problem, 0);
    const std::uint64_t people = c.agentHits - c.robotHits;
    switch (report) {
        case ReportId::BrowserFamilies:
            return shares(t, c.browsers, people, "Browser Families", "Browser",
                          described(kBrowserFamiliesText, c), kHelpBrowser, chartMode);
        case ReportId::OperatingSystems:
            return shares(t, c.systems, people, "Operating Systems", "Operating System",
                          described(kSystemsText, c), kHelpSystem, chartMode);
        case ReportId::Devices:
            return shares(t, c.devices, c.agentHits, "Devices", "Device",
                          described(kDevicesText, c), kHelpBrowser, chartMode);
        case ReportId::RobotsAndCrawlers:
            return robots(t, c);
        default:
            break;
    }
    return {};
}

}  // namespace tw::presentation
