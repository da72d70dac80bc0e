#pragma once
// Reading one large log file on several threads with the result of one thread reading it from
// start to end.
//
// Threads: read() is called from the run's reading thread, which reads the file's first part
// itself; the other parts are read by threads that read() starts and joins before it returns.
// The engine's range analysers are made on first use and kept until the reader goes.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ingest/record_pipeline.h"
#include "ingest/run_services.h"

namespace tw::ingest {

// Below this a file is read on one thread: the cut and the merge would cost more than they save.
inline constexpr std::uint64_t kSplitMinimumBytes = std::uint64_t{8} << 20;

class SplitReader {
  public:
    SplitReader(AnalysisEngine& engine, platform::FileOpener& files, platform::Progress& progress)
        : engine_(engine), files_(files), progress_(progress) {}

    void setThreads(int threads) { threads_ = threads; }
    void setMinimumBytes(std::uint64_t bytes) { minimum_ = bytes; }
    // The lines the readers refuse, told in line order whatever thread read them. Not owned.
    void setRejectedSink(RejectedLineSink* sink) { rejectedSink_ = sink; }

    // Reads `path` as pipeline.readFile() would (same arguments; `expectedSize` is the size the
    // run measured, 0 when unknown), cutting it into parts when it is large enough, the engine
    // can analyse ranges and the pipeline is in single mode. The parts share the pipeline's
    // stretch size.
    ReadOutcome read(RecordPipeline& pipeline, int format, const std::string& path,
                     std::uint64_t base, std::uint64_t expectedSize, std::uint64_t& size,
                     std::string_view shownName);

    // Parts read on other threads and added to the engine, and parts that could not be added
    // and were read again on the calling thread (with the rest of their file).
    std::uint64_t partsAdded() const { return added_; }
    std::uint64_t partsReadAgain() const { return readAgain_; }

  private:
    AnalysisEngine& engine_;
    platform::FileOpener& files_;
    platform::Progress& progress_;
    int threads_ = 1;
    std::uint64_t minimum_ = kSplitMinimumBytes;
    RejectedLineSink* rejectedSink_ = nullptr;
    std::vector<std::shared_ptr<RangeAnalyser>> ranges_;
    std::uint64_t added_ = 0, readAgain_ = 0;
};

}  // namespace tw::ingest
