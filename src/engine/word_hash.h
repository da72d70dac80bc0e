#pragma once
// A hash for the analysis's caches of texts met before: eight bytes a step, so a 120-byte user
// agent costs about sixty instructions, a third of the library's string hash. Not for anything
// stored: the tables and the saved files keep their own hash.
#include <cstdint>
#include <cstring>
#include <string_view>

namespace tw::engine {

inline std::uint64_t wordHash(std::string_view s) {
    std::uint64_t h = 0x9E3779B97F4A7C15ull ^ s.size();
    std::size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        std::uint64_t w;
        std::memcpy(&w, s.data() + i, 8);
        h = (h ^ w) * 0xBF58476D1CE4E5B9ull;
        h ^= h >> 31;
    }
    if (i < s.size()) {
        std::uint64_t w = 0;
        std::memcpy(&w, s.data() + i, s.size() - i);
        h = (h ^ w) * 0x94D049BB133111EBull;
        h ^= h >> 29;
    }
    return h * 0xBF58476D1CE4E5B9ull;
}

}  // namespace tw::engine
