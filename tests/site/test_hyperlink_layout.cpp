// Where the hyperlink tree's drawing puts each page, measured with a fixed-pitch fake: every
// character 6 pixels wide, regular lines 10 high, bold lines 12. The 68-pixel text column then
// holds 11 characters.
#include "site/hyperlink_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/statistics.h"

namespace tw::site {
namespace {

int pitch(std::string_view s) {
    return 6 * static_cast<int>(s.size());
}

TextSize fakeMeasure(std::string_view text, FontKind font, int wrapWidth, bool elideMiddle) {
    const int line = font == FontKind::Bold ? 12 : 10;
    if (elideMiddle) {
        std::string shown = elidePathMiddle(text, wrapWidth, pitch);
        return {pitch(shown), line, shown};
    }
    if (wrapWidth == 0) return {pitch(text), line, std::string(text)};
    const int perLine = wrapWidth / 6;
    const int length = static_cast<int>(text.size());
    const int lines = std::max(1, (length + perLine - 1) / perLine);
    return {6 * std::min(length, perLine), line * lines, std::string(text)};
}

// /index.html links /a.html and /b.html; /a.html links /c.html and a long address that has no
// record; /b.html links /c.html.
struct Site {
    engine::Statistics stats;
    config::ReportDefinition def;

    Site() {
        stats.initialise({});
        def.Root = "/srv/www/index.html";
        def.DefaultPage = "index.html";
        page("/index.html", "Home", {"/a.html", "/b.html"});
        page("/a.html", "Page A of the shop", {"/catalogue/items/z.htm", "/c.html"});
        page("/b.html", "", {"/c.html"});
        page("/c.html", "C", {});
        transition("/index.html", "/a.html", 6);
        transition("/index.html", "/b.html", 3);
        transition("/a.html", "/c.html", 3);
        transition("/a.html", "/catalogue/items/z.htm", 1);
    }
    void page(const std::string& url, const std::string& title,
              const std::vector<std::string_view>& links) {
        ASSERT_TRUE(engine::addSitePage(stats.sitePages, stats.arena, url, title, links));
    }
    void transition(const std::string& from, const std::string& to, std::uint64_t hits) {
        stats.pageTransitions.insertOrMerge({stats.arena.copy(from), stats.arena.copy(to), hits});
    }
};

const NodeLayout& at(const TreeLayout& l, const std::string& url) {
    for (const NodeLayout& n : l.nodes)
        if (n.node->url == url) return n;
    ADD_FAILURE() << url << " is not laid out";
    return l.nodes.front();
}

std::vector<std::string> order(const TreeLayout& l) {
    std::vector<std::string> urls;
    for (const NodeLayout& n : l.nodes) urls.push_back(n.node->url);
    return urls;
}

TEST(HyperlinkLayout, ColumnsFollowTheOpenBranchCentredOnTheirParent) {
    Site s;
    HyperlinkTree tree(s.stats, s.def);

    // Closed children: one column, the root moved down so the top is 0.
    TreeLayout l = layoutTree(tree.root(), fakeMeasure);
    ASSERT_EQ(order(l), (std::vector<std::string>{"/index.html", "/a.html", "/b.html"}));
    const NodeLayout& root = l.nodes[0];
    EXPECT_EQ(root.position, (Point{0, 37}));
    EXPECT_TRUE(root.hitLine.empty());
    EXPECT_EQ(root.address, (Rect{32, 37, 98, 49}));
    EXPECT_EQ(root.title, (Rect{32, 49, 56, 59}));
    EXPECT_EQ(root.box, (Rect{0, 37, 98, 69}));
    EXPECT_EQ(root.toggle, (Rect{2, 70, 10, 78}));
    EXPECT_TRUE(root.open);
    // The wrapped title makes /a.html 42 high: the column (42 + 32) starts 74 / 2 above the root.
    const NodeLayout& a = at(l, "/a.html");
    EXPECT_EQ(a.position, (Point{148, 0}));
    EXPECT_EQ(a.hitText, "6 hits (66%)");
    EXPECT_EQ(a.hitLine, (Rect{180, 0, 252, 10}));
    EXPECT_EQ(a.address, (Rect{180, 10, 222, 22}));
    EXPECT_EQ(a.title, (Rect{180, 22, 246, 42}));
    EXPECT_EQ(a.box, (Rect{148, 0, 252, 42}));
    EXPECT_FALSE(a.open);
    const NodeLayout& b = at(l, "/b.html");
    EXPECT_EQ(b.position, (Point{148, 52}));
    EXPECT_EQ(b.titleText, "(no title)");
    EXPECT_EQ(b.parent, 0);
    EXPECT_EQ(l.lines.size(), 2u);
    EXPECT_EQ(l.bounds, (Rect{-5, -5, 257, 89}));

    // Opening /a.html adds its column; the long address keeps its start and its file name.
    tree.toggle(*toggleAt(l, {a.toggle->left, a.toggle->top}));
    l = layoutTree(tree.root(), fakeMeasure);
    ASSERT_EQ(order(l), (std::vector<std::string>{"/index.html", "/a.html", "/c.html",
                                                  "/catalogue/items/z.htm", "/b.html"}));
    EXPECT_EQ(at(l, "/index.html").position, (Point{0, 69}));
    EXPECT_EQ(at(l, "/a.html").position, (Point{148, 32}));
    EXPECT_EQ(at(l, "/b.html").position, (Point{148, 84}));
    const NodeLayout& c = at(l, "/c.html");
    EXPECT_EQ(c.position, (Point{302, 0}));
    EXPECT_EQ(c.hitText, "3 hits (75%)");
    EXPECT_FALSE(c.toggle) << "a page without links has no open/close box";
    const NodeLayout& z = at(l, "/catalogue/items/z.htm");
    EXPECT_EQ(z.position, (Point{302, 42}));
    EXPECT_EQ(z.addressText, "/c.../z.htm");
    EXPECT_EQ(z.address, (Rect{334, 52, 400, 64}));
    EXPECT_EQ(z.parent, 1);
    ASSERT_EQ(l.lines.size(), 4u);
    // Each line leaves its parent's box on the right, 16 below the parent's top.
    EXPECT_EQ(l.lines[0].from, (Point{98, 85}));
    EXPECT_EQ(l.lines[0].to, (Point{148, 48}));
    EXPECT_EQ(l.lines[1].from, (Point{252, 48}));
    EXPECT_EQ(l.lines[1].to, (Point{302, 16}));
    EXPECT_EQ(l.bounds, (Rect{-5, -5, 411, 121}));

    // Opening the sibling closes /a.html: the third column holds only /b.html's child.
    tree.toggle(*toggleAt(l, {at(l, "/b.html").toggle->left, at(l, "/b.html").toggle->top}));
    l = layoutTree(tree.root(), fakeMeasure);
    ASSERT_EQ(order(l), (std::vector<std::string>{"/index.html", "/a.html", "/b.html", "/c.html"}));
    EXPECT_FALSE(at(l, "/a.html").open);
    EXPECT_TRUE(at(l, "/b.html").open);
    EXPECT_EQ(at(l, "/c.html").parent, 2);
    EXPECT_EQ(at(l, "/c.html").hitText, "0 hits (0%)");
    EXPECT_EQ(at(l, "/c.html").position, (Point{302, 36}));

    // Closing the root leaves it alone.
    tree.toggle(tree.root());
    l = layoutTree(tree.root(), fakeMeasure);
    ASSERT_EQ(order(l), (std::vector<std::string>{"/index.html"}));
    EXPECT_EQ(l.nodes[0].position, (Point{0, 0}));
    EXPECT_FALSE(l.nodes[0].open);
    EXPECT_TRUE(l.lines.empty());
}

TEST(HyperlinkLayout, ClickFindsTheOpenCloseBoxWithOnePixelToSpare) {
    Site s;
    HyperlinkTree tree(s.stats, s.def);
    tree.toggle(*tree.root().children[0]);
    const TreeLayout l = layoutTree(tree.root(), fakeMeasure);
    // The root's box spans x 2..9 and y 102..109 (its position is (0, 69)).
    TreeNode* root = &tree.root();
    ASSERT_EQ(l.nodes[0].toggle, (Rect{2, 102, 10, 110}));
    EXPECT_EQ(toggleAt(l, {5, 105}), root);
    EXPECT_EQ(toggleAt(l, {1, 105}), root);
    EXPECT_EQ(toggleAt(l, {0, 105}), nullptr);
    EXPECT_EQ(toggleAt(l, {10, 105}), root);
    EXPECT_EQ(toggleAt(l, {11, 105}), nullptr);
    EXPECT_EQ(toggleAt(l, {5, 101}), root);
    EXPECT_EQ(toggleAt(l, {5, 100}), nullptr);
    EXPECT_EQ(toggleAt(l, {5, 110}), root);
    EXPECT_EQ(toggleAt(l, {5, 111}), nullptr);
    // Another page's box, and a page with no box at all.
    const NodeLayout& a = at(l, "/a.html");
    EXPECT_EQ(toggleAt(l, {a.position.x + 6, a.position.y + 37}), a.node);
    const NodeLayout& c = at(l, "/c.html");
    EXPECT_EQ(toggleAt(l, {c.position.x + 6, c.position.y + 37}), nullptr);
    EXPECT_EQ(toggleAt(l, {c.position.x + 10, c.position.y + 10}), nullptr) << "the icon is no box";

    // A measurement that fails leaves nothing to draw or click, and nothing escapes.
    const TreeLayout failed =
        layoutTree(tree.root(), [](std::string_view, FontKind, int, bool) -> TextSize { throw 1; });
    EXPECT_TRUE(failed.nodes.empty());
    EXPECT_TRUE(failed.bounds.empty());
    EXPECT_EQ(toggleAt(failed, {5, 105}), nullptr);
}

TEST(HyperlinkLayout, AddressesAreShortenedInTheMiddle) {
    EXPECT_EQ(elidePathMiddle("/index.html", 66, pitch), "/index.html");
    EXPECT_EQ(elidePathMiddle("/catalogue/items/z.htm", 66, pitch), "/c.../z.htm");
    EXPECT_EQ(elidePathMiddle("/catalogue/items/z.htm", 60, pitch), "/.../z.htm");
    EXPECT_EQ(elidePathMiddle("/catalogue/items/z.htm", 59, pitch), ".../z.htm");
    // A file name wider than the column: its end still shows.
    EXPECT_EQ(elidePathMiddle("/dir/averyverylongname.html", 66, pitch), "...ame.html");
    EXPECT_EQ(elidePathMiddle("noslashesatallhere", 66, pitch), "...tallhere");
    EXPECT_EQ(elidePathMiddle("/anything", 10, pitch), "...");
    // Four bytes of the front would fit, but the fourth would split "é".
    EXPECT_EQ(elidePathMiddle("/\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9/x.h", 66, pitch),
              "/\xc3\xa9.../x.h");
}

}  // namespace
}  // namespace tw::site
