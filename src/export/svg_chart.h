#pragma once
// A report's graph as one inline SVG element for the HTML export: the pie with its legend, the
// bars over their categories or the time line over its date axis, under the report's title.
// The element is self-contained (no scripts, styles or references to other files) and of a
// fixed size, so a page of them lays out the same in every browser.
//
// Every text is made valid UTF-8 and escaped as the HTML writer escapes texts, so that logged
// agents, referrers or URLs stay text. Numbers are written without the locale: the same graph
// gives the same bytes everywhere.
//
// Contract: a pure function of the graph, safe from any thread. It allocates and so may throw
// std::bad_alloc, which the export turns into a failed export.
#include <string>

#include "presentation/graph_model.h"

namespace tw::exporter {

inline constexpr int kSvgWidth = 640;
inline constexpr int kSvgHeight = 360;

// "<svg ...>...</svg>" without a line break at either end.
std::string svgChart(const presentation::GraphModel& graph);

}  // namespace tw::exporter
