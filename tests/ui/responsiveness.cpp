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

#include "document/document.h"
#include "platform/clock.h"
#include "platform/mapped_file.h"
#include "support/fakes.h"
#include "support/scripted_resolver.h"
#include "transfer/curl_transfer.h"
#include "ui/main_window.h"
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
    tw::platform::MemorySettings settings;
    tw::test::FakePrompter prompter;
    tw::ui::QtProgressDialog progress(nullptr);
    tw::platform::SystemClock clock;
    tw::platform::PosixFileOpener files;
    tw::ingest::PlainFileSources sources;
    tw::ingest::MeasureOnly measure;
    tw::ingest::NoSpider spider;
    tw::test::ScriptedResolver resolver;
    tw::transfer::CurlTransfer transfer;
    tw::document::Document doc(
        {settings, prompter, progress, clock, files, sources, measure, spider, resolver});
    tw::ui::MainWindow window(
        {doc, settings, prompter, transfer, [](const std::string&) { return true; }});
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

    tw::config::ReportDefinition def;
    def.Name = "Responsiveness";
    def.Path = argv[1];
    def.File = 1;
    def.Domain = argv[2];
    QElapsedTimer wall;
    wall.start();
    const bool produced = window.generate(def);
    const double seconds = static_cast<double>(wall.elapsed()) / 1000.0;
    ticker.stop();

    const tw::ingest::RunSummary& run = doc.lastRun();
    std::printf("report produced: %s; %.1f MB in %.2f s from the click to the report (%.1f MB/s)\n",
                produced ? "yes" : "no", run.megabytes, seconds, run.megabytes / seconds);
    std::printf(
        "while the progress dialog was up: %d event-loop ticks of 10 ms, longest gap "
        "%lld ms; the progress bar was painted %d times\n",
        ticks, static_cast<long long>(longestGap), counter.paints);
    return produced ? 0 : 1;
}
