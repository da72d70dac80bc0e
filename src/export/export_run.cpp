#include "export/export_run.h"

#include <stdlib.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <memory>

#include "export/csv_export.h"
#include "export/docx_writer.h"
#include "export/export_walk.h"
#include "export/html_writer.h"
#include "export/svg_chart.h"
#include "platform/strings.h"

namespace tw::exporter {
namespace {

namespace fs = std::filesystem;
using platform::Icon;

constexpr std::string_view kInvalidUrl = "Invalid URL entered in the location dialog.";
constexpr std::string_view kInvalidDirectory =
    "The directory on the FTP server you specified was invalid.";
constexpr std::string_view kUploadFailed =
    "Tallyweb could not export your report to the FTP site. Please make sure that the server "
    "name and path are correct. Please note that your path may have to be absolute with respect "
    "to the server root directory and may be more complicated than you think. A common path "
    "would be '/users/domain/public_html/report.html'. You should check with your Internet "
    "Service Provider for details.";
constexpr std::string_view kViewHtml =
    "The HTML report has been exported successfully. Would you like to view it in your web "
    "browser?";
constexpr std::string_view kCsvDone =
    "The Comma-delimited (.csv) files have been generated and are stored in the specified "
    "directory.\n\nYou can view these files in a text editor (such as Notepad), or you can "
    "import them into a spreadsheet such as Microsoft Excel or Lotus 123 for further analysis.";

// The file an upload is written to first; removed whatever becomes of the upload.
struct TempFile {
    std::string path;
    TempFile() {
        std::error_code ec;
        std::string dir = fs::temp_directory_path(ec).string();
        if (ec || dir.empty()) dir = "/tmp";
        std::string pattern = dir + "/twbXXXXXX";
        const int fd = ::mkstemp(pattern.data());
        if (fd >= 0) {
            ::close(fd);
            path = pattern;
        }
    }
    ~TempFile() {
        if (!path.empty()) ::unlink(path.c_str());
    }
};

void showError(platform::Prompter& p, const std::string& error) {
    p.message(error.empty() ? platform::txt::NoErrorText : std::string_view(error), Icon::Warning);
}

bool upload(const std::string& local, const std::string& location,
            const config::ExportSettings& what, const config::RunSettings& settings,
            const ExportServices& s) {
    const auto url = transfer::parseUrl(location);
    if (!url || url->scheme != transfer::Scheme::Ftp) {
        s.prompter.message(kInvalidUrl, Icon::Warning);
        return false;
    }
    std::string error;
    auto session =
        s.transfer.open(std::string(platform::txt::UploadAgent), settings.ProxyServer, &error);
    if (!session) {
        showError(s.prompter, error);
        return false;
    }
    // A login in the address wins over the stored one, as a browser would take it.
    const std::string user = url->user.empty() ? what.ExportUsername : url->user;
    const std::string password = url->user.empty() ? what.ExportPassword : url->password;
    auto ftp = session->connectFtp(url->server, url->port, user, password, settings.PassiveFTP != 0,
                                   &error);
    if (!ftp) {
        showError(s.prompter, error);
        return false;
    }
    std::string path = url->objectPath.substr(0, url->objectPath.find('?'));
    const auto cut = path.find_last_of("/\\");
    std::string directory = cut == std::string::npos ? std::string() : path.substr(0, cut);
    const std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    while (!directory.empty() && (directory[0] == '/' || directory[0] == '\\'))
        directory.erase(0, 1);
    if (name.empty()) {
        s.prompter.message(kInvalidUrl, Icon::Warning);
        return false;
    }
    if (!directory.empty() && !ftp->changeDirectory(directory, &error)) {
        s.prompter.message(kInvalidDirectory, Icon::Warning);
        return false;
    }
    if (!ftp->put(local, name, &error)) {
        s.prompter.message(kUploadFailed, Icon::Warning);
        return false;
    }
    return true;
}

}  // namespace

std::string expandLocation(const std::string& location, std::int64_t now) {
    const std::time_t t = static_cast<std::time_t>(now);
    std::tm when{};
    if (::localtime_r(&t, &when) == nullptr) return location;
    // strftime gives 0 both for "too small" and for an empty result; a sentinel tells them
    // apart, and the buffer grows until the whole text fits.
    const std::string format = location + "\x01";
    for (std::size_t size = location.size() * 4 + 64; size <= (std::size_t{1} << 20); size *= 2) {
        std::string out(size, '\0');
        const std::size_t n = std::strftime(out.data(), out.size(), format.c_str(), &when);
        if (n > 0) {
            out.resize(n - 1);
            return out;
        }
    }
    return location;
}

ExportOutcome runExport(document::Document& doc, const config::ExportSettings& what,
                        const config::RunSettings& settings, const ExportServices& s,
                        bool interactive, std::int64_t now) {
    ExportOutcome out;
    if (!doc.reportPresent()) return out;
    const std::string location = expandLocation(what.ExportLocation, now);

    if (what.ExportExportType == kCommaDelimited) {
        // One file per report in a directory: there is no single file to upload.
        std::string error;
        out.ok = exportCsv(doc, location, nullptr, &error);
        out.address = location;
        if (!out.ok) {
            showError(s.prompter, error);
        } else if (interactive) {
            s.prompter.message(kCsvDone, Icon::Information);
        }
        return out;
    }

    const bool toFtp = what.ExportServiceType == kFtpUpload;
    TempFile temp;
    if (toFtp && temp.path.empty()) {
        showError(s.prompter, "A temporary file for the upload could not be created.");
        return out;
    }
    const std::string target = toFtp ? temp.path : location;
    std::unique_ptr<ReportWriter> writer;
    GraphSink graphs;
    if (what.ExportExportType == kWord) {
        writer = std::make_unique<DocxWriter>();
    } else {
        auto html = std::make_unique<HtmlWriter>();
        if (what.ExportGraphs != 0) {
            HtmlWriter* page = html.get();
            graphs = [page](const presentation::GraphModel& g) { page->writeGraphic(svgChart(g)); };
        }
        writer = std::move(html);
    }
    if (!exportDocument(doc, *writer, target, settings.TruncateExport, settings.globalFilters,
                        graphs)) {
        const std::string& why = writer->failure();
        showError(s.prompter, "The report could not be written to " + target + ": " +
                                  (why.empty() ? std::string("unknown error") : why) + ".");
        return out;
    }
    writer.reset();
    if (toFtp && !upload(target, location, what, settings, s)) return out;

    out.ok = true;
    out.address = location;
    if (!interactive || !s.open) return out;
    if (what.ExportExportType == kHtml) {
        if (s.prompter.askYesNo(kViewHtml, Icon::Information) == platform::Answer::Yes)
            s.open(location);
    } else {
        s.open(location);
    }
    return out;
}

bool AutomaticExport::exportReport(document::Document& doc, const config::ExportSettings& what) {
    last_ = runExport(doc, what, config::RunSettings::read(settings_), services_, false,
                      clock_.nowSeconds());
    return last_.ok;
}

}  // namespace tw::exporter
