#pragma once
// The hyperlink tree as an expandable list: each page with the hits from its parent and their
// share. It follows the tree's own rule that opening a page closes its open siblings, and
// builds each level only when it is first opened.
#include <QTreeWidget>
#include <memory>

#include "site/hyperlink_tree.h"
#include "ui/report_pane.h"

namespace tw::ui {

class HyperlinkPane final : public ReportPane {
    Q_OBJECT
  public:
    explicit HyperlinkPane(QWidget* parent = nullptr);
    presentation::ViewKind kind() const override { return presentation::ViewKind::HyperlinkTree; }
    void load(const document::Document& document) override;
    QTreeWidget* widget() const { return list_; }

  private:
    void addChildren(QTreeWidgetItem* item, site::TreeNode& node);
    void opened(QTreeWidgetItem* item);

    QTreeWidget* list_;
    std::unique_ptr<site::HyperlinkTree> tree_;
    bool syncing_ = false;
};

}  // namespace tw::ui
