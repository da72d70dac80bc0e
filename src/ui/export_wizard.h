#pragma once
// The export command's four pages: the format first, then where that format goes. The wizard
// only collects the export settings; whoever opened it runs the export with them. The report
// wizard uses the same pages to fill a definition's export settings.
//
// Threads: the user-interface thread only.
#include <QWizard>
#include <QWizardPage>
#include <functional>
#include <optional>

#include "config/report_definition.h"
#include "platform/prompts.h"
#include "ui/destination_dialog.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tw::ui {

// Asks for the folder of the comma-delimited files: (parent, start); empty when given up.
using FolderPicker = std::function<QString(QWidget* parent, const QString& start)>;
// Asks for the destination of an HTML or Word export; nothing when the user cancelled.
using DestinationPicker = std::function<std::optional<config::ExportSettings>(
    QWidget* parent, const config::ExportSettings& current, const DestinationFormat& format)>;

class ExportWizard final : public QWizard {
    Q_OBJECT

  public:
    enum PageId { kTypePage = 0, kHtmlPage = 1, kWordPage = 2, kCsvPage = 3 };
    // Export: the interactive export command, which always starts from HTML saved to a local
    // file. Settings: a report definition's export settings, which start as stored.
    enum class Mode { Export, Settings };

    ExportWizard(platform::Prompter& prompter, Mode mode,
                 const config::ExportSettings& initial = {}, QWidget* parent = nullptr);

    Mode mode() const { return mode_; }
    // The settings chosen so far; complete after Finish.
    const config::ExportSettings& settings() const { return settings_; }

    // The destination dialog by default; tests hand in their own answers.
    void setDestinationPicker(DestinationPicker picker) { pickDestination_ = std::move(picker); }
    // The platform's folder picker by default.
    void setFolderPicker(FolderPicker picker) { pickFolder_ = std::move(picker); }
    // The picker the default destination dialog uses for its Browse button.
    void setSaveFilePicker(SaveFilePicker picker) { pickSave_ = std::move(picker); }

    static DestinationFormat formatFor(int exportType);

  private:
    friend class ExportTypePage;
    friend class ExportLocationPage;
    friend class ExportDirectoryPage;

    platform::Prompter& prompter_;
    Mode mode_;
    config::ExportSettings settings_;
    DestinationPicker pickDestination_;
    FolderPicker pickFolder_;
    SaveFilePicker pickSave_;
};

// Page 1: the three formats.
class ExportTypePage final : public QWizardPage {
    Q_OBJECT

  public:
    explicit ExportTypePage(ExportWizard& wizard);
    void initializePage() override;
    bool validatePage() override;
    int nextId() const override;
    QRadioButton* choice(int exportType) const;

  private:
    int chosenType() const;
    ExportWizard& wizard_;
    QRadioButton* word_;
    QRadioButton* html_;
    QRadioButton* csv_;
};

// Pages 2 and 3: one file, locally or on an FTP server, chosen through the destination dialog.
class ExportLocationPage final : public QWizardPage {
    Q_OBJECT

  public:
    ExportLocationPage(ExportWizard& wizard, int exportType);
    void initializePage() override;
    bool validatePage() override;
    int nextId() const override { return -1; }
    QLineEdit* locationField() const { return location_; }
    QPushButton* locationButton() const { return button_; }
    // "Include graphs", on the HTML page only; null on the Word page.
    QCheckBox* includeGraphsBox() const { return includeGraphs_; }

  private:
    void chooseDestination();
    ExportWizard& wizard_;
    int exportType_;
    QLineEdit* location_;
    QPushButton* button_;
    QCheckBox* includeGraphs_ = nullptr;
};

// Page 4: the directory of the comma-delimited files.
class ExportDirectoryPage final : public QWizardPage {
    Q_OBJECT

  public:
    explicit ExportDirectoryPage(ExportWizard& wizard);
    void initializePage() override;
    bool validatePage() override;
    int nextId() const override { return -1; }
    QLineEdit* directoryField() const { return directory_; }
    QPushButton* browseButton() const { return browse_; }

  private:
    ExportWizard& wizard_;
    QLineEdit* directory_;
    QPushButton* browse_;
};

}  // namespace tw::ui
