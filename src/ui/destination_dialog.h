#pragma once
// Where one export goes: a file on this machine, or an FTP server with its login. Asked from
// the HTML and Word pages of the export wizard; the chosen location, service type, user name
// and password go back to the wizard, the export type is left as it came.
//
// Threads: the user-interface thread only.
#include <QDialog>
#include <QString>
#include <functional>

#include "config/report_definition.h"
#include "platform/prompts.h"

class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tw::ui {

// The file kind a wizard page exports: what the save-file picker proposes and lists.
struct DestinationFormat {
    QString defaultExtension;  // without the dot: "html"
    QString filter;            // a Qt name filter: "HTML Files (*.html *.htm)"
};

// Asks for the file to save to: (parent, initial name, filter); empty when the user gave up.
// Must warn before an existing file is replaced.
using SaveFilePicker =
    std::function<QString(QWidget* parent, const QString& initial, const QString& filter)>;

// The platform's save-file dialog, which warns before overwriting.
SaveFilePicker defaultSaveFilePicker();

// An FTP name of more than 6 characters without a scheme gets "ftp://" in front; shorter ones
// are kept as typed, so that the export run refuses them as an invalid address.
QString withFtpScheme(const QString& name);

class DestinationDialog final : public QDialog {
    Q_OBJECT

  public:
    DestinationDialog(platform::Prompter& prompter, const config::ExportSettings& current,
                      DestinationFormat format, QWidget* parent = nullptr);

    void setSaveFilePicker(SaveFilePicker picker) { pickSave_ = std::move(picker); }
    // The settings as the dialog shows them; after OK, with the FTP name completed.
    config::ExportSettings settings() const;

    QRadioButton* hardDriveChoice() const { return hardDrive_; }
    QRadioButton* ftpChoice() const { return ftp_; }
    QLineEdit* pathField() const { return path_; }
    QPushButton* browseButton() const { return browse_; }
    QLineEdit* ftpNameField() const { return ftpName_; }
    QLineEdit* userField() const { return user_; }
    QLineEdit* passwordField() const { return password_; }

  public slots:
    void accept() override;

  private:
    void browse();
    void updateEnabled();

    platform::Prompter& prompter_;
    config::ExportSettings settings_;
    DestinationFormat format_;
    SaveFilePicker pickSave_;
    QRadioButton* hardDrive_;
    QRadioButton* ftp_;
    QLineEdit* path_;
    QPushButton* browse_;
    QLineEdit* ftpName_;
    QLineEdit* user_;
    QLineEdit* password_;
};

}  // namespace tw::ui
