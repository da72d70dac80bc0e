#pragma once
// The report wizard: the pages that make a report definition, shown one after another when a
// report is added ("Tallyweb Report Wizard", Back/Next/Finish) and as tabs when one is edited
// ("Tallyweb Report Editor", OK/Cancel). Both modes share the same page widgets and the same
// working copy of the definition: a page copies its values into the copy when the user leaves
// it (Next, another tab, Finish or OK), after the page's checks; a refused page stays, says why
// through the prompter and puts the focus on the field at fault. Only the pages of the chosen
// log source are used: the wizard steps past the others, the editor disables their tabs.
//
// Object names for the tests: pages "sourcePage" ... "namePage" (see kPageNames in the source);
// source "sourceFtp", "sourceLocal", "sourceHttp"; "apache"; location forms
// "<where>DirectoryChoice"/"<where>FileChoice"/"<where>WildcardChoice" with the text boxes
// "<where>Directory"/"<where>File"/"<where>Wildcard", <where> "local" or "ftp", and
// "browseDirectory", "browseFile"; "ftpSite", "ftpUser", "ftpPassword"; "httpUrl",
// "httpProtected", "httpUser", "httpPassword"; "trackedFiles", "addTracked", "removeTracked",
// the add dialog "trackedEntryDialog" with "trackedEntry"; "reportFilters" and the filter
// list's buttons; "domain", "defaultPage"; "enableDns"; "rootLocalChoice", "rootUrlChoice",
// "rootFile", "rootUrl", "browseRoot", "depth"; "exportAutomatically", "exportOptions",
// "exportSummary"; "name"; the editor's tabs "pages".
//
// Threads: the user-interface thread only.
#include <QWizard>
#include <array>

#include "config/report_definition.h"
#include "config/wizard_checks.h"
#include "platform/prompts.h"
#include "ui/export_wizard.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;

namespace tw::ui {

class FilterListEditor;

// Asks for one existing file: (parent, start); empty when given up.
using OpenFilePicker = std::function<QString(QWidget* parent, const QString& start)>;

class ReportWizard final : public QWizard {
    Q_OBJECT

  public:
    enum class Mode { Wizard, Editor };
    // The pages in the order they come; also the wizard's page ids and the editor's tab index.
    enum PageId {
        kSourcePage,
        kApachePage,
        kLocalPage,
        kFtpLocationPage,
        kFtpLoginPage,
        kHttpPage,
        kTrackedPage,
        kFiltersPage,
        kDomainPage,
        kDnsPage,
        kTreePage,
        kExportPage,
        kNamePage,
        kPageCount
    };
    // The editor's single wizard page, which holds the tabs.
    static constexpr int kEditorPage = kPageCount;

    ReportWizard(const config::ReportDefinition& initial, Mode mode,
                 platform::Prompter& prompter, QWidget* parent = nullptr);

    Mode mode() const { return mode_; }
    // The working copy: the pages the user has left so far; after Finish or OK, the definition.
    const config::ReportDefinition& definition() const { return def_; }
    // Whether `page` belongs to the log source the first page shows now.
    bool pageUsed(int page) const;
    // The widget of `page` as either mode shows it.
    QWidget* pageWidget(int page) const { return bodies_[static_cast<std::size_t>(page)]; }
    // The editor's tabs; null in wizard mode.
    QTabWidget* tabs() const { return tabs_; }

    // The platform's dialogs by default; tests hand in their own answers.
    void setFolderPicker(FolderPicker picker) { pickFolder_ = std::move(picker); }
    void setFilePicker(OpenFilePicker picker) { pickFile_ = std::move(picker); }
    // Handed on to the export wizard the "Export Options" button opens.
    void setDestinationPicker(DestinationPicker picker) { pickDestination_ = std::move(picker); }

    int nextId() const override;
    bool validateCurrentPage() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    // The text boxes of one location page, one per form of the File value.
    struct LocationForms {
        std::array<QRadioButton*, 3> choice{};
        std::array<QLineEdit*, 3> path{};
    };

    QWidget* makeSourcePage();
    QWidget* makeApachePage();
    QWidget* makeLocationPage(bool local);
    QWidget* makeFtpLoginPage();
    QWidget* makeHttpPage();
    QWidget* makeTrackedPage();
    QWidget* makeFiltersPage();
    QWidget* makeDomainPage();
    QWidget* makeDnsPage();
    QWidget* makeTreePage();
    QWidget* makeExportPage();
    QWidget* makeNamePage();
    void buildWizard();
    void buildEditor();

    // Fills `page` from the working copy.
    void load(int page);
    // Checks `page` and, when it passes, copies it into the working copy.
    config::PageCheck leave(int page);
    // Shows why `page` was refused and puts the focus on the field at fault.
    void refuse(int page, const config::PageCheck& why);
    QWidget* faultField(int page, config::PageField field) const;
    int chosenSource() const;
    void sourceChanged();
    void followRootChoice();
    void showTab(int index);
    void tabChanged(int index);
    void addTracked();
    void chooseExport();
    void showExportSummary();
    void showHelp();

    platform::Prompter& prompter_;
    Mode mode_;
    config::ReportDefinition def_;
    int loadedSource_ = -1;  // the source whose location pages hold the working copy's values
    FolderPicker pickFolder_;
    OpenFilePicker pickFile_;
    DestinationPicker pickDestination_;
    std::array<QWidget*, kPageCount> bodies_{};
    QTabWidget* tabs_ = nullptr;
    int shownTab_ = 0;
    bool switchingTabs_ = false;

    QRadioButton* sourceFtp_ = nullptr;
    QRadioButton* sourceLocal_ = nullptr;
    QRadioButton* sourceHttp_ = nullptr;
    QCheckBox* apache_ = nullptr;
    LocationForms local_;
    LocationForms ftp_;
    QLineEdit* ftpSite_ = nullptr;
    QLineEdit* ftpUser_ = nullptr;
    QLineEdit* ftpPassword_ = nullptr;
    QLineEdit* httpUrl_ = nullptr;
    QCheckBox* httpProtected_ = nullptr;
    QLineEdit* httpUser_ = nullptr;
    QLineEdit* httpPassword_ = nullptr;
    QListWidget* tracked_ = nullptr;
    QPushButton* removeTracked_ = nullptr;
    FilterListEditor* filters_ = nullptr;
    QLineEdit* domain_ = nullptr;
    QLineEdit* defaultPage_ = nullptr;
    QCheckBox* dns_ = nullptr;
    QRadioButton* rootLocal_ = nullptr;
    QRadioButton* rootUrl_ = nullptr;
    QLineEdit* rootFile_ = nullptr;
    QLineEdit* rootAddress_ = nullptr;
    QPushButton* browseRoot_ = nullptr;
    QSpinBox* depth_ = nullptr;
    QCheckBox* export_ = nullptr;
    QPushButton* exportOptions_ = nullptr;
    QLabel* exportSummary_ = nullptr;
    config::ExportSettings exportChosen_;  // what the export wizard last chose, until left
    QLineEdit* name_ = nullptr;
};

}  // namespace tw::ui
