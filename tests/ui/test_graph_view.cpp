// The graph view on a real log (each graph style drawn, the view commands), and printing the
// reports to a PDF file, read back with pdftotext and pdftoppm.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QClipboard>
#include <QColor>
#include <QImage>
#include <QLabel>
#include <QLineSeries>
#include <QPieSeries>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "export/export_walk.h"
#include "modal_driver.h"
#include "support/fakes.h"
#include "support/local_servers.h"
#include "tool_window.h"
#include "ui/graph_view.h"
#include "ui/report_printer.h"
#include "ui/report_tree.h"
#include "widget_lookup.h"

namespace tw::ui {
namespace {

namespace fs = std::filesystem;
using presentation::ViewKind;

// Colours in the image that are neither grey nor near white: what a drawing adds to text.
int colouredPixels(const QImage& image) {
    int n = 0;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2) {
            const QColor c = image.pixelColor(x, y);
            if (c.saturation() > 80 && c.value() > 60) ++n;
        }
    return n;
}

std::string run(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        pclose(p);
    }
    return out;
}

struct Analysed {
    test::FakeProgressDialog progress;
    ToolWindow tool{progress};
    test::ScratchDir dir;

    Analysed() {
        setenv("TZ", "UTC", 1);
        tzset();
        tool.settings.setDataFolder(dir.path().string());
        tool.window.resize(1000, 700);
        tool.window.show();
    }
    bool generate() {
        return tool.window.generate(ToolWindow::definition(
            "Sample", TALLYWEB_DATA_DIR "/combined/elastic-examples_apache_logs.log",
            "semicomplete.com"));
    }
    void choose(const char* title) {
        const presentation::Handle h = tool.doc.catalogue().findByTitle(title);
        ASSERT_NE(h, presentation::kNoHandle) << title;
        tool.window.reportTree()->choose(h);
        QApplication::processEvents();
    }
    GraphView* graph() { return qobject_cast<GraphView*>(tool.window.pane()); }
};

TEST(GraphView, EachStyleIsDrawnFromTheTableAndTheViewCommandsFollowIt) {
    Analysed a;
    ASSERT_TRUE(a.generate());

    a.choose("Browser");
    GraphView* pie = a.graph();
    ASSERT_NE(pie, nullptr) << "graph mode is the default";
    ASSERT_EQ(pie->chart()->series().size(), 1);
    auto* slices = qobject_cast<QPieSeries*>(pie->chart()->series().front());
    ASSERT_NE(slices, nullptr);
    EXPECT_GT(slices->count(), 0);
    EXPECT_LE(slices->count(), 8);
    EXPECT_EQ(static_cast<std::size_t>(slices->count()), pie->model().slices.size());
    EXPECT_EQ(slices->slices().front()->label().toStdString(), pie->model().slices.front().label);
    EXPECT_GT(colouredPixels(pie->picture()), 500) << "the pie is drawn";
    EXPECT_FALSE(a.tool.window.action("launch")->isEnabled());
    ASSERT_TRUE(a.tool.window.action("copy")->isEnabled());
    QApplication::clipboard()->clear();
    a.tool.window.action("copy")->trigger();
    EXPECT_FALSE(QApplication::clipboard()->image().isNull());

    a.choose("Most Popular Hour");
    GraphView* bars = a.graph();
    ASSERT_NE(bars, nullptr);
    auto* hours = qobject_cast<QBarSeries*>(bars->chart()->series().front());
    ASSERT_NE(hours, nullptr);
    ASSERT_EQ(hours->count(), 1);
    EXPECT_EQ(hours->barSets().front()->count(), 24);
    // The hours repeat their short labels ("1" AM and PM); each still gets its own bar.
    const QList<QAbstractAxis*> along = bars->chart()->axes(Qt::Horizontal);
    ASSERT_EQ(along.size(), 1);
    auto* categories = qobject_cast<QBarCategoryAxis*>(along.front());
    ASSERT_NE(categories, nullptr);
    EXPECT_EQ(categories->count(), 24);
    EXPECT_GT(colouredPixels(bars->picture()), 500);

    a.choose("Hits per Day");
    GraphView* days = a.graph();
    ASSERT_NE(days, nullptr);
    auto* line = qobject_cast<QLineSeries*>(days->chart()->series().front());
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->count(), a.tool.doc.table().rows());
    EXPECT_GE(line->count(), 2);
    EXPECT_GT(colouredPixels(days->picture()), 200);

    // Chart View lists the same report; Graph View draws it again. Reports without a graph
    // are lists in both modes.
    a.tool.window.action("chartView")->trigger();
    QApplication::processEvents();
    EXPECT_EQ(a.tool.window.pane()->kind(), ViewKind::Chart);
    a.tool.window.action("graphView")->trigger();
    QApplication::processEvents();
    EXPECT_EQ(a.tool.window.pane()->kind(), ViewKind::Graph);
    a.choose("Most Requested Pages");
    EXPECT_EQ(a.tool.window.pane()->kind(), ViewKind::Chart);
}

TEST(Printing, EveryReportGoesToOnePdfAndAGraphPageHoldsADrawing) {
    if (run("command -v pdftotext").empty() || run("command -v pdftoppm").empty())
        GTEST_SKIP() << "pdftotext and pdftoppm (poppler-utils) are not installed";
    Analysed a;
    ASSERT_TRUE(a.generate());
    a.choose("Most Requested Pages");
    const std::string firstPage = a.tool.doc.table().cell(0, 0);
    ASSERT_FALSE(firstPage.empty());

    // Print, "all the reports", through the dialogs as a user would; the print dialog is
    // answered by pointing the printer at a file.
    const fs::path all = a.dir.path() / "all.pdf";
    int asked = 0;
    a.tool.window.setPrinterQuestion([&](QPrinter& p) {
        ++asked;
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(QString::fromStdString(all.string()));
        return true;
    });
    {
        ModalDriver driver([](QWidget* w) {
            auto* options = qobject_cast<PrintOptionsDialog*>(w);
            if (options == nullptr) return;
            EXPECT_TRUE(options->currentChoice()->isChecked());
            options->allChoice()->click();
            child<QPushButton>(*options, "print")->click();
        });
        a.tool.window.action("print")->trigger();
    }
    EXPECT_EQ(asked, 1);
    ASSERT_TRUE(fs::exists(all));
    const std::string text = run("pdftotext -layout '" + all.string() + "' -");
    std::set<std::string> titles;
    exporter::exportWalk(a.tool.doc, [&](const exporter::WalkItem&) {
        titles.insert(a.tool.doc.table().title);
    });
    ASSERT_GT(titles.size(), 10u);
    for (const std::string& title : titles) EXPECT_NE(text.find(title), std::string::npos) << title;
    EXPECT_NE(text.find(firstPage), std::string::npos) << firstPage << " (letters joined?)";
    EXPECT_NE(text.find("Most Requested Pages (continued)"), std::string::npos)
        << "a long list goes on over pages with its title";
    // The walk leaves the report the user had chosen on show.
    EXPECT_EQ(a.tool.doc.selected(), a.tool.doc.catalogue().findByTitle("Most Requested Pages"));

    // The pie alone: one page, and a drawing on it.
    a.choose("Browser");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const fs::path pie = a.dir.path() / "pie.pdf";
    printer.setOutputFileName(QString::fromStdString(pie.string()));
    ASSERT_TRUE(a.tool.window.printReports(printer, false));
    EXPECT_NE(run("pdfinfo '" + pie.string() + "'").find("Pages:           1"), std::string::npos);
    const std::string png = (a.dir.path() / "pie").string();
    run("pdftoppm -r 40 -png -singlefile '" + pie.string() + "' '" + png + "'");
    const QImage page(QString::fromStdString(png + ".png"));
    ASSERT_FALSE(page.isNull());
    EXPECT_GT(colouredPixels(page), 200);

    // A report with nothing to print offers only "all", and says why.
    a.choose("Hyperlink Tree View");
    bool seen = false;
    {
        ModalDriver driver([&seen](QWidget* w) {
            auto* options = qobject_cast<PrintOptionsDialog*>(w);
            if (options == nullptr) return;
            seen = true;
            EXPECT_FALSE(options->currentChoice()->isEnabled());
            EXPECT_TRUE(options->allChoice()->isChecked());
            EXPECT_NE(options->findChild<QLabel*>("notPrintable"), nullptr);
            options->reject();
        });
        a.tool.window.action("print")->trigger();
    }
    EXPECT_TRUE(seen);
    EXPECT_EQ(asked, 1) << "cancelled before the print dialog";
}

}  // namespace
}  // namespace tw::ui
