#pragma once
// Bob Jenkins' 1996 hash ("lookup2"), the hash of every text key of the statistics tables.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tw::engine {

inline constexpr std::uint32_t kLookup2Init = 0xDEADBEEF;

std::uint32_t lookup2(const void* data, std::size_t length, std::uint32_t initval = kLookup2Init);
inline std::uint32_t lookup2(std::string_view s) {
    return lookup2(s.data(), s.size());
}

// The same hash over the text folded to lower case (ASCII), for keys compared ignoring case:
// texts that compare equal must land in the same bucket.
std::uint32_t lookup2Folded(std::string_view s);

}  // namespace tw::engine
