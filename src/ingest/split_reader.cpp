#include "ingest/split_reader.h"

#include <algorithm>
#include <thread>

namespace tw::ingest {

namespace {

// Keeps the lines a part read on another thread refuses, to be told in line order once the
// parts before it have been.
class HeldRejects final : public RejectedLineSink {
  public:
    void rejected(std::string_view, std::uint64_t lineNumber, std::string_view line,
                  RejectReason why) override {
        held_.push_back({lineNumber, std::string(line), why});
    }
    void replay(RejectedLineSink& to, std::string_view file, std::uint64_t firstLine) const {
        for (const Held& h : held_) to.rejected(file, firstLine + h.line, h.text, h.why);
    }

  private:
    struct Held {
        std::uint64_t line;
        std::string text;
        RejectReason why;
    };
    std::vector<Held> held_;
};

}  // namespace

// A large file is cut at line ends into one part per thread. This thread reads the first part
// into the engine; each other part is read at the same time into statistics of its own, which
// the engine then adds in order, so the run's figures and tables are those of one reading from
// start to end. A part that cannot be added exactly (its visitors met before it much later
// than its own first request) is read again here, with everything after it.
ReadOutcome SplitReader::read(RecordPipeline& pipeline, int format, const std::string& path,
                              std::uint64_t base, std::uint64_t expectedSize, std::uint64_t& size,
                              std::string_view shownName) {
    const auto whole = [&] { return pipeline.readFile(format, path, base, size, shownName); };
    if (threads_ < 2 || pipeline.parallel() || expectedSize < minimum_) return whole();
    std::vector<std::uint64_t> bounds;
    if (!splitAtLines(files_, path, expectedSize, threads_, bounds) || bounds.size() < 3)
        return whole();
    const std::size_t parts = bounds.size() - 1;
    while (ranges_.size() < parts - 1) {
        std::unique_ptr<RangeAnalyser> r = engine_.rangeAnalyser();
        if (!r) return whole();
        ranges_.push_back(std::move(r));
    }

    const ReaderState start = pipeline.readerState();
    // The parts share the one stretch's worth of mapped memory: each window is resident while
    // it is read, and the parts' windows are all mapped at once.
    const std::size_t stretch = pipeline.stretchBytes();
    const std::size_t partStretch = std::max<std::size_t>(1, stretch / parts);
    struct Part {
        std::unique_ptr<RecordPipeline> pipeline;
        HeldRejects rejects;
        ReadOutcome outcome = ReadOutcome::Done;
    };
    std::vector<Part> others(parts - 1);
    std::vector<std::thread> threads;
    for (std::size_t k = 1; k < parts; ++k) {
        Part& part = others[k - 1];
        ranges_[k - 1]->begin();
        part.pipeline = std::make_unique<RecordPipeline>(ranges_[k - 1], files_, progress_);
        RecordPipeline& p = *part.pipeline;
        p.setQuiet(true);
        p.setStretchBytes(partStretch);
        p.readerState() = start;
        if (rejectedSink_) p.setRejectedSink(&part.rejects);
        p.start(false, 0);
        threads.emplace_back(
            [&part, &path, format, shownName, from = bounds[k], to = bounds[k + 1]] {
                std::uint64_t ignored = 0;
                part.outcome =
                    part.pipeline->readFile(format, path, 0, ignored, shownName, {from, to, 0, 1});
            });
    }
    pipeline.setStretchBytes(partStretch);
    ReadOutcome outcome =
        pipeline.readFile(format, path, base, size, shownName, {0, bounds[1], 0, parts});
    pipeline.setStretchBytes(stretch);
    for (std::thread& t : threads) t.join();
    if (outcome != ReadOutcome::Done) return outcome;

    std::uint64_t line = pipeline.lineEnds();
    for (std::size_t k = 1; k < parts; ++k) {
        Part& part = others[k - 1];
        if (progress_.cancelled()) return ReadOutcome::Cancelled;
        if (part.outcome == ReadOutcome::Done && engine_.absorb(*ranges_[k - 1])) {
            ++added_;
            pipeline.addStats(part.pipeline->stats());
            if (rejectedSink_)
                part.rejects.replay(*rejectedSink_, shownName.empty() ? path : shownName, line);
            line += part.pipeline->lineEnds();
            pipeline.readerState() = part.pipeline->readerState();
            // Its tables were copied: a log of many distinct hosts and pages must not hold them
            // twice while the rest is added and the results are built.
            ranges_[k - 1]->begin();
            if (engine_.exhausted()) return ReadOutcome::Exhausted;
            continue;
        }
        readAgain_ += parts - k;
        pipeline.readerState() = start;
        return pipeline.readFile(format, path, base, size, shownName, {bounds[k], size, line, 1});
    }
    return outcome;
}

}  // namespace tw::ingest
