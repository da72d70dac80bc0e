#pragma once
// The fill step: turns the finished statistics into the report table for the entry selected in
// the report tree, or into the message that replaces it, and says which view shows the result.
//
// Not here: the GUI's "the item already shown" check (the caller skips the fill when the
// selection did not change), signalling the fill-done event and redrawing the views.
#include <cstdint>

#include "config/report_definition.h"
#include "engine/results.h"
#include "engine/statistics.h"
#include "engine/suffix_names.h"
#include "platform/prompts.h"
#include "platform/settings.h"
#include "presentation/catalogue.h"
#include "presentation/report_table.h"

namespace tw::presentation {

enum class ViewKind {
    Message,        // the message text instead of a table
    Chart,          // the sortable list
    Graph,          // the graph of the table
    TreeList,       // the grouped, indented list
    HyperlinkTree,  // the site's hyperlink tree drawing
};

// One finished analysis; the objects must outlive the fill.
struct AnalysisData {
    const engine::Statistics& statistics;
    const engine::Results& results;
    std::int64_t runStart = 0;  // seconds since 1970
};

struct FillContext {
    const AnalysisData* analysis = nullptr;                // null: the document holds no analysis
    const engine::SuffixNames* suffixNames = nullptr;      // null: suffixes shown bare
    const config::ReportDefinition* definition = nullptr;  // tracked files and tree root
    bool chartMode = false;                                // normally the catalogue's
    bool exportWalk = false;                               // no reminder while the export walk runs
    bool printWalk = false;                                // the hyperlink tree cannot be printed
    // Both needed for the hyperlink tree reminder; either null: no reminder.
    platform::Prompter* prompter = nullptr;
    platform::SettingsProfile* settings = nullptr;
};

struct FillResult {
    bool filled = false;  // false: no such entry in an analysis, the table is untouched
    ViewKind view = ViewKind::Message;
    int helpTopic = 0;
    bool hasContent = false;  // printable and exportable
};

// The setting that silences the hyperlink tree reminder (application key).
inline constexpr const char* kDoNotRemindHyperlink = "DoNotRemindHyperlink";

// Fills `table` for entry `selected` of `catalogue`. Never throws.
FillResult fillReport(const Catalogue& catalogue, Handle selected, const FillContext& context,
                      ReportTable& table);

}  // namespace tw::presentation
