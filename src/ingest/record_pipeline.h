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
#include <string_view>
#include <vector>

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
    std::uint64_t lines = 0;     // every line met, directives and rejected lines included
    std::uint64_t records = 0;   // lines a reader accepted
    std::uint64_t rejected = 0;  // lines, other than directives, a reader refused
};

// Told of every refused line, on the reading thread, while the line's bytes are mapped: an
// implementation copies what it keeps. `lineNumber` counts from 1, an LF, a CR or a CRLF
// ending each line.
class RejectedLineSink {
  public:
    virtual ~RejectedLineSink() = default;
    virtual void rejected(std::string_view file, std::uint64_t lineNumber, std::string_view line,
                          RejectReason why) = 0;
};

// The time of the first dated record among the first 64 KB of a file, read as the file's own
// format (detected) with `options`. False when the file cannot be read or no record there
// carries a usable time. Allocates one record.
// A part of a file to read: the bytes [begin, end), where begin is 0 or the start of a line.
// A part that starts inside a file first takes the file's directives before it, so its lines
// read as they would in a reading of the whole file.
struct FileRange {
    std::uint64_t begin = 0;
    std::uint64_t end = UINT64_MAX;
    std::uint64_t firstLine = 0;  // line ends before `begin`, for the rejected-line numbers
    // The progress shown moves this much faster than the reading: the part is one of several
    // read at once, at about the same speed.
    std::uint64_t progressScale = 1;
};

// Where a file of `size` bytes can be cut into at most `parts` parts of about equal size: the
// offsets just after an LF, ascending, with 0 first and `size` last. A file without such line
// ends nearby stays in one part. False when the file cannot be read.
bool splitAtLines(platform::FileOpener& files, const std::string& path, std::uint64_t size,
                  int parts, std::vector<std::uint64_t>& bounds);

bool firstRecordTime(platform::FileOpener& files, const std::string& path,
                     const ReaderOptions& options, std::int64_t& time);

class RecordPipeline {
  public:
    RecordPipeline(std::shared_ptr<RecordAnalyser> analyser, platform::FileOpener& files,
                   platform::Progress& progress);
    ~RecordPipeline();
    RecordPipeline(const RecordPipeline&) = delete;
    RecordPipeline& operator=(const RecordPipeline&) = delete;

    // Stretch size is rounded down to the file's mapping granularity (at least one unit).
    void setStretchBytes(std::size_t bytes) { stretchBytes_ = bytes; }
    std::size_t stretchBytes() const { return stretchBytes_; }
    ReaderState& readerState() { return state_; }
    // Not owned; null (the default) for none.
    void setRejectedSink(RejectedLineSink* sink) { rejectedSink_ = sink; }
    // A pipeline that reads a part of a file beside the one that reports: it polls the cancel
    // flag but shows no progress.
    void setQuiet(bool quiet) { quiet_ = quiet; }

    // Parallel mode starts the workers and returns once all are waiting for work.
    void start(bool parallel, std::uint64_t progressTotal);
    // Reads one file; `format` is a format code or kFormatDetect. `size` receives the file size.
    // `shownName` names the file to the rejected-line sink (default: `path`), so a
    // decompressed copy is reported under the name of the file it came from.
    ReadOutcome readFile(int format, const std::string& path, std::uint64_t progressBase,
                         std::uint64_t& size, std::string_view shownName = {},
                         const FileRange& range = {});
    // The line ends the last readFile() crossed in its range.
    std::uint64_t lineEnds() const { return lineEnds_; }
    // Counts lines read by another pipeline as if read here.
    void addStats(const PipelineStats& other) {
        stats_.lines += other.lines;
        stats_.records += other.records;
        stats_.rejected += other.rejected;
    }
    // Parallel mode: waits up to 5 s for the workers to finish their records, then up to 5 s for
    // them to end; a worker that still hangs is abandoned. Returns the number abandoned.
    int stop();

    const PipelineStats& stats() const { return stats_; }
    bool parallel() const { return parallel_; }

  private:
    struct Workers;
    ReadOutcome readLines(platform::MappedFile& file, int format, LineReader reader,
                          const FileRange& range, std::string_view name,
                          std::string_view shownName);
    int acquireSlot();  // workers only: the slot of a record they may take
    void dispatch(int slot);  // workers only: hands the slot's record to its worker
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
    RejectedLineSink* rejectedSink_ = nullptr;
    std::size_t stretchBytes_ = kDefaultStretchBytes;
    std::uint64_t total_ = 0;
    std::uint64_t fileBase_ = 0;
    std::uint64_t lineEnds_ = 0;
    bool parallel_ = false;
    bool started_ = false;
    bool quiet_ = false;
    bool directivesOnly_ = false;  // taking a part's directives: lines are not records
    std::string progressText_;
};

}  // namespace tw::ingest
