#pragma once
// The binary archive that saved reports and caches are written in: little-endian integers and
// counted strings (a 4-byte length, then the bytes, no terminator).
//
// The writer builds the bytes in memory, so a caller writes a file only once everything is
// there and never leaves half a file behind. The reader never reads past its buffer: any short
// or malformed value makes it fail, and it stays failed, so a caller can read a whole section
// and check once.
#include <cstdint>
#include <string>
#include <string_view>

namespace tw::engine {

// The longest counted string a reader accepts; a longer length is taken for damage. A log
// field keeps at most 9999 characters, and the texts built from one (a page with the default
// page appended, a link joined to its page's directory) stay well within this.
inline constexpr std::uint32_t kMaxCountedText = 16384;

// What a kind's serialise operation reports for one item.
enum class SerialiseStatus { Ok = 0, Failed = 1, Skipped = 2 };

class ArchiveWriter {
  public:
    void u32(std::uint32_t v);
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void u64(std::uint64_t v);
    void text(std::string_view s);  // callers check fitsCountedText() first
    void raw(std::string_view bytes) { bytes_.append(bytes); }
    static bool fitsCountedText(std::string_view s) { return s.size() <= kMaxCountedText; }

    const std::string& bytes() const { return bytes_; }
    std::size_t size() const { return bytes_.size(); }

  private:
    std::string bytes_;
};

class ArchiveReader {
  public:
    explicit ArchiveReader(std::string_view bytes) : bytes_(bytes) {}

    bool u32(std::uint32_t& v);
    bool i32(std::int32_t& v);
    bool u64(std::uint64_t& v);
    // A view into the buffer; a length above `maxLength` (or negative) fails.
    bool text(std::string_view& s, std::uint32_t maxLength = kMaxCountedText);
    // `n` bytes as they stand (what ArchiveWriter::raw() wrote), as a view into the buffer.
    bool raw(std::size_t n, std::string_view& s);

    bool failed() const { return failed_; }
    bool atEnd() const { return pos_ >= bytes_.size(); }
    std::size_t position() const { return pos_; }
    std::size_t remaining() const { return bytes_.size() - pos_; }

  private:
    bool take(std::size_t n, const char*& p);

    std::string_view bytes_;
    std::size_t pos_ = 0;
    bool failed_ = false;
};

}  // namespace tw::engine
