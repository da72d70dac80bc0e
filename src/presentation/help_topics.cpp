#include "presentation/help_topics.h"

#include <array>
#include <utility>

#include "platform/strings.h"

namespace tw::presentation {

namespace {

namespace help = platform::help;

struct Entry {
    int topic;
    HelpPage page;
};

// The reports' topics are those of the report catalogue.
constexpr std::array kTopics = {
    Entry{help::Contents, {"index.html", ""}},
    Entry{11000, {"reports.html", "category"}},
    Entry{11001, {"reports.html", "general"}},
    Entry{11002, {"reports.html", "tracked"}},
    Entry{11003, {"reports.html", "geography"}},
    Entry{11004, {"reports.html", "domains"}},
    Entry{11005, {"reports.html", "browser"}},
    Entry{11006, {"reports.html", "os"}},
    Entry{11007, {"reports.html", "referringDomains"}},
    Entry{11008, {"reports.html", "referringPages"}},
    Entry{11009, {"reports.html", "entry"}},
    Entry{11010, {"reports.html", "phrases"}},
    Entry{11011, {"reports.html", "keywords"}},
    Entry{11012, {"reports.html", "pages"}},
    Entry{11013, {"reports.html", "files"}},
    Entry{11014, {"reports.html", "directories"}},
    Entry{11015, {"reports.html", "hitsPerDay"}},
    Entry{11017, {"reports.html", "bandwidthPerDay"}},
    Entry{11019, {"reports.html", "hour"}},
    Entry{11020, {"reports.html", "weekday"}},
    Entry{11021, {"reports.html", "missing"}},
    Entry{11022, {"reports.html", "errors"}},
    Entry{11023, {"reports.html", "images"}},
    Entry{11024, {"reports.html", "pageReferrers"}},
    Entry{11025, {"reports.html", "missingReferrers"}},
    Entry{11026, {"reports.html", "engines"}},
    Entry{help::NothingAccepted, {"log-formats.html", "nothing"}},
    Entry{help::InsufficientFields, {"log-formats.html", "w3cfields"}},
    Entry{help::HyperlinkTreeIntro, {"hyperlink-tree.html", ""}},
    Entry{help::LogFormats, {"log-formats.html", ""}},
    Entry{help::CommandLine, {"command-line.html", ""}},
    Entry{help::ReportWizardName, {"report-wizard.html", "name"}},
    Entry{help::ReportWizardLocal, {"report-wizard.html", "local"}},
    Entry{help::ReportWizardFtp, {"report-wizard.html", "ftp"}},
    Entry{help::ReportWizardHttp, {"report-wizard.html", "http"}},
    Entry{help::ReportWizardSite, {"report-wizard.html", "site"}},
    Entry{help::ReportWizardDns, {"report-wizard.html", "dns"}},
    Entry{help::ReportWizardTracking, {"report-wizard.html", "tracking"}},
    Entry{help::ReportWizardTree, {"report-wizard.html", "tree"}},
    Entry{help::ReportWizardFilters, {"report-wizard.html", "filters"}},
    Entry{help::ReportWizardExport, {"report-wizard.html", "export"}},
    Entry{help::FilterWizard, {"filters.html", ""}},
    Entry{help::ExportFormat, {"export.html", ""}},
    Entry{help::ExportHtml, {"export.html", "html"}},
    Entry{help::ExportWord, {"export.html", "word"}},
    Entry{help::ExportCsv, {"export.html", "csv"}},
    Entry{help::ExportDestination, {"export.html", "destinations"}},
};

// The filter kinds in their stored order (0 host .. 12 server address).
constexpr std::array<std::string_view, 13> kFilterKinds = {
    "host", "file",    "date",   "weekday", "hour", "referrer", "os",
    "browser", "spider", "method", "status", "user", "server"};

}  // namespace

HelpPage helpPage(int topic) {
    for (const Entry& e : kTopics)
        if (e.topic == topic) return e.page;
    const int kind = topic - help::FilterKind;
    if (kind >= 0 && kind < static_cast<int>(kFilterKinds.size()))
        return {"filters.html", kFilterKinds[static_cast<std::size_t>(kind)]};
    return {"index.html", ""};
}

}  // namespace tw::presentation
