// Logs fetched from real FTP and HTTP servers on this machine and analysed whole: the same
// counts as the same logs read from local files, copies that are current not fetched again,
// the messages of a directory that cannot be entered, and names from servers that would leave
// the download folder.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "document/document.h"
#include "platform/mapped_file.h"
#include "platform/strings.h"
#include "support/fakes.h"
#include "support/local_servers.h"
#include "support/scripted_resolver.h"
#include "transfer/curl_transfer.h"
#include "transfer/gzip_logs.h"
#include "transfer/log_retrieval.h"

namespace tw::transfer {
namespace {

namespace fs = std::filesystem;
using test::LocalFtpServer;
using test::LocalHttpServer;
using test::ScratchDir;

std::string slurp(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

std::string gzipped(const std::string& text) {
    const fs::path tmp = fs::temp_directory_path() / ("tw-gz-" + std::to_string(::getpid()));
    gzFile g = gzopen(tmp.c_str(), "wb");
    gzwrite(g, text.data(), static_cast<unsigned>(text.size()));
    gzclose(g);
    std::string out = slurp(tmp);
    fs::remove(tmp);
    return out;
}

// A day of requests from a few visitors, different in every file.
std::string logLines(int file, int lines) {
    std::string out;
    for (int i = 0; i < lines; ++i) {
        out += "192.0.2." + std::to_string(1 + (i + file) % 7) + " - - [1" + std::to_string(file) +
               "/Oct/2020:1" + std::to_string(i % 10) + ":00:00 +0000] \"GET /p" +
               std::to_string(i % 5) + ".html HTTP/1.0\" " + (i % 9 == 0 ? "404" : "200") + " " +
               std::to_string(100 + i) + " \"http://search.example.com/?q=x\" \"Lynx/2.8\"\n";
    }
    return out;
}

// One program's worth of services around a document, with the real transfer layer.
struct Program {
    ScratchDir data;
    platform::MemorySettings settings;
    test::FakePrompter prompter;
    test::FakeProgressDialog progress;
    test::FakeClock clock;
    platform::PosixFileOpener files;
    CurlTransfer transfer;
    RemoteLogSources sources;
    GzipPreprocessor gzip;
    ingest::NoSpider spider;
    test::ScriptedResolver resolver;
    document::Document doc;

    Program()
        : sources(transfer, progress, prompter, clock, (data.path() / "downloads").string()),
          gzip((data.path() / "run").string(), (data.path() / "downloads").string(), progress,
               prompter),
          doc({settings, prompter, progress, clock, files, sources, gzip, spider, resolver}) {
        settings.setDataFolder(data.path().string());
    }

    // The General Statistics and a few tables, as text, for comparing two runs.
    std::map<std::string, std::string> outcome() {
        std::map<std::string, std::string> out;
        for (const char* entry : {"General Statistics", "Most Requested Pages",
                                  "Missing Files (404 errors)", "Domain Name", "Hits per Day"}) {
            doc.select(doc.catalogue().findByTitle(entry));
            std::string table;
            for (int r = 0; r < doc.table().rows(); ++r) {
                const std::string label = doc.table().cell(r, 0);
                if (label == "Report generated on") continue;
                for (int c = 0; c < doc.table().columns(); ++c)
                    table += doc.table().cell(r, c) + "\t";
                table += "\n";
            }
            out[entry] = table;
        }
        return out;
    }
};

config::ReportDefinition ftpReport(const LocalFtpServer& server, int form, std::string path) {
    config::ReportDefinition d;
    d.Name = "FTP logs";
    d.Local = 0;
    d.File = form;
    d.Path = std::move(path);
    d.Sitename = "127.0.0.1:" + std::to_string(server.port());
    d.Username = server.options().user;
    d.Password = server.options().password;
    d.DefaultPage = "index.html";
    d.Domain = "www.example.org";
    return d;
}

int retrievals(const LocalFtpServer& server) {
    int n = 0;
    for (const std::string& c : server.commands()) n += c.rfind("RETR", 0) == 0;
    return n;
}

TEST(LogRetrieval, FtpWildcardOfCompressedLogsCountsAsTheLocalPlainFiles) {
    ScratchDir site, local;
    std::string all;
    for (int f = 1; f <= 3; ++f) {
        const std::string text = logLines(f, 40 + f);
        site.write("logs/access" + std::to_string(f) + ".log.gz", gzipped(text));
        local.write("access" + std::to_string(f) + ".log", text);
        all += text;
    }
    site.write("logs/notes.txt", "not a log\n");
    LocalFtpServer server(TALLYWEB_SERVERS_SCRIPT, {.root = site.path()});
    TALLYWEB_REQUIRE_SERVER(server);

    Program remote;
    ASSERT_TRUE(
        remote.doc.generate(ftpReport(server, 2, "/logs/*.gz"), ingest::RunMode::Unattended))
        << remote.prompter.events().size();
    EXPECT_EQ(retrievals(server), 3);
    EXPECT_EQ(remote.doc.lastRun().fileCount, 3u);

    Program plain;
    config::ReportDefinition localDef = ftpReport(server, 0, local.path().string());
    localDef.Local = 1;
    ASSERT_TRUE(plain.doc.generate(localDef, ingest::RunMode::Unattended));
    EXPECT_EQ(remote.outcome(), plain.outcome());

    // The archives and their copies stay in the report's download folder; a second run finds
    // them current, fetches nothing and counts the same.
    const fs::path folder = remote.data.path() / "downloads" / "FTP logs";
    EXPECT_TRUE(fs::exists(folder / "access2.log.gz"));
    EXPECT_TRUE(fs::exists(folder / "access2.log"));
    ASSERT_TRUE(
        remote.doc.generate(ftpReport(server, 2, "/logs/*.gz"), ingest::RunMode::Unattended));
    EXPECT_EQ(retrievals(server), 3) << "nothing fetched twice";
    EXPECT_EQ(remote.outcome(), plain.outcome()) << "but everything analysed again";
}

TEST(LogRetrieval, FtpDirectoryAndOneFileFormsAndADirectoryThatCannotBeEntered) {
    ScratchDir site;
    site.write("logs/access_log", logLines(1, 10));
    site.write("logs/old/access.log", logLines(2, 5));
    site.write("other/b.log", logLines(3, 7));
    LocalFtpServer server(TALLYWEB_SERVERS_SCRIPT, {.root = site.path()});
    TALLYWEB_REQUIRE_SERVER(server);

    // The directory form takes every file of the directory (not its subdirectories).
    Program p;
    ASSERT_TRUE(p.doc.generate(ftpReport(server, 0, "/logs/"), ingest::RunMode::Unattended));
    EXPECT_EQ(p.doc.acceptedRecords(), 10u);

    // Two one-file entries, in two directories.
    ASSERT_TRUE(p.doc.generate(ftpReport(server, 1, "/logs/access_log ; /other/b.log"),
                               ingest::RunMode::Unattended));
    EXPECT_EQ(p.doc.acceptedRecords(), 17u);

    // A directory that cannot be entered ends the retrieval with its message; what the
    // entries before it listed is still analysed.
    p.prompter.clear();
    ASSERT_TRUE(p.doc.generate(ftpReport(server, 0, "/logs/;/missing/;/other/"),
                               ingest::RunMode::Unattended));
    EXPECT_EQ(p.doc.acceptedRecords(), 10u);
    const auto events = p.prompter.events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(
        events[0].text,
        platform::format(platform::text(platform::sid::FtpDirectoryError).data(), "/missing/"));
    EXPECT_EQ(events[0].icon, platform::Icon::Warning);

    // A wrong password is the server's own words, and no report.
    p.prompter.clear();
    config::ReportDefinition bad = ftpReport(server, 0, "/logs/");
    bad.Password = "wrong";
    EXPECT_FALSE(p.doc.generate(bad, ingest::RunMode::Unattended));
    ASSERT_GE(p.prompter.events().size(), 2u);
    EXPECT_NE(p.prompter.events()[0].text, "");
    EXPECT_EQ(p.prompter.events()[1].text, platform::text(platform::sid::NoLogFiles));
}

config::ReportDefinition httpReport(const LocalHttpServer& server, std::string paths) {
    config::ReportDefinition d;
    d.Name = "Web logs";
    d.Local = 2;
    d.Path.clear();
    const std::string base = "http://127.0.0.1:" + std::to_string(server.port());
    std::string rest = std::move(paths);
    for (std::size_t at; !rest.empty();) {
        at = rest.find(';');
        d.Path += (d.Path.empty() ? "" : ";") + base + rest.substr(0, at);
        rest = at == std::string::npos ? "" : rest.substr(at + 1);
    }
    d.DefaultPage = "index.html";
    d.Domain = "www.example.org";
    return d;
}

TEST(LogRetrieval, HttpDownloadsWithAndWithoutLengthLoginAndCompanions) {
    ScratchDir site;
    site.write("logs/a.log", logLines(1, 12));
    site.write("logs/b.log", logLines(2, 8));
    site.write("private/c.log", logLines(3, 5));
    site.write("three/access.log",
               "192.0.2.1 - - [10/Oct/2020:10:00:00 +0000] \"GET /x.html HTTP/1.0\" 200 10\n");
    site.write("three/referer.log", "http://elsewhere.example.com/ -> /x.html\n");
    site.write("three/agent.log", "Lynx/2.8\n");
    LocalHttpServer server(TALLYWEB_SERVERS_SCRIPT,
                           {.root = site.path(), .authPrefix = "/private"});
    TALLYWEB_REQUIRE_SERVER(server);

    Program p;
    // A URL of a directory names no file: it is not fetched and not analysed.
    ASSERT_TRUE(p.doc.generate(httpReport(server, "/logs/a.log;/logs/b.log?nolength;/logs/"),
                               ingest::RunMode::Unattended));
    EXPECT_EQ(p.doc.acceptedRecords(), 20u);
    const fs::path folder = p.data.path() / "downloads" / "Web logs";
    EXPECT_EQ(slurp(folder / "b.log"), logLines(2, 8)) << "read to the end without a length";

    // A refused login asks for another and tries again; giving up leaves the log out.
    p.prompter.queueLogin({"tally", "s3cret"});
    ASSERT_TRUE(p.doc.generate(httpReport(server, "/private/c.log"), ingest::RunMode::Unattended));
    EXPECT_EQ(p.doc.acceptedRecords(), 5u);
    fs::remove(folder / "c.log");
    EXPECT_FALSE(p.doc.generate(httpReport(server, "/private/c.log"), ingest::RunMode::Unattended));

    // The multi-file layout fetches the companions beside the access log and reads them.
    config::ReportDefinition three = httpReport(server, "/three/access.log");
    three.ApacheTwoFileFormat = 1;
    ASSERT_TRUE(p.doc.generate(three, ingest::RunMode::Unattended));
    EXPECT_TRUE(fs::exists(folder / "referer.log"));
    EXPECT_TRUE(fs::exists(folder / "agent.log"));
    EXPECT_TRUE(p.doc.statistics()->counters.agentsSeen);
    EXPECT_TRUE(p.doc.statistics()->counters.referrersSeen);
    EXPECT_EQ(p.doc.lastRun().fileCount, 1u) << "companions are not listed";
}

TEST(LogRetrieval, CancelledDownloadAsksWhetherToAnalyseWhatCame) {
    ScratchDir site;
    site.write("logs/a.log", logLines(1, 12));
    site.write("logs/big.log", logLines(2, 4000));
    LocalHttpServer server(TALLYWEB_SERVERS_SCRIPT, {.root = site.path()});
    TALLYWEB_REQUIRE_SERVER(server);

    Program p;
    // The first file comes whole; the second is cancelled part way (a few pieces in).
    p.progress.cancelOnReport(8);
    p.prompter.queueAnswer(platform::Answer::Yes);
    ASSERT_TRUE(p.doc.generate(httpReport(server, "/logs/a.log;/logs/big.log?slow=5"),
                               ingest::RunMode::Unattended));
    EXPECT_EQ(p.prompter.events().at(0).text, platform::text(platform::sid::DownloadCancelled));
    EXPECT_EQ(p.doc.acceptedRecords(), 12u) << "only the complete file";
    EXPECT_FALSE(p.doc.lastRun().cancelled) << "the analysis itself ran to its end";
    const fs::path partial = p.data.path() / "downloads" / "Web logs" / "big.log";
    ASSERT_TRUE(fs::exists(partial));
    EXPECT_GT(fs::file_size(partial), 0u);
    EXPECT_LT(fs::file_size(partial), logLines(2, 4000).size()) << "stopped part way";
}

// Every file under `root` with its bytes and time: what a run must leave exactly as it was.
std::map<std::string, std::string> snapshot(const fs::path& root) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        const std::string rel = fs::relative(e.path(), root).string();
        std::error_code ec;
        const auto when = fs::last_write_time(e.path(), ec).time_since_epoch().count();
        out[rel] = (e.is_regular_file() ? slurp(e.path()) : std::string("<dir>")) + "@" +
                   std::to_string(when);
    }
    return out;
}

TEST(LogRetrieval, LocalCompressedLogsAreReadWithoutTouchingTheUsersFiles) {
    ScratchDir logs;
    logs.write("access.log.gz", gzipped(logLines(1, 30)));
    logs.write("access.log", logLines(2, 4));  // a live log beside its own archive
    logs.write("old/EX000101.GZ", gzipped(logLines(3, 6)));
    fs::permissions(logs.path() / "old", fs::perms::owner_read | fs::perms::owner_exec);
    const auto before = snapshot(logs.path());

    Program p;
    config::ReportDefinition d;
    d.Name = "Local";
    d.Path = logs.path().string() + "/";
    d.DefaultPage = "index.html";
    ASSERT_TRUE(p.doc.generate(d, ingest::RunMode::Unattended));
    EXPECT_EQ(p.doc.acceptedRecords(), 40u) << "every archive and the live log, once each";
    EXPECT_EQ(snapshot(logs.path()), before) << "nothing written, moved or deleted";
    fs::permissions(logs.path() / "old", fs::perms::owner_all);

    // The copies lived only as long as the run.
    std::error_code ec;
    EXPECT_TRUE(!fs::exists(p.data.path() / "run", ec) || fs::is_empty(p.data.path() / "run", ec));
}

// A server whose listing names files outside any folder.
class HostileFtp final : public Transfer, public Session, public FtpConnection {
  public:
    std::unique_ptr<Session> open(const std::string&, const std::string&, std::string*) override {
        return std::unique_ptr<Session>(new Forward(*this));
    }
    std::unique_ptr<FtpConnection> connectFtp(const std::string&, int, const std::string&,
                                              const std::string&, bool, std::string*) override {
        return std::unique_ptr<FtpConnection>(new Forward(*this));
    }
    std::unique_ptr<HttpConnection> connectHttp(Scheme, const std::string&, int,
                                                std::optional<Login>, std::string*) override {
        return nullptr;
    }
    std::optional<std::string> currentDirectory(std::string*) override { return "/"; }
    bool changeDirectory(const std::string&, std::string*) override { return true; }
    bool list(std::string_view, std::vector<FtpEntry>& out, std::string*,
              const CancelCheck*) override {
        for (const char* n :
             {"../escape.log", "/tmp/absolute.log", "..", "sub\\dir.log", "fine.log", ".", ""})
            out.push_back({n, false, 10, 0});
        return true;
    }
    bool get(const std::string& remote, const std::string& local, std::string*,
             const CancelCheck*) override {
        gets.push_back(remote);
        std::ofstream(local) << "192.0.2.1 - - [10/Oct/2020:10:00:00 +0000] \"GET /x.html "
                                "HTTP/1.0\" 200 10\n";
        return true;
    }
    bool put(const std::string&, const std::string&, std::string*) override { return false; }
    std::vector<std::string> gets;

  private:
    // Sessions and connections are owned by their callers; these hand the calls on.
    struct Forward final : Session, FtpConnection {
        explicit Forward(HostileFtp& h) : h_(h) {}
        std::unique_ptr<FtpConnection> connectFtp(const std::string& a, int b, const std::string& c,
                                                  const std::string& d, bool e,
                                                  std::string* f) override {
            return h_.connectFtp(a, b, c, d, e, f);
        }
        std::unique_ptr<HttpConnection> connectHttp(Scheme, const std::string&, int,
                                                    std::optional<Login>, std::string*) override {
            return nullptr;
        }
        std::optional<std::string> currentDirectory(std::string* e) override {
            return h_.currentDirectory(e);
        }
        bool changeDirectory(const std::string& p, std::string* e) override {
            return h_.changeDirectory(p, e);
        }
        bool list(std::string_view p, std::vector<FtpEntry>& o, std::string* e,
                  const CancelCheck* c) override {
            return h_.list(p, o, e, c);
        }
        bool get(const std::string& r, const std::string& l, std::string* e,
                 const CancelCheck* c) override {
            return h_.get(r, l, e, c);
        }
        bool put(const std::string& l, const std::string& r, std::string* e) override {
            return h_.put(l, r, e);
        }
        HostileFtp& h_;
    };
};

TEST(LogRetrieval, NamesFromAServerNeverLeaveTheDownloadFolder) {
    ScratchDir data;
    HostileFtp server;
    test::FakeProgressDialog progress;
    test::FakePrompter prompter;
    test::FakeClock clock;
    RemoteLogSources sources(server, progress, prompter, clock, (data.path() / "dl").string());
    config::ReportDefinition d;
    d.Name = "../../Report";
    d.Local = 0;
    d.File = 0;
    d.Path = "/logs/";
    d.Sitename = "ftp.example.org";
    const ingest::SourceResult r = sources.resolve(d, config::RunSettings{});
    EXPECT_EQ(server.gets, (std::vector<std::string>{"fine.log"}));
    ASSERT_EQ(r.files.size(), 1u);
    const fs::path folder = fs::weakly_canonical(data.path() / "dl");
    EXPECT_EQ(fs::weakly_canonical(r.files[0]).parent_path(), folder / "....Report")
        << "the report's own name cannot climb out either";
    for (const auto& e : fs::recursive_directory_iterator(data.path()))
        EXPECT_EQ(fs::weakly_canonical(e.path()).string().rfind(folder.string(), 0), 0u)
            << e.path();
    EXPECT_FALSE(fs::exists("/tmp/absolute.log"));
}

}  // namespace
}  // namespace tw::transfer
