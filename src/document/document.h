#pragma once
// The one open analysis: the report definition it came from, the statistics of its run, the
// report tree over them and the report table the views show.
//
// Threads: the user-interface thread only. generate() returns after the whole run (the run's
// own thread works under the modal progress dialog meanwhile).
//
// Data files: the host-name cache is read from the program's data folder when the document is
// created and written back when it is destroyed, if a run looked addresses up (and whenever
// saveHostCache() is called); the suffix names are read once at creation. Without a data
// folder neither file is touched.
#include <memory>
#include <string>
#include <vector>

#include "config/report_definition.h"
#include "engine/host_cache.h"
#include "engine/statistics_engine.h"
#include "engine/suffix_names.h"
#include "ingest/analysis_run.h"
#include "platform/resolver.h"
#include "presentation/catalogue.h"
#include "presentation/report_rows.h"
#include "presentation/report_table.h"

namespace tw::document {

class Document;

// Carries out the automatic export after a generation whose definition asks for it. Returns
// false when the export (or its upload) failed; it reports the failure itself.
class ExportHandOff {
  public:
    virtual ~ExportHandOff() = default;
    virtual bool exportReport(Document& document, const config::ExportSettings& settings) = 0;
};

struct DocumentServices {
    platform::SettingsProfile& settings;
    platform::Prompter& prompter;
    platform::ProgressDialog& progress;
    platform::Clock& clock;
    platform::FileOpener& files;
    ingest::LogSources& sources;
    ingest::Decompressor& decompressor;
    ingest::Spider& spider;
    platform::Resolver& resolver;
    ExportHandOff* exporter = nullptr;  // null: a definition's automatic export is not done
    // Where else the suffix names may be found when the data folder has none (the copy that
    // ships with the program), in order.
    std::vector<std::string> suffixFiles{};
};

// Whether the last automatic export was done, and how it went.
enum class AutoExport { NotAsked, Done, Failed, Unavailable };

class Document {
  public:
    // Every service must outlive the document.
    explicit Document(DocumentServices services);
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // Copies the definition in and runs the analysis. On success: report present, modified,
    // titled after the report, the report tree built with General Statistics selected, then the
    // automatic export when the definition asks for it. Otherwise the document is left empty
    // and titled "No current report". Returns whether a report was produced.
    bool generate(const config::ReportDefinition& definition, ingest::RunMode mode);

    const config::ReportDefinition& definition() const { return definition_; }
    bool reportPresent() const { return reportPresent_; }
    bool exportPending() const { return exportPending_; }
    AutoExport lastAutoExport() const { return autoExport_; }
    bool modified() const { return modified_; }
    void setModified(bool modified) { modified_ = modified; }
    // Empty until the first run ends.
    const std::string& title() const { return title_; }
    const ingest::RunSummary& lastRun() const;
    // Where the runs' rejected lines go; not owned, null for nowhere.
    void setRejectedSink(ingest::RejectedLineSink* sink) { run_.setRejectedSink(sink); }
    // Threads per large log file (0: the program setting decides); see AnalysisRun.
    void setThreads(int threads) { run_.setThreads(threads); }
    ingest::AnalysisRun& analysisRun() { return run_; }

    presentation::Catalogue& catalogue() { return catalogue_; }
    const presentation::Catalogue& catalogue() const { return catalogue_; }

    struct SelectOptions {
        bool exportWalk = false;
        bool printWalk = false;
    };
    // The fill step for `entry` (the caller skips it when the selection did not change).
    presentation::FillResult select(presentation::Handle entry, SelectOptions options);
    presentation::FillResult select(presentation::Handle entry) { return select(entry, {}); }
    presentation::Handle selected() const { return selected_; }
    const presentation::ReportTable& table() const { return table_; }
    const presentation::FillResult& lastFill() const { return lastFill_; }

    // Saves the analysis as a saved report at `path`: written under a temporary name in the
    // same folder and renamed over `path` only when whole, so a failed save leaves no partial
    // file and an older file of that name intact. Reports a failure through the prompter.
    // False when no report is present or the file could not be written. Changes nothing the
    // document shows; a successful save clears the modified mark.
    bool save(const std::string& path);
    // Reads a saved report in place of the current one. On success: report present, not
    // modified, titled after the file's name, the tree built with General Statistics selected,
    // no export pending (a loaded report is never exported automatically). Only a regular file
    // that reads whole is loaded. On failure (a file that cannot be opened or is no regular
    // file, named with the reason; a version too old; a newer version the user declines; a file
    // that is incomplete or damaged) the program's own message, if any, then "Failed to open
    // document."; the document keeps what it showed before, unless the file was whole but too
    // big for memory, which leaves no report. Unattended, a newer version is refused with the
    // question's text rather than tried.
    bool load(const std::string& path, ingest::RunMode mode = ingest::RunMode::Interactive);
    // The file name Save proposes: the report name made safe for a file name, with ".twb".
    std::string proposedFileName() const;

    // Null while no report is present.
    const engine::Statistics* statistics() const;
    const engine::Results* results() const;
    std::int64_t runStart() const { return engine_->runStart(); }
    // Records the last run counted (0 after one that produced nothing).
    std::uint64_t acceptedRecords() const { return reportPresent_ ? engine_->acceptedCount() : 0; }

    engine::HostNameCache& hostCache() { return hostCache_; }
    const engine::SuffixNames& suffixNames() const { return suffixNames_; }
    // Writes the cache to the data folder now; false when it could not be written.
    bool saveHostCache() const;

  private:
    std::string dataFile(const char* name) const;
    void loadDataFiles();

    DocumentServices s_;
    std::shared_ptr<engine::StatisticsEngine> engine_;
    ingest::AnalysisRun run_;
    engine::HostNameCache hostCache_;
    engine::SuffixNames suffixNames_;
    config::ReportDefinition definition_;
    presentation::Catalogue catalogue_;
    presentation::ReportTable table_;
    presentation::FillResult lastFill_;
    presentation::Handle selected_ = presentation::kNoHandle;
    bool reportPresent_ = false;
    bool exportPending_ = false;
    bool modified_ = false;
    bool interactive_ = true;
    bool lookupsMade_ = false;
    AutoExport autoExport_ = AutoExport::NotAsked;
    std::string title_;
};

}  // namespace tw::document
