// The export run as the automatic export after a generation makes it: the location's date
// codes, a local file, and an upload to a real FTP server with its failures.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "export/export_run.h"
#include "platform/mapped_file.h"
#include "support/fakes.h"
#include "support/local_servers.h"
#include "support/scripted_resolver.h"
#include "transfer/curl_transfer.h"

namespace tw::exporter {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

struct Program {
    test::ScratchDir dir;
    platform::MemorySettings settings;
    test::FakePrompter prompter;
    test::FakeProgressDialog progress;
    test::FakeClock clock;  // 14 November 2023
    platform::PosixFileOpener files;
    ingest::PlainFileSources sources;
    ingest::MeasureOnly measure;
    ingest::NoSpider spider;
    test::ScriptedResolver resolver;
    transfer::CurlTransfer transfer;
    AutomaticExport automatic{settings, clock, {prompter, transfer, {}}};
    document::Document doc{{settings, prompter, progress, clock, files, sources, measure, spider,
                            resolver, &automatic}};

    Program() {
        setenv("TZ", "UTC", 1);
        tzset();
    }
    config::ReportDefinition definition() const {
        const fs::path log = dir.write(
            "a.log",
            "192.0.2.1 - - [10/Oct/2020:10:00:00 +0000] \"GET /<b>.html HTTP/1.0\" 200 10\n");
        config::ReportDefinition d;
        d.Name = "Site";
        d.File = 1;
        d.Path = log.string();
        d.DefaultPage = "index.html";
        d.Domain = "www.example.org";
        d.Export = 1;
        return d;
    }
};

TEST(ExportRun, AutomaticExportToADatedLocalFile) {
    Program p;
    config::ReportDefinition d = p.definition();
    d.exportSettings.ExportLocation = (p.dir.path() / "site%m%d.html").string();
    ASSERT_TRUE(p.doc.generate(d, ingest::RunMode::Unattended));
    EXPECT_EQ(p.doc.lastAutoExport(), document::AutoExport::Done);
    const fs::path file = p.dir.path() / "site1114.html";
    EXPECT_EQ(p.automatic.last().address, file.string());
    const std::string html = slurp(file);
    EXPECT_NE(html.find("<title>Tallyweb Report</title>"), std::string::npos);
    EXPECT_NE(html.find("www.example.org"), std::string::npos);
    EXPECT_EQ(html.find("/<b>.html"), std::string::npos) << "log texts are escaped";
    EXPECT_TRUE(p.prompter.events().empty()) << "an automatic export asks nothing";
    EXPECT_EQ(p.doc.selected(), p.doc.catalogue().initialSelection()) << "selection restored";

    // A location that cannot be written is a failed export, said as such.
    d.exportSettings.ExportLocation = (p.dir.path() / "missing" / "x.html").string();
    ASSERT_TRUE(p.doc.generate(d, ingest::RunMode::Unattended));
    EXPECT_EQ(p.doc.lastAutoExport(), document::AutoExport::Failed);
    EXPECT_FALSE(p.prompter.events().empty());
}

// Each format, asked for or automatic: a missing folder and a full disk each end in one message
// that names the place and the system's reason, and in a failed outcome.
TEST(ExportRun, EveryFailedExportSaysWhereAndWhy) {
    Program p;
    config::ReportDefinition d = p.definition();
    d.Export = 0;
    ASSERT_TRUE(p.doc.generate(d, ingest::RunMode::Unattended));
    const ExportServices services{p.prompter, p.transfer, {}};
    const config::RunSettings settings;
    struct Case {
        int type;
        std::string name;       // the file, or the directory of the comma-delimited files
        std::string firstFile;  // where the first bytes are written
    };
    const Case cases[] = {{kHtml, "r.html", "r.html.partial"},
                          {kWord, "r.docx", "r.docx.tmp-docx"},
                          {kCommaDelimited, "csv", "csv/General Statistics.csv.partial"}};
    int round = 0;
    for (const Case& c : cases) {
        for (const bool interactive : {false, true}) {
            const std::string label = c.name + (interactive ? " asked for" : " automatic");
            config::ExportSettings what;
            what.ExportExportType = c.type;
            what.ExportServiceType = kLocalFile;
            const auto messageOf = [&]() -> std::string {
                p.prompter.clear();
                const ExportOutcome out =
                    runExport(p.doc, what, settings, services, interactive, p.clock.nowSeconds());
                EXPECT_FALSE(out.ok) << label;
                const auto events = p.prompter.events();
                EXPECT_EQ(events.size(), 1u) << label << ": the failure alone, no success";
                return events.empty() ? std::string() : events.front().text;
            };

            what.ExportLocation = (p.dir.path() / "missing" / c.name).string();
            std::string text = messageOf();
            EXPECT_NE(text.find(what.ExportLocation), std::string::npos) << label << ": " << text;
            EXPECT_NE(text.find("No such file or directory"), std::string::npos) << text;

            const fs::path place = p.dir.path() / ("full" + std::to_string(++round));
            fs::create_directories(place / "csv");
            fs::create_symlink("/dev/full", place / c.firstFile);
            what.ExportLocation = (place / c.name).string();
            text = messageOf();
            const std::string written = (place / c.firstFile).string();
            EXPECT_NE(text.find(written.substr(0, written.rfind('.'))), std::string::npos)
                << label << ": " << text;
            EXPECT_NE(text.find("No space left on device"), std::string::npos) << text;
            if (c.type != kCommaDelimited) {
                EXPECT_FALSE(fs::exists(place / c.name)) << label;
            }
        }
    }
}

TEST(ExportRun, UploadToAnFtpServerAndItsFailures) {
    test::ScratchDir site;
    fs::create_directories(site.path() / "reports");
    test::LocalFtpServer server(TALLYWEB_SERVERS_SCRIPT, {.root = site.path()});
    TALLYWEB_REQUIRE_SERVER(server);
    const std::string base = "ftp://127.0.0.1:" + std::to_string(server.port());

    Program p;
    config::ReportDefinition d = p.definition();
    d.exportSettings.ExportServiceType = kFtpUpload;
    d.exportSettings.ExportUsername = server.options().user;
    d.exportSettings.ExportPassword = server.options().password;
    d.exportSettings.ExportLocation = base + "/reports/r%d.html";
    ASSERT_TRUE(p.doc.generate(d, ingest::RunMode::Unattended));
    EXPECT_EQ(p.doc.lastAutoExport(), document::AutoExport::Done);
    const std::string uploaded = slurp(site.path() / "reports" / "r14.html");
    EXPECT_NE(uploaded.find("<title>Tallyweb Report</title>"), std::string::npos);
    EXPECT_EQ(uploaded.substr(uploaded.size() - 7), "</html>") << "the whole file, bytes unchanged";

    struct Case {
        std::string location;
        std::string message;
    };
    const Case cases[] = {
        {base + "/nowhere/r.html", "The directory on the FTP server you specified was invalid."},
        {"http://127.0.0.1/r.html", "Invalid URL entered in the location dialog."},
        {"127.0.0.1/r.html", "Invalid URL entered in the location dialog."},
    };
    for (const Case& c : cases) {
        p.prompter.clear();
        d.exportSettings.ExportLocation = c.location;
        ASSERT_TRUE(p.doc.generate(d, ingest::RunMode::Unattended));
        EXPECT_EQ(p.doc.lastAutoExport(), document::AutoExport::Failed) << c.location;
        ASSERT_EQ(p.prompter.events().size(), 1u) << c.location;
        EXPECT_EQ(p.prompter.events()[0].text, c.message);
    }
    d.exportSettings.ExportLocation = base + "/reports/r.html";
    d.exportSettings.ExportPassword = "wrong";
    p.prompter.clear();
    ASSERT_TRUE(p.doc.generate(d, ingest::RunMode::Unattended));
    EXPECT_EQ(p.doc.lastAutoExport(), document::AutoExport::Failed);
    EXPECT_FALSE(fs::exists(site.path() / "reports" / "r.html"));
}

}  // namespace
}  // namespace tw::exporter
