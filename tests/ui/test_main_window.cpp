// The main window over a real document: the report tree after a run, the right pane swapped
// only when the kind of view changes, and the splitter width kept from one start to the next.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QSplitter>
#include <QTreeWidget>
#include <memory>
#include <string>

#include "document/document.h"
#include "platform/mapped_file.h"
#include "site/spider.h"
#include "support/fakes.h"
#include "support/local_servers.h"
#include "support/scripted_resolver.h"
#include "transfer/curl_transfer.h"
#include "ui/main_window.h"
#include "ui/report_tree.h"

namespace tw::ui {
namespace {

std::string sampleLog() {
    std::string log;
    const char* pages[] = {"/index.html", "/a.html", "/b.html", "/missing.html"};
    for (int i = 0; i < 40; ++i) {
        const std::string page = pages[i % 4];
        const int status = page == "/missing.html" ? 404 : 200;
        log += "10.0.0." + std::to_string(i % 7) +
               " - - [10/Oct/2020:13:55:" + (i % 60 < 10 ? "0" : "") + std::to_string(i % 60) +
               " +0000] \"GET " + page + " HTTP/1.0\" " + std::to_string(status) +
               " 100 \"http://search.example.org/?q=tally\" \"Mozilla/4.0 (compatible; MSIE "
               "5.0; Windows 98)\"\n";
    }
    return log;
}

struct Rig {
    test::ScratchDir dir;
    platform::MemorySettings settings;
    test::FakePrompter prompter;
    test::FakeProgressDialog progress;
    test::FakeClock clock;
    platform::PosixFileOpener files;
    ingest::PlainFileSources sources;
    ingest::MeasureOnly measure;
    ingest::NoSpider spider;
    test::ScriptedResolver resolver;
    transfer::CurlTransfer transfer;
    std::unique_ptr<document::Document> doc;
    std::vector<std::string> opened;

    Rig() {
        settings.setDataFolder(dir.path().string());
        doc = std::make_unique<document::Document>(document::DocumentServices{
            settings, prompter, progress, clock, files, sources, measure, spider, resolver});
    }
    std::unique_ptr<MainWindow> window() {
        auto w = std::make_unique<MainWindow>(
            MainWindowServices{*doc, settings, prompter, transfer, [this](const std::string& a) {
                                   opened.push_back(a);
                                   return true;
                               }});
        w->show();
        QApplication::processEvents();
        return w;
    }
    config::ReportDefinition definition() const {
        config::ReportDefinition d;
        d.Name = "Daily";
        d.Path = dir.write("access.log", sampleLog()).string();
        d.File = 1;
        d.Domain = "www.example.com";
        d.DefaultPage = "index.html";
        return d;
    }
};

TEST(MainWindow, AGeneratedReportFillsTheTreeAndSwapsPanesByKind) {
    Rig rig;
    auto w = rig.window();
    EXPECT_EQ(w->windowTitle(), "Tallyweb");
    EXPECT_EQ(w->pane()->kind(), presentation::ViewKind::Message) << "an empty document";
    EXPECT_FALSE(w->action("save")->isEnabled());

    ASSERT_TRUE(w->generate(rig.definition()));
    EXPECT_EQ(w->windowTitle(), "Daily - Tallyweb");
    ReportTree* tree = w->reportTree();
    EXPECT_GT(tree->topLevelItemCount(), 4);
    ASSERT_NE(tree->currentItem(), nullptr);
    EXPECT_EQ(tree->currentItem()->text(0), "General Statistics");
    EXPECT_TRUE(tree->itemFor(rig.doc->catalogue().findByTitle("Access Statistics"))->isExpanded());
    EXPECT_EQ(w->pane()->kind(), presentation::ViewKind::Chart);
    EXPECT_TRUE(w->action("save")->isEnabled());

    // Two list reports share one view object; a report of another kind replaces it.
    tree->choose(rig.doc->catalogue().findByTitle("Most Requested Pages"));
    ReportPane* list = w->pane();
    tree->choose(rig.doc->catalogue().findByTitle("Domain Name"));
    EXPECT_EQ(w->pane(), list);
    EXPECT_EQ(rig.doc->table().title, "Visiting Domain Names");
    tree->choose(rig.doc->catalogue().findByTitle("Individual Page Referrers"));
    EXPECT_NE(w->pane(), list);
    EXPECT_EQ(w->pane()->kind(), presentation::ViewKind::TreeList);
    tree->choose(rig.doc->catalogue().findByTitle("Tracked Files"));
    EXPECT_EQ(w->pane()->kind(), presentation::ViewKind::Message);
    EXPECT_EQ(w->splitter()->widget(1), w->pane());
}

TEST(MainWindow, SplitterWidthSurvivesARestartAndSavingKeepsRecentFiles) {
    Rig rig;
    {
        auto w = rig.window();
        EXPECT_EQ(w->splitter()->sizes().value(0), kDefaultSplitterSize);
        w->splitter()->setSizes({310, 600});
        w->close();
    }
    EXPECT_EQ(rig.settings.getInt("", "SplitterSize", 0), 310);
    auto again = rig.window();
    EXPECT_EQ(again->splitter()->sizes().value(0), 310);

    ASSERT_TRUE(again->generate(rig.definition()));
    const std::string file = (rig.dir.path() / "daily.twb").string();
    ASSERT_TRUE(again->saveReport(file));
    EXPECT_EQ(rig.settings.getString("Recent File List", "File1", ""), file);
    ASSERT_TRUE(again->openReport(file));
    EXPECT_EQ(again->windowTitle(), "daily.twb - Tallyweb");
    EXPECT_EQ(again->reportTree()->currentItem()->text(0), "General Statistics");
    EXPECT_EQ(rig.settings.getString("Recent File List", "File2", ""), "")
        << "the same file is listed once";
}

}  // namespace
}  // namespace tw::ui
