#include "ui/hyperlink_pane.h"

#include <QHeaderView>
#include <QVBoxLayout>

#include "ui/icons.h"

namespace tw::ui {

namespace {
constexpr int kNodeRole = Qt::UserRole + 1;

site::TreeNode* nodeOf(const QTreeWidgetItem* item) {
    return static_cast<site::TreeNode*>(item->data(0, kNodeRole).value<void*>());
}

void describe(QTreeWidgetItem* item, site::TreeNode& node) {
    item->setText(0, QString::fromStdString(node.url));
    if (node.parent) {
        item->setText(1, QString::number(node.hits));
        item->setText(2, QString::number(node.share) + "%");
    }
    item->setText(
        3, node.title.empty() ? QStringLiteral("(no title)") : QString::fromStdString(node.title));
    item->setIcon(0, reportIcon(node.icon == site::NodeIcon::NotRead ? 1 : 7));
    item->setData(0, kNodeRole, QVariant::fromValue(static_cast<void*>(&node)));
    item->setChildIndicatorPolicy(node.childCount ? QTreeWidgetItem::ShowIndicator
                                                  : QTreeWidgetItem::DontShowIndicator);
}
}  // namespace

HyperlinkPane::HyperlinkPane(QWidget* parent) : ReportPane(parent), list_(new QTreeWidget(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list_);
    list_->setHeaderLabels({"File Name", "Hits from Parent to Page", "Percentage", "Title"});
    list_->setIconSize(QSize(16, 16));
    connect(list_, &QTreeWidget::itemExpanded, this, &HyperlinkPane::opened);
    connect(list_, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) {
        if (syncing_) return;
        site::TreeNode* node = nodeOf(item);
        if (node && node->expanded) tree_->toggle(*node);
    });
}

void HyperlinkPane::load(const document::Document& document) {
    list_->clear();
    tree_.reset();
    if (!document.statistics()) return;
    tree_ = std::make_unique<site::HyperlinkTree>(*document.statistics(), document.definition());
    auto* root = new QTreeWidgetItem(list_);
    describe(root, tree_->root());
    addChildren(root, tree_->root());
    syncing_ = true;
    root->setExpanded(true);
    syncing_ = false;
    for (int c = 0; c < list_->columnCount(); ++c) list_->resizeColumnToContents(c);
}

void HyperlinkPane::addChildren(QTreeWidgetItem* item, site::TreeNode& node) {
    qDeleteAll(item->takeChildren());
    for (auto& child : node.children) describe(new QTreeWidgetItem(item), *child);
}

void HyperlinkPane::opened(QTreeWidgetItem* item) {
    if (syncing_ || !tree_) return;
    site::TreeNode* node = nodeOf(item);
    if (!node) return;
    if (!node->expanded) tree_->toggle(*node);
    if (item->childCount() == 0) addChildren(item, *node);
    // The tree closed the node's open siblings; the list follows.
    syncing_ = true;
    if (QTreeWidgetItem* parent = item->parent())
        for (int i = 0; i < parent->childCount(); ++i)
            if (parent->child(i) != item) parent->child(i)->setExpanded(false);
    syncing_ = false;
}

}  // namespace tw::ui
