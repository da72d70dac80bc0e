#include "ui/report_tree.h"

#include <QHeaderView>
#include <functional>

#include "ui/icons.h"

namespace tw::ui {

using presentation::Handle;

namespace {
constexpr int kHandleRole = Qt::UserRole + 1;

Handle handleOf(const QTreeWidgetItem& item) {
    return static_cast<Handle>(item.data(0, kHandleRole).toUInt());
}
}  // namespace

ReportTree::ReportTree(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setIconSize(QSize(16, 16));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setRootIsDecorated(true);
    connect(this, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* item) { setFolderIcon(item, true); });
    connect(this, &QTreeWidget::itemCollapsed, this,
            [this](QTreeWidgetItem* item) { setFolderIcon(item, false); });
    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (!quiet_ && item) emit chosen(handleOf(*item));
    });
}

void ReportTree::setFolderIcon(QTreeWidgetItem* item, bool expanded) {
    if (!catalogue_) return;
    item->setIcon(0, reportIcon(catalogue_->icon(handleOf(*item), expanded)));
}

void ReportTree::rebuild(const presentation::Catalogue& catalogue, Handle selected) {
    quiet_ = true;
    clear();
    catalogue_ = &catalogue;
    std::function<void(Handle, QTreeWidgetItem*)> add = [&](Handle h, QTreeWidgetItem* parent) {
        const presentation::CatalogueEntry* e = catalogue.entry(h);
        if (!e) return;
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
        item->setText(0, QString::fromStdString(e->title));
        item->setData(0, kHandleRole, static_cast<unsigned>(h));
        item->setIcon(0, reportIcon(catalogue.icon(h, false)));
        for (Handle child : e->children) add(child, item);
    };
    for (Handle top : catalogue.children(presentation::kNoHandle)) add(top, nullptr);
    for (Handle h : catalogue.expandedCategories())
        if (QTreeWidgetItem* item = itemFor(h)) item->setExpanded(true);
    if (QTreeWidgetItem* item = itemFor(selected)) setCurrentItem(item);
    quiet_ = false;
}

QTreeWidgetItem* ReportTree::itemFor(Handle entry) const {
    if (entry == presentation::kNoHandle) return nullptr;
    for (QTreeWidgetItemIterator it(const_cast<ReportTree*>(this)); *it; ++it)
        if (handleOf(**it) == entry) return *it;
    return nullptr;
}

Handle ReportTree::current() const {
    const QTreeWidgetItem* item = currentItem();
    return item ? handleOf(*item) : presentation::kNoHandle;
}

void ReportTree::choose(Handle entry) {
    if (QTreeWidgetItem* item = itemFor(entry)) setCurrentItem(item);
}

}  // namespace tw::ui
