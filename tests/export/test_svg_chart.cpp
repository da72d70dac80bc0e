// The graphs of the HTML export: each style drawn as a well-formed SVG element with its marks
// and labels, hostile or broken texts kept as text, and the export placing one picture before
// each graph report's table without changing anything else of the page.
#include "export/svg_chart.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <utility>
#include <vector>

#include "export/export_run.h"
#include "export/export_walk.h"
#include "export/html_writer.h"
#include "export_fixture.h"
#include "presentation/report_rows.h"
#include "transfer/curl_transfer.h"
#include "xml_check.h"

namespace tw::exporter {
namespace {

using presentation::ColumnKind;
using presentation::GraphModel;
using presentation::graphOf;
using presentation::GraphStyle;
using presentation::ReportTable;
using test::occurrences;
using test::parsesAsXml;

ReportTable pieTable(const std::vector<std::pair<std::string, std::string>>& rows,
                     std::string title = "Browser") {
    ReportTable t;
    t.setLayout(3, static_cast<int>(rows.size()), 1);
    t.graphStyle = GraphStyle::Pie;
    t.title = std::move(title);
    for (int r = 0; r < static_cast<int>(rows.size()); ++r)
        t.setLabelValue(r, rows[static_cast<std::size_t>(r)].first,
                        rows[static_cast<std::size_t>(r)].second);
    return t;
}

// The number of "x,y" pairs in the one polyline's points.
std::size_t polylinePoints(const std::string& svg) {
    const std::size_t at = svg.find("points=\"");
    if (at == std::string::npos) return 0;
    const std::size_t end = svg.find('"', at + 8);
    return occurrences(svg.substr(at + 8, end - at - 8), ",");
}

TEST(SvgChart, PieBarsAndTimeLineAreWellFormedWithTheirMarksAndLabels) {
    test::TempDir scratch;

    // Ten rows with hits: the eight largest are slices, each in the legend with its share.
    std::vector<std::pair<std::string, std::string>> rows;
    for (int i = 0; i < 10; ++i) rows.emplace_back("B&" + std::to_string(i), std::to_string(i + 1));
    const std::string pie = svgChart(graphOf(pieTable(rows)));
    EXPECT_TRUE(parsesAsXml(pie, scratch.path));
    EXPECT_EQ(pie.rfind("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"640\" height=\"360\" "
                        "viewBox=\"0 0 640 360\"",
                        0),
              0u);
    EXPECT_EQ(pie.substr(pie.size() - 6), "</svg>");
    EXPECT_EQ(occurrences(pie, "<path class=\"slice\""), 8u);
    EXPECT_EQ(occurrences(pie, "<rect class=\"legend\""), 8u);
    EXPECT_NE(pie.find(">B&amp;9 (18.18%)</text>"), std::string::npos) << "largest first";
    EXPECT_EQ(pie.find("B&amp;1 ("), std::string::npos) << "the two smallest are not drawn";
    EXPECT_NE(pie.find("text-anchor=\"middle\" font-size=\"16\" font-weight=\"bold\">Browser<"),
              std::string::npos);
    for (const char* never : {"<script", "href", "url(", "<image", "<style", "<foreignObject"})
        EXPECT_EQ(pie.find(never), std::string::npos) << never;

    // One slice takes the whole circle, which a single arc cannot draw.
    const std::string whole = svgChart(graphOf(pieTable({{"com", "5"}, {"net", "0"}})));
    EXPECT_TRUE(parsesAsXml(whole, scratch.path));
    ASSERT_EQ(occurrences(whole, "<path class=\"slice\""), 1u);
    EXPECT_EQ(occurrences(whole, " A 135 135 "), 2u);

    // Bars: one per category, its label under it, the value axis scaled past the largest.
    ReportTable week;
    week.setLayout(3, 7, 1);
    week.graphStyle = GraphStyle::Bars;
    week.title = "Most Popular Day of Week";
    week.xAxisTitle = "Day";
    week.yAxisTitle = "Hits";
    const char* days[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                          "Thursday", "Friday", "Saturday"};
    for (int r = 0; r < 7; ++r) week.setLabelValue(r, days[r], std::to_string(r * 3));
    const std::string bars = svgChart(graphOf(week));
    EXPECT_TRUE(parsesAsXml(bars, scratch.path));
    EXPECT_EQ(occurrences(bars, "<rect class=\"bar\""), 7u);
    for (const char* day : days)
        EXPECT_NE(bars.find(std::string(">") + day + "</text>"), std::string::npos) << day;
    EXPECT_NE(bars.find(">Day</text>"), std::string::npos);
    EXPECT_NE(bars.find("rotate(-90 "), std::string::npos) << "the value axis title stands up";
    EXPECT_NE(bars.find(">Hits</text>"), std::string::npos);
    EXPECT_NE(bars.find(">20</text>"), std::string::npos) << "a scale of 5s up to 20 for 18";

    // Many categories are slanted, and still one bar each.
    ReportTable hours = week;
    hours.setLayout(3, 24, 1);
    hours.graphStyle = GraphStyle::Bars;
    for (int r = 0; r < 24; ++r) hours.setLabelValue(r, std::to_string(r), "1");
    const std::string slanted = svgChart(graphOf(hours));
    EXPECT_TRUE(parsesAsXml(slanted, scratch.path));
    EXPECT_EQ(occurrences(slanted, "<rect class=\"bar\""), 24u);
    EXPECT_EQ(occurrences(slanted, "rotate(-45 "), 24u);
    EXPECT_NE(slanted.find(">1</text>"), std::string::npos);
    EXPECT_EQ(slanted.find(">0.5</text>"), std::string::npos) << "whole counts, whole steps";

    // Time: a point per row, and the date axis labelled in the table's format.
    ReportTable period;
    period.setLayout(3, 5, 1);
    period.graphStyle = GraphStyle::Time;
    period.title = "Hits over Time Period";
    period.xAxisTitle = "Date";
    period.yAxisTitle = "Hits per day";
    period.setKinds({ColumnKind::ByKeyOrdered, ColumnKind::Integer, ColumnKind::Integer});
    period.dateLabelFormat = "d mmm, yy";
    period.graphStartTime = "2023:12:31:00:00:00";
    period.graphStep = "0000:00:01:00:00:00";
    for (int r = 0; r < 5; ++r) {
        period.setLabelValue(r, "day", std::to_string(10 * (r + 1)));
        period.setKey(r, 19722 + r);
    }
    const GraphModel model = graphOf(period);
    const std::string line = svgChart(model);
    EXPECT_TRUE(parsesAsXml(line, scratch.path));
    EXPECT_EQ(occurrences(line, "<polyline class=\"line\""), 1u);
    EXPECT_EQ(polylinePoints(line), 5u);
    // The first point at the left of the plot, the last at its right.
    EXPECT_NE(line.find("points=\"78,"), std::string::npos) << line;
    EXPECT_NE(line.find(" 620,"), std::string::npos);
    for (const presentation::AxisTick& tick : model.ticks)
        EXPECT_NE(line.find(">" + tick.label + "</text>"), std::string::npos) << tick.label;
    EXPECT_NE(line.find(">31 Dec, 23</text>"), std::string::npos);
    EXPECT_NE(line.find(">Hits per day</text>"), std::string::npos);
    EXPECT_NE(line.find(">Date</text>"), std::string::npos);

    // The same graph gives the same bytes.
    EXPECT_EQ(svgChart(model), line);
}

TEST(SvgChart, HostileAndBrokenTextsStayWellFormedText) {
    test::TempDir scratch;
    const std::string script = "<script>alert(1)</script>";
    // An agent-like label with bytes that are no UTF-8, a control character and quotes.
    const std::string label = script + "\xff\xfe \"q\" \x01" + "caf\xc3\xa9";
    const std::string pie =
        svgChart(graphOf(pieTable({{label, "3"}, {"ok", "1"}}, "Agents " + script)));
    EXPECT_TRUE(parsesAsXml(pie, scratch.path));
    EXPECT_EQ(pie.find("<script"), std::string::npos);
    EXPECT_EQ(pie.find('\xff'), std::string::npos);
    EXPECT_EQ(pie.find('\x01'), std::string::npos);
    const std::string escaped = "&lt;script&gt;alert(1)&lt;/script&gt;";
    EXPECT_NE(pie.find("<title>Agents " + escaped + "</title>"), std::string::npos);
    EXPECT_NE(pie.find(escaped + "\xEF\xBF\xBD\xEF\xBF\xBD &quot;q&quot; caf\xc3\xa9 (75.00%)"),
              std::string::npos)
        << "each bad byte one replacement character, good ones kept";

    // Cut labels are cut between characters, never inside an entity or a UTF-8 sequence.
    ReportTable many;
    many.setLayout(3, 20, 1);
    many.graphStyle = GraphStyle::Bars;
    many.title = "x";
    for (int r = 0; r < 20; ++r)
        many.setLabelValue(r, "\xc3\xa9\xc3\xa9\xc3\xa9&&&&<<<<>>>>\"\"\xe2\x82\xac\xff" + script,
                           "1");
    const std::string bars = svgChart(graphOf(many));
    EXPECT_TRUE(parsesAsXml(bars, scratch.path));
    EXPECT_EQ(bars.find("<script"), std::string::npos);
    EXPECT_NE(
        bars.find(">\xc3\xa9\xc3\xa9\xc3\xa9&amp;&amp;&amp;&amp;&lt;&lt;&lt;&lt;&gt;&gt;&gt;..."
                  "</text>"),
        std::string::npos)
        << bars;

    ReportTable period;
    period.setLayout(3, 2, 1);
    period.graphStyle = GraphStyle::Time;
    period.title = script;
    period.xAxisTitle = script + "\xc0\xaf";  // an overlong "/": no valid UTF-8
    period.setKinds({ColumnKind::ByKeyOrdered});
    period.dateLabelFormat = "<d> mmm";
    period.graphStartTime = "2023:12:31:00:00:00";
    period.graphStep = "0000:00:01:00:00:00";
    for (int r = 0; r < 2; ++r) {
        period.setLabelValue(r, "day", "1");
        period.setKey(r, 19722 + r);
    }
    const std::string line = svgChart(graphOf(period));
    EXPECT_TRUE(parsesAsXml(line, scratch.path));
    EXPECT_EQ(line.find("<script"), std::string::npos);
    EXPECT_NE(line.find(">&lt;31&gt; Dec</text>"), std::string::npos);
    EXPECT_NE(line.find(escaped + "\xEF\xBF\xBD\xEF\xBF\xBD</text>"), std::string::npos);
}

TEST(SvgChart, NothingToDrawLeavesTheTitleAndTheAxes) {
    test::TempDir scratch;
    const std::string zero = svgChart(graphOf(pieTable({{"com", "0"}, {"net", "0"}})));
    EXPECT_TRUE(parsesAsXml(zero, scratch.path));
    EXPECT_EQ(occurrences(zero, "class=\"slice\""), 0u);
    EXPECT_EQ(occurrences(zero, "class=\"legend\""), 0u);
    EXPECT_NE(zero.find(">Browser</text>"), std::string::npos);
    EXPECT_NE(zero.find("No values to show."), std::string::npos);

    for (const GraphStyle style : {GraphStyle::Bars, GraphStyle::Time}) {
        ReportTable empty;
        empty.setLayout(3, 0, 1);
        empty.graphStyle = style;
        empty.title = "Empty";
        empty.yAxisTitle = "Hits";
        const std::string svg = svgChart(graphOf(empty));
        EXPECT_TRUE(parsesAsXml(svg, scratch.path));
        EXPECT_EQ(occurrences(svg, "class=\"bar\""), 0u);
        EXPECT_EQ(occurrences(svg, "<polyline"), 0u);
        EXPECT_EQ(occurrences(svg, "stroke=\"#000000\""), 2u) << "both axes";
        EXPECT_NE(svg.find(">Hits</text>"), std::string::npos);
    }
}

// The export with graphs is the export without them plus one picture per graph report,
// placed after that report's description; the chart mode the user chose still decides the
// tables and is left as it was.
TEST(SvgChart, HtmlExportDrawsOneGraphBeforeEachGraphReportsTable) {
    setenv("TZ", "UTC", 1);
    tzset();
    test::DocumentFixture f;
    std::string log;
    for (int i = 0; i < 30; ++i)
        log +=
            test::logLine("10.0.0." + std::to_string(i % 7), "/p" + std::to_string(i % 4) + ".html",
                          i, "http://ref.example.com/<script>", i % 3 ? "Lynx/2.8" : "Mozilla/4.0");
    document::Document& doc = f.analyse(log);
    ASSERT_TRUE(doc.reportPresent());
    transfer::CurlTransfer transfer;  // local files only: never used
    const ExportServices services{f.prompter, transfer, {}};
    config::RunSettings run;
    run.TruncateExport = 30;

    // Graph reports, as the graph mode's fill tells them.
    std::vector<std::string> graphTitles;
    for (const presentation::Handle h : doc.catalogue().depthFirst()) {
        const presentation::FillResult fill = doc.select(h, {.exportWalk = true});
        if (fill.hasContent && fill.view == presentation::ViewKind::Graph)
            graphTitles.push_back(doc.table().title);
    }
    ASSERT_GE(graphTitles.size(), 4u);

    for (const bool chartMode : {false, true}) {
        doc.catalogue().setChartMode(chartMode);
        config::ExportSettings what;
        what.ExportExportType = kHtml;
        what.ExportServiceType = kLocalFile;
        what.ExportLocation = (f.data.path / "plain.html").string();
        ASSERT_TRUE(runExport(doc, what, run, services, false, 0).ok);
        what.ExportGraphs = 1;
        what.ExportLocation = (f.data.path / "graphs.html").string();
        ASSERT_TRUE(runExport(doc, what, run, services, false, 0).ok);
        EXPECT_EQ(doc.catalogue().chartMode(), chartMode);

        const std::string plain = test::readAll((f.data.path / "plain.html").string());
        const std::string graphs = test::readAll((f.data.path / "graphs.html").string());
        EXPECT_EQ(plain.find("<svg"), std::string::npos);
        const std::vector<std::string> svgs = test::svgElements(graphs);
        ASSERT_EQ(svgs.size(), graphTitles.size()) << "chart mode " << chartMode;
        std::string stripped = graphs;
        for (std::size_t i = 0; i < svgs.size(); ++i) {
            EXPECT_TRUE(parsesAsXml(svgs[i], f.data.path)) << graphTitles[i];
            EXPECT_NE(svgs[i].find("<title>" + escapeHtml(graphTitles[i]) + "</title>"),
                      std::string::npos)
                << graphTitles[i];
            // Inside its own report's section: its title bar is the last one before it.
            const std::size_t at = graphs.find(svgs[i]);
            const std::size_t bar = graphs.rfind("color=\"#FFFFFF\">", at);
            EXPECT_EQ(graphs.compare(bar + 16, graphTitles[i].size(), graphTitles[i]), 0)
                << graphTitles[i];
            const std::string block = "\r\n" + svgs[i] + "<br>\r\n";
            const std::size_t cut = stripped.find(block);
            ASSERT_NE(cut, std::string::npos);
            stripped.erase(cut, block.size());
        }
        EXPECT_TRUE(stripped == plain)
            << "chart mode " << chartMode << ": tables and texts are those of the plain export";
    }
}

}  // namespace
}  // namespace tw::exporter
