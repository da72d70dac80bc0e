#include "ui/options_sheet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "engine/referrers.h"
#include "ui/filter_list_editor.h"
#include "ui/ui_text.h"

namespace tw::ui {
namespace {

using config::RunSettings;

QLabel* note(const char* text) {
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    return label;
}

}  // namespace

OptionsSheet::OptionsSheet(platform::SettingsProfile& settings, platform::Prompter& prompter,
                           QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      prompter_(prompter),
      values_(RunSettings::read(settings)) {
    setWindowTitle("Report Options");
    tabs_ = new QTabWidget;
    tabs_->addTab(makeFiltersPage(), "Global Filters");
    tabs_->addTab(makeLogFilePage(), "Log File Options");
    tabs_->addTab(makeDnsPage(), "Reverse DNS");
    tabs_->addTab(makeEnginesPage(), "Search Engines");

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &OptionsSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &OptionsSheet::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons);
}

QWidget* OptionsSheet::makeFiltersPage() {
    filters_ = new FilterListEditor(prompter_, "globalFilters",
                                    "These filters apply to every report, before the report's own.");
    filters_->setFilters(values_.globalFilters);
    return filters_;
}

QWidget* OptionsSheet::makeLogFilePage() {
    auto* page = new QWidget;
    dateOrder_ = new QComboBox;
    dateOrder_->setObjectName("EuropeanFormat");
    dateOrder_->addItem("Month first (MM/DD/YYYY)");
    dateOrder_->addItem("Day first (DD/MM/YYYY)");
    dateOrder_->setCurrentIndex(values_.EuropeanFormat != 0 ? 1 : 0);

    auto* form = new QFormLayout;
    form->addRow("Numeric dates in log files:", dateOrder_);
    form->addRow("Time offset (hours added to logged times):",
                 number(page, "TimeOffset", "Time offset", &RunSettings::TimeOffset, true));
    form->addRow("Most items kept in a report:",
                 number(page, "TruncateReports", "Most items kept in a report",
                        &RunSettings::TruncateReports));
    form->addRow("Most rows exported per report:",
                 number(page, "TruncateExport", "Most rows exported per report",
                        &RunSettings::TruncateExport));
    form->addRow("Most recent visitors listed:",
                 number(page, "LastItems", "Most recent visitors listed", &RunSettings::LastItems));

    auto* layout = new QVBoxLayout(page);
    layout->addLayout(form);
    layout->addWidget(box("DoNotDisplayPound",
                          "Do not display the part of referrer URLs after the last \"#\"",
                          &RunSettings::DoNotDisplayPound));
    layout->addWidget(box("DoNotDisplayQuestion",
                          "Do not display the part of external referrer URLs after the last \"?\"",
                          &RunSettings::DoNotDisplayQuestion));
    layout->addWidget(box("CaseSensitive", "Case-sensitive analysis", &RunSettings::CaseSensitive));
    layout->addWidget(box("CountRobots", "Count the requests of robots and crawlers in every report",
                          &RunSettings::CountRobots));
    layout->addWidget(box("AndIncludeFilters",
                          "A request must match every include filter (not just one of them)",
                          &RunSettings::AndIncludeFilters));
    layout->addWidget(box("AndExcludeFilters",
                          "A request is excluded only when it matches every exclude filter",
                          &RunSettings::AndExcludeFilters));
    layout->addStretch();
    layout->addWidget(
        note("Note: all of these options (on all pages) will only take effect after "
             "the current report is re-generated."));
    return page;
}

QWidget* OptionsSheet::makeDnsPage() {
    auto* page = new QWidget;
    auto* form = new QFormLayout;
    form->addRow("Look up cached host names again after (days):",
                 number(page, "LookupTooOld", "Look up cached host names again after",
                        &RunSettings::LookupTooOld));
    form->addRow("Retry failed lookups after (days):",
                 number(page, "BadLookupTooOld", "Retry failed lookups after",
                        &RunSettings::BadLookupTooOld));

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(box("RemoveFirstDot",
                          "In the visitor statistics, remove host names' text up to the first dot",
                          &RunSettings::RemoveFirstDot));
    layout->addLayout(form);
    layout->addWidget(box("PassiveFTP", "Use passive FTP mode", &RunSettings::PassiveFTP));
    layout->addWidget(
        note("Only select passive mode if you are behind a firewall and are having "
             "difficulty connecting to FTP servers."));
    layout->addStretch();
    return page;
}

QWidget* OptionsSheet::makeEnginesPage() {
    auto* page = new QWidget;
    auto* list = new QTreeWidget;
    list->setObjectName("searchEngines");
    list->setHeaderLabels({"Search Engine"});
    list->setRootIsDecorated(false);
    for (const engine::SearchEngine& e : engine::kSearchEngines)
        list->addTopLevelItem(new QTreeWidgetItem(QStringList{fromText(e.name)}));
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(note("The following search engines are recognized by Tallyweb."));
    layout->addWidget(list);
    return page;
}

QLineEdit* OptionsSheet::number(QWidget* page, const char* name, const char* label,
                                int RunSettings::*member, bool mayBeNegative) {
    auto* edit = new QLineEdit(QString::number(values_.*member));
    edit->setObjectName(name);
    numbers_.push_back({name, label, member, mayBeNegative, page, edit});
    return edit;
}

QCheckBox* OptionsSheet::box(const char* name, const char* label, int RunSettings::*member) {
    auto* check = new QCheckBox(label);
    check->setObjectName(name);
    check->setChecked(values_.*member != 0);
    boxes_.push_back({member, check});
    return check;
}

void OptionsSheet::accept() {
    // Starting from what was read keeps the values no page shows as they were.
    RunSettings out = values_;
    out.globalFilters = filters_->filters();
    for (const BoxField& b : boxes_) out.*b.member = b.box->isChecked() ? 1 : 0;
    out.EuropeanFormat = dateOrder_->currentIndex() == 1 ? 1 : 0;
    for (const NumberField& n : numbers_) {
        const std::string text = n.edit->text().trimmed().toStdString();
        const bool parsed = out.applyOverride(n.name, text);
        if (parsed && (n.mayBeNegative || out.*n.member >= 0)) continue;
        tabs_->setCurrentWidget(n.page);
        n.edit->setFocus();
        n.edit->selectAll();
        const QString message =
            n.mayBeNegative ? QString("\"%1\" must be a whole number.").arg(n.label)
                            : QString("\"%1\" must be a whole number of 0 or more.").arg(n.label);
        prompter_.message(message.toStdString(), platform::Icon::Warning);
        return;
    }
    out.writeOptions(settings_);
    QDialog::accept();
}

}  // namespace tw::ui
