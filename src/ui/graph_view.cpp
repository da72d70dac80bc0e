#include "ui/graph_view.h"

#include <QApplication>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QGraphicsScene>
#include <QLineSeries>
#include <QPainter>
#include <QPieSeries>
#include <QPieSlice>
#include <QValueAxis>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <memory>

#include "ui/ui_text.h"

namespace tw::ui {
namespace {

using presentation::GraphModel;
using presentation::GraphStyle;

// Room above the largest value, so that the top bar or point does not touch the frame.
double axisTop(double yMax) {
    return yMax > 0 ? yMax * 1.05 : 1.0;
}

void addValueAxis(QChart& chart, QAbstractSeries& series, const GraphModel& g) {
    auto* y = new QValueAxis;
    y->setRange(0, axisTop(g.yMax));
    y->applyNiceNumbers();
    y->setLabelFormat("%.0f");
    if (!g.yAxisTitle.empty()) y->setTitleText(fromText(g.yAxisTitle));
    chart.addAxis(y, Qt::AlignLeft);
    series.attachAxis(y);
}

// Eight colours that stay apart on screen and on paper, one per slice.
constexpr std::array<QRgb, presentation::kMaxPieSlices> kSliceColours{
    0x1f77b4, 0xff7f0e, 0x2ca02c, 0xd62728, 0x9467bd, 0x8c564b, 0xe377c2, 0x17becf};

void pie(QChart& chart, const GraphModel& g) {
    auto* series = new QPieSeries;
    for (std::size_t i = 0; i < g.slices.size(); ++i) {
        const presentation::PieSlice& s = g.slices[i];
        QPieSlice* slice = series->append(fromText(s.label), static_cast<qreal>(s.value));
        slice->setBrush(QColor::fromRgb(kSliceColours[i % kSliceColours.size()]));
        // Narrow slices would crowd their labels onto each other; the legend names them all.
        slice->setLabelVisible(s.share >= 0.04);
    }
    chart.addSeries(series);
    chart.legend()->setAlignment(Qt::AlignRight);
    chart.legend()->setVisible(!g.slices.empty());
}

void bars(QChart& chart, const GraphModel& g) {
    auto* set = new QBarSet(fromText(g.yAxisTitle.empty() ? g.title : g.yAxisTitle));
    for (double v : g.y) *set << v;
    auto* series = new QBarSeries;
    series->append(set);
    chart.addSeries(series);
    auto* x = new QBarCategoryAxis;
    // The axis keeps one bar per distinct text, but the hours repeat theirs ("1" AM and PM):
    // invisible marks make each repeat distinct without changing what is shown.
    QStringList categories;
    for (const std::string& c : g.categories) {
        QString label = fromText(c);
        while (categories.contains(label)) label += QChar(0x200B);
        categories << label;
    }
    x->append(categories);
    if (!g.xAxisTitle.empty()) x->setTitleText(fromText(g.xAxisTitle));
    chart.addAxis(x, Qt::AlignBottom);
    series->attachAxis(x);
    addValueAxis(chart, *series, g);
    chart.legend()->setVisible(false);
}

void timeLine(QChart& chart, const GraphModel& g) {
    auto* series = new QLineSeries;
    for (std::size_t i = 0; i < g.x.size() && i < g.y.size(); ++i) series->append(g.x[i], g.y[i]);
    chart.addSeries(series);
    QAbstractAxis* xAxis = nullptr;
    if (!g.ticks.empty()) {
        // The date labels are the core's, at the core's positions, so that every drawing of
        // the graph names the same days.
        auto* dates = new QCategoryAxis;
        dates->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
        for (const presentation::AxisTick& t : g.ticks)
            dates->append(fromText(t.label), t.x);
        xAxis = dates;
    } else {
        auto* numbers = new QValueAxis;
        numbers->setLabelFormat("%.0f");
        xAxis = numbers;
    }
    xAxis->setRange(g.xMin, std::max(g.xMax, g.xMin + 1));
    if (!g.xAxisTitle.empty()) xAxis->setTitleText(fromText(g.xAxisTitle));
    chart.addAxis(xAxis, Qt::AlignBottom);
    series->attachAxis(xAxis);
    addValueAxis(chart, *series, g);
    chart.legend()->setVisible(false);
}

}  // namespace

QChart* makeChart(const GraphModel& g) {
    auto* chart = new QChart;
    chart->setTitle(fromText(g.title));
    QFont title = chart->titleFont();
    title.setBold(true);
    title.setPointSizeF(title.pointSizeF() * 1.3);
    chart->setTitleFont(title);
    switch (g.style) {
        case GraphStyle::Pie:
            pie(*chart, g);
            break;
        case GraphStyle::Bars:
            bars(*chart, g);
            break;
        case GraphStyle::Time:
            timeLine(*chart, g);
            break;
    }
    return chart;
}

void paintGraph(QPainter& painter, const GraphModel& model, const QRectF& target) {
    const qreal a = kGraphSize.width(), b = kGraphSize.height();
    const qreal c = target.width(), d = target.height();
    qreal e = 0, f = 0;  // printed height and width
    if (c / a > d / b) {
        e = 0.9 * d;
        f = a * e / b;
    } else {
        f = 0.9 * c;
        e = b * f / a;
    }
    const QRectF placed(target.left() + (c - f) / 2, target.top() + (d - e) / 2, f, e);
    QGraphicsScene scene;
    QChart* chart = makeChart(model);
    scene.addItem(chart);  // the scene owns it from here
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->resize(kGraphSize);
    scene.setSceneRect(QRectF(QPointF(0, 0), kGraphSize));
    scene.render(&painter, placed, scene.sceneRect(), Qt::KeepAspectRatio);
}

GraphView::GraphView(QWidget* parent) : ReportPane(parent), view_(new QChartView) {
    view_->setObjectName("graph");
    view_->setRenderHint(QPainter::Antialiasing);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
}

void GraphView::load(const document::Document& document) {
    model_ = presentation::graphOf(document.table());
    std::unique_ptr<QChart> old(view_->chart());
    view_->setChart(makeChart(model_));  // the view does not delete the chart it replaces
    loaded_ = true;
}

QChart* GraphView::chart() const {
    return view_->chart();
}

QImage GraphView::picture() const {
    return view_->grab().toImage();
}

void GraphView::copySelection() {
    if (!loaded_) return;
    QApplication::clipboard()->setImage(picture());
}

}  // namespace tw::ui
