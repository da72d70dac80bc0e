#include "ui/filter_form.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <array>
#include <limits>

#include "config/filter_text.h"
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

enum Page { kTextPage, kAgentPage, kDatePage, kWeekdayPage, kHourPage, kMethodPage, kStatusPage };

Page pageOf(int kind) {
    switch (kind) {
        case config::kFilterUserOs:
        case config::kFilterBrowser:
        case config::kFilterSpider:
            return kAgentPage;
        case config::kFilterDateRange:
            return kDatePage;
        case config::kFilterDayOfWeek:
            return kWeekdayPage;
        case config::kFilterHour:
            return kHourPage;
        case config::kFilterRequest:
            return kMethodPage;
        case config::kFilterSuccessCode:
            return kStatusPage;
        default:
            return kTextPage;
    }
}

const char* textPrompt(int kind) {
    switch (kind) {
        case config::kFilterFileName:
            return "File name (* and ? match any text and any one character):";
        case config::kFilterReferringUrl:
            return "Referring URL (* and ? match any text and any one character):";
        case config::kFilterAuthUser:
            return "User name (* and ? match any text and any one character):";
        case config::kFilterVirtualDomain:
            return "Server address (* and ? match any text and any one character):";
        default:
            return "Domain or IP address (* and ? match any text and any one character):";
    }
}

// The stored times are 32-bit, so the editors cannot go beyond what a filter can hold.
QDateTimeEdit* timeEdit(const char* name) {
    auto* edit = new QDateTimeEdit;
    edit->setObjectName(name);
    edit->setCalendarPopup(true);
    edit->setDisplayFormat("MM/dd/yyyy hh:mm AP");
    edit->setDateTimeRange(QDateTime::fromSecsSinceEpoch(std::numeric_limits<std::int32_t>::min()),
                           QDateTime::fromSecsSinceEpoch(std::numeric_limits<std::int32_t>::max()));
    return edit;
}

std::int32_t seconds(const QDateTimeEdit* edit) {
    return static_cast<std::int32_t>(edit->dateTime().toSecsSinceEpoch());
}

QComboBox* combo(const char* name, std::initializer_list<const char*> items) {
    auto* box = new QComboBox;
    box->setObjectName(name);
    for (const char* item : items) box->addItem(item);
    return box;
}

}  // namespace

FilterForm::FilterForm(const config::Filter& initial, QWidget* parent) : QDialog(parent) {
    setWindowTitle("Filter");
    include_ = combo("include", {"Include", "Exclude"});
    kind_ = new QComboBox;
    kind_->setObjectName("kind");
    for (const char* label : kKindLabels) kind_->addItem(label);

    pages_ = new QStackedWidget;
    pages_->addWidget(makeTextPage());
    pages_->addWidget(makeAgentPage());
    pages_->addWidget(makeDatePage());
    pages_->addWidget(makeWeekdayPage());
    pages_->addWidget(makeHourPage());
    pages_->addWidget(makeMethodPage());
    pages_->addWidget(makeStatusPage());

    description_ = new QLabel;
    description_->setObjectName("description");
    description_->setTextFormat(Qt::PlainText);
    problem_ = new QLabel;
    problem_->setObjectName("problem");
    problem_->setTextFormat(Qt::PlainText);
    problem_->setWordWrap(true);
    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);

    auto* top = new QFormLayout;
    top->addRow("Records to:", include_);
    top->addRow("Filter by:", kind_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(pages_);
    layout->addWidget(description_);
    layout->addWidget(problem_);
    layout->addWidget(buttons_);

    load(initial);

    connect(buttons_, &QDialogButtonBox::accepted, this, &FilterForm::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &FilterForm::reject);
    connect(include_, &QComboBox::currentIndexChanged, this, &FilterForm::refresh);
    connect(kind_, &QComboBox::currentIndexChanged, this, &FilterForm::kindChanged);
    connect(text_, &QLineEdit::textChanged, this, &FilterForm::refresh);
    connect(agentText_, &QLineEdit::textChanged, this, &FilterForm::refresh);
    connect(choices_, &QListWidget::currentRowChanged, this, [this](int row) {
        const auto list = config::filterChoices(kind_->currentIndex());
        if (row >= 0 && static_cast<std::size_t>(row) < list.size())
            agentText_->setText(fromText(list[static_cast<std::size_t>(row)].match));
    });
    for (QDateTimeEdit* edit : {begin_, end_})
        connect(edit, &QDateTimeEdit::dateTimeChanged, this, &FilterForm::refresh);
    for (QComboBox* box : {weekday_, hour_, ampm_, method_})
        connect(box, &QComboBox::currentIndexChanged, this, &FilterForm::refresh);
    for (QSpinBox* box : {low_, high_})
        connect(box, &QSpinBox::valueChanged, this, &FilterForm::refresh);
    refresh();
}

QWidget* FilterForm::makeTextPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    textPrompt_ = new QLabel;
    text_ = new QLineEdit;
    text_->setObjectName("text");
    layout->addWidget(textPrompt_);
    layout->addWidget(text_);
    layout->addStretch();
    return page;
}

QWidget* FilterForm::makeAgentPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    choices_ = new QListWidget;
    choices_->setObjectName("choices");
    agentText_ = new QLineEdit;
    agentText_->setObjectName("agentText");
    layout->addWidget(choices_);
    layout->addWidget(new QLabel("Custom search filter:"));
    layout->addWidget(agentText_);
    return page;
}

QWidget* FilterForm::makeDatePage() {
    auto* page = new QWidget;
    auto* layout = new QFormLayout(page);
    begin_ = timeEdit("begin");
    end_ = timeEdit("end");
    layout->addRow("From:", begin_);
    layout->addRow("To:", end_);
    return page;
}

QWidget* FilterForm::makeWeekdayPage() {
    auto* page = new QWidget;
    auto* layout = new QFormLayout(page);
    weekday_ = combo(
        "weekday", {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"});
    layout->addRow("Day of the week:", weekday_);
    return page;
}

QWidget* FilterForm::makeHourPage() {
    auto* page = new QWidget;
    auto* layout = new QFormLayout(page);
    // The first entry is hour 0, which a twelve-hour clock calls 12.
    hour_ = combo("hour", {"12", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11"});
    ampm_ = combo("ampm", {"AM", "PM"});
    layout->addRow("Hour:", hour_);
    layout->addRow("", ampm_);
    return page;
}

QWidget* FilterForm::makeMethodPage() {
    auto* page = new QWidget;
    auto* layout = new QFormLayout(page);
    method_ = combo("method", {"GET", "HEAD", "POST"});
    layout->addRow("Request method:", method_);
    return page;
}

QWidget* FilterForm::makeStatusPage() {
    auto* page = new QWidget;
    auto* layout = new QFormLayout(page);
    low_ = new QSpinBox;
    low_->setObjectName("low");
    high_ = new QSpinBox;
    high_->setObjectName("high");
    for (QSpinBox* box : {low_, high_}) box->setRange(0, 999);
    layout->addRow("Lowest status code:", low_);
    layout->addRow("Highest status code:", high_);
    return page;
}

// Pages of other kinds get starting values a new filter of that kind can use as they stand.
void FilterForm::load(const config::Filter& f) {
    const int kind = f.Information >= 0 && f.Information < config::kFilterKinds ? f.Information : 0;
    include_->setCurrentIndex(f.excludes() ? 1 : 0);
    kind_->setCurrentIndex(kind);
    kindChanged();

    const QDate today = QDate::currentDate();
    begin_->setDateTime(QDateTime(today, QTime(0, 0)));
    end_->setDateTime(QDateTime(today, QTime(23, 59)));
    low_->setValue(200);
    high_->setValue(299);

    switch (pageOf(kind)) {
        case kTextPage:
            text_->setText(QString::fromStdString(f.strFilter));
            break;
        case kAgentPage: {
            agentText_->setText(QString::fromStdString(f.strFilter));
            const auto list = config::filterChoices(kind);
            for (std::size_t i = 0; i < list.size(); ++i)
                if (list[i].match == f.strFilter) choices_->setCurrentRow(static_cast<int>(i));
            break;
        }
        case kDatePage:
            begin_->setDateTime(QDateTime::fromSecsSinceEpoch(f.BeginningTime));
            end_->setDateTime(QDateTime::fromSecsSinceEpoch(f.EndingTime));
            break;
        case kWeekdayPage:
            weekday_->setCurrentIndex(f.nFilter >= 0 && f.nFilter < 7 ? f.nFilter : 0);
            break;
        case kHourPage:
            if (f.nFilter >= 0 && f.nFilter < 24) {
                hour_->setCurrentIndex(f.nFilter % 12);
                ampm_->setCurrentIndex(f.nFilter / 12);
            }
            break;
        case kMethodPage:
            method_->setCurrentIndex(f.Request >= 0 && f.Request <= 2 ? f.Request : 0);
            break;
        case kStatusPage:
            low_->setValue(f.nFilter);
            high_->setValue(f.nFilter2);
            break;
    }
}

void FilterForm::kindChanged() {
    const int kind = kind_->currentIndex();
    pages_->setCurrentIndex(pageOf(kind));
    textPrompt_->setText(textPrompt(kind));
    if (pageOf(kind) == kAgentPage) {
        // Refilling the list must not disturb the text, which may be the user's own.
        const QSignalBlocker block(choices_);
        choices_->clear();
        for (const config::FilterChoice& choice : config::filterChoices(kind))
            choices_->addItem(fromText(choice.label));
    }
    refresh();
}

config::Filter FilterForm::filter() const {
    Filter f;
    f.Include = include_->currentIndex() == 1 ? 1 : 0;
    f.Information = kind_->currentIndex();
    switch (pageOf(f.Information)) {
        case kTextPage:
            f.strFilter = text_->text().toStdString();
            break;
        case kAgentPage:
            f.strFilter = agentText_->text().toStdString();
            break;
        case kDatePage:
            f.BeginningTime = seconds(begin_);
            f.EndingTime = seconds(end_);
            break;
        case kWeekdayPage:
            f.nFilter = weekday_->currentIndex();
            break;
        case kHourPage:
            f.nFilter = hour_->currentIndex() + (ampm_->currentIndex() == 1 ? 12 : 0);
            break;
        case kMethodPage:
            f.Request = method_->currentIndex();
            break;
        case kStatusPage:
            f.nFilter = low_->value();
            f.nFilter2 = high_->value();
            break;
    }
    return f;
}

void FilterForm::refresh() {
    const Filter f = filter();
    description_->setText(QString::fromStdString(config::describeFilter(f)));
    const std::string_view problem = config::checkFilterPage(f);
    problem_->setText(fromText(problem));
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(problem.empty());
}

void FilterForm::accept() {
    if (!config::checkFilterPage(filter()).empty()) return;
    QDialog::accept();
}

}  // namespace tw::ui
