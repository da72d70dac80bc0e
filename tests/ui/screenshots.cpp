// Screenshots of the main window after a run on a real log: one PNG per report named on the
// command line after the output folder. Used by scripts/screenshots.sh under Xvfb.
#include <QApplication>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <string>

#include "tool_window.h"
#include "ui/report_tree.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: ui_screenshots OUTDIR LOG DOMAIN [REPORT]...\n");
        return 2;
    }
    const std::string out = argv[1];
    tw::test::FakeProgressDialog progress;
    tw::ui::ToolWindow tool(progress);
    tw::ui::MainWindow& window = tool.window;
    tw::document::Document& doc = tool.doc;
    window.resize(1200, 760);
    window.show();

    const tw::config::ReportDefinition def =
        tw::ui::ToolWindow::definition("Sample site", argv[2], argv[3]);
    if (!window.generate(def)) {
        std::fprintf(stderr, "the run produced no report\n");
        return 1;
    }
    int status = 0;
    for (int i = 4; i < argc; ++i) {
        const tw::presentation::Handle h = doc.catalogue().findByTitle(argv[i]);
        if (h == tw::presentation::kNoHandle) {
            std::fprintf(stderr, "no report named '%s'\n", argv[i]);
            status = 1;
            continue;
        }
        window.reportTree()->choose(h);
        for (int k = 0; k < 5; ++k) QApplication::processEvents();
        std::string name = argv[i];
        for (char& c : name)
            if (c == ' ' || c == '/') c = '-';
        const std::string file = out + "/" + name + ".png";
        if (!window.grab().save(QString::fromStdString(file))) status = 1;
        std::printf("%s\n", file.c_str());
    }
    return status;
}
