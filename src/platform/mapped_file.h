#pragma once
// Read-only access to a file through memory-mapped windows ("stretches").
//
// Contract:
//  - A MappedFile is used by one thread at a time (the reading thread of a run).
//  - map() replaces the previous window; pointers from an earlier window are invalid afterwards.
//  - offset passed to map() must be a multiple of granularity(); length may run past the end of
//    the file, the window is then cut at the end.
//  - Failures are reported through return values; nothing throws.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tw::platform {

struct MapView {
    const char* data = nullptr;
    std::size_t size = 0;
};

class MappedFile {
  public:
    virtual ~MappedFile() = default;
    virtual std::uint64_t size() const = 0;
    // Window offsets must be multiples of this; the system's page size for real files.
    virtual std::size_t granularity() const = 0;
    // False when the window cannot be mapped; `out` is then left empty.
    virtual bool map(std::uint64_t offset, std::size_t length, MapView& out) = 0;
    virtual void unmap() = 0;
};

class FileOpener {
  public:
    virtual ~FileOpener() = default;
    // Returns nullptr when the file cannot be opened; `error` then says why (may be null).
    virtual std::unique_ptr<MappedFile> open(const std::string& path, std::string* error) = 0;
};

// The real thing: open(2) + mmap(2) windows, sequential-access hints.
class PosixFileOpener final : public FileOpener {
  public:
    std::unique_ptr<MappedFile> open(const std::string& path, std::string* error) override;
};

}  // namespace tw::platform
