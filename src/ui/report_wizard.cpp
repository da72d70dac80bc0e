#include "ui/report_wizard.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QWizardPage>
#include <utility>

#include "platform/strings.h"
#include "ui/filter_list_editor.h"
#include "ui/ui_text.h"

namespace tw::ui {

using config::PageCheck;
using config::PageField;

namespace {

// The values of Local as the run reads them.
constexpr int kFtp = 0;
constexpr int kLocal = 1;
constexpr int kHttp = 2;

// What each page is called: object name, wizard title and subtitle, the editor's tab, and the
// help topic. Tab labels stay short so that every tab fits without scroll arrows.
struct PageText {
    const char* name;
    const char* title;
    const char* subtitle;
    const char* tab;
    int help;
};

namespace help = platform::help;

constexpr std::array<PageText, ReportWizard::kPageCount> kPages{{
    {"sourcePage", "Log Source", "Where are the log files of your web server?", "Source",
     help::ReportWizardName},
    {"apachePage", "Log File Format",
     "Most servers write one log file; some Apache servers write three.", "Format",
     help::LogFormats},
    {"localPage", "Log File Location", "Which log files on this computer should be analysed?",
     "Files", help::ReportWizardLocal},
    {"ftpLocationPage", "FTP Log File Location",
     "Which log files on the FTP server should be downloaded and analysed?", "FTP Files",
     help::ReportWizardFtp},
    {"ftpLoginPage", "FTP Login", "How does Tallyweb log into the FTP server?", "FTP Login",
     help::ReportWizardFtp},
    {"httpPage", "HTTP Log File Location", "At which web addresses are the log files?", "HTTP",
     help::ReportWizardHttp},
    {"trackedPage", "Tracked Files",
     "Files whose hits and bandwidth are followed day by day, each in a graph of its own.",
     "Tracked", help::ReportWizardTracking},
    {"filtersPage", "Filters", "Which requests should this report count?", "Filters",
     help::ReportWizardFilters},
    {"domainPage", "Your Web Site", "The name of your site and the page a folder address shows.",
     "Site", help::ReportWizardSite},
    {"dnsPage", "Reverse DNS", "Should visitor addresses be turned into host names?", "DNS",
     help::ReportWizardDns},
    {"treePage", "Hyperlink Tree View", "Where does the tree of your site's pages start?",
     "Tree", help::ReportWizardTree},
    {"exportPage", "Export", "Should every run of this report also export it?", "Export",
     help::ReportWizardExport},
    {"namePage", "Report Name", "The name this report has in the Report List.", "Name",
     help::ReportWizardName},
}};

QLabel* wrapped(const QString& text) {
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    return label;
}

QLineEdit* lineEdit(const char* name) {
    auto* edit = new QLineEdit;
    edit->setObjectName(name);
    return edit;
}

QLineEdit* passwordEdit(const char* name) {
    QLineEdit* edit = lineEdit(name);
    edit->setEchoMode(QLineEdit::Password);
    return edit;
}

QPushButton* pushButton(const QString& label, const char* name) {
    auto* b = new QPushButton(label);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

std::string text(const QLineEdit* edit) {
    return edit->text().toStdString();
}

// Stored values outside 0..2 are read by the checks and the run as one file.
int formOf(int file) {
    return file >= 0 && file <= 2 ? file : 1;
}

}  // namespace

ReportWizard::ReportWizard(const config::ReportDefinition& initial, Mode mode,
                           platform::Prompter& prompter, QWidget* parent)
    : QWizard(parent), prompter_(prompter), mode_(mode), def_(initial) {
    pickFolder_ = [](QWidget* owner, const QString& start) {
        return QFileDialog::getExistingDirectory(owner, tr("Select Log File Folder"), start,
                                                 QFileDialog::ShowDirsOnly);
    };
    pickFile_ = [](QWidget* owner, const QString& start) {
        return QFileDialog::getOpenFileName(owner, tr("Select File"), start);
    };

    bodies_ = {makeSourcePage(),  makeApachePage(),  makeLocationPage(true),
               makeLocationPage(false), makeFtpLoginPage(), makeHttpPage(),
               makeTrackedPage(), makeFiltersPage(), makeDomainPage(),
               makeDnsPage(),     makeTreePage(),    makeExportPage(),
               makeNamePage()};
    for (int page = 0; page < kPageCount; ++page) {
        pageWidget(page)->setObjectName(kPages[static_cast<std::size_t>(page)].name);
        load(page);
    }

    setWizardStyle(QWizard::ClassicStyle);
    setOption(QWizard::HaveHelpButton);
    connect(this, &QWizard::helpRequested, this, &ReportWizard::showHelp);
    if (mode_ == Mode::Wizard)
        buildWizard();
    else
        buildEditor();
    sourceChanged();
    for (QRadioButton* r : {sourceFtp_, sourceLocal_, sourceHttp_})
        connect(r, &QRadioButton::toggled, this, &ReportWizard::sourceChanged);
}

void ReportWizard::buildWizard() {
    setWindowTitle(tr("Tallyweb Report Wizard"));
    setOption(QWizard::NoBackButtonOnStartPage);
    for (int page = 0; page < kPageCount; ++page) {
        const PageText& t = kPages[static_cast<std::size_t>(page)];
        auto* p = new QWizardPage;
        p->setTitle(tr(t.title));
        p->setSubTitle(tr(t.subtitle));
        auto* layout = new QVBoxLayout(p);
        layout->addWidget(pageWidget(page));
        setPage(page, p);
    }
    setStartId(kSourcePage);
}

void ReportWizard::buildEditor() {
    setWindowTitle(tr("Tallyweb Report Editor"));
    tabs_ = new QTabWidget;
    tabs_->setObjectName("pages");
    // Every page must be reachable at a glance; the dialog grows to the tab bar instead.
    tabs_->setUsesScrollButtons(false);
    for (int page = 0; page < kPageCount; ++page)
        tabs_->addTab(pageWidget(page), tr(kPages[static_cast<std::size_t>(page)].tab));
    // Without scroll buttons the bar would be cut off at the dialog's edge instead.
    tabs_->setMinimumWidth(tabs_->tabBar()->sizeHint().width() +
                           2 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth));
    auto* p = new QWizardPage;
    auto* layout = new QVBoxLayout(p);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tabs_);
    setPage(kEditorPage, p);
    setStartId(kEditorPage);
    setButtonText(QWizard::FinishButton, tr("OK"));
    setButtonLayout({QWizard::HelpButton, QWizard::Stretch, QWizard::FinishButton,
                     QWizard::CancelButton});
    connect(tabs_, &QTabWidget::currentChanged, this, &ReportWizard::tabChanged);
}

QWidget* ReportWizard::makeSourcePage() {
    auto* page = new QWidget;
    sourceLocal_ = new QRadioButton(tr("On this &computer (or a mounted network drive)"));
    sourceLocal_->setObjectName("sourceLocal");
    sourceFtp_ = new QRadioButton(tr("On an &FTP server: download them first"));
    sourceFtp_->setObjectName("sourceFtp");
    sourceHttp_ = new QRadioButton(tr("At &web addresses: download them by HTTP first"));
    sourceHttp_->setObjectName("sourceHttp");
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(wrapped(tr("Tallyweb reads the log files your web server writes. Where can "
                                 "it find them?")));
    layout->addWidget(sourceLocal_);
    layout->addWidget(sourceFtp_);
    layout->addWidget(sourceHttp_);
    layout->addStretch();
    return page;
}

QWidget* ReportWizard::makeApachePage() {
    auto* page = new QWidget;
    apache_ = new QCheckBox(tr("The server writes &Apache's separate access, referrer and agent "
                               "logs"));
    apache_->setObjectName("apache");
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(wrapped(tr(
        "Tallyweb recognises common, combined, IIS and W3C extended logs by itself. Tick the box "
        "only if the server keeps the referrers and the browsers in log files of their own "
        "beside the access log.")));
    layout->addWidget(apache_);
    layout->addStretch();
    return page;
}

QWidget* ReportWizard::makeLocationPage(bool local) {
    LocationForms& forms = local ? local_ : ftp_;
    const QString where = local ? QStringLiteral("local") : QStringLiteral("ftp");
    static constexpr std::array<const char*, 3> kForm{"Directory", "File", "Wildcard"};
    const std::array<QString, 3> labels{tr("Every log file in a &directory:"),
                                        tr("&One log file:"),
                                        tr("Log files matching a &wildcard:")};
    auto* page = new QWidget;
    auto* grid = new QGridLayout;
    for (std::size_t form = 0; form < 3; ++form) {
        auto* choice = new QRadioButton(labels[form]);
        choice->setObjectName(where + kForm[form] + "Choice");
        auto* path = new QLineEdit;
        path->setObjectName(where + kForm[form]);
        forms.choice[form] = choice;
        forms.path[form] = path;
        const int row = static_cast<int>(form) * 2;
        grid->addWidget(choice, row, 0, 1, 2);
        grid->addWidget(path, row + 1, 0);
        connect(choice, &QRadioButton::toggled, path, [path](bool on) {
            path->setEnabled(on);
            if (on) path->setFocus();
        });
        path->setEnabled(false);
    }
    if (local) {
        QPushButton* folder = pushButton(tr("&Browse..."), "browseDirectory");
        QPushButton* file = pushButton(tr("B&rowse..."), "browseFile");
        grid->addWidget(folder, 1, 1);
        grid->addWidget(file, 3, 1);
        connect(folder, &QPushButton::clicked, this, [this] {
            const QString picked = pickFolder_(this, local_.path[0]->text());
            if (picked.isEmpty()) return;
            local_.choice[0]->setChecked(true);
            local_.path[0]->setText(picked);
        });
        connect(file, &QPushButton::clicked, this, [this] {
            const QString picked = pickFile_(this, local_.path[1]->text());
            if (picked.isEmpty()) return;
            local_.choice[1]->setChecked(true);
            local_.path[1]->setText(picked);
        });
    }
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(wrapped(
        local ? tr("A folder is read with every file below it, oldest first; .gz files are "
                   "read as they are. Separate several entries with \";\".")
              : tr("Give the folder or file as the FTP server names it, for example "
                   "/logs/ or /logs/access_log*.")));
    layout->addLayout(grid);
    layout->addStretch();
    return page;
}

QWidget* ReportWizard::makeFtpLoginPage() {
    auto* page = new QWidget;
    ftpSite_ = lineEdit("ftpSite");
    ftpUser_ = lineEdit("ftpUser");
    ftpPassword_ = passwordEdit("ftpPassword");
    auto* form = new QFormLayout;
    form->addRow(tr("FTP &site:"), ftpSite_);
    form->addRow(tr("&User name:"), ftpUser_);
    form->addRow(tr("&Password:"), ftpPassword_);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(wrapped(tr("For a server that allows anonymous logins, type \"anonymous\" "
                                 "as the user name and leave the password empty.")));
    layout->addLayout(form);
    layout->addStretch();
    return page;
}

QWidget* ReportWizard::makeHttpPage() {
    auto* page = new QWidget;
    httpUrl_ = lineEdit("httpUrl");
    httpProtected_ = new QCheckBox(tr("The server asks for a user name and &password"));
    httpProtected_->setObjectName("httpProtected");
    httpUser_ = lineEdit("httpUser");
    httpPassword_ = passwordEdit("httpPassword");
    auto* form = new QFormLayout;
    form->addRow(tr("Log file &address:"), httpUrl_);
    form->addRow(httpProtected_);
    form->addRow(tr("&User name:"), httpUser_);
    form->addRow(tr("Pass&word:"), httpPassword_);
    const auto follow = [this](bool on) {
        httpUser_->setEnabled(on);
        httpPassword_->setEnabled(on);
    };
    connect(httpProtected_, &QCheckBox::toggled, this, follow);
    follow(false);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(wrapped(tr("An address begins with http:// or https://. Separate several "
                                 "addresses with \";\".")));
    layout->addLayout(form);
    layout->addStretch();
    return page;
}

QWidget* ReportWizard::makeTrackedPage() {
    auto* page = new QWidget;
    tracked_ = new QListWidget;
    tracked_->setObjectName("trackedFiles");
    QPushButton* add = pushButton(tr("&Add..."), "addTracked");
    removeTracked_ = pushButton(tr("&Remove"), "removeTracked");
    connect(add, &QPushButton::clicked, this, &ReportWizard::addTracked);
    connect(removeTracked_, &QPushButton::clicked, this, [this] {
        delete tracked_->takeItem(tracked_->currentRow());
    });
    connect(tracked_, &QListWidget::currentRowChanged, this,
            [this](int row) { removeTracked_->setEnabled(row >= 0); });
    removeTracked_->setEnabled(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(removeTracked_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(wrapped(tr("A path on the site, such as /download/setup.exe, or a "
                                 "wildcard, such as /docs/*.pdf.")));
    layout->addWidget(tracked_, 1);
    layout->addLayout(buttons);
    return page;
}

QWidget* ReportWizard::makeFiltersPage() {
    filters_ = new FilterListEditor(prompter_, "reportFilters",
                                    tr("This report counts only the requests these filters "
                                       "let through, after the global filters of the Options."));
    return filters_;
}

QWidget* ReportWizard::makeDomainPage() {
    auto* page = new QWidget;
    domain_ = lineEdit("domain");
    defaultPage_ = lineEdit("defaultPage");
    auto* form = new QFormLayout;
    form->addRow(tr("&Domain:"), domain_);
    form->addRow(tr("Default &page:"), defaultPage_);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(wrapped(tr(
        "The domain (for example www.example.com, or www.provider.com/~you for a site under a "
        "provider's host) tells your own pages from other sites among the referrers. The default "
        "page is the file the server sends for a folder address.")));
    layout->addLayout(form);
    layout->addStretch();
    return page;
}

QWidget* ReportWizard::makeDnsPage() {
    auto* page = new QWidget;
    dns_ = new QCheckBox(tr("&Resolve visitor addresses to host names"));
    dns_->setObjectName("enableDns");
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(wrapped(tr(
        "Host names show where visitors come from (the Geographical Location report). Looking "
        "them up needs a connection to the Internet and makes the first run slower; the answers "
        "are kept for later runs.")));
    layout->addWidget(dns_);
    layout->addStretch();
    return page;
}

QWidget* ReportWizard::makeTreePage() {
    auto* page = new QWidget;
    rootLocal_ = new QRadioButton(tr("The root page is a &file on this computer:"));
    rootLocal_->setObjectName("rootLocalChoice");
    rootUrl_ = new QRadioButton(tr("The root page is at a web &address:"));
    rootUrl_->setObjectName("rootUrlChoice");
    rootFile_ = lineEdit("rootFile");
    rootAddress_ = lineEdit("rootUrl");
    browseRoot_ = pushButton(tr("&Browse..."), "browseRoot");
    depth_ = new QSpinBox;
    depth_->setObjectName("depth");
    depth_->setRange(0, 1000);
    connect(rootLocal_, &QRadioButton::toggled, this, &ReportWizard::followRootChoice);
    connect(browseRoot_, &QPushButton::clicked, this, [this] {
        const QString picked = pickFile_(this, rootFile_->text());
        if (!picked.isEmpty()) rootFile_->setText(picked);
    });
    auto* grid = new QGridLayout;
    grid->addWidget(rootLocal_, 0, 0, 1, 2);
    grid->addWidget(rootFile_, 1, 0);
    grid->addWidget(browseRoot_, 1, 1);
    grid->addWidget(rootUrl_, 2, 0, 1, 2);
    grid->addWidget(rootAddress_, 3, 0);
    auto* depth = new QFormLayout;
    depth->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    depth->addRow(tr("Link &depth:"), depth_);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(wrapped(tr("Tallyweb follows the links from the root page to show how "
                                 "visitors move through the site. Leave the root empty for no "
                                 "tree.")));
    layout->addLayout(grid);
    layout->addLayout(depth);
    layout->addStretch();
    return page;
}

QWidget* ReportWizard::makeExportPage() {
    auto* page = new QWidget;
    export_ = new QCheckBox(tr("Automatically &Export Report"));
    export_->setObjectName("exportAutomatically");
    exportOptions_ = pushButton(tr("Export &Options..."), "exportOptions");
    exportSummary_ = wrapped({});
    exportSummary_->setObjectName("exportSummary");
    connect(exportOptions_, &QPushButton::clicked, this, &ReportWizard::chooseExport);
    auto* row = new QHBoxLayout;
    row->addWidget(exportOptions_);
    row->addStretch();
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(wrapped(tr("An exported report can be read without Tallyweb: on a web "
                                 "site, in a word processor or in a spreadsheet.")));
    layout->addWidget(export_);
    layout->addLayout(row);
    layout->addWidget(exportSummary_);
    layout->addStretch();
    return page;
}

QWidget* ReportWizard::makeNamePage() {
    auto* page = new QWidget;
    name_ = lineEdit("name");
    auto* form = new QFormLayout;
    form->addRow(tr("Report &name:"), name_);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(wrapped(tr("The name tells this report from the others in the Report List "
                                 "and chooses it on the command line.")));
    layout->addLayout(form);
    layout->addStretch();
    return page;
}

void ReportWizard::load(int page) {
    // The location and login fields are shared between the sources in the definition; only
    // the source it was made for shows them, the others start empty.
    const auto loadForms = [this](LocationForms& forms, int source) {
        const std::size_t form = static_cast<std::size_t>(formOf(def_.File));
        forms.choice[form]->setChecked(true);
        if (def_.Local == source) forms.path[form]->setText(fromText(def_.Path));
    };
    switch (page) {
        case kSourcePage:
            (def_.Local == kFtp ? sourceFtp_ : def_.Local == kHttp ? sourceHttp_ : sourceLocal_)
                ->setChecked(true);
            break;
        case kApachePage:
            apache_->setChecked(def_.ApacheTwoFileFormat != 0);
            break;
        case kLocalPage:
            // Anything but FTP and HTTP is read as local files.
            loadForms(local_, def_.Local == kFtp || def_.Local == kHttp ? kLocal : def_.Local);
            break;
        case kFtpLocationPage:
            loadForms(ftp_, kFtp);
            break;
        case kFtpLoginPage:
            if (def_.Local != kFtp) break;
            ftpSite_->setText(fromText(def_.Sitename));
            ftpUser_->setText(fromText(def_.Username));
            ftpPassword_->setText(fromText(def_.Password));
            break;
        case kHttpPage:
            httpProtected_->setChecked(def_.PasswordProtected != 0);
            if (def_.Local != kHttp) break;
            httpUrl_->setText(fromText(def_.Path));
            httpUser_->setText(fromText(def_.Username));
            httpPassword_->setText(fromText(def_.Password));
            break;
        case kTrackedPage:
            tracked_->clear();
            for (const std::string& entry : def_.trackFiles) tracked_->addItem(fromText(entry));
            break;
        case kFiltersPage:
            filters_->setFilters(def_.filters);
            break;
        case kDomainPage:
            domain_->setText(fromText(def_.Domain));
            defaultPage_->setText(fromText(def_.DefaultPage));
            break;
        case kDnsPage:
            dns_->setChecked(def_.EnableDNS != 0);
            break;
        case kTreePage:
            (def_.Internet != 0 ? rootUrl_ : rootLocal_)->setChecked(true);
            followRootChoice();
            (def_.Internet != 0 ? rootAddress_ : rootFile_)->setText(fromText(def_.Root));
            depth_->setValue(def_.RecursionDepth);
            break;
        case kExportPage:
            export_->setChecked(def_.Export != 0);
            exportChosen_ = def_.exportSettings;
            showExportSummary();
            break;
        case kNamePage:
            name_->setText(fromText(def_.Name));
            break;
        default:
            break;
    }
}

PageCheck ReportWizard::leave(int page) {
    // A location page shows the tidied path, so that what the user sees is what is stored.
    const auto leaveForms = [this](LocationForms& forms, bool local) {
        std::size_t form = 0;
        while (form < 2 && !forms.choice[form]->isChecked()) ++form;
        QLineEdit* path = forms.path[form];
        const int file = static_cast<int>(form);
        config::AdjustedCheck c = local ? config::checkLocalLocation(file, text(path))
                                        : config::checkFtpLocation(file, text(path));
        if (!c.ok()) return c.check;
        path->setText(fromText(c.value));
        def_.File = file;
        def_.Path = std::move(c.value);
        return PageCheck::accepted();
    };
    switch (page) {
        case kSourcePage:
            def_.Local = chosenSource();
            return PageCheck::accepted();
        case kApachePage:
            def_.ApacheTwoFileFormat = apache_->isChecked() ? 1 : 0;
            return PageCheck::accepted();
        case kLocalPage:
            return leaveForms(local_, true);
        case kFtpLocationPage:
            return leaveForms(ftp_, false);
        case kFtpLoginPage: {
            const PageCheck c =
                config::checkFtpLogin(text(ftpSite_), text(ftpUser_), text(ftpPassword_));
            if (!c.ok()) return c;
            def_.Sitename = text(ftpSite_);
            def_.Username = text(ftpUser_);
            def_.Password = text(ftpPassword_);
            return c;
        }
        case kHttpPage: {
            const PageCheck c = config::checkHttpLocation(
                text(httpUrl_), httpProtected_->isChecked(), text(httpUser_));
            if (!c.ok()) return c;
            def_.Path = text(httpUrl_);
            def_.PasswordProtected = httpProtected_->isChecked() ? 1 : 0;
            def_.Username = text(httpUser_);
            def_.Password = text(httpPassword_);
            return c;
        }
        case kTrackedPage:
            def_.trackFiles.clear();
            for (int row = 0; row < tracked_->count(); ++row)
                def_.trackFiles.push_back(
                    config::trackedFileEntry(tracked_->item(row)->text().toStdString()));
            return PageCheck::accepted();
        case kFiltersPage:
            def_.filters = filters_->filters();
            return PageCheck::accepted();
        case kDomainPage: {
            const PageCheck c = config::checkDomain(text(domain_), text(defaultPage_));
            if (!c.ok()) return c;
            def_.Domain = text(domain_);
            def_.DefaultPage = text(defaultPage_);
            return c;
        }
        case kDnsPage:
            def_.EnableDNS = dns_->isChecked() ? 1 : 0;
            return PageCheck::accepted();
        case kTreePage: {
            const bool internet = rootUrl_->isChecked();
            const std::string root = text(internet ? rootAddress_ : rootFile_);
            const PageCheck c = config::checkTreeView(internet, root, depth_->value());
            if (!c.ok()) return c;
            def_.Internet = internet ? 1 : 0;
            def_.Root = root;
            def_.RecursionDepth = depth_->value();
            return c;
        }
        case kExportPage: {
            const PageCheck c =
                config::checkExport(export_->isChecked(), exportChosen_.ExportLocation);
            if (!c.ok()) return c;
            def_.Export = export_->isChecked() ? 1 : 0;
            def_.exportSettings = exportChosen_;
            return c;
        }
        case kNamePage: {
            const PageCheck c = config::checkName(text(name_));
            if (c.ok()) def_.Name = text(name_);
            return c;
        }
        default:
            return PageCheck::accepted();
    }
}

void ReportWizard::followRootChoice() {
    const bool local = rootLocal_->isChecked();
    rootFile_->setEnabled(local);
    browseRoot_->setEnabled(local);
    rootAddress_->setEnabled(!local);
}

void ReportWizard::refuse(int page, const PageCheck& why) {
    if (tabs_ != nullptr) showTab(page);
    prompter_.message(why.message, platform::Icon::Warning);
    if (QWidget* field = faultField(page, why.field)) {
        field->setFocus();
        if (auto* edit = qobject_cast<QLineEdit*>(field)) edit->selectAll();
    }
}

QWidget* ReportWizard::faultField(int page, PageField field) const {
    const auto chosenPath = [](const LocationForms& forms) {
        for (std::size_t form = 0; form < 3; ++form)
            if (forms.choice[form]->isChecked()) return forms.path[form];
        return forms.path[0];
    };
    switch (field) {
        case PageField::Path:
            return page == kLocalPage         ? chosenPath(local_)
                   : page == kFtpLocationPage ? chosenPath(ftp_)
                                              : httpUrl_;
        case PageField::Sitename:
            return ftpSite_;
        case PageField::Username:
            return page == kHttpPage ? httpUser_ : ftpUser_;
        case PageField::Password:
            return ftpPassword_;
        case PageField::Domain:
            return domain_;
        case PageField::DefaultPage:
            return defaultPage_;
        case PageField::Root:
            return rootUrl_->isChecked() ? rootAddress_ : rootFile_;
        case PageField::RecursionDepth:
            return depth_;
        case PageField::ExportLocation:
            return exportOptions_;
        case PageField::Name:
            return name_;
        case PageField::TrackedEntry:
        case PageField::None:
            break;
    }
    return nullptr;
}

int ReportWizard::chosenSource() const {
    if (sourceFtp_->isChecked()) return kFtp;
    if (sourceHttp_->isChecked()) return kHttp;
    return kLocal;
}

bool ReportWizard::pageUsed(int page) const {
    switch (page) {
        case kLocalPage:
            return chosenSource() == kLocal;
        case kFtpLocationPage:
        case kFtpLoginPage:
            return chosenSource() == kFtp;
        case kHttpPage:
            return chosenSource() == kHttp;
        default:
            return page >= 0 && page < kPageCount;
    }
}

void ReportWizard::sourceChanged() {
    if (tabs_ == nullptr) return;
    for (int page = kLocalPage; page <= kHttpPage; ++page)
        tabs_->setTabEnabled(page, pageUsed(page));
}

int ReportWizard::nextId() const {
    if (mode_ == Mode::Editor) return -1;
    for (int page = currentId() + 1; page < kPageCount; ++page)
        if (pageUsed(page)) return page;
    return -1;
}

bool ReportWizard::validateCurrentPage() {
    if (mode_ == Mode::Wizard) {
        const int page = currentId();
        const PageCheck c = leave(page);
        if (!c.ok()) refuse(page, c);
        return c.ok();
    }
    // OK: the tab in front first, then every page in order, so that nothing unchecked is
    // stored even from tabs the user never opened.
    const int current = tabs_->currentIndex();
    PageCheck c = leave(current);
    if (!c.ok()) {
        refuse(current, c);
        return false;
    }
    for (int page = 0; page < kPageCount; ++page) {
        if (page == current || !pageUsed(page)) continue;
        c = leave(page);
        if (!c.ok()) {
            refuse(page, c);
            return false;
        }
    }
    return true;
}

void ReportWizard::showTab(int index) {
    switchingTabs_ = true;
    tabs_->setCurrentIndex(index);
    shownTab_ = index;
    switchingTabs_ = false;
}

void ReportWizard::tabChanged(int index) {
    if (switchingTabs_ || index == shownTab_) return;
    const int left = shownTab_;
    const PageCheck c = leave(left);
    if (!c.ok()) {
        refuse(left, c);  // brings the refused tab back
        return;
    }
    shownTab_ = index;
}

void ReportWizard::addTracked() {
    QDialog dialog(this);
    dialog.setObjectName("trackedEntryDialog");
    dialog.setWindowTitle(tr("Track File"));
    QLineEdit* entry = lineEdit("trackedEntry");
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
        config::AdjustedCheck c = config::checkTrackedEntry(text(entry));
        if (!c.ok()) {
            prompter_.message(c.check.message, platform::Icon::Warning);
            entry->setFocus();
            return;
        }
        entry->setText(fromText(c.value));
        dialog.accept();
    });
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(wrapped(tr("File or directory to track, as a path on the site:")));
    layout->addWidget(entry);
    layout->addWidget(buttons);
    dialog.resize(420, dialog.sizeHint().height());
    if (dialog.exec() != QDialog::Accepted) return;
    tracked_->addItem(entry->text());
    tracked_->setCurrentRow(tracked_->count() - 1);
}

void ReportWizard::chooseExport() {
    ExportWizard wizard(prompter_, ExportWizard::Mode::Settings, exportChosen_, this);
    if (pickDestination_) wizard.setDestinationPicker(pickDestination_);
    if (wizard.exec() != QDialog::Accepted) return;
    exportChosen_ = wizard.settings();
    showExportSummary();
}

void ReportWizard::showExportSummary() {
    const config::ExportSettings& s = exportChosen_;
    if (s.ExportLocation.empty()) {
        exportSummary_->setText(tr("No export location has been chosen yet."));
        return;
    }
    const QString format = s.ExportExportType == 0   ? tr("A Word document")
                           : s.ExportExportType == 2 ? tr("Comma-delimited files")
                                                     : tr("An HTML page");
    const QString where = s.ExportServiceType == 0 ? tr("uploaded to") : tr("saved at");
    exportSummary_->setText(tr("%1, %2 %3").arg(format, where, fromText(s.ExportLocation)));
}

void ReportWizard::showEvent(QShowEvent* event) {
    QWizard::showEvent(event);
    if (tabs_ == nullptr) return;
    // The wizard does not take its pages' minimum sizes as its own: make room for every tab,
    // with the margins the wizard keeps on either side of them.
    const int margin = tabs_->mapTo(this, QPoint(0, 0)).x();
    setMinimumWidth(tabs_->minimumWidth() + 2 * margin);
    if (width() < minimumWidth()) resize(minimumWidth(), height());
}

void ReportWizard::showHelp() {
    const int page = tabs_ != nullptr ? tabs_->currentIndex() : currentId();
    if (page >= 0 && page < kPageCount)
        prompter_.openHelp(kPages[static_cast<std::size_t>(page)].help);
}

}  // namespace tw::ui
