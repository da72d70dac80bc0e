#pragma once
// The report tree in the left pane: the catalogue's entries with their icons, folders drawn
// open while expanded. It only shows and forwards: a new selection is announced, and the main
// window has the document fill that report.
#include <QTreeWidget>

#include "presentation/catalogue.h"

namespace tw::ui {

class ReportTree final : public QTreeWidget {
    Q_OBJECT
  public:
    explicit ReportTree(QWidget* parent = nullptr);

    // Shows `catalogue` anew: the categories it names expanded and `selected` chosen, without
    // announcing it (the caller has filled that report already).
    void rebuild(const presentation::Catalogue& catalogue, presentation::Handle selected);
    presentation::Handle current() const;
    // Chooses `entry` and announces it, as a click would.
    void choose(presentation::Handle entry);
    QTreeWidgetItem* itemFor(presentation::Handle entry) const;

  signals:
    void chosen(presentation::Handle entry);

  private:
    void setFolderIcon(QTreeWidgetItem* item, bool expanded);
    const presentation::Catalogue* catalogue_ = nullptr;
    bool quiet_ = false;
};

}  // namespace tw::ui
