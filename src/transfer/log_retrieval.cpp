#include "transfer/log_retrieval.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <filesystem>
#include <thread>

#include "ingest/log_format.h"
#include "platform/strings.h"
#include "transfer/log_paths.h"

namespace tw::transfer {
namespace {

namespace fs = std::filesystem;
namespace sid = platform::sid;
namespace txt = platform::txt;
using platform::Icon;

class ProgressCancel final : public CancelCheck {
  public:
    explicit ProgressCancel(const platform::Progress& p) : p_(p) {}
    bool cancelled() const override { return p_.cancelled(); }

  private:
    const platform::Progress& p_;
};

// The companions of the multi-file layout are named as the reader will look for them.
std::string companion(std::string_view name, std::string_view word) {
    return ingest::companionFileName(name, word);
}

// A local copy is current when it has the server's size and is not older than the server's.
bool isCurrent(const std::string& local, std::uint64_t size, std::int64_t serverTime) {
    std::error_code ec;
    const auto localSize = fs::file_size(local, ec);
    if (ec || localSize != size) return false;
    struct stat st {};
    if (::stat(local.c_str(), &st) != 0) return false;
    return serverTime != 0 && st.st_mtime >= serverTime;
}

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

bool downloadHttpObject(HttpConnection& connection, const std::string& server,
                        const std::string& objectPath, const std::string& localPath,
                        platform::Progress& progress, platform::Prompter& prompter,
                        std::string user) {
    if (progress.cancelled()) return false;
    makeDirectories(directoryPart(localPath));
    std::error_code ec;
    const bool existed = fs::exists(localPath, ec);

    std::string error;
    std::unique_ptr<HttpRequest> request;
    for (;;) {
        request = connection.get(objectPath, &error);
        if (!request) {
            prompter.message(error.empty() ? txt::NoErrorText : std::string_view(error),
                             Icon::Warning);
            return false;
        }
        if (request->status() != 401) break;
        const auto login = prompter.askLogin(server, user);
        if (!login) return false;
        user = login->user;
        connection.setLogin(Login{login->user, login->password});
    }
    if (request->status() < 200 || request->status() > 299) return false;

    const std::uint64_t length = request->contentLength().value_or(0);
    if (existed && request->lastModified() &&
        isCurrent(localPath, length, *request->lastModified()))
        return true;

    const int fd = ::open(localPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    // Larger pieces than a line's worth: a log of hundreds of megabytes would otherwise cost a
    // progress message per hundred bytes.
    char buffer[16384];
    std::uint64_t done = 0;
    bool ok = true;
    for (;;) {
        if (progress.cancelled()) {
            ok = false;
            break;
        }
        const long n = request->read(buffer, sizeof buffer, &error);
        if (n < 0) {
            prompter.message(error.empty() ? txt::NoErrorText : std::string_view(error),
                             Icon::Warning);
            ok = false;
            break;
        }
        if (n == 0) break;
        if (!writeAll(fd, buffer, static_cast<std::size_t>(n))) {
            ok = false;
            break;
        }
        done += static_cast<std::uint64_t>(n);
        const int percent = length == 0     ? 0
                            : done > length ? 100
                                            : static_cast<int>(done * 100 / length);
        progress.progress(percent,
                          platform::format("Transferred %" PRIu64 " bytes of ", done) + objectPath);
    }
    if (::close(fd) != 0) ok = false;
    return ok;
}

RemoteLogSources::RemoteLogSources(Transfer& transfer, platform::ProgressDialog& progress,
                                   platform::Prompter& prompter, const platform::Clock& clock,
                                   std::string downloadBase)
    : transfer_(transfer),
      progress_(progress),
      prompter_(prompter),
      clock_(clock),
      base_(std::move(downloadBase)) {}

void RemoteLogSources::showError(const std::string& error) {
    prompter_.message(error.empty() ? txt::NoErrorText : std::string_view(error), Icon::Warning);
}

ingest::SourceResult RemoteLogSources::resolve(const config::ReportDefinition& def,
                                               const config::RunSettings& settings) {
    ingest::SourceResult result;
    const std::vector<std::string> entries = expandLogPaths(def.Path, clock_);
    if (def.Local == 1) {
        result.files = expandLocalEntries(entries, &result.groups);
        return result;
    }
    if (entries.empty()) return result;

    progress_.cancelFlag().clear();
    std::thread job([&] {
        progress_.waitUntilShown();
        std::string error;
        auto session =
            transfer_.open(std::string(txt::LogDownloadAgent), settings.ProxyServer, &error);
        if (!session) {
            showError(error);
        } else {
            folder_ = downloadFolder(base_, def.Name);
            makeDirectories(folder_);
            if (def.Local == 0)
                retrieveFtp(*session, def, settings, entries, result.files, result.groups);
            else
                retrieveHttp(*session, def, entries, result.files);
        }
        progress_.completed();
    });
    progress_.exec(platform::ProgressDialog::Layout::Plain);
    // Completing the dialog was the job's last act, so this join is immediate.
    job.join();
    result.cancelled = progress_.cancelled();
    // The run goes on with its own dialog; a cancel here must not end the analysis too.
    progress_.cancelFlag().clear();
    return result;
}

void RemoteLogSources::retrieveFtp(Session& session, const config::ReportDefinition& def,
                                   const config::RunSettings& settings,
                                   const std::vector<std::string>& entries,
                                   std::vector<std::string>& files,
                                   std::vector<std::size_t>& groups) {
    std::string error;

    progress_.progress(0, platform::text(sid::ConnectingFtp));
    const auto host = splitHostPort(def.Sitename, 21);
    if (!host) return showError("The FTP site name \"" + def.Sitename + "\" is not valid.");
    auto ftp = session.connectFtp(host->first, host->second, def.Username, def.Password,
                                  settings.PassiveFTP != 0, &error);
    if (!ftp) return showError(error);
    const auto initial = ftp->currentDirectory(&error);
    if (!initial) return showError(error);

    for (const std::string& entry : entries) {
        if (progress_.cancelled()) break;
        std::string directory = entry, pattern;
        if (def.File == 1 || def.File == 2) {
            directory = directoryPart(entry);
            pattern = namePart(entry);
        }
        progress_.progress(0, platform::text(sid::ChangingDirectory));
        if (!ftp->changeDirectory(*initial, &error) ||
            (!directory.empty() && !ftp->changeDirectory(directory, &error))) {
            prompter_.message(
                platform::format(platform::text(sid::FtpDirectoryError).data(), directory.c_str()),
                Icon::Warning);
            break;
        }
        fetchFtpDirectory(*ftp, def, pattern, files);
        groups.resize(files.size(), static_cast<std::size_t>(&entry - entries.data()));
    }
    progress_.progress(100, platform::text(sid::ClosingSession));
}

void RemoteLogSources::fetchFtpDirectory(FtpConnection& ftp, const config::ReportDefinition& def,
                                         std::string_view pattern,
                                         std::vector<std::string>& files) {
    progress_.progress(0, txt::PreparingDownload);
    const ProgressCancel cancel(progress_);
    std::vector<FtpEntry> listing;
    std::string error;
    if (!ftp.list(pattern, listing, &error, &cancel)) {
        if (!progress_.cancelled()) showError(error);
        return;
    }
    // Servers list in no promised order; by name, a run reads the same files in the same order
    // every time, as it does local ones (visits depend on the order of the lines).
    std::sort(listing.begin(), listing.end(),
              [](const FtpEntry& a, const FtpEntry& b) { return a.name < b.name; });
    std::vector<const FtpEntry*> queued;
    for (const FtpEntry& e : listing) {
        // A listing is the server's word: a name that would leave the folder is not taken.
        if (e.directory || !safeComponent(e.name)) continue;
        const std::string local = joinPath(folder_, e.name);
        if (!isCurrent(local, e.size, e.lastWrite)) queued.push_back(&e);
        files.push_back(local);
    }
    const int total = static_cast<int>(queued.size());
    for (int k = 1; k <= total; ++k) {
        if (progress_.cancelled()) return;
        const FtpEntry& e = *queued[static_cast<std::size_t>(k - 1)];
        progress_.progress(k * 100 / total, platform::format(txt::DownloadingFile, k, total));
        // A failed get shows up when the run opens the file; the others still come.
        ftp.get(e.name, joinPath(folder_, e.name), nullptr, &cancel);
        if (def.ApacheTwoFileFormat) {
            for (std::string_view part : {"referer", "agent"}) {
                if (progress_.cancelled()) return;
                const std::string other = companion(e.name, part);
                if (!other.empty() && safeComponent(other))
                    ftp.get(other, joinPath(folder_, other), nullptr, &cancel);
            }
        }
    }
}

void RemoteLogSources::retrieveHttp(Session& session, const config::ReportDefinition& def,
                                    const std::vector<std::string>& entries,
                                    std::vector<std::string>& files) {
    std::string error;

    for (const std::string& entry : entries) {
        if (progress_.cancelled()) break;
        progress_.progress(0, platform::text(sid::ConnectingWeb));
        const auto url = parseUrl(entry);
        if (!url || (url->scheme != Scheme::Http && url->scheme != Scheme::Https)) break;
        std::optional<Login> login;
        if (def.PasswordProtected) login = Login{def.Username, def.Password};
        auto http = session.connectHttp(url->scheme, url->server, url->port, login, &error);
        if (!http) {
            showError(error);
            continue;
        }
        // The object's own name, cut at its query, is the local name; a URL of a directory
        // has none and is not fetched.
        std::string path = url->objectPath.substr(0, url->objectPath.find('?'));
        const std::string name = folderSafeName(namePart(path));
        if (!safeComponent(name)) continue;
        const std::string local = joinPath(folder_, name);
        if (!downloadHttpObject(*http, url->server, url->objectPath, local, progress_, prompter_,
                                def.Username))
            continue;
        files.push_back(local);
        if (def.ApacheTwoFileFormat) {
            for (std::string_view part : {"referer", "agent"}) {
                const std::string otherObject = companion(url->objectPath, part);
                const std::string otherName = companion(name, part);
                if (otherObject.empty() || otherName.empty() || !safeComponent(otherName)) continue;
                downloadHttpObject(*http, url->server, otherObject, joinPath(folder_, otherName),
                                   progress_, prompter_, def.Username);
            }
        }
    }
    progress_.progress(100, platform::text(sid::ClosingSession));
}

}  // namespace tw::transfer
