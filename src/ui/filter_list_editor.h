#pragma once
// A list of filters, one line of description each, with Add, Edit and Remove, each through the
// filter wizard. The options sheet edits the global filters with it, the report wizard the
// filters of one report.
//
// Object names for the tests: the buttons "addFilter", "editFilter", "removeFilter"; the list
// takes the name its owner gives it.
// Threads: the user-interface thread only.
#include <QWidget>

#include "config/filter.h"
#include "platform/prompts.h"

class QListWidget;
class QPushButton;

namespace tw::ui {

class FilterListEditor final : public QWidget {
    Q_OBJECT

  public:
    // `note` is the sentence above the list that says which requests the filters apply to.
    FilterListEditor(platform::Prompter& prompter, const QString& listName, const QString& note,
                     QWidget* parent = nullptr);

    void setFilters(config::FilterList filters);
    const config::FilterList& filters() const { return filters_; }
    QListWidget* list() const { return list_; }

  private:
    void addFilter();
    void editFilter();
    void removeFilter();
    // Runs the filter wizard on a new filter, or on `filter` when it is an existing one.
    bool runWizard(config::Filter& filter, bool existing);
    void show(int select);
    void selectionChanged();

    platform::Prompter& prompter_;
    config::FilterList filters_;
    QListWidget* list_;
    QPushButton* edit_;
    QPushButton* remove_;
};

}  // namespace tw::ui
