#include "app/cli_options.h"

#include <charconv>
#include <string_view>

namespace tw::app {

const char* const kCliUsage =
    "Usage: tallyweb-cli [OPTION]... LOG...\n"
    "       tallyweb-cli --autoreport NAME [OUTPUT OPTION]...\n"
    "       tallyweb-cli --open FILE.twb [OUTPUT OPTION]...\n"
    "       tallyweb-cli --list\n"
    "\n"
    "Analyse web-server access logs (NCSA common and combined, IIS, W3C extended,\n"
    "Apache three-file) and print a report. LOG is a file, a directory (every file\n"
    "in it) or a wildcard such as '/var/log/httpd/access*'.\n"
    "\n"
    "Report options (a one-off report over LOG...):\n"
    "  --domain TEXT        the site's own domain, e.g. www.example.com; without\n"
    "                       it every referrer counts as the site's own and the\n"
    "                       referrer reports stay empty\n"
    "  --default-page TEXT  the page served for a directory (default index.html)\n"
    "  --dns                look visitor addresses up as host names\n"
    "  --three-file         Apache three-file logs: LOG is the access log; the\n"
    "                       referrer and agent logs are found beside it\n"
    "  --track PATTERN      graph the hits of a page or pattern over time\n"
    "                       (repeatable), e.g. --track '/docs/*'\n"
    "  --root PAGE          root page of the hyperlink tree: a page of the site's\n"
    "                       files on disk, or its http:// or https:// address to\n"
    "                       crawl the live site\n"
    "  --depth N            link depth of the hyperlink tree (default 3)\n"
    "  --setting NAME=VALUE override one program setting for this run only\n"
    "                       (repeatable), e.g. TruncateReports=1000, TimeOffset=-2\n"
    "  --threads N          read each large log on N threads (default: every core;\n"
    "                       1 with the setting MultithreadMultiple=0)\n"
    "  --rejected FILE      write every log line that could not be read to FILE:\n"
    "                       log file, line number, reason and the line, separated\n"
    "                       by tabs (also with --autoreport)\n"
    "\n"
    "Stored reports:\n"
    "  --autoreport NAME    generate the stored report of that name (as listed)\n"
    "  --list               list the stored reports with their log files\n"
    "\n"
    "Saved reports:\n"
    "  --save FILE.twb      after the run, save the analysis to FILE.twb\n"
    "  --open FILE.twb      show a saved analysis instead of reading logs; the\n"
    "                       output options work on it as on a run\n"
    "\n"
    "Output (by default the General Statistics, one row a line, label and value\n"
    "separated by a tab):\n"
    "  --report ENTRY       print the report of that name in the report tree\n"
    "                       instead, e.g. \"Most Requested Pages\", \"Browser\",\n"
    "                       \"/index.html (hits)\": a header line, then the rows,\n"
    "                       cells separated by tabs; \"Hyperlink Tree View\" prints\n"
    "                       the tree, one page a line, indented by level\n"
    "  --export FORMAT PATH also export the whole report: FORMAT html, csv or docx,\n"
    "                       or html-charts for HTML with the graphs drawn in it,\n"
    "                       or json for one JSON document with the values as\n"
    "                       numbers (a PATH of - writes it to standard output,\n"
    "                       which then holds nothing else)\n"
    "\n"
    "  -h, --help           show this help and exit\n"
    "\n"
    "Settings are those of the desktop program (~/.config/Corvane Software/\n"
    "Tallyweb.conf). Messages and progress go to standard error; nothing is asked.\n"
    "Exit status: 0 report produced (and exported when asked); 1 no report (nothing\n"
    "accepted, no log files, cancelled, or the report entry shows a message);\n"
    "2 usage error or unknown report name; 3 export, upload or save failed.\n";

namespace {

bool parseInt(std::string_view s, int& out) {
    const char* end = s.data() + s.size();
    const auto r = std::from_chars(s.data(), end, out);
    return !s.empty() && r.ec == std::errc() && r.ptr == end;
}

}  // namespace

CliParse parseCliOptions(const std::vector<std::string>& args) {
    CliParse p;
    CliOptions& o = p.options;
    auto fail = [&](std::string message) {
        p.error = std::move(message);
        return p;
    };
    bool optionsDone = false;
    std::string definitionOption;  // the last option that shapes a one-off report
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (optionsDone || arg.size() < 2 || arg[0] != '-') {
            o.logs.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsDone = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            o.help = true;
            continue;
        }
        std::optional<std::string> inlineValue;
        if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = arg.substr(eq + 1);
            arg.resize(eq);
        }
        auto value = [&](std::string& out) {
            if (inlineValue) {
                out = *inlineValue;
                return true;
            }
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        auto flag = [&](bool& out) {
            if (inlineValue) return false;
            out = true;
            return true;
        };
        std::string v;
        if (arg == "--dns" || arg == "--three-file" || arg == "--domain" ||
            arg == "--default-page" || arg == "--track" || arg == "--root" || arg == "--depth")
            definitionOption = arg;
        if (arg == "--dns") {
            if (!flag(o.dns)) return fail("option '--dns' takes no value");
        } else if (arg == "--three-file") {
            if (!flag(o.threeFile)) return fail("option '--three-file' takes no value");
        } else if (arg == "--list") {
            if (!flag(o.list)) return fail("option '--list' takes no value");
        } else if (arg == "--domain" || arg == "--default-page" || arg == "--track" ||
                   arg == "--root" || arg == "--depth" || arg == "--setting" || arg == "--report" ||
                   arg == "--autoreport" || arg == "--open" || arg == "--save" ||
                   arg == "--rejected" || arg == "--threads") {
            if (!value(v)) return fail("option '" + arg + "' needs a value");
            if (arg == "--domain") {
                o.domain = v;
            } else if (arg == "--default-page") {
                if (v.empty()) return fail("the default page must not be empty");
                o.defaultPage = v;
            } else if (arg == "--track") {
                if (v.empty()) return fail("a tracked file must not be empty");
                o.tracks.push_back(v);
            } else if (arg == "--root") {
                o.root = v;
            } else if (arg == "--depth") {
                if (!parseInt(v, o.depth) || o.depth < 1)
                    return fail("the depth must be a whole number above 0, not '" + v + "'");
            } else if (arg == "--threads") {
                if (!parseInt(v, o.threads) || o.threads < 1 || o.threads > 64)
                    return fail("the thread count must be a whole number from 1 to 64, not '" +
                                v + "'");
            } else if (arg == "--setting") {
                const auto eq = v.find('=');
                if (eq == std::string::npos || eq == 0)
                    return fail("a setting is written NAME=VALUE, not '" + v + "'");
                o.settings.emplace_back(v.substr(0, eq), v.substr(eq + 1));
            } else if (arg == "--report") {
                o.report = v;
            } else if (arg == "--open" || arg == "--save" || arg == "--rejected") {
                if (v.empty()) return fail("option '" + arg + "' needs a file name");
                (arg == "--open" ? o.open : arg == "--save" ? o.save : o.rejected) = v;
            } else {
                o.autoReport = v;
            }
        } else if (arg == "--export") {
            std::string format, path;
            if (!value(format) || i + 1 >= args.size())
                return fail("option '--export' needs a format and a path");
            path = args[++i];
            ExportFormat f;
            if (format == "html") {
                f = ExportFormat::Html;
            } else if (format == "csv") {
                f = ExportFormat::Csv;
            } else if (format == "docx") {
                f = ExportFormat::Docx;
            } else if (format == "html-charts") {
                f = ExportFormat::HtmlCharts;
            } else if (format == "json") {
                f = ExportFormat::Json;
            } else {
                return fail("unknown export format '" + format +
                            "' (html, html-charts, csv, docx or json)");
            }
            if (path.empty()) return fail("the export path must not be empty");
            o.exportTo.emplace(f, path);
        } else {
            return fail("unknown option '" + args[i] + "'");
        }
    }
    if (o.help) return p;
    const bool stored = o.autoReport.has_value() || o.list || o.open.has_value();
    const std::string storedOption = o.list ? "--list" : o.autoReport ? "--autoreport" : "--open";
    if ((o.list ? 1 : 0) + (o.autoReport ? 1 : 0) + (o.open ? 1 : 0) > 1)
        return fail("--list, --autoreport and --open cannot be combined");
    if (stored && !o.logs.empty()) return fail("log files cannot be given with " + storedOption);
    if (o.list && (o.report || o.exportTo || o.save)) return fail("--list prints no report");
    if (o.report && o.exportTo && o.exportTo->first == ExportFormat::Json &&
        o.exportTo->second == "-")
        return fail("--report and '--export json -' would both write to standard output");
    if (o.rejected && (o.list || o.open))
        return fail("--rejected lists the lines of a run, and " + storedOption + " reads no logs");
    if (stored && !definitionOption.empty())
        return fail("'" + definitionOption + "' shapes a one-off report: " +
                    (o.open ? "a saved report was analysed already"
                            : "a stored report keeps its own definition"));
    if (!stored && o.logs.empty()) return fail("no log file given");
    return p;
}

}  // namespace tw::app
