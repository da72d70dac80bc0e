#include "ui/definition_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <utility>

#include "ui/qt_prompter.h"
#include "ui/ui_text.h"

namespace tw::ui {

using config::PageCheck;
using config::PageField;

namespace {

std::string text(const QLineEdit* edit) {
    return edit->text().toStdString();
}

QComboBox* combo(std::initializer_list<std::pair<const char*, int>> items) {
    auto* box = new QComboBox;
    for (const auto& [label, value] : items) box->addItem(QString::fromUtf8(label), value);
    return box;
}

// A stored value the form has no label for is kept as it is rather than silently changed.
void setValue(QComboBox* box, int value) {
    int index = box->findData(value);
    if (index < 0) {
        box->addItem(QString::number(value), value);
        index = box->count() - 1;
    }
    box->setCurrentIndex(index);
}

int value(const QComboBox* box) {
    return box->currentData().toInt();
}
int checked(const QCheckBox* box) {
    return box->isChecked() ? 1 : 0;
}

QLineEdit* secret() {
    auto* edit = new QLineEdit;
    edit->setEchoMode(QLineEdit::Password);
    return edit;
}

}  // namespace

DefinitionForm::DefinitionForm(const config::ReportDefinition& initial,
                               platform::Prompter& prompter, QWidget* parent)
    : QDialog(parent), prompter_(prompter), filters_(initial.filters), tabs_(new QTabWidget) {
    setWindowTitle(QStringLiteral("Tallyweb Report Editor"));
    tabs_->addTab(buildSourceTab(), QStringLiteral("Log Source"));
    tabs_->addTab(buildSiteTab(), QStringLiteral("Site"));
    tabs_->addTab(buildTrackedTab(), QStringLiteral("Tracked Files"));
    tabs_->addTab(buildTreeTab(), QStringLiteral("Tree View"));
    tabs_->addTab(buildExportTab(), QStringLiteral("Export"));
    auto* filters = new QLabel(QStringLiteral("%1 filter(s)").arg(filters_.size()));
    filters->setObjectName(QStringLiteral("filterCount"));
    tabs_->addTab(filters, QStringLiteral("Filters"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &DefinitionForm::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &DefinitionForm::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons);
    load(initial);
}

QWidget* DefinitionForm::buildSourceTab() {
    local_ = combo({{"Download by FTP", 0}, {"Local files", 1}, {"Download by HTTP", 2}});
    file_ = combo({{"Every file in a directory", 0}, {"One file", 1}, {"Wildcard", 2}});
    path_ = new QLineEdit;
    sitename_ = new QLineEdit;
    username_ = new QLineEdit;
    password_ = secret();
    passwordProtected_ = new QCheckBox(QStringLiteral("The log URL needs a login"));
    apache_ = new QCheckBox(QStringLiteral("Apache multiple-file logs"));
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    form->addRow(QStringLiteral("&Source:"), local_);
    form->addRow(QStringLiteral("&Form:"), file_);
    form->addRow(QStringLiteral("&Path or URL:"), path_);
    form->addRow(QStringLiteral("FTP s&ite:"), sitename_);
    form->addRow(QStringLiteral("&User name:"), username_);
    form->addRow(QStringLiteral("Pass&word:"), password_);
    form->addRow(passwordProtected_);
    form->addRow(apache_);
    return page;
}

QWidget* DefinitionForm::buildSiteTab() {
    domain_ = new QLineEdit;
    defaultPage_ = new QLineEdit;
    dns_ = new QCheckBox(QStringLiteral("Resolve visitor addresses to host names"));
    name_ = new QLineEdit;
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    form->addRow(QStringLiteral("Report &name:"), name_);
    form->addRow(QStringLiteral("&Domain:"), domain_);
    form->addRow(QStringLiteral("Default &page:"), defaultPage_);
    form->addRow(dns_);
    return page;
}

QWidget* DefinitionForm::buildTrackedTab() {
    tracked_ = new QPlainTextEdit;
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(QStringLiteral("One site path or pattern a line:")));
    layout->addWidget(tracked_);
    return page;
}

QWidget* DefinitionForm::buildTreeTab() {
    internet_ = combo({{"A local file", 0}, {"A URL", 1}});
    root_ = new QLineEdit;
    depth_ = new QSpinBox;
    depth_->setRange(0, 1000);
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    form->addRow(QStringLiteral("Root page is:"), internet_);
    form->addRow(QStringLiteral("&Root page:"), root_);
    form->addRow(QStringLiteral("&Depth:"), depth_);
    return page;
}

QWidget* DefinitionForm::buildExportTab() {
    export_ = new QCheckBox(QStringLiteral("Automatically Export Report"));
    exportType_ = combo({{"Word document", 0}, {"HTML", 1}, {"Comma-delimited", 2}});
    exportLocation_ = new QLineEdit;
    serviceType_ = combo({{"Save to a local file", 1}, {"Upload to an FTP server", 0}});
    exportUser_ = new QLineEdit;
    exportPassword_ = secret();
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    form->addRow(export_);
    form->addRow(QStringLiteral("&Format:"), exportType_);
    form->addRow(QStringLiteral("&Location:"), exportLocation_);
    form->addRow(QStringLiteral("De&stination:"), serviceType_);
    form->addRow(QStringLiteral("&User name:"), exportUser_);
    form->addRow(QStringLiteral("Pass&word:"), exportPassword_);
    return page;
}

void DefinitionForm::load(const config::ReportDefinition& def) {
    setValue(local_, def.Local);
    setValue(file_, def.File);
    path_->setText(fromText(def.Path));
    sitename_->setText(fromText(def.Sitename));
    username_->setText(fromText(def.Username));
    password_->setText(fromText(def.Password));
    passwordProtected_->setChecked(def.PasswordProtected != 0);
    apache_->setChecked(def.ApacheTwoFileFormat != 0);
    domain_->setText(fromText(def.Domain));
    defaultPage_->setText(fromText(def.DefaultPage));
    dns_->setChecked(def.EnableDNS != 0);
    name_->setText(fromText(def.Name));
    QStringList lines;
    for (const std::string& entry : def.trackFiles) lines << fromText(entry);
    tracked_->setPlainText(lines.join(QLatin1Char('\n')));
    setValue(internet_, def.Internet);
    root_->setText(fromText(def.Root));
    depth_->setValue(def.RecursionDepth);
    export_->setChecked(def.Export != 0);
    setValue(exportType_, def.exportSettings.ExportExportType);
    exportLocation_->setText(fromText(def.exportSettings.ExportLocation));
    setValue(serviceType_, def.exportSettings.ExportServiceType);
    exportUser_->setText(fromText(def.exportSettings.ExportUsername));
    exportPassword_->setText(fromText(def.exportSettings.ExportPassword));
}

config::ReportDefinition DefinitionForm::definition() const {
    config::ReportDefinition def;
    def.Local = value(local_);
    def.File = value(file_);
    def.Path = text(path_);
    def.Sitename = text(sitename_);
    def.Username = text(username_);
    def.Password = text(password_);
    def.PasswordProtected = checked(passwordProtected_);
    def.ApacheTwoFileFormat = checked(apache_);
    def.Domain = text(domain_);
    def.DefaultPage = text(defaultPage_);
    def.EnableDNS = checked(dns_);
    def.Name = text(name_);
    for (const QString& line : tracked_->toPlainText().split(QLatin1Char('\n'))) {
        const QString entry = line.trimmed();
        if (!entry.isEmpty()) def.trackFiles.push_back(entry.toStdString());
    }
    def.Internet = value(internet_);
    def.Root = text(root_);
    def.RecursionDepth = depth_->value();
    def.Export = checked(export_);
    def.exportSettings.ExportExportType = value(exportType_);
    def.exportSettings.ExportLocation = text(exportLocation_);
    def.exportSettings.ExportServiceType = value(serviceType_);
    def.exportSettings.ExportUsername = text(exportUser_);
    def.exportSettings.ExportPassword = text(exportPassword_);
    def.filters = filters_;
    return def;
}

PageCheck DefinitionForm::check(config::ReportDefinition& def) const {
    auto tidied = [](config::AdjustedCheck adjusted, std::string& target) {
        if (adjusted.ok()) target = std::move(adjusted.value);
        return adjusted.check;
    };
    PageCheck result;
    if (def.Local == 0) {
        result = tidied(config::checkFtpLocation(def.File, def.Path), def.Path);
        if (result.ok()) result = config::checkFtpLogin(def.Sitename, def.Username, def.Password);
    } else if (def.Local == 2) {
        result = config::checkHttpLocation(def.Path, def.PasswordProtected != 0, def.Username);
    } else {
        result = tidied(config::checkLocalLocation(def.File, def.Path), def.Path);
    }
    for (std::string& entry : def.trackFiles) {
        if (!result.ok()) break;
        result = tidied(config::checkTrackedEntry(entry), entry);
    }
    if (result.ok()) result = config::checkDomain(def.Domain, def.DefaultPage);
    if (result.ok())
        result = config::checkTreeView(def.Internet != 0, def.Root, def.RecursionDepth);
    if (result.ok())
        result = config::checkExport(def.Export != 0, def.exportSettings.ExportLocation);
    if (result.ok()) result = config::checkName(def.Name);
    return result;
}

QWidget* DefinitionForm::widgetFor(PageField field) const {
    switch (field) {
        case PageField::Path:
            return path_;
        case PageField::Sitename:
            return sitename_;
        case PageField::Username:
            return username_;
        case PageField::Password:
            return password_;
        case PageField::TrackedEntry:
            return tracked_;
        case PageField::Domain:
            return domain_;
        case PageField::DefaultPage:
            return defaultPage_;
        case PageField::Root:
            return root_;
        case PageField::RecursionDepth:
            return depth_;
        case PageField::ExportLocation:
            return exportLocation_;
        case PageField::Name:
            return name_;
        case PageField::None:
            break;
    }
    return nullptr;
}

void DefinitionForm::accept() {
    config::ReportDefinition def = definition();
    const PageCheck result = check(def);
    if (!result.ok()) {
        prompter_.message(result.message, platform::Icon::Warning);
        if (QWidget* field = widgetFor(result.field)) {
            for (int i = 0; i < tabs_->count(); ++i)
                if (tabs_->widget(i)->isAncestorOf(field)) tabs_->setCurrentIndex(i);
            field->setFocus();
        }
        return;
    }
    load(def);  // the tidied values are what definition() hands out
    QDialog::accept();
}

}  // namespace tw::ui
