// Whole exports of one fixed analysis compared with files kept beside the tests: the HTML byte
// for byte, the comma-delimited files, and the Word document read back by a real .docx reader.
// TALLYWEB_UPDATE_GOLDEN=1 writes the expected files anew (review the difference before
// committing it).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "export/csv_export.h"
#include "export/docx_writer.h"
#include "export/export_run.h"
#include "export/export_walk.h"
#include "export/html_writer.h"
#include "platform/mapped_file.h"
#include "support/fakes.h"
#include "support/local_servers.h"
#include "support/scripted_resolver.h"
#include "transfer/curl_transfer.h"

namespace tw::exporter {
namespace {

namespace fs = std::filesystem;
const fs::path kGolden = TALLYWEB_GOLDEN_DIR;

std::string slurp(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// Compares `actual` with the expected file, or writes it when asked to.
void expectGolden(const std::string& actual, const fs::path& expected) {
    if (std::getenv("TALLYWEB_UPDATE_GOLDEN")) {
        fs::create_directories(expected.parent_path());
        std::ofstream(expected, std::ios::binary) << actual;
        return;
    }
    ASSERT_TRUE(fs::exists(expected)) << expected;
    EXPECT_TRUE(actual == slurp(expected)) << expected << " differs";
}

struct Analysis {
    test::ScratchDir dir;
    platform::MemorySettings settings;
    test::FakePrompter prompter;
    test::FakeProgressDialog progress;
    test::FakeClock clock;  // the run's time: 14 November 2023, 22:13 UTC
    platform::PosixFileOpener files;
    ingest::PlainFileSources sources;
    ingest::MeasureOnly measure;
    ingest::NoSpider spider;
    test::ScriptedResolver resolver;
    document::Document doc{
        {settings, prompter, progress, clock, files, sources, measure, spider, resolver}};

    Analysis() {
        setenv("TZ", "UTC", 1);
        tzset();
        config::ReportDefinition d;
        d.Name = "Golden";
        d.File = 1;
        d.Path = (kGolden / "access.log").string();
        d.Domain = "www.example.org";
        d.DefaultPage = "index.html";
        d.trackFiles = {"/index.html", "/docs/*"};
        if (!doc.generate(d, ingest::RunMode::Unattended)) ADD_FAILURE() << "no report";
    }
};

TEST(ExportGolden, HtmlAndCommaDelimitedFilesOfAFixedAnalysis) {
    Analysis a;
    HtmlWriter html;
    const fs::path file = a.dir.path() / "report.html";
    // A limit of 5 rows shows the cut in the ranked reports and not in the whole-table ones.
    ASSERT_TRUE(exportDocument(a.doc, html, file.string(), 5, {}));
    expectGolden(slurp(file), kGolden / "report.html");

    const fs::path csv = a.dir.path() / "csv";
    fs::create_directories(csv);
    ASSERT_TRUE(exportCsv(a.doc, csv.string()));
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(csv)) names.insert(e.path().filename().string());
    for (const char* name : {"General Statistics.csv", "Tracking index.html (hits).csv",
                             "Tracking docs (bandwidth).csv", "Most Requested Pages.csv",
                             "Individual Page Referrers.csv", "Miscellaneous Errors.csv"}) {
        EXPECT_EQ(names.count(name), 1u) << name;
    }
    for (const std::string& name : names) expectGolden(slurp(csv / name), kGolden / "csv" / name);
}

TEST(ExportGolden, WordDocumentReadsBackInADocxReader) {
    Analysis a;
    DocxWriter docx;
    const fs::path file = a.dir.path() / "report.docx";
    ASSERT_TRUE(exportDocument(a.doc, docx, file.string(), 30, {}));
    if (!fs::exists("/usr/bin/python3")) GTEST_SKIP() << "no /usr/bin/python3";
    // Titles, one table per report with its heading row, and the footer's hyperlink.
    const fs::path script = a.dir.write("check.py", R"(import sys
try:
    import docx
except ImportError:
    print("SKIP python3-docx is not installed"); sys.exit(0)
d = docx.Document(sys.argv[1])
texts = [c.text for t in d.tables for r in t.rows for c in r.cells]
for title in ("General Statistics", "Most Requested Pages", "Browser", "Tracking /index.html"):
    assert title in texts, title
heads = [[c.text for c in t.rows[0].cells] for t in d.tables if len(t.rows) > 1]
assert ["Item", "Value"] in heads, heads
assert ["Page Name", "Hits", "Bandwidth"] in heads, heads
links = [r.target_ref for r in d.part.rels.values() if r.is_external]
assert "https://tallyweb.org/" in links, links
body = "\n".join(p.text for p in d.paragraphs)
assert "Access Log for" in body and "www.example.org" in body, body[:200]
print("OK %d tables" % len(d.tables))
)");
    const fs::path out = a.dir.path() / "check.out";
    const std::string cmd =
        "/usr/bin/python3 " + script.string() + " " + file.string() + " >" + out.string() + " 2>&1";
    const int status = std::system(cmd.c_str());
    const std::string said = slurp(out);
    if (said.rfind("SKIP", 0) == 0) GTEST_SKIP() << said;
    EXPECT_EQ(status, 0) << said;
    EXPECT_EQ(said.rfind("OK", 0), 0u) << said;

    // An office suite, when one is installed, must convert it without complaint.
    for (const char* office : {"/usr/bin/soffice", "/usr/bin/libreoffice"}) {
        if (!fs::exists(office)) continue;
        const std::string convert = std::string(office) + " --headless --convert-to pdf --outdir " +
                                    a.dir.path().string() + " " + file.string() +
                                    " >/dev/null 2>&1";
        EXPECT_EQ(std::system(convert.c_str()), 0);
        EXPECT_TRUE(fs::exists(a.dir.path() / "report.pdf"));
        break;
    }
}

TEST(ExportGolden, UploadedBytesEqualTheLocalExport) {
    test::ScratchDir site;
    fs::create_directories(site.path() / "www");
    test::LocalFtpServer server(TALLYWEB_SERVERS_SCRIPT, {.root = site.path()});
    TALLYWEB_REQUIRE_SERVER(server);
    Analysis a;
    transfer::CurlTransfer transfer;
    const ExportServices services{a.prompter, transfer, {}};
    const config::RunSettings settings;
    config::ExportSettings what;
    what.ExportExportType = kHtml;
    what.ExportLocation = (a.dir.path() / "local.html").string();
    ASSERT_TRUE(runExport(a.doc, what, settings, services, false, a.clock.nowSeconds()).ok);
    const std::string local = slurp(a.dir.path() / "local.html");

    what.ExportServiceType = kFtpUpload;
    what.ExportUsername = server.options().user;
    what.ExportPassword = server.options().password;
    const std::string base = "ftp://127.0.0.1:" + std::to_string(server.port());
    // Into a directory, and into the login directory without changing it.
    for (const std::string& path : {std::string("/www/r.html"), std::string("/top.html")}) {
        what.ExportLocation = base + path;
        ASSERT_TRUE(runExport(a.doc, what, settings, services, false, a.clock.nowSeconds()).ok)
            << path;
        EXPECT_TRUE(slurp(site.path() / path.substr(1)) == local) << path;
    }
    EXPECT_TRUE(a.prompter.events().empty());
}

}  // namespace
}  // namespace tw::exporter
