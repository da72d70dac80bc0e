#include "ui/export_wizard.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/strings.h"

namespace tw::ui {
namespace {

// The values of ExportExportType and ExportServiceType as the export run reads them.
constexpr int kWord = 0;
constexpr int kHtml = 1;
constexpr int kCommaDelimited = 2;
constexpr int kLocalFile = 1;

constexpr std::string_view kNeedLocation =
    "You must specify a location to save the report at. Click the Location button.";
constexpr std::string_view kNeedDirectory = "You must specify a directory";
constexpr std::string_view kOfferToCreate =
    "The specified directory does not exist.\n\nWould you like Tallyweb to create the directory?";

QLabel* wrapped(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

std::optional<config::ExportSettings> runDestinationDialog(QWidget* parent,
                                                           platform::Prompter& prompter,
                                                           const SaveFilePicker& pickSave,
                                                           const config::ExportSettings& current,
                                                           const DestinationFormat& format) {
    DestinationDialog dialog(prompter, current, format, parent);
    if (pickSave) dialog.setSaveFilePicker(pickSave);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.settings();
}

}  // namespace

DestinationFormat ExportWizard::formatFor(int exportType) {
    // Our Word writer produces Office Open XML documents, hence .docx rather than .doc.
    if (exportType == kWord)
        return {QStringLiteral("docx"), QStringLiteral("Word Document (*.docx)")};
    return {QStringLiteral("html"), QStringLiteral("HTML Files (*.html *.htm)")};
}

ExportWizard::ExportWizard(platform::Prompter& prompter, Mode mode,
                           const config::ExportSettings& initial, QWidget* parent)
    : QWizard(parent), prompter_(prompter), mode_(mode), settings_(initial) {
    if (mode_ == Mode::Export) {
        settings_.ExportExportType = kHtml;
        settings_.ExportServiceType = kLocalFile;
    }
    setWindowTitle(tr("Export"));
    setWizardStyle(QWizard::ClassicStyle);
    setOption(QWizard::NoBackButtonOnStartPage);
    setOption(QWizard::HaveHelpButton);
    connect(this, &QWizard::helpRequested, this, [this] {
        namespace help = platform::help;
        switch (currentId()) {
            case kHtmlPage:
                prompter_.openHelp(help::ExportHtml);
                break;
            case kWordPage:
                prompter_.openHelp(help::ExportWord);
                break;
            case kCsvPage:
                prompter_.openHelp(help::ExportCsv);
                break;
            default:
                prompter_.openHelp(help::ExportFormat);
                break;
        }
    });
    pickFolder_ = [](QWidget* owner, const QString& start) {
        return QFileDialog::getExistingDirectory(owner, tr("Select Folder"), start,
                                                 QFileDialog::ShowDirsOnly);
    };
    pickDestination_ = [this](QWidget* owner, const config::ExportSettings& current,
                              const DestinationFormat& format) {
        return runDestinationDialog(owner, prompter_, pickSave_, current, format);
    };
    setPage(kTypePage, new ExportTypePage(*this));
    setPage(kHtmlPage, new ExportLocationPage(*this, kHtml));
    setPage(kWordPage, new ExportLocationPage(*this, kWord));
    setPage(kCsvPage, new ExportDirectoryPage(*this));
    setStartId(kTypePage);
}

ExportTypePage::ExportTypePage(ExportWizard& wizard) : wizard_(wizard) {
    setTitle(tr("Export Reports"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(wrapped(
        tr("Tallyweb allows you to export the reports it generates to other file formats for "
           "permanent storage and/or further analysis. You can choose between three file "
           "formats:"),
        this));
    word_ = new QRadioButton(tr("Microsoft &Word"), this);
    html_ = new QRadioButton(tr("&HTML"), this);
    csv_ = new QRadioButton(tr("&Comma Delimited Format (spreadsheets)"), this);
    word_->setObjectName("word");
    html_->setObjectName("html");
    csv_->setObjectName("commaDelimited");
    layout->addWidget(word_);
    layout->addWidget(html_);
    layout->addWidget(csv_);
    layout->addStretch(1);
}

QRadioButton* ExportTypePage::choice(int exportType) const {
    return exportType == kWord ? word_ : exportType == kCommaDelimited ? csv_ : html_;
}

int ExportTypePage::chosenType() const {
    return word_->isChecked() ? kWord : csv_->isChecked() ? kCommaDelimited : kHtml;
}

void ExportTypePage::initializePage() {
    choice(wizard_.settings_.ExportExportType)->setChecked(true);
}

bool ExportTypePage::validatePage() {
    wizard_.settings_.ExportExportType = chosenType();
    return true;
}

int ExportTypePage::nextId() const {
    switch (chosenType()) {
        case kWord:
            return ExportWizard::kWordPage;
        case kCommaDelimited:
            return ExportWizard::kCsvPage;
        default:
            return ExportWizard::kHtmlPage;
    }
}

ExportLocationPage::ExportLocationPage(ExportWizard& wizard, int exportType)
    : wizard_(wizard), exportType_(exportType) {
    const bool word = exportType == kWord;
    setTitle(word ? tr("Microsoft Word Format") : tr("HTML Format"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(wrapped(
        word ? tr("You can export the Word report to your hard drive, a FTP server, or to a web "
                  "site. Click the Location button to specify the export location.")
             : tr("You can export the HTML report to your hard drive, a FTP server, or to a web "
                  "site. Click the Location button to specify the export location."),
        this));
    auto* row = new QHBoxLayout;
    location_ = new QLineEdit(this);
    location_->setObjectName("location");
    // The destination dialog is the one place the location is set, so that it always comes
    // with its service type and login.
    location_->setReadOnly(true);
    button_ = new QPushButton(tr("&Location"), this);
    button_->setObjectName("locationButton");
    row->addWidget(location_, 1);
    row->addWidget(button_);
    layout->addLayout(row);
    if (word)
        layout->addWidget(wrapped(tr("Note: exporting to Word is significantly slower than "
                                     "exporting to HTML or Comma-Delimited format."),
                                  this));
    if (exportType == kHtml) {
        // Only the HTML writer can draw the graphs (as pictures inside the page).
        includeGraphs_ = new QCheckBox(tr("Include &graphs"), this);
        includeGraphs_->setObjectName("includeGraphs");
        layout->addWidget(includeGraphs_);
        connect(includeGraphs_, &QCheckBox::toggled, this,
                [this](bool on) { wizard_.settings_.ExportGraphs = on ? 1 : 0; });
    }
    layout->addStretch(1);
    connect(button_, &QPushButton::clicked, this, &ExportLocationPage::chooseDestination);
}

void ExportLocationPage::initializePage() {
    location_->setText(QString::fromStdString(wizard_.settings_.ExportLocation));
    if (includeGraphs_) includeGraphs_->setChecked(wizard_.settings_.ExportGraphs != 0);
}

void ExportLocationPage::chooseDestination() {
    config::ExportSettings current = wizard_.settings_;
    current.ExportExportType = exportType_;
    current.ExportLocation = location_->text().toStdString();
    const auto chosen =
        wizard_.pickDestination_
            ? wizard_.pickDestination_(this, current, ExportWizard::formatFor(exportType_))
            : std::nullopt;
    if (!chosen) return;
    wizard_.settings_.ExportLocation = chosen->ExportLocation;
    wizard_.settings_.ExportServiceType = chosen->ExportServiceType;
    wizard_.settings_.ExportUsername = chosen->ExportUsername;
    wizard_.settings_.ExportPassword = chosen->ExportPassword;
    location_->setText(QString::fromStdString(chosen->ExportLocation));
}

bool ExportLocationPage::validatePage() {
    if (location_->text().trimmed().isEmpty()) {
        wizard_.prompter_.message(kNeedLocation, platform::Icon::Warning);
        location_->setFocus();
        return false;
    }
    wizard_.settings_.ExportExportType = exportType_;
    wizard_.settings_.ExportLocation = location_->text().trimmed().toStdString();
    return true;
}

ExportDirectoryPage::ExportDirectoryPage(ExportWizard& wizard) : wizard_(wizard) {
    setTitle(tr("Comma-Delimited File Format"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        wrapped(tr("Tallyweb will save a separate comma delimited file for each report. In which "
                   "directory would you like to save these comma-delimited files?"),
                this));
    auto* row = new QHBoxLayout;
    directory_ = new QLineEdit(this);
    directory_->setObjectName("directory");
    browse_ = new QPushButton(tr("&Browse"), this);
    browse_->setObjectName("browse");
    row->addWidget(directory_, 1);
    row->addWidget(browse_);
    layout->addLayout(row);
    layout->addStretch(1);
    connect(browse_, &QPushButton::clicked, this, [this] {
        const QString chosen =
            wizard_.pickFolder_ ? wizard_.pickFolder_(this, directory_->text()) : QString();
        if (!chosen.isEmpty()) directory_->setText(QDir::toNativeSeparators(chosen));
    });
}

void ExportDirectoryPage::initializePage() {
    // A file or FTP address chosen for another format is no directory.
    if (wizard_.settings_.ExportServiceType == kLocalFile)
        directory_->setText(QString::fromStdString(wizard_.settings_.ExportLocation));
}

bool ExportDirectoryPage::validatePage() {
    const QString directory = directory_->text().trimmed();
    if (directory.isEmpty()) {
        wizard_.prompter_.message(kNeedDirectory, platform::Icon::Warning);
        directory_->setFocus();
        return false;
    }
    const std::filesystem::path path(directory.toStdString());
    std::error_code ec;
    if (!std::filesystem::is_directory(path, ec)) {
        switch (wizard_.prompter_.askYesNoCancel(kOfferToCreate, platform::Icon::Warning)) {
            case platform::Answer::Yes: {
                std::filesystem::create_directories(path, ec);
                if (ec || !std::filesystem::is_directory(path, ec)) {
                    const std::string text = "There was an error creating the directory:\n\t" +
                                             directory.toStdString() +
                                             "\nThe disk may be full or write-protected.";
                    wizard_.prompter_.message(text, platform::Icon::Error);
                    directory_->setFocus();
                    return false;
                }
                break;
            }
            case platform::Answer::No:
                // The export then writes nothing but still reports completion.
                break;
            default:
                directory_->setFocus();
                return false;
        }
    }
    wizard_.settings_.ExportExportType = kCommaDelimited;
    wizard_.settings_.ExportLocation = directory.toStdString();
    wizard_.settings_.ExportServiceType = kLocalFile;
    return true;
}

}  // namespace tw::ui
