#include "ui/list_view.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>

#include "presentation/launch_address.h"

namespace tw::ui {

namespace {

using presentation::ColumnKind;

// Shared by every list view, so the mark survives the view being replaced.
bool listArmed = false;

// Each cell's text went through a buffer of this many characters, terminator included.
constexpr int kCopyBuffer = 1024;

// The decimal number the text starts with (0 without one), as C's atoi reads it, saturated.
std::int64_t leadingInteger(const QString& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i].isSpace()) ++i;
    bool negative = false;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    std::int64_t value = 0;
    for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        const int digit = text[i].unicode() - u'0';
        if (value > (kMax - digit) / 10) {
            value = kMax;
            break;
        }
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

// Negative when a goes first: the larger value.
int largerFirst(std::int64_t a, std::int64_t b) {
    return b > a ? 1 : (b < a ? -1 : 0);
}

}  // namespace

namespace rowlist {

void configure(QTreeWidget& list) {
    list.setRootIsDecorated(false);
    list.setItemsExpandable(false);
    list.setSelectionMode(QAbstractItemView::SingleSelection);
    list.setSelectionBehavior(QAbstractItemView::SelectRows);
    list.setAllColumnsShowFocus(true);
    list.setSortingEnabled(false);
    list.header()->setStretchLastSection(false);
}

void setHeaders(QTreeWidget& list, const presentation::ReportTable& table) {
    list.clear();
    list.setColumnCount(table.columns());
    QStringList headers;
    for (int c = 0; c < table.columns(); ++c) headers << QString::fromStdString(table.header(c));
    list.setHeaderLabels(headers);
}

QTreeWidgetItem* makeRow(const presentation::ReportTable& table, int r) {
    auto* item = new QTreeWidgetItem;
    for (int c = 0; c < table.columns(); ++c)
        item->setText(c, QString::fromStdString(table.cell(r, c)));
    item->setData(0, Qt::UserRole, r);
    return item;
}

void fitColumnWidths(QTreeView& view) {
    const int columns = view.model()->columnCount();
    const int limit = view.contentsRect().width() * 8 / 10;
    for (int c = 0; c < columns; ++c) {
        view.resizeColumnToContents(c);
        int width = view.columnWidth(c);
        if (width < 100) width += 30;
        view.setColumnWidth(c, std::min(width, limit));
    }
}

QString selectedRowsText(const QTreeWidget& list) {
    QString out;
    for (int i = 0; i < list.topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list.topLevelItem(i);
        if (!item->isSelected()) continue;
        for (int c = 0; c < list.columnCount(); ++c) {
            if (c > 0) out += u'\t';
            out += item->text(c).left(kCopyBuffer - 1);
        }
        out += QStringLiteral("\r\n");
    }
    return out;
}

bool hasSelection(const QTreeWidget& list) {
    return !list.selectedItems().isEmpty();
}

void copySelectedRows(const QTreeWidget& list) {
    if (!hasSelection(list)) return;
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(selectedRowsText(list));
}

int tableRow(const QTreeWidgetItem& item) {
    return item.data(0, Qt::UserRole).toInt();
}

}  // namespace rowlist

ListView::ListView(PaneServices services, QWidget* parent)
    : ReportPane(parent), services_(std::move(services)), list_(new QTreeWidget(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list_);
    rowlist::configure(*list_);
    list_->setUniformRowHeights(true);
    QHeaderView* header = list_->header();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    connect(header, &QHeaderView::sectionClicked, this, &ListView::columnClicked);
}

void ListView::load(const document::Document& document) {
    const presentation::ReportTable& table = document.table();
    const int columns = table.columns();
    const int rows = table.rows();
    rowlist::setHeaders(*list_, table);

    kinds_.assign(static_cast<std::size_t>(columns), ColumnKind::Text);
    for (int c = 0; c < columns; ++c) kinds_[static_cast<std::size_t>(c)] = table.kind(c);
    // The initial order is not a click: the first click on any column sorts it normally.
    reversed_.assign(static_cast<std::size_t>(columns), false);
    lastSorted_ = -1;
    keys_.resize(static_cast<std::size_t>(rows));
    firstTexts_.resize(static_cast<std::size_t>(rows));
    QList<QTreeWidgetItem*> items;
    items.reserve(rows);
    for (int r = 0; r < rows; ++r) {
        QTreeWidgetItem* item = rowlist::makeRow(table, r);
        keys_[static_cast<std::size_t>(r)] = table.key(r);
        firstTexts_[static_cast<std::size_t>(r)] = table.cell(r, 0);
        items.append(item);
    }
    list_->addTopLevelItems(items);
    domain_ = document.definition().Domain;

    rowlist::fitColumnWidths(*list_);
    widthsPending_ = !isVisible();  // the width limit needs the laid-out size
    const int initial = table.sortColumn();
    if (initial >= 0 && initial < columns) {
        sortBy(initial);
    } else {
        list_->header()->setSortIndicator(-1, Qt::AscendingOrder);
    }
}

void ListView::showEvent(QShowEvent* event) {
    ReportPane::showEvent(event);
    if (widthsPending_) {
        widthsPending_ = false;
        rowlist::fitColumnWidths(*list_);
    }
}

bool ListView::reversed(int column) const {
    return column >= 0 && static_cast<std::size_t>(column) < reversed_.size() &&
           reversed_[static_cast<std::size_t>(column)];
}

void ListView::columnClicked(int column) {
    if (column < 0 || static_cast<std::size_t>(column) >= reversed_.size()) return;
    if (column == lastSorted_) reversed_[static_cast<std::size_t>(column)].flip();
    sortBy(column);
    lastSorted_ = column;
}

int ListView::compare(const QTreeWidgetItem& a, const QTreeWidgetItem& b, int column) const {
    switch (kinds_[static_cast<std::size_t>(column)]) {
        case ColumnKind::Integer:
            return largerFirst(leadingInteger(a.text(column)), leadingInteger(b.text(column)));
        case ColumnKind::Text:
            return a.text(column).compare(b.text(column), Qt::CaseInsensitive);
        case ColumnKind::ByKey:
        case ColumnKind::ByKeyOrdered:
            return largerFirst(keys_[static_cast<std::size_t>(rowlist::tableRow(a))],
                               keys_[static_cast<std::size_t>(rowlist::tableRow(b))]);
    }
    return 0;
}

void ListView::sortBy(int column) {
    const bool reverse = reversed(column);
    QTreeWidgetItem* current = list_->currentItem();
    const QList<QTreeWidgetItem*> selected = list_->selectedItems();
    QList<QTreeWidgetItem*> items = list_->invisibleRootItem()->takeChildren();
    // Stable, so rows that compare equal keep the order they had.
    std::stable_sort(items.begin(), items.end(),
                     [&](const QTreeWidgetItem* a, const QTreeWidgetItem* b) {
                         const int result = compare(*a, *b, column);
                         return (reverse ? -result : result) < 0;
                     });
    list_->addTopLevelItems(items);
    if (current) list_->setCurrentItem(current, 0, QItemSelectionModel::NoUpdate);
    for (QTreeWidgetItem* item : selected) item->setSelected(true);
    list_->header()->setSortIndicator(column, reverse ? Qt::DescendingOrder : Qt::AscendingOrder);
}

bool ListView::canCopy() const {
    return rowlist::hasSelection(*list_);
}

void ListView::copySelection() {
    rowlist::copySelectedRows(*list_);
}

void ListView::launch() {
    const QList<QTreeWidgetItem*> selected = list_->selectedItems();
    if (selected.size() != 1) {
        listArmed = !listArmed;
        return;
    }
    const int row = rowlist::tableRow(*selected.front());
    presentation::launchRow(firstTexts_[static_cast<std::size_t>(row)], domain_, services_.prompter,
                            services_.openAddress);
}

bool ListView::launchArmed() const {
    return listArmed;
}

}  // namespace tw::ui
