#pragma once
// One unattended run of the statistics engine over a real log, with test doubles for the
// prompts, progress and clock: for tests that check what a whole run counts.
#include <memory>
#include <string>
#include <vector>

#include "config/filter_store.h"
#include "engine/statistics_engine.h"
#include "ingest/analysis_run.h"
#include "platform/settings.h"
#include "support/fakes.h"

namespace tw::engine {

struct RunOutcome {
    bool produced = false;
    std::vector<test::FakePrompter::Event> events;
    std::uint64_t accepted = 0;
    ingest::RunSummary summary;
    std::shared_ptr<StatisticsEngine> engine;
    config::ReportDefinition definition;  // the one the run was generated from
};

struct RunOptions {
    bool parallel = false;
    int copies = 1;  // the log is named this many times in the path list
    std::size_t arenaBlockBytes = StringArena::kBlockBytes;
    std::string domain{};
    config::FilterList globalFilters{};  // stored in the settings, as the options sheet does
    config::FilterList reportFilters{};
    std::vector<std::string> trackFiles{};
    std::string root{};  // the hyperlink tree's root page
    // With both, a parallel run looks addresses up through them.
    platform::Resolver* resolver = nullptr;
    HostNameCache* cache = nullptr;
    bool lookupsAhead = true;         // false: looked up as the records come, by the 64 workers
    std::uint64_t memoryCeiling = 0;  // 0: the engine's default
    std::vector<std::pair<std::string, int>> settings{};  // program settings for this run
    std::string dataFolder{};  // where the client rules are looked for first
};

// One unattended run over `path`.
inline RunOutcome runOver(const std::string& path, const RunOptions& o = {}) {
    platform::MemorySettings settings;
    settings.setInt("", "DoNotRemindDNSInternet", 1);
    config::saveGlobalFilters(settings, o.globalFilters);
    for (const auto& [name, value] : o.settings) settings.setInt("", name, value);
    test::FakePrompter prompter;
    test::FakeProgressDialog progress;
    test::FakeClock clock;
    platform::PosixFileOpener files;
    ingest::PlainFileSources sources;
    ingest::MeasureOnly measure;
    ingest::NoSpider spider;
    auto engine = std::make_shared<StatisticsEngine>(o.arenaBlockBytes);
    if (o.resolver && o.cache) engine->useReverseDns(*o.cache, *o.resolver, &progress);
    engine->setLookupsAhead(o.lookupsAhead);
    engine->useClientRulesFrom(o.dataFolder);
    if (o.memoryCeiling != 0) engine->setMemoryCeiling(o.memoryCeiling);
    ingest::AnalysisRun run(
        {settings, prompter, progress, clock, files, sources, measure, spider, engine});
    config::ReportDefinition def;
    for (int i = 0; i < o.copies; ++i) def.Path += (i ? ";" : "") + path;
    def.DefaultPage = "index.html";
    def.EnableDNS = o.parallel ? 1 : 0;
    def.Domain = o.domain;
    def.filters = o.reportFilters;
    def.trackFiles = o.trackFiles;
    def.Root = o.root;
    RunOutcome out;
    out.produced = run.generate(def, ingest::RunMode::Unattended);
    out.events = prompter.events();
    out.accepted = engine->acceptedCount();
    out.summary = run.summary();
    out.engine = engine;
    out.definition = def;
    return out;
}

}  // namespace tw::engine
