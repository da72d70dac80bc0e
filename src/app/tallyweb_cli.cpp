// tallyweb-cli: the headless program. Generates a one-off report over the logs it is given, or
// a stored report by name, and prints one report's table; nothing is ever asked.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/cli_options.h"
#include "app/console.h"
#include "app/program_services.h"
#include "app/qt_settings.h"
#include "config/report_list.h"
#include "config/run_settings.h"
#include "document/document.h"
#include "export/export_run.h"
#include "export/json_export.h"
#include "ingest/record_pipeline.h"
#include "ingest/text_search.h"
#include "site/hyperlink_tree.h"

namespace {

enum Exit { kReport = 0, kNoReport = 1, kUsage = 2, kExportFailed = 3 };

tw::config::ReportDefinition oneOffDefinition(const tw::app::CliOptions& o) {
    tw::config::ReportDefinition def;
    def.Name = "Command line";
    def.Local = 1;
    def.File = 1;
    // Each entry may be a file, a directory or a wildcard: local entries are told apart by
    // what they name.
    for (const std::string& l : o.logs) def.Path += (def.Path.empty() ? "" : ";") + l;
    def.Domain = o.domain;
    def.DefaultPage = o.defaultPage;
    def.EnableDNS = o.dns ? 1 : 0;
    def.ApacheTwoFileFormat = o.threeFile ? 1 : 0;
    for (const std::string& t : o.tracks) def.trackFiles.push_back(tw::config::trackedFileEntry(t));
    def.Root = o.root;
    // An address is crawled over the network; anything else names the site's files on disk.
    const std::string scheme = o.root.substr(0, o.root.find(':'));
    def.Internet = tw::ingest::equalsIgnoringCase(scheme, "http") ||
                           tw::ingest::equalsIgnoringCase(scheme, "https")
                       ? 1
                       : 0;
    def.RecursionDepth = o.depth;
    return def;
}

void printRow(const tw::presentation::ReportTable& t, int row) {
    for (int c = 0; c < t.columns(); ++c)
        std::printf("%s%s", c ? "\t" : "", row < 0 ? t.header(c).c_str() : t.cell(row, c).c_str());
    std::printf("\n");
}

// The export asked for on the command line: to a local path, or uploaded when the path is an
// FTP address (its login in the address).
bool exportTo(tw::document::Document& doc,
              const std::pair<tw::app::ExportFormat, std::string>& request,
              const tw::platform::SettingsProfile& settings, const tw::platform::Clock& clock,
              const tw::exporter::ExportServices& services) {
    using tw::app::ExportFormat;
    const ExportFormat format = request.first;
    if (format == ExportFormat::Json) {
        // Stored reports know no JSON export: it is written here, never uploaded.
        std::string message;
        if (!tw::exporter::exportJson(doc, request.second, &message)) {
            std::fprintf(stderr, "tallyweb-cli: %s\n", message.c_str());
            return false;
        }
        std::fprintf(stderr, "Exported to %s\n",
                     request.second == "-" ? "standard output" : request.second.c_str());
        return true;
    }
    tw::config::ExportSettings what;
    what.ExportExportType = format == ExportFormat::Html || format == ExportFormat::HtmlCharts
                                ? tw::exporter::kHtml
                            : format == ExportFormat::Csv ? tw::exporter::kCommaDelimited
                                                          : tw::exporter::kWord;
    what.ExportGraphs = format == ExportFormat::HtmlCharts ? 1 : 0;
    what.ExportLocation = request.second;
    const bool ftp = request.second.rfind("ftp://", 0) == 0;
    what.ExportServiceType = ftp ? tw::exporter::kFtpUpload : tw::exporter::kLocalFile;
    const tw::exporter::ExportOutcome out = tw::exporter::runExport(
        doc, what, tw::config::RunSettings::read(settings), services, false, clock.nowSeconds());
    if (out.ok) std::fprintf(stderr, "Exported to %s\n", out.address.c_str());
    return out.ok;
}

// The hyperlink tree as text: every branch opened in turn, one page a line, indented by its
// level. Links lead back up as often as down, so the print stops at the crawl's own depth.
void printTreeNode(tw::site::HyperlinkTree& tree, tw::site::TreeNode& node, int level,
                   int maxLevel) {
    std::printf("%*s%s\t%s\t%s\t%s\n", 2 * level, "", node.url.c_str(),
                node.parent ? std::to_string(node.hits).c_str() : "",
                node.parent ? (std::to_string(node.share) + "%").c_str() : "",
                node.title.empty() ? "(no title)" : node.title.c_str());
    if (level + 1 >= maxLevel || node.childCount == 0) return;
    if (!node.expanded) tree.toggle(node);
    for (auto& child : node.children) printTreeNode(tree, *child, level + 1, maxLevel);
}

void printTree(const tw::document::Document& doc) {
    tw::site::HyperlinkTree tree(*doc.statistics(), doc.definition());
    std::printf("File Name\tHits from Parent to Page\tPercentage\tTitle\n");
    const int depth = doc.definition().RecursionDepth;
    printTreeNode(tree, tree.root(), 0, depth < 1 ? 1 : depth > 20 ? 20 : depth);
}

// The lines the readers refused, one a line: log file, line number, reason, the line itself.
// Tabs separate the fields, so a tab, a backslash or a control byte in the line is written as
// an escape; every other byte goes out as it was logged.
class RejectedFile final : public tw::ingest::RejectedLineSink {
  public:
    explicit RejectedFile(std::FILE* out) : out_(out) {}
    void rejected(std::string_view file, std::uint64_t lineNumber, std::string_view line,
                  tw::ingest::RejectReason why) override {
        ++count_;
        text_.clear();
        escape(file);
        text_ += '\t';
        text_ += std::to_string(lineNumber);
        text_ += '\t';
        text_ += tw::ingest::rejectReasonText(why);
        text_ += '\t';
        escape(line);
        text_ += '\n';
        if (std::fwrite(text_.data(), 1, text_.size(), out_) != text_.size() && error_ == 0)
            error_ = errno ? errno : EIO;
    }
    std::uint64_t count() const { return count_; }
    int error() const { return error_; }

  private:
    void escape(std::string_view s) {
        for (const char ch : s) {
            const auto c = static_cast<unsigned char>(ch);
            if (c == '\\') {
                text_ += "\\\\";
            } else if (c < 0x20 || c == 0x7F) {
                char buf[5];
                std::snprintf(buf, sizeof buf, "\\x%02X", c);
                text_ += buf;
            } else {
                text_ += ch;
            }
        }
    }
    std::FILE* out_;
    std::string text_;
    std::uint64_t count_ = 0;
    int error_ = 0;
};

int listReports(const tw::platform::SettingsProfile& store) {
    tw::config::ReportList list;
    list.open(store);
    for (const tw::config::ReportDefinition& d : list.rows())
        std::printf("%s\t%s\n", d.Name.c_str(), d.Path.c_str());
    return kReport;
}

}  // namespace

int main(int argc, char** argv) {
    const tw::app::CliParse parsed =
        tw::app::parseCliOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "tallyweb-cli: %s\nTry 'tallyweb-cli --help'.\n",
                     parsed.error.c_str());
        return kUsage;
    }
    const tw::app::CliOptions& o = parsed.options;
    if (o.help) {
        std::fputs(tw::app::kCliUsage, stdout);
        return kReport;
    }

    tw::app::QtSettingsProfile store;
    if (o.list) return listReports(store);

    tw::platform::OverlaySettings settings(store);
    for (const auto& [name, value] : o.settings) {
        tw::config::RunSettings check;
        if (!check.applyOverride(name, value)) {
            std::fprintf(stderr,
                         "tallyweb-cli: '%s=%s' is not a program setting with a valid value\n",
                         name.c_str(), value.c_str());
            return kUsage;
        }
        settings.override(name, value);
    }

    tw::app::ConsolePrompter prompter(stderr);
    tw::config::ReportDefinition def;
    if (o.autoReport) {
        tw::config::ReportList list;
        list.open(store);
        auto requested = list.generateRequested(*o.autoReport, prompter, store);
        if (!requested) return kUsage;  // the prompter has said why
        def = std::move(*requested);
    } else {
        def = oneOffDefinition(o);
    }

    tw::app::ConsoleProgress progress(stderr);
    tw::app::ProgramServices program(store, settings, prompter, progress, TALLYWEB_SOURCE_DATA_DIR);
    tw::document::Document& doc = program.document();
    int status = kReport;
    doc.setThreads(o.threads);
    // Opened before the run, so a path that cannot be written costs no analysis.
    std::FILE* rejectedOut = nullptr;
    std::optional<RejectedFile> rejectedSink;
    if (o.rejected) {
        rejectedOut = std::fopen(o.rejected->c_str(), "wb");
        if (!rejectedOut) {
            std::fprintf(stderr, "tallyweb-cli: cannot write the rejected lines to %s: %s\n",
                         o.rejected->c_str(), std::strerror(errno));
            return kExportFailed;
        }
        rejectedSink.emplace(rejectedOut);
        doc.setRejectedSink(&*rejectedSink);
    }
    if (o.open) {
        // The prompter has said why a file could not be opened.
        if (!doc.load(*o.open, tw::ingest::RunMode::Unattended)) return kNoReport;
        std::fprintf(stderr, "Opened %s\n", o.open->c_str());
    } else {
        const bool produced = doc.generate(def, tw::ingest::RunMode::Unattended);
        if (rejectedOut) {
            doc.setRejectedSink(nullptr);
            const int writeError = rejectedSink->error();
            const bool closed = std::fclose(rejectedOut) == 0;
            if (writeError != 0 || !closed) {
                std::fprintf(stderr, "tallyweb-cli: the rejected lines could not be written to %s: %s\n",
                             o.rejected->c_str(), std::strerror(writeError ? writeError : errno));
                status = kExportFailed;
            } else {
                std::fprintf(stderr, "%llu rejected lines written to %s\n",
                             static_cast<unsigned long long>(rejectedSink->count()),
                             o.rejected->c_str());
            }
        }
        if (!produced) return kNoReport;
        std::fprintf(stderr, "%s\n", doc.lastRun().completionText.c_str());
        if (doc.lastAutoExport() == tw::document::AutoExport::Failed) {
            status = kExportFailed;
        } else if (doc.lastAutoExport() == tw::document::AutoExport::Done) {
            std::fprintf(stderr, "Exported to %s\n", program.lastAutomaticExport().address.c_str());
        }
    }
    if (o.exportTo &&
        !exportTo(doc, *o.exportTo, settings, program.clock(), program.exportServices()))
        status = kExportFailed;
    if (o.save) {
        if (doc.save(*o.save))
            std::fprintf(stderr, "Saved to %s\n", o.save->c_str());
        else
            status = kExportFailed;
    }

    // The JSON document is all that standard output may hold.
    if (o.exportTo && o.exportTo->first == tw::app::ExportFormat::Json && o.exportTo->second == "-")
        return status;

    const auto& catalogue = doc.catalogue();
    const std::string entry = o.report.value_or("General Statistics");
    const tw::presentation::Handle h = catalogue.findByTitle(entry);
    if (h == tw::presentation::kNoHandle) {
        std::fprintf(stderr, "tallyweb-cli: this report has no entry named '%s'\n", entry.c_str());
        return kUsage;
    }
    const tw::presentation::FillResult fill = doc.select(h);
    const tw::presentation::ReportTable& table = doc.table();
    if (fill.view == tw::presentation::ViewKind::HyperlinkTree) {
        printTree(doc);
        return status;
    }
    if (fill.view == tw::presentation::ViewKind::Message) {
        std::fprintf(stderr, "%s\n",
                     table.message.empty() ? table.title.c_str() : table.message.c_str());
        return status == kReport ? kNoReport : status;
    }
    // The default output keeps the General Statistics as label and value, without a header.
    if (o.report) printRow(table, -1);
    for (int r = 0; r < table.rows(); ++r) printRow(table, r);
    return status;
}
