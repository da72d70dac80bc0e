#include "ui/filter_wizard.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <QWizardPage>

#include "config/filter_text.h"
#include "platform/strings.h"
#include "ui/ui_text.h"

namespace tw::ui {
namespace {

using config::Filter;

constexpr std::array<const char*, config::kFilterKinds> kKindLabels = {
    "Visitor's domain or IP address",
    "Requested file",
    "Date range",
    "Day of the week",
    "Hour of the day",
    "Referring URL",
    "Visitor's operating system",
    "Visitor's browser",
    "Spider",
    "Request method",
    "Status code",
    "Authenticated user",
    "Server address",
};

constexpr std::array<const char*, config::kFilterKinds> kPageNames = {
    "domainPage",  "filePage",   "datePage",   "weekdayPage", "hourPage", "referrerPage", "osPage",
    "browserPage", "spiderPage", "methodPage", "statusPage",  "userPage", "serverPage",
};

const char* textName(int kind) {
    switch (kind) {
        case config::kFilterFileName:
            return "fileText";
        case config::kFilterReferringUrl:
            return "referrerText";
        case config::kFilterAuthUser:
            return "userText";
        case config::kFilterVirtualDomain:
            return "serverText";
        case config::kFilterUserOs:
            return "osText";
        case config::kFilterBrowser:
            return "browserText";
        case config::kFilterSpider:
            return "spiderText";
        default:
            return "domainText";
    }
}

const char* choicesName(int kind) {
    switch (kind) {
        case config::kFilterUserOs:
            return "osChoices";
        case config::kFilterBrowser:
            return "browserChoices";
        default:
            return "spiderChoices";
    }
}

const char* textPrompt(int kind) {
    switch (kind) {
        case config::kFilterFileName:
            return "File name (* and ? match any text and any one character):";
        case config::kFilterReferringUrl:
            return "Referring URL (* and ? match any text and any one character):";
        case config::kFilterAuthUser:
            return "User name (* and ? match any text and any one character; requests without "
                   "a login carry '-'):";
        case config::kFilterVirtualDomain:
            return "Server address (* and ? match any text and any one character):";
        default:
            return "Domain or IP address (* and ? match any text and any one character):";
    }
}

bool usesText(int kind) {
    switch (kind) {
        case config::kFilterDateRange:
        case config::kFilterDayOfWeek:
        case config::kFilterHour:
        case config::kFilterRequest:
        case config::kFilterSuccessCode:
            return false;
        default:
            return true;
    }
}

bool isAgentKind(int kind) {
    return kind == config::kFilterUserOs || kind == config::kFilterBrowser ||
           kind == config::kFilterSpider;
}

QWizardPage* kindPage(int kind, const char* subtitle) {
    auto* p = new QWizardPage;
    p->setObjectName(kPageNames[static_cast<std::size_t>(kind)]);
    p->setTitle(kKindLabels[static_cast<std::size_t>(kind)]);
    p->setSubTitle(subtitle);
    return p;
}

QComboBox* combo(const char* name, std::initializer_list<const char*> items) {
    auto* box = new QComboBox;
    box->setObjectName(name);
    for (const char* item : items) box->addItem(item);
    return box;
}

// The stored times are 32-bit seconds. Keeping the dates a day inside that range means any
// time of day in any local zone still fits.
QDateEdit* dateEdit(const char* name) {
    auto* edit = new QDateEdit;
    edit->setObjectName(name);
    edit->setCalendarPopup(true);
    edit->setDisplayFormat("MM/dd/yyyy");
    edit->setDateRange(QDate(1901, 12, 15), QDate(2038, 1, 18));
    return edit;
}

QTimeEdit* timeEdit(const char* name) {
    auto* edit = new QTimeEdit;
    edit->setObjectName(name);
    edit->setDisplayFormat("hh:mm AP");
    return edit;
}

std::int32_t seconds(const QDateEdit* date, const QTimeEdit* time) {
    return static_cast<std::int32_t>(QDateTime(date->date(), time->time()).toSecsSinceEpoch());
}

void showTime(std::int32_t secs, QDateEdit* date, QTimeEdit* time) {
    const QDateTime at = QDateTime::fromSecsSinceEpoch(secs);
    date->setDate(at.date());
    time->setTime(at.time());
}

}  // namespace

FilterWizard::FilterWizard(platform::Prompter& prompter, QWidget* parent)
    : QWizard(parent), prompter_(prompter) {
    build();
    load(Filter{});
}

FilterWizard::FilterWizard(const config::Filter& existing, platform::Prompter& prompter,
                           QWidget* parent)
    : QWizard(parent), prompter_(prompter) {
    build();
    load(existing);
    // Going through the first page, rather than starting on the kind's page, keeps Back working.
    // Showing the wizard later does not restart it once it has a current page.
    restart();
    next();
}

void FilterWizard::build() {
    setWindowTitle("Filter Wizard");
    setOption(QWizard::HaveHelpButton, true);
    setOption(QWizard::NoBackButtonOnStartPage, true);
    setPage(kKindPage, makeKindPage());
    for (int kind = 0; kind < config::kFilterKinds; ++kind) {
        QWizardPage* p = nullptr;
        switch (kind) {
            case config::kFilterDateRange:
                p = makeDatePage();
                break;
            case config::kFilterDayOfWeek:
                p = makeWeekdayPage();
                break;
            case config::kFilterHour:
                p = makeHourPage();
                break;
            case config::kFilterRequest:
                p = makeMethodPage();
                break;
            case config::kFilterSuccessCode:
                p = makeStatusPage();
                break;
            default:
                p = isAgentKind(kind) ? makeAgentPage(kind) : makeTextPage(kind);
                break;
        }
        setPage(kFirstKindPage + kind, p);
    }
    setStartId(kKindPage);
    connect(this, &QWizard::helpRequested, this, &FilterWizard::showHelp);
}

QWizardPage* FilterWizard::makeKindPage() {
    auto* p = new QWizardPage;
    p->setObjectName("kindPage");
    p->setTitle("Filter");
    p->setSubTitle(
        "Choose whether the filter keeps or drops the requests it matches, and what "
        "it looks at.");
    include_ = new QRadioButton("&Include the requests that match");
    include_->setObjectName("include");
    exclude_ = new QRadioButton("&Exclude the requests that match");
    exclude_->setObjectName("exclude");
    kinds_ = new QListWidget;
    kinds_->setObjectName("kinds");
    for (const char* label : kKindLabels) kinds_->addItem(label);
    // A double click is the quick way through a page that has nothing else left to choose.
    connect(kinds_, &QListWidget::itemDoubleClicked, this, &QWizard::next);

    auto* layout = new QVBoxLayout(p);
    layout->addWidget(include_);
    layout->addWidget(exclude_);
    layout->addWidget(new QLabel("Filter by:"));
    layout->addWidget(kinds_);
    return p;
}

QWizardPage* FilterWizard::makeTextPage(int kind) {
    QWizardPage* p = kindPage(kind, "Type the text to match, or a pattern with wildcards.");
    auto* text = new QLineEdit;
    text->setObjectName(textName(kind));
    texts_[static_cast<std::size_t>(kind)] = text;
    auto* prompt = new QLabel(textPrompt(kind));
    prompt->setWordWrap(true);
    prompt->setBuddy(text);
    auto* layout = new QVBoxLayout(p);
    layout->addWidget(prompt);
    layout->addWidget(text);
    layout->addStretch();
    return p;
}

QWizardPage* FilterWizard::makeAgentPage(int kind) {
    QWizardPage* p = kindPage(kind,
                              "Choose an entry from the list, or type any text the visitor's user "
                              "agent must contain.");
    auto* list = new QListWidget;
    list->setObjectName(choicesName(kind));
    for (const config::FilterChoice& choice : config::filterChoices(kind))
        list->addItem(fromText(choice.label));
    auto* text = new QLineEdit;
    text->setObjectName(textName(kind));
    choices_[static_cast<std::size_t>(kind)] = list;
    texts_[static_cast<std::size_t>(kind)] = text;
    // Only a selection fills the box: the list takes a current row of its own when it first
    // gets the focus, and that must not overwrite a text the user typed.
    connect(list, &QListWidget::itemSelectionChanged, text, [kind, list, text] {
        const QList<QListWidgetItem*> selected = list->selectedItems();
        if (selected.isEmpty()) return;
        const int row = list->row(selected.front());
        const auto entries = config::filterChoices(kind);
        if (row >= 0 && static_cast<std::size_t>(row) < entries.size())
            text->setText(fromText(entries[static_cast<std::size_t>(row)].match));
    });

    auto* prompt = new QLabel("Custom search filter:");
    prompt->setBuddy(text);
    auto* layout = new QVBoxLayout(p);
    layout->addWidget(list);
    layout->addWidget(prompt);
    layout->addWidget(text);
    return p;
}

QWizardPage* FilterWizard::makeDatePage() {
    QWizardPage* p = kindPage(config::kFilterDateRange,
                              "Requests from the beginning to the ending date and time, both "
                              "included, in local time.");
    beginDate_ = dateEdit("beginDate");
    beginTime_ = timeEdit("beginTime");
    endDate_ = dateEdit("endDate");
    endTime_ = timeEdit("endTime");
    auto* layout = new QFormLayout(p);
    layout->addRow("Beginning date:", beginDate_);
    layout->addRow("Beginning time:", beginTime_);
    layout->addRow("Ending date:", endDate_);
    layout->addRow("Ending time:", endTime_);
    return p;
}

QWizardPage* FilterWizard::makeWeekdayPage() {
    QWizardPage* p = kindPage(config::kFilterDayOfWeek, "Requests made on one day of the week.");
    weekday_ = combo(
        "weekday", {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"});
    auto* layout = new QFormLayout(p);
    layout->addRow("Day of the week:", weekday_);
    return p;
}

QWizardPage* FilterWizard::makeHourPage() {
    QWizardPage* p = kindPage(config::kFilterHour, "Requests made during one hour of the day.");
    // The first entry is hour 0, which a twelve-hour clock calls 12.
    hour_ = combo("hour", {"12", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11"});
    ampm_ = combo("ampm", {"AM", "PM"});
    auto* layout = new QFormLayout(p);
    layout->addRow("Hour:", hour_);
    layout->addRow("", ampm_);
    return p;
}

QWizardPage* FilterWizard::makeMethodPage() {
    QWizardPage* p = kindPage(config::kFilterRequest, "Requests made with one method.");
    auto* layout = new QVBoxLayout(p);
    const std::array<const char*, 3> names = {"get", "head", "post"};
    const std::array<const char*, 3> labels = {"&GET", "&HEAD", "&POST"};
    for (std::size_t i = 0; i < methods_.size(); ++i) {
        methods_[i] = new QRadioButton(labels[i]);
        methods_[i]->setObjectName(names[i]);
        layout->addWidget(methods_[i]);
    }
    layout->addStretch();
    return p;
}

QWizardPage* FilterWizard::makeStatusPage() {
    QWizardPage* p =
        kindPage(config::kFilterSuccessCode,
                 "Requests whose status code lies between the two bounds, both included.");
    low_ = new QSpinBox;
    low_->setObjectName("low");
    high_ = new QSpinBox;
    high_->setObjectName("high");
    for (QSpinBox* box : {low_, high_}) box->setRange(0, 999);
    auto* layout = new QFormLayout(p);
    layout->addRow("Lowest status code:", low_);
    layout->addRow("Highest status code:", high_);
    return p;
}

// Pages of other kinds get starting values a new filter of that kind can use as they stand.
void FilterWizard::load(const config::Filter& f) {
    const int kind = f.Information >= 0 && f.Information < config::kFilterKinds ? f.Information : 0;
    (f.excludes() ? exclude_ : include_)->setChecked(true);
    kinds_->setCurrentRow(kind);

    const QDate today = QDate::currentDate();
    beginDate_->setDate(today);
    beginTime_->setTime(QTime(0, 0));
    endDate_->setDate(today);
    endTime_->setTime(QTime(23, 59));
    methods_[0]->setChecked(true);
    low_->setValue(200);
    high_->setValue(299);

    switch (kind) {
        case config::kFilterDateRange:
            showTime(f.BeginningTime, beginDate_, beginTime_);
            showTime(f.EndingTime, endDate_, endTime_);
            break;
        case config::kFilterDayOfWeek:
            weekday_->setCurrentIndex(f.nFilter >= 0 && f.nFilter < 7 ? f.nFilter : 0);
            break;
        case config::kFilterHour:
            if (f.nFilter >= 0 && f.nFilter < 24) {
                hour_->setCurrentIndex(f.nFilter % 12);
                ampm_->setCurrentIndex(f.nFilter / 12);
            }
            break;
        case config::kFilterRequest:
            methods_[f.Request >= 0 && f.Request <= 2 ? static_cast<std::size_t>(f.Request) : 0]
                ->setChecked(true);
            break;
        case config::kFilterSuccessCode:
            low_->setValue(f.nFilter);
            high_->setValue(f.nFilter2);
            break;
        default: {
            // The list shows the entry whose match text this is, if any; a text of the user's
            // own leaves the list without a selection.
            const auto entries = config::filterChoices(kind);
            for (std::size_t i = 0; i < entries.size(); ++i)
                if (entries[i].match == f.strFilter)
                    choices_[static_cast<std::size_t>(kind)]->setCurrentRow(static_cast<int>(i));
            texts_[static_cast<std::size_t>(kind)]->setText(QString::fromStdString(f.strFilter));
            break;
        }
    }
}

int FilterWizard::chosenKind() const {
    const int row = kinds_->currentRow();
    return row >= 0 && row < config::kFilterKinds ? row : 0;
}

int FilterWizard::nextId() const {
    return currentId() == kKindPage ? kFirstKindPage + chosenKind() : -1;
}

config::Filter FilterWizard::filter() const {
    Filter f;
    f.Include = exclude_->isChecked() ? 1 : 0;
    f.Information = currentId() >= kFirstKindPage ? currentId() - kFirstKindPage : chosenKind();
    switch (f.Information) {
        case config::kFilterDateRange:
            f.BeginningTime = seconds(beginDate_, beginTime_);
            f.EndingTime = seconds(endDate_, endTime_);
            break;
        case config::kFilterDayOfWeek:
            f.nFilter = weekday_->currentIndex();
            break;
        case config::kFilterHour:
            f.nFilter = hour_->currentIndex() + (ampm_->currentIndex() == 1 ? 12 : 0);
            break;
        case config::kFilterRequest:
            for (std::size_t i = 0; i < methods_.size(); ++i)
                if (methods_[i]->isChecked()) f.Request = static_cast<int>(i);
            break;
        case config::kFilterSuccessCode:
            f.nFilter = low_->value();
            f.nFilter2 = high_->value();
            break;
        default:
            f.strFilter = texts_[static_cast<std::size_t>(f.Information)]->text().toStdString();
            break;
    }
    return f;
}

QWidget* FilterWizard::faultField(int kind) const {
    switch (kind) {
        case config::kFilterDateRange:
            return endDate_;
        case config::kFilterSuccessCode:
            return high_;
        default:
            return usesText(kind) ? texts_[static_cast<std::size_t>(kind)] : nullptr;
    }
}

bool FilterWizard::validateCurrentPage() {
    if (currentId() < kFirstKindPage) return QWizard::validateCurrentPage();
    const Filter f = filter();
    const std::string_view refusal = config::checkFilterPage(f);
    if (refusal.empty()) return QWizard::validateCurrentPage();
    prompter_.message(refusal, platform::Icon::Warning, platform::help::FilterKind + f.Information);
    if (QWidget* field = faultField(f.Information)) {
        field->setFocus();
        if (auto* text = qobject_cast<QLineEdit*>(field)) text->selectAll();
    }
    return false;
}

void FilterWizard::showHelp() {
    const int id = currentId();
    prompter_.openHelp(id >= kFirstKindPage ? platform::help::FilterKind + (id - kFirstKindPage)
                                            : platform::help::FilterWizard);
}

}  // namespace tw::ui
