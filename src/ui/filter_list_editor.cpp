#include "ui/filter_list_editor.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>
#include <utility>

#include "config/filter_text.h"
#include "ui/filter_wizard.h"
#include "ui/ui_text.h"

namespace tw::ui {

FilterListEditor::FilterListEditor(platform::Prompter& prompter, const QString& listName,
                                   const QString& note, QWidget* parent)
    : QWidget(parent),
      prompter_(prompter),
      list_(new QListWidget),
      edit_(new QPushButton(tr("&Edit..."))),
      remove_(new QPushButton(tr("&Remove"))) {
    list_->setObjectName(listName);
    auto* add = new QPushButton(tr("&Add..."));
    add->setObjectName("addFilter");
    edit_->setObjectName("editFilter");
    remove_->setObjectName("removeFilter");
    for (QPushButton* b : {add, edit_, remove_}) b->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(edit_);
    buttons->addWidget(remove_);
    buttons->addStretch();
    auto* label = new QLabel(note);
    label->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);

    connect(add, &QPushButton::clicked, this, &FilterListEditor::addFilter);
    connect(edit_, &QPushButton::clicked, this, &FilterListEditor::editFilter);
    connect(remove_, &QPushButton::clicked, this, &FilterListEditor::removeFilter);
    connect(list_, &QListWidget::itemDoubleClicked, this, &FilterListEditor::editFilter);
    connect(list_, &QListWidget::currentRowChanged, this, &FilterListEditor::selectionChanged);
    show(-1);
}

void FilterListEditor::setFilters(config::FilterList filters) {
    filters_ = std::move(filters);
    show(-1);
}

bool FilterListEditor::runWizard(config::Filter& filter, bool existing) {
    const auto wizard = existing ? std::make_unique<FilterWizard>(filter, prompter_, this)
                                 : std::make_unique<FilterWizard>(prompter_, this);
    if (wizard->exec() != QDialog::Accepted) return false;
    filter = wizard->filter();
    return true;
}

void FilterListEditor::addFilter() {
    config::Filter filter;
    if (!runWizard(filter, false)) return;
    filters_.push_back(filter);
    show(static_cast<int>(filters_.size()) - 1);
}

void FilterListEditor::editFilter() {
    const int row = list_->currentRow();
    if (row < 0 || static_cast<std::size_t>(row) >= filters_.size()) return;
    config::Filter filter = filters_[static_cast<std::size_t>(row)];
    if (!runWizard(filter, true)) return;
    filters_[static_cast<std::size_t>(row)] = filter;
    show(row);
}

void FilterListEditor::removeFilter() {
    const int row = list_->currentRow();
    if (row < 0 || static_cast<std::size_t>(row) >= filters_.size()) return;
    filters_.erase(filters_.begin() + row);
    show(std::min(row, static_cast<int>(filters_.size()) - 1));
}

void FilterListEditor::show(int select) {
    list_->clear();
    for (const config::Filter& f : filters_) list_->addItem(fromText(config::describeFilter(f)));
    list_->setCurrentRow(select);
    selectionChanged();
}

void FilterListEditor::selectionChanged() {
    const bool selected = list_->currentRow() >= 0;
    edit_->setEnabled(selected);
    remove_->setEnabled(selected);
}

}  // namespace tw::ui
