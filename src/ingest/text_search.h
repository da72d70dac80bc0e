#pragma once
// Substring search with a skip table, in a case-sensitive and a case-insensitive variant, and
// "*"/"?" wildcard matching. Used by the readers, filters, the engine and the spider.
//
// A Pattern is built once (it allocates) and then searched any number of times from any number
// of threads; find() itself never allocates.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tw::ingest {

namespace detail {
constexpr std::array<unsigned char, 256> makeCaseMap(bool upper) {
    std::array<unsigned char, 256> m{};
    for (int i = 0; i < 256; ++i) {
        unsigned char c = static_cast<unsigned char>(i);
        if (upper && c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 32);
        if (!upper && c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c + 32);
        m[static_cast<std::size_t>(i)] = c;
    }
    return m;
}
inline constexpr auto kUpperMap = makeCaseMap(true);
inline constexpr auto kLowerMap = makeCaseMap(false);
}  // namespace detail

// ASCII case maps, as the C locale's toupper/tolower give them: the one case folding of the
// program, shared by searches, table keys and hashes.
inline unsigned char foldUpper(unsigned char c) {
    return detail::kUpperMap[c];
}
inline unsigned char foldLower(unsigned char c) {
    return detail::kLowerMap[c];
}
inline void lowerAscii(std::string& s) {
    for (char& c : s) c = static_cast<char>(foldLower(static_cast<unsigned char>(c)));
}
bool equalsIgnoringCase(std::string_view a, std::string_view b);

// Index of the last `c` in `s`, or npos: string_view::rfind walks byte by byte, and the analysis
// asks this of every URL and referrer.
std::size_t lastOf(std::string_view s, char c);

class Pattern {
  public:
    enum class Case { Sensitive, Insensitive };
    Pattern() = default;
    Pattern(std::string_view text, Case mode);

    // Index of the first occurrence in `text`, or -1. An empty pattern is found at 0.
    long find(std::string_view text) const;
    bool foundIn(std::string_view text) const { return find(text) >= 0; }
    std::size_t length() const { return pattern_.size(); }
    Case mode() const { return mode_; }

  private:
    std::string pattern_;  // folded to upper case for the insensitive variant
    Case mode_ = Case::Sensitive;
    std::array<std::uint32_t, 256> skip_{};
};

// One-off search, for callers that do not keep the pattern.
long findText(std::string_view text, std::string_view pattern, Pattern::Case mode);

// Whole-text match: "*" any run (also empty), "?" exactly one byte, anything else itself,
// case-sensitively. Runs in O(|pattern| * |text|) at worst, never recurses.
bool wildcardMatch(std::string_view pattern, std::string_view text);

}  // namespace tw::ingest
