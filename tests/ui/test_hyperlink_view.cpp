// The hyperlink tree's drawing over a real run whose crawl read a small site on disk: clicks on
// the open/close boxes and what ends up on the screen.
#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QImage>
#include <QTest>
#include <string>

#include "document/document.h"
#include "site/spider.h"
#include "support/local_document.h"
#include "support/local_servers.h"
#include "transfer/curl_transfer.h"
#include "ui/hyperlink_pane.h"

namespace tw::ui {
namespace {

struct CrawledRun : test::LocalDocumentParts {
    test::ScratchDir site;
    test::ScratchDir data;
    transfer::CurlTransfer transfer;
    site::SiteSpider crawl{transfer, prompter, (data.path() / "downloads").string()};
    std::unique_ptr<document::Document> doc;

    CrawledRun() {
        site.write("index.html",
                   "<title>Home</title><a href=\"a.html\">A</a> <a href=\"b.html\">B</a>");
        site.write("a.html", "<title>Page A</title><a href=\"c.html\">C</a>");
        site.write("b.html", "<title>Page B</title>");
        site.write("c.html", "<title>Page C</title>");
        std::string log;
        auto line = [&](const char* page, const char* from) {
            log += std::string("10.0.0.1 - - [10/Oct/2020:13:55:36 +0000] \"GET ") + page +
                   " HTTP/1.0\" 200 10 \"http://www.example.org" + from + "\" \"Mozilla/4.0\"\n";
        };
        for (int i = 0; i < 3; ++i) line("/a.html", "/index.html");
        line("/b.html", "/index.html");
        line("/c.html", "/a.html");
        settings.setDataFolder(data.path().string());
        doc = std::make_unique<document::Document>(document::DocumentServices{
            settings, prompter, progress, clock, files, sources, measure, crawl, resolver});
        config::ReportDefinition d;
        d.Name = "Site";
        d.Path = data.write("access.log", log).string();
        d.File = 1;
        d.Domain = "www.example.org";
        d.DefaultPage = "index.html";
        d.Internet = 0;
        d.Root = (site.path() / "index.html").string();
        d.RecursionDepth = 3;
        EXPECT_TRUE(doc->generate(d, ingest::RunMode::Unattended));
    }
};

const site::NodeLayout* laidOut(const HyperlinkPane& pane, const std::string& url) {
    for (const site::NodeLayout& n : pane.layout().nodes)
        if (n.node->url == url) return &n;
    return nullptr;
}

int countPixels(const QImage& image, QColor colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == colour) ++n;
    return n;
}

TEST(HyperlinkView, ClickingAnOpenCloseBoxOpensThePageAndDrawsItsChildren) {
    CrawledRun run;
    ASSERT_NE(run.doc->statistics(), nullptr);
    HyperlinkPane pane;
    pane.resize(640, 420);
    pane.load(*run.doc);
    pane.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
    ASSERT_NE(pane.tree(), nullptr);
    QWidget* viewport = pane.diagram()->viewport();

    ASSERT_EQ(pane.layout().nodes.size(), 3u) << "the root and its two links";
    const site::NodeLayout* a = laidOut(pane, "/a.html");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->hitText, "3 hits (75%)");
    EXPECT_EQ(a->titleText, "Page A");
    ASSERT_TRUE(a->toggle);
    EXPECT_FALSE(a->node->expanded);
    site::TreeNode* aNode = a->node;
    const QPoint plus(a->position.x + 6, a->position.y + 38);  // on the plus's upright only
    const QPoint inView = viewport->mapTo(&pane, QPoint(0, 0));
    EXPECT_EQ(pane.grab().toImage().pixelColor(plus + inView), QColor(Qt::black));

    // A click beside the box, on the page's icon, changes nothing.
    QTest::mouseClick(viewport, Qt::LeftButton, {}, {a->position.x + 16, a->position.y + 8});
    EXPECT_FALSE(aNode->expanded);
    EXPECT_EQ(pane.layout().nodes.size(), 3u);

    // One pixel outside the box still counts.
    QTest::mouseClick(viewport, Qt::LeftButton, {}, {a->toggle->left - 1, a->toggle->top - 1});
    EXPECT_TRUE(aNode->expanded);
    EXPECT_TRUE(aNode->built);
    ASSERT_EQ(pane.layout().nodes.size(), 4u);
    const site::NodeLayout* c = laidOut(pane, "/c.html");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->node->parent, aNode);
    EXPECT_EQ(c->titleText, "Page C");

    const QImage shot = pane.grab().toImage();
    const QColor yellow(255, 255, 210);
    const QColor darkBlue(0, 0, 128);
    EXPECT_GT(countPixels(shot, yellow), shot.width() * shot.height() / 2);
    EXPECT_GT(countPixels(shot, darkBlue), 50);
    // The plus became a minus: the upright is gone, the box's inside is white again.
    a = laidOut(pane, "/a.html");
    EXPECT_EQ(shot.pixelColor(QPoint(a->position.x + 6, a->position.y + 38) + inView),
              QColor(Qt::white));
    // The new line to /c.html is drawn: halfway along it the pixel is the line's colour.
    const site::Line& toC = pane.layout().lines.back();
    const QPoint middle((toC.from.x + toC.to.x) / 2, (toC.from.y + toC.to.y) / 2);
    bool blueNearMiddle = false;
    for (int dy = -1; dy <= 1; ++dy)
        blueNearMiddle =
            blueNearMiddle || shot.pixelColor(middle + inView + QPoint(0, dy)) == darkBlue;
    EXPECT_TRUE(blueNearMiddle);

    // Closing the root leaves it alone on the page.
    const site::NodeLayout& root = pane.layout().nodes.front();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, {root.toggle->left + 3, root.toggle->top + 3});
    EXPECT_FALSE(pane.tree()->root().expanded);
    EXPECT_EQ(pane.layout().nodes.size(), 1u);
}

TEST(HyperlinkView, WithoutAnAnalysisThePaneIsAnEmptyYellowSheet) {
    test::LocalDocumentParts parts;
    document::Document empty(parts.documentServices());
    HyperlinkPane pane;
    pane.resize(300, 200);
    pane.load(empty);
    pane.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
    EXPECT_EQ(pane.tree(), nullptr);
    EXPECT_TRUE(pane.layout().nodes.empty());
    // Nothing to click on, and nothing breaks when clicked.
    QTest::mouseClick(pane.diagram()->viewport(), Qt::LeftButton, {}, {6, 37});
    const QImage shot = pane.grab().toImage();
    const QPoint inside = pane.diagram()->viewport()->geometry().center();
    EXPECT_EQ(shot.pixelColor(inside), QColor(255, 255, 210));
}

}  // namespace
}  // namespace tw::ui
