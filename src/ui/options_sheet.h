#pragma once
// The "Report Options" sheet: the program settings every run reads, on four pages. The sheet
// reads them all when it opens and writes them all back on OK; Cancel leaves the store alone.
//
// Widgets of a setting carry the setting's stored name as object name; the global filter page
// has "globalFilters", "addFilter", "editFilter" and "removeFilter", the last page
// "searchEngines".
#include <QDialog>
#include <vector>

#include "config/run_settings.h"
#include "platform/prompts.h"
#include "platform/settings.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QTabWidget;

namespace tw::ui {

class FilterListEditor;

class OptionsSheet : public QDialog {
    Q_OBJECT

  public:
    OptionsSheet(platform::SettingsProfile& settings, platform::Prompter& prompter,
                 QWidget* parent = nullptr);

    void accept() override;

  private:
    struct NumberField {
        const char* name;
        const char* label;  // named in the message when the field is refused
        int config::RunSettings::*member;
        bool mayBeNegative;
        QWidget* page;
        QLineEdit* edit;
    };
    struct BoxField {
        int config::RunSettings::*member;
        QCheckBox* box;
    };

    QWidget* makeFiltersPage();
    QWidget* makeLogFilePage();
    QWidget* makeDnsPage();
    QWidget* makeEnginesPage();
    QLineEdit* number(QWidget* page, const char* name, const char* label,
                      int config::RunSettings::*member, bool mayBeNegative = false);
    QCheckBox* box(const char* name, const char* label, int config::RunSettings::*member);

    platform::SettingsProfile& settings_;
    platform::Prompter& prompter_;
    config::RunSettings values_;  // as read on opening
    QTabWidget* tabs_ = nullptr;
    FilterListEditor* filters_ = nullptr;
    QComboBox* dateOrder_ = nullptr;
    std::vector<NumberField> numbers_;
    std::vector<BoxField> boxes_;
};

}  // namespace tw::ui
