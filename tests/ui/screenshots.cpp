// Screenshots of the main window after a run on a real log: one PNG per report named on the
// command line after the output folder; then every page of the report wizard and every tab of
// the report editor, every page of the filter and export wizards, the destination dialog with
// each choice, and the help window, each at its own default size; and every report printed
// into one PDF file.
// Used by scripts/screenshots.sh under Xvfb.
#include <QApplication>
#include <QPixmap>
#include <QScrollBar>
#include <QTest>
#include <QPrinter>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QWizard>
#include <QTimer>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/strings.h"
#include "site/spider.h"
#include "support/local_servers.h"
#include "tool_window.h"
#include "ui/destination_dialog.h"
#include "ui/export_wizard.h"
#include "ui/filter_wizard.h"
#include "ui/help_window.h"
#include "ui/hyperlink_pane.h"
#include "ui/report_tree.h"
#include "ui/report_wizard.h"

namespace {

bool shoot(QWidget& w, const std::string& out, const std::string& name) {
    w.show();
    for (int k = 0; k < 5; ++k) QApplication::processEvents();
    const std::string file = out + "/" + name + ".png";
    const bool saved = w.grab().save(QString::fromStdString(file));
    std::printf("%s\n", file.c_str());
    return saved;
}

// Each page is shown by starting the wizard on it, so no page's checks stand in the way.
bool shootWizard(QWizard& w, const std::vector<int>& pages, const std::string& out,
                 const std::string& name) {
    bool ok = true;
    for (const int id : pages) {
        w.setStartId(id);
        w.restart();
        ok = shoot(w, out, name + "-" + std::to_string(id)) && ok;
    }
    w.hide();
    return ok;
}

bool shootReportWizard(tw::platform::Prompter& prompter, tw::config::ReportDefinition def,
                       const std::string& out) {
    using tw::ui::ReportWizard;
    def.trackFiles = {"/index.html", "/downloads/*"};
    def.filters = {{.Include = 1, .Information = tw::config::kFilterSpider, .strFilter = "bot"}};
    bool ok = true;
    ReportWizard wizard(def, ReportWizard::Mode::Wizard, prompter);
    std::vector<int> pages;
    for (int page = 0; page < ReportWizard::kPageCount; ++page) pages.push_back(page);
    ok = shootWizard(wizard, pages, out, "report-wizard") && ok;

    ReportWizard editor(def, ReportWizard::Mode::Editor, prompter);
    for (int page = 0; page < ReportWizard::kPageCount; ++page) {
        if (!editor.tabs()->isTabEnabled(page)) continue;
        editor.tabs()->setCurrentIndex(page);
        ok = shoot(editor, out, "report-editor-" + std::to_string(page)) && ok;
    }
    editor.hide();
    return ok;
}

// The hyperlink tree of a small site crawled from disk, with a visit log that follows its links,
// opened two levels deep.
bool shootHyperlinkTree(const std::string& out) {
    tw::test::LocalDocumentParts parts;
    tw::test::ScratchDir site, data;
    tw::transfer::CurlTransfer transfer;
    tw::site::SiteSpider crawl{transfer, parts.prompter, (data.path() / "downloads").string()};
    site.write("index.html",
               "<title>Example Software</title><a href=\"docs/getting-started.html\">x</a>"
               "<a href=\"downloads.html\">x</a><a href=\"about.html\">x</a>");
    site.write("docs/getting-started.html",
               "<title>Getting started with the example tools</title>"
               "<a href=\"reference/configuration-options-for-advanced-users.html\">x</a>"
               "<a href=\"faq.html\">x</a>");
    site.write("docs/reference/configuration-options-for-advanced-users.html",
               "<title>Configuration options</title>");
    site.write("docs/faq.html", "<title>Questions</title>");
    site.write("downloads.html", "<title>Downloads</title>");
    site.write("about.html", "<title>About us</title>");
    std::string log;
    const auto visit = [&log](const char* page, const char* from, int times) {
        for (int i = 0; i < times; ++i)
            log += std::string("10.0.0.") + std::to_string(i % 200 + 1) +
                   " - - [10/Oct/2020:13:55:36 +0000] \"GET " + page +
                   " HTTP/1.0\" 200 10 \"http://www.example.org" + from + "\" \"Mozilla/5.0\"\n";
    };
    visit("/docs/getting-started.html", "/index.html", 40);
    visit("/downloads.html", "/index.html", 25);
    visit("/about.html", "/index.html", 5);
    visit("/docs/reference/configuration-options-for-advanced-users.html",
          "/docs/getting-started.html", 12);
    visit("/docs/faq.html", "/docs/getting-started.html", 7);
    parts.settings.setDataFolder(data.path().string());
    tw::document::Document doc({parts.settings, parts.prompter, parts.progress, parts.clock,
                                parts.files, parts.sources, parts.measure, crawl, parts.resolver});
    tw::config::ReportDefinition d;
    d.Name = "Example";
    d.Path = data.write("access.log", log).string();
    d.File = 1;
    d.Domain = "www.example.org";
    d.DefaultPage = "index.html";
    d.Root = (site.path() / "index.html").string();
    d.RecursionDepth = 3;
    if (!doc.generate(d, tw::ingest::RunMode::Unattended)) return false;
    tw::ui::HyperlinkPane pane;
    pane.resize(900, 560);
    pane.load(doc);
    pane.show();
    for (int k = 0; k < 5; ++k) QApplication::processEvents();
    // Open the root, then its first child, by clicking their boxes as a user would.
    for (const char* url : {"/index.html", "/docs/getting-started.html"}) {
        for (const tw::site::NodeLayout& n : pane.layout().nodes) {
            if (n.node->url != url || !n.toggle || n.open) continue;
            const QPoint at(n.toggle->left + 3 - pane.diagram()->horizontalScrollBar()->value(),
                            n.toggle->top + 3 - pane.diagram()->verticalScrollBar()->value());
            QTest::mouseClick(pane.diagram()->viewport(), Qt::LeftButton, {}, at);
            break;
        }
        for (int k = 0; k < 5; ++k) QApplication::processEvents();
    }
    return shoot(pane, out, "Hyperlink-Tree-View");
}

bool shootDialogs(tw::platform::Prompter& prompter, const tw::config::ReportDefinition& def,
                  const std::string& out) {
    bool ok = shootReportWizard(prompter, def, out);
    ok = shootHyperlinkTree(out) && ok;
    tw::ui::FilterWizard filters(prompter);
    std::vector<int> filterPages{tw::ui::FilterWizard::kKindPage};
    for (int kind = 0; kind < 13; ++kind) filterPages.push_back(tw::ui::FilterWizard::kFirstKindPage + kind);
    ok = shootWizard(filters, filterPages, out, "filter-wizard") && ok;

    tw::ui::ExportWizard exports(prompter, tw::ui::ExportWizard::Mode::Export);
    ok = shootWizard(exports,
                     {tw::ui::ExportWizard::kTypePage, tw::ui::ExportWizard::kHtmlPage,
                      tw::ui::ExportWizard::kWordPage, tw::ui::ExportWizard::kCsvPage},
                     out, "export-wizard") &&
         ok;

    tw::ui::DestinationDialog destination(prompter, {}, tw::ui::ExportWizard::formatFor(0));
    destination.hardDriveChoice()->setChecked(true);
    ok = shoot(destination, out, "destination-hard-drive") && ok;
    destination.ftpChoice()->setChecked(true);
    ok = shoot(destination, out, "destination-ftp") && ok;
    destination.hide();

    if (tw::ui::HelpWindow* help = tw::ui::HelpWindow::showTopic(
            QStringLiteral(TALLYWEB_DATA_DIR "/help"), tw::platform::help::ReportWizardLocal)) {
        ok = shoot(*help, out, "help-window") && ok;
        help->close();
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: ui_screenshots OUTDIR LOG DOMAIN [REPORT]...\n");
        return 2;
    }
    const std::string out = argv[1];
    tw::test::FakeProgressDialog progress;
    tw::ui::ToolWindow tool(progress);
    tw::ui::MainWindow& window = tool.window;
    tw::document::Document& doc = tool.doc;
    window.resize(1200, 760);
    window.show();

    const tw::config::ReportDefinition def =
        tw::ui::ToolWindow::definition("Sample site", argv[2], argv[3]);
    if (!window.generate(def)) {
        std::fprintf(stderr, "the run produced no report\n");
        return 1;
    }
    int status = 0;
    for (int i = 4; i < argc; ++i) {
        const tw::presentation::Handle h = doc.catalogue().findByTitle(argv[i]);
        if (h == tw::presentation::kNoHandle) {
            std::fprintf(stderr, "no report named '%s'\n", argv[i]);
            status = 1;
            continue;
        }
        window.reportTree()->choose(h);
        for (int k = 0; k < 5; ++k) QApplication::processEvents();
        std::string name = argv[i];
        for (char& c : name)
            if (c == ' ' || c == '/') c = '-';
        const std::string file = out + "/" + name + ".png";
        if (!window.grab().save(QString::fromStdString(file))) status = 1;
        std::printf("%s\n", file.c_str());
    }
    if (!shootDialogs(tool.prompter, def, out)) status = 1;

    // Every report printed, as Print "all the reports" does, for a look at the pages.
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const std::string pdf = out + "/all-reports.pdf";
    printer.setOutputFileName(QString::fromStdString(pdf));
    if (!window.printReports(printer, true)) status = 1;
    std::printf("%s\n", pdf.c_str());
    return status;
}
