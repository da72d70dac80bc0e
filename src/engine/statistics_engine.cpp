#include "engine/statistics_engine.h"

#include <thread>

#include "engine/range_merge.h"
#include "platform/strings.h"

namespace tw::engine {

StatisticsEngine::StatisticsEngine(std::size_t arenaBlockBytes)
    : stats_(arenaBlockBytes), classifier_(stats_, hooks_, nullptr) {}

void StatisticsEngine::useReverseDns(HostNameCache& cache, platform::Resolver& resolver,
                                     platform::Progress* progress) {
    dns_ = std::make_unique<ReverseDns>(cache, resolver, progress);
    progress_ = progress;
}

void StatisticsEngine::clear() {
    results_ = {};
    stats_.release();
    accepted_ = 0;
}

void StatisticsEngine::prepare(std::uint64_t totalBytes, const ingest::RunContext& context) {
    const config::RunSettings& s = context.settings;
    StatisticsOptions o;
    o.totalBytes = totalBytes;
    // Only lookups made as the records come run the analysis on many threads at once.
    o.useLocks = context.definition.EnableDNS != 0 && !(dns_ != nullptr && lookupsAhead_);
    o.caseSensitive = s.CaseSensitive != 0;
    o.removeFirstDot = s.RemoveFirstDot != 0;
    o.lastItems = s.LastItems;
    o.trackedFiles = context.definition.trackFiles;
    // The meter starts again from nothing: the tables stop counting on it while they are
    // emptied, then count what the new run's empty tables take.
    stats_.setMeter(nullptr);
    meter_.reset(ceiling_);
    stats_.initialise(o);
    stats_.setMeter(&meter_);
    statisticsOptions_ = o;
    ClassifierOptions co;
    co.caseSensitive = o.caseSensitive;
    co.removeDirectories = s.RemoveDirectories != 0;
    co.removeFirstDot = o.removeFirstDot;
    co.defaultPage = context.definition.DefaultPage;
    co.domain = context.domain;
    co.cutAtPound = s.DoNotDisplayPound != 0;
    co.cutAtQuestion = s.DoNotDisplayQuestion != 0;
    co.hyperlinkTree = !context.definition.Root.empty();
    classifierOptions_ = co;
    classifier_.setOptions(co);
    filters_.compile(s.globalFilters, context.definition.filters, s.AndIncludeFilters != 0,
                     s.AndExcludeFilters != 0, context.definition.ApacheTwoFileFormat != 0);
    classifier_.setFilters(&filters_);

    // With lookups, the addresses are looked up many at a time before the count (see
    // PlannedLookups), which then reads the answers. The older way, kept for comparison, runs the
    // records on many workers that look up at the same time and update the tables in line
    // order; both give the statistics of a single-threaded run.
    const bool dns = context.definition.EnableDNS != 0 && dns_ != nullptr;
    lookups_ = dns;
    ordered_ = context.definition.EnableDNS != 0 && !(dns && lookupsAhead_);
    gate_.reset();
    classifier_.setOrder(ordered_ ? &gate_ : nullptr);
    classifier_.setCancelFlag(progress_ ? &progress_->cancelFlag() : nullptr);
    planned_.clear();
    if (dns) {
        dns_->start(context.startTime, s.LookupTooOld, s.BadLookupTooOld);
        planned_.setFallback(dns_.get());
    }
    classifier_.setHooks(countHooks());
    startReadingRules(ClientDatabase::locate(rulesFolder_));
    if (s.CountRobots == 0) {
        const ClientDatabase* r = rules();
        robotRules_ = r != nullptr ? r : &noRules_;
    } else {
        robotRules_ = nullptr;
    }
    classifier_.setRobotRules(robotRules_);
    truncate_ = s.TruncateReports;
    removeFirstDot_ = o.removeFirstDot;
    runStart_ = context.startTime;
    accepted_ = 0;
}

void StatisticsEngine::analyse(const ingest::LogRecord& rec) {
    if (classifier_.classify(rec)) accepted_.fetch_add(1, std::memory_order_relaxed);
}

bool StatisticsEngine::addPage(std::string_view url, std::string_view title,
                               const std::vector<std::string_view>& links) {
    return addSitePage(stats_.sitePages, stats_.arena, url, title, links);
}

// A later range of a file: its own statistics and classifier (caches included), the engine's
// options and filters, which it only reads.
class StatisticsEngine::Range final : public ingest::RangeAnalyser {
  public:
    explicit Range(StatisticsEngine& engine)
        : engine_(engine), stats_(StringArena::kBlockBytes), classifier_(stats_, hooks_, nullptr) {}
    ~Range() override { stats_.setMeter(nullptr); }

    void begin() override {
        StatisticsOptions o = engine_.statisticsOptions_;
        o.useLocks = false;
        stats_.initialise(o);
        stats_.setMeter(&engine_.meter_);
        classifier_.setOptions(engine_.classifierOptions_);
        classifier_.setFilters(&engine_.filters_);
        classifier_.setHooks(engine_.countHooks());
        classifier_.setCancelFlag(engine_.progress_ ? &engine_.progress_->cancelFlag() : nullptr);
        classifier_.setRobotRules(engine_.robotRules());
        // Until the first dated request every visit is noted: the window starts there.
        stats_.visitors.totals().earlyLimit = INT64_MAX;
        stats_.rawHosts.totals().earlyLimit = INT64_MAX;
        windowSet_ = false;
        accepted_ = 0;
    }
    void analyse(const ingest::LogRecord& rec) override {
        if (!windowSet_ && rec.dated()) {
            stats_.visitors.totals().earlyLimit = rec.time + kEarlyVisitWindow;
            stats_.rawHosts.totals().earlyLimit = rec.time + kEarlyVisitWindow;
            windowSet_ = true;
        }
        if (classifier_.classify(rec)) ++accepted_;
    }
    bool exhausted() const override { return stats_.arena.outOfMemory() || engine_.meter_.over(); }

    const Statistics& statistics() const { return stats_; }
    std::uint64_t accepted() const { return accepted_; }

  private:
    StatisticsEngine& engine_;
    Statistics stats_;
    ClassifierHooks hooks_;
    RecordClassifier classifier_;
    bool windowSet_ = false;
    std::uint64_t accepted_ = 0;
};

ClassifierHooks& StatisticsEngine::countHooks() {
    if (!lookups_) return hooks_;
    if (lookupsAhead_) return planned_;
    return *dns_;
}

// Notes the addresses the count will ask about, through the engine's own classifier: it
// decides, filters included, which records' hosts are settled.
class StatisticsEngine::Noter final : public ingest::RecordAnalyser {
  public:
    explicit Noter(StatisticsEngine& engine) : engine_(engine) {}
    void analyse(const ingest::LogRecord& rec) override {
        if (engine_.classifier_.addressToResolve(rec, address_)) engine_.planned_.note(address_);
    }

  private:
    StatisticsEngine& engine_;
    std::string address_;
};

std::shared_ptr<ingest::RecordAnalyser> StatisticsEngine::lookupNoter() {
    if (!lookups_ || !lookupsAhead_) return nullptr;
    return std::make_shared<Noter>(*this);
}

bool StatisticsEngine::resolveNoted() {
    if (!lookups_ || !lookupsAhead_) return true;
    return planned_.resolveAll(*dns_, progress_ ? &progress_->cancelFlag() : nullptr);
}

std::unique_ptr<ingest::RangeAnalyser> StatisticsEngine::rangeAnalyser() {
    if (ordered_) return nullptr;
    return std::make_unique<Range>(*this);
}

bool StatisticsEngine::absorb(ingest::RangeAnalyser& range) {
    auto* r = dynamic_cast<Range*>(&range);
    if (r == nullptr || !canAbsorb(stats_, r->statistics())) return false;
    absorbRange(stats_, r->statistics());
    accepted_.fetch_add(r->accepted(), std::memory_order_relaxed);
    return true;
}

StatisticsEngine::LoadTarget StatisticsEngine::beginLoad() {
    clear();
    stats_.initialise(StatisticsOptions{});
    runStart_ = 0;
    return {stats_, results_, runStart_};
}

void StatisticsEngine::startReadingRules(const std::string& path) {
    if (readingRules_.valid()) readingRules_.wait();
    if (rules_ != nullptr && path == rulesPath_) return;
    rulesPath_ = path;
    rules_.reset();
    rulesProblem_.clear();
    if (path.empty()) {
        rulesProblem_ = "no regexes.yaml in the data folder nor in /usr/share/uap-core.";
        return;
    }
    readingRules_ = std::async(std::launch::async, [this, path] {
        auto db = std::make_unique<ClientDatabase>();
        std::string error;
        if (db->load(path, error))
            rules_ = std::move(db);
        else
            rulesProblem_ = error;
    });
}

const ClientDatabase* StatisticsEngine::rules() {
    if (readingRules_.valid()) readingRules_.get();
    return rules_.get();
}

void StatisticsEngine::finalise() {
    results_ = engine::finalise(stats_, truncate_, removeFirstDot_);
    const ClientDatabase* r = rules();
    std::string problem;
    if (r == nullptr)
        problem = platform::format(platform::text(platform::sid::ClientRulesMissing).data(),
                                   rulesProblem_.c_str());
    results_.clients = reportClients(stats_.agents, r, std::move(problem), truncate_,
                                     std::max(1u, std::thread::hardware_concurrency()));
}

}  // namespace tw::engine
