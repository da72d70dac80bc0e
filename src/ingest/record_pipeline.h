#pragma once
// The record pipeline: maps each log file in stretches, splits it into lines, has the file's
// reader fill a slot, and gets every record analysed, either at once on the reading thread
// (single mode, slot 0) or by one of kSlotCount worker threads that each own a slot (parallel
// mode, used when the analysis blocks on reverse lookups).
//
// Threads: start(), readFile() and stop() are called from one reading thread. The analyser is
// shared with the workers, which keep it alive (shared_ptr) even if one of them has to be
// abandoned at stop().
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "ingest/log_format.h"
#include "ingest/record_analyser.h"
#include "platform/mapped_file.h"
#include "platform/progress.h"

namespace tw::ingest {

enum class ReadOutcome : int {
    Done = 0,        // also for an empty file
    OpenFailed = 1,  // cannot be opened or mapped (records read before a failure count)
    Cancelled = 2,
    Exhausted = 3,       // the analyser could take no more records
    UnusableHeader = 4,  // field directive cannot be tokenised
    MissingFields = 5,   // field directive lacks a required field
};

inline constexpr std::size_t kDefaultStretchBytes = 50000000;

struct PipelineStats {
    std::uint64_t lines = 0;    // every line met, directives and rejected lines included
    std::uint64_t records = 0;  // lines a reader accepted
};

class RecordPipeline {
  public:
    RecordPipeline(std::shared_ptr<RecordAnalyser> analyser, platform::FileOpener& files,
                   platform::Progress& progress);
    ~RecordPipeline();
    RecordPipeline(const RecordPipeline&) = delete;
    RecordPipeline& operator=(const RecordPipeline&) = delete;

    // Stretch size is rounded down to the file's mapping granularity (at least one unit).
    void setStretchBytes(std::size_t bytes) { stretchBytes_ = bytes; }
    ReaderState& readerState() { return state_; }

    // Parallel mode starts the workers and returns once all are waiting for work.
    void start(bool parallel, std::uint64_t progressTotal);
    // Reads one file; `format` is a format code or kFormatDetect. `size` receives the file size.
    ReadOutcome readFile(int format, const std::string& path, std::uint64_t progressBase,
                         std::uint64_t& size);
    // Parallel mode: waits up to 5 s for the workers to finish their records, then up to 5 s for
    // them to end; a worker that still hangs is abandoned. Returns the number abandoned.
    int stop();

    const PipelineStats& stats() const { return stats_; }
    bool parallel() const { return parallel_; }

  private:
    struct Workers;
    int acquireSlot();
    void dispatch(int slot);
    void releaseSlot(int slot);
    void sendProgress(std::uint64_t offset, std::string_view name);
    int percentAt(std::uint64_t done) const;

    std::shared_ptr<RecordAnalyser> analyser_;
    platform::FileOpener& files_;
    platform::Progress& progress_;
    std::unique_ptr<SlotArray> ownSlots_;  // single mode
    std::shared_ptr<Workers> workers_;     // parallel mode
    LogRecord* slots_ = nullptr;
    ReaderState state_;
    PipelineStats stats_;
    std::size_t stretchBytes_ = kDefaultStretchBytes;
    std::uint64_t total_ = 0;
    std::uint64_t fileBase_ = 0;
    bool parallel_ = false;
    bool started_ = false;
    std::string progressText_;
};

}  // namespace tw::ingest
