#pragma once
// The rows of the Report List dialog: the report definitions in display order, the selected
// row and whether anything changed since the list was loaded. The dialog (and the unattended
// run, which has no dialog) drives it; the report wizard edits copies handed out by it.
//
// Contract:
// - The list owns its definitions; at() hands out references that stay valid only until the
//   next change of the list. generate() hands out a copy, which the document then owns.
// - Rows stand in ascending order of the name, compared without regard to ASCII case; rows
//   with equal names keep the order in which they were loaded or inserted (a newcomer goes
//   after them). The display order is the order of the next save.
// - Row arguments out of range change nothing and report it through the return value.
// - No prompt is shown except by generate() and cancel(), through the prompter given.
// Threads: the user-interface thread only; nothing here is locked.
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/report_definition.h"
#include "platform/prompts.h"
#include "platform/settings.h"

namespace tw::config {

class ReportList {
  public:
    enum Column : int { kColumnName, kColumnLogFiles, kColumnFilters, kColumnDns, kColumnPaths };
    static constexpr int kColumns = 5;
    static constexpr std::array<std::string_view, kColumns> kHeadings = {
        "Report Name", "Log Files", "Has Filters", "Reverse DNS", "Path Analysis"};

    // A definition as the wizard starts it for "add": the new-report defaults.
    static ReportDefinition newDefinition() { return ReportDefinition{}; }

    // Replaces the rows by the stored list, sorted, selects the row stored as the last one
    // generated (none when that index is out of range) and clears the modified flag.
    void open(const platform::SettingsProfile& profile);

    std::size_t size() const { return rows_.size(); }
    bool empty() const { return rows_.empty(); }
    const ReportDefinition& at(std::size_t row) const { return rows_.at(row); }
    const std::vector<ReportDefinition>& rows() const { return rows_; }

    // The text of one cell; empty for a row or column out of range.
    std::string cell(std::size_t row, int column) const;

    std::optional<std::size_t> selection() const { return selected_; }
    // Selects a row, or none with nullopt or an index out of range.
    void select(std::optional<std::size_t> row);

    bool modified() const { return modified_; }

    // Inserts at the definition's sorted place, selects the new row and returns it.
    std::size_t add(ReportDefinition def);
    // Replaces a row by the edited definition, which then moves to its sorted place and stays
    // selected there; returns the new row, nullopt (nothing changed) for a row out of range.
    std::optional<std::size_t> edit(std::size_t row, ReportDefinition def);
    // Inserts a full copy named "Copy of " + the old name and selects it; returns its row.
    std::optional<std::size_t> copy(std::size_t row);
    // Removes a row without asking. Afterwards the row at the same index is selected, or the
    // last row when the removed one was last, or none when the list is now empty.
    bool remove(std::size_t row);

    // The first row whose name equals `label` without regard to ASCII case.
    std::optional<std::size_t> findLabel(std::string_view label) const;

    // "Generate Report": without a selection shows 61206 and returns nullopt (the dialog stays
    // open); otherwise saves the whole list and the selected index and returns a copy of the
    // selected definition (the dialog closes with OK).
    std::optional<ReportDefinition> generate(platform::Prompter& prompter,
                                             platform::SettingsProfile& profile);
    // The unattended run's request: selects the row labelled `name` and generates it. When no
    // row has that label, shows 32874 and returns nullopt; the caller then forgets the name
    // and carries on as an interactive program.
    std::optional<ReportDefinition> generateRequested(std::string_view name,
                                                      platform::Prompter& prompter,
                                                      platform::SettingsProfile& profile);
    // "Cancel": true when the dialog closes. A modified list asks 61207: Yes saves and closes,
    // No closes without saving, Cancel keeps the dialog open. Nothing is generated.
    bool cancel(platform::Prompter& prompter, platform::SettingsProfile& profile);

  private:
    std::size_t insertSorted(ReportDefinition def);

    std::vector<ReportDefinition> rows_;
    std::optional<std::size_t> selected_;
    bool modified_ = false;
};

}  // namespace tw::config
