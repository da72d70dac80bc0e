#pragma once
// One analysis run: from a report definition to finished statistics, with every message the
// user sees on the way.
//
// generate() is called on the user-interface thread and returns after the whole run; the
// parsing happens on an analysis thread under the progress dialog. Prompts may be raised from
// either thread (the Prompter marshals them). One run at a time per AnalysisRun; runs can follow
// one another on the same object.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "config/report_definition.h"
#include "config/run_settings.h"
#include "ingest/record_pipeline.h"
#include "ingest/run_services.h"
#include "ingest/split_reader.h"
#include "platform/clock.h"
#include "platform/mapped_file.h"
#include "platform/progress.h"
#include "platform/prompts.h"
#include "platform/settings.h"

namespace tw::ingest {

struct RunServices {
    platform::SettingsProfile& settings;
    platform::Prompter& prompter;
    platform::ProgressDialog& progress;
    platform::Clock& clock;
    platform::FileOpener& files;
    LogSources& sources;
    Decompressor& decompressor;
    Spider& spider;
    std::shared_ptr<AnalysisEngine> engine;
};

enum class RunMode { Interactive, Unattended };

// What a finished run reports, for callers and tests.
struct RunSummary {
    bool produced = false;
    bool cancelled = false;
    bool exhausted = false;  // the engine ran out of memory and the reading stopped
    std::uint64_t totalBytes = 0;
    std::size_t fileCount = 0;
    double megabytes = 0, seconds = 0, speed = 0;
    std::string completionText;  // the completion message, also when it was not shown
    PipelineStats pipeline;
    int abandonedWorkers = 0;
    int threads = 1;                   // threads a large file was read on
    std::uint64_t partsAdded = 0;      // see SplitReader
    std::uint64_t partsReadAgain = 0;
};

class AnalysisRun {
  public:
    explicit AnalysisRun(RunServices services) : s_(std::move(services)) {}

    // Returns true when a report was produced.
    bool generate(const config::ReportDefinition& definition, RunMode mode);
    const RunSummary& summary() const { return summary_; }

    // Test hook: a small stretch exercises the window boundaries on small files.
    void setStretchBytes(std::size_t bytes) { stretchBytes_ = bytes; }
    // How many threads read a file at once; 0 (the default) takes the program setting: all the
    // machine's cores, or one when the setting is off.
    void setThreads(int threads) { threads_ = threads; }
    // Files smaller than this are read on one thread: splitting them costs more than it saves.
    void setSplitMinimumBytes(std::uint64_t bytes) { splitMinimum_ = bytes; }
    // Receives every line the readers refuse, named by the log file it came from (not by a
    // decompressed copy). Not owned; null for none.
    void setRejectedSink(RejectedLineSink* sink) { rejectedSink_ = sink; }

  private:
    void analysisThread(const RunContext& context, const PreparedFiles& files,
                        const std::vector<std::string>& shownNames, RecordPipeline& pipeline);
    void orderOldestFirst(const SourceResult& sources, const config::RunSettings& settings,
                          PreparedFiles& files);
    static ReaderOptions readerOptions(const config::RunSettings& settings);
    bool notice(const char* setting, std::string_view text, bool okCancel, int help = 0);

    RunServices s_;
    RunSummary summary_;
    std::size_t stretchBytes_ = kDefaultStretchBytes;
    bool spiderFailed_ = false;
    RejectedLineSink* rejectedSink_ = nullptr;
    int threads_ = 0;
    int runThreads_ = 1;
    std::uint64_t splitMinimum_ = kSplitMinimumBytes;
};

}  // namespace tw::ingest
