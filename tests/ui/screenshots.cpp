// Screenshots of the main window after a run on a real log: one PNG per report named on the
// command line after the output folder; then every page of the report wizard and every tab of
// the report editor, every page of the filter and export wizards, the destination dialog with
// each choice, and the help window, each at its own default size; and every report printed
// into one PDF file.
// Used by scripts/screenshots.sh under Xvfb.
#include <QApplication>
#include <QPixmap>
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
#include "tool_window.h"
#include "ui/destination_dialog.h"
#include "ui/export_wizard.h"
#include "ui/filter_wizard.h"
#include "ui/help_window.h"
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

bool shootDialogs(tw::platform::Prompter& prompter, const tw::config::ReportDefinition& def,
                  const std::string& out) {
    bool ok = shootReportWizard(prompter, def, out);
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
