#pragma once
// Reading and writing the report list in the program settings: "NumReports" in the application
// key and one "Report %d" section per definition, numbered in display order.
//
// Contract: loads never fail; a missing value takes the default of a stored report (which is
// not always the default of a new report, see ReportDefinition), a damaged count is read as
// the nearest sensible one. Saves are best-effort like every settings write and never delete:
// sections beyond the new counts stay where they are and the next load ignores them.
// Threads: one thread at a time, as the settings profile requires.
#include <string>
#include <vector>

#include "config/report_definition.h"
#include "platform/settings.h"

namespace tw::config {

// Counts above these are cut to them, on load as on save; negative counts read as none.
inline constexpr int kMaxStoredReports = 10000;
inline constexpr int kMaxStoredTrackFiles = 10000;

// "Report %d" for a display index.
std::string reportSection(int index);

// One definition from the section of `index`; a section that does not exist reads as a
// definition of defaults named "(Default Name)".
ReportDefinition loadReport(const platform::SettingsProfile& profile, int index);
// Writes every value of one definition into the section of `index`, in the stored order.
void saveReport(platform::SettingsProfile& profile, int index, const ReportDefinition& def);

// Every definition, in stored order.
std::vector<ReportDefinition> loadReportList(const platform::SettingsProfile& profile);
// "NumReports" first, then each definition into the section of its position.
void saveReportList(platform::SettingsProfile& profile, const std::vector<ReportDefinition>& list);

// The row the user last generated ("ReportListDlgLastSel"); 0 when never stored.
int loadLastSelection(const platform::SettingsProfile& profile);
void saveLastSelection(platform::SettingsProfile& profile, int row);

}  // namespace tw::config
