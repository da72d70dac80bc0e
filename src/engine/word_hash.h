#pragma once
// A hash for the analysis's caches of texts met before: eight bytes a step, so a 120-byte user
// agent costs about sixty instructions, a third of the library's string hash. Not for anything
// stored: the tables and the saved files keep their own hash.
#include <cstdint>
#include <cstring>
#include <string_view>

namespace tw::engine {

inline std::uint64_t wordHash(std::string_view s) {
    const char* p = s.data();
    const std::size_t n = s.size();
    const auto load8 = [](const char* q) {
        std::uint64_t w;
        std::memcpy(&w, q, 8);
        return w;
    };
    std::uint64_t h = 0x9E3779B97F4A7C15ull ^ n;
    const auto mix = [&h](std::uint64_t w) {
        h = (h ^ w) * 0xBF58476D1CE4E5B9ull;
        h ^= h >> 31;
    };
    if (n >= 8) {
        std::size_t i = 0;
        for (; i + 8 <= n; i += 8) mix(load8(p + i));
        // The tail as the last eight bytes, overlapping what was mixed: one load, no loop.
        if (i < n) mix(load8(p + n - 8));
    } else if (n >= 4) {
        std::uint32_t lo, hi;
        std::memcpy(&lo, p, 4);
        std::memcpy(&hi, p + n - 4, 4);
        mix(lo | std::uint64_t{hi} << 32);
    } else if (n > 0) {
        mix(static_cast<unsigned char>(p[0]) | static_cast<unsigned char>(p[n / 2]) << 8 |
            static_cast<unsigned char>(p[n - 1]) << 16);
    }
    return h * 0x94D049BB133111EBull;
}

}  // namespace tw::engine
