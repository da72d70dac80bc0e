#pragma once
// Printing: reports painted onto the pages of a printer or a PDF file. Lists and grouped lists
// become tables whose title and column headings come again on every page; a graph gets a page
// of its own, scaled to it with its proportions kept. Also the "Print Options" dialog, which
// asks whether to print the report shown or every report.
//
// Threads: the user-interface thread only. Failure: a printer that cannot be opened leaves
// ok() false and paints nothing; finish() says whether the pages were all written.
#include <QDialog>
#include <QFont>
#include <QPainter>

#include "presentation/report_rows.h"
#include "presentation/report_table.h"

class QPrinter;
class QRadioButton;

namespace tw::ui {

class ReportPrinter {
  public:
    // Starts painting on `printer`, which must outlive this object.
    explicit ReportPrinter(QPrinter& printer);
    ~ReportPrinter();
    ReportPrinter(const ReportPrinter&) = delete;
    ReportPrinter& operator=(const ReportPrinter&) = delete;

    bool ok() const { return painter_.isActive(); }
    // One report as the view of `view` shows it, from a fresh page.
    void print(const presentation::ReportTable& table, presentation::ViewKind view);
    // Ends the document; false when the printer reported an error or never opened.
    bool finish();
    int pages() const { return pages_; }

  private:
    void startPage();
    void printTable(const presentation::ReportTable& table, bool grouped);
    // The title (continued on later pages) and the headings; returns the y below them.
    int tableHeading(const presentation::ReportTable& table, const std::vector<int>& widths,
                     bool continued);

    QPrinter& printer_;
    QPainter painter_;
    int pages_ = 0;
    QFont title_;
    QFont heading_;
    QFont body_;
};

class PrintOptionsDialog final : public QDialog {
    Q_OBJECT
  public:
    // `currentPrintable`: whether the report shown has anything to print.
    explicit PrintOptionsDialog(bool currentPrintable, QWidget* parent = nullptr);
    bool printAll() const;
    QRadioButton* currentChoice() const { return current_; }
    QRadioButton* allChoice() const { return all_; }

  private:
    QRadioButton* current_;
    QRadioButton* all_;
};

}  // namespace tw::ui
