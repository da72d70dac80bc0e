#include "ui/destination_dialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "platform/strings.h"

namespace tw::ui {
namespace {

constexpr int kLocalFile = 1;
constexpr int kFtpUpload = 0;

constexpr std::string_view kNeedLogin =
    "When logging into a FTP site, you must specify a username and password.";

}  // namespace

SaveFilePicker defaultSaveFilePicker() {
    // The platform dialog asks before replacing a file unless told not to.
    return [](QWidget* parent, const QString& initial, const QString& filter) {
        return QFileDialog::getSaveFileName(parent, QString(), initial, filter);
    };
}

QString withFtpScheme(const QString& name) {
    if (name.size() > 6 && !name.startsWith(QLatin1String("ftp://"), Qt::CaseInsensitive))
        return QStringLiteral("ftp://") + name;
    return name;
}

DestinationDialog::DestinationDialog(platform::Prompter& prompter,
                                     const config::ExportSettings& current,
                                     DestinationFormat format, QWidget* parent)
    : QDialog(parent),
      prompter_(prompter),
      settings_(current),
      format_(std::move(format)),
      pickSave_(defaultSaveFilePicker()) {
    setWindowTitle(tr("Select Destination"));
    // Wide enough that the explanations read as paragraphs and an FTP path fits its field.
    setMinimumWidth(480);
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(
        tr("You can save the Tallyweb report to your hard drive, or export it to a FTP site. "
           "Please specify where you would like to place the report. You can include the month "
           "and day in the filename; click Help for more information."),
        this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    hardDrive_ = new QRadioButton(tr("Save the report to my &hard drive"), this);
    hardDrive_->setObjectName("hardDrive");
    layout->addWidget(hardDrive_);
    auto* pathRow = new QHBoxLayout;
    path_ = new QLineEdit(this);
    path_->setObjectName("path");
    browse_ = new QPushButton(tr("&Browse"), this);
    browse_->setObjectName("browse");
    pathRow->addSpacing(20);
    pathRow->addWidget(path_, 1);
    pathRow->addWidget(browse_);
    layout->addLayout(pathRow);

    ftp_ = new QRadioButton(tr("Upload to an &FTP server"), this);
    ftp_->setObjectName("ftp");
    layout->addWidget(ftp_);
    auto* ftpForm = new QFormLayout;
    ftpForm->setContentsMargins(20, 0, 0, 0);
    ftpName_ = new QLineEdit(this);
    ftpName_->setObjectName("ftpName");
    user_ = new QLineEdit(this);
    user_->setObjectName("user");
    password_ = new QLineEdit(this);
    password_->setObjectName("password");
    password_->setEchoMode(QLineEdit::Password);
    ftpForm->addRow(tr("Name and path:"), ftpName_);
    ftpForm->addRow(tr("&Username:"), user_);
    ftpForm->addRow(tr("&Password:"), password_);
    layout->addLayout(ftpForm);
    auto* note = new QLabel(
        tr("Enter the name and path like an address without its scheme: the server name, then "
           "the path, which is taken from the directory the login starts in "
           "(ftp.example.com/reports/site.html)."),
        this);
    note->setWordWrap(true);
    layout->addWidget(note);

    auto* buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::helpRequested, this,
            [this] { prompter_.openHelp(platform::help::ExportDestination); });
    connect(buttons, &QDialogButtonBox::accepted, this, &DestinationDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &DestinationDialog::reject);
    connect(browse_, &QPushButton::clicked, this, &DestinationDialog::browse);
    connect(hardDrive_, &QRadioButton::toggled, this, &DestinationDialog::updateEnabled);

    const QString location = QString::fromStdString(current.ExportLocation);
    if (current.ExportServiceType == kFtpUpload) {
        ftp_->setChecked(true);
        ftpName_->setText(location);
    } else {
        hardDrive_->setChecked(true);
        path_->setText(location);
    }
    user_->setText(QString::fromStdString(current.ExportUsername));
    password_->setText(QString::fromStdString(current.ExportPassword));
    updateEnabled();
}

void DestinationDialog::updateEnabled() {
    const bool local = hardDrive_->isChecked();
    path_->setEnabled(local);
    browse_->setEnabled(local);
    ftpName_->setEnabled(!local);
    user_->setEnabled(!local);
    password_->setEnabled(!local);
}

void DestinationDialog::browse() {
    const QString initial = QStringLiteral("Report.") + format_.defaultExtension;
    const QString chosen = pickSave_ ? pickSave_(this, initial, format_.filter) : QString();
    if (!chosen.isEmpty()) path_->setText(chosen);
}

config::ExportSettings DestinationDialog::settings() const {
    config::ExportSettings out = settings_;
    if (hardDrive_->isChecked()) {
        out.ExportServiceType = kLocalFile;
        out.ExportLocation = path_->text().trimmed().toStdString();
    } else {
        out.ExportServiceType = kFtpUpload;
        out.ExportLocation = ftpName_->text().trimmed().toStdString();
    }
    out.ExportUsername = user_->text().toStdString();
    out.ExportPassword = password_->text().toStdString();
    return out;
}

void DestinationDialog::accept() {
    if (ftp_->isChecked()) {
        if (user_->text().isEmpty() || password_->text().isEmpty()) {
            prompter_.message(kNeedLogin, platform::Icon::Warning);
            user_->setFocus();
            return;
        }
        ftpName_->setText(withFtpScheme(ftpName_->text().trimmed()));
    }
    settings_ = settings();
    QDialog::accept();
}

}  // namespace tw::ui
