// Measures how the window behaves while a long run is under the progress dialog: the longest
// time the user-interface thread went without serving its event loop, and how often the
// progress bar was repainted. Not a test (timings are not checked in CI): run by
// scripts/responsiveness.sh on a large log.
#include <QApplication>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <string>

#include "tool_window.h"
#include "ui/qt_progress.h"

namespace {

// Counts the paint events of one widget.
class PaintCounter final : public QObject {
  public:
    int paints = 0;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: ui_responsiveness LOG DOMAIN\n");
        return 2;
    }
    tw::ui::QtProgressDialog progress(nullptr);
    tw::ui::ToolWindow tool(progress);
    tw::ui::MainWindow& window = tool.window;
    window.show();

    PaintCounter counter;
    progress.findChild<QProgressBar*>(QStringLiteral("bar"))->installEventFilter(&counter);

    // A tick every 10 ms; while the dialog is up, the longest wait between two ticks is how
    // long the window could not have repainted.
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (progress.isVisible()) {
            if (sinceTick.isValid()) longestGap = std::max(longestGap, sinceTick.elapsed());
            ++ticks;
            sinceTick.restart();
        } else {
            sinceTick.invalidate();
        }
    });
    ticker.start(10);

    const tw::config::ReportDefinition def =
        tw::ui::ToolWindow::definition("Responsiveness", argv[1], argv[2]);
    QElapsedTimer wall;
    wall.start();
    const bool produced = window.generate(def);
    const double seconds = static_cast<double>(wall.elapsed()) / 1000.0;
    ticker.stop();

    const tw::ingest::RunSummary& run = tool.doc.lastRun();
    std::printf("report produced: %s; %.1f MB in %.2f s from the click to the report (%.1f MB/s)\n",
                produced ? "yes" : "no", run.megabytes, seconds, run.megabytes / seconds);
    std::printf(
        "while the progress dialog was up: %d event-loop ticks of 10 ms, longest gap "
        "%lld ms; the progress bar was painted %d times\n",
        ticks, static_cast<long long>(longestGap), counter.paints);
    return produced ? 0 : 1;
}
