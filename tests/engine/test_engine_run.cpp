// The statistics engine inside a real run: single and parallel mode count the same.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <vector>

#include "engine/statistics_engine.h"
#include "ingest/analysis_run.h"
#include "platform/settings.h"
#include "support/fakes.h"

namespace tw::engine {
namespace {

struct RunOutcome {
    bool produced = false;
    std::vector<test::FakePrompter::Event> events;
    std::uint64_t accepted = 0;
    ingest::RunSummary summary;
};

RunOutcome runWithArena(std::size_t arenaBlockBytes, const std::string& path, bool parallel) {
    platform::MemorySettings settings;
    test::FakePrompter prompter;
    test::FakeProgressDialog progress;
    test::FakeClock clock;
    platform::PosixFileOpener files;
    ingest::PlainFileSources sources;
    ingest::MeasureOnly measure;
    ingest::NoSpider spider;
    auto engine = std::make_shared<StatisticsEngine>(arenaBlockBytes);
    ingest::AnalysisRun run(
        {settings, prompter, progress, clock, files, sources, measure, spider, engine});
    config::ReportDefinition def;
    def.Path = path + ";" + path;
    def.EnableDNS = parallel ? 1 : 0;
    settings.setInt("", "DoNotRemindDNSInternet", 1);
    RunOutcome out;
    out.produced = run.generate(def, ingest::RunMode::Unattended);
    out.events = prompter.events();
    out.accepted = engine->acceptedCount();
    out.summary = run.summary();
    return out;
}

std::map<std::string, std::string> generalRows(bool parallel, const std::string& path) {
    platform::MemorySettings settings;
    settings.setInt("", "DoNotRemindDNSInternet", 1);
    test::FakePrompter prompter;
    test::FakeProgressDialog progress;
    test::FakeClock clock;
    platform::PosixFileOpener files;
    ingest::PlainFileSources sources;
    ingest::MeasureOnly measure;
    ingest::NoSpider spider;
    auto engine = std::make_shared<StatisticsEngine>();
    ingest::AnalysisRun run(
        {settings, prompter, progress, clock, files, sources, measure, spider, engine});
    config::ReportDefinition def;
    def.Path = path;
    def.EnableDNS = parallel ? 1 : 0;
    EXPECT_TRUE(run.generate(def, ingest::RunMode::Unattended));
    std::map<std::string, std::string> out;
    for (const auto& r : generalStatistics(engine->results(), engine->statistics().counters, 0))
        out[std::string(r.label)] = r.value;
    out["pages listed"] = std::to_string(engine->results().pages.size());
    std::uint64_t pageHits = 0;
    for (const auto& p : engine->results().pages) pageHits += p.hits;
    out["hits of the listed pages"] = std::to_string(pageHits);
    return out;
}

TEST(EngineRun, SingleAndParallelModeCountTheSame) {
    const std::string log =
        std::string(TALLYWEB_DATA_DIR) + "/combined/elastic-examples_apache_logs.log";
    if (!std::ifstream(log)) GTEST_SKIP() << "no " << log;
    auto single = generalRows(false, log);
    auto parallel = generalRows(true, log);
    // Visits depend on the order in which one host's requests are analysed, and parallel mode
    // analyses records in no particular order; every other figure must agree.
    for (const char* orderDependent :
         {"Total Visiting Users", "Average Hits per User", "Average Users per Day",
          "Average Data Transferred per User", "Each user has visited approximately"}) {
        single.erase(orderDependent);
        parallel.erase(orderDependent);
    }
    EXPECT_EQ(single, parallel);
    EXPECT_EQ(single["Hits"], "9999");
}

TEST(EngineRun, OutOfMemoryEndsTheReadingOnceAndKeepsTheResults) {
    const std::string log =
        std::string(TALLYWEB_DATA_DIR) + "/combined/elastic-examples_apache_logs.log";
    if (!std::ifstream(log)) GTEST_SKIP() << "no " << log;
    for (bool parallel : {false, true}) {
        // Twenty blocks of 4 KB hold only the first few hundred distinct texts.
        const RunOutcome r = runWithArena(4096, log, parallel);
        EXPECT_TRUE(r.produced) << parallel;
        EXPECT_TRUE(r.summary.exhausted);
        ASSERT_EQ(r.events.size(), 1u) << "one message, and the second file is not read";
        EXPECT_EQ(r.events[0].text, "Out of Memory");
        EXPECT_EQ(r.events[0].caption, "Out of memory");
        EXPECT_GT(r.accepted, 0u);
        EXPECT_LT(r.accepted, 9999u);
    }
    const RunOutcome roomy = runWithArena(StringArena::kBlockBytes, log, false);
    EXPECT_FALSE(roomy.summary.exhausted);
    EXPECT_EQ(roomy.accepted, 2u * 9999u);
}

}  // namespace
}  // namespace tw::engine
