// The export wizard and the destination dialog, driven through their widgets; the messages
// go to a recording prompter, the file and folder pickers are replaced by scripted answers.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>

#include "config/run_settings.h"
#include "document/document.h"
#include "export/export_run.h"
#include "modal_driver.h"
#include "platform/strings.h"
#include "support/fakes.h"
#include "support/local_document.h"
#include "support/local_servers.h"
#include "support/scripted_resolver.h"
#include "transfer/curl_transfer.h"
#include "ui/destination_dialog.h"
#include "ui/export_wizard.h"
#include "ui/main_window.h"

// Failures show the text rather than the bytes of the string object.
static void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace tw::config {
static void PrintTo(const ExportSettings& s, std::ostream* os) {
    *os << "{type " << s.ExportExportType << ", \"" << s.ExportLocation << "\", service "
        << s.ExportServiceType << ", user \"" << s.ExportUsername << "\", graphs "
        << s.ExportGraphs << "}";
}
}  // namespace tw::config

namespace tw::ui {
namespace {

namespace fs = std::filesystem;
using platform::Answer;

constexpr const char* kNeedLocation =
    "You must specify a location to save the report at. Click the Location button.";
constexpr const char* kNeedLogin =
    "When logging into a FTP site, you must specify a username and password.";
constexpr const char* kOfferToCreate =
    "The specified directory does not exist.\n\nWould you like Tallyweb to create the directory?";

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Shows the wizard and moves from the first page to the page of `exportType`.
void toFormatPage(ExportWizard& wizard, int exportType) {
    wizard.show();
    auto* first = static_cast<ExportTypePage*>(wizard.page(ExportWizard::kTypePage));
    first->choice(exportType)->click();
    wizard.next();
}

void finish(ExportWizard& wizard) {
    wizard.button(QWizard::FinishButton)->click();
}

TEST(ExportWizard, EachFormatLeadsToItsPageAndThePresetDependsOnTheMode) {
    test::FakePrompter prompter;
    struct Case {
        int type;
        int page;
        QString title;
    };
    const Case cases[] = {
        {exporter::kHtml, ExportWizard::kHtmlPage, "HTML Format"},
        {exporter::kWord, ExportWizard::kWordPage, "Microsoft Word Format"},
        {exporter::kCommaDelimited, ExportWizard::kCsvPage, "Comma-Delimited File Format"}};
    std::vector<int> helpAsked;
    for (const Case& c : cases) {
        ExportWizard wizard(prompter, ExportWizard::Mode::Export);
        toFormatPage(wizard, c.type);
        EXPECT_EQ(wizard.currentId(), c.page) << c.type;
        EXPECT_EQ(wizard.currentPage()->title(), c.title);
        EXPECT_TRUE(wizard.button(QWizard::FinishButton)->isVisible()) << c.type;
        wizard.button(QWizard::HelpButton)->click();
        wizard.back();
        EXPECT_EQ(wizard.currentPage()->title(), "Export Reports");
        wizard.button(QWizard::HelpButton)->click();
    }
    for (const auto& e : prompter.events())
        if (e.kind == test::FakePrompter::Kind::Help) helpAsked.push_back(e.help);
    namespace help = platform::help;
    EXPECT_EQ(helpAsked,
              (std::vector<int>{help::ExportHtml, help::ExportFormat, help::ExportWord,
                                help::ExportFormat, help::ExportCsv, help::ExportFormat}));
    prompter.clear();

    // The export command always starts from HTML to a local file; a definition's settings
    // start as they were stored.
    config::ExportSettings stored;
    stored.ExportExportType = exporter::kCommaDelimited;
    stored.ExportServiceType = exporter::kFtpUpload;
    {
        ExportWizard wizard(prompter, ExportWizard::Mode::Export, stored);
        wizard.show();
        auto* first = static_cast<ExportTypePage*>(wizard.page(ExportWizard::kTypePage));
        EXPECT_TRUE(first->choice(exporter::kHtml)->isChecked());
        EXPECT_EQ(wizard.settings().ExportServiceType, exporter::kLocalFile);
        EXPECT_EQ(wizard.windowTitle(), "Export");
    }
    {
        ExportWizard wizard(prompter, ExportWizard::Mode::Settings, stored);
        wizard.show();
        auto* first = static_cast<ExportTypePage*>(wizard.page(ExportWizard::kTypePage));
        EXPECT_TRUE(first->choice(exporter::kCommaDelimited)->isChecked());
        wizard.next();
        EXPECT_EQ(wizard.currentId(), ExportWizard::kCsvPage);
    }
    EXPECT_TRUE(prompter.events().empty());
}

// Pages 2 and 3: no location, no export; the destination picked becomes the settings.
TEST(ExportWizard, FilePagesNeedALocationFromTheDestinationDialog) {
    for (const int type : {exporter::kHtml, exporter::kWord}) {
        test::FakePrompter prompter;
        ExportWizard wizard(prompter, ExportWizard::Mode::Export);
        DestinationFormat asked;
        int asks = 0;
        config::ExportSettings answer;
        answer.ExportExportType = exporter::kCommaDelimited;  // not the dialog's to change
        answer.ExportLocation = "ftp://ftp.example.com/r.html";
        answer.ExportServiceType = exporter::kFtpUpload;
        answer.ExportUsername = "ann";
        answer.ExportPassword = "pw";
        std::optional<config::ExportSettings> next;  // cancelled first
        wizard.setDestinationPicker(
            [&](QWidget*, const config::ExportSettings& current, const DestinationFormat& f) {
                ++asks;
                asked = f;
                EXPECT_EQ(current.ExportExportType, type);
                return next;
            });
        toFormatPage(wizard, type);
        auto* page = static_cast<ExportLocationPage*>(wizard.currentPage());

        finish(wizard);
        EXPECT_EQ(prompter.texts(), std::vector<std::string>{kNeedLocation}) << type;
        EXPECT_TRUE(wizard.isVisible());
        EXPECT_EQ(wizard.currentPage(), page);
        EXPECT_EQ(wizard.focusWidget(), page->locationField());

        page->locationButton()->click();
        EXPECT_EQ(asks, 1);
        EXPECT_TRUE(page->locationField()->text().isEmpty())
            << "a cancelled dialog changes nothing";
        EXPECT_EQ(asked.defaultExtension, type == exporter::kWord ? "docx" : "html");
        EXPECT_EQ(asked.filter,
                  type == exporter::kWord ? "Word Document (*.docx)" : "HTML Files (*.html *.htm)");
        next = answer;
        page->locationButton()->click();
        EXPECT_EQ(page->locationField()->text(), "ftp://ftp.example.com/r.html");

        prompter.clear();
        finish(wizard);
        EXPECT_TRUE(prompter.events().empty());
        EXPECT_FALSE(wizard.isVisible());
        EXPECT_EQ(wizard.result(), QDialog::Accepted);
        config::ExportSettings expected = answer;
        expected.ExportExportType = type;
        EXPECT_EQ(wizard.settings(), expected);
    }
}

// The HTML page's "Include graphs" starts from the settings and is what the export reads; the
// Word page has no such box.
TEST(ExportWizard, IncludeGraphsOnTheHtmlPageSetsTheExportSetting) {
    test::FakePrompter prompter;
    config::ExportSettings stored;
    stored.ExportGraphs = 1;
    ExportWizard wizard(prompter, ExportWizard::Mode::Settings, stored);
    wizard.setDestinationPicker(
        [](QWidget*, const config::ExportSettings& current, const DestinationFormat&) {
            config::ExportSettings chosen = current;
            chosen.ExportLocation = "/tmp/report.html";
            chosen.ExportServiceType = exporter::kLocalFile;
            return std::optional<config::ExportSettings>(chosen);
        });
    toFormatPage(wizard, exporter::kHtml);
    auto* page = static_cast<ExportLocationPage*>(wizard.currentPage());
    auto* box = page->findChild<QCheckBox*>("includeGraphs");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box, page->includeGraphsBox());
    EXPECT_TRUE(box->isVisible());
    EXPECT_TRUE(box->isChecked()) << "initialised from the stored settings";
    box->click();
    EXPECT_EQ(wizard.settings().ExportGraphs, 0);
    box->click();
    EXPECT_EQ(wizard.settings().ExportGraphs, 1);
    page->locationButton()->click();
    EXPECT_TRUE(box->isChecked()) << "choosing the destination keeps the choice";
    finish(wizard);
    EXPECT_EQ(wizard.result(), QDialog::Accepted);
    EXPECT_EQ(wizard.settings().ExportGraphs, 1);
    EXPECT_EQ(wizard.settings().ExportLocation, "/tmp/report.html");

    ExportWizard fresh(prompter, ExportWizard::Mode::Export);
    toFormatPage(fresh, exporter::kHtml);
    auto* unchecked = fresh.currentPage()->findChild<QCheckBox*>("includeGraphs");
    ASSERT_NE(unchecked, nullptr);
    EXPECT_FALSE(unchecked->isChecked());
    EXPECT_EQ(fresh.page(ExportWizard::kWordPage)->findChild<QCheckBox*>("includeGraphs"),
              nullptr);
    EXPECT_TRUE(prompter.events().empty());
}

// Page 4: an empty directory is refused; a missing one is offered for creation.
TEST(ExportWizard, CommaDelimitedDirectoryIsCheckedAndCreatedOnRequest) {
    test::ScratchDir scratch;
    struct Case {
        std::optional<Answer> answer;  // to the create question; none: the directory exists
        bool finishes;
        bool created;
    };
    const Case cases[] = {{std::nullopt, true, true},
                          {Answer::Yes, true, true},
                          {Answer::No, true, false},
                          {Answer::Cancel, false, false}};
    int round = 0;
    for (const Case& c : cases) {
        const fs::path dir = scratch.path() / ("out" + std::to_string(++round)) / "csv";
        if (!c.answer) fs::create_directories(dir);
        test::FakePrompter prompter;
        ExportWizard wizard(prompter, ExportWizard::Mode::Export);
        toFormatPage(wizard, exporter::kCommaDelimited);
        auto* page = static_cast<ExportDirectoryPage*>(wizard.currentPage());

        finish(wizard);
        EXPECT_EQ(prompter.texts(), std::vector<std::string>{"You must specify a directory"});
        EXPECT_EQ(wizard.currentPage(), page);
        EXPECT_EQ(wizard.focusWidget(), page->directoryField());

        prompter.clear();
        QString start = "unset";
        wizard.setFolderPicker([&](QWidget*, const QString& from) {
            start = from;
            return QString::fromStdString(dir.string());
        });
        page->browseButton()->click();
        EXPECT_TRUE(start.isEmpty());
        EXPECT_EQ(page->directoryField()->text().toStdString(), dir.string());
        if (c.answer) prompter.queueAnswer(*c.answer);
        finish(wizard);
        if (c.answer) {
            ASSERT_EQ(prompter.events().size(), 1u);
            EXPECT_EQ(prompter.events()[0].kind, test::FakePrompter::Kind::YesNoCancel);
            EXPECT_EQ(prompter.events()[0].text, kOfferToCreate);
        } else {
            EXPECT_TRUE(prompter.events().empty());
        }
        EXPECT_EQ(!wizard.isVisible(), c.finishes) << round;
        EXPECT_EQ(fs::is_directory(dir), c.created) << round;
        if (c.finishes) {
            EXPECT_EQ(wizard.settings().ExportExportType, exporter::kCommaDelimited);
            EXPECT_EQ(wizard.settings().ExportServiceType, exporter::kLocalFile);
            EXPECT_EQ(wizard.settings().ExportLocation, dir.string());
        } else {
            EXPECT_EQ(wizard.currentPage(), page);
        }
    }

    // A directory that cannot be made (its parent is a file) says so with the path and stays.
    const fs::path blocked = scratch.write("plain-file", "x") / "csv";
    test::FakePrompter prompter;
    ExportWizard wizard(prompter, ExportWizard::Mode::Export);
    toFormatPage(wizard, exporter::kCommaDelimited);
    auto* page = static_cast<ExportDirectoryPage*>(wizard.currentPage());
    page->directoryField()->setText(QString::fromStdString(blocked.string()));
    prompter.queueAnswer(Answer::Yes);
    finish(wizard);
    EXPECT_EQ(
        prompter.texts(),
        (std::vector<std::string>{
            kOfferToCreate, "There was an error creating the directory:\n\t" + blocked.string() +
                                "\nThe disk may be full or write-protected."}));
    EXPECT_TRUE(wizard.isVisible());
    EXPECT_EQ(wizard.currentPage(), page);
}

TEST(DestinationDialog, FtpNeedsALoginAndGetsItsScheme) {
    test::FakePrompter prompter;
    config::ExportSettings current;
    current.ExportServiceType = exporter::kFtpUpload;
    current.ExportLocation = "ftp://old.example.com/a.html";
    DestinationDialog dialog(prompter, current, ExportWizard::formatFor(exporter::kHtml));
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Select Destination");
    EXPECT_TRUE(dialog.ftpChoice()->isChecked()) << "the current service type is FTP";
    EXPECT_EQ(dialog.ftpNameField()->text(), "ftp://old.example.com/a.html");
    EXPECT_EQ(dialog.passwordField()->echoMode(), QLineEdit::Password);
    EXPECT_FALSE(dialog.pathField()->isEnabled());

    dialog.ftpNameField()->setText("ftp.example.com/reports/site.html");
    dialog.passwordField()->setText("pw");
    dialog.accept();
    EXPECT_EQ(prompter.texts(), std::vector<std::string>{kNeedLogin});
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.focusWidget(), dialog.userField());

    prompter.clear();
    dialog.userField()->setText("ann");
    dialog.passwordField()->clear();
    dialog.accept();
    EXPECT_EQ(prompter.texts(), std::vector<std::string>{kNeedLogin});
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.focusWidget(), dialog.userField());

    prompter.clear();
    dialog.passwordField()->setText("pw");
    dialog.accept();
    EXPECT_TRUE(prompter.events().empty());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const config::ExportSettings got = dialog.settings();
    EXPECT_EQ(got.ExportLocation, "ftp://ftp.example.com/reports/site.html");
    EXPECT_EQ(got.ExportServiceType, exporter::kFtpUpload);
    EXPECT_EQ(got.ExportUsername, "ann");
    EXPECT_EQ(got.ExportPassword, "pw");
    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Help)->click();
    ASSERT_EQ(prompter.events().size(), 1u);
    EXPECT_EQ(prompter.events()[0].kind, test::FakePrompter::Kind::Help);
    EXPECT_EQ(prompter.events()[0].help, platform::help::ExportDestination);

    // More than 6 characters without a scheme get one; a scheme in any case and short names
    // stay as typed.
    EXPECT_EQ(withFtpScheme("abcdefg"), "ftp://abcdefg");
    EXPECT_EQ(withFtpScheme("abcdef"), "abcdef");
    EXPECT_EQ(withFtpScheme("FTP://host/r.html"), "FTP://host/r.html");
    EXPECT_EQ(withFtpScheme("host/ftp://x"), "ftp://host/ftp://x");
}

TEST(DestinationDialog, HardDriveTakesThePickedFile) {
    test::FakePrompter prompter;
    DestinationDialog dialog(prompter, {}, ExportWizard::formatFor(exporter::kWord));
    dialog.show();
    EXPECT_TRUE(dialog.hardDriveChoice()->isChecked());
    EXPECT_FALSE(dialog.userField()->isEnabled());
    QString initial, filter;
    QString answer = "/srv/reports/weekly.docx";
    dialog.setSaveFilePicker([&](QWidget*, const QString& i, const QString& f) {
        initial = i;
        filter = f;
        return answer;
    });
    dialog.browseButton()->click();
    EXPECT_EQ(initial, "Report.docx");
    EXPECT_EQ(filter, "Word Document (*.docx)");
    EXPECT_EQ(dialog.pathField()->text(), answer);
    answer.clear();  // the picker cancelled: the path stays
    dialog.browseButton()->click();
    EXPECT_EQ(initial, "Report.docx");
    EXPECT_EQ(dialog.pathField()->text(), "/srv/reports/weekly.docx");

    dialog.userField()->setText("unused");
    dialog.accept();
    EXPECT_TRUE(prompter.events().empty()) << "no login is needed for a local file";
    EXPECT_EQ(dialog.settings().ExportServiceType, exporter::kLocalFile);
    EXPECT_EQ(dialog.settings().ExportLocation, "/srv/reports/weekly.docx");
}

// An analysed document whose logs are one local file.
struct AnalysedDocument : test::LocalDocumentParts {
    test::ScratchDir dir;
    document::Document doc{documentServices()};

    bool analyse() {
        settings.setDataFolder(dir.path().string());
        const fs::path log = dir.write(
            "a.log",
            "192.0.2.1 - - [10/Oct/2020:10:00:00 +0000] \"GET /index.html HTTP/1.0\" 200 10\n"
            "192.0.2.2 - - [10/Oct/2020:10:05:00 +0000] \"GET /b.html HTTP/1.0\" 200 20\n");
        config::ReportDefinition d;
        d.Name = "Site";
        d.File = 1;
        d.Path = log.string();
        d.DefaultPage = "index.html";
        d.Domain = "www.example.org";
        return doc.generate(d, ingest::RunMode::Unattended) && doc.reportPresent();
    }
};


// The whole path of the command: the wizard, the real destination dialog with its FTP choice,
// then the export run uploading to a real server what a local export would have written.
TEST(ExportWizard, FtpDestinationUploadsWhatALocalExportWrites) {
    setenv("TZ", "UTC", 1);
    tzset();
    test::ScratchDir site;
    fs::create_directories(site.path() / "reports");
    test::LocalFtpServer server(TALLYWEB_SERVERS_SCRIPT, {.root = site.path()});
    TALLYWEB_REQUIRE_SERVER(server);
    AnalysedDocument a;
    ASSERT_TRUE(a.analyse());

    test::FakePrompter prompter;
    ExportWizard wizard(prompter, ExportWizard::Mode::Export);
    toFormatPage(wizard, exporter::kHtml);
    auto* page = static_cast<ExportLocationPage*>(wizard.currentPage());
    const std::string name = "127.0.0.1:" + std::to_string(server.port()) + "/reports/r%d.html";
    bool answered = false;
    {
        ModalDriver driver([&](QWidget* w) {
            auto* dialog = qobject_cast<DestinationDialog*>(w);
            if (dialog == nullptr || answered) return;
            answered = true;
            dialog->ftpChoice()->click();
            dialog->ftpNameField()->setText(QString::fromStdString(name));
            dialog->userField()->setText(QString::fromStdString(server.options().user));
            dialog->passwordField()->setText(QString::fromStdString(server.options().password));
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        page->locationButton()->click();
    }
    ASSERT_TRUE(answered);
    finish(wizard);
    ASSERT_EQ(wizard.result(), QDialog::Accepted);
    const config::ExportSettings what = wizard.settings();
    EXPECT_EQ(what.ExportLocation, "ftp://" + name);
    EXPECT_EQ(what.ExportServiceType, exporter::kFtpUpload);

    transfer::CurlTransfer transfer;
    const std::int64_t now = 1'700'000'000;  // 14 November 2023
    const config::RunSettings settings = config::RunSettings::read(a.settings);
    const exporter::ExportOutcome up =
        exporter::runExport(a.doc, what, settings, {prompter, transfer, {}}, true, now);
    EXPECT_TRUE(up.ok) << ::testing::PrintToString(prompter.texts());
    EXPECT_EQ(up.address, "ftp://127.0.0.1:" + std::to_string(server.port()) + "/reports/r14.html");

    config::ExportSettings local = what;
    local.ExportServiceType = exporter::kLocalFile;
    local.ExportLocation = (a.dir.path() / "r%d.html").string();
    ASSERT_TRUE(
        exporter::runExport(a.doc, local, settings, {prompter, transfer, {}}, true, now).ok);
    const std::string written = slurp(a.dir.path() / "r14.html");
    ASSERT_FALSE(written.empty());
    EXPECT_EQ(slurp(site.path() / "reports" / "r14.html"), written);
}

// The Export command: Cancel on the wizard does nothing; Finish runs the export with the
// wizard's settings and ends in the run's own completion message.
TEST(ExportWizard, TheExportCommandRunsTheWizardsChoice) {
    test::LocalDocumentParts parts;
    test::ScratchDir dir;
    parts.settings.setDataFolder(dir.path().string());
    document::Document doc(parts.documentServices());
    transfer::CurlTransfer transfer;
    MainWindow window(MainWindowServices{doc, parts.settings, parts.prompter, transfer,
                                         [](const std::string&) { return true; }});
    window.show();
    config::ReportDefinition d;
    d.Name = "Daily";
    d.File = 1;
    d.Path = dir.write("access.log",
                       "192.0.2.1 - - [10/Oct/2020:10:00:00 +0000] \"GET /index.html "
                       "HTTP/1.0\" 200 10\n")
                 .string();
    d.DefaultPage = "index.html";
    ASSERT_TRUE(window.generate(d));
    parts.prompter.clear();
    const fs::path out = dir.path() / "csv";

    int wizards = 0;
    bool cancel = true;
    {
        ModalDriver driver([&](QWidget* w) {
            auto* wizard = qobject_cast<ExportWizard*>(w);
            if (wizard == nullptr) return;
            ++wizards;
            if (cancel) {
                wizard->reject();
                return;
            }
            static_cast<ExportTypePage*>(wizard->page(ExportWizard::kTypePage))
                ->choice(exporter::kCommaDelimited)
                ->click();
            wizard->next();
            auto* page = static_cast<ExportDirectoryPage*>(wizard->currentPage());
            page->directoryField()->setText(QString::fromStdString(out.string()));
            parts.prompter.queueAnswer(Answer::Yes);  // create the directory
            wizard->button(QWizard::FinishButton)->click();
        });
        window.action("export")->trigger();
        EXPECT_EQ(wizards, 1);
        EXPECT_TRUE(parts.prompter.events().empty());
        EXPECT_FALSE(fs::exists(out));

        cancel = false;
        window.action("export")->trigger();
        EXPECT_EQ(wizards, 2);
    }
    ASSERT_EQ(parts.prompter.events().size(), 2u)
        << ::testing::PrintToString(parts.prompter.texts());
    EXPECT_EQ(parts.prompter.events()[0].text, kOfferToCreate);
    EXPECT_EQ(parts.prompter.events()[1].text.rfind("The Comma-delimited (.csv) files have been "
                                                    "generated",
                                                    0),
              0u);
    ASSERT_TRUE(fs::is_directory(out));
    EXPECT_FALSE(fs::is_empty(out)) << "one file per report";
}

}  // namespace
}  // namespace tw::ui
