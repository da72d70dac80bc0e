#pragma once
// The sortable list that shows most reports: one row per table row, sorted by a column click.
//
// Also the row-list helpers the tree-list view shares with it: the column-width rule and the
// text that Copy puts on the clipboard.
#include <QTreeWidget>
#include <cstdint>
#include <string>
#include <vector>

#include "presentation/report_table.h"
#include "ui/report_pane.h"

namespace tw::ui {

namespace rowlist {
// The settings both row lists share: single whole-row selection, no tree decoration, and no
// sorting of Qt's own (the views order rows by their rules).
void configure(QTreeWidget& list);
// Clears `list` and gives it the table's columns and headings.
void setHeaders(QTreeWidget& list, const presentation::ReportTable& table);
// An item holding table row `r`'s texts and its row number (tableRow).
QTreeWidgetItem* makeRow(const presentation::ReportTable& table, int r);
// Each column fits the wider of its header and its contents, narrow ones get some air, and none
// takes more than 8/10 of the list's width.
void fitColumnWidths(QTreeView& view);
// The selected rows in list order: cells joined by a tab, each row ended by CR LF.
QString selectedRowsText(const QTreeWidget& list);
bool hasSelection(const QTreeWidget& list);
// Puts selectedRowsText on the clipboard; nothing when no row is selected.
void copySelectedRows(const QTreeWidget& list);
// The table row an item was made from.
int tableRow(const QTreeWidgetItem& item);
}  // namespace rowlist

class ListView final : public ReportPane {
    Q_OBJECT
  public:
    explicit ListView(PaneServices services, QWidget* parent = nullptr);

    presentation::ViewKind kind() const override { return presentation::ViewKind::Chart; }
    void load(const document::Document& document) override;
    bool canCopy() const override;
    void copySelection() override;
    bool canLaunch() const override { return true; }
    void launch() override;
    bool launchArmed() const override;

    QTreeWidget* widget() const { return list_; }
    // -1 until a column has been clicked since the last load.
    int lastSortedColumn() const { return lastSorted_; }
    bool reversed(int column) const;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void columnClicked(int column);
    void sortBy(int column);
    int compare(const QTreeWidgetItem& a, const QTreeWidgetItem& b, int column) const;

    PaneServices services_;
    QTreeWidget* list_;
    std::vector<presentation::ColumnKind> kinds_;
    std::vector<std::int64_t> keys_;       // by table row
    std::vector<std::string> firstTexts_;  // by table row, as the table holds them
    std::vector<bool> reversed_;           // by column, for this load only
    std::string domain_;
    int lastSorted_ = -1;
    bool widthsPending_ = false;
};

}  // namespace tw::ui
