#include "site/link_scan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tw::site {
namespace {

// Every link the scanner gives for `page`, in order.
std::vector<std::string> links(std::string_view page) {
    const LinkScanner scanner("www.example.org");
    std::vector<std::string> out;
    std::string_view link;
    std::size_t at = 0;
    while (const auto next = scanner.nextLink(page, at, link)) {
        EXPECT_GE(*next, at);
        at = *next;
        out.emplace_back(link);
    }
    return out;
}

using Links = std::vector<std::string>;

TEST(LinkScan, FindsAnchorAndFrameValuesQuotedOrNot) {
    EXPECT_EQ(
        links(R"(<a href="one.html">1</a> <FRAME name=x SRC='two.html'> <A HREF=three.html>)"),
        (Links{"one.html", "two.html", "three.html"}));
    // Whichever tag comes first is taken first; blanks around the value go.
    EXPECT_EQ(links(R"(<frame src=" f.html "><a href = "a.html">)"), (Links{"f.html", "a.html"}));
    // A quoted value ends at the first quote of either kind or ">".
    EXPECT_EQ(links(R"(<a href="it's.html">)"), (Links{"it"}));
    EXPECT_EQ(links(R"(<a href="x.html>y)"), (Links{"x.html"}));
    // "<area" and "<abbr" are not anchors.
    EXPECT_EQ(links(R"(<area href="no.html"><abbr title=x>)"), Links{});
}

TEST(LinkScan, TagWithoutUsableValueEndsTheScan) {
    // No "=" before ">": nothing more is read from the page, not even later good links.
    EXPECT_EQ(links(R"(<a href>x</a> <a href="later.html">)"), Links{});
    // No attribute anywhere after the tag.
    EXPECT_EQ(links(R"(<a href="one.html"> <a name="x">)"), (Links{"one.html"}));
    // The "=" scan meets the end of the text.
    EXPECT_EQ(links(R"(<a href="one.html"> <a href)"), (Links{"one.html"}));
    // The attribute is searched beyond its own tag.
    EXPECT_EQ(links(R"(<a name="top"></a><b href="b.html">)"), (Links{"b.html"}));
}

TEST(LinkScan, ClassifiesLinks) {
    const LinkScanner scanner("www.example.org");
    auto kind = [&](std::string link, std::string rewritten, LinkClass expected) {
        const LinkClass got = scanner.classify(link);
        EXPECT_EQ(got, expected) << link;
        if (got == LinkClass::SiteAbsolute) {
            EXPECT_EQ(link, rewritten);
        }
    };
    kind("mailto:me@www.example.org", "", LinkClass::Ignore);
    kind("news:comp.lang.c", "", LinkClass::Ignore);
    kind("http://elsewhere.com/a.html", "", LinkClass::Ignore);
    kind("/a/b.html", "/a/b.html", LinkClass::SiteAbsolute);
    kind("HTTP://WWW.Example.ORG/docs/a.html", "docs/a.html", LinkClass::SiteAbsolute);
    // Nothing after the base: another site as far as the walk is concerned.
    kind("http://www.example.org", "", LinkClass::Ignore);
    kind("sub/page.html", "", LinkClass::Relative);

    // An empty base (no domain given) marks nothing as the own site.
    const LinkScanner noBase("");
    std::string link = "page.html";
    EXPECT_EQ(noBase.classify(link), LinkClass::Relative);
    EXPECT_EQ(link, "page.html");
}

TEST(LinkScan, TitleAndCuts) {
    const LinkScanner scanner("x");
    EXPECT_EQ(scanner.title("<html><TITLE>Home page</Title></html>"), "Home page");
    EXPECT_EQ(scanner.title("<title>never closed"), "");
    EXPECT_EQ(scanner.title("</title><title>b</title>"), "b");

    EXPECT_EQ(cutLink("a.html?x=1#top", true, true), "a.html");
    EXPECT_EQ(cutLink("a.html?x=1#top", false, true), "a.html");
    EXPECT_EQ(cutLink("a.html?x=1#top", true, false), "a.html?x=1");
    EXPECT_EQ(cutLink("a.html#one#two", true, false), "a.html#one");
    EXPECT_EQ(cutLink("#top", true, true), "");
}

TEST(LinkScan, ResolvesDotSegmentsWithinTheRoot) {
    EXPECT_EQ(resolveLink("/dir/page.html", "other.html", LinkClass::Relative), "/dir/other.html");
    EXPECT_EQ(resolveLink("/a/b/page.html", "../c/./d.html", LinkClass::Relative), "/a/c/d.html");
    EXPECT_EQ(resolveLink("/a/page.html", "./", LinkClass::Relative), "/a/");
    EXPECT_EQ(resolveLink("/a/page.html", "..", LinkClass::Relative), "/");
    EXPECT_EQ(resolveLink("/a/page.html", "sub\\x.html", LinkClass::Relative), "/a/sub/x.html");
    // ".." at the root is dropped, however many there are.
    EXPECT_EQ(resolveLink("/page.html", "../../../etc/x.html", LinkClass::Relative), "/etc/x.html");
    EXPECT_EQ(resolveLink("/a/page.html", "/../../x.html", LinkClass::SiteAbsolute), "/x.html");
    EXPECT_EQ(resolveLink("/a/page.html", "docs//b.html", LinkClass::SiteAbsolute), "/docs/b.html");
    // The page's own query does not count as its directory; a link's query is kept as it is.
    EXPECT_EQ(resolveLink("/p.php?r=/x/y", "q.php?go=../z", LinkClass::Relative), "/q.php?go=../z");
}

TEST(LinkScan, LocalPartStaysBelowTheRoot) {
    EXPECT_EQ(localPart("/dir/", "index.html"), "dir/index.html");
    EXPECT_EQ(localPart("/", "index.html"), "index.html");
    EXPECT_EQ(localPart("/about", "index.html"), "about/index.html");
    EXPECT_EQ(localPart("/v1.2/", "index.html"), "v1.2/index.html");
    EXPECT_EQ(localPart("/a/b.html#part", "index.html"), "a/b.html");
    // A query holding a path cannot lead out of the root.
    EXPECT_EQ(localPart("/p.php?go=/../../x", "index.html"), std::nullopt);
    EXPECT_EQ(localPart("/p.php?go=a\\..\\x", "index.html"), std::nullopt);
    EXPECT_EQ(localPart(std::string("/a\0b.html", 9), "index.html"), std::nullopt);
    EXPECT_EQ(localPart("/dir/", "../up.html"), std::nullopt);
}

TEST(LinkScan, PageExtensions) {
    EXPECT_TRUE(isPagePath("a/index.HTML"));
    EXPECT_TRUE(isPagePath("cgi-bin/run.plan"));     // ".PL" starting a longer word
    EXPECT_TRUE(isPagePath("images.gif/page.htm"));  // page extensions win
    EXPECT_TRUE(isPagePath("about/index.html"));     // a link without "." counts by its page
    EXPECT_TRUE(isPagePath("readme"));
    EXPECT_FALSE(isPagePath("img/logo.GIF"));
    EXPECT_FALSE(isPagePath("photo.jpeg"));
    EXPECT_FALSE(isPagePath("dl/tool.tar.gz"));
    EXPECT_FALSE(isPagePath("song.mp3"));
}

}  // namespace
}  // namespace tw::site
