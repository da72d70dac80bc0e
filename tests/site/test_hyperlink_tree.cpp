#include "site/hyperlink_tree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/document.h"
#include "platform/mapped_file.h"
#include "site/spider.h"
#include "support/fakes.h"
#include "support/local_servers.h"
#include "support/scripted_resolver.h"
#include "transfer/curl_transfer.h"

namespace tw::site {
namespace {

using engine::Statistics;

// Statistics holding a crawled site and the transitions a log gave.
struct SiteStats {
    Statistics stats;
    config::ReportDefinition def;

    SiteStats() {
        stats.initialise({});
        def.Root = "/srv/www/index.html";
        def.DefaultPage = "index.html";
    }
    void page(const std::string& url, const std::string& title,
              const std::vector<std::string_view>& links) {
        ASSERT_TRUE(engine::addSitePage(stats.sitePages, stats.arena, url, title, links));
    }
    void transition(const std::string& from, const std::string& to, std::uint64_t hits) {
        stats.pageTransitions.insertOrMerge({stats.arena.copy(from), stats.arena.copy(to), hits});
    }
};

const TreeNode* child(const TreeNode& n, const std::string& url) {
    for (const auto& c : n.children)
        if (c->url == url) return c.get();
    return nullptr;
}

TEST(HyperlinkTree, HitsAndSharesAreRelativeToTheSiblingsTotal) {
    SiteStats s;
    s.page("/index.html", "Home", {"/a.html", "/b.html", "/logo.gif", "/docs/", "/never.html"});
    s.page("/a.html", "Page A", {"/index.html", "/b.html"});
    s.page("/b.html", "", {});
    s.page("/docs/", "Docs", {"/docs/x.html"});
    s.transition("/index.html", "/a.html", 6);
    s.transition("/index.html", "/b.html", 3);
    // The analysis names a directory request by its default page.
    s.transition("/index.html", "/docs/index.html", 1);
    s.transition("/a.html", "/index.html", 2);
    // A transition to a page the home page does not link to counts for nothing here.
    s.transition("/index.html", "/elsewhere.html", 50);

    HyperlinkTree tree(s.stats, s.def);
    const TreeNode& root = tree.root();
    EXPECT_EQ(root.url, "/index.html");
    EXPECT_EQ(root.title, "Home");
    EXPECT_EQ(root.hits, 0u);
    EXPECT_TRUE(root.expanded);
    ASSERT_EQ(root.children.size(), 5u);
    // Highest first; equal counts keep the page's order.
    std::vector<std::string> order;
    for (const auto& c : root.children) order.push_back(c->url);
    EXPECT_EQ(order, (std::vector<std::string>{"/a.html", "/b.html", "/docs/", "/logo.gif",
                                               "/never.html"}));
    EXPECT_EQ(child(root, "/a.html")->hits, 6u);
    EXPECT_EQ(child(root, "/a.html")->share, 60u);
    EXPECT_EQ(child(root, "/b.html")->share, 30u);
    EXPECT_EQ(child(root, "/docs/")->hits, 1u);
    EXPECT_EQ(child(root, "/docs/")->share, 10u);
    EXPECT_EQ(child(root, "/never.html")->hits, 0u);
    EXPECT_EQ(child(root, "/never.html")->share, 0u);
    // An image has no record: a leaf without a title.
    const TreeNode* logo = child(root, "/logo.gif");
    EXPECT_EQ(logo->title, "");
    EXPECT_EQ(logo->icon, NodeIcon::NotRead);
    EXPECT_EQ(logo->childCount, 0u);
    EXPECT_EQ(child(root, "/b.html")->icon, NodeIcon::Page);
    for (const auto& c : root.children) EXPECT_EQ(c->parent, &root);

    // Children of children are known by count only until opened.
    const TreeNode* a = child(root, "/a.html");
    EXPECT_EQ(a->childCount, 2u);
    EXPECT_TRUE(a->children.empty());
    EXPECT_FALSE(a->built);
}

TEST(HyperlinkTree, OpeningANodeBuildsItOnceAndClosesItsSiblings) {
    SiteStats s;
    s.page("/index.html", "Home", {"/a.html", "/b.html"});
    s.page("/a.html", "A", {"/c.html", "/d.html"});
    s.page("/b.html", "B", {"/c.html"});
    s.transition("/index.html", "/a.html", 4);
    s.transition("/index.html", "/b.html", 1);
    HyperlinkTree tree(s.stats, s.def);
    TreeNode& a = *tree.root().children[0];
    TreeNode& b = *tree.root().children[1];
    ASSERT_EQ(a.url, "/a.html");

    tree.toggle(a);
    EXPECT_TRUE(a.expanded);
    ASSERT_EQ(a.children.size(), 2u);
    // Opening keeps the node's own count from its parent.
    EXPECT_EQ(a.hits, 4u);
    EXPECT_EQ(a.share, 80u);
    // No link of /a.html was followed: every share is 0.
    for (const auto& c : a.children) {
        EXPECT_EQ(c->hits, 0u);
        EXPECT_EQ(c->share, 0u);
    }

    tree.toggle(b);
    EXPECT_TRUE(b.expanded);
    EXPECT_FALSE(a.expanded);
    EXPECT_EQ(a.children.size(), 2u);  // closed, not thrown away
    tree.toggle(b);
    EXPECT_FALSE(b.expanded);
    EXPECT_FALSE(a.expanded);
    tree.toggle(a);
    EXPECT_TRUE(a.expanded);
    EXPECT_FALSE(b.expanded);
}

TEST(HyperlinkTree, RootThatWasNeverReadIsASingleNode) {
    SiteStats s;
    s.page("/other.html", "Other", {"/index.html"});
    HyperlinkTree tree(s.stats, s.def);
    EXPECT_EQ(tree.root().url, "/index.html");
    EXPECT_TRUE(tree.root().children.empty());
    EXPECT_EQ(tree.root().title, "");
}

TEST(HyperlinkTree, RootUrlFromTheDefinition) {
    config::ReportDefinition d;
    d.DefaultPage = "default.htm";
    d.Internet = 1;
    d.Root = "http://www.example.com/shop/start.html";
    EXPECT_EQ(rootUrl(d), "/shop/start.html");
    d.Root = "http://www.example.com/shop/";
    EXPECT_EQ(rootUrl(d), "/shop/default.htm");
    d.Root = "http://www.example.com";
    EXPECT_EQ(rootUrl(d), "/default.htm");
    d.Root = "not a url";
    EXPECT_EQ(rootUrl(d), "/index.html");
    d.Internet = 0;
    d.Root = "/srv/site/home.html";
    EXPECT_EQ(rootUrl(d), "/home.html");
    d.Root = "C:\\site\\home.html";
    EXPECT_EQ(rootUrl(d), "/home.html");
    d.Root = "/srv/site/";
    EXPECT_EQ(rootUrl(d), "/default.htm");
    d.DefaultPage = "";
    EXPECT_EQ(rootUrl(d), "/index.html");
}

// The whole way: a live site crawled over HTTP during a run over a log whose referrers are the
// site's own pages, then the tree the view would draw.
TEST(HyperlinkTree, FromACrawledSiteAndALogOfInternalReferrers) {
    test::ScratchDir site, data;
    site.write("index.html",
               "<html><title>Home</title><a href=\"a.html\">A</a> <a href=\"docs/\">Docs</a>"
               " <a href=\"/b.html\">B</a> <a href=\"logo.gif\">logo</a> <a href=\"c.html\">C</a>");
    site.write("a.html", "<title>Page A</title><a href=\"b.html\">B</a> <a href=\"c.html\">C</a>");
    site.write("b.html", "<title>Page B</title>");
    site.write("c.html", "<title>Page C</title><a href=\"index.html\">home</a>");
    site.write("docs/index.html", "<title>Docs</title><a href=\"../a.html\">up</a>");
    site.write("logo.gif", "GIF89a");
    test::LocalHttpServer server(TALLYWEB_SERVERS_SCRIPT, {.root = site.path()});
    TALLYWEB_REQUIRE_SERVER(server);
    const std::string host = "127.0.0.1:" + std::to_string(server.port());

    auto line = [&](const std::string& page, const std::string& from) {
        return "10.0.0.1 - - [10/Oct/2020:13:55:36 +0000] \"GET " + page + " HTTP/1.0\" 200 10 \"" +
               (from.empty() ? "-" : "http://" + host + from) + "\" \"Mozilla/4.0\"\n";
    };
    std::string log;
    for (int i = 0; i < 3; ++i) log += line("/a.html", "/index.html");
    log += line("/docs/", "/index.html");
    log += line("/b.html", "/a.html");
    log += line("/index.html", "");
    const std::string logPath = data.write("access.log", log).string();

    platform::MemorySettings settings;
    settings.setDataFolder(data.path().string());
    test::FakePrompter prompter;
    test::FakeProgressDialog progress;
    test::FakeClock clock;
    platform::PosixFileOpener files;
    ingest::PlainFileSources sources;
    ingest::MeasureOnly measure;
    transfer::CurlTransfer transfer;
    SiteSpider spider(transfer, prompter, (data.path() / "downloads").string());
    test::ScriptedResolver resolver;
    document::Document doc(
        {settings, prompter, progress, clock, files, sources, measure, spider, resolver});

    config::ReportDefinition def;
    def.Name = "Site";
    def.Path = logPath;
    def.File = 1;
    def.Domain = host;
    def.DefaultPage = "index.html";
    def.Internet = 1;
    def.Root = "http://" + host + "/index.html";
    def.RecursionDepth = 3;
    ASSERT_TRUE(doc.generate(def, ingest::RunMode::Unattended)) << prompter.events().size();
    const presentation::Handle entry = doc.catalogue().findByTitle("Hyperlink Tree View");
    ASSERT_NE(entry, presentation::kNoHandle);
    EXPECT_EQ(doc.select(entry).view, presentation::ViewKind::HyperlinkTree);

    HyperlinkTree tree(*doc.statistics(), doc.definition());
    TreeNode& root = tree.root();
    EXPECT_EQ(root.title, "Home");
    ASSERT_EQ(root.children.size(), 5u);
    TreeNode& a = *root.children[0];
    EXPECT_EQ(a.url, "/a.html");
    EXPECT_EQ(a.title, "Page A");
    EXPECT_EQ(a.hits, 3u);
    EXPECT_EQ(a.share, 75u);
    TreeNode& docs = *root.children[1];
    EXPECT_EQ(docs.url, "/docs/");
    EXPECT_EQ(docs.title, "Docs");
    EXPECT_EQ(docs.hits, 1u);
    EXPECT_EQ(docs.share, 25u);
    for (std::size_t i = 2; i < root.children.size(); ++i) {
        EXPECT_EQ(root.children[i]->hits, 0u) << root.children[i]->url;
        EXPECT_EQ(root.children[i]->share, 0u) << root.children[i]->url;
    }
    const TreeNode* logo = child(root, "/logo.gif");
    ASSERT_NE(logo, nullptr);
    EXPECT_EQ(logo->icon, NodeIcon::NotRead);

    tree.toggle(a);
    ASSERT_EQ(a.children.size(), 2u);
    EXPECT_EQ(a.children[0]->url, "/b.html");
    EXPECT_EQ(a.children[0]->share, 100u);
    EXPECT_EQ(a.children[1]->share, 0u);
    tree.toggle(docs);
    EXPECT_TRUE(docs.expanded);
    EXPECT_FALSE(a.expanded) << "opening a node closes its open siblings";
}

}  // namespace
}  // namespace tw::site
