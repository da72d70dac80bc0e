// Screenshots of the main window after a run on a real log: one PNG per report named on the
// command line after the output folder. Used by scripts/screenshots.sh under Xvfb.
#include <QApplication>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <string>

#include "document/document.h"
#include "platform/clock.h"
#include "platform/mapped_file.h"
#include "support/fakes.h"
#include "support/scripted_resolver.h"
#include "transfer/curl_transfer.h"
#include "ui/main_window.h"
#include "ui/report_tree.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: ui_screenshots OUTDIR LOG DOMAIN [REPORT]...\n");
        return 2;
    }
    const std::string out = argv[1];
    tw::platform::MemorySettings settings;
    tw::test::FakePrompter prompter;
    tw::test::FakeProgressDialog progress;
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
    window.resize(1200, 760);
    window.show();

    tw::config::ReportDefinition def;
    def.Name = "Sample site";
    def.Path = argv[2];
    def.File = 1;
    def.Domain = argv[3];
    def.DefaultPage = "index.html";
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
