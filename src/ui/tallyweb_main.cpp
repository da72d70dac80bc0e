// tallyweb: the desktop program. Opens the saved reports named on its command line, or the
// Report List dialog; "AUTOREPORT name" generates and exports that stored report without a
// user and ends.
#include <QApplication>
#include <QDesktopServices>
#include <QTimer>
#include <QUrl>
#include <cstdio>

#include "app/command_line.h"
#include "app/program_services.h"
#include "app/qt_settings.h"
#include "config/report_list.h"
#include "ui/help_window.h"
#include "ui/icons.h"
#include "ui/main_window.h"
#include "ui/qt_progress.h"
#include "ui/qt_prompter.h"

namespace {

// The exit statuses of an unattended run, as the command-line program has them.
enum Exit { kReport = 0, kNoReport = 1, kExportFailed = 3 };

bool openInDesktop(const std::string& address) {
    const QString text = QString::fromStdString(address);
    const QUrl url = text.contains("://") ? QUrl(text) : QUrl::fromLocalFile(text);
    return QDesktopServices::openUrl(url);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Corvane Software");
    QApplication::setApplicationName("Tallyweb");
    QApplication::setWindowIcon(tw::ui::applicationIcon());

    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    const tw::app::StartupCommand command = tw::app::parseStartupCommand(args);

    tw::app::QtSettingsProfile store;
    tw::ui::QtPrompter prompter(nullptr);
    prompter.setHelpFolder(
        tw::ui::HelpWindow::findFolder(QStringLiteral(TALLYWEB_SOURCE_DATA_DIR "/help")));
    tw::ui::QtProgressDialog progress(nullptr);
    tw::app::ProgramServices program(store, store, prompter, progress, TALLYWEB_SOURCE_DATA_DIR);
    tw::document::Document& doc = program.document();

    // A report asked for by name is generated and exported with no one at the screen; a name
    // the list lacks is reported and the program goes on as usual.
    if (command.requestedReport && command.documents.empty()) {
        tw::config::ReportList list;
        list.open(store);
        if (auto def = list.generateRequested(*command.requestedReport, prompter, store)) {
            if (!doc.generate(*def, tw::ingest::RunMode::Unattended)) return kNoReport;
            return doc.lastAutoExport() == tw::document::AutoExport::Failed ? kExportFailed
                                                                            : kReport;
        }
    }

    tw::ui::MainWindow window({doc, store, prompter, program.transfer(), openInDesktop});
    window.show();
    QTimer::singleShot(0, &window, [&] {
        if (!command.documents.empty())
            window.openReport(command.documents.front());
        else
            window.switchReports();
    });
    const int status = QApplication::exec();
    store.flush();
    return status;
}
