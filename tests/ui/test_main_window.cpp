// The main window over a real document: the report tree after a run, the right pane swapped
// only when the kind of view changes, and the splitter width kept from one start to the next.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "config/report_store.h"
#include "document/document.h"
#include "platform/strings.h"
#include "support/local_document.h"
#include "support/local_servers.h"
#include "transfer/curl_transfer.h"
#include "ui/main_window.h"
#include "ui/message_view.h"
#include "ui/qt_progress.h"
#include "ui/report_list_dialog.h"
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

struct Rig : test::LocalDocumentParts {
    test::ScratchDir dir;
    transfer::CurlTransfer transfer;
    std::unique_ptr<document::Document> doc;
    std::vector<std::string> opened;

    explicit Rig(platform::ProgressDialog* shown = nullptr) {
        settings.setDataFolder(dir.path().string());
        doc = std::make_unique<document::Document>(documentServices(shown));
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

TEST(MainWindow, TheReportPickerGeneratesTheChosenStoredReport) {
    Rig rig;
    config::ReportDefinition other = rig.definition();
    other.Name = "Another";
    other.Path = "/nowhere/at/all.log";
    config::saveReportList(rig.settings, {rig.definition(), other});
    auto w = rig.window();

    QString picked;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<ReportListDialog*>(QApplication::activeModalWidget());
        if (!dialog || !picked.isEmpty()) return;
        auto* table = dialog->findChild<QTableWidget*>(QStringLiteral("reports"));
        for (int r = 0; r < table->rowCount(); ++r)
            if (table->item(r, 0)->text() == "Daily") table->selectRow(r);
        picked = table->selectedItems().value(0)->text();
        QTimer::singleShot(0, dialog, [dialog] {
            dialog->findChild<QPushButton*>(QStringLiteral("generate"))->click();
        });
    });
    driver.start(10);
    w->action("switch")->trigger();
    driver.stop();

    EXPECT_EQ(picked, "Daily");
    EXPECT_EQ(w->windowTitle(), "Daily - Tallyweb");
    EXPECT_GT(w->reportTree()->topLevelItemCount(), 4);
    ASSERT_NE(w->reportTree()->currentItem(), nullptr);
    EXPECT_EQ(w->reportTree()->currentItem()->text(0), "General Statistics");
    EXPECT_EQ(rig.doc->acceptedRecords(), 40u);
    EXPECT_EQ(config::loadLastSelection(rig.settings), 1) << "rows sorted: Another, Daily";
}

TEST(MainWindow, CopyFollowsTheSelectionAndTheStatusBarReturnsToItsIdleText) {
    Rig rig;
    auto w = rig.window();
    ASSERT_TRUE(w->generate(rig.definition()));
    QAction* copy = w->action("copy");
    EXPECT_FALSE(copy->isEnabled()) << "nothing is selected yet";
    auto* rows = w->pane()->findChild<QTreeWidget*>();
    ASSERT_NE(rows, nullptr);
    ASSERT_GT(rows->topLevelItemCount(), 0);
    rows->topLevelItem(0)->setSelected(true);
    EXPECT_TRUE(copy->isEnabled());
    rows->clearSelection();
    EXPECT_FALSE(copy->isEnabled());

    QStatusBar* bar = w->statusBar();
    EXPECT_EQ(bar->currentMessage(), "For Help, press F1");
    bar->showMessage("Open an existing document", 20);
    EXPECT_EQ(bar->currentMessage(), "Open an existing document");
    for (int i = 0; i < 200 && bar->currentMessage() != "For Help, press F1"; ++i) QTest::qWait(10);
    EXPECT_EQ(bar->currentMessage(), "For Help, press F1");
    bar->clearMessage();  // what a menu item's prompt does when the pointer leaves it
    EXPECT_EQ(bar->currentMessage(), "For Help, press F1");
}

TEST(MainWindow, HelpCommandsAskForTheirTopics) {
    Rig rig;
    auto w = rig.window();
    ASSERT_TRUE(w->generate(rig.definition()));
    rig.prompter.clear();
    w->action("formats")->trigger();
    w->action("helpTopics")->trigger();
    std::vector<int> topics;
    for (const auto& e : rig.prompter.events())
        if (e.kind == test::FakePrompter::Kind::Help) topics.push_back(e.help);
    EXPECT_EQ(topics, (std::vector<int>{platform::help::LogFormats, platform::help::Contents}));
}

TEST(MainWindow, AnEmptyDocumentSaysHowToChooseAReport) {
    Rig rig;
    auto w = rig.window();  // as after Cancel in the report picker at start-up
    auto* view = qobject_cast<MessageView*>(w->pane());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->text(),
              "You have not selected a valid report to view.\n\nYou should go to File|Switch to "
              "Report Picker and choose a report to view.");
}

TEST(MainWindow, SwitchingReportsOffersToSaveTheOneShown) {
    Rig rig;
    config::saveReportList(rig.settings, {rig.definition()});
    auto w = rig.window();
    ASSERT_TRUE(w->generate(rig.definition()));
    ASSERT_TRUE(rig.doc->modified());
    rig.prompter.clear();
    rig.prompter.queueAnswer(platform::Answer::Cancel);  // to "Save changes to ...?"
    QTimer driver;
    bool clicked = false;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<ReportListDialog*>(QApplication::activeModalWidget());
        if (!dialog || clicked) return;
        clicked = true;
        auto* table = dialog->findChild<QTableWidget*>(QStringLiteral("reports"));
        table->selectRow(0);
        QTimer::singleShot(0, dialog, [dialog] {
            dialog->findChild<QPushButton*>(QStringLiteral("generate"))->click();
        });
    });
    driver.start(10);
    const std::uint64_t before = rig.doc->lastRun().pipeline.lines;
    w->action("switch")->trigger();
    driver.stop();
    ASSERT_TRUE(clicked);
    ASSERT_FALSE(rig.prompter.events().empty());
    EXPECT_EQ(rig.prompter.events().back().text, "Save changes to Daily?");
    EXPECT_TRUE(rig.doc->modified()) << "Cancel keeps the report shown, unsaved";
    EXPECT_EQ(rig.doc->lastRun().pipeline.lines, before);
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
    // Across restarts, a window mapped small before it gets its size, and the panes of the
    // reports shown, the tree keeps exactly the width it was left at.
    for (int restart = 0; restart < 3; ++restart) {
        auto w = rig.window();
        w->resize(300, 400);
        w->show();
        QApplication::processEvents();
        w->resize(1000, 600);
        QApplication::processEvents();
        // Each report shown puts a new pane beside the tree.
        ASSERT_TRUE(w->generate(rig.definition()));
        QApplication::processEvents();
        w->reportTree()->setCurrentItem(w->reportTree()->topLevelItem(2));
        QApplication::processEvents();
        EXPECT_EQ(w->splitter()->sizes().value(0), 310) << "restart " << restart;
        rig.prompter.queueAnswer(platform::Answer::No);  // to "Save changes to ...?"
        EXPECT_TRUE(w->close());
        EXPECT_EQ(rig.settings.getInt("", "SplitterSize", 0), 310) << "restart " << restart;
    }
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

TEST(MainWindow, ASavedFileThatIsNotWholeLeavesTheWindowAsItWas) {
    Rig rig;
    auto w = rig.window();
    ASSERT_TRUE(w->generate(rig.definition()));
    const std::string file = (rig.dir.path() / "daily.twb").string();
    ASSERT_TRUE(w->saveReport(file));
    std::ifstream in(file, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::string half = rig.dir.write("half.twb", bytes.substr(0, bytes.size() / 2)).string();
    const int entries = w->reportTree()->topLevelItemCount();
    tw::test::FakePrompter& prompter = rig.prompter;
    prompter.clear();

    EXPECT_FALSE(w->openReport(half));
    EXPECT_EQ(prompter.texts(),
              (std::vector<std::string>{
                  platform::format(platform::text(platform::sid::SavedFileIncomplete).data(),
                                   half.c_str()),
                  std::string(platform::txt::FailedToOpenDocument)}));
    EXPECT_EQ(w->windowTitle(), "Daily - Tallyweb");
    EXPECT_EQ(w->reportTree()->topLevelItemCount(), entries);
    ASSERT_NE(w->reportTree()->currentItem(), nullptr);
    EXPECT_EQ(w->reportTree()->currentItem()->text(0), "General Statistics");
    EXPECT_EQ(w->pane()->kind(), presentation::ViewKind::Chart);
    EXPECT_EQ(rig.doc->acceptedRecords(), 40u);
    EXPECT_EQ(rig.settings.getString("Recent File List", "File1", ""), file)
        << "a refused file is not a recent one";
}

TEST(MainWindow, CancellingTheProgressDialogStillShowsWhatWasRead) {
    // Far more than can be read in the moments between the first tick and the confirmation.
    constexpr int kLines = 1000000;
    std::string big;
    big.reserve(static_cast<std::size_t>(kLines) * 120);
    for (int i = 0; i < kLines; ++i)
        big += "10.1." + std::to_string(i % 200) + "." + std::to_string(i % 97) +
               " - - [10/Oct/2020:13:" + std::to_string(10 + i % 50) + ":00 +0000] \"GET /p" +
               std::to_string(i % 300) + ".html HTTP/1.0\" 200 512\n";

    QtProgressDialog dialog(nullptr);
    Rig rig(&dialog);
    auto w = rig.window();
    config::ReportDefinition def = rig.definition();
    def.Path = rig.dir.write("big.log", big).string();

    int asked = 0;
    bool clicked = false;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        // Cancel once the reading is under way, so that something was read. The click opens
        // a modal question; made from here it would hold this timer until answered.
        if (modal == &dialog && !clicked &&
            dialog.findChild<QProgressBar*>(QStringLiteral("bar"))->value() > 0) {
            clicked = true;
            QTimer::singleShot(0, &dialog, [&] {
                dialog.findChild<QPushButton*>(QStringLiteral("cancel"))->click();
            });
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            ++asked;
            box->button(QMessageBox::Yes)->click();
        }
    });
    driver.start(10);
    ASSERT_TRUE(w->generate(def));
    driver.stop();

    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(rig.doc->lastRun().cancelled);
    EXPECT_GT(rig.doc->acceptedRecords(), 0u);
    EXPECT_LT(rig.doc->acceptedRecords(), static_cast<std::uint64_t>(kLines));
    EXPECT_EQ(w->windowTitle(), "Daily - Tallyweb");
    ASSERT_NE(w->reportTree()->currentItem(), nullptr);
    EXPECT_EQ(w->reportTree()->currentItem()->text(0), "General Statistics");
    EXPECT_EQ(w->pane()->kind(), presentation::ViewKind::Chart);
}

}  // namespace
}  // namespace tw::ui
