// The statistics engine inside a real run: single and parallel mode give the same statistics.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <vector>

#include "engine/statistics_engine.h"
#include "ingest/analysis_run.h"
#include "ingest/log_time.h"
#include "platform/settings.h"
#include "support/engine_run.h"
#include "support/fakes.h"
#include "support/scripted_resolver.h"

namespace tw::engine {
namespace {

// Everything a run accumulated, as text: counters, bucket arrays, every table (sorted, so the
// order of chains does not matter) and the recent visitors in ring order.
std::string everything(const Statistics& s) {
    std::ostringstream out;
    const GeneralCounters& c = s.counters;
    out << c.totalBytes << ' ' << c.cachedHits << ' ' << c.notFound << ' ' << c.partial << ' '
        << c.pages << ' ' << c.images << ' ' << c.otherFiles << ' ' << c.earliest << ' ' << c.latest
        << ' ' << c.hostNamesSeen << c.agentsSeen << c.referrersSeen << '\n';
    for (auto v : s.hours) out << v << ' ';
    for (auto v : s.weekdays) out << v << ' ';
    for (auto v : s.operatingSystems) out << v << ' ';
    for (auto v : s.browsers) out << v << ' ';
    out << '\n';
    const auto table = [&](const char* name, const auto& t, auto line) {
        std::vector<std::string> lines;
        t.forEach([&](const auto& i) { lines.push_back(line(i)); });
        std::sort(lines.begin(), lines.end());
        out << name << ' ' << lines.size() << '\n';
        for (const std::string& l : lines) out << l << '\n';
    };
    const auto visitor = [](const VisitorKind::Item& v) {
        return std::string(v.host.view()) + ' ' + std::to_string(v.hits) + ' ' +
               std::to_string(v.visits) + ' ' + std::to_string(v.bytes) + ' ' +
               std::to_string(v.lastSeen);
    };
    const auto file = [](const RequestedFileKind::Item& f) {
        return std::string(f.url.view()) + ' ' + std::to_string(f.hits) + ' ' +
               std::to_string(f.partial) + ' ' + std::to_string(f.bytes);
    };
    const auto text = [](const TextHitsKind::Item& t) {
        return std::string(t.text.view()) + ' ' + std::to_string(t.hits);
    };
    const auto pair = [](const TextPairKind::Item& p) {
        return std::string(p.first.view()) + " > " + std::string(p.second.view()) + ' ' +
               std::to_string(p.hits);
    };
    const auto error = [](const ErrorRequestKind::Item& e) {
        return std::string(e.url.view()) + ' ' + std::to_string(e.status) + ' ' +
               std::to_string(e.hits);
    };
    const auto search = [](const SearchKind::Item& i) {
        return std::string(i.recorded.view()) + '|' + std::string(i.engine.view()) + ' ' +
               std::to_string(i.hits);
    };
    table("visitors", s.visitors, visitor);
    table("raw", s.rawHosts, visitor);
    table("suffixes", s.domainSuffixes, text);
    table("days", s.days, [](const DayKind::Item& d) {
        return std::to_string(d.day) + ' ' + std::to_string(d.hits) + ' ' + std::to_string(d.bytes);
    });
    table("pages", s.pages, file);
    table("images", s.images, file);
    table("others", s.otherFiles, file);
    table("directories", s.directories, file);
    table("404", s.notFound, error);
    table("errors", s.otherErrors, error);
    table("broken", s.brokenLinks, pair);
    table("transitions", s.pageTransitions, pair);
    table("referrer>page", s.referrerToPage, pair);
    table("referrers", s.referrerUrls, text);
    table("referred", s.referredPages, text);
    table("sites", s.referringSites, text);
    table("engines", s.searchEngines, search);
    table("phrases", s.searchPhrases, search);
    table("keywords", s.searchKeywords, search);
    table("agents", s.agents, [](const AgentKind::Item& a) {
        return std::string(a.agent.view()) + ' ' + std::to_string(a.hits) + ' ' +
               std::to_string(a.visits) + ' ' + std::to_string(a.bytes) + ' ' +
               std::to_string(a.lastSeen);
    });
    out << "robots left out " << c.robotsLeftOut << '\n';
    out << "recent " << s.recent.writeIndex() << '\n';
    for (const VisitorKind::Item* v : s.recent.entries())
        out << (v ? std::string(v->host.view()) : std::string("-")) << '\n';
    return out.str();
}

// One combined line of `host` at `minute` past 10:00 of 1 May 2024, by `agent`.
std::string line(const char* host, int minute, const char* agent, int bytes = 100) {
    char buf[512];
    std::snprintf(buf, sizeof buf,
                  "%s - - [01/May/2024:%02d:%02d:00 +0000] \"GET /a.html HTTP/1.1\" 200 %d \"-\" "
                  "\"%s\"\n",
                  host, 10 + minute / 60, minute % 60, bytes, agent);
    return buf;
}

constexpr const char* kFirefox =
    "Mozilla/5.0 (X11; Linux x86_64; rv:127.0) Gecko/20100101 Firefox/127.0";
constexpr const char* kChrome =
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/126.0.0.0 Safari/537.36";
constexpr const char* kGooglebot =
    "Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)";

// Each distinct agent is counted with its hits, bytes and last request, and is credited with
// the visits its requests started: a visit belongs to the agent of the request that began it.
// Robots left out are counted nowhere but in their own counter.
TEST(EngineRun, ClientsCountPerAgentWithTheVisitsTheyStarted) {
    if (ClientDatabase::locate("").empty()) GTEST_SKIP() << "no uap-core rules";
    const std::string path = (std::filesystem::temp_directory_path() / "tw-clients.log").string();
    {
        std::ofstream out(path);
        out << line("192.0.2.1", 0, kFirefox) << line("192.0.2.1", 10, kFirefox, 50)
            << line("192.0.2.2", 11, kChrome) << line("192.0.2.2", 12, kFirefox)
            << line("192.0.2.9", 13, kGooglebot, 7000) << line("192.0.2.1", 90, kFirefox)
            << line("192.0.2.2", 95, kFirefox);
    }
    const RunOutcome counted = runOver(path);
    ASSERT_TRUE(counted.produced);
    const auto agent = [](const RunOutcome& r, const char* text) {
        const AgentKind::Item* found = nullptr;
        r.engine->statistics().agents.forEach([&](const AgentKind::Item& a) {
            if (a.agent.view() == text) found = &a;
        });
        return found;
    };
    const AgentKind::Item* firefox = agent(counted, kFirefox);
    ASSERT_NE(firefox, nullptr);
    EXPECT_EQ(firefox->hits, 5u);
    EXPECT_EQ(firefox->visits, 3u) << "192.0.2.1 twice, 192.0.2.2 once after its gap";
    EXPECT_EQ(firefox->bytes, 450u);
    EXPECT_EQ(firefox->lastSeen, ingest::frameSeconds(2024, 5, 1, 11, 35, 0));
    ASSERT_NE(agent(counted, kChrome), nullptr);
    EXPECT_EQ(agent(counted, kChrome)->visits, 1u) << "the visit its request began";

    const ClientReports& c = counted.engine->results().clients;
    ASSERT_TRUE(c.rulesRead) << c.problem;
    EXPECT_EQ(c.agentHits, 7u);
    EXPECT_EQ(c.robotHits, 1u);
    ASSERT_EQ(c.browsers.size(), 2u);
    EXPECT_EQ(c.browsers[0], (ClientRow{"Firefox 127", 5, 3, 450, firefox->lastSeen}));
    EXPECT_EQ(c.browsers[1].name, "Chrome 126");
    ASSERT_EQ(c.robots.size(), 1u);
    EXPECT_EQ(c.robots[0].name, "Googlebot");
    EXPECT_EQ(c.robots[0].bytes, 7000u);
    ASSERT_FALSE(c.devices.empty());
    EXPECT_EQ(c.devices[0].name, "Desktop");
    EXPECT_EQ(c.devices[0].hits, 6u);

    const RunOutcome without = runOver(path, {.settings = {{"CountRobots", 0}}});
    ASSERT_TRUE(without.produced);
    EXPECT_EQ(without.engine->statistics().counters.robotsLeftOut, 1u);
    EXPECT_EQ(agent(without, kGooglebot), nullptr);
    EXPECT_EQ(without.engine->results().totalHits, counted.engine->results().totalHits - 1);
    EXPECT_EQ(without.engine->statistics().counters.totalBytes,
              counted.engine->statistics().counters.totalBytes - 7000);
    EXPECT_TRUE(without.engine->results().clients.robots.empty());

    // Damaged rules in the data folder come first and say so; robots are still known by the
    // words they sign with, and left out by them.
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "tw-rules";
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "regexes.yaml") << "user_agent_parsers: [unclosed\n";
    for (const int count : {1, 0}) {
        const RunOutcome damaged =
            runOver(path, {.settings = {{"CountRobots", count}}, .dataFolder = folder.string()});
        ASSERT_TRUE(damaged.produced);
        const ClientReports& d = damaged.engine->results().clients;
        EXPECT_FALSE(d.rulesRead);
        EXPECT_NE(d.problem.find((folder / "regexes.yaml").string()), std::string::npos)
            << d.problem;
        EXPECT_EQ(d.robotHits, count == 1 ? 1u : 0u);
        EXPECT_EQ(damaged.engine->statistics().counters.robotsLeftOut, count == 1 ? 0u : 1u);
    }
    std::filesystem::remove_all(folder);
    std::filesystem::remove(path);
}

TEST(EngineRun, SingleAndParallelModeGiveTheSameStatistics) {
    const std::string log =
        std::string(TALLYWEB_DATA_DIR) + "/combined/elastic-examples_apache_logs.log";
    if (!std::ifstream(log)) GTEST_SKIP() << "no " << log;
    // Parallel mode is the reverse-lookup mode; a resolver that knows no name keeps every
    // address as logged, so the two modes must agree on everything, visits and recent
    // visitors included, run after run.
    const RunOutcome single = runOver(log, {.domain = "semicomplete.com"});
    ASSERT_TRUE(single.produced);
    const std::string expected = everything(single.engine->statistics());
    for (int run = 0; run < 3; ++run) {
        test::ScriptedResolver nobody;
        HostNameCache cache;
        const RunOutcome parallel = runOver(
            log,
            {.parallel = true, .domain = "semicomplete.com", .resolver = &nobody, .cache = &cache});
        ASSERT_TRUE(parallel.produced);
        EXPECT_GT(nobody.calls(), 0);
        EXPECT_EQ(everything(parallel.engine->statistics()), expected) << "run " << run;
    }
}

// Far more distinct hosts and URLs than the single mode's caches of where a text went can hold,
// each met again after others took its place: whatever the caches forget or replace, the single
// mode counts what the workers' mode, which keeps no such cache, counts.
TEST(EngineRun, HostsAndUrlsBeyondTheCachesCountAsWithoutThem) {
    char pattern[] = "/tmp/tallyweb-distinct-XXXXXX";
    const std::filesystem::path dir = mkdtemp(pattern);
    const std::string log = (dir / "distinct.log").string();
    {
        std::ofstream out(log);
        std::uint64_t state = 7;
        const auto next = [&](std::uint32_t below) {
            state = state * 6364136223846793005ULL + 1442695040888963407ULL;
            return static_cast<std::uint32_t>(state >> 33) % below;
        };
        // The first half comes back to recent hosts and URLs most of the time, so the caches
        // find much and replace much; the second half draws evenly, so they find little and
        // stop looking now and then.
        std::vector<std::uint32_t> recentHosts(64, 0), recentUrls(64, 0);
        for (int line = 0; line < 40000; ++line) {
            std::uint32_t h = next(24000), u = next(24000);
            if (line < 20000 && next(10) < 7) {
                h = recentHosts[next(64)];
                u = recentUrls[next(64)];
            }
            recentHosts[static_cast<std::size_t>(line % 64)] = h;
            recentUrls[static_cast<std::size_t>(line % 64)] = u;
            const std::string host =
                h % 2 == 0
                    ? "10." + std::to_string(h / 65536) + "." + std::to_string(h / 256 % 256) +
                          "." + std::to_string(h % 256)
                    : "dial" + std::to_string(h) + ".Pool" + std::to_string(h % 7) + ".example.net";
            const std::string url =
                u % 5 == 0 ? "/dir" + std::to_string(u) + "/"
                           : "/d" + std::to_string(u % 300) + "/page" + std::to_string(u) + ".html";
            const int seconds = line * 2;  // within one day, so that visits come and go
            char stamp[64];
            std::snprintf(stamp, sizeof stamp, "01/Mar/2024:%02d:%02d:%02d +0000", seconds / 3600,
                          seconds / 60 % 60, seconds % 60);
            out << host << " - - [" << stamp << "] \"GET " << url << " HTTP/1.1\" "
                << (u % 11 == 0 ? 404 : 200) << ' ' << u % 997 << '\n';
        }
    }
    const RunOutcome single = runOver(log);
    test::ScriptedResolver nobody;
    HostNameCache cache;
    const RunOutcome workers = runOver(
        log, {.parallel = true, .resolver = &nobody, .cache = &cache, .lookupsAhead = false});
    std::filesystem::remove_all(dir);
    ASSERT_TRUE(single.produced);
    ASSERT_TRUE(workers.produced);
    EXPECT_GT(single.engine->statistics().rawHosts.size(), 15000u);
    EXPECT_GT(single.engine->statistics().pages.size(), 12000u);
    EXPECT_EQ(everything(single.engine->statistics()), everything(workers.engine->statistics()));
}

// 640 address blocks, each lookup taking 50 ms: looked up one after another that is 32 s.
TEST(EngineRun, LookupsOverlapInParallelMode) {
    char pattern[] = "/tmp/tallyweb-blocks-XXXXXX";
    const std::filesystem::path dir = mkdtemp(pattern);
    const std::string log = (dir / "blocks.log").string();
    test::ScriptedResolver slow;
    slow.setDelay(std::chrono::milliseconds(50));
    {
        std::ofstream out(log);
        for (int b = 0; b < 640; ++b) {
            const std::string address =
                "10." + std::to_string(b / 256) + '.' + std::to_string(b % 256) + ".7";
            if (b % 2 == 0) slow.answer(address, "host" + std::to_string(b) + ".example.net");
            out << address << " - - [01/Mar/2024:10:" << (b / 60) % 60 << ':' << b % 60
                << " +0000] \"GET /p" << b % 10 << ".htm HTTP/1.1\" 200 100\n";
        }
    }
    HostNameCache cache;
    const auto t0 = std::chrono::steady_clock::now();
    const RunOutcome run = runOver(log, {.parallel = true, .resolver = &slow, .cache = &cache});
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::filesystem::remove_all(dir);
    ASSERT_TRUE(run.produced);
    EXPECT_EQ(slow.calls(), 640);
    EXPECT_EQ(cache.size(), 640u);
    EXPECT_GE(slow.maxInFlight(), 16) << "lookups overlap";
    EXPECT_EQ(run.engine->statistics().counters.hostNamesSeen, true);
    // A figure for the record, not a check: the machine's speed is not the test's business.
    RecordProperty("seconds", std::to_string(seconds));
    std::printf("640 lookups of 50 ms took %.2f s\n", seconds);
}

// Made ahead, the lookups give what lookups made as the records come give; and of the
// addresses of one block, the first in the log is the one looked up, whatever else runs at once.
TEST(EngineRun, LookupsMadeAheadCountAsLookupsMadeOnTheWay) {
    char pattern[] = "/tmp/tallyweb-ahead-XXXXXX";
    const std::filesystem::path dir = mkdtemp(pattern);
    const std::string log = (dir / "ahead.log").string();
    const auto answers = [](test::ScriptedResolver& r) {
        for (int b = 0; b < 40; ++b)
            for (int host : {3, 9})
                if (b % 3 != 0)
                    r.answer(
                        "10.1." + std::to_string(b) + "." + std::to_string(host),
                        "Block" + std::to_string(b) + "-" + std::to_string(host) + ".example.org");
    };
    {
        std::ofstream out(log);
        int line = 0;
        const auto write = [&](const std::string& host) {
            out << host << " - - [01/Mar/2024:10:" << (line / 60) % 60 << ':' << line % 60
                << " +0000] \"GET /p" << line % 10 << ".htm HTTP/1.1\" 200 100\n";
            ++line;
        };
        // Each block's .9, then a hundred named hosts, then each block's .3: far enough apart
        // that the workers, 64 records at most in flight, also meet .9 first.
        for (int i = 0; i < 40; ++i) write("10.1." + std::to_string(i * 7 % 40) + ".9");
        for (int i = 0; i < 100; ++i) write("filler" + std::to_string(i) + ".example.com");
        for (int i = 0; i < 40; ++i) write("10.1." + std::to_string(i * 7 % 40) + ".3");
    }
    test::ScriptedResolver early;
    answers(early);
    early.setDelay(std::chrono::milliseconds(5));
    HostNameCache earlyCache;
    const RunOutcome ahead =
        runOver(log, {.parallel = true, .resolver = &early, .cache = &earlyCache});
    test::ScriptedResolver onTheWay;
    answers(onTheWay);
    HostNameCache onTheWayCache;
    const RunOutcome way = runOver(
        log,
        {.parallel = true, .resolver = &onTheWay, .cache = &onTheWayCache, .lookupsAhead = false});
    std::filesystem::remove_all(dir);
    ASSERT_TRUE(ahead.produced);
    ASSERT_TRUE(way.produced);
    EXPECT_EQ(early.calls(), 40) << "one lookup per block";
    EXPECT_EQ(early.callsFor("10.1.1.9"), 1);
    EXPECT_EQ(early.callsFor("10.1.1.3"), 0);
    EXPECT_GT(early.maxInFlight(), 1);
    EXPECT_LE(early.maxInFlight(), 64);
    EXPECT_EQ(everything(ahead.engine->statistics()), everything(way.engine->statistics()));
    const std::string all = everything(ahead.engine->statistics());
    EXPECT_NE(all.find("block1-9.example.org 2 "), std::string::npos) << all.substr(0, 3000);
    EXPECT_EQ(all.find("block1-3"), std::string::npos);
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
    // The tables' nodes count as much as the texts: a ceiling below what the whole run needs
    // ends it the same way, with what it read.
    const RunOutcome roomy = runOver(log, {.copies = 2});
    EXPECT_FALSE(roomy.summary.exhausted);
    EXPECT_EQ(roomy.accepted, 2u * 9999u);
    const std::uint64_t needed = roomy.engine->memoryMeter().used();
    EXPECT_GT(needed, 500000u) << "the tables of 20,000 records are counted";
    const RunOutcome capped = runOver(log, {.copies = 2, .memoryCeiling = needed / 3});
    EXPECT_TRUE(capped.produced);
    EXPECT_TRUE(capped.summary.exhausted);
    ASSERT_EQ(capped.events.size(), 1u);
    EXPECT_EQ(capped.events[0].text, "Out of Memory");
    EXPECT_GT(capped.accepted, 0u);
    EXPECT_LT(capped.accepted, 9999u);
    EXPECT_LE(capped.engine->memoryMeter().used(), needed / 3 + 200000)
        << "the reading stops soon after the ceiling";
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
