// The statistics engine inside a real run: single and parallel mode count the same.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <memory>
#include <vector>

#include "engine/statistics_engine.h"
#include "ingest/analysis_run.h"
#include "platform/settings.h"
#include "support/engine_run.h"
#include "support/fakes.h"

namespace tw::engine {
namespace {

std::map<std::string, std::string> generalRows(bool parallel, const std::string& path) {
    const RunOutcome r = runOver(path, {.parallel = parallel});
    EXPECT_TRUE(r.produced);
    const StatisticsEngine& engine = *r.engine;
    std::map<std::string, std::string> out;
    for (const auto& row : generalStatistics(engine.results(), engine.statistics().counters, 0))
        out[std::string(row.label)] = row.value;
    out["pages listed"] = std::to_string(engine.results().pages.size());
    std::uint64_t pageHits = 0;
    for (const auto& p : engine.results().pages) pageHits += p.hits;
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
        const RunOutcome r =
            runOver(log, {.parallel = parallel, .copies = 2, .arenaBlockBytes = 4096});
        EXPECT_TRUE(r.produced) << parallel;
        EXPECT_TRUE(r.summary.exhausted);
        ASSERT_EQ(r.events.size(), 1u) << "one message, and the second file is not read";
        EXPECT_EQ(r.events[0].text, "Out of Memory");
        EXPECT_EQ(r.events[0].caption, "Out of memory");
        EXPECT_GT(r.accepted, 0u);
        EXPECT_LT(r.accepted, 9999u);
    }
    const RunOutcome roomy = runOver(log, {.copies = 2});
    EXPECT_FALSE(roomy.summary.exhausted);
    EXPECT_EQ(roomy.accepted, 2u * 9999u);
}

// Filters reach the run from both places they are kept: the global list in the settings and
// the report's own list.
TEST(EngineRun, GlobalAndReportFiltersDecideWhatCounts) {
    const std::string log =
        std::string(TALLYWEB_DATA_DIR) + "/combined/elastic-examples_apache_logs.log";
    if (!std::ifstream(log)) GTEST_SKIP() << "no " << log;
    const auto failures = [](const Statistics& s) {
        std::uint64_t n = 0;
        const auto add = [&](const ErrorRequestKind::Item& e) {
            if (e.status >= 400) n += e.hits;
        };
        s.notFound.forEach(add);
        s.otherErrors.forEach(add);
        return n;
    };
    const RunOutcome all = runOver(log);
    const std::uint64_t failed = failures(all.engine->statistics());
    ASSERT_GT(failed, 0u);

    const config::Filter failuresOut{
        .Include = 1, .Information = config::kFilterSuccessCode, .nFilter = 400, .nFilter2 = 599};
    const RunOutcome global = runOver(log, {.globalFilters = {failuresOut}});
    EXPECT_EQ(global.accepted, all.accepted - failed);
    EXPECT_EQ(failures(global.engine->statistics()), 0u);
    EXPECT_EQ(global.engine->statistics().counters.notFound, 0u);

    // A report filter on top: only GET requests from the global filter's survivors.
    const config::Filter getsOnly{
        .Include = 0, .Information = config::kFilterRequest, .Request = 0};
    const RunOutcome both =
        runOver(log, {.globalFilters = {failuresOut}, .reportFilters = {getsOnly}});
    EXPECT_LT(both.accepted, global.accepted);
    EXPECT_GT(both.accepted, 0u);

    // Filters that drop every record end the run with the empty-data message.
    const config::Filter everything{
        .Include = 1, .Information = config::kFilterSuccessCode, .nFilter = 0, .nFilter2 = 999};
    const RunOutcome none = runOver(log, {.reportFilters = {everything}});
    EXPECT_FALSE(none.produced);
    ASSERT_FALSE(none.events.empty());
    EXPECT_NE(none.events.back().text.find("any valid log file entries"), std::string::npos);
}

}  // namespace
}  // namespace tw::engine
