#include "transfer/gzip_logs.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

#include "ingest/text_search.h"
#include "platform/strings.h"
#include "transfer/log_paths.h"

namespace tw::transfer {

namespace fs = std::filesystem;

namespace {

std::size_t compressedMark(std::string_view name) {
    for (std::size_t i = 0; i + 3 <= name.size(); ++i) {
        if (name[i] == '.' && ingest::foldUpper(static_cast<unsigned char>(name[i + 1])) == 'G' &&
            ingest::foldUpper(static_cast<unsigned char>(name[i + 2])) == 'Z')
            return i;
    }
    return std::string_view::npos;
}

std::uint64_t measured(const std::string& path) {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(path, ec);
    return ec ? 0 : static_cast<std::uint64_t>(size);
}

// The path as the file system resolves it, for telling whether two names are one file.
std::string resolved(const std::string& path) {
    std::error_code ec;
    fs::path p = fs::weakly_canonical(path, ec);
    if (ec) {
        p = fs::absolute(path, ec);
        if (ec) return path;
        p = p.lexically_normal();
    }
    return p.string();
}

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Best effort, as the pass is worth doing even at normal priority. On Linux a nice value set
// through a thread id applies to that thread alone.
void lowerThisThreadsPriority() {
    (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 19);
}

}  // namespace

bool isCompressedName(std::string_view path) {
    return compressedMark(namePart(path)) != std::string_view::npos;
}

std::string plainCopyName(std::string_view path) {
    std::string name = namePart(path);
    const std::size_t mark = compressedMark(name);
    if (mark != std::string::npos) name.resize(mark);
    return name.empty() ? std::string("unnamed") : name;
}

bool inflateGzipFile(const std::string& from, const std::string& to, std::size_t chunkBytes,
                     std::uint64_t* written, std::string* error) {
    auto fail = [&](std::string why) {
        if (error) *error = std::move(why);
        return false;
    };
    chunkBytes = std::clamp<std::size_t>(chunkBytes, 1, std::size_t{1} << 30);

    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return fail(std::strerror(errno));
    // zlib reads a file without the gzip magic through as plain data; a file named as
    // compressed that is not is as damaged as a truncated one. An empty file has no magic
    // either.
    unsigned char magic[2] = {0, 0};
    struct stat source {};
    if (::pread(in, magic, 2, 0) != 2 || magic[0] != 0x1f || magic[1] != 0x8b ||
        ::fstat(in, &source) != 0) {
        ::close(in);
        return fail("not a gzip file");
    }
    // Truncating a copy that is the archive itself (through a link) would destroy the only data.
    struct stat target {};
    if (::stat(to.c_str(), &target) == 0 && target.st_dev == source.st_dev &&
        target.st_ino == source.st_ino) {
        ::close(in);
        return fail("the copy would replace the compressed file");
    }
    gzFile gz = ::gzdopen(in, "rb");
    if (gz == nullptr) {
        ::close(in);
        return fail("cannot read the compressed file");
    }
    ::gzbuffer(gz, 128 * 1024);
    if (::gzdirect(gz) != 0) {
        ::gzclose(gz);
        return fail("not a gzip file");
    }

    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (out < 0) {
        const std::string why = std::strerror(errno);
        ::gzclose(gz);
        return fail(why);
    }

    std::vector<char> buffer(chunkBytes);
    std::uint64_t total = 0;
    std::string why;
    for (;;) {
        const int n = ::gzread(gz, buffer.data(), static_cast<unsigned>(chunkBytes));
        if (n < 0) {
            int code = 0;
            why = ::gzerror(gz, &code);
            break;
        }
        if (n == 0) break;
        if (!writeAll(out, buffer.data(), static_cast<std::size_t>(n))) {
            why = std::strerror(errno);
            break;
        }
        total += static_cast<std::uint64_t>(n);
    }
    // A stream that stops short reads like an end of file; only the close tells (Z_BUF_ERROR).
    const int closed = ::gzclose(gz);
    if (why.empty() && closed != Z_OK)
        why = closed == Z_BUF_ERROR ? "unexpected end of file" : "damaged compressed data";
    if (::close(out) != 0 && why.empty()) why = std::strerror(errno);
    if (!why.empty()) {
        ::unlink(to.c_str());
        return fail(why);
    }
    if (written) *written = total;
    return true;
}

struct GzipPreprocessor::Job {
    std::size_t index = 0;  // in the input list
    std::string source{};
    std::string copy{};
};

// What the worker shares with prepare(). The worker holds it too, so a worker that is still
// running when prepare() stops waiting keeps valid state and touches nothing else.
struct GzipPreprocessor::Pass {
    enum class Outcome { NotRun, Done, Failed };
    std::vector<Job> jobs;
    std::size_t chunkBytes = kChunkBytes;
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<Outcome> outcomes;
    std::vector<std::uint64_t> sizes;
    bool cancelled = false;
    bool ended = false;
    bool abandoned = false;  // prepare() stopped waiting: no more dialog calls, no new copies
};

GzipPreprocessor::GzipPreprocessor(std::string runFolder, std::string downloadRoot,
                                   platform::ProgressDialog& progress, platform::Prompter& prompter)
    : runFolder_(std::move(runFolder)),
      downloadRoot_(std::move(downloadRoot)),
      progress_(progress),
      prompter_(prompter) {}

GzipPreprocessor::~GzipPreprocessor() {
    finish();
}

void GzipPreprocessor::finish() {
    std::error_code ec;
    for (const std::string& f : ownedFiles_) fs::remove(f, ec);
    // remove(), not remove_all(): a folder holding anything the pass did not write stays.
    for (auto it = ownedFolders_.rbegin(); it != ownedFolders_.rend(); ++it) fs::remove(*it, ec);
    ownedFiles_.clear();
    ownedFolders_.clear();
}

bool GzipPreprocessor::isDownload(const std::string& path) const {
    if (downloadRoot_.empty()) return false;
    const fs::path root = resolved(downloadRoot_);
    const fs::path file = resolved(path);
    auto r = root.begin();
    auto f = file.begin();
    for (; r != root.end(); ++r, ++f) {
        if (r->empty()) continue;  // the trailing "/" of a root given as "dir/"
        if (f == file.end() || *r != *f) return false;
    }
    return f != file.end();
}

bool GzipPreprocessor::ensureFolder(const std::string& folder) {
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    std::error_code ec;
    if (fs::is_directory(path, ec)) return true;
    const fs::path parent = fs::path(path).parent_path();
    if (!parent.empty()) fs::create_directories(parent, ec);
    if (fs::create_directory(path, ec)) {
        ownedFolders_.push_back(path);
        fs::permissions(path, fs::perms::owner_all, fs::perm_options::replace, ec);
    }
    return fs::is_directory(path, ec);
}

std::vector<GzipPreprocessor::Job> GzipPreprocessor::plan(const std::vector<std::string>& files) {
    std::vector<Job> jobs;
    std::set<std::string> taken;  // resolved paths that a copy must not replace
    for (const std::string& f : files) {
        if (!isCompressedName(f)) taken.insert(resolved(f));
    }
    std::map<std::string, int> folderOfDirectory;
    int folders = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string& source = files[i];
        if (!isCompressedName(source)) continue;
        const std::string name = plainCopyName(source);
        Job job{i, source, {}};
        if (isDownload(source)) {
            const std::string beside = joinPath(directoryPart(source), name);
            // Beside the archive unless that would overwrite another log of the same run.
            if (taken.insert(resolved(beside)).second) job.copy = beside;
        }
        if (job.copy.empty()) {
            const std::string directory =
                resolved(directoryPart(source).empty() ? std::string(".") : directoryPart(source));
            auto [it, fresh] = folderOfDirectory.try_emplace(directory, folders + 1);
            if (fresh) ++folders;
            int folder = it->second;
            std::string copy = joinPath(joinPath(runFolder_, std::to_string(folder)), name);
            while (!taken.insert(resolved(copy)).second) {
                folder = ++folders;
                copy = joinPath(joinPath(runFolder_, std::to_string(folder)), name);
            }
            // A folder that cannot be made shows up as a failure to write the copy.
            if (ensureFolder(runFolder_)) ensureFolder(fs::path(copy).parent_path().string());
            ownedFiles_.push_back(copy);
            job.copy = std::move(copy);
        }
        jobs.push_back(std::move(job));
    }
    return jobs;
}

void GzipPreprocessor::runPass(const std::shared_ptr<Pass>& pass,
                               platform::ProgressDialog& progress) {
    lowerThisThreadsPriority();
    progress.waitUntilShown();
    const std::size_t count = pass->jobs.size();
    for (std::size_t k = 0; k < count; ++k) {
        const Job& job = pass->jobs[k];
        {
            std::lock_guard lock(pass->mutex);
            if (pass->abandoned) return;
        }
        progress.progress(static_cast<int>(100 * (k + 1) / count),
                          std::string(platform::txt::Decompressing) + namePart(job.source));
        if (progress.cancelled()) {
            std::lock_guard lock(pass->mutex);
            pass->cancelled = true;
            break;
        }
        std::uint64_t size = 0;
        const bool ok = inflateGzipFile(job.source, job.copy, pass->chunkBytes, &size);
        std::lock_guard lock(pass->mutex);
        if (pass->abandoned) {
            // Nobody will list or remove this copy any more.
            if (ok) ::unlink(job.copy.c_str());
            return;
        }
        pass->outcomes[k] = ok ? Pass::Outcome::Done : Pass::Outcome::Failed;
        pass->sizes[k] = size;
    }
    progress.completed();
    {
        std::lock_guard lock(pass->mutex);
        pass->ended = true;
    }
    pass->cv.notify_all();
}

ingest::PreparedFiles GzipPreprocessor::prepare(const std::vector<std::string>& files) {
    finish();
    ingest::PreparedFiles out;

    auto pass = std::make_shared<Pass>();
    pass->jobs = plan(files);
    pass->chunkBytes = chunkBytes_;
    const std::size_t count = pass->jobs.size();
    pass->outcomes.assign(count, Pass::Outcome::NotRun);
    pass->sizes.assign(count, 0);

    bool cancelled = false;
    std::vector<Pass::Outcome> outcomes = pass->outcomes;
    std::vector<std::uint64_t> sizes = pass->sizes;
    if (count > 0) {
        progress_.cancelFlag().clear();
        std::thread worker;
        bool started = true;
        try {
            worker = std::thread([pass, &progress = progress_] { runPass(pass, progress); });
        } catch (const std::system_error&) {
            started = false;
        }
        bool ended = false;
        if (started) {
            progress_.exec(platform::ProgressDialog::Layout::Plain);
            // completed() is the worker's last call to the dialog and exec() returns after it,
            // so this wait is normally immediate. A worker that still has not ended is left to
            // finish on its own: it owns the pass state and touches nothing outside it.
            std::unique_lock lock(pass->mutex);
            ended = pass->cv.wait_for(lock, std::chrono::milliseconds(5000),
                                      [&] { return pass->ended; });
            if (!ended) pass->abandoned = true;
            outcomes = pass->outcomes;
            sizes = pass->sizes;
            cancelled = pass->cancelled || !ended;
        } else {
            cancelled = true;  // nothing could be decompressed; the run asks what to do
        }
        if (started) {
            if (ended) {
                worker.join();
            } else {
                worker.detach();
            }
        }
        // The dialog may be shown again for the analysis.
        progress_.cancelFlag().clear();
    }

    // The pass stops at the compressed file where the cancel was seen: it and every later file
    // stay out, plain ones included.
    std::size_t stop = files.size();
    for (std::size_t k = 0; k < count && cancelled; ++k) {
        if (outcomes[k] == Pass::Outcome::NotRun) {
            stop = pass->jobs[k].index;
            break;
        }
    }

    std::vector<std::string> failures;
    std::size_t k = 0;
    for (std::size_t i = 0; i < stop; ++i) {
        if (k < count && pass->jobs[k].index == i) {
            const Job& job = pass->jobs[k];
            if (outcomes[k] == Pass::Outcome::Done) {
                out.origins.push_back(i);
                out.files.push_back(job.copy);
                out.sizes.push_back(sizes[k]);
                out.totalBytes += sizes[k];
            } else {
                failures.push_back(job.source);
            }
            ++k;
            continue;
        }
        out.origins.push_back(i);
        out.files.push_back(files[i]);
        out.sizes.push_back(measured(files[i]));
        out.totalBytes += out.sizes.back();
    }
    out.cancelled = cancelled;

    for (const std::string& f : failures) {
        prompter_.message(
            platform::format(platform::text(platform::sid::DecompressError).data(), f.c_str()),
            platform::Icon::Warning);
    }
    return out;
}

}  // namespace tw::transfer
