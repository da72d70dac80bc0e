#include "ui/report_printer.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "presentation/graph_model.h"
#include "ui/graph_view.h"
#include "ui/ui_text.h"

namespace tw::ui {

using presentation::ColumnKind;
using presentation::ReportTable;
using presentation::ViewKind;

namespace {

QFont sized(qreal points, bool bold) {
    QFont f;
    f.setPointSizeF(points);
    f.setBold(bold);
    // Without shaping there are no ligatures, so an address copied out of a PDF reads "fl",
    // not one glyph that no browser takes.
    f.setStyleStrategy(QFont::PreferNoShaping);
    return f;
}

bool rightAligned(ColumnKind kind) {
    return kind == ColumnKind::Integer;
}

}  // namespace

ReportPrinter::ReportPrinter(QPrinter& printer)
    : printer_(printer), title_(sized(13, true)), heading_(sized(9, true)), body_(sized(9, false)) {
    painter_.begin(&printer_);
}

ReportPrinter::~ReportPrinter() {
    if (painter_.isActive()) painter_.end();
}

bool ReportPrinter::finish() {
    if (!painter_.isActive()) return false;
    return painter_.end() && printer_.printerState() != QPrinter::Error;
}

void ReportPrinter::startPage() {
    if (pages_ > 0) printer_.newPage();
    ++pages_;
}

void ReportPrinter::print(const ReportTable& table, ViewKind view) {
    if (!painter_.isActive()) return;
    startPage();
    if (view == ViewKind::Graph) {
        // The title is part of the graph, as on the screen.
        paintGraph(painter_, presentation::graphOf(table),
                   QRectF(0, 0, painter_.device()->width(), painter_.device()->height()));
        return;
    }
    printTable(table, view == ViewKind::TreeList);
}

int ReportPrinter::tableHeading(const ReportTable& table, const std::vector<int>& widths,
                                bool continued) {
    const int pageWidth = painter_.device()->width();
    painter_.setFont(title_);
    QString title = fromText(table.title);
    if (continued) title += QStringLiteral(" (continued)");
    const QFontMetrics tm(title_, painter_.device());
    painter_.drawText(QRect(0, 0, pageWidth, tm.height()), Qt::AlignLeft | Qt::AlignVCenter,
                      tm.elidedText(title, Qt::ElideRight, pageWidth));
    int y = tm.height() + tm.height() / 2;

    painter_.setFont(heading_);
    const QFontMetrics hm(heading_, painter_.device());
    int x = 0;
    for (int c = 0; c < table.columns(); ++c) {
        const int w = widths[static_cast<std::size_t>(c)];
        const int pad = hm.averageCharWidth() / 2;
        const QRect cell(x + pad, y, std::max(0, w - 2 * pad), hm.height());
        painter_.drawText(cell,
                          (rightAligned(table.kind(c)) ? Qt::AlignRight : Qt::AlignLeft) |
                              Qt::AlignVCenter,
                          hm.elidedText(fromText(table.header(c)), Qt::ElideRight, cell.width()));
        x += w;
    }
    y += hm.height();
    painter_.drawLine(0, y + 1, std::min(x, pageWidth), y + 1);
    return y + hm.height() / 3;
}

void ReportPrinter::printTable(const ReportTable& table, bool grouped) {
    const int pageWidth = painter_.device()->width();
    const int pageHeight = painter_.device()->height();
    const QFontMetrics bm(body_, painter_.device());
    const QFontMetrics hm(heading_, painter_.device());
    QFont bold = body_;
    bold.setBold(true);
    const int indentStep = bm.averageCharWidth() * 3;

    // Each column as wide as its widest text, then all scaled down together when the page is
    // narrower; what still does not fit is cut with an ellipsis.
    std::vector<int> widths(static_cast<std::size_t>(std::max(0, table.columns())), 0);
    for (int c = 0; c < table.columns(); ++c) {
        int w = hm.horizontalAdvance(fromText(table.header(c)));
        for (int r = 0; r < table.rows(); ++r) {
            int cw = bm.horizontalAdvance(fromText(table.cell(r, c)));
            if (c == 0 && grouped) cw += table.indent(r) * indentStep;
            w = std::max(w, cw);
        }
        widths[static_cast<std::size_t>(c)] = w + bm.averageCharWidth() * 2;
    }
    long long total = 0;
    for (int w : widths) total += w;
    if (total > pageWidth)
        for (int& w : widths) w = static_cast<int>(static_cast<long long>(w) * pageWidth / total);

    int y = tableHeading(table, widths, false);
    const int rowHeight = bm.height() + bm.height() / 5;
    for (int r = 0; r < table.rows(); ++r) {
        if (y + rowHeight > pageHeight) {
            startPage();
            y = tableHeading(table, widths, true);
        }
        painter_.setFont(grouped && table.indent(r) == 0 ? bold : body_);
        const QFontMetrics fm(painter_.font(), painter_.device());
        int x = 0;
        for (int c = 0; c < table.columns(); ++c) {
            const int w = widths[static_cast<std::size_t>(c)];
            const int pad = bm.averageCharWidth() / 2;
            const int shift = c == 0 && grouped ? table.indent(r) * indentStep : 0;
            const QRect cell(x + pad + shift, y, std::max(0, w - 2 * pad - shift), rowHeight);
            painter_.drawText(
                cell,
                (rightAligned(table.kind(c)) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter,
                fm.elidedText(fromText(table.cell(r, c)), Qt::ElideRight, cell.width()));
            x += w;
        }
        y += rowHeight;
    }
    if (table.rows() == 0 && !table.message.empty()) {
        painter_.setFont(body_);
        painter_.drawText(QRect(0, y, pageWidth, pageHeight - y), Qt::TextWordWrap,
                          fromText(table.message));
    }
}

PrintOptionsDialog::PrintOptionsDialog(bool currentPrintable, QWidget* parent)
    : QDialog(parent),
      current_(new QRadioButton(tr("Print only the &currently selected report"))),
      all_(new QRadioButton(tr("Print &all the reports in this project"))) {
    setWindowTitle(tr("Print Options"));
    current_->setObjectName("printCurrent");
    all_->setObjectName("printAll");
    auto* layout = new QVBoxLayout(this);
    auto* text =
        new QLabel(tr("Tallyweb can print either the currently selected report, or every report "
                      "in the current project."));
    text->setWordWrap(true);
    layout->addWidget(text);
    layout->addWidget(current_);
    layout->addWidget(all_);
    if (currentPrintable) {
        current_->setChecked(true);
    } else {
        current_->setEnabled(false);
        all_->setChecked(true);
        auto* note = new QLabel(tr("Note: the currently selected report is not printable."));
        note->setObjectName("notPrintable");
        layout->addWidget(note);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
    QPushButton* print = buttons->addButton(tr("&Print"), QDialogButtonBox::AcceptRole);
    print->setObjectName("print");
    print->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

bool PrintOptionsDialog::printAll() const {
    return all_->isChecked();
}

}  // namespace tw::ui
