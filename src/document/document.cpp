#include "document/document.h"

#include <errno.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "document/saved_report.h"
#include "ingest/text_search.h"
#include "platform/mapped_file.h"
#include "platform/strings.h"

namespace tw::document {
namespace {

std::string failure(const std::string& path) {
    return std::string(std::strerror(errno)) + ": " + path;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// The bytes go to a fresh file beside `path` and replace it only once they are all on disk:
// a save that fails half-way leaves whatever was at `path` before.
bool replaceFile(const std::string& path, std::string_view bytes, std::string& reason) {
    const std::filesystem::path target(path);
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    std::string temp = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        reason = failure(path);
        return false;
    }
    // mkstemp() makes the file private; the saved report gets the permissions an ordinary new
    // file would, or those of the file it replaces.
    struct stat existing {};
    mode_t mode;
    if (::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, bytes) && ::fsync(fd) == 0;
    if (!ok) reason = failure(path);
    // A close can report a write the kernel deferred.
    if (::close(fd) != 0 && ok) {
        reason = failure(path);
        ok = false;
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        reason = failure(path);
        ok = false;
    }
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

}  // namespace

Document::Document(DocumentServices services)
    : s_(std::move(services)),
      engine_(std::make_shared<engine::StatisticsEngine>()),
      run_({s_.settings, s_.prompter, s_.progress, s_.clock, s_.files, s_.sources, s_.decompressor,
            s_.spider, engine_}) {
    engine_->useReverseDns(hostCache_, s_.resolver, &s_.progress);
    engine_->useClientRulesFrom(s_.settings.dataFolder());
    loadDataFiles();
}

// Only a run with lookups can have changed the cache; others leave the file alone.
Document::~Document() {
    if (lookupsMade_) saveHostCache();
}

std::string Document::dataFile(const char* name) const {
    const std::string folder = s_.settings.dataFolder();
    return folder.empty() ? std::string() : (std::filesystem::path(folder) / name).string();
}

void Document::loadDataFiles() {
    // A damaged cache keeps what it could read: the lookups it lost are simply made again.
    if (const std::string cache = dataFile(engine::HostNameCache::kFileName); !cache.empty())
        hostCache_.load(cache);

    std::vector<std::string> candidates;
    if (const std::string own = dataFile(engine::SuffixNames::kFileName); !own.empty())
        candidates.push_back(own);
    candidates.insert(candidates.end(), s_.suffixFiles.begin(), s_.suffixFiles.end());
    for (const std::string& file : candidates) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(file, ec) && suffixNames_.load(file)) break;
    }
}

bool Document::saveHostCache() const {
    const std::string cache = dataFile(engine::HostNameCache::kFileName);
    return cache.empty() || hostCache_.save(cache);
}

const ingest::RunSummary& Document::lastRun() const {
    return run_.summary();
}

const engine::Statistics* Document::statistics() const {
    return reportPresent_ ? &engine_->statistics() : nullptr;
}

const engine::Results* Document::results() const {
    return reportPresent_ ? &engine_->results() : nullptr;
}

bool Document::generate(const config::ReportDefinition& definition, ingest::RunMode mode) {
    definition_ = definition;
    exportPending_ = definition.Export != 0;
    autoExport_ = AutoExport::NotAsked;
    interactive_ = mode == ingest::RunMode::Interactive;
    if (definition.EnableDNS) lookupsMade_ = true;
    // The run drops the previous statistics first, so the old tree must go with them.
    catalogue_.clear();
    table_.setLayout(0, 0, -1);
    selected_ = presentation::kNoHandle;
    reportPresent_ = false;

    if (!run_.generate(definition_, mode)) {
        title_ = platform::txt::NoCurrentReport;
        exportPending_ = false;
        return false;
    }
    reportPresent_ = true;
    modified_ = true;
    title_ = definition_.Name;

    catalogue_.build(engine_->statistics().counters, definition_);
    select(catalogue_.initialSelection());

    if (exportPending_) {
        exportPending_ = false;
        if (!s_.exporter)
            autoExport_ = AutoExport::Unavailable;
        else
            autoExport_ = s_.exporter->exportReport(*this, definition_.exportSettings)
                              ? AutoExport::Done
                              : AutoExport::Failed;
    }
    return true;
}

presentation::FillResult Document::select(presentation::Handle entry, SelectOptions options) {
    const presentation::AnalysisData analysis{engine_->statistics(), engine_->results(),
                                              engine_->runStart()};
    presentation::FillContext context;
    context.analysis = reportPresent_ ? &analysis : nullptr;
    context.suffixNames = &suffixNames_;
    context.definition = &definition_;
    context.chartMode = catalogue_.chartMode();
    context.exportWalk = options.exportWalk;
    context.printWalk = options.printWalk;
    // Reminders are for someone at the screen.
    if (interactive_) {
        context.prompter = &s_.prompter;
        context.settings = &s_.settings;
    }
    lastFill_ = presentation::fillReport(catalogue_, entry, context, table_);
    selected_ = entry;
    return lastFill_;
}

bool Document::save(const std::string& path) {
    if (!reportPresent_) return false;
    const SavedHeader header{definition_.Name, definition_.Root, definition_.Domain,
                             definition_.DefaultPage, definition_.trackFiles};
    const std::string bytes =
        writeSavedReport(header, engine_->statistics(), engine_->results(), engine_->runStart());
    std::string reason;
    if (!replaceFile(path, bytes, reason)) {
        s_.prompter.message(std::string(platform::txt::FailedToSaveDocument) + "\n" + reason,
                            platform::Icon::Error);
        return false;
    }
    // The file now holds what is shown: closing the program has nothing left to offer to save.
    modified_ = false;
    return true;
}

bool Document::load(const std::string& path, ingest::RunMode mode) {
    // The opener refuses anything but a regular file before reading from it: a pipe or a device
    // would keep the program waiting for bytes that may never come.
    std::string reason;
    const std::unique_ptr<platform::MappedFile> file = s_.files.open(path, &reason);
    if (!file) {
        s_.prompter.message(
            std::string(platform::txt::FailedToOpenDocument) + "\n" + reason + ": " + path,
            platform::Icon::Error);
        return false;
    }
    // The version decides whether the rest is read at all, so a file refused for it costs its
    // first bytes whatever its size. The rest is mapped rather than read: the reading touches
    // only the pages before the first damage. The engine is cleared only for a whole file, so a
    // refusal leaves the report on screen as it was.
    SavedHeader header;
    LoadStatus status = LoadStatus::ShortRead;
    platform::MapView view;
    std::int32_t version = 0;
    const bool hasHead = file->map(0, 4, view);
    if (hasHead && mode == ingest::RunMode::Unattended &&
        readSavedVersion({view.data, view.size}, version) && version >= kFirstFutureVersion) {
        // Whether to try a file that may be damaged is the user's call; with no one to ask,
        // nothing doubtful is shown as a report.
        s_.prompter.message(platform::text(platform::sid::SavedFileFromFuture),
                            platform::Icon::Warning);
        status = LoadStatus::Declined;
    } else {
        status =
            checkSavedVersion(hasHead ? std::string_view(view.data, view.size) : "", s_.prompter)
                .status;
        if (status == LoadStatus::Loaded)
            status = file->map(0, static_cast<std::size_t>(file->size()), view)
                         ? readSavedContents({view.data, view.size}, *engine_, header)
                         : LoadStatus::ShortRead;
    }
    file->unmap();
    if (status == LoadStatus::ShortRead)
        s_.prompter.message(
            platform::format(platform::text(platform::sid::SavedFileIncomplete).data(),
                             path.c_str()),
            platform::Icon::Error);
    if (status == LoadStatus::OutOfMemory) {
        s_.prompter.messageWithCaption(platform::txt::OutOfMemory,
                                       platform::txt::OutOfMemoryCaption, platform::Icon::Error);
        // The reading had to clear the engine to find out: the old report is gone with it.
        catalogue_.clear();
        table_.setLayout(0, 0, -1);
        selected_ = presentation::kNoHandle;
        reportPresent_ = false;
        modified_ = false;
        exportPending_ = false;
        title_ = platform::txt::NoCurrentReport;
    }
    if (status != LoadStatus::Loaded) {
        s_.prompter.message(platform::txt::FailedToOpenDocument, platform::Icon::Error);
        return false;
    }

    definition_ = config::ReportDefinition{};
    definition_.Name = header.name;
    definition_.Root = header.root;
    definition_.Domain = header.domain;
    definition_.DefaultPage = header.defaultPage;
    definition_.trackFiles = header.trackFiles;
    // The file does not say how the site was crawled; a root given as an address was crawled
    // over the network, and the hyperlink tree finds its root page by that.
    const std::string scheme = header.root.substr(0, header.root.find("://"));
    definition_.Internet =
        ingest::equalsIgnoringCase(scheme, "http") || ingest::equalsIgnoringCase(scheme, "https")
            ? 1
            : 0;
    reportPresent_ = true;
    modified_ = false;
    exportPending_ = false;
    autoExport_ = AutoExport::NotAsked;
    interactive_ = mode == ingest::RunMode::Interactive;
    title_ = std::filesystem::path(path).filename().string();
    catalogue_.build(engine_->statistics().counters, definition_);
    table_.setLayout(0, 0, -1);
    select(catalogue_.initialSelection());
    return true;
}

std::string Document::proposedFileName() const {
    std::string name =
        definition_.Name.empty() ? std::string(platform::txt::DefaultReportName) : definition_.Name;
    for (char& c : name)
        if (c == '\0' || std::strchr("/\\:*?\"<>|", c) != nullptr) c = '_';
    return name + std::string(kSavedReportExtension);
}

}  // namespace tw::document
