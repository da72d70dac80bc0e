// The prompts, the progress dialog, the report list and the definition form, driven the way a
// user would: modal windows are answered by a timer that acts on the active modal widget.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTest>
#include <QTimer>
#include <QWizard>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <set>
#include <thread>

#include "config/report_store.h"
#include "platform/settings.h"
#include "platform/strings.h"
#include "modal_driver.h"
#include "support/fakes.h"
#include "ui/help_window.h"
#include "ui/qt_progress.h"
#include "ui/qt_prompter.h"
#include "ui/report_list_dialog.h"
#include "ui/report_wizard.h"

namespace tw::ui {
namespace {

using namespace std::chrono_literals;
using platform::Answer;
namespace sid = platform::sid;

QString qtext(int id) {
    return toDisplay(platform::text(id));
}


// Runs the event loop until `done` or five seconds passed.
bool spinUntil(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + 5s;
    while (!done() && std::chrono::steady_clock::now() < end)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

TEST(QtPrompter, AnswersFromAnotherThreadOnTheGuiThread) {
    QWidget window;
    QtPrompter prompter(&window);
    QStringList captions;
    bool allOnGuiThread = true;
    ModalDriver driver([&](QWidget* w) {
        allOnGuiThread = allOnGuiThread && w->thread() == qApp->thread();
        captions << w->windowTitle();
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            if (box->checkBox() != nullptr) {
                box->checkBox()->setChecked(true);
                box->button(QMessageBox::Cancel)->click();
            } else {
                box->button(QMessageBox::No)->click();
            }
        } else if (auto* password = w->findChild<QLineEdit*>(QStringLiteral("password"))) {
            password->setText(QStringLiteral("secret"));
            qobject_cast<QDialog*>(w)->accept();
        }
    });

    Answer yesNo = Answer::Yes;
    platform::NoticeResult notice;
    std::optional<platform::LoginAnswer> login;
    std::atomic<bool> finished{false};
    std::thread job([&] {
        yesNo = prompter.askYesNo("Go on?", platform::Icon::Warning);
        notice = prompter.notice("Connect now.", true, 0);
        login = prompter.askLogin("example.org", "ann");
        finished = true;
    });
    const bool returned = spinUntil([&] { return finished.load(); });
    job.join();

    ASSERT_TRUE(returned);
    EXPECT_TRUE(allOnGuiThread);
    EXPECT_EQ(yesNo, Answer::No);
    EXPECT_EQ(notice.answer, Answer::Cancel);
    EXPECT_TRUE(notice.doNotRemind);
    ASSERT_TRUE(login.has_value());
    EXPECT_EQ(login->user, "ann");
    EXPECT_EQ(login->password, "secret");
    ASSERT_FALSE(captions.isEmpty());
    for (const QString& c : captions) EXPECT_EQ(c, QStringLiteral("Tallyweb"));
}

QString labelText(QWidget& dialog, const char* name) {
    return dialog.findChild<QLabel*>(QString::fromUtf8(name))->text();
}

// Counts the paint events of one widget.
class PaintCounter : public QObject {
  public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++paints;
        return false;
    }
};

TEST(QtProgressDialog, FollowsTheJobAndClosesOnCompletion) {
    QtProgressDialog dialog(nullptr);
    PaintCounter counter;
    dialog.findChild<QLabel*>(QStringLiteral("percentText"))->installEventFilter(&counter);

    std::set<QString> percents, texts;
    std::atomic<bool> firstLook{false};
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        if (!dialog.isVisible()) return;
        percents.insert(labelText(dialog, "percentText"));
        texts.insert(labelText(dialog, "mainText"));
        firstLook = true;
    });
    sampler.start(2);

    int paintsWhileRunning = 0;
    std::thread job([&] {
        dialog.waitUntilShown();
        while (!firstLook) std::this_thread::sleep_for(1ms);
        for (int p = 1; p <= 100; p += 3) {
            dialog.progress(
                p, p == 52 ? std::optional<std::string_view>("Parsing access.log") : std::nullopt);
            std::this_thread::sleep_for(8ms);
        }
        dialog.progress(100, std::nullopt);
        dialog.status("Looking up 192.0.2.7...");
        paintsWhileRunning = counter.paints;  // read before completion: only a lower bound
        dialog.completed();
    });
    dialog.exec(platform::ProgressDialog::Layout::WithLookupStatus);
    job.join();

    EXPECT_TRUE(percents.count(QStringLiteral("0%")));
    EXPECT_TRUE(texts.count(qtext(sid::Initializing)));
    EXPECT_GE(std::count_if(percents.begin(), percents.end(),
                            [](const QString& p) { return p != "0%" && p != "100%"; }),
              2);
    EXPECT_TRUE(texts.count(QStringLiteral("Parsing access.log")));
    EXPECT_GE(paintsWhileRunning, 2);
    EXPECT_EQ(labelText(dialog, "percentText"), QStringLiteral("100%"));
    EXPECT_EQ(labelText(dialog, "mainText"), QStringLiteral("Parsing access.log"));
    EXPECT_EQ(labelText(dialog, "statusText"), QStringLiteral("Looking up 192.0.2.7..."));
    EXPECT_EQ(labelText(dialog, "statusCaption"), QStringLiteral("Reverse DNS status:"));
    EXPECT_TRUE(dialog.findChild<QLabel*>(QStringLiteral("statusText"))->isVisibleTo(&dialog));
    EXPECT_FALSE(dialog.cancelled());
    EXPECT_FALSE(dialog.isVisible());
}

TEST(QtProgressDialog, CancelAsksAndSetsTheFlag) {
    QtProgressDialog dialog(nullptr);
    QString question;
    ModalDriver driver([&](QWidget* w) {
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            question = box->text();
            box->button(QMessageBox::Yes)->click();
        }
    });
    QString lookupRowWhileShown = QStringLiteral("unseen");
    QTimer::singleShot(50, &dialog, [&] {
        lookupRowWhileShown = dialog.findChild<QLabel*>(QStringLiteral("statusText"))->isVisible()
                                  ? QStringLiteral("shown")
                                  : QStringLiteral("hidden");
        dialog.findChild<QPushButton*>(QStringLiteral("cancel"))->click();
    });
    bool sawCancel = false;
    std::thread job([&] {
        dialog.waitUntilShown();
        for (int i = 0; i < 500 && !dialog.cancelled(); ++i) {
            dialog.progress(i % 100, std::nullopt);
            std::this_thread::sleep_for(10ms);
        }
        sawCancel = dialog.cancelled();
        dialog.completed();
    });
    dialog.exec(platform::ProgressDialog::Layout::Plain);
    job.join();

    EXPECT_EQ(question, qtext(sid::CancelConfirm));
    EXPECT_TRUE(sawCancel);
    EXPECT_EQ(labelText(dialog, "mainText"), qtext(sid::Canceling));
    EXPECT_FALSE(dialog.findChild<QPushButton*>(QStringLiteral("cancel"))->isEnabled());
    EXPECT_EQ(lookupRowWhileShown, QStringLiteral("hidden"));
}

config::ReportDefinition report(std::string name, std::string path) {
    config::ReportDefinition def;
    def.Name = std::move(name);
    def.Path = std::move(path);
    return def;
}

// "beta" (lookups), "Alpha" (a filter and a tree root), "gamma", stored in that order, with
// the last generated row being the third of the sorted list.
void storeList(platform::MemorySettings& settings) {
    config::ReportDefinition beta = report("beta", "/logs/b/");
    beta.EnableDNS = 1;
    config::ReportDefinition alpha = report("Alpha", "/logs/a.log");
    alpha.filters.push_back({});
    alpha.Root = "/srv/www/index.html";
    config::saveReportList(settings, {beta, alpha, report("gamma", "/logs/g*")});
    config::saveLastSelection(settings, 2);
}

QStringList row(QTableWidget* table, int r) {
    QStringList cells;
    for (int c = 0; c < table->columnCount(); ++c) cells << table->item(r, c)->text();
    return cells;
}

void click(QDialog& dialog, const char* button) {
    dialog.findChild<QPushButton*>(QString::fromUtf8(button))->click();
}

std::vector<std::string> storedNames(const platform::SettingsProfile& settings) {
    std::vector<std::string> names;
    for (const auto& def : config::loadReportList(settings)) names.push_back(def.Name);
    return names;
}

TEST(HelpWindow, TopicsOpenTheirPageInOneWindow) {
    QtPrompter prompter(nullptr);
    prompter.openHelp(11001);  // no folder: nothing to show, and no window
    EXPECT_EQ(HelpWindow::current(), nullptr);

    prompter.setHelpFolder(QStringLiteral(TALLYWEB_DATA_DIR "/help"));
    prompter.openHelp(11001);
    HelpWindow* window = HelpWindow::current();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isModal());
    EXPECT_EQ(window->browser()->source().fileName(), "reports.html");
    EXPECT_EQ(window->browser()->source().fragment(), "general");
    EXPECT_TRUE(window->browser()->toPlainText().contains("General Statistics"));

    prompter.openHelp(platform::help::FilterKind + 2);
    EXPECT_EQ(HelpWindow::current(), window) << "one window, showing the new topic";
    EXPECT_EQ(window->browser()->source().fileName(), "filters.html");
    EXPECT_EQ(window->browser()->source().fragment(), "date");
    EXPECT_TRUE(window->browser()->isBackwardAvailable());
    window->browser()->backward();
    EXPECT_EQ(window->browser()->source().fileName(), "reports.html");

    prompter.openHelp(platform::help::CommandLine);
    EXPECT_TRUE(window->browser()->toPlainText().contains("--rejected"));
    window->close();
    QApplication::processEvents();
}

TEST(ReportListDialog, ShowsTheListAndGeneratesTheSelection) {
    platform::MemorySettings settings;
    storeList(settings);
    test::FakePrompter prompter;
    ReportListDialog dialog(settings, prompter, std::nullopt);
    dialog.show();
    auto* table = dialog.findChild<QTableWidget*>(QStringLiteral("reports"));

    QStringList headings;
    for (int c = 0; c < table->columnCount(); ++c)
        headings << table->horizontalHeaderItem(c)->text();
    EXPECT_EQ(headings, (QStringList{"Report Name", "Log Files", "Has Filters", "Reverse DNS",
                                     "Path Analysis"}));
    ASSERT_EQ(table->rowCount(), 3);
    EXPECT_EQ(row(table, 0), (QStringList{"Alpha", "/logs/a.log", "Yes", "No", "Yes"}));
    EXPECT_EQ(row(table, 1), (QStringList{"beta", "/logs/b/", "No", "Yes", "No"}));
    ASSERT_EQ(table->selectedItems().size(), 5);
    EXPECT_EQ(table->selectedItems().front()->row(), 2);

    table->clearSelection();
    click(dialog, "generate");
    EXPECT_EQ(prompter.texts(),
              std::vector<std::string>{std::string(platform::text(sid::NoReportSelected))});
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.chosen().has_value());

    table->selectRow(1);
    click(dialog, "generate");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    ASSERT_TRUE(dialog.chosen().has_value());
    EXPECT_EQ(dialog.chosen()->Name, "beta");
    EXPECT_EQ(dialog.chosen()->EnableDNS, 1);
    EXPECT_EQ(storedNames(settings), (std::vector<std::string>{"Alpha", "beta", "gamma"}));
    EXPECT_EQ(config::loadLastSelection(settings), 1);
}

TEST(ReportListDialog, ALongLogPathStaysReadable) {
    platform::MemorySettings settings;
    config::ReportDefinition def;
    def.Name = "Long";
    def.Path = "/srv/www/a-rather-long-site-name.example.org/logs/archive/2026/access_log.*";
    def.File = 2;
    config::saveReportList(settings, {def});
    test::FakePrompter prompter;
    ReportListDialog dialog(settings, prompter, std::nullopt);
    dialog.show();
    QApplication::processEvents();
    auto* table = dialog.findChild<QTableWidget*>(QStringLiteral("reports"));
    ASSERT_EQ(table->rowCount(), 1);
    const QString path = QString::fromStdString(def.Path);
    EXPECT_EQ(table->item(0, 1)->text(), path);
    EXPECT_EQ(table->item(0, 1)->toolTip(), path);
    EXPECT_EQ(table->textElideMode(), Qt::ElideMiddle);
    // The path column gets the width the others leave, more than any of them.
    const int pathWidth = table->columnWidth(1);
    for (int c = 0; c < table->columnCount(); ++c) {
        if (c != 1) {
            EXPECT_GT(pathWidth, table->columnWidth(c)) << c;
        }
    }
    EXPECT_GE(pathWidth, 250);
}

TEST(ReportListDialog, CopyDeleteAndCancelWithChanges) {
    platform::MemorySettings settings;
    storeList(settings);
    test::FakePrompter prompter;
    ReportListDialog dialog(settings, prompter, std::nullopt);
    dialog.show();
    auto* table = dialog.findChild<QTableWidget*>(QStringLiteral("reports"));

    table->selectRow(1);
    click(dialog, "copy");
    ASSERT_EQ(table->rowCount(), 4);
    EXPECT_EQ(table->item(table->selectedItems().front()->row(), 0)->text(), "Copy of beta");
    table->selectRow(0);
    click(dialog, "delete");
    ASSERT_EQ(table->rowCount(), 3);
    EXPECT_EQ(table->item(0, 0)->text(), "beta");

    prompter.queueAnswer(Answer::Cancel);
    click(dialog, "cancel");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(prompter.texts().back(), platform::text(sid::SaveReportListQuestion));
    click(dialog, "cancel");  // answered Yes: saved and closed
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(dialog.chosen().has_value());
    EXPECT_EQ(storedNames(settings), (std::vector<std::string>{"beta", "Copy of beta", "gamma"}));
}

TEST(ReportListDialog, RequestedReportIsGeneratedWithoutAClick) {
    platform::MemorySettings settings;
    storeList(settings);
    test::FakePrompter prompter;
    {
        ReportListDialog dialog(settings, prompter, std::string("GAMMA"));
        QTimer::singleShot(5000, &dialog, &QDialog::reject);  // a failure must not hang
        EXPECT_EQ(dialog.exec(), QDialog::Accepted);
        ASSERT_TRUE(dialog.chosen().has_value());
        EXPECT_EQ(dialog.chosen()->Name, "gamma");
        EXPECT_FALSE(dialog.requestMissed());
        EXPECT_TRUE(prompter.texts().empty());
    }
    {
        ReportListDialog dialog(settings, prompter, std::string("delta"));
        bool stayed = false;
        QTimer::singleShot(300, &dialog, [&] {
            stayed = dialog.isVisible();
            dialog.reject();
        });
        EXPECT_EQ(dialog.exec(), QDialog::Rejected);
        EXPECT_TRUE(stayed);
        EXPECT_TRUE(dialog.requestMissed());
        EXPECT_EQ(prompter.texts(),
                  std::vector<std::string>{std::string(platform::text(sid::AutoReportNotFound))});
    }
}

config::ReportDefinition everyField() {
    config::ReportDefinition def;
    def.Local = 1;
    def.File = 0;
    def.Path = "/var/log/site";
    def.trackFiles = {"/a.html", "downloads/*"};
    def.Domain = "example.com";
    def.DefaultPage = "index.htm";
    def.EnableDNS = 1;
    def.Name = "Site";
    def.Sitename = "ftp.example.com";
    def.Username = "ann";
    def.Password = "pw";
    def.Internet = 1;
    def.Root = "http://example.com/start.html";
    def.RecursionDepth = 7;
    def.PasswordProtected = 1;
    def.exportSettings = {2, "/tmp/out", 0, "up", "load"};
    def.Export = 1;
    def.ApacheTwoFileFormat = 1;
    def.filters.push_back({});
    return def;
}

void pressOk(ReportWizard& editor) {
    editor.button(QWizard::FinishButton)->click();
}

TEST(ReportEditor, OkChecksThePagesAndReturnsEveryField) {
    test::FakePrompter prompter;
    config::ReportDefinition initial = everyField();
    initial.Domain.clear();
    ReportWizard editor(initial, ReportWizard::Mode::Editor, prompter);
    editor.show();
    EXPECT_EQ(editor.windowTitle(), "Tallyweb Report Editor");

    pressOk(editor);
    EXPECT_TRUE(editor.isVisible());
    EXPECT_NE(editor.result(), QDialog::Accepted);
    EXPECT_EQ(prompter.texts(),
              std::vector<std::string>{std::string(platform::text(sid::NeedDomain))});
    auto* domain = qobject_cast<QLineEdit*>(editor.focusWidget());
    ASSERT_NE(domain, nullptr);
    EXPECT_EQ(domain->objectName(), "domain");
    EXPECT_TRUE(domain->isVisible());  // its tab was brought forward
    QTest::keyClicks(domain, "example.com");

    pressOk(editor);
    EXPECT_EQ(editor.result(), QDialog::Accepted);
    config::ReportDefinition expected = everyField();
    expected.Path = "/var/log/site/";  // the checks' tidying
    expected.trackFiles[1] = "/downloads/*";
    EXPECT_EQ(editor.definition(), expected);
}

}  // namespace
}  // namespace tw::ui
