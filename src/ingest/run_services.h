#pragma once
// What an analysis run calls out to: the analysis engine, the log sources, decompression and
// the site spider. Each is an interface so the run can be driven by tests and filled in by the
// subsystems that own those steps.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "config/report_definition.h"
#include "config/run_settings.h"
#include "ingest/record_analyser.h"
#include "platform/progress.h"

namespace tw::ingest {

struct RunContext {
    const config::ReportDefinition& definition;
    const config::RunSettings& settings;
    std::int64_t startTime;  // seconds since 1970, taken when the settings were read
    std::string domain;      // the definition's domain without its trailing "/"
};

// The pages a site crawl read. Called on the analysis thread only, before any record.
class SitePageSink {
  public:
    virtual ~SitePageSink() = default;
    // `links` are the page's distinct on-site links in the order they were found. False when
    // the page could not be kept (memory exhausted).
    virtual bool addPage(std::string_view url, std::string_view title,
                         const std::vector<std::string_view>& links) = 0;
};

// The analysis of a later range of one log file, run on a thread of its own into statistics of
// its own while the run's engine analyses the lines before it. One thread uses it at a time.
class RangeAnalyser : public RecordAnalyser {
  public:
    // Forgets the previous range: called before each range it analyses.
    virtual void begin() = 0;
};

// The statistics side of a run. analyse() is called concurrently in parallel mode.
class AnalysisEngine : public RecordAnalyser {
  public:
    virtual void clear() = 0;  // drops the previous run's statistics
    virtual void prepare(std::uint64_t totalBytes, const RunContext& context) = 0;
    // How many lines the readers made records of and how many they refused, told once before
    // finalise(); an engine that keeps no general statistics may ignore them.
    virtual void noteLineCounts(std::uint64_t /*records*/, std::uint64_t /*rejected*/) {}
    virtual void finalise() = 0;
    virtual void release() = 0;  // frees the working tables, keeps the results
    virtual std::uint64_t acceptedCount() const = 0;
    virtual bool referrerSeen() const = 0;
    // Where the site crawl of this run records its pages; null when the engine keeps none.
    // Valid from prepare() to the next clear().
    virtual SitePageSink* sitePageSink() { return nullptr; }
    // For reading one file on several threads: a range analyser with this run's options and
    // filters, or null when the analysis must see every record in line order (reverse
    // lookups). Created after prepare(); used until the next prepare() or clear().
    virtual std::unique_ptr<RangeAnalyser> rangeAnalyser() { return nullptr; }
    // Adds what `range` (one of this engine's) analysed, the lines right after those analysed
    // so far. False when it cannot be added exactly: nothing was added, and the caller has
    // those lines analysed here instead. Out of memory part way shows as exhausted().
    virtual bool absorb(RangeAnalyser& /*range*/) { return false; }

    // Reverse lookups made ahead of the count: an analyser that, given every record of the run
    // in line order, notes the addresses the count will look up (null when this run looks up
    // nothing, or looks up as it counts). resolveNoted() then settles them; the count that
    // follows analyses in single mode and may read files on several threads.
    virtual std::shared_ptr<RecordAnalyser> lookupNoter() { return nullptr; }
    // False when cancelled: what was not settled by then stays an address.
    virtual bool resolveNoted() { return true; }
};

struct SourceResult {
    std::vector<std::string> files;
    bool cancelled = false;
    // Parallel to files when filled: the log path entry each file came from. A run reads the
    // files of one entry oldest first; files without a group are each a group of their own.
    std::vector<std::size_t> groups;
};

// Turns the definition's log paths into local files (downloading them when needed).
class LogSources {
  public:
    virtual ~LogSources() = default;
    virtual SourceResult resolve(const config::ReportDefinition& definition,
                                 const config::RunSettings& settings) = 0;
};

struct PreparedFiles {
    std::vector<std::string> files;
    std::vector<std::uint64_t> sizes;  // parallel to files
    // Parallel to files when filled: the index, in the list given to prepare(), of the file
    // each one was made from (a decompressed copy stands for its compressed original, and a
    // file that could not be prepared leaves a gap). Empty means one for one.
    std::vector<std::size_t> origins;
    std::uint64_t totalBytes = 0;
    bool cancelled = false;
};

// Replaces compressed files by plain copies and measures every file.
class Decompressor {
  public:
    virtual ~Decompressor() = default;
    virtual PreparedFiles prepare(const std::vector<std::string>& files) = 0;
    // The run no longer reads the prepared files: copies made for it alone can go.
    virtual void finish() {}
};

enum class SpiderOutcome { Done, Cancelled, InvalidRoot };

class Spider {
  public:
    virtual ~Spider() = default;
    // Walks the site from the definition's root page into `pages`. Runs on the analysis
    // thread; reports through `progress` and polls its cancel flag.
    virtual SpiderOutcome crawl(const RunContext& context, platform::Progress& progress,
                                SitePageSink& pages) = 0;
};

// Local files only: every ";"-separated entry of Path is one file.
class PlainFileSources final : public LogSources {
  public:
    SourceResult resolve(const config::ReportDefinition& definition,
                         const config::RunSettings& settings) override;
};

// No compression handling: measures the files as they are.
class MeasureOnly final : public Decompressor {
  public:
    PreparedFiles prepare(const std::vector<std::string>& files) override;
};

// Used until a site crawler is wired in: definitions with a root page are analysed without
// the hyperlink tree.
class NoSpider final : public Spider {
  public:
    SpiderOutcome crawl(const RunContext&, platform::Progress&, SitePageSink&) override {
        return SpiderOutcome::Done;
    }
};

std::vector<std::string> splitPathList(const std::string& path);

}  // namespace tw::ingest
