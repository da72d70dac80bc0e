#pragma once
// The filter wizard: the first page chooses include or exclude and the kind of information,
// Next leads to that kind's own page, and Finish there checks the values and makes the filter.
// Opened on an existing filter, the wizard starts on that filter's page with its values; Back
// still leads to the first page, so the direction and the kind can be changed too.
//
// Refusals and help go through the prompter, so nothing modal of the wizard's own stands in the
// way of a caller that answers prompts itself. The Help button opens the current page's topic.
//
// Object names for the tests: pages "kindPage" and one per kind (see pageName in the source);
// first page "include", "exclude", "kinds"; text pages "domainText", "fileText",
// "referrerText", "userText", "serverText"; user-agent pages "osChoices"/"osText",
// "browserChoices"/"browserText", "spiderChoices"/"spiderText"; "beginDate", "beginTime",
// "endDate", "endTime"; "weekday"; "hour", "ampm"; "get", "head", "post"; "low", "high".
#include <QWizard>
#include <array>

#include "config/filter.h"
#include "platform/prompts.h"

class QDateEdit;
class QComboBox;
class QLineEdit;
class QListWidget;
class QRadioButton;
class QSpinBox;
class QTimeEdit;
class QWidget;

namespace tw::ui {

class FilterWizard : public QWizard {
    Q_OBJECT

  public:
    // Page ids: the first page, then one page per kind at kFirstKindPage + kind.
    static constexpr int kKindPage = 0;
    static constexpr int kFirstKindPage = 1;

    // A new filter.
    explicit FilterWizard(platform::Prompter& prompter, QWidget* parent = nullptr);
    // An existing filter, opened on its kind's page.
    FilterWizard(const config::Filter& existing, platform::Prompter& prompter,
                 QWidget* parent = nullptr);

    // The filter the pages show now, for the kind chosen on the first page; fields the kind
    // does not use are 0 or empty. After Finish it is the filter that passed the checks.
    config::Filter filter() const;

    int nextId() const override;
    bool validateCurrentPage() override;

  private:
    void build();
    void load(const config::Filter& f);
    QWizardPage* makeKindPage();
    QWizardPage* makeTextPage(int kind);
    QWizardPage* makeAgentPage(int kind);
    QWizardPage* makeDatePage();
    QWizardPage* makeWeekdayPage();
    QWizardPage* makeHourPage();
    QWizardPage* makeMethodPage();
    QWizardPage* makeStatusPage();
    int chosenKind() const;
    // The control that gets the focus when the page of `kind` refuses its values.
    QWidget* faultField(int kind) const;
    void showHelp();

    platform::Prompter& prompter_;
    QRadioButton* include_ = nullptr;
    QRadioButton* exclude_ = nullptr;
    QListWidget* kinds_ = nullptr;
    std::array<QLineEdit*, config::kFilterKinds> texts_{};      // text and user-agent kinds
    std::array<QListWidget*, config::kFilterKinds> choices_{};  // user-agent kinds only
    QDateEdit* beginDate_ = nullptr;
    QTimeEdit* beginTime_ = nullptr;
    QDateEdit* endDate_ = nullptr;
    QTimeEdit* endTime_ = nullptr;
    QComboBox* weekday_ = nullptr;
    QComboBox* hour_ = nullptr;
    QComboBox* ampm_ = nullptr;
    std::array<QRadioButton*, 3> methods_{};
    QSpinBox* low_ = nullptr;
    QSpinBox* high_ = nullptr;
};

}  // namespace tw::ui
