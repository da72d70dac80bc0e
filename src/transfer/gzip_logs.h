#pragma once
// Gzip-compressed logs are inflated into plain copies before a run, because the reader maps
// files into memory; the same pass measures every file of the run.
//
// Where copies go:
// - A user's own file is never written, moved or deleted. Its copy goes into the run folder
//   the owner hands over (a per-run folder in the program's cache), one subfolder per source
//   directory so that a/access.log.gz and b/access.log.gz do not collide while copies of one
//   directory stay side by side (the multi-file layout finds its companions by name).
// - A file inside the download root (the program's own folder of downloads) is a download: its
//   copy is written beside it and kept, so the next run can analyse the folder again.
// - Compressed files are never deleted.
//
// Lifetime: copies in the run folder live until finish() (or the destructor), which removes
// them and the folders the pass created. Call it once the run has finished reading them, that
// is after AnalysisRun::generate() has returned. prepare() calls it first, so one object can
// serve run after run.
//
// Threads: prepare() and finish() are called on the user-interface thread. With compressed
// files, prepare() inflates them on a background thread of the lowest priority under the
// progress dialog, and raises the error messages itself after the dialog has closed.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ingest/run_services.h"
#include "platform/progress.h"
#include "platform/prompts.h"

namespace tw::transfer {

// The name part contains ".GZ" in any case (access.log.gz, EX000101.GZ, access.gz.old). A
// directory whose name holds ".gz" does not make the files in it compressed.
bool isCompressedName(std::string_view path);

// The name part cut before its first ".GZ" (found in any case, the rest keeps its case):
// access.log.gz gives access.log. A name that leaves nothing gives "unnamed".
std::string plainCopyName(std::string_view path);

// Inflates the gzip file `from` into `to` (created or truncated), `chunkBytes` at a time.
// Fails, removing `to`, when `from` cannot be opened, is not gzip at all (zlib would otherwise
// copy it through as plain data), or its stream is damaged (truncated, bad check value), and
// when the copy cannot be written completely. `written` receives the copy's size on success.
bool inflateGzipFile(const std::string& from, const std::string& to, std::size_t chunkBytes,
                     std::uint64_t* written, std::string* error = nullptr);

class GzipPreprocessor final : public ingest::Decompressor {
  public:
    // Bytes inflated per read. 64 KiB makes 65 times fewer write calls than 1000-byte steps;
    // inflating itself dominates, so the gain is modest (about 300 against 260 MB/s of output
    // on a 300 MB combined log).
    static constexpr std::size_t kChunkBytes = 64 * 1024;

    // `runFolder` is created on first use and belongs to this object; `downloadRoot` may be
    // empty when the program has no downloads. `progress` and `prompter` must outlive it.
    GzipPreprocessor(std::string runFolder, std::string downloadRoot,
                     platform::ProgressDialog& progress, platform::Prompter& prompter);
    ~GzipPreprocessor() override;
    GzipPreprocessor(const GzipPreprocessor&) = delete;
    GzipPreprocessor& operator=(const GzipPreprocessor&) = delete;

    // The files to parse, in the given order: plain files as they are, compressed ones by their
    // copies; damaged ones are reported (32907) and left out. After a cancel the file being
    // reached and every later one are left out and `cancelled` is set. Sizes are those found
    // on disk, 0 for a file that cannot be measured (it stays in the list: opening it reports).
    ingest::PreparedFiles prepare(const std::vector<std::string>& files) override;

    // Removes the copies of the last prepare() from the run folder, and the folders it made.
    void finish() override;

    void setChunkBytes(std::size_t bytes) { chunkBytes_ = bytes == 0 ? kChunkBytes : bytes; }

  private:
    struct Job;
    struct Pass;
    bool isDownload(const std::string& path) const;
    bool ensureFolder(const std::string& path);
    std::vector<Job> plan(const std::vector<std::string>& files);
    static void runPass(const std::shared_ptr<Pass>& pass, platform::ProgressDialog& progress);

    std::string runFolder_;
    std::string downloadRoot_;
    platform::ProgressDialog& progress_;
    platform::Prompter& prompter_;
    std::size_t chunkBytes_ = kChunkBytes;
    std::vector<std::string> ownedFiles_;    // copies in the run folder
    std::vector<std::string> ownedFolders_;  // in the order they were created
};

}  // namespace tw::transfer
