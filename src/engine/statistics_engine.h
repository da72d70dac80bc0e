#pragma once
// The analysis engine of a run: statistics, the per-record analysis and finalisation behind
// the interface the run driver calls.
#include <atomic>
#include <future>
#include <memory>
#include <string>

#include "engine/ordered_gate.h"
#include "engine/planned_lookups.h"
#include "engine/record_classifier.h"
#include "engine/results.h"
#include "engine/reverse_dns.h"
#include "engine/statistics.h"
#include "ingest/run_services.h"

namespace tw::engine {

class StatisticsEngine final : public ingest::AnalysisEngine, private ingest::SitePageSink {
  public:
    // The arena's block size is a parameter so tests can run it out of memory cheaply.
    explicit StatisticsEngine(std::size_t arenaBlockBytes = StringArena::kBlockBytes);
    void analyse(const ingest::LogRecord& rec) override;
    void clear() override;
    void prepare(std::uint64_t totalBytes, const ingest::RunContext& context) override;
    void noteLineCounts(std::uint64_t records, std::uint64_t rejected) override {
        stats_.counters.recordLines = records;
        stats_.counters.rejectedLines = rejected;
    }
    void finalise() override;
    void release() override {}  // the tables hold the texts the results show
    std::uint64_t acceptedCount() const override { return accepted_.load(); }
    bool referrerSeen() const override { return stats_.counters.referrersSeen; }
    bool exhausted() const override { return stats_.arena.outOfMemory() || meter_.over(); }
    // The most the run's tables and texts may hold, all threads together; 0 for no ceiling.
    // Taken at prepare(); the default is three quarters of the machine's memory.
    void setMemoryCeiling(std::uint64_t bytes) { ceiling_ = bytes; }
    const MemoryMeter& memoryMeter() const { return meter_; }
    ingest::SitePageSink* sitePageSink() override { return this; }
    std::unique_ptr<ingest::RangeAnalyser> rangeAnalyser() override;
    bool absorb(ingest::RangeAnalyser& range) override;
    std::shared_ptr<ingest::RecordAnalyser> lookupNoter() override;
    bool resolveNoted() override;
    // Off: lookups are made as the records are counted, in line order, by the pipeline's
    // workers (the way before lookups were made ahead). For comparing the two.
    void setLookupsAhead(bool ahead) { lookupsAhead_ = ahead; }

    // Reverse lookups for reports that enable them: the cache (kept by the document from run to
    // run), the resolver, and the progress that shows the lookups and carries the cancel flag.
    // All must outlive the engine's runs. Without this, addresses stay as logged.
    void useReverseDns(HostNameCache& cache, platform::Resolver& resolver,
                       platform::Progress* progress);

    // Where the client rules are looked for first (see ClientDatabase::locate); without it,
    // only the system's copy. The rules are read once and kept from run to run.
    void useClientRulesFrom(std::string dataFolder) { rulesFolder_ = std::move(dataFolder); }

    const Statistics& statistics() const { return stats_; }
    const Results& results() const { return results_; }
    std::int64_t runStart() const { return runStart_; }

    // A saved report being read back: the previous statistics are dropped and the reader fills
    // these in place (the results' texts must point into this engine's arena). The engine then
    // holds the loaded report as if a run had produced it.
    struct LoadTarget {
        Statistics& statistics;
        Results& results;
        std::int64_t& runStart;
    };
    LoadTarget beginLoad();

  private:
    class Range;
    class Noter;
    ClassifierHooks& countHooks();
    // Reads the client rules in the background unless those at `path` are read already; the
    // count does not need them until it is over, unless robots are left out.
    void startReadingRules(const std::string& path);
    const ClientDatabase* rules();  // waits for the reading; null when it failed
    const ClientDatabase* robotRules() const { return robotRules_; }
    bool addPage(std::string_view url, std::string_view title,
                 const std::vector<std::string_view>& links) override;

    Statistics stats_;
    ClassifierHooks hooks_;
    std::unique_ptr<ReverseDns> dns_;
    platform::Progress* progress_ = nullptr;
    OrderedGate gate_;
    FilterSet filters_;
    RecordClassifier classifier_;
    Results results_;
    std::atomic<std::uint64_t> accepted_{0};
    StatisticsOptions statisticsOptions_;
    ClassifierOptions classifierOptions_;
    bool ordered_ = false;  // lookups as the records come: they are analysed in line order only
    bool lookups_ = false;  // this run looks addresses up
    bool lookupsAhead_ = true;
    PlannedLookups planned_;
    MemoryMeter meter_;
    std::uint64_t ceiling_ = MemoryMeter::defaultCeiling();
    int truncate_ = kDefaultTruncateReports;
    bool removeFirstDot_ = true;
    std::int64_t runStart_ = 0;
    std::string rulesFolder_;
    std::string rulesPath_;  // what rules_ was read from, or is being read from
    std::unique_ptr<ClientDatabase> rules_;
    std::string rulesProblem_;
    ClientDatabase noRules_;                      // robots by their words alone
    const ClientDatabase* robotRules_ = nullptr;  // this run leaves robots out by these
    // Last: its destructor waits for a reading still going on, before the rest goes.
    std::future<void> readingRules_;
};

}  // namespace tw::engine
