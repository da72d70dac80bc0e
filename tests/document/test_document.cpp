// The document over whole runs: what a completed and a failed run leave behind, the host-name
// cache kept in the data folder from one document to the next, the suffix names behind the
// geography report, and the automatic export after generation.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "document/document.h"
#include "platform/mapped_file.h"
#include "platform/strings.h"
#include "support/fakes.h"
#include "support/scripted_resolver.h"

namespace tw::document {
namespace {

namespace fs = std::filesystem;
using presentation::ViewKind;

struct TempDir {
    fs::path path;
    TempDir() {
        char pattern[] = "/tmp/tallyweb-doc-XXXXXX";
        path = mkdtemp(pattern);
    }
    ~TempDir() { fs::remove_all(path); }
    std::string file(const std::string& name, const std::string& text) const {
        std::ofstream(path / name, std::ios::binary) << text;
        return (path / name).string();
    }
};

class RecordingExporter final : public ExportHandOff {
  public:
    bool exportReport(Document& document, const config::ExportSettings& s) override {
        ++calls;
        seen = s;
        pendingDuringExport = document.exportPending();
        presentDuringExport = document.reportPresent();
        return succeed;
    }
    int calls = 0;
    bool succeed = true;
    bool pendingDuringExport = true;
    bool presentDuringExport = false;
    config::ExportSettings seen;
};

struct Fixture {
    TempDir data, logs;
    platform::MemorySettings settings;
    test::FakePrompter prompter;
    test::FakeProgressDialog progress;
    test::FakeClock clock;
    platform::PosixFileOpener files;
    ingest::PlainFileSources sources;
    ingest::MeasureOnly measure;
    ingest::NoSpider spider;
    test::ScriptedResolver resolver;
    RecordingExporter exporter;
    std::vector<std::string> suffixFiles;

    Fixture() { settings.setDataFolder(data.path.string()); }
    DocumentServices services(bool withExporter = true) {
        return {settings,   prompter, progress, clock,    files,
                sources,    measure,  spider,   resolver, withExporter ? &exporter : nullptr,
                suffixFiles};
    }
    config::ReportDefinition definition(const std::string& path) const {
        config::ReportDefinition d;
        d.Name = "Weekly";
        d.Path = path;
        d.File = 1;
        d.DefaultPage = "index.html";
        return d;
    }
};

constexpr const char* kLines =
    "192.0.2.7 - - [10/Oct/2020:13:55:36 +0000] \"GET /a.html HTTP/1.0\" 200 100\n"
    "192.0.2.9 - - [10/Oct/2020:13:55:37 +0000] \"GET /b.html HTTP/1.0\" 200 100\n"
    "198.51.100.4 - - [10/Oct/2020:13:55:38 +0000] \"GET /a.html HTTP/1.0\" 200 100\n";

TEST(Document, CompletedAndFailedRuns) {
    Fixture f;
    Document doc(f.services());
    EXPECT_EQ(doc.title(), "");
    EXPECT_FALSE(doc.reportPresent());
    // An empty document shows the no-report message whatever is asked of it.
    EXPECT_EQ(doc.select(presentation::kNoHandle).view, ViewKind::Message);

    config::ReportDefinition def = f.definition(f.logs.file("a.log", kLines));
    ASSERT_TRUE(doc.generate(def, ingest::RunMode::Unattended));
    EXPECT_TRUE(doc.reportPresent());
    EXPECT_TRUE(doc.modified());
    EXPECT_EQ(doc.title(), "Weekly");
    EXPECT_EQ(doc.definition(), def) << "the document keeps a copy of the whole definition";
    ASSERT_NE(doc.statistics(), nullptr);
    EXPECT_EQ(doc.selected(), doc.catalogue().initialSelection());
    EXPECT_EQ(doc.table().title, "General Statistics");
    EXPECT_EQ(doc.table().rows(), 22);
    EXPECT_EQ(doc.lastAutoExport(), AutoExport::NotAsked);

    const presentation::Handle pages = doc.catalogue().findByTitle("Most Requested Pages");
    ASSERT_NE(pages, presentation::kNoHandle);
    EXPECT_EQ(doc.select(pages).view, ViewKind::Chart);
    ASSERT_EQ(doc.table().rows(), 2);
    EXPECT_EQ(doc.table().cell(0, 0), "/a.html");
    EXPECT_EQ(doc.table().cell(0, 1), "2");

    // A run that produces nothing empties the document: no statistics, no tree, and its
    // title says so.
    doc.setModified(false);
    EXPECT_FALSE(doc.generate(f.definition((f.logs.path / "missing.log").string()),
                              ingest::RunMode::Unattended));
    EXPECT_EQ(doc.title(), platform::txt::NoCurrentReport);
    EXPECT_FALSE(doc.reportPresent());
    EXPECT_EQ(doc.statistics(), nullptr);
    EXPECT_TRUE(doc.catalogue().empty());
    EXPECT_FALSE(doc.modified());
    const presentation::FillResult r = doc.select(pages);
    EXPECT_EQ(r.view, ViewKind::Message);
    EXPECT_FALSE(r.hasContent);
}

TEST(Document, HostCacheLivesInTheDataFolderFromOneDocumentToTheNext) {
    Fixture f;
    const std::string cacheFile = (f.data.path / engine::HostNameCache::kFileName).string();
    {
        engine::HostNameCache seed;
        seed.store({"192.0.2", "cached.example.org", 1700000000 - 86400, 1});
        ASSERT_TRUE(seed.save(cacheFile));
    }
    f.resolver.answer("198.51.100.4", "fresh.example.net");
    const std::string log = f.logs.file("a.log", kLines);
    {
        Document doc(f.services());
        ASSERT_TRUE(doc.hostCache().find("192.0.2").has_value()) << "read at creation";
        config::ReportDefinition def = f.definition(log);
        def.EnableDNS = 1;
        ASSERT_TRUE(doc.generate(def, ingest::RunMode::Unattended));
        // The cached block was not looked up again; the other one was.
        EXPECT_EQ(f.resolver.calls(), 1);
    }
    engine::HostNameCache back;
    ASSERT_TRUE(back.load(cacheFile));
    EXPECT_EQ(back.size(), 2u) << "written back when the document goes";
    ASSERT_TRUE(back.find("198.51.100").has_value());
    EXPECT_EQ(back.find("198.51.100")->name, "fresh.example.net");

    // A document whose runs make no lookups leaves the file as it was.
    fs::remove(cacheFile);
    {
        Document doc(f.services());
        ASSERT_TRUE(doc.generate(f.definition(log), ingest::RunMode::Unattended));
    }
    EXPECT_FALSE(fs::exists(cacheFile));

    // A damaged file (the trailer and the end of the last record gone) keeps what precedes the
    // damage.
    {
        engine::HostNameCache seed;
        seed.store({"192.0.2", "cached.example.org", 1700000000, 1});
        seed.store({"203.0.113", "other.example.org", 1700000000, 1});
        const std::string bytes = seed.serialise();
        f.data.file(engine::HostNameCache::kFileName, bytes.substr(0, bytes.size() - 8 - 3));
    }
    Document damaged(f.services());
    EXPECT_EQ(damaged.hostCache().size(), 1u);
}

TEST(Document, GeographyRowsAreNamedFromTheShippedSuffixes) {
    Fixture f;
    f.suffixFiles = {(f.data.path / "absent.dat").string(),
                     std::string(TALLYWEB_DATA_DIR) + "/suffixdata.dat"};
    Document doc(f.services());
    EXPECT_GT(doc.suffixNames().size(), 200u) << "found after the missing candidate";
    const std::string log = f.logs.file(
        "hosts.log",
        "www.example.de - - [10/Oct/2020:13:55:36 +0000] \"GET /a.html HTTP/1.0\" 200 100\n"
        "mail.example.de - - [10/Oct/2020:13:55:37 +0000] \"GET /a.html HTTP/1.0\" 200 100\n"
        "host.example.zz - - [10/Oct/2020:13:55:38 +0000] \"GET /a.html HTTP/1.0\" 200 100\n");
    ASSERT_TRUE(doc.generate(f.definition(log), ingest::RunMode::Unattended));
    const presentation::Handle geo = doc.catalogue().findByTitle("Geographical Location");
    ASSERT_NE(geo, presentation::kNoHandle);
    doc.select(geo);
    ASSERT_EQ(doc.table().rows(), 2);
    EXPECT_EQ(doc.table().cell(0, 0), "Germany (.de)");
    EXPECT_EQ(doc.table().cell(1, 0), ".zz") << "an unknown suffix stands alone";

    // The data folder's own copy comes first.
    f.data.file(engine::SuffixNames::kFileName, "Deutschland .de\n");
    Document own(f.services());
    EXPECT_EQ(own.suffixNames().label(".de"), "Deutschland (.de)");
}

TEST(Document, AutomaticExportFollowsAGenerationThatAsksForIt) {
    Fixture f;
    const std::string log = f.logs.file("a.log", kLines);
    config::ReportDefinition def = f.definition(log);
    def.Export = 1;
    def.exportSettings.ExportLocation = "/tmp/out.html";
    def.exportSettings.ExportUsername = "u";
    {
        Document doc(f.services());
        ASSERT_TRUE(doc.generate(def, ingest::RunMode::Unattended));
        EXPECT_EQ(f.exporter.calls, 1);
        EXPECT_EQ(f.exporter.seen, def.exportSettings) << "the definition's own settings";
        EXPECT_FALSE(f.exporter.pendingDuringExport) << "cleared before the export runs";
        EXPECT_TRUE(f.exporter.presentDuringExport);
        EXPECT_EQ(doc.lastAutoExport(), AutoExport::Done);
        EXPECT_FALSE(doc.exportPending());

        f.exporter.succeed = false;
        ASSERT_TRUE(doc.generate(def, ingest::RunMode::Unattended));
        EXPECT_EQ(doc.lastAutoExport(), AutoExport::Failed);

        def.Export = 0;
        ASSERT_TRUE(doc.generate(def, ingest::RunMode::Unattended));
        EXPECT_EQ(f.exporter.calls, 2);
        EXPECT_EQ(doc.lastAutoExport(), AutoExport::NotAsked);

        // No export after a run that produced nothing.
        def.Export = 1;
        def.Path = (f.logs.path / "missing.log").string();
        EXPECT_FALSE(doc.generate(def, ingest::RunMode::Unattended));
        EXPECT_EQ(f.exporter.calls, 2);
        EXPECT_FALSE(doc.exportPending());
    }
    Document without(f.services(false));
    def.Path = log;
    ASSERT_TRUE(without.generate(def, ingest::RunMode::Unattended));
    EXPECT_EQ(without.lastAutoExport(), AutoExport::Unavailable);
}

}  // namespace
}  // namespace tw::document
