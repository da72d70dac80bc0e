#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QWizard>
#include <functional>

#include "config/filter_store.h"
#include "config/filter_text.h"
#include "platform/strings.h"
#include "support/fakes.h"
#include "support/recording_settings.h"
#include "ui/filter_wizard.h"
#include "ui/options_sheet.h"
#include "widget_lookup.h"

namespace tw {
namespace {

using config::Filter;
using ui::FilterWizard;
using ui::OptionsSheet;

void press(QDialog& dialog, QDialogButtonBox::StandardButton which) {
    dialog.findChild<QDialogButtonBox*>()->button(which)->click();
}

QString lineOf(const Filter& f) {
    return QString::fromStdString(config::describeFilter(f));
}

// Runs `act` on the filter wizard once it is up in its own event loop, and closes it if `act`
// did not, so a failing test cannot wait forever on it.
void whenWizardOpens(std::function<void(FilterWizard&)> act, int tries = 100) {
    QTimer::singleShot(10, [act = std::move(act), tries]() mutable {
        auto* wizard = qobject_cast<FilterWizard*>(QApplication::activeModalWidget());
        if (wizard == nullptr) {
            if (tries > 0) whenWizardOpens(std::move(act), tries - 1);
            return;
        }
        act(*wizard);
        if (wizard->isVisible()) {
            ADD_FAILURE() << "the wizard was left open";
            wizard->reject();
        }
    });
}

void chooseKind(FilterWizard& wizard, bool exclude, int kind) {
    child<QRadioButton>(wizard, exclude ? "exclude" : "include")->click();
    child<QListWidget>(wizard, "kinds")->setCurrentRow(kind);
    wizard.button(QWizard::NextButton)->click();
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
        EXPECT_TRUE(child<QCheckBox>(sheet, "CountRobots")->isChecked());
        press(sheet, QDialogButtonBox::Cancel);
        EXPECT_EQ(sheet.result(), QDialog::Rejected);
        EXPECT_TRUE(settings.writes.empty());
    }

    OptionsSheet sheet(settings, prompter);
    child<QCheckBox>(sheet, "CountRobots")->setChecked(false);
    press(sheet, QDialogButtonBox::Ok);
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    const std::vector<std::string> order = {
        "DoNotDisplayPound", "DoNotDisplayQuestion", "TimeOffset",    "TruncateExport",
        "TruncateReports",   "EuropeanFormat",       "LastItems",     "RemoveFirstDot",
        "LookupTooOld",      "BadLookupTooOld",      "PassiveFTP",    "MultithreadMultiple",
        "AndIncludeFilters", "AndExcludeFilters",    "CaseSensitive", "CountRobots",
        "GlobalFilterNum"};
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
    EXPECT_EQ(s.getInt("", "CountRobots", 1), 0);
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

TEST(OptionsSheet, GlobalFiltersAreAddedEditedAndRemovedThroughTheWizard) {
    test::RecordingSettings settings;
    test::FakePrompter prompter;
    OptionsSheet sheet(settings, prompter);
    auto* list = child<QListWidget>(sheet, "globalFilters");
    auto* remove = child<QPushButton>(sheet, "removeFilter");
    EXPECT_FALSE(remove->isEnabled());

    const Filter browser{.Information = config::kFilterBrowser, .strFilter = "MSIE "};
    whenWizardOpens([](FilterWizard& wizard) {
        chooseKind(wizard, false, config::kFilterBrowser);
        child<QListWidget>(wizard, "browserChoices")->setCurrentRow(0);
        wizard.button(QWizard::FinishButton)->click();
    });
    child<QPushButton>(sheet, "addFilter")->click();
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), lineOf(browser));

    // A refusal goes through the sheet's prompter and keeps the wizard open; Cancel adds nothing.
    whenWizardOpens([&prompter](FilterWizard& wizard) {
        chooseKind(wizard, false, config::kFilterFileName);
        wizard.button(QWizard::FinishButton)->click();
        EXPECT_TRUE(wizard.isVisible());
        EXPECT_EQ(prompter.texts(), std::vector<std::string>{std::string(platform::text(32831))});
        child<QLineEdit>(wizard, "fileText")->setText("ignored");
        wizard.button(QWizard::CancelButton)->click();
    });
    child<QPushButton>(sheet, "addFilter")->click();
    EXPECT_EQ(list->count(), 1);

    const Filter hour{.Include = 1, .Information = config::kFilterHour, .nFilter = 15};
    whenWizardOpens([](FilterWizard& wizard) {
        chooseKind(wizard, true, config::kFilterHour);
        child<QComboBox>(wizard, "hour")->setCurrentIndex(2);
        child<QComboBox>(wizard, "ampm")->setCurrentIndex(1);
        wizard.button(QWizard::FinishButton)->click();
    });
    child<QPushButton>(sheet, "addFilter")->click();
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(1)->text(), "Exclude requests at 2 PM");

    // Edit opens the wizard on the selected filter's page and replaces the filter.
    list->setCurrentRow(1);
    whenWizardOpens([](FilterWizard& wizard) {
        EXPECT_EQ(wizard.currentId(), FilterWizard::kFirstKindPage + config::kFilterHour);
        EXPECT_EQ(child<QComboBox>(wizard, "hour")->currentIndex(), 2);
        child<QComboBox>(wizard, "hour")->setCurrentIndex(3);
        wizard.button(QWizard::FinishButton)->click();
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

}  // namespace
}  // namespace tw
