#pragma once
// The export sequence written against a ReportWriter (heading, one section per report,
// footer) and the walk that refills the document's report table for every report in tree
// order. Shared by the HTML and Word exports; the comma-delimited export uses the walk alone.
//
// Threads: the user-interface thread, with no run active. Nothing throws.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "config/filter.h"
#include "document/document.h"
#include "export/report_writer.h"
#include "presentation/catalogue.h"
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
};

// Selects every entry depth first (export-walk flag set) and calls `exportReport` for each one
// whose fill has content, the document's table then holding it; the entry selected before is
// selected again afterwards.
void exportWalk(document::Document& doc, const std::function<void(const WalkItem&)>& exportReport);

// The heading block, with the filters paragraph when `filters` is not empty. Opens the writer
// on `target`; false when it could not be opened.
bool writeHeading(ReportWriter& writer, const std::string& target, std::string_view domain,
                  std::int64_t runTime, const config::FilterList& filters);
// One report: title bar, description and at most `rowLimit` rows (-1: all). Grouped reports
// show parent rows bold and indent child rows by their level.
void writeReportSection(ReportWriter& writer, const presentation::ReportTable& table, int rowLimit,
                        bool grouped);
// The closing paragraphs; does not close the writer.
void writeFooter(ReportWriter& writer);

struct SectionLimits {
    int rowLimit = 0;
    bool grouped = false;
};
SectionLimits sectionLimits(presentation::ReportId report, int truncateExport);

// "%B %d, %Y at %I:%M %p" of `time` in local time.
std::string formatRunTime(std::int64_t time);

// Heading, walk and footer into `writer`, then closes it. The heading lists the global
// filters followed by the definition's own. False when the file could not be written; the
// writer's failure() then says why.
bool exportDocument(document::Document& doc, ReportWriter& writer, const std::string& target,
                    int truncateExport, const config::FilterList& globalFilters);

}  // namespace tw::exporter
