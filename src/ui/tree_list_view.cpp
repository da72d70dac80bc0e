#include "ui/tree_list_view.h"

#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include "presentation/launch_address.h"
#include "ui/list_view.h"

namespace tw::ui {

namespace {

// Shared by every tree-list view, so the mark survives the view being replaced.
bool treeArmed = false;

constexpr int kIcon = 16;
constexpr int kIndentRole = TreeListView::IndentRole;
constexpr int kChildRole = Qt::UserRole + 2;
// A row's address is read from at most this much of its first text.
constexpr std::size_t kLaunchText = 300;

// A page with a folded corner: the requested file that heads a group.
QPixmap groupIcon() {
    QPixmap pixmap(kIcon, kIcon);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setPen(QColor(64, 64, 64));
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygon({{3, 1}, {10, 1}, {13, 4}, {13, 14}, {3, 14}}));
    p.drawPolyline(QPolygon({{10, 1}, {10, 4}, {13, 4}}));
    p.setPen(QColor(40, 90, 170));
    for (int y = 6; y <= 12; y += 2) p.drawLine(5, y, 11, y);
    return pixmap;
}

// A globe: the site that linked to the page above.
QPixmap childIcon() {
    QPixmap pixmap(kIcon, kIcon);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(20, 70, 140));
    p.setBrush(QColor(120, 180, 230));
    p.drawEllipse(QRectF(2.5, 2.5, 11, 11));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(5.5, 2.5, 5, 11));
    p.drawLine(QPointF(2.5, 8), QPointF(13.5, 8));
    return pixmap;
}

// The text cut back one character at a time from the end until it fits with "..." after it.
QString shortened(const QFontMetrics& metrics, const QString& text, int width) {
    if (metrics.horizontalAdvance(text) <= width) return text;
    const QString dots = QStringLiteral("...");
    // The width grows with the length of the kept part, so the longest part that fits is found
    // by halving rather than by trying every length.
    qsizetype low = 0, high = text.size() - 1;
    while (low < high) {
        const qsizetype mid = (low + high + 1) / 2;
        if (metrics.horizontalAdvance(text.left(mid) + dots) <= width) {
            low = mid;
        } else {
            high = mid - 1;
        }
    }
    return text.left(low) + dots;
}

class RowDelegate final : public QStyledItemDelegate {
  public:
    explicit RowDelegate(QObject* parent)
        : QStyledItemDelegate(parent), group_(groupIcon()), child_(childIcon()) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& given,
               const QModelIndex& index) const override {
        QStyleOptionViewItem option = given;
        initStyleOption(&option, index);
        painter->save();
        const bool selected = option.state.testFlag(QStyle::State_Selected);
        const QPalette& palette = option.palette;
        painter->fillRect(option.rect, selected ? palette.highlight() : palette.base());
        const int indent = index.data(kIndentRole).toInt();
        QRect textRect = option.rect.adjusted(2, 0, -2, 0);
        if (index.column() == 0) {
            drawLines(*painter, option, index, indent);
            const bool isChild = index.data(kChildRole).toBool();
            const int top = option.rect.top() + (option.rect.height() - kIcon) / 2;
            painter->drawPixmap(option.rect.left() + indent * kIcon, top,
                                isChild ? child_ : group_);
            textRect.setLeft(option.rect.left() + (indent + 1) * kIcon + 2);
        }
        painter->setFont(option.font);
        painter->setPen(selected ? palette.highlightedText().color() : palette.text().color());
        painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          shortened(option.fontMetrics, option.text, textRect.width()));
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& given, const QModelIndex& index) const override {
        QStyleOptionViewItem option = given;
        initStyleOption(&option, index);
        int width = option.fontMetrics.horizontalAdvance(option.text) + 4;
        if (index.column() == 0) width += (index.data(kIndentRole).toInt() + 1) * kIcon + 2;
        return {width, std::max(kIcon + 1, option.fontMetrics.height())};
    }

  private:
    // A group's rows hang from a line that runs down from the group's icon, with a tick across
    // to each child's icon; the line stops at the last child.
    static void drawLines(QPainter& painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index, int indent) {
        const QRect& r = option.rect;
        const int middle = r.top() + r.height() / 2;
        const QModelIndex next = index.sibling(index.row() + 1, 0);
        const bool groupGoesOn = next.isValid() && next.data(kChildRole).toBool();
        painter.setPen(QPen(option.palette.color(QPalette::Mid), 1, Qt::DotLine));
        if (index.data(kChildRole).toBool()) {
            const int x = r.left() + std::max(indent - 1, 0) * kIcon + kIcon / 2;
            painter.drawLine(x, r.top(), x, groupGoesOn ? r.bottom() : middle);
            painter.drawLine(x, middle, r.left() + indent * kIcon, middle);
        } else if (groupGoesOn) {
            const int x = r.left() + indent * kIcon + kIcon / 2;
            painter.drawLine(x, middle + kIcon / 2, x, r.bottom());
        }
    }

    QPixmap group_;
    QPixmap child_;
};

}  // namespace

TreeListView::TreeListView(PaneServices services, QWidget* parent)
    : ReportPane(parent), services_(std::move(services)), list_(new QTreeWidget(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list_);
    // Rows are flat: the indent and the lines are drawn by the rows themselves.
    rowlist::configure(*list_);
    list_->setIndentation(0);
    list_->setUniformRowHeights(false);
    list_->header()->setSectionsClickable(false);
    list_->setItemDelegate(new RowDelegate(list_));
    connect(list_, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item, int) { rowClicked(item); });
}

void TreeListView::load(const document::Document& document) {
    const presentation::ReportTable& table = document.table();
    const int columns = table.columns();
    const int rows = table.rows();
    rowlist::setHeaders(*list_, table);

    QFont groupFont = list_->font();
    groupFont.setWeight(QFont::DemiBold);
    firstTexts_.resize(static_cast<std::size_t>(rows));
    QList<QTreeWidgetItem*> items;
    items.reserve(rows);
    for (int r = 0; r < rows; ++r) {
        QTreeWidgetItem* item = rowlist::makeRow(table, r);
        for (int c = 0; c < columns; ++c) {
            item->setData(c, kIndentRole, table.indent(r));
            item->setData(c, kChildRole, table.isChild(r));
            if (table.indent(r) == 0) item->setFont(c, groupFont);
        }
        firstTexts_[static_cast<std::size_t>(r)] = table.cell(r, 0);
        items.append(item);
    }
    list_->addTopLevelItems(items);
    domain_ = document.definition().Domain;
    rowlist::fitColumnWidths(*list_);
    widthsPending_ = !isVisible();  // the width limit needs the laid-out size
}

void TreeListView::showEvent(QShowEvent* event) {
    ReportPane::showEvent(event);
    if (widthsPending_) {
        widthsPending_ = false;
        rowlist::fitColumnWidths(*list_);
    }
}

bool TreeListView::canCopy() const {
    return rowlist::hasSelection(*list_);
}

void TreeListView::copySelection() {
    rowlist::copySelectedRows(*list_);
}

void TreeListView::launch() {
    const QList<QTreeWidgetItem*> selected = list_->selectedItems();
    if (selected.size() != 1) {
        treeArmed = !treeArmed;
        return;
    }
    launchItem(*selected.front());
}

bool TreeListView::launchArmed() const {
    return treeArmed;
}

void TreeListView::rowClicked(QTreeWidgetItem* item) {
    if (!treeArmed || !item) return;
    treeArmed = false;
    launchItem(*item);
}

void TreeListView::launchItem(const QTreeWidgetItem& item) {
    const std::string& text = firstTexts_[static_cast<std::size_t>(rowlist::tableRow(item))];
    presentation::launchRow(std::string_view(text).substr(0, kLaunchText), domain_,
                            services_.prompter, services_.openAddress);
}

}  // namespace tw::ui
