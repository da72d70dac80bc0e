#pragma once
// The grouped list of the referrer reports: each group row (a page) is followed by its indented
// child rows (what linked to it), in table order, joined by tree lines.
#include <QTreeWidget>
#include <string>
#include <vector>

#include "ui/report_pane.h"

namespace tw::ui {

class TreeListView final : public ReportPane {
    Q_OBJECT
  public:
    explicit TreeListView(PaneServices services, QWidget* parent = nullptr);

    presentation::ViewKind kind() const override { return presentation::ViewKind::TreeList; }
    void load(const document::Document& document) override;
    bool canCopy() const override;
    void copySelection() override;
    bool canLaunch() const override { return true; }
    void launch() override;
    bool launchArmed() const override;

    QTreeWidget* widget() const { return list_; }
    // Item data of every cell: the table row's indent level.
    static constexpr int IndentRole = Qt::UserRole + 1;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void rowClicked(QTreeWidgetItem* item);
    void launchItem(const QTreeWidgetItem& item);

    PaneServices services_;
    QTreeWidget* list_;
    std::vector<std::string> firstTexts_;  // by table row, as the table holds them
    std::string domain_;
    bool widthsPending_ = false;
};

}  // namespace tw::ui
