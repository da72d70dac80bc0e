#pragma once
// The headless program's command line. This interface is relied on by scripts: options are
// only ever added.
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tw::app {

// HtmlCharts: the HTML export with each graph report's graph drawn before its table. Json:
// the whole report as one JSON document, to a file or, for the path "-", to standard output.
enum class ExportFormat { Html, Csv, Docx, HtmlCharts, Json };

struct CliOptions {
    bool help = false;
    bool list = false;
    std::optional<std::string> autoReport;  // a stored report's name
    std::optional<std::string> open;        // a saved report to show instead of a run
    std::optional<std::string> save;        // where to save the analysis afterwards
    std::optional<std::string> rejected;    // where to list the lines no reader took

    // A one-off report over the given logs.
    std::vector<std::string> logs;
    std::string domain;
    std::string defaultPage = "index.html";
    bool dns = false;
    bool threeFile = false;
    std::vector<std::string> tracks;
    std::string root;
    int depth = 3;
    int threads = 0;  // 0: the program setting decides

    // NAME=VALUE overrides of program settings, for this run only, in the order given.
    std::vector<std::pair<std::string, std::string>> settings;

    std::optional<std::string> report;  // print this catalogue entry's table
    std::optional<std::pair<ExportFormat, std::string>> exportTo;
};

struct CliParse {
    CliOptions options;
    std::string error;  // empty when the command line is usable
};

// `args` excludes the program's own name. "--name=value" and "--name value" both work.
CliParse parseCliOptions(const std::vector<std::string>& args);

extern const char* const kCliUsage;

}  // namespace tw::app
