#pragma once
// The export sequence written against a ReportWriter (heading, one section per report,
// footer) and the walk that refills the document's report table for every report in tree
// order. Shared by the HTML and Word exports; the comma-delimited export uses the walk alone.
//
// Threads: the user-interface thread, with no run active. Nothing throws.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "config/filter.h"
#include "document/document.h"
#include "export/report_writer.h"
#include "presentation/catalogue.h"
#include "presentation/graph_model.h"
#include "presentation/report_table.h"

namespace tw::exporter {

inline constexpr const char* kProductName = "Tallyweb 2.71";
inline constexpr const char* kProductAddress = "https://tallyweb.org/";
inline constexpr std::size_t kCellCut = 80;

// What the walk tells the exporter about the report it has just filled.
struct WalkItem {
    presentation::Handle handle = presentation::kNoHandle;
    std::string title{};
    presentation::ReportId report = presentation::ReportId::GeneralStatistics;
    bool parentIsTrackedFiles = false;
    // How the report is shown: Message when the table gives way to a message (only with
    // WalkOptions::messages), HyperlinkTree for the drawing that has no rows.
    presentation::ViewKind view = presentation::ViewKind::Chart;
    // The report's graph, only when the walk was asked for graphs and the report has one.
    std::optional<presentation::GraphModel> graph{};
};

struct WalkOptions {
    // Works out the graph of every report that has one, whatever the catalogue's chart mode;
    // the table handed on is still the one of that mode.
    bool graphs = false;
    // The walk prints: the fill step knows that some views cannot go on paper.
    bool printing = false;
    // Also hands on the reports that have nothing to export: a message in place of the table
    // (no data, no memory), or the hyperlink tree's drawing. Categories are still passed over.
    bool messages = false;
};

// Selects every entry depth first (export-walk flag set) and calls `exportReport` for each one
// whose fill has content (see WalkOptions::messages), the document's table then holding it; the
// entry selected before is selected again afterwards, and the chart mode is as it was.
void exportWalk(document::Document& doc, const std::function<void(const WalkItem&)>& exportReport,
                WalkOptions options = {});

// The heading block, with the filters paragraph when `filters` is not empty. Opens the writer
// on `target`; false when it could not be opened.
bool writeHeading(ReportWriter& writer, const std::string& target, std::string_view domain,
                  std::int64_t runTime, const config::FilterList& filters);
// One report: title bar, description and at most `rowLimit` rows (-1: all). Grouped reports
// show parent rows bold and indent child rows by their level. `beforeTable`, when given, is
// called after the description, where the table (or the note that there is none) follows.
void writeReportSection(ReportWriter& writer, const presentation::ReportTable& table, int rowLimit,
                        bool grouped, const std::function<void()>& beforeTable = {});
// The closing paragraphs; does not close the writer.
void writeFooter(ReportWriter& writer);

struct SectionLimits {
    int rowLimit = 0;
    bool grouped = false;
};
SectionLimits sectionLimits(presentation::ReportId report, int truncateExport);

// "%B %d, %Y at %I:%M %p" of `time` in local time.
std::string formatRunTime(std::int64_t time);

// Draws a report's graph into the document being written.
using GraphSink = std::function<void(const presentation::GraphModel&)>;

// Heading, walk and footer into `writer`, then closes it. The heading lists the global
// filters followed by the definition's own. With a `graphs` sink, every report that has a
// graph hands it to the sink before its table; without one the walk works out no graphs.
// False when the file could not be written; the writer's failure() then says why.
bool exportDocument(document::Document& doc, ReportWriter& writer, const std::string& target,
                    int truncateExport, const config::FilterList& globalFilters,
                    const GraphSink& graphs = {});

}  // namespace tw::exporter
