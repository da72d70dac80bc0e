// tallyweb-cli: the headless program. Analyses local log files with the default settings.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/console.h"
#include "engine/results.h"
#include "engine/statistics_engine.h"
#include "ingest/analysis_run.h"
#include "platform/clock.h"
#include "platform/mapped_file.h"
#include "platform/settings.h"

namespace {

constexpr const char* kUsage =
    "Usage: tallyweb-cli [OPTION]... LOG...\n"
    "Analyse web-server access logs (NCSA common and combined, IIS, W3C extended)\n"
    "and print the General Statistics: one row a line, label and value separated\n"
    "by a tab.\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "\n"
    "Messages and progress go to standard error. Exit status: 0 when a report was\n"
    "produced, 1 when none was, 2 on a usage error.\n";

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> logs;
    bool optionsDone = false;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (!optionsDone && (std::strcmp(a, "-h") == 0 || std::strcmp(a, "--help") == 0)) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (!optionsDone && std::strcmp(a, "--") == 0) {
            optionsDone = true;
            continue;
        }
        if (!optionsDone && a[0] == '-' && a[1] != '\0') {
            std::fprintf(stderr, "tallyweb-cli: unknown option '%s'\n%s", a, kUsage);
            return 2;
        }
        logs.emplace_back(a);
    }
    if (logs.empty()) {
        std::fprintf(stderr, "tallyweb-cli: no log file given\n%s", kUsage);
        return 2;
    }

    tw::config::ReportDefinition def;
    def.Name = "Command line";
    def.Local = 1;
    def.File = 1;
    def.DefaultPage = "index.html";
    for (const std::string& l : logs) def.Path += (def.Path.empty() ? "" : ";") + l;

    tw::platform::MemorySettings settings;
    tw::app::ConsolePrompter prompter(stderr);
    tw::app::ConsoleProgress progress(stderr);
    tw::platform::SystemClock clock;
    tw::platform::PosixFileOpener files;
    tw::ingest::PlainFileSources sources;
    tw::ingest::MeasureOnly measure;
    tw::ingest::NoSpider spider;
    auto engine = std::make_shared<tw::engine::StatisticsEngine>();

    tw::ingest::AnalysisRun run(
        {settings, prompter, progress, clock, files, sources, measure, spider, engine});
    if (!run.generate(def, tw::ingest::RunMode::Interactive)) return 1;
    for (const auto& row : tw::engine::generalStatistics(
             engine->results(), engine->statistics().counters, engine->runStart()))
        std::printf("%.*s\t%s\n", static_cast<int>(row.label.size()), row.label.data(),
                    row.value.c_str());
    return 0;
}
