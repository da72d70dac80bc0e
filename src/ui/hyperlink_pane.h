#pragma once
// The hyperlink tree drawn as a diagram: each page an icon with the hits from its parent, its
// address and its title, the open page's children in a column to its right, joined to it by
// lines. A click on a page's open/close box opens or closes it by the tree's own rule (opening a
// page closes its open siblings and builds its children the first time).
//
// Threads: the user-interface thread only. The pane owns the tree it draws; load() replaces it.
#include <QAbstractScrollArea>
#include <memory>

#include "site/hyperlink_layout.h"
#include "site/hyperlink_tree.h"
#include "ui/report_pane.h"

namespace tw::ui {

class HyperlinkDiagram;

class HyperlinkPane final : public ReportPane {
    Q_OBJECT
  public:
    explicit HyperlinkPane(QWidget* parent = nullptr);
    presentation::ViewKind kind() const override { return presentation::ViewKind::HyperlinkTree; }
    void load(const document::Document& document) override;

    // The scrolled drawing, its tree (null before a load of a document with statistics) and
    // where it last put each page.
    QAbstractScrollArea* diagram() const;
    const site::HyperlinkTree* tree() const;
    const site::TreeLayout& layout() const;

  private:
    HyperlinkDiagram* diagram_;
};

}  // namespace tw::ui
