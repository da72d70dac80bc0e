// The record pipeline: every line read whole whatever the window size, the same records in
// single and parallel mode, per-record capabilities, cancel, progress and mapping failures.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "ingest/log_time.h"
#include "ingest/record_pipeline.h"
#include "support/fakes.h"

namespace tw::ingest {
namespace {

// Remembers a compact description of every record it is given.
class RecordingAnalyser final : public RecordAnalyser {
  public:
    explicit RecordingAnalyser(std::chrono::microseconds delay = {}) : delay_(delay) {}
    void analyse(const LogRecord& rec) override {
        if (delay_.count() > 0) std::this_thread::sleep_for(delay_);
        std::string d;
        d.append(rec.host.view()).append("|").append(rec.url.view()).append("|");
        d.append(std::to_string(rec.status)).append("|").append(std::to_string(rec.bytes));
        d.append("|").append(rec.agent.view()).append("|");
        d.append(rec.caps.hasAccessData ? "A" : "").append(rec.caps.hasReferrer ? "R" : "");
        d.append(rec.caps.hasAgent ? "G" : "").append(rec.caps.refererLogMode ? "L" : "");
        std::lock_guard lock(mutex_);
        seen_.push_back(std::move(d));
    }
    std::vector<std::string> sorted() const {
        std::lock_guard lock(mutex_);
        auto v = seen_;
        std::sort(v.begin(), v.end());
        return v;
    }
    std::vector<std::string> inOrder() const {
        std::lock_guard lock(mutex_);
        return seen_;
    }
    std::size_t count() const {
        std::lock_guard lock(mutex_);
        return seen_.size();
    }

  private:
    std::chrono::microseconds delay_;
    mutable std::mutex mutex_;
    std::vector<std::string> seen_;
};

// A combined log with lines of very different lengths, so window ends fall everywhere.
std::string makeCombinedLog(int lines, unsigned seed, const char* eol = "\n") {
    std::mt19937 rng(seed);
    std::string out;
    for (int i = 0; i < lines; ++i) {
        const int pad = static_cast<int>(rng() % 300);
        out += "10.0." + std::to_string(i % 250) + "." + std::to_string(i % 7) +
               " - - [10/Oct/2020:13:55:" + std::to_string(10 + i % 50) + " -0700] \"GET /dir" +
               std::to_string(i) + "/page.html HTTP/1.1\" 200 " + std::to_string(i * 37) +
               " \"http://ref.example/" + std::string(pad, 'r') + "\" \"Agent " +
               std::to_string(i) + "\"" + eol;
    }
    return out;
}

struct Harness {
    test::MemoryFileOpener files;
    test::FakeProgressDialog progress;
    std::shared_ptr<RecordingAnalyser> analyser = std::make_shared<RecordingAnalyser>();

    ReadOutcome read(const std::string& path, bool parallel, std::size_t stretch,
                     int format = kFormatDetect) {
        RecordPipeline pipeline(analyser, files, progress);
        pipeline.setStretchBytes(stretch);
        pipeline.start(parallel, 1000);
        std::uint64_t size = 0;
        const ReadOutcome out = pipeline.readFile(format, path, 0, size);
        pipeline.stop();
        lines = pipeline.stats().lines;
        return out;
    }
    std::uint64_t lines = 0;
};

TEST(RecordPipeline, EveryLineIsReadWholeWhateverTheStretchSize) {
    const std::string log = makeCombinedLog(400, 7);
    Harness reference;
    reference.files.add("access.log", log);
    ASSERT_EQ(reference.read("access.log", false, kDefaultStretchBytes), ReadOutcome::Done);
    const auto expected = reference.analyser->inOrder();
    ASSERT_EQ(expected.size(), 400u);
    EXPECT_EQ(reference.lines, 400u);

    // Stretches shorter than a line, around a line, and odd sizes that cut lines anywhere.
    for (std::size_t stretch : {1, 7, 64, 199, 333, 512, 4096, 10007}) {
        Harness h;
        h.files.add("access.log", log);
        ASSERT_EQ(h.read("access.log", false, stretch), ReadOutcome::Done) << stretch;
        EXPECT_EQ(h.analyser->inOrder(), expected) << "stretch " << stretch;
        EXPECT_EQ(h.lines, 400u) << "stretch " << stretch;
    }
}

TEST(RecordPipeline, RealMappedWindowsOnPageBoundaries) {
    // Through the real mmap with the smallest stretch the system allows (one page), lines of
    // random length cross many window boundaries; CRLF endings put the CR and LF in different
    // windows now and then.
    const std::string log = makeCombinedLog(3000, 11, "\r\n");
    char name[] = "/tmp/tallyweb-pipeline-XXXXXX";
    const int fd = ::mkstemp(name);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, log.data(), log.size()), static_cast<ssize_t>(log.size()));
    ::close(fd);

    platform::PosixFileOpener files;
    test::FakeProgressDialog progress;
    std::vector<std::string> results[2];
    for (int run = 0; run < 2; ++run) {
        auto analyser = std::make_shared<RecordingAnalyser>();
        RecordPipeline pipeline(analyser, files, progress);
        pipeline.setStretchBytes(run == 0 ? kDefaultStretchBytes : 1);
        pipeline.start(false, log.size());
        std::uint64_t size = 0;
        EXPECT_EQ(pipeline.readFile(kFormatDetect, name, 0, size), ReadOutcome::Done);
        EXPECT_EQ(size, log.size());
        pipeline.stop();
        results[run] = analyser->inOrder();
    }
    ::unlink(name);
    EXPECT_EQ(results[0].size(), 3000u);
    EXPECT_EQ(results[1], results[0]);
}

TEST(RecordPipeline, LineLongerThanAStretchIsKeptAndCapped) {
    std::string agent(25000, 'x');
    std::string log =
        "1.2.3.4 - - [10/Oct/2020:13:55:36 -0700] \"GET /a.html HTTP/1.0\" 200 5 "
        "\"-\" \"" +
        agent + "\"\n";
    log += "1.2.3.5 - - [10/Oct/2020:13:55:37 -0700] \"GET /b.html HTTP/1.0\" 200 6 \"-\" \"B\"\n";
    for (std::size_t stretch : {std::size_t{100}, std::size_t{4096}, kDefaultStretchBytes}) {
        Harness h;
        h.files.add("a.log", log);
        ASSERT_EQ(h.read("a.log", false, stretch, kFormatCombined), ReadOutcome::Done);
        const auto seen = h.analyser->inOrder();
        ASSERT_EQ(seen.size(), 2u) << stretch;
        EXPECT_NE(seen[0].find("|" + std::string(kFieldMax, 'x') + "|"), std::string::npos);
        EXPECT_EQ(seen[0].find(std::string(kFieldMax + 1, 'x')), std::string::npos);
        EXPECT_EQ(seen[1], "1.2.3.5|/b.html|200|6|B|ARG");
    }
}

TEST(RecordPipeline, ParallelModeAnalysesTheSameRecords) {
    const std::string log = makeCombinedLog(2000, 3);
    Harness single, parallel;
    single.files.add("a.log", log);
    parallel.files.add("a.log", log);
    ASSERT_EQ(single.read("a.log", false, 4096), ReadOutcome::Done);
    ASSERT_EQ(parallel.read("a.log", true, 4096), ReadOutcome::Done);
    EXPECT_EQ(parallel.analyser->count(), 2000u);
    EXPECT_EQ(parallel.analyser->sorted(), single.analyser->sorted());
}

TEST(RecordPipeline, EachRecordCarriesTheCapabilitiesOfItsOwnFile) {
    // Slow workers are still busy with the common log's last records when the combined log's
    // flags take over; each record must keep the flags it was read with.
    std::string common, combined;
    for (int i = 0; i < 300; ++i) {
        common += "common" + std::to_string(i) +
                  " - - [10/Oct/2020:13:55:36 -0700] \"GET /c.html HTTP/1.0\" 200 1\n";
        combined += "combined" + std::to_string(i) +
                    " - - [10/Oct/2020:13:55:36 -0700] \"GET /d.html HTTP/1.0\" 200 1 \"-\" "
                    "\"agent\"\n";
    }
    test::MemoryFileOpener files;
    test::FakeProgressDialog progress;
    auto analyser = std::make_shared<RecordingAnalyser>(std::chrono::microseconds(300));
    RecordPipeline pipeline(analyser, files, progress);
    files.add("common.log", common);
    files.add("combined.log", combined);
    pipeline.start(true, common.size() + combined.size());
    std::uint64_t size = 0;
    ASSERT_EQ(pipeline.readFile(kFormatDetect, "common.log", 0, size), ReadOutcome::Done);
    ASSERT_EQ(pipeline.readFile(kFormatDetect, "combined.log", size, size), ReadOutcome::Done);
    pipeline.stop();
    const auto seen = analyser->sorted();
    ASSERT_EQ(seen.size(), 600u);
    for (const std::string& d : seen) {
        const std::string flags = d.substr(d.rfind('|') + 1);
        EXPECT_EQ(flags, d.rfind("common", 0) == 0 ? "A" : "ARG") << d;
    }
}

TEST(RecordPipeline, CancelStopsBeforeTheNextLineAndKeepsWhatWasRead) {
    const std::string log = makeCombinedLog(5000, 5);
    for (bool parallel : {false, true}) {
        Harness h;
        h.files.add("a.log", log);
        // Report 1 names the file; the cancel comes with the first periodic report.
        h.progress.cancelOnReport(2);
        EXPECT_EQ(h.read("a.log", parallel, kDefaultStretchBytes), ReadOutcome::Cancelled);
        const std::size_t interval = parallel ? 11 : 1001;
        EXPECT_EQ(h.lines, interval) << parallel;
        EXPECT_EQ(h.analyser->count(), interval) << parallel;
    }
}

TEST(RecordPipeline, ProgressReportsNameTheFileAndAdvance) {
    const std::string log = makeCombinedLog(5000, 9);
    test::MemoryFileOpener files;
    test::FakeProgressDialog progress;
    auto analyser = std::make_shared<RecordingAnalyser>();
    RecordPipeline pipeline(analyser, files, progress);
    files.add("/var/log/site/first.log", log);
    files.add("/var/log/site/empty.log", "");
    pipeline.start(false, 2 * log.size());
    std::uint64_t size = 0;
    EXPECT_EQ(pipeline.readFile(kFormatDetect, "/var/log/site/empty.log", 0, size),
              ReadOutcome::Done);
    EXPECT_EQ(size, 0u);
    EXPECT_TRUE(progress.reports().empty()) << "an empty file sends no progress";
    EXPECT_EQ(pipeline.readFile(kFormatDetect, "/var/log/site/first.log", log.size(), size),
              ReadOutcome::Done);
    pipeline.stop();

    const auto reports = progress.reports();
    // One report naming the file, then one for every 1001 lines.
    ASSERT_EQ(reports.size(), 1u + 5000 / 1001);
    ASSERT_TRUE(reports[0].text.has_value());
    EXPECT_EQ(*reports[0].text, "Analyzing first.log");
    EXPECT_EQ(reports[0].percent, 50);
    int last = 0;
    for (std::size_t i = 1; i < reports.size(); ++i) {
        EXPECT_FALSE(reports[i].text.has_value());
        EXPECT_GE(reports[i].percent, last);
        EXPECT_LE(reports[i].percent, 100);
        last = reports[i].percent;
    }
    EXPECT_GT(last, 80);
}

TEST(RecordPipeline, OpenAndMappingFailures) {
    const std::string log = makeCombinedLog(100, 1);
    Harness missing;
    EXPECT_EQ(missing.read("nowhere.log", false, 100), ReadOutcome::OpenFailed);

    // The third window fails: the records of the first two were analysed and stay counted.
    Harness h;
    h.files.add("a.log", log);
    h.files.failWindow(3);
    const std::size_t stretch = log.size() / 10;
    EXPECT_EQ(h.read("a.log", false, stretch), ReadOutcome::OpenFailed);
    EXPECT_GT(h.analyser->count(), 0u);
    EXPECT_LT(h.analyser->count(), 100u);
}

TEST(RecordPipeline, FieldDirectivesGovernTheLinesAfterThem) {
    // Two concatenated daily logs with different field lists, and a broken block in between
    // whose lines cannot be read.
    const std::string log =
        "#Software: Microsoft Internet Information Services 7.5\r\n"
        "#Date: 2009-11-01 00:00:00\r\n"
        "#Fields: date time c-ip cs-method cs-uri-stem sc-status sc-bytes\r\n"
        "2009-11-01 10:00:00 1.1.1.1 GET /one.htm 200 100\r\n"
        "#Fields: date time cs-uri-stem\r\n"
        "2009-11-01 10:00:01 /lost.htm\r\n"
        "#Date: 2009-11-02 00:00:00\r\n"
        "#Fields: time s-ip cs-method cs-uri-stem c-ip cs(User-Agent) sc-status\r\n"
        "08:00:00 9.9.9.9 GET /two.htm 2.2.2.2 Mozilla/5.0+(X11) 404\r\n";
    Harness h;
    h.files.add("u_ex.log", log);
    ASSERT_EQ(h.read("u_ex.log", false, 16), ReadOutcome::Done);
    const auto seen = h.analyser->inOrder();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], "1.1.1.1|/one.htm|200|100||A");
    EXPECT_EQ(seen[1], "2.2.2.2|/two.htm|404|0|Mozilla/5.0 (X11)|AG");
    EXPECT_EQ(h.lines, 9u);
}

TEST(RecordPipeline, LineEndsCommentsAndTails) {
    // CR-only and mixed line ends, a comment line in a common log, control bytes between
    // lines, and a comma log whose trailing fields must not come back as a line of their own.
    const std::string common =
        "# written by a proxy\r"
        "1.1.1.1 - - [10/Oct/2020:13:55:36 -0700] \"GET /a HTTP/1.0\" 200 1\r"
        "\x01\x02"
        "2.2.2.2 - - [10/Oct/2020:13:55:36 -0700] \"GET /b HTTP/1.0\" 200 2\n\r\n"
        "3.3.3.3 - - [10/Oct/2020:13:55:36 -0700] \"GET /c HTTP/1.0\" 200 3";
    // One stretch cuts every line; the default one holds the file, so line ends found ahead
    // of the line being read must still end their own lines only.
    for (const std::size_t stretch : {std::size_t{5}, kDefaultStretchBytes}) {
        Harness h;
        h.files.add("c.log", common);
        ASSERT_EQ(h.read("c.log", false, stretch, kFormatCommon), ReadOutcome::Done);
        EXPECT_EQ(h.analyser->inOrder(),
                  (std::vector<std::string>{"1.1.1.1|/a|200|1||A", "2.2.2.2|/b|200|2||A",
                                            "3.3.3.3|/c|200|3||A"}))
            << stretch;
        EXPECT_EQ(h.lines, 4u) << stretch;
    }
    // LF lines first, a CR far ahead of them, then an LF line again.
    const std::string late =
        "1.1.1.1 - - [10/Oct/2020:13:55:36 -0700] \"GET /a HTTP/1.0\" 200 1\n"
        "2.2.2.2 - - [10/Oct/2020:13:55:36 -0700] \"GET /b HTTP/1.0\" 200 2\n"
        "3.3.3.3 - - [10/Oct/2020:13:55:36 -0700] \"GET /c HTTP/1.0\" 200 3\r"
        "4.4.4.4 - - [10/Oct/2020:13:55:36 -0700] \"GET /d HTTP/1.0\" 200 4\n";
    Harness l;
    l.files.add("l.log", late);
    ASSERT_EQ(l.read("l.log", false, kDefaultStretchBytes, kFormatCommon), ReadOutcome::Done);
    EXPECT_EQ(l.analyser->inOrder(),
              (std::vector<std::string>{"1.1.1.1|/a|200|1||A", "2.2.2.2|/b|200|2||A",
                                        "3.3.3.3|/c|200|3||A", "4.4.4.4|/d|200|4||A"}));
    EXPECT_EQ(l.lines, 4u);

    const std::string iis =
        "192.168.114.201, -, 03/20/01, 7:55:20, W3SVC2, SERVER, 172.21.13.45, 4502, 163, 3223, "
        "200, 0, GET, /DeptLogo.gif, -,\r\n"
        "192.168.110.54, -, 03/20/01, 7:57:20, W3SVC2, SERVER, 172.21.13.45, 411, 221, 1967, "
        "200, 0, GET, /Default.htm, -,\r\n";
    Harness c;
    c.files.add("ex.log", iis);
    ASSERT_EQ(c.read("ex.log", false, kDefaultStretchBytes), ReadOutcome::Done);
    EXPECT_EQ(c.analyser->count(), 2u);
    EXPECT_EQ(c.lines, 2u);
}

class RejectedList final : public RejectedLineSink {
  public:
    void rejected(std::string_view file, std::uint64_t lineNumber, std::string_view line,
                  RejectReason why) override {
        seen.push_back(std::string(file) + ":" + std::to_string(lineNumber) + ":" +
                       std::to_string(static_cast<int>(why)) + ":" + std::string(line));
    }
    std::vector<std::string> seen;
};

TEST(RecordPipeline, RejectedLinesAreCountedAndReportedWithTheirLineNumbers) {
    // LF, CRLF, lone CR and blank lines all end lines; a comment is no rejected line. The
    // request lines of 400 and 408 answers, an agent without its closing quote and a common
    // line among combined ones are what real logs hold.
    const std::string good =
        R"(1.1.1.1 - - [10/Oct/2020:13:55:36 -0700] "GET /a HTTP/1.0" 200 1 "-" "A")";
    const std::string log =
        good + "\r\n" +                                                               // 1
        R"(2.2.2.2 - - [10/Oct/2020:13:55:36 -0700] "-" 408 0 "-" "-")" + "\n" +        // 2
        "\n" +                                                                        // 3
        "# a comment\r" +                                                             // 4
        R"(3.3.3.3 - - [10/Oct/2020:13:55:36 -0700] " " 400 0 "-" "-")" + "\r\n" +      // 5
        R"(4.4.4.4 - - [10/Oct/2020:13:55:36 -0700] "GET /b HTTP/1.0" 200 1 "-" "cut)" +
        "\r" +                                                                        // 6
        R"(5.5.5.5 - - [10/Oct/2020:13:55:36 -0700] "GET /c HTTP/1.0" 200 9)" + "\n" +  // 7
        R"(6.6.6.6 - - [31/Sep/2020:13:55:36 -0700] "GET /d HTTP/1.0" 200 1 "-" "A")" +
        "\n\n\r\n" +  // 8, 9, 10
        good;         // 11
    const std::vector<std::string> want = {
        "x.log:2:2:2.2.2.2 - - [10/Oct/2020:13:55:36 -0700] \"-\" 408 0 \"-\" \"-\"",
        "x.log:5:2:3.3.3.3 - - [10/Oct/2020:13:55:36 -0700] \" \" 400 0 \"-\" \"-\"",
        "x.log:6:1:4.4.4.4 - - [10/Oct/2020:13:55:36 -0700] \"GET /b HTTP/1.0\" 200 1 \"-\" "
        "\"cut",
        "x.log:7:1:5.5.5.5 - - [10/Oct/2020:13:55:36 -0700] \"GET /c HTTP/1.0\" 200 9",
        "x.log:8:3:6.6.6.6 - - [31/Sep/2020:13:55:36 -0700] \"GET /d HTTP/1.0\" 200 1 \"-\" "
        "\"A\""};
    // Window ends anywhere, also between the CR and the LF of one line end.
    for (std::size_t stretch : {std::size_t{1}, std::size_t{3}, std::size_t{64}, kDefaultStretchBytes}) {
        for (const bool parallel : {false, true}) {
            test::MemoryFileOpener files;
            test::FakeProgressDialog progress;
            auto analyser = std::make_shared<RecordingAnalyser>();
            files.add("copy.log", log);
            RejectedList list;
            RecordPipeline pipeline(analyser, files, progress);
            pipeline.setStretchBytes(stretch);
            pipeline.setRejectedSink(&list);
            pipeline.start(parallel, 1000);
            std::uint64_t size = 0;
            ASSERT_EQ(pipeline.readFile(kFormatCombined, "copy.log", 0, size, "x.log"),
                      ReadOutcome::Done);
            pipeline.stop();
            EXPECT_EQ(list.seen, want) << "stretch " << stretch;
            EXPECT_EQ(pipeline.stats().rejected, 5u);
            EXPECT_EQ(pipeline.stats().records, 2u);
            EXPECT_EQ(analyser->count(), 2u);
        }
    }
}

TEST(RecordPipeline, FirstRecordTimeSkipsWhatDoesNotRead) {
    test::MemoryFileOpener files;
    files.add("a.log", "junk\n# note\n" +
                           std::string(R"(h - - [10/Oct/2020:13:55:36 +0000] "GET /a HTTP/1.0" 200 1)") +
                           "\n");
    files.add("w3c.log",
              "#Fields: time c-ip cs-uri-stem sc-status\n#Date: 2021-02-03 00:00:00\n"
              "01:02:03 1.2.3.4 /a 200\n");
    files.add("none.log", "nothing here\n");
    files.add("empty.log", "");
    std::int64_t t = 0;
    ASSERT_TRUE(firstRecordTime(files, "a.log", {}, t));
    EXPECT_EQ(t, frameSeconds(2020, 10, 10, 13, 55, 36));
    ASSERT_TRUE(firstRecordTime(files, "w3c.log", {}, t));
    EXPECT_EQ(t, frameSeconds(2021, 2, 3, 1, 2, 3));
    EXPECT_FALSE(firstRecordTime(files, "none.log", {}, t));
    EXPECT_FALSE(firstRecordTime(files, "empty.log", {}, t));
    EXPECT_FALSE(firstRecordTime(files, "missing.log", {}, t));
}

TEST(RecordPipeline, UnusableHeadersAreReported) {
    Harness h;
    h.files.add("bad.log", "#Fields: date time  c-ip cs-uri-stem sc-status\n");
    h.files.add("thin.log", "#Fields: date time cs-uri-stem\n2020-01-01 00:00:00 /a\n");
    EXPECT_EQ(h.read("bad.log", false, 100), ReadOutcome::UnusableHeader);
    EXPECT_EQ(h.read("thin.log", false, 100), ReadOutcome::MissingFields);
    EXPECT_EQ(h.analyser->count(), 0u);
}

}  // namespace
}  // namespace tw::ingest

namespace tw::ingest {
namespace {

// Blocks in its first record until released, like a lookup that never answers.
class HangingAnalyser final : public RecordAnalyser {
  public:
    void analyse(const LogRecord&) override {
        if (first_.exchange(false)) {
            entered_.store(true);
            entered_.notify_all();
            release_.wait(false);
        }
        analysed_.fetch_add(1);
    }
    std::atomic<bool> first_{true}, entered_{false}, release_{false};
    std::atomic<int> analysed_{0};
};

TEST(RecordPipeline, StopLetsGoOfAWorkerThatHangs) {
    test::MemoryFileOpener files;
    test::FakeProgressDialog progress;
    auto analyser = std::make_shared<HangingAnalyser>();
    files.add("a.log", makeCombinedLog(200, 2));
    int abandoned = 0;
    {
        RecordPipeline pipeline(analyser, files, progress);
        pipeline.start(true, 1000);
        std::uint64_t size = 0;
        ASSERT_EQ(pipeline.readFile(kFormatDetect, "a.log", 0, size), ReadOutcome::Done);
        analyser->entered_.wait(false);
        const auto t0 = std::chrono::steady_clock::now();
        abandoned = pipeline.stop();
        const auto waited = std::chrono::steady_clock::now() - t0;
        EXPECT_GE(waited, std::chrono::milliseconds(9000)) << "two waits of five seconds";
        EXPECT_LT(waited, std::chrono::milliseconds(15000));
    }
    EXPECT_EQ(abandoned, 1);
    EXPECT_EQ(analyser->analysed_.load(), 199);
    // The abandoned worker comes back later and must find everything it uses still there.
    analyser->release_.store(true);
    analyser->release_.notify_all();
    for (int i = 0; i < 200 && analyser->analysed_.load() < 200; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(analyser->analysed_.load(), 200);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

}  // namespace
}  // namespace tw::ingest
