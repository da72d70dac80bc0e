// A log read on several threads gives what one thread gives: every report's rows, every
// General Statistics value, the saved file and the list of refused lines, whatever the number
// of threads and however small the mapped stretches.
#include <gtest/gtest.h>
#include <time.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "document/document.h"
#include "support/local_document.h"
#include "support/local_servers.h"

namespace tw::document {
namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A small deterministic generator, so a failure can be replayed.
struct Random {
    std::uint64_t state;
    std::uint32_t next(std::uint32_t below) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>(state >> 33) % below;
    }
};

std::string stamp(std::int64_t t) {
    const time_t tt = static_cast<time_t>(t);
    tm parts{};
    gmtime_r(&tt, &parts);
    char out[40];
    std::strftime(out, sizeof out, "%d/%b/%Y:%H:%M:%S +0000", &parts);
    return out;
}

// Combined lines from a pool of visitors that come back after gaps, with the few seconds of
// disorder real servers write, a refused line now and then, and hosts both as names and as
// addresses (some zero-padded).
std::string combined(std::uint64_t seed, std::int64_t start, int lines, const char* eol = "\n",
                     int hostPool = 60) {
    static const char* pages[] = {"/a.html",     "/dir/",      "/img/x.gif",     "/p.cgi?x=1",
                                  "/Case.HTML",  "/gone.html", "/track/me.html", "/b.asp",
                                  "/img/y.jpeg", "/"};
    static const char* referrers[] = {
        "-", "http://www.google.com/search?q=blue+cat+food", "http://www.site.example/a.html",
        "http://other.example/links", "http://search.yahoo.com/x?p=dogs"};
    static const char* agents[] = {"Mozilla/4.0 (compatible; MSIE 5.0; Windows 98)", "Lynx/2.8",
                                   "Mozilla/5.0 (X11; Linux x86_64) Firefox/99.0", "-"};
    static const int statuses[] = {200, 200, 200, 304, 404, 206, 500, 200};
    Random r{seed};
    std::string out;
    std::int64_t t = start;
    for (int i = 0; i < lines; ++i) {
        t += r.next(12);
        if (r.next(400) == 0) t += 4000;  // a quiet spell: the visits after it are new ones
        if (r.next(97) == 0) {
            out += "this line is no request at all";
            out += eol;
            continue;
        }
        const std::uint32_t h = r.next(static_cast<std::uint32_t>(hostPool));
        std::string host = h % 3 == 0   ? "host" + std::to_string(h) + ".Example.NET"
                           : h % 3 == 1 ? "10.0." + std::to_string(h / 7) + "." + std::to_string(h)
                                        : "010.000.0." + std::to_string(h);
        const int status = statuses[r.next(8)];
        out += host + " - - [" + stamp(t - r.next(5)) + "] \"GET " + pages[r.next(10)] +
               " HTTP/1.0\" " + std::to_string(status) + " " +
               (r.next(9) == 0 ? std::string("-") : std::to_string(r.next(90000))) + " \"" +
               referrers[r.next(5)] + "\" \"" + agents[r.next(4)] + "\"" + eol;
    }
    return out;
}

// W3C lines under two field directives, the second with another field order and a date of its
// own: a part that starts after either must read its lines by the right one.
std::string w3c(std::uint64_t seed, int lines) {
    Random r{seed};
    std::string out =
        "#Software: test\n#Date: 2014-05-18 00:00:00\n"
        "#Fields: time c-ip cs-method cs-uri-stem sc-status sc-bytes cs(User-Agent)\n";
    int second = 0;
    for (int i = 0; i < lines; ++i) {
        if (i == lines / 2)
            out +=
                "#Date: 2014-05-19 00:00:00\n"
                "#Fields: date time cs-uri-stem c-ip sc-status cs(Referer)\n";
        second += static_cast<int>(r.next(20));
        char time[40];
        std::snprintf(time, sizeof time, "%02d:%02d:%02d", second / 3600 % 24, second / 60 % 60,
                      second % 60);
        const std::string ip = "192.0.2." + std::to_string(r.next(40));
        const std::string page = "/w" + std::to_string(r.next(30)) + ".htm";
        if (i < lines / 2)
            out += std::string(time) + " " + ip + " GET " + page + " 200 " +
                   std::to_string(r.next(5000)) + " Mozilla/4.0+(compatible;+MSIE+6.0)\n";
        else
            out += "2014-05-19 " + std::string(time) + " " + page + " " + ip + " 404 " +
                   "http://other.example/x\n";
    }
    return out;
}

class RecordedRejects final : public ingest::RejectedLineSink {
  public:
    void rejected(std::string_view file, std::uint64_t line, std::string_view text,
                  ingest::RejectReason why) override {
        lines.push_back(fs::path(file).filename().string() + ":" + std::to_string(line) + ":" +
                        std::string(ingest::rejectReasonText(why)) + ":" + std::string(text));
    }
    std::vector<std::string> lines;
};

// Everything a run shows and keeps.
struct Outcome {
    std::map<std::string, std::vector<std::vector<std::string>>> entries;
    std::string saved;
    std::vector<std::string> rejected;
    std::uint64_t lines = 0, records = 0;
    ingest::RunSummary summary;
};

struct Fixture : test::LocalDocumentParts {
    test::ScratchDir data, files;

    Fixture() {
        settings.setDataFolder(data.path().string());
        settings.setInt("", "DoNotRemindDNSInternet", 1);
    }

    Outcome run(const config::ReportDefinition& def, int threads, std::size_t stretch) {
        Document doc(documentServices());
        RecordedRejects rejects;
        doc.setRejectedSink(&rejects);
        doc.setThreads(threads);
        doc.analysisRun().setStretchBytes(stretch);
        doc.analysisRun().setSplitMinimumBytes(0);
        Outcome o;
        if (!doc.generate(def, ingest::RunMode::Unattended)) {
            ADD_FAILURE() << "no report with " << threads << " threads";
            return o;
        }
        for (presentation::Handle h : doc.catalogue().depthFirst()) {
            doc.select(h);
            const presentation::ReportTable& t = doc.table();
            auto& rows = o.entries[doc.catalogue().entry(h)->title];
            rows.push_back({t.title, t.description, t.message, t.graphStartTime, t.graphStep});
            for (int r = 0; r < t.rows(); ++r) {
                rows.emplace_back();
                for (int c = 0; c < t.columns(); ++c) rows.back().push_back(t.cell(r, c));
            }
        }
        const fs::path saved = files.path() / ("t" + std::to_string(threads) + ".twb");
        EXPECT_TRUE(doc.save(saved.string()));
        o.saved = readAll(saved);
        o.rejected = rejects.lines;
        o.summary = doc.lastRun();
        return o;
    }

    config::ReportDefinition definition(const std::string& path) const {
        config::ReportDefinition d;
        d.Name = "Threads";
        d.Domain = "http://www.site.example";
        d.DefaultPage = "index.html";
        d.Path = path;
        d.trackFiles = {"/track/me.html", "/img/*"};
        return d;
    }

    // Every thread count and a tiny stretch give the one-thread outcome; returns what the runs
    // with more than one thread did with their parts.
    std::pair<std::uint64_t, std::uint64_t> expectSameEverywhere(
        const config::ReportDefinition& def, const char* what) {
        const Outcome one = run(def, 1, ingest::kDefaultStretchBytes);
        EXPECT_FALSE(one.entries.empty()) << what;
        EXPECT_EQ(one.summary.partsAdded, 0u) << what;
        std::uint64_t added = 0, again = 0;
        for (const int threads : {1, 2, 3, 7}) {
            for (const std::size_t stretch : {ingest::kDefaultStretchBytes, std::size_t{4096}}) {
                if (threads == 1 && stretch == ingest::kDefaultStretchBytes) continue;
                const Outcome other = run(def, threads, stretch);
                const std::string label = std::string(what) + ", " + std::to_string(threads) +
                                          " threads, stretch " + std::to_string(stretch);
                EXPECT_EQ(other.summary.pipeline.lines, one.summary.pipeline.lines) << label;
                EXPECT_EQ(other.summary.pipeline.records, one.summary.pipeline.records) << label;
                EXPECT_EQ(other.rejected, one.rejected) << label;
                for (const auto& [title, rows] : one.entries) {
                    const auto it = other.entries.find(title);
                    if (it == other.entries.end())
                        ADD_FAILURE() << label << ": no entry " << title;
                    else
                        EXPECT_EQ(it->second, rows) << label << ": " << title;
                }
                EXPECT_EQ(other.entries.size(), one.entries.size()) << label;
                EXPECT_TRUE(other.saved == one.saved) << label << ": the saved files differ";
                added += other.summary.partsAdded;
                again += other.summary.partsReadAgain;
            }
        }
        return {added, again};
    }
};

TEST(Threads, GeneratedLogsReadAsOneThreadReadsThem) {
    Fixture f;
    // Many files, one with CRLF ends, one of two servers whose times overlap (its later parts
    // cannot be added and are read again), and a W3C log whose directives change half way.
    std::string path;
    for (int i = 0; i < 4; ++i) {
        const std::string log =
            combined(100 + i, 1400000000 + i * 90000, 3000, i == 2 ? "\r\n" : "\n");
        path += (path.empty() ? "" : ";") +
                f.files.write("gen-" + std::to_string(i) + ".log", log).string();
    }
    const std::string overlap =
        combined(7, 1400400000, 2500, "\n", 20) + combined(8, 1400400000, 2500, "\n", 20);
    path += ";" + f.files.write("two-servers.log", overlap).string();
    path += ";" + f.files.write("w3c.log", w3c(9, 4000)).string();
    const auto [added, again] = f.expectSameEverywhere(f.definition(path), "generated");
    EXPECT_GT(added, 0u) << "no part was ever read on another thread";
    EXPECT_GT(again, 0u) << "the overlapping log never needed a second reading";
}

TEST(Threads, RealSamplesAndARotatedSetReadAsOneThreadReadsThem) {
    Fixture f;
    const fs::path data = TALLYWEB_DATA_DIR;
    auto [added, again] = f.expectSameEverywhere(
        f.definition((data / "combined" / "elastic-examples_apache_logs.log").string() + ";" +
                     (data / "iis-w3c" / "lnav_logfile_w3c_big.0.log").string()),
        "samples");
    EXPECT_GT(added, 0u);

    // Named newest first, as rotation leaves them.
    const std::string newer = f.files.write("access_log", combined(21, 1400100000, 2000)).string();
    const std::string older =
        f.files.write("access_log.1", combined(22, 1400000000, 2000)).string();
    std::tie(added, again) = f.expectSameEverywhere(f.definition(newer + ";" + older), "rotated");
    EXPECT_GT(added, 0u);
}

TEST(Threads, LookupsGiveTheSameFiguresWhateverTheThreadSetting) {
    Fixture f;
    for (int h = 0; h < 60; h += 2)
        f.resolver.answer("10.0." + std::to_string(h / 7) + "." + std::to_string(h),
                          "n" + std::to_string(h) + ".resolved.example");
    config::ReportDefinition def =
        f.definition(f.files.write("dns.log", combined(31, 1400000000, 1500)).string());
    def.EnableDNS = 1;
    f.expectSameEverywhere(def, "lookups");
}

}  // namespace
}  // namespace tw::document
