// The report wizard driven through its buttons and fields: a report made page by page from the
// Report List, every page's refusal, and which source pages each mode uses.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "config/report_store.h"
#include "document/document.h"
#include "export/export_run.h"
#include "platform/settings.h"
#include "platform/strings.h"
#include "support/fakes.h"
#include "support/local_document.h"
#include "support/local_servers.h"
#include "transfer/curl_transfer.h"
#include "transfer/log_retrieval.h"
#include "ui/export_wizard.h"
#include "ui/filter_wizard.h"
#include "ui/report_list_dialog.h"
#include "ui/report_wizard.h"
#include "widget_lookup.h"

namespace tw::ui {
namespace {

namespace fs = std::filesystem;
namespace sid = platform::sid;
using config::ReportDefinition;

// Runs `act` on the first modal widget that `matches`, once it is up in its own event loop, and
// closes it if `act` did not, so that a failing test cannot wait on it forever.
void whenModal(std::function<bool(QWidget*)> matches, std::function<void(QWidget&)> act,
               int tries = 200) {
    QTimer::singleShot(10, [matches = std::move(matches), act = std::move(act), tries]() mutable {
        QWidget* w = QApplication::activeModalWidget();
        if (w == nullptr || !matches(w)) {
            if (tries > 0) whenModal(std::move(matches), std::move(act), tries - 1);
            return;
        }
        act(*w);
        if (w->isVisible()) {
            ADD_FAILURE() << "the dialog " << w->objectName().toStdString() << " was left open";
            if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
        }
    });
}

template <typename T>
void whenOpen(std::function<void(T&)> act) {
    whenModal([](QWidget* w) { return qobject_cast<T*>(w) != nullptr; },
              [act = std::move(act)](QWidget& w) { act(*qobject_cast<T*>(&w)); });
}

void whenNamed(const char* name, std::function<void(QWidget&)> act) {
    whenModal([name](QWidget* w) { return w->objectName() == name; }, std::move(act));
}

void next(ReportWizard& w) {
    w.button(QWizard::NextButton)->click();
}

void addTracked(ReportWizard& w, const char* entry) {
    whenNamed("trackedEntryDialog", [entry](QWidget& d) {
        child<QLineEdit>(d, "trackedEntry")->setText(entry);
        d.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    child<QPushButton>(w, "addTracked")->click();
}

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Add, page by page, as a new user would: a folder of logs picked with Browse, two tracked files,
// an include filter made in the filter wizard, and an automatic HTML export chosen through the
// export wizard. The list stores exactly that definition, and generating it writes the export.
TEST(ReportWizard, AReportAddedPageByPageIsStoredAndItsRunExports) {
    setenv("TZ", "UTC", 1);
    tzset();
    test::ScratchDir dir;
    const fs::path logs = dir.path() / "logs";
    fs::create_directories(logs);
    const auto line = [](const char* page, int minute) {
        return "192.0.2.1 - - [10/Oct/2020:10:" + std::to_string(10 + minute) +
               ":00 +0000] \"GET " + page + " HTTP/1.0\" 200 100\n";
    };
    std::ofstream(logs / "access.log") << line("/a.html", 0) << line("/c.html", 1);
    std::ofstream(logs / "access.log.1") << line("/a.html", 2) << line("/b/x.pdf", 3);
    const fs::path out = dir.path() / "site.html";

    platform::MemorySettings settings;
    test::FakePrompter prompter;
    ReportListDialog list(settings, prompter, std::nullopt);
    list.show();
    bool finished = false;
    whenOpen<ReportWizard>([&](ReportWizard& w) {
        EXPECT_EQ(w.windowTitle(), "Tallyweb Report Wizard");
        EXPECT_EQ(w.currentId(), ReportWizard::kSourcePage);
        EXPECT_TRUE(child<QRadioButton>(w, "sourceLocal")->isChecked());
        next(w);
        EXPECT_EQ(w.currentId(), ReportWizard::kApachePage);
        next(w);
        ASSERT_EQ(w.currentId(), ReportWizard::kLocalPage);
        QString askedFrom = "unset";
        w.setFolderPicker([&](QWidget*, const QString& start) {
            askedFrom = start;
            return QString::fromStdString(logs.string());
        });
        child<QRadioButton>(w, "localWildcardChoice")->click();
        child<QPushButton>(w, "browseDirectory")->click();
        EXPECT_EQ(askedFrom, "");
        EXPECT_TRUE(child<QRadioButton>(w, "localDirectoryChoice")->isChecked());
        next(w);
        // Leaving the page shows the path as it is stored.
        EXPECT_EQ(child<QLineEdit>(w, "localDirectory")->text().toStdString(),
                  logs.string() + "/");
        ASSERT_EQ(w.currentId(), ReportWizard::kTrackedPage) << "the FTP and HTTP pages are skipped";

        addTracked(w, "a.html");
        addTracked(w, "/b/*");
        ASSERT_EQ(child<QListWidget>(w, "trackedFiles")->count(), 2);
        EXPECT_EQ(child<QListWidget>(w, "trackedFiles")->item(0)->text(), "/a.html");
        next(w);

        ASSERT_EQ(w.currentId(), ReportWizard::kFiltersPage);
        whenOpen<FilterWizard>([](FilterWizard& f) {
            child<QRadioButton>(f, "include")->click();
            child<QListWidget>(f, "kinds")->setCurrentRow(config::kFilterFileName);
            f.button(QWizard::NextButton)->click();
            child<QLineEdit>(f, "fileText")->setText("/a.html");
            f.button(QWizard::FinishButton)->click();
        });
        child<QPushButton>(w, "addFilter")->click();
        auto* filters = child<QListWidget>(w, "reportFilters");
        ASSERT_EQ(filters->count(), 1);
        EXPECT_EQ(filters->item(0)->text().toStdString(), "Include files matching '/a.html'");
        next(w);

        ASSERT_EQ(w.currentId(), ReportWizard::kDomainPage);
        child<QLineEdit>(w, "domain")->setText("www.example.com");
        child<QLineEdit>(w, "defaultPage")->setText("index.html");
        next(w);
        next(w);  // reverse DNS stays off
        ASSERT_EQ(w.currentId(), ReportWizard::kTreePage);
        next(w);  // an empty root: no tree

        ASSERT_EQ(w.currentId(), ReportWizard::kExportPage);
        child<QCheckBox>(w, "exportAutomatically")->click();
        w.setDestinationPicker([&](QWidget*, const config::ExportSettings&,
                                   const DestinationFormat& format) {
            EXPECT_EQ(format.defaultExtension, "html");
            return config::ExportSettings{exporter::kHtml, out.string(), exporter::kLocalFile, "",
                                          ""};
        });
        whenOpen<ExportWizard>([](ExportWizard& e) {
            EXPECT_EQ(e.mode(), ExportWizard::Mode::Settings);
            static_cast<ExportTypePage*>(e.page(ExportWizard::kTypePage))
                ->choice(exporter::kHtml)
                ->click();
            e.next();
            static_cast<ExportLocationPage*>(e.currentPage())->locationButton()->click();
            e.button(QWizard::FinishButton)->click();
        });
        child<QPushButton>(w, "exportOptions")->click();
        EXPECT_TRUE(child<QLabel>(w, "exportSummary")
                        ->text()
                        .contains(QString::fromStdString(out.string())));
        next(w);

        ASSERT_EQ(w.currentId(), ReportWizard::kNamePage);
        child<QLineEdit>(w, "name")->setText("Site A");
        w.button(QWizard::FinishButton)->click();
        finished = true;
    });
    child<QPushButton>(list, "add")->click();
    ASSERT_TRUE(finished);
    EXPECT_TRUE(prompter.events().empty()) << ::testing::PrintToString(prompter.texts());
    child<QPushButton>(list, "generate")->click();

    ReportDefinition expected;
    expected.Local = 1;
    expected.File = 0;
    expected.Path = logs.string() + "/";
    expected.trackFiles = {"/a.html", "/b/*"};
    expected.filters = {{.Include = 0, .Information = config::kFilterFileName,
                         .strFilter = "/a.html"}};
    expected.Domain = "www.example.com";
    expected.DefaultPage = "index.html";
    expected.Name = "Site A";
    expected.Export = 1;
    expected.exportSettings = {exporter::kHtml, out.string(), exporter::kLocalFile, "", ""};
    const std::vector<ReportDefinition> stored = config::loadReportList(settings);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0], expected);
    ASSERT_TRUE(list.chosen().has_value());
    EXPECT_EQ(*list.chosen(), expected);

    // The run: the filter keeps the two requests for /a.html, and the export shows no
    // completion question because nobody asked for it.
    test::LocalDocumentParts parts;
    parts.settings.setDataFolder(dir.path().string());
    transfer::CurlTransfer transfer;
    exporter::AutomaticExport automatic(parts.settings, parts.clock,
                                        {parts.prompter, transfer, {}});
    // The program's own sources, which read a folder as every log file in it.
    transfer::RemoteLogSources sources(transfer, parts.progress, parts.prompter, parts.clock,
                                       (dir.path() / "downloads").string());
    document::Document doc({parts.settings, parts.prompter, parts.progress, parts.clock,
                            parts.files, sources, parts.measure, parts.spider, parts.resolver,
                            &automatic});
    ASSERT_TRUE(doc.generate(stored[0], ingest::RunMode::Interactive))
        << ::testing::PrintToString(parts.prompter.texts());
    EXPECT_EQ(doc.lastAutoExport(), document::AutoExport::Done);
    const std::string html = slurp(out);
    EXPECT_NE(html.find("/a.html"), std::string::npos);
    EXPECT_EQ(html.find("/c.html"), std::string::npos);
    for (const auto& e : parts.prompter.events()) {
        EXPECT_NE(e.kind, test::FakePrompter::Kind::YesNo) << e.text;
        EXPECT_NE(e.kind, test::FakePrompter::Kind::YesNoCancel) << e.text;
    }
}

// A definition every page accepts, for the source `local`.
ReportDefinition acceptable(int local) {
    ReportDefinition d;
    d.Local = local;
    d.File = 0;
    d.Path = local == 2 ? "http://example.com/logs/access.log" : "/logs/";
    d.Sitename = "ftp.example.com";
    d.Username = "ann";
    d.Password = "secret";
    d.Domain = "example.com";
    d.DefaultPage = "index.html";
    d.Name = "Site";
    return d;
}

// Next on each page with each of its faults: the page stays, its message is shown and the
// field at fault has the focus; after the fault is mended, Next goes on.
TEST(ReportWizard, EveryRefusedPageSaysWhyAndKeepsTheFieldAtFault) {
    test::ScratchDir dir;
    const std::string page = dir.write("root.html", "<a href=x.html>x</a>").string();
    struct Case {
        int local;
        int page;
        std::function<void(ReportWizard&)> spoil;
        std::string message;
        const char* focus;
        std::function<void(ReportWizard&)> mend;
    };
    const auto text = [](int id) { return std::string(platform::text(id)); };
    const auto set = [](const char* name, const char* value) {
        return [=](ReportWizard& w) { child<QLineEdit>(w, name)->setText(value); };
    };
    const auto choose = [](const char* name) {
        return [=](ReportWizard& w) { child<QRadioButton>(w, name)->click(); };
    };
    const auto both = [](std::function<void(ReportWizard&)> a,
                         std::function<void(ReportWizard&)> b) {
        return [=](ReportWizard& w) {
            a(w);
            b(w);
        };
    };
    const std::vector<Case> cases{
        {1, ReportWizard::kLocalPage, set("localDirectory", ""), text(sid::NeedLogDirectory),
         "localDirectory", set("localDirectory", "/logs")},
        {1, ReportWizard::kLocalPage, choose("localFileChoice"), text(sid::NeedLogFile),
         "localFile", set("localFile", "/logs/access.log")},
        {1, ReportWizard::kLocalPage, choose("localWildcardChoice"), text(sid::NeedWildcard),
         "localWildcard", set("localWildcard", "/logs/access*")},
        {0, ReportWizard::kFtpLocationPage, set("ftpDirectory", ""),
         text(sid::NeedLogDirectory), "ftpDirectory", set("ftpDirectory", "logs")},
        {0, ReportWizard::kFtpLoginPage, set("ftpSite", ""), text(sid::NeedFtpSite), "ftpSite",
         set("ftpSite", "ftp.example.com")},
        {0, ReportWizard::kFtpLoginPage, set("ftpUser", ""), text(sid::NeedFtpUsername),
         "ftpUser", set("ftpUser", "ann")},
        // Only an anonymous login may go without a password, in any case of the name.
        {0, ReportWizard::kFtpLoginPage, set("ftpPassword", ""), text(sid::NeedPassword),
         "ftpPassword", set("ftpUser", "AnonYmous")},
        {2, ReportWizard::kHttpPage, set("httpUrl", ""), text(sid::NeedLogLocation), "httpUrl",
         set("httpUrl", "https://example.com/log")},
        {2, ReportWizard::kHttpPage, set("httpUrl", "ftp://example.com/log"),
         text(sid::InvalidLogUrl), "httpUrl", set("httpUrl", "http://example.com/log")},
        {2, ReportWizard::kHttpPage,
         both([](ReportWizard& w) { child<QCheckBox>(w, "httpProtected")->click(); },
              set("httpUser", "")),
         text(sid::NeedUsername), "httpUser", set("httpUser", "ann")},
        {1, ReportWizard::kDomainPage, set("domain", ""), text(sid::NeedDomain), "domain",
         set("domain", "example.com")},
        {1, ReportWizard::kDomainPage, set("defaultPage", ""), text(sid::NeedDefaultPage),
         "defaultPage", set("defaultPage", "index.html")},
        {1, ReportWizard::kTreePage,
         both(set("rootFile", "/no/such/page.html"),
              [](ReportWizard& w) { child<QSpinBox>(w, "depth")->setValue(0); }),
         text(sid::ZeroTreeDepth), "depth",
         both(set("rootFile", page.c_str()),
              [](ReportWizard& w) { child<QSpinBox>(w, "depth")->setValue(2); })},
        {1, ReportWizard::kTreePage, set("rootFile", "/no/such/page.html"),
         text(sid::RootMissing), "rootFile", set("rootFile", page.c_str())},
        {1, ReportWizard::kTreePage,
         both(choose("rootUrlChoice"), set("rootUrl", "example.com/index.html")),
         text(sid::InvalidRootUrl), "rootUrl", set("rootUrl", "http://example.com/index.html")},
        {1, ReportWizard::kTreePage,
         both(choose("rootUrlChoice"), set("rootUrl", "http://example.com/")),
         text(sid::RootNotAPage), "rootUrl", set("rootUrl", "")},
        {1, ReportWizard::kExportPage,
         [](ReportWizard& w) { child<QCheckBox>(w, "exportAutomatically")->click(); },
         std::string(platform::txt::NoExportLocation), "exportOptions",
         [](ReportWizard& w) { child<QCheckBox>(w, "exportAutomatically")->click(); }},
        {1, ReportWizard::kNamePage, set("name", ""), text(sid::NeedReportName), "name",
         set("name", "Site")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        test::FakePrompter prompter;
        ReportWizard w(acceptable(c.local), ReportWizard::Mode::Wizard, prompter);
        w.show();
        while (w.currentId() != c.page && w.currentId() != -1) {
            const int before = w.currentId();
            next(w);
            ASSERT_NE(w.currentId(), before) << "a sound page was refused";
        }
        ASSERT_EQ(w.currentId(), c.page);
        c.spoil(w);
        QAbstractButton* onward =
            c.page == ReportWizard::kNamePage ? w.button(QWizard::FinishButton)
                                              : w.button(QWizard::NextButton);
        onward->click();
        EXPECT_EQ(w.currentId(), c.page);
        EXPECT_TRUE(w.isVisible());
        EXPECT_EQ(prompter.texts(), std::vector<std::string>{c.message});
        ASSERT_NE(w.focusWidget(), nullptr);
        EXPECT_EQ(w.focusWidget()->objectName().toStdString(), c.focus);

        c.mend(w);
        prompter.clear();
        onward->click();
        EXPECT_TRUE(prompter.events().empty()) << ::testing::PrintToString(prompter.texts());
        if (c.page == ReportWizard::kNamePage)
            EXPECT_EQ(w.result(), QDialog::Accepted);
        else
            EXPECT_NE(w.currentId(), c.page);
    }

    // The tracked-file dialog refuses an empty entry and stays open.
    test::FakePrompter prompter;
    ReportWizard w(acceptable(1), ReportWizard::Mode::Wizard, prompter);
    w.show();
    while (w.currentId() != ReportWizard::kTrackedPage) next(w);
    bool stayed = false;
    whenNamed("trackedEntryDialog", [&](QWidget& d) {
        d.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        stayed = d.isVisible();
        d.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
    });
    child<QPushButton>(w, "addTracked")->click();
    EXPECT_TRUE(stayed);
    EXPECT_EQ(prompter.texts(), std::vector<std::string>{text(sid::NeedTrackedEntry)});
    EXPECT_EQ(child<QListWidget>(w, "trackedFiles")->count(), 0);

    // Help opens the topic of the page in front.
    prompter.clear();
    w.button(QWizard::HelpButton)->click();
    ASSERT_EQ(prompter.events().size(), 1u);
    EXPECT_EQ(prompter.events()[0].kind, test::FakePrompter::Kind::Help);
    EXPECT_EQ(prompter.events()[0].help, platform::help::ReportWizardTracking);
}

// The wizard steps past the pages of the other sources; the editor disables their tabs, follows
// a change of source at once, and checks a tab when the user leaves it.
TEST(ReportWizard, OnlyThePagesOfTheChosenSourceAreUsed) {
    const auto visited = [](int local) {
        test::FakePrompter prompter;
        ReportWizard w(acceptable(local), ReportWizard::Mode::Wizard, prompter);
        w.show();
        std::vector<int> pages{w.currentId()};
        while (w.currentId() != ReportWizard::kNamePage) {
            next(w);
            pages.push_back(w.currentId());
        }
        EXPECT_EQ(w.definition().Local, local);
        return pages;
    };
    using W = ReportWizard;
    const std::vector<int> rest{W::kTrackedPage, W::kFiltersPage, W::kDomainPage, W::kDnsPage,
                                W::kTreePage,    W::kExportPage,  W::kNamePage};
    const auto with = [&rest](std::vector<int> start) {
        start.insert(start.end(), rest.begin(), rest.end());
        return start;
    };
    EXPECT_EQ(visited(1), with({W::kSourcePage, W::kApachePage, W::kLocalPage}));
    EXPECT_EQ(visited(0),
              with({W::kSourcePage, W::kApachePage, W::kFtpLocationPage, W::kFtpLoginPage}));
    EXPECT_EQ(visited(2), with({W::kSourcePage, W::kApachePage, W::kHttpPage}));

    test::FakePrompter prompter;
    ReportDefinition def = acceptable(1);
    def.Domain.clear();
    ReportWizard editor(def, ReportWizard::Mode::Editor, prompter);
    editor.show();
    QTabWidget* tabs = editor.tabs();
    ASSERT_NE(tabs, nullptr);
    ASSERT_EQ(tabs->count(), W::kPageCount);
    const auto enabled = [tabs] {
        return std::vector<bool>{tabs->isTabEnabled(W::kLocalPage),
                                 tabs->isTabEnabled(W::kFtpLocationPage),
                                 tabs->isTabEnabled(W::kFtpLoginPage),
                                 tabs->isTabEnabled(W::kHttpPage)};
    };
    EXPECT_EQ(enabled(), (std::vector<bool>{true, false, false, false}));
    child<QRadioButton>(editor, "sourceHttp")->click();
    EXPECT_EQ(enabled(), (std::vector<bool>{false, false, false, true}));
    child<QRadioButton>(editor, "sourceFtp")->click();
    EXPECT_EQ(enabled(), (std::vector<bool>{false, true, true, false}));

    // Leaving the source tab takes the new source; leaving the site tab with no domain is
    // refused and the site tab comes back.
    tabs->setCurrentIndex(W::kDomainPage);
    EXPECT_EQ(editor.definition().Local, 0);
    EXPECT_TRUE(prompter.events().empty());
    tabs->setCurrentIndex(W::kNamePage);
    EXPECT_EQ(tabs->currentIndex(), W::kDomainPage);
    EXPECT_EQ(prompter.texts(), std::vector<std::string>{std::string(platform::text(sid::NeedDomain))});
    EXPECT_EQ(editor.focusWidget(), child<QLineEdit>(editor, "domain"));

    // OK checks the FTP pages too, though the user never opened them: their fields are empty
    // because the stored path belongs to the local source.
    child<QLineEdit>(editor, "domain")->setText("example.com");
    prompter.clear();
    editor.button(QWizard::FinishButton)->click();
    EXPECT_EQ(tabs->currentIndex(), W::kFtpLocationPage);
    EXPECT_EQ(prompter.texts(),
              std::vector<std::string>{std::string(platform::text(sid::NeedLogDirectory))});
    EXPECT_NE(editor.result(), QDialog::Accepted);
}

}  // namespace
}  // namespace tw::ui
