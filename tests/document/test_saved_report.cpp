// Saved reports: a report saved and opened again shows what it showed, old and future versions
// are handled as the user is told, and a file that is not whole, or no regular file, is refused
// without touching what the document shows.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <map>
#include <set>
#include <string>

#include "document/document.h"
#include "document/saved_report.h"
#include "engine/archive.h"
#include "platform/mapped_file.h"
#include "platform/strings.h"
#include "support/fakes.h"
#include "support/local_servers.h"
#include "support/scripted_resolver.h"

namespace tw::document {
namespace {

namespace fs = std::filesystem;
using engine::ArchiveWriter;
using presentation::Handle;

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string line(const std::string& host, const std::string& page, int status,
                 const std::string& referrer, const std::string& agent, int second) {
    return host + " - - [18/May/2015:11:00:" + (second < 10 ? "0" : "") + std::to_string(second) +
           " +0000] \"GET " + page + " HTTP/1.0\" " + std::to_string(status) + " 500 \"" +
           referrer + "\" \"" + agent + "\"\n";
}

struct Fixture {
    test::ScratchDir data, files;
    platform::MemorySettings settings;
    test::FakePrompter prompter;
    test::FakeProgressDialog progress;
    test::FakeClock clock;
    platform::PosixFileOpener opener;
    ingest::PlainFileSources sources;
    ingest::MeasureOnly measure;
    ingest::NoSpider spider;
    test::ScriptedResolver resolver;

    Fixture() { settings.setDataFolder(data.path().string()); }
    std::unique_ptr<Document> document() {
        return std::make_unique<Document>(DocumentServices{settings,
                                                           prompter,
                                                           progress,
                                                           clock,
                                                           opener,
                                                           sources,
                                                           measure,
                                                           spider,
                                                           resolver,
                                                           nullptr,
                                                           {}});
    }
    // Host names, a search engine, internal and external referrers, a broken link and a
    // tracked file, on top of whatever `more` names.
    config::ReportDefinition definition(const std::string& more = "") {
        const std::string ie = "Mozilla/4.0 (compatible; MSIE 5.0; Windows 98)";
        const std::string log =
            line("www.example.de", "/track/me.html", 200, "http://google.com/search?q=blue+cat", ie,
                 1) +
            line("www.example.de", "/gone.html", 404, "http://www.site.example/a.html", ie, 2) +
            line("mail.example.org", "/a.html", 200, "http://www.site.example/track/me.html",
                 "Lynx/2.8", 3) +
            line("mail.example.org", "/img/x.gif", 206, "http://other.example/links", ie, 4);
        config::ReportDefinition d;
        d.Name = "Site";
        d.Domain = "http://www.site.example";
        d.Root = "http://www.site.example/";
        d.DefaultPage = "index.html";
        d.Path = files.write("own.log", log).string() + (more.empty() ? "" : ";" + more);
        d.File = 1;
        d.trackFiles = {"/track/me.html"};
        d.Export = 1;
        return d;
    }
};

struct Shown {
    std::string title;
    std::vector<std::string> texts;  // description, message and graph texts
    std::vector<std::string> headers;
    std::vector<std::vector<std::string>> cells;
    bool operator==(const Shown&) const = default;
};

std::size_t browserClass(int label) {
    const auto& labels = engine::kBrowserLabels;
    return static_cast<std::size_t>(
        std::distance(labels.begin(), std::find(labels.begin(), labels.end(), label)));
}
constexpr int kOperaLabel = 32773;

// Every entry of the tree, by its title, as the views show it.
std::map<std::string, Shown> walk(Document& doc) {
    std::map<std::string, Shown> out;
    const Handle before = doc.selected();
    for (Handle h : doc.catalogue().depthFirst()) {
        doc.select(h);
        const presentation::ReportTable& t = doc.table();
        Shown& s = out[doc.catalogue().entry(h)->title];
        s.title = t.title;
        s.texts = {t.description, t.message, t.graphStartTime, t.graphStep};
        for (int c = 0; c < t.columns(); ++c) s.headers.push_back(t.header(c));
        for (int r = 0; r < t.rows(); ++r) {
            s.cells.emplace_back();
            for (int c = 0; c < t.columns(); ++c) s.cells.back().push_back(t.cell(r, c));
        }
    }
    doc.select(before);
    return out;
}

// A file of `version` with empty arrays, `hosts` as its visitors and `opera` as the Opera count
// (written only where the version has it); `head` stops it before the visitors.
std::string handMade(std::int32_t version, const std::vector<std::string>& hosts = {},
                     std::uint64_t opera = 0, bool head = false) {
    ArchiveWriter w;
    w.i32(version);
    for (const char* s : {"Old", "", "http://old.example"}) w.text(s);
    for (int i = 0; i < 3; ++i) w.u64(10);
    if (version >= 7) w.text("home.htm");
    w.i32(1);
    for (int i = 0; i < 4; ++i) w.u64(0);
    if (version >= 10) w.u64(opera);
    for (int i = 0; i < 12; ++i) w.u64(0);
    if (version <= 8) w.u64(99);
    for (int i = 0; i < 5; ++i) w.u64(0);
    if (version >= 10)
        for (int i = 0; i < 4; ++i) w.u64(0);
    for (int i = 0; i < 4; ++i) w.u64(5);
    if (head) return w.bytes();
    w.i32(static_cast<std::int32_t>(hosts.size()));
    for (const std::string& h : hosts) {
        w.text(h);
        w.u64(1);
        w.u64(1);
        w.i32(1400000000);
    }
    for (int i = 0; i < 18; ++i) w.i32(0);  // the remaining arrays, all empty
    for (int i = 0; i < 31; ++i) w.u64(1);
    for (int i = 0; i < 3; ++i) w.i32(1400000000);
    w.u64(5), w.i32(1400000000), w.u64(5), w.u64(5), w.u64(5);
    w.u64(7), w.u64(7), w.u64(7);
    for (int i = 0; i < 3; ++i) w.i32(1);
    for (int t = 0; t < 2; ++t) w.i32(1), w.u32(10000), w.u64(0), w.u64(0);
    if (version >= 8) w.i32(0);
    return w.bytes();
}

TEST(SavedReport, ASavedReportOpensAsItWasShown) {
    Fixture f;
    auto original = f.document();
    const std::string big =
        std::string(TALLYWEB_DATA_DIR) + "/combined/elastic-examples_apache_logs.log";
    ASSERT_TRUE(original->generate(f.definition(big), ingest::RunMode::Unattended));
    const engine::Statistics& stats = *original->statistics();
    ASSERT_TRUE(stats.counters.hostNamesSeen && stats.counters.agentsSeen &&
                stats.counters.referrersSeen);
    ASSERT_FALSE(original->results()->searchEngines.empty());
    ASSERT_FALSE(original->results()->brokenLinksByPage.empty());
    ASSERT_GT(stats.pageTransitions.size(), 0u);
    ASSERT_FALSE(original->results()->trackedDays.at(0).empty());
    EXPECT_EQ(original->proposedFileName(), "Site.twb");

    const std::map<std::string, Shown> before = walk(*original);
    const std::string path = (f.files.path() / "site.twb").string();
    ASSERT_TRUE(original->save(path));
    EXPECT_EQ(walk(*original), before) << "saving changes nothing shown";

    // The suffix array stands twice, back to back.
    const std::string bytes = readAll(path);
    ArchiveWriter suffixes;
    suffixes.i32(static_cast<std::int32_t>(original->results()->domainSuffixes.size()));
    for (const auto& s : original->results()->domainSuffixes) {
        suffixes.text(s.text.view());
        suffixes.u64(s.hits);
    }
    ASSERT_GT(suffixes.size(), 4u);
    EXPECT_NE(bytes.find(suffixes.bytes() + suffixes.bytes()), std::string::npos);

    auto loaded = f.document();
    ASSERT_TRUE(loaded->load(path));
    EXPECT_TRUE(loaded->reportPresent());
    EXPECT_FALSE(loaded->modified());
    EXPECT_FALSE(loaded->exportPending());
    EXPECT_EQ(loaded->title(), "site.twb");
    EXPECT_EQ(loaded->selected(), loaded->catalogue().initialSelection());
    config::ReportDefinition expected;
    expected.Name = "Site";
    expected.Domain = "http://www.site.example";
    expected.Root = "http://www.site.example/";
    expected.DefaultPage = "index.html";
    expected.trackFiles = {"/track/me.html"};
    expected.Internet = 1;  // a root given as an address was crawled over the network
    EXPECT_EQ(loaded->definition(), expected);
    EXPECT_EQ(loaded->statistics()->pageTransitions.size(), stats.pageTransitions.size());

    const std::map<std::string, Shown> after = walk(*loaded);
    ASSERT_EQ(after.size(), before.size());
    // Every table comes back cell for cell: the byte counts, the recent accesses, the rare
    // browser and system classes and the client reports included.
    for (const auto& [entry, was] : before) {
        SCOPED_TRACE(entry);
        const Shown& now = after.at(entry);
        EXPECT_EQ(now.title, was.title);
        EXPECT_EQ(now.headers, was.headers);
        EXPECT_EQ(now.texts, was.texts);
        EXPECT_EQ(now.cells, was.cells);
    }
    for (const char* shown : {"Recent Accesses", "Browser Families", "Robots and Crawlers"})
        EXPECT_FALSE(before.at(shown).cells.empty()) << shown << " must have rows to compare";
    EXPECT_GT(stats.browsers[browserClass(kOperaLabel)], 0u)
        << "the log must exercise the Opera count";

    // The crawl's pages come back with their links.
    engine::StatisticsEngine crawled(1 << 20), back(1 << 20);
    const auto target = crawled.beginLoad();
    ASSERT_TRUE(engine::addSitePage(target.statistics.sitePages, target.statistics.arena, "/a.html",
                                    "A", {"/b.html", "/c.html"}));
    SavedHeader header;
    const std::string withPages =
        writeSavedReport(header, crawled.statistics(), crawled.results(), 0);
    ASSERT_EQ(readSavedReport(withPages, f.prompter, back, header).status, LoadStatus::Loaded);
    const engine::SitePageKind::Item* page =
        engine::findSitePage(back.statistics().sitePages, "/a.html");
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->title.view(), "A");
    ASSERT_EQ(page->linkCount, 2u);
    EXPECT_EQ(page->links[1].view(), "/c.html");
}

TEST(SavedReport, VersionsAndTextLengths) {
    Fixture f;
    auto doc = f.document();
    ASSERT_TRUE(doc->generate(f.definition(), ingest::RunMode::Unattended));
    const auto shownBefore = walk(*doc);
    const auto unchanged = [&] {
        EXPECT_EQ(doc->title(), "Site");
        EXPECT_TRUE(doc->reportPresent());
        EXPECT_EQ(walk(*doc), shownBefore);
    };

    ASSERT_TRUE(doc->load(f.files.write("six.twb", handMade(6))));
    EXPECT_EQ(doc->definition().DefaultPage, "index.html");
    EXPECT_EQ(doc->definition().Domain, "http://old.example");
    EXPECT_EQ(doc->results()->totalHits, 7u) << "read to the end";
    ASSERT_TRUE(doc->load(f.files.write("eight.twb", handMade(8))));
    EXPECT_EQ(doc->definition().DefaultPage, "home.htm");

    ASSERT_TRUE(doc->generate(f.definition(), ingest::RunMode::Unattended));
    f.prompter.clear();
    EXPECT_FALSE(doc->load(f.files.write("five.twb", handMade(5))));
    EXPECT_EQ(f.prompter.texts(),
              (std::vector<std::string>{std::string(platform::text(platform::sid::SavedFileTooOld)),
                                        std::string(platform::txt::FailedToOpenDocument)}));
    unchanged();

    const std::string future = f.files.write("twelve.twb", handMade(12, {}, 42)).string();
    f.prompter.clear();
    f.prompter.queueAnswer(platform::Answer::No);
    EXPECT_FALSE(doc->load(future));
    EXPECT_EQ(
        f.prompter.texts(),
        (std::vector<std::string>{std::string(platform::text(platform::sid::SavedFileFromFuture)),
                                  std::string(platform::txt::FailedToOpenDocument)}));
    unchanged();
    EXPECT_FALSE(doc->load((f.files.path() / "absent.twb").string()));
    unchanged();
    // Headless there is no one to answer (the fake would say Yes): refused without asking.
    f.prompter.clear();
    EXPECT_FALSE(doc->load(future, ingest::RunMode::Unattended));
    EXPECT_EQ(f.prompter.texts().size(), 2u);
    unchanged();
    f.prompter.queueAnswer(platform::Answer::Yes);
    ASSERT_TRUE(doc->load(future));
    EXPECT_EQ(doc->statistics()->browsers[browserClass(kOperaLabel)], 42u)
        << "the Opera count of a newer version";
    EXPECT_EQ(doc->results()->totalHits, 7u);

    // Long texts: up to the field cap they load; beyond it the load ends at that text.
    test::FakePrompter quiet;
    engine::StatisticsEngine engine(1 << 20);
    SavedHeader header;
    for (std::size_t n : {1001u, 9999u}) {
        const std::string file = handMade(9, {"a.example", std::string(n, 'h')});
        EXPECT_EQ(readSavedReport(file, quiet, engine, header).status, LoadStatus::Loaded);
        ASSERT_EQ(engine.results().visitors.size(), 2u);
        EXPECT_EQ(engine.results().visitors[1].host.length, n);
    }
    const std::string cut = handMade(9, {"a.example", std::string(20000, 'h'), "b.example"});
    header.name = "kept";
    EXPECT_EQ(readSavedReport(cut, quiet, engine, header).status, LoadStatus::ShortRead);
    ASSERT_EQ(engine.results().visitors.size(), 2u) << "the file read before stays";
    EXPECT_EQ(engine.results().visitors[1].host.length, 9999u);
    EXPECT_EQ(engine.results().totalHits, 7u);
    EXPECT_EQ(header.name, "kept");
    EXPECT_TRUE(quiet.texts().empty());
}

// One count after the last section, behind its tag.
std::string tagged(std::string_view tag, std::uint64_t count) {
    ArchiveWriter w;
    w.raw(tag);
    w.u64(count);
    return w.bytes();
}

// The counts as this writer ends every file.
std::string lineCounts(std::uint64_t rejected, std::uint64_t records) {
    return tagged("RJCT", rejected) + tagged("RCRD", records);
}

TEST(SavedReport, OnlyAWholeFileIsRead) {
    Fixture f;
    auto doc = f.document();
    ASSERT_TRUE(doc->generate(f.definition(), ingest::RunMode::Unattended));
    const std::string path = (f.files.path() / "small.twb").string();
    ASSERT_TRUE(doc->save(path));
    const std::string bytes = readAll(path);
    // A version-9 file as the last writer of that version ended it: sections, then the counts.
    const std::string oldStyle = handMade(9);
    test::FakePrompter quiet;
    engine::StatisticsEngine engine(1 << 20);
    SavedHeader header;
    // What the engine holds before each refused file, and must still hold after it.
    const std::string keep = handMade(9, {"keep.example"});
    const auto holdsKeep = [&] {
        return header.name == "Old" && engine.results().visitors.size() == 1 &&
               engine.results().visitors[0].host.view() == "keep.example" &&
               engine.results().totalHits == 7;
    };
    ASSERT_EQ(readSavedReport(keep, quiet, engine, header).status, LoadStatus::Loaded);
    ASSERT_TRUE(holdsKeep());

    // Every cut of a real file is refused: a version-10 file, unlike one of version 9, never
    // ends at its last section or after its counts.
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        const LoadStatus st =
            readSavedReport(std::string_view(bytes).substr(0, n), quiet, engine, header).status;
        if (st != LoadStatus::ShortRead || !holdsKeep()) {
            ADD_FAILURE() << "prefix of " << n << " of " << bytes.size() << " bytes";
            break;
        }
    }
    // Past the end: one byte more, the counts twice, in another order, one of them alone, a
    // tag this program does not know, and counts in a version written before there were any.
    for (const std::string& longer :
         {bytes + '\0', bytes + lineCounts(1, 2), oldStyle + tagged("RCRD", 2) + tagged("RJCT", 1),
          oldStyle + tagged("RCRD", 2), oldStyle + lineCounts(1, 2) + tagged("RJCX", 3),
          oldStyle + lineCounts(1, 2) + tagged("RBOT", 3), handMade(8) + lineCounts(1, 2),
          handMade(9) + lineCounts(1, 2) + "x", handMade(10) + lineCounts(1, 2)}) {
        EXPECT_EQ(readSavedReport(longer, quiet, engine, header).status, LoadStatus::ShortRead)
            << longer.size() << " bytes";
        EXPECT_TRUE(holdsKeep());
    }
    ASSERT_EQ(readSavedReport(oldStyle + lineCounts(1, 2), quiet, engine, header).status,
              LoadStatus::Loaded);
    ASSERT_EQ(readSavedReport(keep, quiet, engine, header).status, LoadStatus::Loaded);
    // A count no file could hold is refused before anything is allocated from it.
    std::string hostile = handMade(9, {}, 0, true);
    ArchiveWriter tail;
    tail.i32(0x7fffffff);
    tail.u64(1);
    hostile += tail.bytes();
    EXPECT_EQ(readSavedReport(hostile, quiet, engine, header).status, LoadStatus::ShortRead);
    EXPECT_TRUE(holdsKeep());
    EXPECT_TRUE(quiet.texts().empty()) << "the caller says why";

    ASSERT_EQ(readSavedReport(bytes, quiet, engine, header).status, LoadStatus::Loaded);
    EXPECT_EQ(engine.results().totalHits, doc->results()->totalHits);
    EXPECT_EQ(engine.results().pages.size(), doc->results()->pages.size());
    EXPECT_EQ(header.name, "Site");

    // A newer program may keep more after the sections this one knows: the user agreed to
    // try, so that is left unread, while a cut inside the known sections is still refused.
    const std::string newer = handMade(12, {}, 42);
    ASSERT_EQ(readSavedReport(newer + lineCounts(3, 9) + "more", quiet, engine, header).status,
              LoadStatus::Loaded);
    EXPECT_EQ(engine.statistics().counters.rejectedLines, 3u);
    EXPECT_EQ(engine.statistics().counters.recordLines, 9u);
    EXPECT_EQ(readSavedReport(newer + "more", quiet, engine, header).status, LoadStatus::Loaded);
    EXPECT_EQ(engine.statistics().counters.rejectedLines, 0u);
    EXPECT_EQ(readSavedReport(newer.substr(0, newer.size() - 1), quiet, engine, header).status,
              LoadStatus::ShortRead);
    EXPECT_EQ(engine.statistics().counters.rejectedLines, 0u);
}

TEST(SavedReport, TheRejectedLineCountIsKeptAndOldFilesReadWithout) {
    test::FakePrompter quiet;
    engine::StatisticsEngine source(1 << 20), back(1 << 20);
    const auto target = source.beginLoad();
    target.statistics.counters.rejectedLines = 0x0123456789abcdefULL;
    target.statistics.counters.recordLines = 77;
    target.statistics.counters.pages = 4;
    target.results.totalHits = 11;
    const SavedHeader written{"Counted", "", "www.example.com", "index.html", {}};
    const std::string bytes =
        writeSavedReport(written, source.statistics(), source.results(), 1400000000);
    const std::size_t counts = bytes.rfind("RJCT");
    ASSERT_NE(counts, std::string::npos);
    EXPECT_EQ(bytes.substr(counts, 36),
              lineCounts(0x0123456789abcdefULL, 77) + tagged("RBOT", 0));

    SavedHeader header;
    ASSERT_EQ(readSavedReport(bytes, quiet, back, header).status, LoadStatus::Loaded);
    EXPECT_EQ(back.statistics().counters.rejectedLines, 0x0123456789abcdefULL);
    EXPECT_EQ(back.statistics().counters.recordLines, 77u);
    EXPECT_EQ(back.statistics().counters.pages, 4u);
    EXPECT_EQ(back.results().totalHits, 11u);
    EXPECT_EQ(header.name, "Counted");
    // Tables come back with another bucket count, so the bytes are compared by length.
    EXPECT_EQ(writeSavedReport(header, back.statistics(), back.results(), back.runStart()).size(),
              bytes.size());

    // A version-9 file of a writer that had no counts: everything else reads as before.
    EXPECT_EQ(readSavedReport(handMade(9), quiet, back, header).status, LoadStatus::Loaded);
    EXPECT_EQ(back.statistics().counters.rejectedLines, 0u);

    // An engine whose arena cannot hold a whole file ends empty rather than half full.
    engine::StatisticsEngine tiny(1024);
    std::vector<std::string> hosts;
    for (int i = 0; i < 40; ++i)
        hosts.push_back(std::string(1000, static_cast<char>('a' + i % 26)));
    ASSERT_EQ(readSavedReport(handMade(9), quiet, tiny, header).status, LoadStatus::Loaded);
    EXPECT_EQ(readSavedReport(handMade(9, hosts), quiet, tiny, header).status,
              LoadStatus::OutOfMemory);
    EXPECT_TRUE(tiny.results().visitors.empty());
    EXPECT_EQ(tiny.results().totalHits, 0u);
    EXPECT_EQ(header.name, "");
}

TEST(SavedReport, AFileThatIsNotWholeIsRefusedAndTheReportStays) {
    Fixture f;
    auto doc = f.document();
    ASSERT_TRUE(doc->generate(f.definition(), ingest::RunMode::Unattended));
    const std::string saved = (f.files.path() / "whole.twb").string();
    ASSERT_TRUE(doc->save(saved));
    doc->setModified(true);
    const auto shownBefore = walk(*doc);
    const std::string bytes = readAll(saved);
    const auto refused = [&](const std::string& file, const std::string& why) {
        SCOPED_TRACE(file);
        f.prompter.clear();
        EXPECT_FALSE(doc->load(file));
        EXPECT_EQ(f.prompter.texts(), (std::vector<std::string>{
                                          why, std::string(platform::txt::FailedToOpenDocument)}));
        EXPECT_EQ(doc->title(), "Site");
        EXPECT_TRUE(doc->reportPresent());
        EXPECT_TRUE(doc->modified());
        EXPECT_EQ(walk(*doc), shownBefore);
    };
    const auto incomplete = [](const std::string& file) {
        return platform::format(platform::text(platform::sid::SavedFileIncomplete).data(),
                                file.c_str());
    };
    for (const std::string& cut : {std::string(), bytes.substr(0, bytes.size() / 2),
                                   bytes.substr(0, bytes.size() - 1), bytes + '\n'}) {
        const std::string file =
            f.files.write("cut" + std::to_string(cut.size()) + ".twb", cut).string();
        refused(file, incomplete(file));
    }

    // Anything but a regular file is refused before a byte is read from it, and a FIFO no one
    // writes to would hold the reading for ever. Should it, the write end is opened here so
    // that the test ends all the same.
    const std::string fifo = (f.files.path() / "pipe.twb").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    f.prompter.clear();
    std::future<bool> opened = std::async(std::launch::async, [&] { return doc->load(fifo); });
    if (opened.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        ADD_FAILURE() << "opening a FIFO waits for a writer";
        const int release = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
        opened.wait();
        if (release >= 0) ::close(release);
    }
    EXPECT_FALSE(opened.get());
    const std::vector<std::string> texts = f.prompter.texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0],
              std::string(platform::txt::FailedToOpenDocument) + "\nnot a regular file: " + fifo);
    f.prompter.clear();
    EXPECT_FALSE(doc->load(f.files.path().string()));
    ASSERT_EQ(f.prompter.texts().size(), 1u);
    EXPECT_NE(f.prompter.texts()[0].find("not a regular file: " + f.files.path().string()),
              std::string::npos);
    EXPECT_EQ(walk(*doc), shownBefore);

    // Files far bigger than memory should be: the version is read first, and a file with a
    // good one is refused at its first damage, so neither is read whole. Both are sparse: they
    // take no room on disk, and reading one through would show in the peak memory.
    const auto sparse = [&](const std::string& name, const std::string& head) {
        const std::string file = f.files.write(name, head).string();
        const int fd = ::open(file.c_str(), O_WRONLY);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(::ftruncate(fd, off_t{1} << 30), 0);
        ::close(fd);
        return file;
    };
    const std::string zeros = sparse("zeros.twb", "");
    ArchiveWriter nine;
    nine.i32(kSavedReportVersion);
    const std::string headed = sparse("headed.twb", nine.bytes());
    rusage before{}, after{};
    ASSERT_EQ(getrusage(RUSAGE_SELF, &before), 0);
    refused(zeros, std::string(platform::text(platform::sid::SavedFileTooOld)));
    refused(headed, incomplete(headed));
    ASSERT_EQ(getrusage(RUSAGE_SELF, &after), 0);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 200 * 1024) << "peak growth in KiB";
}

TEST(SavedReport, AFailedSaveLeavesNothingBehind) {
    Fixture f;
    auto doc = f.document();
    EXPECT_FALSE(doc->save((f.files.path() / "empty.twb").string())) << "no report to save";
    ASSERT_TRUE(doc->generate(f.definition(), ingest::RunMode::Unattended));

    const fs::path folder = f.files.path() / "out";
    fs::create_directories(folder / "taken.twb");
    EXPECT_FALSE(doc->save((folder / "taken.twb").string()));
    EXPECT_FALSE(doc->save((folder / "missing" / "x.twb").string()));
    const std::vector<std::string> reports = f.prompter.texts();
    ASSERT_EQ(reports.size(), 2u);
    for (const std::string& t : reports) {
        EXPECT_EQ(t.rfind(platform::txt::FailedToSaveDocument, 0), 0u) << t;
        EXPECT_NE(t.find(folder.string()), std::string::npos) << "names the file: " << t;
    }

    // A write that fails part-way (the file size limit) leaves the older file as it was.
    const std::string old = (folder / "old.twb").string();
    std::ofstream(old) << "older";
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previous = signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool savedSmall = doc->save(old);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previous);
    EXPECT_FALSE(savedSmall);
    EXPECT_EQ(readAll(old), "older");
    EXPECT_EQ(f.prompter.texts().size(), 3u);
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename());
    EXPECT_EQ(names, (std::set<std::string>{"old.twb", "taken.twb"})) << "no temporary left";

    ASSERT_TRUE(doc->save(old));
    EXPECT_NE(readAll(old), "older");

    config::ReportDefinition odd = f.definition();
    odd.Name = std::string("a/b\\c:d*e?f\"g<h>i|j") + '\0' + "k";
    ASSERT_TRUE(doc->generate(odd, ingest::RunMode::Unattended));
    EXPECT_EQ(doc->proposedFileName(), "a_b_c_d_e_f_g_h_i_j_k.twb");
    odd.Name.clear();
    ASSERT_TRUE(doc->generate(odd, ingest::RunMode::Unattended));
    EXPECT_EQ(doc->proposedFileName(), std::string(platform::txt::DefaultReportName) + ".twb");
}

}  // namespace
}  // namespace tw::document
