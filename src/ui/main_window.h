#pragma once
// The frame of the one document: menu, toolbar, status bar and the splitter with the report
// tree on the left and the view of the chosen report on the right. Commands are carried out
// by the document and the dialogs; the window only routes them and swaps the right pane.
//
// Threads: the user-interface thread only. A generation runs its analysis on a thread of its
// own under the modal progress dialog, so the window keeps painting meanwhile.
#include <QMainWindow>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "document/document.h"
#include "platform/settings.h"
#include "transfer/transfer.h"
#include "ui/report_pane.h"

class QAction;
class QPrinter;
class QSplitter;

namespace tw::ui {

class ReportTree;

struct MainWindowServices {
    document::Document& document;
    platform::SettingsProfile& settings;
    platform::Prompter& prompter;
    transfer::Transfer& transfer;  // uploads of exports
    // Opens an address in the browser, a finished export with its application; false on failure.
    std::function<bool(const std::string&)> openAddress;
};

inline constexpr int kDefaultSplitterSize = 230;
inline constexpr int kRecentFiles = 4;

class MainWindow final : public QMainWindow {
    Q_OBJECT
  public:
    explicit MainWindow(MainWindowServices services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The Report List dialog, then the chosen report generated. `requested` is a report name
    // from the command line: found, it is generated without a click.
    void switchReports(std::optional<std::string> requested = std::nullopt);
    // Generates `definition` as the Report List dialog's "Generate Report" does.
    bool generate(const config::ReportDefinition& definition);
    bool openReport(const std::string& path);
    bool saveReport(const std::string& path);

    ReportTree* reportTree() const { return tree_; }
    ReportPane* pane() const { return pane_; }
    QSplitter* splitter() const { return splitter_; }
    QAction* action(const QString& objectName) const;

    // The printer the print commands use, with the choices of Print Setup.
    QPrinter& printer();
    // Prints the report shown, or every report with content in tree order, onto `device`;
    // the report shown stays selected. False, after a message, when printing failed.
    bool printReports(QPrinter& device, bool all);
    // Stands in for the print dialog (true: print); tests point the printer at a PDF file.
    void setPrinterQuestion(std::function<bool(QPrinter&)> ask) { askPrinter_ = std::move(ask); }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    static QString idleStatusText();
    void buildMenus();
    void showDocument();
    void reportChosen(presentation::Handle entry);
    void showView(presentation::ViewKind kind);
    void updateTitle();
    void updateCommands();
    void rememberFile(const std::string& path);
    void refreshRecentMenu();
    bool offerToSave();
    void exportReport();
    void openCommand();
    void saveCommand();
    void printCommand();
    void previewCommand();

    MainWindowServices s_;
    PaneServices paneServices_;
    ReportTree* tree_ = nullptr;
    QSplitter* splitter_ = nullptr;
    ReportPane* pane_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    std::unique_ptr<QPrinter> printer_;
    std::function<bool(QPrinter&)> askPrinter_;
};

}  // namespace tw::ui
