#include "engine/lookup2.h"

#include <array>

#include "ingest/text_search.h"

namespace tw::engine {
namespace {

inline void mix(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c) {
    a -= b;
    a -= c;
    a ^= (c >> 13);
    b -= c;
    b -= a;
    b ^= (a << 8);
    c -= a;
    c -= b;
    c ^= (b >> 13);
    a -= b;
    a -= c;
    a ^= (c >> 12);
    b -= c;
    b -= a;
    b ^= (a << 16);
    c -= a;
    c -= b;
    c ^= (b >> 5);
    a -= b;
    a -= c;
    a ^= (c >> 3);
    b -= c;
    b -= a;
    b ^= (a << 10);
    c -= a;
    c -= b;
    c ^= (b >> 15);
}

inline std::uint32_t word(const unsigned char* k) {
    return std::uint32_t{k[0]} | (std::uint32_t{k[1]} << 8) | (std::uint32_t{k[2]} << 16) |
           (std::uint32_t{k[3]} << 24);
}

// `at(i)` gives byte i of the key; inlined for both the plain and the folded variant.
template <typename At>
std::uint32_t hashBytes(At at, std::size_t length, std::uint32_t initval,
                        const unsigned char* raw) {
    std::uint32_t a = 0x9E3779B9, b = 0x9E3779B9, c = initval;
    std::size_t i = 0;
    for (; length - i >= 12; i += 12) {
        if (raw) {
            a += word(raw + i);
            b += word(raw + i + 4);
            c += word(raw + i + 8);
        } else {
            unsigned char k[12];
            for (int j = 0; j < 12; ++j) k[j] = at(i + static_cast<std::size_t>(j));
            a += word(k);
            b += word(k + 4);
            c += word(k + 8);
        }
        mix(a, b, c);
    }
    c += static_cast<std::uint32_t>(length);
    const std::size_t left = length - i;
    // The lowest byte of c is reserved for the length.
    switch (left) {
        case 11:
            c += std::uint32_t{at(i + 10)} << 24;
            [[fallthrough]];
        case 10:
            c += std::uint32_t{at(i + 9)} << 16;
            [[fallthrough]];
        case 9:
            c += std::uint32_t{at(i + 8)} << 8;
            [[fallthrough]];
        case 8:
            b += std::uint32_t{at(i + 7)} << 24;
            [[fallthrough]];
        case 7:
            b += std::uint32_t{at(i + 6)} << 16;
            [[fallthrough]];
        case 6:
            b += std::uint32_t{at(i + 5)} << 8;
            [[fallthrough]];
        case 5:
            b += at(i + 4);
            [[fallthrough]];
        case 4:
            a += std::uint32_t{at(i + 3)} << 24;
            [[fallthrough]];
        case 3:
            a += std::uint32_t{at(i + 2)} << 16;
            [[fallthrough]];
        case 2:
            a += std::uint32_t{at(i + 1)} << 8;
            [[fallthrough]];
        case 1:
            a += at(i);
            break;
        default:
            break;
    }
    mix(a, b, c);
    return c;
}

}  // namespace

std::uint32_t lookup2(const void* data, std::size_t length, std::uint32_t initval) {
    const auto* k = static_cast<const unsigned char*>(data);
    return hashBytes([k](std::size_t i) { return k[i]; }, length, initval, k);
}

std::uint32_t lookup2Folded(std::string_view s) {
    const auto* k = reinterpret_cast<const unsigned char*>(s.data());
    return hashBytes([k](std::size_t i) { return ingest::foldLower(k[i]); }, s.size(), kLookup2Init,
                     nullptr);
}

}  // namespace tw::engine
