#pragma once
// What a graph of the report table shows, worked out without any drawing library: the pie's
// slices and labels, the bars, the time line and the texts and ticks of its date axis. The
// graph view on screen, the printout and the pictures of the HTML export draw from this, so
// they all show the same graph.
//
// Contract: a pure function of the table. Safe from any thread.
#include <cstdint>
#include <string>
#include <vector>

#include "presentation/report_table.h"

namespace tw::presentation {

// Pies show at most this many slices: the largest non-zero values.
inline constexpr std::size_t kMaxPieSlices = 8;

struct PieSlice {
    std::string label;  // the row's label and its share: "Mozilla (12.50%)"
    std::int64_t value = 0;
    double share = 0;   // of the sum of every row, 0..1
};

struct AxisTick {
    double x = 0;  // on the same scale as the points
    std::string label;
};

struct GraphModel {
    GraphStyle style = GraphStyle::Bars;
    std::string title;
    std::string xAxisTitle;
    std::string yAxisTitle;

    // Pie: every row, largest value first, labelled with its share; `slices` is the head of
    // that order that is drawn (the non-zero values, at most kMaxPieSlices).
    std::vector<PieSlice> ranked;
    std::vector<PieSlice> slices;

    // Bars: one per row in row order. Time: one point per row, x in day numbers (days since
    // 1970 in the log's frame) or the number the label starts with.
    std::vector<std::string> categories;
    std::vector<double> x;
    std::vector<double> y;

    // Time: the x range from the first row to the last, and the date axis: a tick at the
    // start time and every step after it up to the end of the range, labelled in the table's
    // date-label format; the labels name days, so a step is at least one whole day. Without a
    // format the axis shows plain numbers (no ticks given).
    double xMin = 0;
    double xMax = 0;
    std::vector<AxisTick> ticks;

    // The largest y of bars and time points (0 when none), for the axis range.
    double yMax = 0;
};

GraphModel graphOf(const ReportTable& table);

// A date-label format ("d mmm", "d mmm, yy", "mmm yyyy", ...) applied to a day number plus a
// fraction of a day. Letters other than d, m and y, and everything else, are copied.
std::string formatDateLabel(std::string_view format, double day);

}  // namespace tw::presentation
