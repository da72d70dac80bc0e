#include "ui/main_window.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QItemSelectionModel>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>
#include <ctime>

#include "config/run_settings.h"
#include "export/export_run.h"
#include "export/export_walk.h"
#include "platform/strings.h"
#include "ui/export_wizard.h"
#include "ui/graph_view.h"
#include "ui/hyperlink_pane.h"
#include "ui/icons.h"
#include "ui/list_view.h"
#include "ui/message_view.h"
#include "ui/options_sheet.h"
#include "ui/report_list_dialog.h"
#include "ui/report_printer.h"
#include "ui/report_tree.h"
#include "ui/tree_list_view.h"
#include "ui/ui_text.h"

namespace tw::ui {

using presentation::ViewKind;
namespace txt = platform::txt;

namespace {

constexpr const char* kSplitterSetting = "SplitterSize";
constexpr const char* kRecentSection = "Recent File List";

// The status-bar prompt and the tooltip of a command, as "prompt\ntooltip".
void describe(QAction* action, const QString& prompt) {
    const qsizetype cut = prompt.indexOf('\n');
    action->setStatusTip(cut < 0 ? prompt : prompt.left(cut));
    action->setToolTip(cut < 0 ? prompt : prompt.mid(cut + 1));
}

}  // namespace

MainWindow::MainWindow(MainWindowServices services, QWidget* parent)
    : QMainWindow(parent), s_(std::move(services)), paneServices_{s_.prompter, s_.openAddress} {
    setWindowIcon(applicationIcon());
    splitter_ = new QSplitter(Qt::Horizontal, this);
    tree_ = new ReportTree(splitter_);
    splitter_->addWidget(tree_);
    pane_ = new MessageView(splitter_);
    splitter_->addWidget(pane_);
    splitter_->setStretchFactor(1, 1);
    setCentralWidget(splitter_);
    const int width = s_.settings.getInt("", kSplitterSetting, kDefaultSplitterSize);
    splitter_->setSizes({width > 0 ? width : kDefaultSplitterSize, 800});
    connect(tree_, &ReportTree::chosen, this, &MainWindow::reportChosen);

    buildMenus();
    // A menu item's prompt, or a message shown for a while, leaves the bar empty when it goes;
    // the idle text comes back instead.
    connect(statusBar(), &QStatusBar::messageChanged, this, [this](const QString& message) {
        if (message.isEmpty()) statusBar()->showMessage(idleStatusText());
    });
    statusBar()->showMessage(idleStatusText());
    resize(1000, 680);
    showDocument();
}

MainWindow::~MainWindow() = default;

QString MainWindow::idleStatusText() {
    return tr("For Help, press F1");
}

QAction* MainWindow::action(const QString& objectName) const {
    return findChild<QAction*>(objectName);
}

void MainWindow::buildMenus() {
    auto add = [this](QMenu* menu, const QString& name, const QString& text,
                      const QKeySequence& key, const QString& prompt, auto slot) {
        QAction* a = menu->addAction(text);
        a->setObjectName(name);
        if (!key.isEmpty()) a->setShortcut(key);
        if (!prompt.isEmpty()) describe(a, prompt);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    QMenu* report = menuBar()->addMenu(tr("&Report"));
    QAction* picker =
        add(report, "switch", tr("S&witch to Report Picker"), QKeySequence(Qt::CTRL | Qt::Key_K),
            tr("Switch Reports\nSwitch to the Report Picker"), [this] { switchReports(); });
    QAction* copy =
        add(report, "copy", tr("&Copy data to clipboard"), QKeySequence(Qt::CTRL | Qt::Key_C),
            tr("Copy\nCopy the currently selected item (chart item or graph) and put it on the "
               "Clipboard"),
            [this] { pane_->copySelection(); });
    QAction* exporting =
        add(report, "export", tr("&Export"), QKeySequence(Qt::CTRL | Qt::Key_E),
            tr("Export\nExport the log file statistics"), [this] { exportReport(); });
    QAction* open = add(report, "open", tr("&Open saved report"), {},
                        tr("Open Report\nOpen presaved report"), [this] { openCommand(); });
    add(report, "save", tr("&Save current report"), {}, tr("Save\nSave the current report"),
        [this] { saveCommand(); });
    report->addSeparator();
    add(report, "print", tr("&Print..."), QKeySequence(Qt::CTRL | Qt::Key_P),
        tr("Print\nPrint the active report"), [this] { printCommand(); });
    add(report, "preview", tr("Print Pre&view"), {},
        tr("Print Preview\nDisplay full pages"), [this] { previewCommand(); });
    add(report, "printSetup", tr("P&rint Setup..."), {},
        tr("Print Setup\nChange the printer and printing options"), [this] {
            QPageSetupDialog setup(&printer(), this);
            setup.exec();
        });
    report->addSeparator();
    add(report, "options", tr("Op&tions"), QKeySequence(Qt::CTRL | Qt::Key_O), {}, [this] {
        OptionsSheet sheet(s_.settings, s_.prompter, this);
        sheet.exec();
    });
    recentMenu_ = report->addMenu(tr("Recent &Files"));
    report->addSeparator();
    add(report, "exit", tr("E&xit"), {}, {}, [this] { close(); });

    QToolBar* bar = addToolBar(tr("Toolbar"));
    bar->setObjectName("Toolbar");
    picker->setIcon(commandIcon(CommandIcon::SwitchReports));
    open->setIcon(commandIcon(CommandIcon::Open));
    exporting->setIcon(commandIcon(CommandIcon::Export));
    copy->setIcon(commandIcon(CommandIcon::Copy));
    QAction* chart = new QAction(commandIcon(CommandIcon::ChartView), tr("Chart View"), this);
    chart->setObjectName("chartView");
    describe(chart, tr("Chart View\nShow data in chart mode when available"));
    QAction* graph = new QAction(commandIcon(CommandIcon::GraphView), tr("Graph View"), this);
    graph->setObjectName("graphView");
    describe(graph, tr("Graph View\nShow data in graph mode when available"));
    QAction* launch = new QAction(reportIcon(5), tr("Launch"), this);
    launch->setObjectName("launch");
    launch->setCheckable(true);
    describe(launch, tr("Launch\nLaunch the currently selected item in your web browser"));
    for (QAction* a : {chart, graph}) {
        connect(a, &QAction::triggered, this, [this, a, chart] {
            s_.document.catalogue().setChartMode(a == chart);
            reportChosen(tree_->current());
        });
    }
    connect(launch, &QAction::triggered, this, [this] {
        pane_->launch();
        updateCommands();
    });
    bar->addActions({picker, open, exporting, copy});
    bar->addSeparator();
    bar->addActions({chart, graph, launch});

    QMenu* view = menuBar()->addMenu(tr("&View"));
    view->addAction(bar->toggleViewAction());
    QAction* status = view->addAction(tr("&Status Bar"));
    status->setCheckable(true);
    status->setChecked(true);
    connect(status, &QAction::toggled, statusBar(), &QWidget::setVisible);
    add(view, "split", tr("S&plit"), {}, {}, [this] { splitter_->handle(1)->setFocus(); });

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    add(help, "helpTopics", tr("&Help Topics"), {}, {}, [this] { s_.prompter.openHelp(0); });
    add(help, "formats", tr("&Supported Log File Formats"), {},
        tr("Displays information about the log file formats supported by Tallyweb\nSupported "
           "Log File Formats"),
        [this] { s_.prompter.openHelp(platform::help::LogFormats); });
    add(help, "about", tr("&About Tallyweb..."), {}, {}, [this] {
        QMessageBox::about(this, tr("About Tallyweb"),
                           tr("Tallyweb\nAn analyser of web-server access logs.\n%1")
                               .arg(fromText(txt::AppTitle)));
    });
    QAction* context = new QAction(this);
    context->setShortcuts({QKeySequence(Qt::Key_F1), QKeySequence(Qt::SHIFT | Qt::Key_F1)});
    connect(context, &QAction::triggered, this,
            [this] { s_.prompter.openHelp(s_.document.lastFill().helpTopic); });
    addAction(context);
    refreshRecentMenu();
}

void MainWindow::switchReports(std::optional<std::string> requested) {
    ReportListDialog dialog(s_.settings, s_.prompter, std::move(requested), this);
    if (dialog.exec() != QDialog::Accepted) return;
    const std::optional<config::ReportDefinition> chosen = dialog.chosen();
    // The report shown now is about to be replaced: it is offered for saving as on closing.
    if (chosen && offerToSave()) generate(*chosen);
}

bool MainWindow::generate(const config::ReportDefinition& definition) {
    const bool produced = s_.document.generate(definition, ingest::RunMode::Interactive);
    showDocument();
    return produced;
}

bool MainWindow::openReport(const std::string& path) {
    if (!s_.document.load(path)) {
        // A refused file leaves the document as it was, except one too big for memory, which
        // leaves it empty: the window must not go on showing a report that is gone.
        if (!s_.document.reportPresent()) showDocument();
        return false;
    }
    rememberFile(path);
    showDocument();
    return true;
}

bool MainWindow::saveReport(const std::string& path) {
    if (!s_.document.save(path)) return false;
    rememberFile(path);
    updateTitle();
    return true;
}

void MainWindow::showDocument() {
    // Without a report the pane says what to do next (a cancelled start, a refused file).
    if (!s_.document.reportPresent()) s_.document.select(presentation::kNoHandle);
    const document::Document& doc = s_.document;
    tree_->rebuild(doc.catalogue(), doc.selected());
    showView(doc.lastFill().view);
    pane_->load(doc);
    updateTitle();
    updateCommands();
}

void MainWindow::reportChosen(presentation::Handle entry) {
    const presentation::FillResult fill = s_.document.select(entry);
    showView(fill.view);
    pane_->load(s_.document);
    updateCommands();
}

void MainWindow::showView(ViewKind kind) {
    if (pane_->kind() == kind) return;
    ReportPane* next = nullptr;
    switch (kind) {
        case ViewKind::Chart:
            next = new ListView(paneServices_);
            break;
        case ViewKind::Graph:
            next = new GraphView();
            break;
        case ViewKind::TreeList:
            next = new TreeListView(paneServices_);
            break;
        case ViewKind::HyperlinkTree:
            next = new HyperlinkPane();
            break;
        case ViewKind::Message:
            next = new MessageView();
            break;
    }
    // A new pane brings its own size hint, which the splitter would take from the tree's width;
    // the tree keeps the width the user gave it.
    const QList<int> widths = splitter_->sizes();
    ReportPane* old = splitter_->replaceWidget(1, next) ? pane_ : nullptr;
    pane_ = next;
    delete old;
    splitter_->setSizes(widths);
    // Copy follows the selection of the rows the pane lists.
    for (QAbstractItemView* rows : next->findChildren<QAbstractItemView*>())
        if (rows->selectionModel())
            connect(rows->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                    [this] { updateCommands(); });
}

void MainWindow::updateTitle() {
    const std::string& title = s_.document.title();
    setWindowTitle(title.empty() ? QStringLiteral("Tallyweb")
                                 : QString::fromStdString(title) + QStringLiteral(" - Tallyweb"));
}

void MainWindow::updateCommands() {
    const bool present = s_.document.reportPresent();
    const bool content = present && s_.document.lastFill().hasContent;
    action("export")->setEnabled(present);
    action("save")->setEnabled(present);
    action("print")->setEnabled(present);
    action("preview")->setEnabled(content);
    action("copy")->setEnabled(pane_->canCopy());
    action("chartView")->setEnabled(content);
    action("graphView")->setEnabled(content);
    action("launch")->setEnabled(pane_->canLaunch());
    action("launch")->setChecked(pane_->launchArmed());
}

void MainWindow::rememberFile(const std::string& path) {
    const std::string full =
        QFileInfo(QString::fromStdString(path)).absoluteFilePath().toStdString();
    std::vector<std::string> files{full};
    for (int i = 1; i <= kRecentFiles; ++i) {
        std::string f = s_.settings.getString(kRecentSection, "File" + std::to_string(i), "");
        if (!f.empty() && f != full) files.push_back(std::move(f));
    }
    files.resize(std::min<std::size_t>(files.size(), kRecentFiles));
    for (std::size_t i = 0; i < files.size(); ++i)
        s_.settings.setString(kRecentSection, "File" + std::to_string(i + 1), files[i]);
    refreshRecentMenu();
}

void MainWindow::refreshRecentMenu() {
    recentMenu_->clear();
    for (int i = 1; i <= kRecentFiles; ++i) {
        const std::string f = s_.settings.getString(kRecentSection, "File" + std::to_string(i), "");
        if (f.empty()) continue;
        QAction* a = recentMenu_->addAction(
            QStringLiteral("&%1 %2").arg(i).arg(QFileInfo(QString::fromStdString(f)).fileName()));
        a->setStatusTip(QString::fromStdString(f));
        connect(a, &QAction::triggered, this, [this, f] {
            if (offerToSave()) openReport(f);
        });
    }
    recentMenu_->setEnabled(!recentMenu_->isEmpty());
}

// True when the window may go on to replace or close the document.
bool MainWindow::offerToSave() {
    document::Document& doc = s_.document;
    if (!doc.reportPresent() || !doc.modified()) return true;
    const platform::Answer answer =
        s_.prompter.askYesNoCancel("Save changes to " + doc.title() + "?", platform::Icon::Warning);
    if (answer == platform::Answer::Cancel) return false;
    if (answer == platform::Answer::No) return true;
    saveCommand();
    return !doc.modified();
}

void MainWindow::openCommand() {
    if (!offerToSave()) return;
    const QString path =
        QFileDialog::getOpenFileName(this, tr("Open"), {}, fromText(txt::SavedFileFilter));
    if (!path.isEmpty()) openReport(path.toStdString());
}

void MainWindow::saveCommand() {
    const QString path = QFileDialog::getSaveFileName(
        this, fromText(txt::SaveAsTitle), QString::fromStdString(s_.document.proposedFileName()),
        fromText(txt::SavedFileFilter));
    if (!path.isEmpty()) saveReport(path.toStdString());
}

void MainWindow::exportReport() {
    ExportWizard wizard(s_.prompter, ExportWizard::Mode::Export, {}, this);
    if (wizard.exec() != QDialog::Accepted) return;
    const config::ExportSettings what = wizard.settings();
    const exporter::ExportServices services{
        s_.prompter, s_.transfer, [this](const std::string& file) { s_.openAddress(file); }};
    const exporter::ExportOutcome out =
        exporter::runExport(s_.document, what, config::RunSettings::read(s_.settings), services,
                            true, static_cast<std::int64_t>(std::time(nullptr)));
    if (out.ok)
        statusBar()->showMessage(tr("Exported to %1").arg(QString::fromStdString(out.address)));
    // The export walk selected every report in turn; show the one the user had chosen.
    reportChosen(tree_->current());
}

QPrinter& MainWindow::printer() {
    // Made on first use: looking for printers can take a moment the start-up need not wait.
    if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *printer_;
}

bool MainWindow::printReports(QPrinter& device, bool all) {
    document::Document& doc = s_.document;
    if (!doc.reportPresent()) return false;
    const presentation::Handle shown = tree_->current();
    ReportPrinter out(device);
    if (!out.ok()) {
        s_.prompter.message(
            tr("The report could not be printed: the printer or the file %1 could not be opened.")
                .arg(device.outputFileName())
                .toStdString(),
            platform::Icon::Warning);
        return false;
    }
    statusBar()->showMessage(tr("Printing..."));
    if (all) {
        exporter::exportWalk(
            doc,
            [&](const exporter::WalkItem&) { out.print(doc.table(), doc.lastFill().view); },
            {.printing = true});
    } else {
        const presentation::FillResult fill = doc.select(shown, {.printWalk = true});
        if (fill.hasContent) out.print(doc.table(), fill.view);
    }
    const bool printed = out.finish();
    // The walk filled other reports into the table; show the chosen one again.
    reportChosen(shown);
    statusBar()->clearMessage();
    if (!printed)
        s_.prompter.message(tr("The report could not be printed completely.").toStdString(),
                            platform::Icon::Warning);
    return printed;
}

void MainWindow::printCommand() {
    if (!s_.document.reportPresent()) return;
    PrintOptionsDialog options(s_.document.lastFill().hasContent, this);
    if (options.exec() != QDialog::Accepted) return;
    const bool all = options.printAll();
    const bool go = askPrinter_ ? askPrinter_(printer()) : [this] {
        QPrintDialog dialog(&printer(), this);
        return dialog.exec() == QDialog::Accepted;
    }();
    if (go) printReports(printer(), all);
}

void MainWindow::previewCommand() {
    if (!s_.document.reportPresent() || !s_.document.lastFill().hasContent) return;
    QPrintPreviewDialog preview(&printer(), this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* device) { printReports(*device, false); });
    preview.exec();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!offerToSave()) {
        event->ignore();
        return;
    }
    s_.settings.setInt("", kSplitterSetting, splitter_->sizes().value(0, kDefaultSplitterSize));
    event->accept();
}

}  // namespace tw::ui
