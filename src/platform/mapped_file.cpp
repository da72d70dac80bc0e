#include "platform/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tw::platform {
namespace {

class PosixMappedFile final : public MappedFile {
  public:
    PosixMappedFile(int fd, std::uint64_t size) : fd_(fd), size_(size) {
        const long page = ::sysconf(_SC_PAGESIZE);
        granularity_ = page > 0 ? static_cast<std::size_t>(page) : 4096;
    }
    ~PosixMappedFile() override {
        unmap();
        ::close(fd_);
    }
    std::uint64_t size() const override { return size_; }
    std::size_t granularity() const override { return granularity_; }

    bool map(std::uint64_t offset, std::size_t length, MapView& out) override {
        unmap();
        out = {};
        if (offset % granularity_ != 0 || offset >= size_) return false;
        const std::uint64_t left = size_ - offset;
        if (length > left) length = static_cast<std::size_t>(left);
        if (length == 0) return false;
        void* p = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd_, static_cast<off_t>(offset));
        if (p == MAP_FAILED) return false;
        // The whole window is read front to back exactly once; let the kernel read ahead.
        ::madvise(p, length, MADV_SEQUENTIAL);
        base_ = p;
        length_ = length;
        out.data = static_cast<const char*>(p);
        out.size = length;
        return true;
    }
    void unmap() override {
        if (base_ != nullptr) {
            ::munmap(base_, length_);
            base_ = nullptr;
            length_ = 0;
        }
    }

  private:
    int fd_;
    std::uint64_t size_;
    std::size_t granularity_ = 4096;
    void* base_ = nullptr;
    std::size_t length_ = 0;
};

}  // namespace

std::unique_ptr<MappedFile> PosixFileOpener::open(const std::string& path, std::string* error) {
    // Opening a FIFO for reading waits for a writer, possibly for ever, before fstat could tell
    // what it is; not waiting changes nothing for a regular file.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (error) *error = std::strerror(errno);
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        if (error) *error = std::strerror(errno);
        ::close(fd);
        return nullptr;
    }
    // Directories, FIFOs and devices cannot be mapped; refuse them here with a clear reason
    // instead of failing later in mmap.
    if (!S_ISREG(st.st_mode)) {
        if (error) *error = "not a regular file";
        ::close(fd);
        return nullptr;
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return std::make_unique<PosixMappedFile>(fd, static_cast<std::uint64_t>(st.st_size));
}

}  // namespace tw::platform
