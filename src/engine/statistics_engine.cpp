#include "engine/statistics_engine.h"

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
    o.useLocks = context.definition.EnableDNS != 0;
    o.caseSensitive = s.CaseSensitive != 0;
    o.removeFirstDot = s.RemoveFirstDot != 0;
    o.lastItems = s.LastItems;
    o.trackedFiles = context.definition.trackFiles;
    stats_.initialise(o);
    ClassifierOptions co;
    co.caseSensitive = o.caseSensitive;
    co.removeDirectories = s.RemoveDirectories != 0;
    co.removeFirstDot = o.removeFirstDot;
    co.defaultPage = context.definition.DefaultPage;
    co.domain = context.domain;
    co.cutAtPound = s.DoNotDisplayPound != 0;
    co.cutAtQuestion = s.DoNotDisplayQuestion != 0;
    co.hyperlinkTree = !context.definition.Root.empty();
    classifier_.setOptions(co);
    filters_.compile(s.globalFilters, context.definition.filters, s.AndIncludeFilters != 0,
                     s.AndExcludeFilters != 0, context.definition.ApacheTwoFileFormat != 0);
    classifier_.setFilters(&filters_);

    // Reverse lookups run the records on many workers: they look up at the same time and then
    // update the tables in line order, so the statistics equal a single-threaded run's.
    const bool dns = context.definition.EnableDNS != 0;
    gate_.reset();
    classifier_.setOrder(dns ? &gate_ : nullptr);
    classifier_.setCancelFlag(progress_ ? &progress_->cancelFlag() : nullptr);
    if (dns && dns_) {
        dns_->start(context.startTime, s.LookupTooOld, s.BadLookupTooOld);
        classifier_.setHooks(*dns_);
    } else {
        classifier_.setHooks(hooks_);
    }
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

StatisticsEngine::LoadTarget StatisticsEngine::beginLoad() {
    clear();
    stats_.initialise(StatisticsOptions{});
    runStart_ = 0;
    return {stats_, results_, runStart_};
}

void StatisticsEngine::finalise() {
    results_ = engine::finalise(stats_, truncate_, removeFirstDot_);
}

}  // namespace tw::engine
