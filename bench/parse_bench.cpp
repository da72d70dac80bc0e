// tallyweb-parsebench: times format detection plus reading of one log file through the real
// record pipeline. By default the engine only counts, so the figure is the cost of mapping,
// splitting and parsing alone; with --full the statistics engine classifies every record and
// finalises its tables, as a real run does.
//
//   tallyweb-parsebench [--repeat N] [--parallel] [--full [--threads N]] FILE
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <sys/resource.h>

#include "config/report_definition.h"
#include "config/run_settings.h"
#include "engine/counting_engine.h"
#include "engine/statistics_engine.h"
#include "ingest/log_format.h"
#include "ingest/record_pipeline.h"
#include "ingest/split_reader.h"
#include "platform/mapped_file.h"
#include "platform/progress.h"

namespace {

class SilentProgress final : public tw::platform::Progress {
  public:
    void progress(int, std::optional<std::string_view>) override {}
    void status(std::string_view) override {}
    void completed() override {}
};

struct Run {
    double seconds = 0;
    std::uint64_t lines = 0;
    std::uint64_t records = 0;
    std::uint64_t analysed = 0;
    int abandoned = 0;
    tw::ingest::ReadOutcome outcome = tw::ingest::ReadOutcome::Done;
    std::string tables;  // --full only
    std::uint64_t partsAdded = 0, partsReadAgain = 0;
};

// How the big tables grew: a table that never doubled would hold entries / start buckets per
// chain.
template <typename Table>
void tableFigure(std::string& out, const char* name, const Table& t) {
    char line[160];
    std::snprintf(line, sizeof line, "  %-14s %9llu entries, buckets %7zu -> %7zu (%d doublings)\n",
                  name, static_cast<unsigned long long>(t.size()), t.startBucketCount(),
                  t.bucketCount(), t.growths());
    out += line;
}

std::string tableFigures(const tw::engine::Statistics& s) {
    std::string out;
    tableFigure(out, "visitors", s.visitors);
    tableFigure(out, "raw hosts", s.rawHosts);
    tableFigure(out, "days", s.days);
    tableFigure(out, "pages", s.pages);
    tableFigure(out, "images", s.images);
    tableFigure(out, "other files", s.otherFiles);
    tableFigure(out, "directories", s.directories);
    tableFigure(out, "not found", s.notFound);
    tableFigure(out, "other errors", s.otherErrors);
    tableFigure(out, "suffixes", s.domainSuffixes);
    tableFigure(out, "transitions", s.pageTransitions);
    tableFigure(out, "referrer>page", s.referrerToPage);
    tableFigure(out, "referrer URLs", s.referrerUrls);
    tableFigure(out, "sites", s.referringSites);
    tableFigure(out, "phrases", s.searchPhrases);
    return out;
}

struct FullOptions {
    std::string domain;  // the site's own domain: referrers from it are internal
    bool tree = false;   // count page transitions, as with a hyperlink tree
    int threads = 1;     // the file is cut into this many parts, read at once
};

Run runFull(const std::string& path, std::uint64_t size, bool parallel, const FullOptions& fo) {
    auto engine = std::make_shared<tw::engine::StatisticsEngine>();
    tw::platform::PosixFileOpener files;
    SilentProgress progress;
    tw::ingest::RecordPipeline pipeline(engine, files, progress);
    tw::config::ReportDefinition def;
    def.DefaultPage = "index.html";
    def.EnableDNS = parallel ? 1 : 0;
    def.Domain = fo.domain;
    if (fo.tree) def.Root = "/";
    const tw::config::RunSettings settings;
    Run r;
    const auto t0 = std::chrono::steady_clock::now();
    engine->prepare(size, {def, settings, 0, def.Domain});
    pipeline.start(parallel, size);
    std::uint64_t seen = 0;
    tw::ingest::SplitReader split(*engine, files, progress);
    split.setThreads(fo.threads);
    r.outcome = split.read(pipeline, tw::ingest::kFormatDetect, path, 0, size, seen, {});
    r.abandoned = pipeline.stop();
    engine->finalise();
    r.partsAdded = split.partsAdded();
    r.partsReadAgain = split.partsReadAgain();
    const auto t1 = std::chrono::steady_clock::now();
    r.seconds = std::chrono::duration<double>(t1 - t0).count();
    r.lines = pipeline.stats().lines;
    r.records = pipeline.stats().records;
    r.analysed = engine->acceptedCount();
    r.tables = tableFigures(engine->statistics());
    return r;
}

Run runOnce(const std::string& path, std::uint64_t size, bool parallel) {
    auto engine = std::make_shared<tw::engine::CountingEngine>();
    tw::platform::PosixFileOpener files;
    SilentProgress progress;
    // Built outside the timed part: the slot array is allocated once per run, not per file.
    tw::ingest::RecordPipeline pipeline(engine, files, progress);
    Run r;
    const auto t0 = std::chrono::steady_clock::now();
    pipeline.start(parallel, size);
    std::uint64_t seen = 0;
    r.outcome = pipeline.readFile(tw::ingest::kFormatDetect, path, 0, seen);
    // In parallel mode stop() waits for the workers' last records, which belong to the run.
    r.abandoned = pipeline.stop();
    const auto t1 = std::chrono::steady_clock::now();
    r.seconds = std::chrono::duration<double>(t1 - t0).count();
    r.lines = pipeline.stats().lines;
    r.records = pipeline.stats().records;
    r.analysed = engine->acceptedCount() + engine->agentRecords() + engine->refererRecords();
    return r;
}

const char* formatName(int code) {
    switch (code) {
        case tw::ingest::kFormatCommon:
            return "common";
        case tw::ingest::kFormatCombined:
            return "combined";
        case tw::ingest::kFormatIisComma:
            return "IIS comma";
        case tw::ingest::kFormatIisCommaExtended:
            return "IIS comma with referrer and agent";
        case tw::ingest::kFormatW3c:
            return "W3C";
        case tw::ingest::kFormatW3cMissingFields:
            return "W3C, required fields missing";
        case tw::ingest::kFormatW3cUnusable:
            return "W3C, unusable field directive";
        case tw::ingest::kFormatLoose:
            return "loose combined";
        default:
            return "?";
    }
}

// Detection once more, outside the timing, only to say what the timed run read.
int sniffFormat(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string head(10000, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(std::max<std::streamsize>(0, in.gcount())));
    tw::ingest::W3cFieldMap map;
    return tw::ingest::detectFormat(head, map);
}

const char* outcomeName(tw::ingest::ReadOutcome o) {
    switch (o) {
        case tw::ingest::ReadOutcome::Done:
            return "done";
        case tw::ingest::ReadOutcome::OpenFailed:
            return "cannot open or map";
        case tw::ingest::ReadOutcome::Cancelled:
            return "cancelled";
        case tw::ingest::ReadOutcome::Exhausted:
            return "out of memory";
        case tw::ingest::ReadOutcome::UnusableHeader:
            return "unusable field directive";
        case tw::ingest::ReadOutcome::MissingFields:
            return "field directive lacks fields";
    }
    return "?";
}

int usage() {
    std::fputs(
        "usage: tallyweb-parsebench [--repeat N] [--parallel] [--full [--domain D] [--tree]] FILE\n"
        "  --repeat N   run N times and report the fastest (default 1)\n"
        "  --parallel   parallel mode: records go to the pipeline's 64 worker threads\n"
        "  --full       classify every record and finalise, as a real run does\n"
        "  --domain D   with --full: the site's own domain (referrers from it are internal;\n"
        "               without it every referrer is)\n"
        "  --tree       with --full: count page transitions, as a hyperlink tree does\n"
        "  --threads N  with --full: cut the file into N parts read at once, as a run on N\n"
        "               cores does (default 1)\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int repeat = 1;
    bool parallel = false;
    bool full = false;
    FullOptions fo;
    std::string path;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "--repeat" && i + 1 < argc) {
            const std::string_view v = argv[++i];
            const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), repeat);
            if (ec != std::errc() || end != v.data() + v.size() || repeat < 1) return usage();
        } else if (a == "--parallel") {
            parallel = true;
        } else if (a == "--full") {
            full = true;
        } else if (a == "--domain" && i + 1 < argc) {
            fo.domain = argv[++i];
        } else if (a == "--threads" && i + 1 < argc) {
            const std::string_view v = argv[++i];
            const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), fo.threads);
            if (ec != std::errc() || end != v.data() + v.size() || fo.threads < 1 ||
                fo.threads > 64)
                return usage();
        } else if (a == "--tree") {
            fo.tree = true;
        } else if (!a.empty() && a[0] != '-' && path.empty()) {
            path = a;
        } else {
            return usage();
        }
    }
    if (path.empty()) return usage();

    std::error_code ec;
    const std::uint64_t size = std::filesystem::file_size(path, ec);
    if (ec) {
        std::fprintf(stderr, "tallyweb-parsebench: %s: %s\n", path.c_str(), ec.message().c_str());
        return 1;
    }

    std::vector<double> times;
    Run best;
    for (int i = 0; i < repeat; ++i) {
        const Run r = full ? runFull(path, size, parallel, fo) : runOnce(path, size, parallel);
        if (r.outcome != tw::ingest::ReadOutcome::Done) {
            std::fprintf(stderr, "tallyweb-parsebench: %s: %s\n", path.c_str(),
                         outcomeName(r.outcome));
            return 1;
        }
        times.push_back(r.seconds);
        if (i == 0 || r.seconds < best.seconds) best = r;
    }

    const int format = sniffFormat(path);
    const double mb = static_cast<double>(size) / 1e6;
    std::printf("file:      %s\n", path.c_str());
    std::printf("size:      %llu bytes (%.2f MB)\n", static_cast<unsigned long long>(size), mb);
    std::printf("format:    %d (%s)\n", format, formatName(format));
    std::printf("mode:      %s\n", parallel ? "parallel (64 workers)" : "single");
    if (full && !parallel)
        std::printf("threads:   %d (parts added %llu, read again %llu)\n", fo.threads,
                    static_cast<unsigned long long>(best.partsAdded),
                    static_cast<unsigned long long>(best.partsReadAgain));
    std::printf("lines:     %llu\n", static_cast<unsigned long long>(best.lines));
    std::printf("records:   %llu (analysed %llu)\n", static_cast<unsigned long long>(best.records),
                static_cast<unsigned long long>(best.analysed));
    if (best.abandoned > 0) std::printf("abandoned: %d workers\n", best.abandoned);
    std::printf("runs:     ");
    for (double t : times) std::printf(" %.3f", t);
    std::printf(" s\n");
    std::printf("best:      %.3f s\n", best.seconds);
    std::printf("MB/s:      %.1f (MB = 10^6 bytes)\n", best.seconds > 0 ? mb / best.seconds : 0.0);
    std::printf("lines/s:   %.0f\n",
                best.seconds > 0 ? static_cast<double>(best.lines) / best.seconds : 0.0);
    std::printf("analysis:  %s\n", full ? "full (classify and finalise)" : "count only");
    if (full) std::printf("tables:\n%s", best.tables.c_str());
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak RSS:  %.1f MB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    return 0;
}
