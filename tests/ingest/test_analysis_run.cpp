// An analysis run as the user sees it: which messages appear, in which order and cases, and
// what the run produces.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "engine/counting_engine.h"
#include "ingest/analysis_run.h"
#include "platform/settings.h"
#include "platform/strings.h"
#include "support/fakes.h"

namespace tw::ingest {
namespace {

using test::FakePrompter;
using Kind = FakePrompter::Kind;

// Sizes come from the in-memory files, as a measuring step would find them.
class MemoryMeasure final : public Decompressor {
  public:
    std::map<std::string, std::string>* contents = nullptr;
    bool cancel = false;
    platform::CancelFlag* cancelFlag = nullptr;  // set as a user's cancel would
    int prepares = 0, finishes = 0;
    void finish() override { ++finishes; }
    PreparedFiles prepare(const std::vector<std::string>& files) override {
        ++prepares;
        if (cancel && cancelFlag) cancelFlag->set();
        PreparedFiles out;
        for (const auto& f : files) {
            auto it = contents->find(f);
            const std::uint64_t size = it == contents->end() ? 0 : it->second.size();
            out.files.push_back(f);
            out.sizes.push_back(size);
            out.totalBytes += size;
        }
        out.cancelled = cancel;
        return out;
    }
};

class ScriptedSpider final : public Spider {
  public:
    SpiderOutcome outcome = SpiderOutcome::Done;
    int calls = 0;
    SpiderOutcome crawl(const RunContext&, platform::Progress& p, SitePageSink&) override {
        ++calls;
        if (outcome == SpiderOutcome::Cancelled) p.cancelFlag().set();
        return outcome;
    }
};

std::string commonLines(int n, const std::string& host = "10.0.0.1") {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += host + " - - [10/Oct/2020:13:55:36 -0700] \"GET /p" + std::to_string(i) +
             ".html HTTP/1.0\" 200 100\n";
    return s;
}

std::string combinedLines(int n) {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += "10.0.0.2 - - [10/Oct/2020:13:55:36 -0700] \"GET /q" + std::to_string(i) +
             ".html HTTP/1.0\" 200 100 \"http://elsewhere.example/\" \"Mozilla/5.0\"\n";
    return s;
}

struct RunFixture : ::testing::Test {
    platform::MemorySettings settings;
    FakePrompter prompter;
    test::FakeProgressDialog progress;
    test::FakeClock clock;
    test::MemoryFileOpener files;
    std::map<std::string, std::string> contents;
    PlainFileSources sources;
    MemoryMeasure measure;
    ScriptedSpider spider;
    std::shared_ptr<engine::CountingEngine> engine = std::make_shared<engine::CountingEngine>();
    AnalysisRun run{{settings, prompter, progress, clock, files, sources, measure, spider, engine}};

    void SetUp() override { measure.contents = &contents; }
    void add(const std::string& path, const std::string& text) {
        contents[path] = text;
        files.add(path, text);
    }
    static config::ReportDefinition definition(const std::string& path) {
        config::ReportDefinition d;
        d.Name = "Test";
        d.Path = path;
        return d;
    }
    std::vector<Kind> kinds() const {
        std::vector<Kind> out;
        for (const auto& e : prompter.events()) out.push_back(e.kind);
        return out;
    }
    std::string text(int id) const { return std::string(platform::text(id)); }
};

// The sources of one entry that names several files, and of a second entry.
class GroupedSources final : public LogSources {
  public:
    SourceResult resolve(const config::ReportDefinition&, const config::RunSettings&) override {
        return {{"new.log", "old.log", "undated.log", "same1.log", "same2.log", "other.log"},
                false,
                {0, 0, 0, 0, 0, 1}};
    }
};

class FileOrder final : public RejectedLineSink {
  public:
    void rejected(std::string_view file, std::uint64_t, std::string_view, RejectReason) override {
        if (order.empty() || order.back() != file) order.emplace_back(file);
    }
    std::vector<std::string> order;
};

TEST_F(RunFixture, FilesOfOneEntryAreReadOldestFirstAndRejectedLinesCounted) {
    const auto dated = [](const char* day) {
        return "junk\n10.0.0.1 - - [" + std::string(day) +
               "/Oct/2020:13:55:36 +0000] \"GET /a.html HTTP/1.0\" 200 100\n";
    };
    add("new.log", dated("11"));
    add("old.log", dated("10"));
    add("undated.log", "junk\n");
    add("same1.log", dated("12"));
    add("same2.log", dated("12"));
    add("other.log", dated("01"));  // another entry: keeps its place after the first
    GroupedSources grouped;
    AnalysisRun ordered{{settings, prompter, progress, clock, files, grouped, measure, spider,
                         engine}};
    FileOrder order;
    ordered.setRejectedSink(&order);
    ASSERT_TRUE(ordered.generate(definition("ignored"), RunMode::Unattended));
    EXPECT_EQ(order.order, (std::vector<std::string>{"old.log", "new.log", "undated.log",
                                                     "same1.log", "same2.log", "other.log"}));
    EXPECT_EQ(ordered.summary().pipeline.rejected, 6u);
    EXPECT_EQ(ordered.summary().pipeline.records, 5u);
    const std::string& done = ordered.summary().completionText;
    const std::string tail = " 6 log lines could not be read and were not counted.";
    ASSERT_GE(done.size(), tail.size());
    EXPECT_EQ(done.substr(done.size() - tail.size()), tail);
}

TEST_F(RunFixture, NothingToReadEndsBeforeAnyThreadStarts) {
    // An empty path list, and files that are all empty, both say "no log files".
    EXPECT_FALSE(run.generate(definition(" ; "), RunMode::Interactive));
    add("empty1.log", "");
    add("empty2.log", "");
    EXPECT_FALSE(run.generate(definition("empty1.log;empty2.log"), RunMode::Interactive));
    const auto events = prompter.events();
    ASSERT_EQ(events.size(), 2u);
    for (const auto& e : events) {
        EXPECT_EQ(e.text, text(platform::sid::NoLogFiles));
        EXPECT_EQ(e.icon, platform::Icon::Error);
    }
    EXPECT_FALSE(progress.lastLayout().has_value()) << "the progress dialog never opened";
    EXPECT_EQ(files.opens(), 0);
}

TEST_F(RunFixture, NoAcceptedLineGivesTheNothingAcceptedMessage) {
    add("junk.log", "this is not a log\nneither is this line\n");
    EXPECT_FALSE(run.generate(definition("junk.log"), RunMode::Interactive));
    const auto events = prompter.events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].text, text(platform::sid::NothingAccepted));
    EXPECT_EQ(events[0].help, platform::help::NothingAccepted);
    EXPECT_EQ(progress.completions(), 1);
}

TEST_F(RunFixture, CompletedRunReportsSpeedAndMissingReferrers) {
    add("a.log", commonLines(50));
    clock.setStepMillis(2000);  // the run takes two seconds by the run's clock
    ASSERT_TRUE(run.generate(definition("a.log"), RunMode::Interactive));
    EXPECT_EQ(engine->acceptedCount(), 50u);

    const double mb = static_cast<double>(contents["a.log"].size()) / 1048576.0;
    const double speed = static_cast<double>(contents["a.log"].size()) * 60.0 / (2.0 * 1e6);
    const std::string expected =
        platform::format(platform::text(platform::sid::Completed).data(), mb, 2.0, speed);
    EXPECT_EQ(run.summary().completionText, expected);
    EXPECT_EQ(prompter.texts(),
              (std::vector<std::string>{expected, std::string(platform::txt::NoReferrerReminder)}));
    EXPECT_EQ(kinds(), (std::vector<Kind>{Kind::Notice, Kind::Notice}));
    EXPECT_EQ(progress.lastLayout(), platform::ProgressDialog::Layout::Plain);
}

TEST_F(RunFixture, TickedRemindersStayQuietAndUnattendedRunsShowNone) {
    add("a.log", commonLines(5));
    prompter.queueNotice({platform::Answer::Ok, true});   // speed: do not remind
    prompter.queueNotice({platform::Answer::Ok, false});  // referrer: remind again
    ASSERT_TRUE(run.generate(definition("a.log"), RunMode::Interactive));
    EXPECT_EQ(settings.getInt("", "DoNotSpeedRemind", 0), 1);
    EXPECT_FALSE(settings.has("", "DoNotRemindReferrer"));

    ASSERT_TRUE(run.generate(definition("a.log"), RunMode::Interactive));
    EXPECT_EQ(prompter.events().size(), 3u);
    EXPECT_EQ(prompter.texts().back(), platform::txt::NoReferrerReminder);

    ASSERT_TRUE(run.generate(definition("a.log"), RunMode::Unattended));
    EXPECT_EQ(prompter.events().size(), 3u);
    // Runs follow one another on the same engine without carrying counts over.
    EXPECT_EQ(engine->acceptedCount(), 5u);
}

TEST_F(RunFixture, OpenErrorsSkipTheFileAndNameIt) {
    add("good.log", combinedLines(3));
    ASSERT_TRUE(run.generate(definition("missing.log;good.log"), RunMode::Interactive));
    const auto texts = prompter.texts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[0],
              platform::format(platform::text(platform::sid::OpenError).data(), "missing.log"));
    EXPECT_EQ(texts[1], run.summary().completionText);
    EXPECT_EQ(texts.size(), 2u) << "a combined log has referrers: no referrer reminder";
    EXPECT_EQ(engine->acceptedCount(), 3u);
}

TEST_F(RunFixture, CancelDuringParsingKeepsWhatWasReadWithoutTheSpeedMessage) {
    add("big.log", commonLines(20000));
    progress.cancelOnReport(3);
    ASSERT_TRUE(run.generate(definition("big.log"), RunMode::Interactive));
    EXPECT_TRUE(run.summary().cancelled);
    EXPECT_GT(engine->acceptedCount(), 0u);
    EXPECT_LT(engine->acceptedCount(), 20000u);
    for (const auto& t : prompter.texts()) EXPECT_NE(t, run.summary().completionText);
}

TEST_F(RunFixture, HeaderProblemsOfferSkipOrAbort) {
    add("bad.log", "#Fields: date  time c-ip cs-uri-stem sc-status\n");
    add("thin.log", "#Fields: date time cs-uri-stem\n");
    add("good.log", commonLines(4));

    // OK skips each bad file; the insufficient-fields OK opens its help topic.
    ASSERT_TRUE(run.generate(definition("bad.log;thin.log;good.log"), RunMode::Unattended));
    auto events = prompter.events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].kind, Kind::OkCancel);
    EXPECT_EQ(events[0].text,
              platform::format(platform::text(platform::sid::UnexpectedFormat).data(), "bad.log"));
    EXPECT_EQ(events[1].kind, Kind::OkCancel);
    EXPECT_EQ(
        events[1].text,
        platform::format(platform::text(platform::sid::InsufficientFields).data(), "thin.log"));
    EXPECT_EQ(events[2].kind, Kind::Help);
    EXPECT_EQ(events[2].help, platform::help::InsufficientFields);
    EXPECT_EQ(engine->acceptedCount(), 4u);

    // Cancel aborts the file loop: what was read before is still finalised.
    FakePrompter fresh;
    add("first.log", commonLines(2));
    AnalysisRun run2{{settings, fresh, progress, clock, files, sources, measure, spider, engine}};
    fresh.queueAnswer(platform::Answer::Cancel);
    ASSERT_TRUE(run2.generate(definition("first.log;bad.log;good.log"), RunMode::Unattended));
    EXPECT_EQ(engine->acceptedCount(), 2u);
    EXPECT_EQ(fresh.events().size(), 1u);
}

TEST_F(RunFixture, ReverseLookupsAskForAConnectionAndRunInParallel) {
    add("a.log", commonLines(100));
    config::ReportDefinition d = definition("a.log");
    d.EnableDNS = 1;

    prompter.queueNotice({platform::Answer::Cancel, true});
    EXPECT_FALSE(run.generate(d, RunMode::Unattended));
    EXPECT_FALSE(progress.lastLayout().has_value());
    EXPECT_FALSE(settings.has("", "DoNotRemindDNSInternet")) << "Cancel does not store the box";

    prompter.queueNotice({platform::Answer::Ok, true});
    ASSERT_TRUE(run.generate(d, RunMode::Unattended));
    EXPECT_EQ(settings.getInt("", "DoNotRemindDNSInternet", 0), 1);
    EXPECT_EQ(progress.lastLayout(), platform::ProgressDialog::Layout::WithLookupStatus);
    EXPECT_EQ(progress.statuses(),
              (std::vector<std::string>{std::string(platform::text(platform::sid::NoLookupsYet))}));
    EXPECT_EQ(engine->acceptedCount(), 100u);
    EXPECT_EQ(run.summary().abandonedWorkers, 0);

    ASSERT_TRUE(run.generate(d, RunMode::Unattended));
    EXPECT_EQ(prompter.events().size(), 2u) << "the ticked reminder is not shown again";
}

TEST_F(RunFixture, MultiFileLayoutReadsTheCompanions) {
    add("/logs/access_log", commonLines(3));
    add("/logs/referer_log",
        "http://a.example/x.html -> /p0.html\nhttp://b.example/ -> /p1.html\n");
    add("/logs/agent_log", "Mozilla/5.0 (X11)\nMozilla/4.0\nBot/1.0\nCurl/8\n");
    config::ReportDefinition d = definition("/logs/access_log");
    d.ApacheTwoFileFormat = 1;
    d.filters.push_back({});
    ASSERT_TRUE(run.generate(d, RunMode::Interactive));
    EXPECT_EQ(engine->acceptedCount(), 3u);
    EXPECT_EQ(engine->refererRecords(), 2u);
    EXPECT_EQ(engine->agentRecords(), 4u);
    const auto texts = prompter.texts();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts[0], platform::txt::ApacheFiltersReminder);
    // The referer log carried referrers, so there is no missing-referrer reminder.
    for (const auto& t : texts) EXPECT_NE(t, platform::txt::NoReferrerReminder);
}

TEST_F(RunFixture, BandwidthReminderFollowsTheLastFieldDirective) {
    add("u_ex1.log",
        "#Fields: date time c-ip cs-uri-stem sc-status sc-bytes cs(Referer)\n"
        "2020-01-01 00:00:00 1.1.1.1 /a.htm 200 10 http://x.example/\n");
    add("u_ex2.log",
        "#Fields: date time c-ip cs-uri-stem sc-status cs(Referer)\n"
        "2020-01-02 00:00:00 1.1.1.1 /b.htm 200 http://x.example/\n");
    ASSERT_TRUE(run.generate(definition("u_ex2.log;u_ex1.log"), RunMode::Interactive));
    for (const auto& t : prompter.texts()) EXPECT_NE(t, platform::txt::NoBytesReminder);
    ASSERT_TRUE(run.generate(definition("u_ex1.log;u_ex2.log"), RunMode::Interactive));
    EXPECT_EQ(prompter.texts().back(), platform::txt::NoBytesReminder);
}

TEST_F(RunFixture, SpiderFailureProducesNoReport) {
    add("a.log", commonLines(3));
    config::ReportDefinition d = definition("a.log");
    d.Root = "not a url";
    spider.outcome = SpiderOutcome::InvalidRoot;
    EXPECT_FALSE(run.generate(d, RunMode::Interactive));
    auto events = prompter.events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].text, text(platform::sid::InvalidSpiderRoot));
    EXPECT_EQ(events[0].caption, "Tallyweb Error");
    EXPECT_EQ(engine->acceptedCount(), 0u) << "no line is parsed after a failed crawl";

    spider.outcome = SpiderOutcome::Cancelled;
    EXPECT_FALSE(run.generate(d, RunMode::Interactive));
    EXPECT_EQ(prompter.events().size(), 1u) << "a cancelled crawl ends quietly";
    EXPECT_FALSE(progress.cancelled()) << "the crawl's cancel is cleared";

    spider.outcome = SpiderOutcome::Done;
    EXPECT_TRUE(run.generate(d, RunMode::Unattended));
    EXPECT_EQ(spider.calls, 3);
    ASSERT_FALSE(progress.reports().empty());
}

TEST_F(RunFixture, CancelledDecompressionAsksWhetherToGoOn) {
    add("a.log", commonLines(3));
    measure.cancel = true;
    measure.cancelFlag = &progress.cancelFlag();
    prompter.queueAnswer(platform::Answer::No);
    EXPECT_FALSE(run.generate(definition("a.log"), RunMode::Unattended));
    ASSERT_EQ(prompter.events().size(), 1u);
    EXPECT_EQ(prompter.events()[0].text, text(platform::sid::DecompressCancelled));
    // Going on analyses every prepared line: the cancel was the preparing's, not the run's.
    EXPECT_TRUE(run.generate(definition("a.log"), RunMode::Unattended));
    EXPECT_EQ(engine->acceptedCount(), 3u);
    EXPECT_FALSE(run.summary().cancelled);

    // Every run that prepared files lets the copies go, however it ended.
    measure.cancel = false;
    add("junk.log", "not a log line\n");
    EXPECT_FALSE(run.generate(definition("junk.log"), RunMode::Unattended));
    EXPECT_FALSE(run.generate(definition(" ; "), RunMode::Unattended)) << "nothing prepared";
    EXPECT_EQ(measure.prepares, 3);
    EXPECT_EQ(measure.finishes, 3);
}

}  // namespace
}  // namespace tw::ingest
