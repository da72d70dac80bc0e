// The site crawl over a small site on disk, walked from the files and over a real HTTP server
// on this machine serving the same files.
#include "site/spider.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/fakes.h"
#include "support/local_servers.h"
#include "transfer/curl_transfer.h"

namespace tw::site {
namespace {

namespace fs = std::filesystem;
using test::LocalHttpServer;
using test::ScratchDir;

struct Page {
    std::string title;
    std::vector<std::string> links;
    bool operator==(const Page&) const = default;
};
using Pages = std::map<std::string, Page>;

class RecordingSink final : public ingest::SitePageSink {
  public:
    bool addPage(std::string_view url, std::string_view title,
                 const std::vector<std::string_view>& links) override {
        Page& p = pages[std::string(url)];
        p.title = title;
        p.links.assign(links.begin(), links.end());
        if (afterPage) afterPage();
        return true;
    }
    Pages pages;
    std::function<void()> afterPage;
};

// index (depth 1) links a.html, which links b.html (depth 3, the deepest read), which links
// c.html; index links b.html again later, by the shorter path. The site's folder and the
// download folder both have names with a dot in them, and Mixed.php has neither kind of
// extension: the folders must not make it an image.
void writeSite(const ScratchDir& dir) {
    dir.write("pub.gz/index.html",
              "<html><head><title>Home</title></head><body>\n"
              "<a href=\"a.html\">A</a>\n"
              "<a href=\"sub/\">Sub</a>\n"
              "<a href=\"img/logo.gif\"><img src=\"img/logo.gif\"></a>\n"
              "<a href=\"b.html\">B again</a>\n"
              "<a href=\"Mixed.php\">M</a>\n"
              "<a href=\"mailto:me@example.org\">mail</a>\n"
              "<a href=\"http://other.example.com/x.html\">elsewhere</a>\n"
              "</body></html>\n");
    dir.write("pub.gz/a.html", "<title>A</title><a href='b.html'>b</a> <a href=a.html>me</a>");
    dir.write("pub.gz/b.html", "<title>B</title><a href=\"c.html\">c</a>");
    dir.write("pub.gz/c.html", "<title>C</title><a href=\"d.html\">d</a>");
    dir.write("pub.gz/Mixed.php", "no title <a href=\"index.html\">home</a>");
    dir.write("pub.gz/sub/index.html",
              "<title>Sub</title><frame src=\"../a.html#part\"><a href=\"../a.html\">a</a>"
              "<a href=\"/img/logo.gif\">logo</a>");
    dir.write("pub.gz/img/logo.gif", "GIF89a not a page <a href=\"never.html\">");
}

// Deep enough that the hostile links below, were they followed as written, would still land
// inside the scratch directory (and so be seen, and removed).
constexpr const char* kBase = "out/deep/dl";

struct Crawl {
    ScratchDir dir;
    config::ReportDefinition def;
    config::RunSettings settings;
    test::FakePrompter prompter;
    test::FakeProgressDialog progress;
    RecordingSink sink;
    transfer::CurlTransfer transfer;
    fs::path folder;

    Crawl() {
        writeSite(dir);
        def.Name = "site.zip";
        def.DefaultPage = "index.html";
        def.Domain = "www.example.org";
        def.RecursionDepth = 3;
        folder = dir.path() / kBase / "site.zip";
    }

    ingest::SpiderOutcome run() {
        SiteSpider spider(transfer, prompter, (dir.path() / kBase).string());
        const ingest::RunContext context{def, settings, 0, def.Domain};
        return spider.crawl(context, progress, sink);
    }
    ingest::SpiderOutcome runLocal() {
        def.Internet = 0;
        def.Root = (dir.path() / "pub.gz" / "index.html").string();
        return run();
    }
    ingest::SpiderOutcome runHttp(const LocalHttpServer& server) {
        def.Internet = 1;
        def.Root = "http://127.0.0.1:" + std::to_string(server.port()) + "/";
        return run();
    }
};

LocalHttpServer serve(const ScratchDir& dir) {
    return LocalHttpServer(TALLYWEB_SERVERS_SCRIPT, {.root = dir.path() / "pub.gz"});
}

// Body bytes the server has sent for `path` (0 when it never served it).
std::string sentFor(const LocalHttpServer& server, const std::string& path) {
    transfer::CurlTransfer t;
    auto session = t.open("test", "", nullptr);
    auto conn = session->connectHttp(transfer::Scheme::Http, "127.0.0.1", server.port(),
                                     std::nullopt, nullptr);
    auto request = conn->get("/_sent?" + path, nullptr);
    char buffer[64];
    const long n = request->read(buffer, sizeof buffer, nullptr);
    return std::string(buffer, n > 0 ? static_cast<std::size_t>(n - 1) : 0);
}

std::vector<std::string> filesBelow(const fs::path& root) {
    std::vector<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file()) out.push_back(fs::relative(e.path(), root).string());
    std::sort(out.begin(), out.end());
    return out;
}

const Pages kSite = {
    {"/index.html", {"Home", {"/a.html", "/sub/", "/img/logo.gif", "/b.html", "/Mixed.php"}}},
    {"/a.html", {"A", {"/b.html"}}},
    {"/b.html", {"B", {"/c.html"}}},
    {"/sub/", {"Sub", {"/a.html", "/img/logo.gif"}}},
    {"/Mixed.php", {"", {"/index.html"}}},
};

TEST(SiteSpider, LocalAndHttpWalksFindTheSameSite) {
    Crawl local;
    EXPECT_EQ(local.runLocal(), ingest::SpiderOutcome::Done);
    // c.html is first reached at the deepest level through a.html and b.html; the shorter
    // path from index later does not expand b.html again. The image is a link, never a page.
    EXPECT_EQ(local.sink.pages, kSite);
    EXPECT_TRUE(local.prompter.events().empty());

    Crawl http;
    LocalHttpServer server = serve(http.dir);
    TALLYWEB_REQUIRE_SERVER(server);
    EXPECT_EQ(http.runHttp(server), ingest::SpiderOutcome::Done);
    EXPECT_EQ(http.sink.pages, kSite);
    EXPECT_TRUE(http.prompter.texts().empty());
    // The directory link was fetched as "/sub/" and stored under its default page.
    EXPECT_EQ(filesBelow(http.folder), (std::vector<std::string>{"Mixed.php", "a.html", "b.html",
                                                                 "index.html", "sub/index.html"}));
    EXPECT_EQ(sentFor(server, "/img/logo.gif"), "0");
    EXPECT_EQ(sentFor(server, "/c.html"), "0");
    EXPECT_NE(sentFor(server, "/b.html"), "0");  // the probe itself works

    bool parsedSub = false;
    for (const auto& r : http.progress.reports())
        parsedSub = parsedSub || (r.percent == 0 && r.text == "Parsing /sub/...");
    EXPECT_TRUE(parsedSub);
}

TEST(SiteSpider, FragmentsCaseAndDepthFollowTheSettings) {
    Crawl on;
    on.runLocal();
    EXPECT_EQ(on.sink.pages["/sub/"].links, (std::vector<std::string>{"/a.html", "/img/logo.gif"}));

    Crawl off;
    off.settings.DoNotDisplayPound = 0;
    off.runLocal();
    EXPECT_EQ(off.sink.pages["/sub/"].links,
              (std::vector<std::string>{"/a.html#part", "/a.html", "/img/logo.gif"}));

    Crawl folded;
    folded.settings.CaseSensitive = 0;
    folded.runLocal();
    ASSERT_TRUE(folded.sink.pages.contains("/mixed.php"));
    EXPECT_EQ(folded.sink.pages["/index.html"].links.back(), "/mixed.php");

    // Deeper: c.html is read; a silly depth is walked without trouble (the site is finite).
    Crawl deep;
    deep.def.RecursionDepth = 1'000'000;
    deep.runLocal();
    EXPECT_TRUE(deep.sink.pages.contains("/c.html"));
    Crawl none;
    none.def.RecursionDepth = 0;
    EXPECT_EQ(none.runLocal(), ingest::SpiderOutcome::Done);
    EXPECT_TRUE(none.sink.pages.empty());
}

TEST(SiteSpider, CancelStopsTheWalk) {
    // The first page recorded is the deepest one (b.html); cancelling then reads nothing more.
    Crawl local;
    local.sink.afterPage = [&] { local.progress.cancelFlag().set(); };
    EXPECT_EQ(local.runLocal(), ingest::SpiderOutcome::Cancelled);
    EXPECT_EQ(local.sink.pages, (Pages{{"/b.html", kSite.at("/b.html")}}));

    Crawl http;
    LocalHttpServer server = serve(http.dir);
    TALLYWEB_REQUIRE_SERVER(server);
    http.sink.afterPage = [&] { http.progress.cancelFlag().set(); };
    EXPECT_EQ(http.runHttp(server), ingest::SpiderOutcome::Cancelled);
    EXPECT_EQ(http.sink.pages.size(), 1u);
    EXPECT_EQ(filesBelow(http.folder),
              (std::vector<std::string>{"a.html", "b.html", "index.html"}));
}

TEST(SiteSpider, BadRootsAndUnreachableServers) {
    for (const char* root : {"ftp://127.0.0.1/index.html", "www.example.org/index.html", ""}) {
        Crawl c;
        c.def.Internet = 1;
        c.def.Root = root;
        EXPECT_EQ(c.run(), ingest::SpiderOutcome::InvalidRoot) << root;
    }
    // Nothing listens on port 1: the error is shown, the walk ends without pages.
    Crawl c;
    c.def.Internet = 1;
    c.def.Root = "http://127.0.0.1:1/";
    EXPECT_EQ(c.run(), ingest::SpiderOutcome::Done);
    EXPECT_TRUE(c.sink.pages.empty());
    EXPECT_EQ(c.prompter.events().size(), 1u);
    ASSERT_FALSE(c.progress.reports().empty());
    EXPECT_EQ(c.progress.reports().back().text, "Error downloading /index.html");
    // A local root that is not there gives no pages either.
    Crawl missing;
    missing.def.Root = (missing.dir.path() / "nothing" / "index.html").string();
    EXPECT_EQ(missing.run(), ingest::SpiderOutcome::Done);
    EXPECT_TRUE(missing.sink.pages.empty());
}

TEST(SiteSpider, HostileLinksStayInsideTheDownloadFolder) {
    Crawl c;
    c.settings.DoNotDisplayQuestion = 0;
    c.dir.write("pub.gz/index.html",
                "<a href=\"/../../x.html\">x</a><a href=\"../../../y.html\">y</a>"
                "<a href=\"z.html?go=/../../../q.html\">q</a>");
    c.dir.write("pub.gz/x.html", "<title>X</title>");
    c.dir.write("pub.gz/y.html", "<title>Y</title>");
    c.dir.write("pub.gz/z.html", "<title>Z</title>");
    LocalHttpServer server = serve(c.dir);
    TALLYWEB_REQUIRE_SERVER(server);
    EXPECT_EQ(c.runHttp(server), ingest::SpiderOutcome::Done);

    // The climbs stop at the site's root, so the pages land inside the folder.
    EXPECT_EQ(c.sink.pages["/index.html"].links,
              (std::vector<std::string>{"/x.html", "/y.html", "/z.html?go=/../../../q.html"}));
    EXPECT_EQ(c.sink.pages["/x.html"].title, "X");
    EXPECT_EQ(c.sink.pages["/y.html"].title, "Y");
    EXPECT_FALSE(c.sink.pages.contains("/z.html?go=/../../../q.html"));
    EXPECT_EQ(sentFor(server, "/z.html"), "0");
    // Outside the site's own files, nothing but the folder's contents was written.
    std::vector<std::string> written;
    for (const std::string& f : filesBelow(c.dir.path()))
        if (f.rfind("pub.gz/", 0) != 0) written.push_back(f);
    const std::string folder = std::string(kBase) + "/site.zip/";
    EXPECT_EQ(written, (std::vector<std::string>{folder + "index.html", folder + "x.html",
                                                 folder + "y.html"}));
}

}  // namespace
}  // namespace tw::site
