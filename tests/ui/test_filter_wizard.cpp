// The filter wizard driven through its widgets: the first page, each kind's page, the checks
// on Finish, editing an existing filter and the Help button.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimeEdit>
#include <functional>
#include <string>

#include "config/filter_text.h"
#include "platform/strings.h"
#include "support/fakes.h"
#include "ui/filter_wizard.h"
#include "widget_lookup.h"

namespace tw {
namespace {

using config::Filter;
using test::FakePrompter;
using ui::FilterWizard;

constexpr std::string_view kNoText =
    "You must specify filter text. Click 'Help' for more information on this filter.";
constexpr std::string_view kLaterBeginning =
    "The beginning date/time specifies a later date than the ending date/time. Click 'Help' to "
    "read more about this filter.";
constexpr std::string_view kEqualTimes =
    "The beginning and ending date/times are equal. Click 'Help' to read more about this filter.";

void click(FilterWizard& w, QWizard::WizardButton which) {
    QAbstractButton* button = w.button(which);
    ASSERT_TRUE(button->isVisible() && button->isEnabled()) << which;
    button->click();
}

// The first page as the user fills it: direction, then kind, then Next.
void choose(FilterWizard& w, bool exclude, int kind) {
    ASSERT_EQ(w.currentId(), FilterWizard::kKindPage);
    child<QRadioButton>(w, exclude ? "exclude" : "include")->click();
    child<QListWidget>(w, "kinds")->setCurrentRow(kind);
    click(w, QWizard::NextButton);
    ASSERT_EQ(w.currentId(), FilterWizard::kFirstKindPage + kind);
}

void type(QLineEdit* edit, const QString& text) {
    edit->clear();
    QTest::keyClicks(edit, text);
}

std::string line(const FilterWizard& w) {
    return config::describeFilter(w.filter());
}

TEST(FilterWizard, EveryKindIsMadeThroughItsPageAndDescribedAsTheUserSawIt) {
    struct Case {
        bool exclude;
        int kind;
        std::function<void(FilterWizard&)> fill;
        std::string description;
        Filter expected;  // not compared for the date range, whose seconds depend on the zone
    };
    const std::vector<Case> cases = {
        {true,
         config::kFilterDomain,
         [](FilterWizard& w) { type(child<QLineEdit>(w, "domainText"), "192.168.*"); },
         "Exclude domains matching '192.168.*'",
         {.Include = 1, .Information = 0, .strFilter = "192.168.*"}},
        {false,
         config::kFilterFileName,
         [](FilterWizard& w) { type(child<QLineEdit>(w, "fileText"), "/index.html*"); },
         "Include files matching '/index.html*'",
         {.Information = 1, .strFilter = "/index.html*"}},
        {false,
         config::kFilterDateRange,
         [](FilterWizard& w) {
             child<QDateEdit>(w, "beginDate")->setDate(QDate(2001, 9, 9));
             child<QTimeEdit>(w, "beginTime")->setTime(QTime(1, 46));
             child<QDateEdit>(w, "endDate")->setDate(QDate(2001, 9, 10));
             child<QTimeEdit>(w, "endTime")->setTime(QTime(23, 59));
         },
         "Include dates from 09/09/2001 at 01:46 AM to 09/10/2001 at 11:59 PM",
         {}},
        {false,
         config::kFilterDayOfWeek,
         [](FilterWizard& w) { child<QComboBox>(w, "weekday")->setCurrentIndex(3); },
         "Include requests on Wednesday",
         {.Information = 3, .nFilter = 3}},
        {false,
         config::kFilterHour,
         [](FilterWizard& w) {
             child<QComboBox>(w, "hour")->setCurrentIndex(3);
             child<QComboBox>(w, "ampm")->setCurrentIndex(1);
         },
         "Include requests at 3 PM",
         {.Information = 4, .nFilter = 15}},
        {true,
         config::kFilterHour,
         [](FilterWizard& w) {
             child<QComboBox>(w, "hour")->setCurrentIndex(0);
             child<QComboBox>(w, "ampm")->setCurrentIndex(0);
         },
         "Exclude requests at 12 AM",
         {.Include = 1, .Information = 4, .nFilter = 0}},
        {false,
         config::kFilterReferringUrl,
         [](FilterWizard& w) {
             type(child<QLineEdit>(w, "referrerText"), "http://www.example.com/*");
         },
         "Include referrers matching 'http://www.example.com/*'",
         {.Information = 5, .strFilter = "http://www.example.com/*"}},
        {false,
         config::kFilterUserOs,
         [](FilterWizard& w) {
             auto* list = child<QListWidget>(w, "osChoices");
             ASSERT_EQ(list->count(), 15);
             EXPECT_EQ(list->item(8)->text(), "X Windows");
             list->setCurrentRow(8);
         },
         "Include requests from the 'X Window' OS",
         {.Information = 6, .strFilter = "X Window"}},
        {true,
         config::kFilterBrowser,
         [](FilterWizard& w) {
             auto* list = child<QListWidget>(w, "browserChoices");
             ASSERT_EQ(list->count(), 12);
             EXPECT_EQ(list->item(0)->text(), "IE (all versions)");
             list->setCurrentRow(0);
         },
         "Exclude requests from the 'MSIE ' browser",
         {.Include = 1, .Information = 7, .strFilter = "MSIE "}},
        {true,
         config::kFilterSpider,
         [](FilterWizard& w) {
             // A choice fills the box, and the user types something else over it.
             auto* list = child<QListWidget>(w, "spiderChoices");
             ASSERT_EQ(list->count(), 10);
             list->setCurrentRow(9);
             EXPECT_EQ(child<QLineEdit>(w, "spiderText")->text(), "BackRub");
             type(child<QLineEdit>(w, "spiderText"), "Googlebot");
         },
         "Exclude requests from the 'Googlebot' spider",
         {.Include = 1, .Information = 8, .strFilter = "Googlebot"}},
        {false,
         config::kFilterRequest,
         [](FilterWizard& w) { child<QRadioButton>(w, "post")->click(); },
         "Include all POST requests",
         {.Information = 9, .Request = 2}},
        {false,
         config::kFilterRequest,
         [](FilterWizard& w) { child<QRadioButton>(w, "head")->click(); },
         "Include all HEAD requests",
         {.Information = 9, .Request = 1}},
        {true,
         config::kFilterSuccessCode,
         [](FilterWizard& w) {
             auto* low = child<QSpinBox>(w, "low");
             low->clear();
             QTest::keyClicks(low, "400");
             auto* high = child<QSpinBox>(w, "high");
             high->clear();
             QTest::keyClicks(high, "499");
         },
         "Exclude success codes between 400 and 499",
         {.Include = 1, .Information = 10, .nFilter = 400, .nFilter2 = 499}},
        {false,
         config::kFilterAuthUser,
         [](FilterWizard& w) { type(child<QLineEdit>(w, "userText"), "-"); },
         "Include requests from users matching '-'",
         {.Information = 11, .strFilter = "-"}},
        {false,
         config::kFilterVirtualDomain,
         [](FilterWizard& w) { type(child<QLineEdit>(w, "serverText"), "10.0.0.*"); },
         "Include hits on the server with an address matching '10.0.0.*'",
         {.Information = 12, .strFilter = "10.0.0.*"}},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        FakePrompter prompter;
        FilterWizard w(prompter);
        w.show();
        choose(w, c.exclude, c.kind);
        EXPECT_FALSE(w.button(QWizard::NextButton)->isVisible());
        c.fill(w);
        click(w, QWizard::FinishButton);
        EXPECT_EQ(w.result(), QDialog::Accepted);
        EXPECT_FALSE(w.isVisible());
        EXPECT_TRUE(prompter.events().empty());
        EXPECT_EQ(line(w), c.description);
        if (c.kind == config::kFilterDateRange) {
            const Filter f = w.filter();
            EXPECT_EQ(f.EndingTime - f.BeginningTime, 24 * 3600 + (23 * 60 + 59 - 106) * 60);
            EXPECT_TRUE(f.strFilter.empty());
            EXPECT_EQ(f.nFilter, 0);
        } else {
            EXPECT_EQ(w.filter(), c.expected);
        }
    }
}

TEST(FilterWizard, ARefusedPageSaysWhyAndKeepsTheUserOnTheFieldAtFault) {
    struct Case {
        int kind;
        std::function<void(FilterWizard&)> spoil;  // leaves the page refused
        std::string_view message;
        const char* field;
        std::function<void(FilterWizard&)> mend;
    };
    const std::vector<Case> cases = {
        {config::kFilterDomain, [](FilterWizard&) {}, kNoText, "domainText",
         [](FilterWizard& w) { type(child<QLineEdit>(w, "domainText"), "*.example.com"); }},
        {config::kFilterReferringUrl, [](FilterWizard&) {}, kNoText, "referrerText",
         [](FilterWizard& w) { type(child<QLineEdit>(w, "referrerText"), "*"); }},
        {config::kFilterBrowser,
         [](FilterWizard& w) {
             child<QListWidget>(w, "browserChoices")->setCurrentRow(9);
             child<QLineEdit>(w, "browserText")->clear();
         },
         kNoText, "browserText",
         [](FilterWizard& w) { type(child<QLineEdit>(w, "browserText"), "Opera"); }},
        {config::kFilterAuthUser, [](FilterWizard&) {},
         "You must specify a wildcard or a username to filter the authenticated users by. If the "
         "user is not authenticated, there will be a '-' (dash).",
         "userText", [](FilterWizard& w) { type(child<QLineEdit>(w, "userText"), "bob"); }},
        {config::kFilterVirtualDomain, [](FilterWizard&) {},
         "You must specify a domain to filter by.", "serverText",
         [](FilterWizard& w) { type(child<QLineEdit>(w, "serverText"), "10.*"); }},
        {config::kFilterDateRange,
         [](FilterWizard& w) {
             child<QDateEdit>(w, "beginDate")->setDate(QDate(2020, 5, 2));
             child<QTimeEdit>(w, "beginTime")->setTime(QTime(8, 0));
             child<QDateEdit>(w, "endDate")->setDate(QDate(2020, 5, 1));
             child<QTimeEdit>(w, "endTime")->setTime(QTime(9, 0));
         },
         kLaterBeginning, "endDate",
         [](FilterWizard& w) { child<QDateEdit>(w, "endDate")->setDate(QDate(2020, 5, 3)); }},
        {config::kFilterDateRange,
         [](FilterWizard& w) {
             child<QDateEdit>(w, "beginDate")->setDate(QDate(2020, 5, 2));
             child<QTimeEdit>(w, "beginTime")->setTime(QTime(8, 0));
             child<QDateEdit>(w, "endDate")->setDate(QDate(2020, 5, 2));
             child<QTimeEdit>(w, "endTime")->setTime(QTime(8, 0));
         },
         kEqualTimes, "endDate",
         [](FilterWizard& w) { child<QTimeEdit>(w, "endTime")->setTime(QTime(8, 1)); }},
        {config::kFilterSuccessCode,
         [](FilterWizard& w) {
             child<QSpinBox>(w, "low")->setValue(300);
             child<QSpinBox>(w, "high")->setValue(299);
         },
         "The upper bound must be greater than or equal to the lower bound.", "high",
         // Equal bounds are a range of one code.
         [](FilterWizard& w) { child<QSpinBox>(w, "high")->setValue(300); }},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.message) + " / " + c.field);
        FakePrompter prompter;
        FilterWizard w(prompter);
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
        choose(w, false, c.kind);
        c.spoil(w);

        click(w, QWizard::FinishButton);
        EXPECT_TRUE(w.isVisible());
        EXPECT_NE(w.result(), QDialog::Accepted);
        EXPECT_EQ(w.currentId(), FilterWizard::kFirstKindPage + c.kind);
        const auto events = prompter.events();
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].kind, FakePrompter::Kind::Message);
        EXPECT_EQ(events[0].text, c.message);
        // The message box offers the kind's help, as its "Click 'Help'" promises.
        EXPECT_EQ(events[0].help, platform::help::FilterKind + c.kind);
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        EXPECT_EQ(QApplication::focusWidget()->objectName(), c.field);

        c.mend(w);
        click(w, QWizard::FinishButton);
        EXPECT_EQ(w.result(), QDialog::Accepted);
        EXPECT_EQ(prompter.events().size(), 1u);
        EXPECT_TRUE(config::checkFilterPage(w.filter()).empty());
    }
}

TEST(FilterWizard, AnExistingFilterOpensOnItsPageWithItsValuesAndComesBackUnchanged) {
    const std::vector<Filter> filters = {
        {.Include = 1, .Information = config::kFilterDomain, .strFilter = "192.168.*"},
        {.Information = config::kFilterFileName, .strFilter = "/a/b.gif"},
        {.Information = config::kFilterDateRange,
         .BeginningTime = 1000000020,  // whole minutes, as the pages show them
         .EndingTime = 1000086360},
        {.Information = config::kFilterDayOfWeek, .nFilter = 6},
        {.Include = 1, .Information = config::kFilterHour, .nFilter = 12},
        {.Information = config::kFilterReferringUrl, .strFilter = "*google*"},
        {.Information = config::kFilterUserOs, .strFilter = "FreeBSD"},  // not on the list
        {.Information = config::kFilterBrowser, .strFilter = "MSIE "},
        {.Information = config::kFilterSpider, .strFilter = "Slurp"},
        {.Information = config::kFilterRequest, .Request = 1},
        {.Include = 1, .Information = config::kFilterSuccessCode, .nFilter = 400, .nFilter2 = 499},
        {.Information = config::kFilterAuthUser, .strFilter = "-"},
        {.Information = config::kFilterVirtualDomain, .strFilter = "10.0.0.1"},
    };
    for (const Filter& f : filters) {
        SCOPED_TRACE(config::describeFilter(f));
        FakePrompter prompter;
        FilterWizard w(f, prompter);
        w.show();
        EXPECT_EQ(w.currentId(), FilterWizard::kFirstKindPage + f.Information);
        EXPECT_EQ(line(w), config::describeFilter(f));
        click(w, QWizard::FinishButton);
        EXPECT_EQ(w.result(), QDialog::Accepted);
        EXPECT_EQ(w.filter(), f);
    }

    FakePrompter prompter;
    {
        // The values are in the page's own widgets, where the user edits them.
        FilterWizard w(filters[4], prompter);
        w.show();
        EXPECT_EQ(child<QComboBox>(w, "hour")->currentText(), "12");
        EXPECT_EQ(child<QComboBox>(w, "ampm")->currentText(), "PM");
        child<QComboBox>(w, "hour")->setCurrentIndex(5);
        click(w, QWizard::FinishButton);
        EXPECT_EQ(line(w), "Exclude requests at 5 PM");
    }
    {
        FilterWizard w(filters[7], prompter);
        w.show();
        const auto chosen = child<QListWidget>(w, "browserChoices")->selectedItems();
        ASSERT_EQ(chosen.size(), 1);
        EXPECT_EQ(chosen.front()->text(), "IE (all versions)");
        EXPECT_EQ(child<QLineEdit>(w, "browserText")->text(), "MSIE ");
        FilterWizard custom(filters[6], prompter);
        custom.show();
        // A text of the user's own selects no entry, and showing the page keeps it.
        EXPECT_TRUE(child<QListWidget>(custom, "osChoices")->selectedItems().isEmpty());
        EXPECT_EQ(child<QLineEdit>(custom, "osText")->text(), "FreeBSD");
    }
    {
        // Back leads to the first page as the filter left it, and another kind may be chosen.
        FilterWizard w(filters[10], prompter);
        w.show();
        EXPECT_EQ(child<QSpinBox>(w, "low")->value(), 400);
        EXPECT_EQ(child<QSpinBox>(w, "high")->value(), 499);
        click(w, QWizard::BackButton);
        EXPECT_EQ(w.currentId(), FilterWizard::kKindPage);
        EXPECT_TRUE(child<QRadioButton>(w, "exclude")->isChecked());
        EXPECT_EQ(child<QListWidget>(w, "kinds")->currentRow(), config::kFilterSuccessCode);
        choose(w, false, config::kFilterDayOfWeek);
        child<QComboBox>(w, "weekday")->setCurrentIndex(1);
        click(w, QWizard::FinishButton);
        EXPECT_EQ(w.filter(), (Filter{.Information = config::kFilterDayOfWeek, .nFilter = 1}));
    }
    EXPECT_TRUE(prompter.events().empty());
}

TEST(FilterWizard, HelpOpensTheTopicOfTheCurrentPage) {
    FakePrompter prompter;
    FilterWizard w(prompter);
    w.show();
    click(w, QWizard::HelpButton);
    choose(w, false, config::kFilterSpider);
    click(w, QWizard::HelpButton);
    const auto events = prompter.events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].kind, FakePrompter::Kind::Help);
    EXPECT_EQ(events[0].help, platform::help::FilterWizard);
    EXPECT_EQ(events[1].kind, FakePrompter::Kind::Help);
    EXPECT_EQ(events[1].help, platform::help::FilterKind + config::kFilterSpider);
    EXPECT_TRUE(w.isVisible());
}

}  // namespace
}  // namespace tw
