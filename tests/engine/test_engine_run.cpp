// The statistics engine inside a real run: single and parallel mode count the same.
#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "engine/statistics_engine.h"
#include "ingest/analysis_run.h"
#include "platform/settings.h"
#include "support/fakes.h"

namespace tw::engine {
namespace {

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

}  // namespace
}  // namespace tw::engine
