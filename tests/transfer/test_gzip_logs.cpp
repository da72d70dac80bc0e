// Inflating compressed logs before a run: where the copies go, what the user's own files look
// like afterwards, damaged streams, cancels and sizes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "ingest/analysis_run.h"
#include "platform/mapped_file.h"
#include "platform/settings.h"
#include "platform/strings.h"
#include "support/fakes.h"
#include "transfer/gzip_logs.h"

namespace tw::transfer {
namespace {

namespace fs = std::filesystem;
using Kind = test::FakePrompter::Kind;

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& content) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

void writeGz(const std::string& path, const std::string& content) {
    fs::create_directories(fs::path(path).parent_path());
    gzFile gz = gzopen(path.c_str(), "wb");
    ASSERT_NE(gz, nullptr);
    ASSERT_EQ(gzwrite(gz, content.data(), static_cast<unsigned>(content.size())),
              static_cast<int>(content.size()));
    ASSERT_EQ(gzclose(gz), Z_OK);
}

std::string logLines(int n, const std::string& tag) {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += "10.0.0." + std::to_string(i % 250) + " - - [10/Oct/2020:13:55:36 -0700] \"GET /" +
             tag + std::to_string(i * 7919 % 10007) + ".html HTTP/1.0\" 200 " + std::to_string(i) +
             "\n";
    return s;
}

// Every entry below `dir`: kind, size, modification time and content.
using Snapshot = std::map<std::string, std::tuple<bool, std::uintmax_t, long long, std::string>>;
Snapshot snapshot(const std::string& dir) {
    Snapshot s;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        struct stat st {};
        ::lstat(e.path().c_str(), &st);
        const bool isDir = e.is_directory();
        s[e.path().string()] = {
            isDir, isDir ? 0 : e.file_size(),
            static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec,
            isDir ? std::string() : readAll(e.path().string())};
    }
    return s;
}

std::vector<std::string> filesBelow(const std::string& dir) {
    std::vector<std::string> out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file()) out.push_back(it->path().string());
    }
    return out;
}

class GzipLogs : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/tallyweb-gzip-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root = pattern;
        user = root + "/user";
        runFolder = root + "/cache/Tallyweb/run-1";
        downloads = root + "/downloads";
        fs::create_directories(user);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    std::string root, user, runFolder, downloads;
    test::FakeProgressDialog progress;
    test::FakePrompter prompter;
};

TEST_F(GzipLogs, PlainListIsOnlyMeasured) {
    writeFile(user + "/a.log", "0123456789");
    writeFile(user + "/dir/b.log", "abc");
    GzipPreprocessor gz(runFolder, downloads, progress, prompter);
    const ingest::PreparedFiles out =
        gz.prepare({user + "/a.log", user + "/missing.log", user + "/dir"});
    EXPECT_EQ(out.files,
              (std::vector<std::string>{user + "/a.log", user + "/missing.log", user + "/dir"}));
    EXPECT_EQ(out.sizes, (std::vector<std::uint64_t>{10, 0, 0}));
    EXPECT_EQ(out.totalBytes, 10u);
    EXPECT_FALSE(out.cancelled);
    EXPECT_FALSE(progress.lastLayout().has_value());
    EXPECT_TRUE(progress.reports().empty());
    EXPECT_EQ(progress.completions(), 0);
    EXPECT_TRUE(prompter.events().empty());
    EXPECT_FALSE(fs::exists(runFolder));
}

TEST_F(GzipLogs, CopiesGoToTheRunFolderAndTheUsersFilesStayAsTheyWere) {
    const std::string a = logLines(300, "a"), b = logLines(200, "b"), ex = logLines(50, "ex"),
                      old = logLines(10, "old");
    writeGz(user + "/a/access.log.gz", a);
    writeGz(user + "/b/access.log.gz", b);
    writeGz(user + "/a/EX000101.GZ", ex);
    writeGz(user + "/a/access.gz.old", old);
    writeFile(user + "/plain.log", "plain\n");
    // A folder named like an archive does not make its files compressed.
    writeFile(user + "/logs.gz.d/x.log", "x\n");
    const Snapshot before = snapshot(user);

    GzipPreprocessor gz(runFolder, downloads, progress, prompter);
    const ingest::PreparedFiles out =
        gz.prepare({user + "/a/access.log.gz", user + "/plain.log", user + "/b/access.log.gz",
                    user + "/a/EX000101.GZ", user + "/a/access.gz.old", user + "/logs.gz.d/x.log"});

    ASSERT_EQ(out.files.size(), 6u);
    EXPECT_EQ(out.files[1], user + "/plain.log");
    EXPECT_EQ(out.files[5], user + "/logs.gz.d/x.log");
    const std::vector<std::pair<int, std::string>> copies = {
        {0, "access.log"}, {2, "access.log"}, {3, "EX000101"}, {4, "access"}};
    for (const auto& [i, name] : copies) {
        EXPECT_EQ(fs::path(out.files[i]).filename(), name);
        EXPECT_EQ(out.files[i].rfind(runFolder + "/", 0), 0u) << out.files[i];
    }
    EXPECT_NE(out.files[0], out.files[2]);
    // Copies of one directory stay together: the multi-file layout pairs them by name.
    EXPECT_EQ(fs::path(out.files[0]).parent_path(), fs::path(out.files[3]).parent_path());
    EXPECT_EQ(readAll(out.files[0]), a);
    EXPECT_EQ(readAll(out.files[2]), b);
    EXPECT_EQ(readAll(out.files[3]), ex);
    EXPECT_EQ(readAll(out.files[4]), old);
    EXPECT_EQ(out.sizes,
              (std::vector<std::uint64_t>{a.size(), 6, b.size(), ex.size(), old.size(), 2}));
    EXPECT_EQ(out.totalBytes, a.size() + b.size() + ex.size() + old.size() + 8);
    EXPECT_FALSE(out.cancelled);
    EXPECT_TRUE(prompter.events().empty());

    ASSERT_EQ(progress.reports().size(), 4u);
    EXPECT_EQ(progress.reports()[0].percent, 25);
    EXPECT_EQ(progress.reports()[0].text, "Preprocessing log files: Decompressing access.log.gz");
    EXPECT_EQ(progress.reports()[3].percent, 100);
    EXPECT_EQ(progress.reports()[3].text, "Preprocessing log files: Decompressing access.gz.old");
    EXPECT_EQ(progress.completions(), 1);
    EXPECT_EQ(progress.lastLayout(), platform::ProgressDialog::Layout::Plain);

    EXPECT_EQ(snapshot(user), before);
    gz.finish();
    EXPECT_FALSE(fs::exists(runFolder));
    EXPECT_TRUE(fs::is_directory(root + "/cache/Tallyweb"));  // the cache itself stays
    EXPECT_EQ(snapshot(user), before);

    // The object serves the next run, and its destructor clears up like finish().
    {
        GzipPreprocessor again(runFolder, downloads, progress, prompter);
        const ingest::PreparedFiles second = again.prepare({user + "/b/access.log.gz"});
        ASSERT_EQ(second.files.size(), 1u);
        EXPECT_EQ(readAll(second.files[0]), b);
    }
    EXPECT_FALSE(fs::exists(runFolder));
    EXPECT_EQ(snapshot(user), before);
}

TEST_F(GzipLogs, DamagedStreamsAreReportedAndLeftOut) {
    const std::string text = logLines(2000, "d");
    writeGz(user + "/good.gz", text);
    writeGz(user + "/whole.gz", text);
    const std::string packed = readAll(user + "/whole.gz");
    ASSERT_GT(packed.size(), 100u);
    writeFile(user + "/truncated.gz", packed.substr(0, packed.size() / 2));
    std::string flipped = packed;
    flipped[flipped.size() - 6] = static_cast<char>(flipped[flipped.size() - 6] ^ 0x40);  // CRC
    writeFile(user + "/flipped.gz", flipped);
    writeFile(user + "/plain.gz", text);
    writeFile(user + "/empty.gz", "");
    const Snapshot before = snapshot(user);

    GzipPreprocessor gz(runFolder, downloads, progress, prompter);
    const std::vector<std::string> damaged = {user + "/truncated.gz", user + "/flipped.gz",
                                              user + "/plain.gz", user + "/empty.gz",
                                              user + "/missing.gz"};
    std::vector<std::string> in = {user + "/good.gz"};
    in.insert(in.end(), damaged.begin(), damaged.end());
    const ingest::PreparedFiles out = gz.prepare(in);

    ASSERT_EQ(out.files.size(), 1u);
    EXPECT_EQ(readAll(out.files[0]), text);
    EXPECT_EQ(out.totalBytes, text.size());
    EXPECT_FALSE(out.cancelled);
    const auto events = prompter.events();
    ASSERT_EQ(events.size(), damaged.size());
    for (std::size_t i = 0; i < damaged.size(); ++i) {
        EXPECT_EQ(events[i].kind, Kind::Message);
        EXPECT_EQ(events[i].icon, platform::Icon::Warning);
        EXPECT_EQ(events[i].text,
                  platform::format(platform::text(platform::sid::DecompressError).data(),
                                   damaged[i].c_str()));
    }
    // No partial copy is left behind.
    EXPECT_EQ(filesBelow(runFolder), std::vector<std::string>{out.files[0]});
    EXPECT_EQ(snapshot(user), before);

    std::string error;
    std::uint64_t written = 0;
    EXPECT_FALSE(inflateGzipFile(user + "/flipped.gz", root + "/x", 1000, &written, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(fs::exists(root + "/x"));
    EXPECT_TRUE(inflateGzipFile(user + "/good.gz", root + "/x", 1000, &written, &error));
    EXPECT_EQ(written, text.size());
    EXPECT_EQ(readAll(root + "/x"), text);
}

TEST_F(GzipLogs, CancelLeavesTheRestOut) {
    writeFile(user + "/p1.log", "p1\n");
    writeGz(user + "/g1.gz", "g1\n");
    writeFile(user + "/p2.log", "p2\n");
    writeGz(user + "/g2.gz", "g2\n");
    writeFile(user + "/p3.log", "p3\n");
    writeGz(user + "/g3.gz", "g3\n");
    progress.cancelOnReport(2);
    GzipPreprocessor gz(runFolder, downloads, progress, prompter);
    const ingest::PreparedFiles out =
        gz.prepare({user + "/p1.log", user + "/g1.gz", user + "/p2.log", user + "/g2.gz",
                    user + "/p3.log", user + "/g3.gz"});
    ASSERT_EQ(out.files.size(), 3u);
    EXPECT_EQ(out.files[0], user + "/p1.log");
    EXPECT_EQ(readAll(out.files[1]), "g1\n");
    EXPECT_EQ(out.files[2], user + "/p2.log");
    EXPECT_EQ(out.totalBytes, 9u);
    EXPECT_TRUE(out.cancelled);
    EXPECT_EQ(progress.reports().size(), 2u);
    EXPECT_EQ(progress.completions(), 1);
    EXPECT_FALSE(progress.cancelled());  // cleared for the analysis that may follow
    EXPECT_TRUE(prompter.events().empty());
    EXPECT_EQ(filesBelow(runFolder).size(), 1u);
}

TEST_F(GzipLogs, DownloadsAreInflatedBesideTheArchiveAndKept) {
    const std::string site = downloads + "/Site";
    const std::string text = logLines(40, "dl");
    writeGz(site + "/access.log.gz", text);
    writeFile(site + "/other.log", "downloaded plain\n");
    writeGz(site + "/other.log.gz", "other\n");
    const std::string archive = readAll(site + "/access.log.gz");

    GzipPreprocessor gz(runFolder, downloads + "/", progress, prompter);
    const ingest::PreparedFiles out =
        gz.prepare({site + "/access.log.gz", site + "/other.log", site + "/other.log.gz"});
    ASSERT_EQ(out.files.size(), 3u);
    EXPECT_EQ(out.files[0], site + "/access.log");
    EXPECT_EQ(out.files[1], site + "/other.log");
    // Its place beside the archive is taken by another log of the run.
    EXPECT_EQ(out.files[2].rfind(runFolder + "/", 0), 0u) << out.files[2];
    EXPECT_EQ(readAll(out.files[2]), "other\n");
    EXPECT_EQ(readAll(site + "/other.log"), "downloaded plain\n");

    gz.finish();
    EXPECT_EQ(readAll(site + "/access.log"), text);
    EXPECT_EQ(readAll(site + "/access.log.gz"), archive);
    EXPECT_TRUE(fs::exists(site + "/other.log.gz"));
    EXPECT_FALSE(fs::exists(runFolder));
}

TEST_F(GzipLogs, SizesBeyondFourGigabytesAreKept) {
    const std::string big = user + "/big.log";
    { std::ofstream(big) << ""; }
    if (::truncate(big.c_str(), 5LL << 30) != 0) GTEST_SKIP() << "no sparse 5 GB file here";
    writeGz(user + "/small.gz", "12345\n");
    GzipPreprocessor gz(runFolder, downloads, progress, prompter);
    const ingest::PreparedFiles out = gz.prepare({big, user + "/small.gz"});
    ASSERT_EQ(out.sizes.size(), 2u);
    EXPECT_EQ(out.sizes[0], std::uint64_t{5} << 30);
    EXPECT_EQ(out.totalBytes, (std::uint64_t{5} << 30) + 6);
}

// Just enough of an engine to count what a run reads.
class CountingEngine final : public ingest::AnalysisEngine {
  public:
    void analyse(const ingest::LogRecord&) override { ++count_; }
    void clear() override { count_ = 0; }
    void prepare(std::uint64_t, const ingest::RunContext&) override {}
    void finalise() override {}
    void release() override {}
    std::uint64_t acceptedCount() const override { return count_; }
    bool referrerSeen() const override { return true; }

  private:
    std::atomic<std::uint64_t> count_{0};
};

TEST_F(GzipLogs, RunReadsTheCopiesAndAsksAfterACancel) {
    writeGz(user + "/access.log.gz", logLines(120, "r"));
    writeGz(user + "/second.log.gz", logLines(30, "s"));
    platform::MemorySettings settings;
    test::FakeProgressDialog runProgress;
    test::FakeClock clock;
    platform::PosixFileOpener opener;
    ingest::PlainFileSources sources;
    ingest::NoSpider spider;
    auto engine = std::make_shared<CountingEngine>();
    GzipPreprocessor gz(runFolder, downloads, progress, prompter);
    ingest::AnalysisRun run(
        {settings, prompter, runProgress, clock, opener, sources, gz, spider, engine});
    config::ReportDefinition def;
    def.Path = user + "/access.log.gz;" + user + "/second.log.gz";
    def.DefaultPage = "index.html";

    ASSERT_TRUE(run.generate(def, ingest::RunMode::Unattended));
    EXPECT_EQ(engine->acceptedCount(), 150u);
    EXPECT_EQ(run.summary().fileCount, 2u);
    EXPECT_EQ(run.summary().totalBytes, logLines(120, "r").size() + logLines(30, "s").size());
    gz.finish();
    EXPECT_FALSE(fs::exists(runFolder));

    // Cancelled at the second file and told not to go on: no report.
    progress.cancelOnReport(static_cast<int>(progress.reports().size()) + 2);
    prompter.queueAnswer(platform::Answer::No);
    EXPECT_FALSE(run.generate(def, ingest::RunMode::Unattended));
    const auto events = prompter.events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().kind, Kind::YesNo);
    EXPECT_EQ(events.back().text, platform::text(platform::sid::DecompressCancelled));
}

}  // namespace
}  // namespace tw::transfer
