#pragma once
// The comma-delimited export: one file per report with content, in one directory. Every row is
// written (no truncation); cells are quoted with embedded quotes doubled, lines end in CR LF.
//
// Threads: the user-interface thread, with no run active. Nothing throws.
#include <string>
#include <string_view>

#include "document/document.h"
#include "presentation/report_table.h"

namespace tw::exporter {

// The file name of a report's entry: "Tracking " in front for a tracked file, ".csv" after,
// and none of # % * / ; ? \ left in it.
std::string csvFileName(std::string_view title, bool parentIsTrackedFiles);
// `directory` and `name` joined by exactly one "/"; an empty directory leaves the name alone.
std::string joinExportPath(std::string_view directory, std::string_view name);

// The table as the file's bytes.
std::string csvText(const presentation::ReportTable& table);
// Replaces the file at `path`; false when it could not be written (nothing is left behind),
// and `reason` (optional) then receives the system's words for why.
bool writeCsvFile(const presentation::ReportTable& table, const std::string& path,
                  std::string* reason = nullptr);

// Every report of the document into `directory`, which must exist. A file that cannot be
// written is skipped; the result is false when any was, or when the directory is missing.
// `written` (optional) receives the number of files written; `message` (optional), on failure,
// the text to show, naming the directory or the first file that failed and the reason.
bool exportCsv(document::Document& doc, const std::string& directory, int* written = nullptr,
               std::string* message = nullptr);

}  // namespace tw::exporter
