#pragma once
// The graph of a report: a pie, bars or a line over dates, drawn with Qt Charts from what the
// core works out of the report table (presentation::graphOf), so that the screen, the printout
// and the exported pictures show the same slices, bars and axis labels.
//
// Threads: the user-interface thread only.
#include <QImage>
#include <QSizeF>

#include "presentation/graph_model.h"
#include "ui/report_pane.h"

class QChartView;
class QChart;
class QPainter;
class QRectF;

namespace tw::ui {

// A chart of `model`; the caller owns it (a QChartView takes it over when given it).
QChart* makeChart(const presentation::GraphModel& model);

// The size a graph is laid out at before it is scaled onto a page or into a picture.
inline constexpr QSizeF kGraphSize{640, 400};

// Draws `model` into `target`, keeping its proportions: 90 % of the target's width or height,
// whichever binds, centred.
void paintGraph(QPainter& painter, const presentation::GraphModel& model, const QRectF& target);

class GraphView final : public ReportPane {
    Q_OBJECT
  public:
    explicit GraphView(QWidget* parent = nullptr);

    presentation::ViewKind kind() const override { return presentation::ViewKind::Graph; }
    void load(const document::Document& document) override;
    // Copy puts the graph on the clipboard as a picture; Launch has nothing to open here.
    bool canCopy() const override { return loaded_; }
    void copySelection() override;

    const presentation::GraphModel& model() const { return model_; }
    QChart* chart() const;
    // The graph as it is drawn now.
    QImage picture() const;

  private:
    QChartView* view_;
    presentation::GraphModel model_;
    bool loaded_ = false;
};

}  // namespace tw::ui
