#include "engine/archive.h"

namespace tw::engine {

void ArchiveWriter::u32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void ArchiveWriter::u64(std::uint64_t v) {
    for (int i = 0; i < 8; ++i) bytes_.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void ArchiveWriter::text(std::string_view s) {
    u32(static_cast<std::uint32_t>(s.size()));
    bytes_.append(s);
}

bool ArchiveReader::take(std::size_t n, const char*& p) {
    if (failed_ || bytes_.size() - pos_ < n) {
        failed_ = true;
        return false;
    }
    p = bytes_.data() + pos_;
    pos_ += n;
    return true;
}

bool ArchiveReader::u32(std::uint32_t& v) {
    const char* p;
    if (!take(4, p)) return false;
    v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<std::uint32_t>(static_cast<unsigned char>(p[i])) << (8 * i);
    return true;
}

bool ArchiveReader::i32(std::int32_t& v) {
    std::uint32_t u;
    if (!u32(u)) return false;
    v = static_cast<std::int32_t>(u);
    return true;
}

bool ArchiveReader::u64(std::uint64_t& v) {
    const char* p;
    if (!take(8, p)) return false;
    v = 0;
    for (int i = 0; i < 8; ++i)
        v |= static_cast<std::uint64_t>(static_cast<unsigned char>(p[i])) << (8 * i);
    return true;
}

bool ArchiveReader::text(std::string_view& s, std::uint32_t maxLength) {
    std::int32_t n;
    if (!i32(n)) return false;
    // Negative lengths land here too, as huge unsigned ones.
    if (static_cast<std::uint32_t>(n) > maxLength) {
        failed_ = true;
        return false;
    }
    const char* p;
    if (!take(static_cast<std::size_t>(n), p)) return false;
    s = {p, static_cast<std::size_t>(n)};
    return true;
}

bool ArchiveReader::raw(std::size_t n, std::string_view& s) {
    const char* p;
    if (!take(n, p)) return false;
    s = {p, n};
    return true;
}

}  // namespace tw::engine
