#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <functional>

#include "config/filter_store.h"
#include "config/filter_text.h"
#include "platform/strings.h"
#include "support/fakes.h"
#include "support/recording_settings.h"
#include "ui/filter_form.h"
#include "ui/options_sheet.h"

namespace tw {
namespace {

using config::Filter;
using ui::FilterForm;
using ui::OptionsSheet;

template <typename T>
T* child(QWidget& parent, const char* name) {
    T* w = parent.findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
}

void press(QDialog& dialog, QDialogButtonBox::StandardButton which) {
    dialog.findChild<QDialogButtonBox*>()->button(which)->click();
}

QString lineOf(const Filter& f) {
    return QString::fromStdString(config::describeFilter(f));
}

// Runs `act` on the filter form once it is up in its own event loop, and closes it if `act`
// did not, so a failing test cannot wait forever on it.
void whenFormOpens(std::function<void(FilterForm&)> act, int tries = 100) {
    QTimer::singleShot(10, [act = std::move(act), tries]() mutable {
        auto* form = qobject_cast<FilterForm*>(QApplication::activeModalWidget());
        if (form == nullptr) {
            if (tries > 0) whenFormOpens(std::move(act), tries - 1);
            return;
        }
        act(*form);
        if (form->isVisible()) {
            ADD_FAILURE() << "the form was left open";
            form->reject();
        }
    });
}

TEST(OptionsSheet, OkWritesEverySettingInTheSheetsOrderAndCancelWritesNothing) {
    test::RecordingSettings settings;
    settings.store.setInt("", "TruncateReports", 500);
    settings.store.setInt("", "MultithreadMultiple", 0);  // shown nowhere, but kept
    settings.store.setInt("", "RemoveDirectories", 1);
    const Filter stored{.Include = 1, .Information = config::kFilterFileName, .strFilter = "*.gif"};
    config::saveGlobalFilters(settings.store, {stored});
    test::FakePrompter prompter;

    {
        OptionsSheet sheet(settings, prompter);
        EXPECT_EQ(sheet.windowTitle(), "Report Options");
        EXPECT_EQ(child<QLineEdit>(sheet, "TruncateReports")->text(), "500");
        EXPECT_EQ(child<QLineEdit>(sheet, "LookupTooOld")->text(), "60");
        EXPECT_TRUE(child<QCheckBox>(sheet, "CaseSensitive")->isChecked());
        press(sheet, QDialogButtonBox::Cancel);
        EXPECT_EQ(sheet.result(), QDialog::Rejected);
        EXPECT_TRUE(settings.writes.empty());
    }

    OptionsSheet sheet(settings, prompter);
    press(sheet, QDialogButtonBox::Ok);
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    const std::vector<std::string> order = {
        "DoNotDisplayPound", "DoNotDisplayQuestion", "TimeOffset",    "TruncateExport",
        "TruncateReports",   "EuropeanFormat",       "LastItems",     "RemoveFirstDot",
        "LookupTooOld",      "BadLookupTooOld",      "PassiveFTP",    "MultithreadMultiple",
        "AndIncludeFilters", "AndExcludeFilters",    "CaseSensitive", "GlobalFilterNum"};
    ASSERT_EQ(settings.writes.size(), order.size() + 8);
    for (std::size_t i = 0; i < order.size(); ++i) {
        EXPECT_EQ(settings.writes[i], (std::pair<std::string, std::string>{"", order[i]}));
    }
    for (std::size_t i = order.size(); i < settings.writes.size(); ++i) {
        EXPECT_EQ(settings.writes[i].first, "GlobalFilter 0");
    }
    const platform::MemorySettings& s = settings.store;
    EXPECT_EQ(s.getInt("", "TruncateReports", 0), 500);
    EXPECT_EQ(s.getInt("", "MultithreadMultiple", 1), 0);
    EXPECT_EQ(s.getInt("", "TruncateExport", 0), 30);
    EXPECT_EQ(s.getInt("", "DoNotDisplayPound", 0), 1);
    EXPECT_EQ(s.getInt("", "BadLookupTooOld", 0), 2);
    EXPECT_EQ(s.getInt("", "GlobalFilterNum", 0), 1);
    EXPECT_EQ(config::loadGlobalFilters(s), config::FilterList{stored});
}

TEST(OptionsSheet, EditedValuesComeBackAndNonNumbersKeepTheSheetOpen) {
    test::RecordingSettings settings;
    test::FakePrompter prompter;
    {
        OptionsSheet sheet(settings, prompter);
        child<QLineEdit>(sheet, "TimeOffset")->setText("-2");
        child<QCheckBox>(sheet, "DoNotDisplayPound")->setChecked(false);
        child<QCheckBox>(sheet, "PassiveFTP")->setChecked(true);
        child<QComboBox>(sheet, "EuropeanFormat")->setCurrentIndex(1);
        auto* tabs = sheet.findChild<QTabWidget*>();
        tabs->setCurrentIndex(0);

        child<QLineEdit>(sheet, "BadLookupTooOld")->setText("two");
        press(sheet, QDialogButtonBox::Ok);
        EXPECT_NE(sheet.result(), QDialog::Accepted);
        EXPECT_TRUE(settings.writes.empty());
        ASSERT_EQ(prompter.texts().size(), 1u);
        EXPECT_NE(prompter.texts()[0].find("Retry failed lookups after"), std::string::npos);
        EXPECT_NE(prompter.texts()[0].find("whole number"), std::string::npos);
        EXPECT_EQ(tabs->tabText(tabs->currentIndex()), "Reverse DNS");

        // Only the time offset may be negative.
        child<QLineEdit>(sheet, "BadLookupTooOld")->setText("-1");
        press(sheet, QDialogButtonBox::Ok);
        EXPECT_TRUE(settings.writes.empty());
        EXPECT_EQ(prompter.texts().size(), 2u);

        child<QLineEdit>(sheet, "BadLookupTooOld")->setText(" 7 ");
        press(sheet, QDialogButtonBox::Ok);
        EXPECT_EQ(sheet.result(), QDialog::Accepted);
        EXPECT_EQ(prompter.texts().size(), 2u);
    }

    const platform::MemorySettings& s = settings.store;
    EXPECT_EQ(s.getInt("", "TimeOffset", 0), -2);
    EXPECT_EQ(s.getInt("", "DoNotDisplayPound", 1), 0);
    EXPECT_EQ(s.getInt("", "PassiveFTP", 0), 1);
    EXPECT_EQ(s.getInt("", "EuropeanFormat", 0), 1);
    EXPECT_EQ(s.getInt("", "BadLookupTooOld", 0), 7);

    OptionsSheet again(settings, prompter);
    EXPECT_EQ(child<QLineEdit>(again, "TimeOffset")->text(), "-2");
    EXPECT_FALSE(child<QCheckBox>(again, "DoNotDisplayPound")->isChecked());
    EXPECT_TRUE(child<QCheckBox>(again, "PassiveFTP")->isChecked());
    EXPECT_EQ(child<QComboBox>(again, "EuropeanFormat")->currentIndex(), 1);

    auto* engines = child<QTreeWidget>(again, "searchEngines");
    EXPECT_EQ(engines->headerItem()->text(0), "Search Engine");
    EXPECT_EQ(engines->topLevelItemCount(), 38);
    EXPECT_EQ(engines->topLevelItem(24)->text(0), "Google");
}

TEST(OptionsSheet, GlobalFiltersAreAddedEditedAndRemovedThroughTheForm) {
    test::RecordingSettings settings;
    test::FakePrompter prompter;
    OptionsSheet sheet(settings, prompter);
    auto* list = child<QListWidget>(sheet, "globalFilters");
    auto* remove = child<QPushButton>(sheet, "removeFilter");
    EXPECT_FALSE(remove->isEnabled());

    const Filter browser{.Information = config::kFilterBrowser, .strFilter = "MSIE "};
    whenFormOpens([](FilterForm& form) {
        child<QComboBox>(form, "kind")->setCurrentIndex(config::kFilterBrowser);
        child<QListWidget>(form, "choices")->setCurrentRow(0);
        press(form, QDialogButtonBox::Ok);
    });
    child<QPushButton>(sheet, "addFilter")->click();
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), lineOf(browser));

    whenFormOpens([](FilterForm& form) {
        child<QLineEdit>(form, "text")->setText("ignored");
        press(form, QDialogButtonBox::Cancel);
    });
    child<QPushButton>(sheet, "addFilter")->click();
    EXPECT_EQ(list->count(), 1);

    const Filter hour{.Include = 1, .Information = config::kFilterHour, .nFilter = 15};
    whenFormOpens([](FilterForm& form) {
        child<QComboBox>(form, "include")->setCurrentIndex(1);
        child<QComboBox>(form, "kind")->setCurrentIndex(config::kFilterHour);
        child<QComboBox>(form, "hour")->setCurrentIndex(2);
        child<QComboBox>(form, "ampm")->setCurrentIndex(1);
        press(form, QDialogButtonBox::Ok);
    });
    child<QPushButton>(sheet, "addFilter")->click();
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(1)->text(), "Exclude requests at 2 PM");

    // Edit opens the form on the selected filter and replaces it.
    list->setCurrentRow(1);
    whenFormOpens([](FilterForm& form) {
        EXPECT_EQ(child<QComboBox>(form, "hour")->currentIndex(), 2);
        child<QComboBox>(form, "hour")->setCurrentIndex(3);
        press(form, QDialogButtonBox::Ok);
    });
    child<QPushButton>(sheet, "editFilter")->click();
    EXPECT_EQ(list->item(1)->text(), lineOf(hour));

    list->setCurrentRow(0);
    remove->click();
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), lineOf(hour));

    press(sheet, QDialogButtonBox::Ok);
    EXPECT_EQ(config::loadGlobalFilters(settings.store), config::FilterList{hour});
}

TEST(FilterForm, RoundTripsFiltersOfSeveralKinds) {
    const std::vector<Filter> filters = {
        {.Include = 1, .Information = config::kFilterDomain, .strFilter = "192.168.*"},
        {.Information = config::kFilterBrowser, .strFilter = "MSIE "},
        {.Information = config::kFilterUserOs, .strFilter = "FreeBSD"},  // not on the list
        {.Information = config::kFilterDateRange,
         .BeginningTime = 1000000000,
         .EndingTime = 1000086399},
        {.Information = config::kFilterDayOfWeek, .nFilter = 3},
        {.Information = config::kFilterHour, .nFilter = 0},
        {.Information = config::kFilterRequest, .Request = 2},
        {.Include = 1, .Information = config::kFilterSuccessCode, .nFilter = 400, .nFilter2 = 499},
        {.Information = config::kFilterAuthUser, .strFilter = "-"},
    };
    for (const Filter& f : filters) {
        FilterForm form(f);
        EXPECT_EQ(form.filter(), f) << config::describeFilter(f);
        EXPECT_EQ(child<QLabel>(form, "description")->text(), lineOf(f));
        EXPECT_TRUE(form.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->isEnabled());
    }

    // Switching kinds leaves no value of the other kind behind.
    FilterForm form(filters[0]);
    child<QComboBox>(form, "kind")->setCurrentIndex(config::kFilterDayOfWeek);
    EXPECT_EQ(form.filter(), (Filter{.Include = 1, .Information = config::kFilterDayOfWeek}));
    EXPECT_EQ(child<QLabel>(form, "description")->text(), "Exclude requests on Sunday");
}

TEST(FilterForm, OkNeedsAUsableValue) {
    FilterForm form(Filter{});
    QPushButton* ok = form.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
    auto* problem = child<QLabel>(form, "problem");
    EXPECT_FALSE(ok->isEnabled());
    EXPECT_EQ(problem->text().toStdString(), platform::text(32831));
    form.accept();
    EXPECT_NE(form.result(), QDialog::Accepted);

    child<QLineEdit>(form, "text")->setText("*.example.com");
    EXPECT_TRUE(ok->isEnabled());
    EXPECT_TRUE(problem->text().isEmpty());

    child<QComboBox>(form, "kind")->setCurrentIndex(config::kFilterSuccessCode);
    child<QSpinBox>(form, "low")->setValue(300);
    child<QSpinBox>(form, "high")->setValue(299);
    EXPECT_FALSE(ok->isEnabled());

    child<QComboBox>(form, "kind")->setCurrentIndex(config::kFilterDateRange);
    auto* begin = child<QDateTimeEdit>(form, "begin");
    child<QDateTimeEdit>(form, "end")->setDateTime(begin->dateTime());
    EXPECT_EQ(problem->text().toStdString(), platform::text(32834));
    EXPECT_FALSE(ok->isEnabled());

    // A choice puts its match text in the box; the user may type over it.
    child<QComboBox>(form, "kind")->setCurrentIndex(config::kFilterSpider);
    child<QListWidget>(form, "choices")->setCurrentRow(9);
    EXPECT_EQ(child<QLineEdit>(form, "agentText")->text(), "BackRub");
    child<QLineEdit>(form, "agentText")->setText("Googlebot");
    EXPECT_EQ(form.filter().strFilter, "Googlebot");
    ok->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
}

}  // namespace
}  // namespace tw
