#include "ui/hyperlink_pane.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>

namespace tw::ui {

namespace {

const QColor kBackground(255, 255, 210);
const QColor kJoin(0, 0, 128);
const QColor kBoxOutline(128, 128, 128);

QString toQt(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QRect toQt(const site::Rect& r) {
    return {r.left, r.top, r.width(), r.height()};
}

// A sheet with a folded corner; a page that links on carries an arrow, one the crawl could not
// read is drawn grey and dashed.
void drawPage(QPainter& g, QPoint at, site::NodeIcon kind) {
    g.save();
    g.translate(at);
    g.setRenderHint(QPainter::Antialiasing, true);
    const bool read = kind != site::NodeIcon::NotRead;
    QPen outline(read ? QColor(40, 60, 110) : QColor(140, 140, 140), 1.2);
    if (!read) outline.setStyle(Qt::DashLine);
    g.setPen(outline);
    g.setBrush(read ? QColor(250, 250, 245) : QColor(235, 235, 235));
    QPainterPath sheet;
    sheet.moveTo(6.5, 2.5);
    sheet.lineTo(20.5, 2.5);
    sheet.lineTo(26.5, 8.5);
    sheet.lineTo(26.5, 29.5);
    sheet.lineTo(6.5, 29.5);
    sheet.closeSubpath();
    g.drawPath(sheet);
    g.drawPolyline(QPolygonF({{20.5, 2.5}, {20.5, 8.5}, {26.5, 8.5}}));
    if (read) {
        g.setPen(QPen(QColor(150, 160, 185), 1));
        for (int y = 12; y <= 24; y += 4) g.drawLine(QPointF(10, y), QPointF(22, y));
    }
    if (kind == site::NodeIcon::PageWithLinks) {
        g.setPen(QPen(kJoin, 2));
        g.drawLine(QPointF(16, 22), QPointF(29, 22));
        g.drawPolyline(QPolygonF({{25, 18.5}, {29, 22}, {25, 25.5}}));
    }
    g.restore();
}

}  // namespace

class HyperlinkDiagram final : public QAbstractScrollArea {
  public:
    explicit HyperlinkDiagram(QWidget* parent) : QAbstractScrollArea(parent) {
        regular_ = QApplication::font();
        regular_.setPointSize(8);
        bold_ = regular_;
        bold_.setBold(true);
        // The column was measured for a font of about five pixels a letter; the platform's
        // font is usually wider, and at the bare width even "/index.html" would be cut.
        const int letter = QFontMetrics(regular_).averageCharWidth();
        column_ = std::max(site::kTextColumnWidth, site::kTextColumnWidth * letter / 5);
        viewport()->setAutoFillBackground(false);
        updateScrollBars();
    }

    void setTree(std::unique_ptr<site::HyperlinkTree> tree) {
        tree_ = std::move(tree);
        relayout();
        horizontalScrollBar()->setValue(0);
        verticalScrollBar()->setValue(0);
    }
    const site::HyperlinkTree* tree() const { return tree_.get(); }
    const site::TreeLayout& layout() const { return layout_; }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter g(viewport());
        const QPoint scroll(horizontalScrollBar()->value(), verticalScrollBar()->value());
        g.translate(-scroll);
        // Filling the viewport too keeps a small tree from leaving the rest of the pane bare.
        const QRect tree = tree_ ? toQt(layout_.bounds) : QRect(QPoint(0, 0), contentSize_);
        g.fillRect(tree.united(QRect(scroll, viewport()->size())), kBackground);
        if (!tree_) return;

        g.setPen(QPen(kJoin, 2));
        for (const site::Line& line : layout_.lines)
            g.drawLine(line.from.x, line.from.y, line.to.x, line.to.y);

        g.setBackgroundMode(Qt::TransparentMode);
        for (const site::NodeLayout& node : layout_.nodes) drawNode(g, node);
    }

    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton || !tree_) return;
        const QPoint at = event->position().toPoint() +
                          QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
        if (site::TreeNode* node = site::toggleAt(layout_, {at.x(), at.y()})) {
            tree_->toggle(*node);
            relayout();
        }
    }

    void resizeEvent(QResizeEvent*) override { updateScrollBars(); }

  private:
    site::TextSize measure(std::string_view text, site::FontKind font, int wrapWidth,
                           bool elideMiddle) const {
        const QFontMetrics metrics(font == site::FontKind::Bold ? bold_ : regular_);
        auto advance = [&](std::string_view s) { return metrics.horizontalAdvance(toQt(s)); };
        if (elideMiddle) {
            std::string shown = site::elidePathMiddle(text, wrapWidth, advance);
            return {advance(shown), metrics.height(), std::move(shown)};
        }
        if (wrapWidth == 0) return {advance(text), metrics.height(), std::string(text)};
        const QRect r =
            metrics.boundingRect(QRect(0, 0, wrapWidth, std::numeric_limits<int>::max() / 2),
                                 Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, toQt(text));
        return {r.width(), r.height(), std::string(text)};
    }

    void relayout() {
        if (tree_)
            layout_ = site::layoutTree(
                tree_->root(),
                [this](std::string_view text, site::FontKind font, int wrap, bool elide) {
                    return measure(text, font, wrap, elide);
                },
                column_);
        else
            layout_ = {};
        contentSize_ =
            tree_ ? QSize(layout_.bounds.width(), layout_.bounds.height()) : QSize(500, 500);
        updateScrollBars();
        viewport()->update();
    }

    void updateScrollBars() {
        const QSize view = viewport()->size();
        horizontalScrollBar()->setPageStep(view.width());
        horizontalScrollBar()->setSingleStep(16);
        horizontalScrollBar()->setRange(0, std::max(0, contentSize_.width() - view.width()));
        verticalScrollBar()->setPageStep(view.height());
        verticalScrollBar()->setSingleStep(16);
        verticalScrollBar()->setRange(0, std::max(0, contentSize_.height() - view.height()));
    }

    void drawNode(QPainter& g, const site::NodeLayout& node) const {
        drawPage(g, {node.position.x, node.position.y}, node.node->icon);
        g.setPen(Qt::black);
        constexpr int kOneLine = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;
        if (!node.hitLine.empty()) {
            g.setFont(regular_);
            g.drawText(toQt(node.hitLine), kOneLine, toQt(node.hitText));
        }
        g.setFont(bold_);
        g.drawText(toQt(node.address), kOneLine, toQt(node.addressText));
        g.setFont(regular_);
        // Wrapped again at the column's width, not the measured one, so the lines break where
        // they broke when measured.
        QRect title = toQt(node.title);
        title.setWidth(std::max(title.width(), column_));
        g.drawText(title, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, toQt(node.titleText));

        if (!node.toggle) return;
        const site::Rect& box = *node.toggle;
        // QPainter's outline covers one pixel more than the rectangle it is given; the box's far
        // edges are just outside it.
        g.setPen(kBoxOutline);
        g.setBrush(Qt::white);
        g.drawRect(box.left, box.top, box.width() - 1, box.height() - 1);
        g.setBrush(Qt::NoBrush);
        g.setPen(Qt::black);
        const int x = node.position.x;
        const int y = node.position.y;
        // The strokes end one short of their end points, which belong to the next pixel.
        g.drawLine(x + 4, y + 37, x + 8, y + 37);
        if (!node.open) g.drawLine(x + 6, y + 35, x + 6, y + 39);
    }

    int column_ = site::kTextColumnWidth;  // the text column, in this font
    std::unique_ptr<site::HyperlinkTree> tree_;
    site::TreeLayout layout_;
    QSize contentSize_{500, 500};
    QFont regular_;
    QFont bold_;
};

HyperlinkPane::HyperlinkPane(QWidget* parent)
    : ReportPane(parent), diagram_(new HyperlinkDiagram(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(diagram_);
}

void HyperlinkPane::load(const document::Document& document) {
    diagram_->setTree(document.statistics() ? std::make_unique<site::HyperlinkTree>(
                                                  *document.statistics(), document.definition())
                                            : nullptr);
}

QAbstractScrollArea* HyperlinkPane::diagram() const {
    return diagram_;
}
const site::HyperlinkTree* HyperlinkPane::tree() const {
    return diagram_->tree();
}
const site::TreeLayout& HyperlinkPane::layout() const {
    return diagram_->layout();
}

}  // namespace tw::ui
