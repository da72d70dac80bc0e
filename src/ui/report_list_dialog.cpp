#include "ui/report_list_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/report_wizard.h"
#include "ui/ui_text.h"

namespace tw::ui {

ReportListDialog::ReportListDialog(platform::SettingsProfile& settings,
                                   platform::Prompter& prompter,
                                   std::optional<std::string> requested, QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      prompter_(prompter),
      requested_(std::move(requested)),
      table_(new QTableWidget(0, config::ReportList::kColumns)) {
    setWindowTitle(QStringLiteral("Report List"));
    table_->setObjectName(QStringLiteral("reports"));
    QStringList headings;
    for (std::string_view h : config::ReportList::kHeadings) headings << fromText(h);
    table_->setHorizontalHeaderLabels(headings);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    // The log path is what tells reports apart: its column takes the room the others leave,
    // and a path too long for it keeps both ends, the whole of it in the tool tip.
    table_->setTextElideMode(Qt::ElideMiddle);
    table_->setWordWrap(false);
    QHeaderView* header = table_->horizontalHeader();
    header->setStretchLastSection(false);
    for (int column = 0; column < config::ReportList::kColumns; ++column)
        header->setSectionResizeMode(column, column == config::ReportList::kColumnLogFiles
                                                 ? QHeaderView::Stretch
                                                 : QHeaderView::ResizeToContents);

    auto* buttons = new QVBoxLayout;
    auto button = [&](const char* label, const char* name, void (ReportListDialog::*slot)()) {
        auto* b = new QPushButton(QString::fromUtf8(label));
        b->setObjectName(QString::fromUtf8(name));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b);
        return b;
    };
    button("&Add...", "add", &ReportListDialog::addReport);
    button("&Edit...", "edit", &ReportListDialog::editReport);
    button("&Copy", "copy", &ReportListDialog::copyReport);
    button("&Delete", "delete", &ReportListDialog::deleteReport);
    button("&Generate Report", "generate", &ReportListDialog::generate)->setDefault(true);
    button("Cancel", "cancel", &ReportListDialog::reject);
    buttons->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(table_, 1);
    layout->addLayout(buttons);
    resize(760, 360);

    connect(table_, &QTableWidget::itemSelectionChanged, this, &ReportListDialog::selectionChanged);
    connect(table_, &QTableWidget::cellDoubleClicked, this, &ReportListDialog::editReport);
    list_.open(settings_);
    fill();
}

void ReportListDialog::fill() {
    filling_ = true;
    table_->clearSelection();
    table_->setRowCount(static_cast<int>(list_.size()));
    for (std::size_t row = 0; row < list_.size(); ++row)
        for (int column = 0; column < config::ReportList::kColumns; ++column) {
            auto* item = new QTableWidgetItem(QString::fromStdString(list_.cell(row, column)));
            item->setToolTip(item->text());
            table_->setItem(static_cast<int>(row), column, item);
        }
    if (const auto selected = list_.selection()) {
        table_->selectRow(static_cast<int>(*selected));
        table_->scrollToItem(table_->item(static_cast<int>(*selected), 0));
    }
    filling_ = false;
}

void ReportListDialog::selectionChanged() {
    if (filling_) return;
    const QList<QTableWidgetItem*> items = table_->selectedItems();
    if (items.isEmpty())
        list_.select(std::nullopt);
    else
        list_.select(static_cast<std::size_t>(items.front()->row()));
}

void ReportListDialog::addReport() {
    ReportWizard wizard(config::ReportList::newDefinition(), ReportWizard::Mode::Wizard, prompter_,
                        this);
    if (wizard.exec() != QDialog::Accepted) return;
    list_.add(wizard.definition());
    fill();
}

void ReportListDialog::editReport() {
    const auto row = list_.selection();
    if (!row) return;
    ReportWizard editor(list_.at(*row), ReportWizard::Mode::Editor, prompter_, this);
    if (editor.exec() != QDialog::Accepted) return;
    list_.edit(*row, editor.definition());
    fill();
}

void ReportListDialog::copyReport() {
    if (const auto row = list_.selection()) {
        list_.copy(*row);
        fill();
    }
}

void ReportListDialog::deleteReport() {
    if (const auto row = list_.selection()) {
        list_.remove(*row);
        fill();
    }
}

void ReportListDialog::generate() {
    chosen_ = list_.generate(prompter_, settings_);
    if (chosen_) accept();
}

void ReportListDialog::generateRequested() {
    if (!requested_) return;
    const std::string name = std::move(*requested_);
    requested_.reset();
    chosen_ = list_.generateRequested(name, prompter_, settings_);
    if (chosen_) {
        accept();
        return;
    }
    requestMissed_ = true;
    fill();
}

void ReportListDialog::reject() {
    if (list_.cancel(prompter_, settings_)) QDialog::reject();
}

void ReportListDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // After the event loop took over, so that closing at once ends exec() as a click would.
    if (requested_) QTimer::singleShot(0, this, &ReportListDialog::generateRequested);
}

}  // namespace tw::ui
