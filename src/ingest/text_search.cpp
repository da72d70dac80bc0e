#include "ingest/text_search.h"

#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tw::ingest {

std::size_t lastOf(std::string_view s, char c) {
#if defined(__SSE2__)
    // URLs and host names are a few dozen bytes: sixteen at a time from the end, the first
    // ones with a load that starts at the text and overlaps what was already looked at, costs
    // less than the call into the library.
    const char* b = s.data();
    std::size_t n = s.size();
    if (n >= 16) {
        const __m128i needle = _mm_set1_epi8(c);
        while (n >= 16) {
            n -= 16;
            const auto m = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + n)), needle)));
            if (m != 0) return n + 31 - static_cast<std::size_t>(__builtin_clz(m));
        }
        if (n == 0) return std::string_view::npos;
        // Bytes [n, n + 16) are known not to hold `c`; the first load covers [0, 16).
        const auto m = static_cast<unsigned>(_mm_movemask_epi8(
                           _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b)),
                                          needle))) &
                       ((1u << n) - 1);
        return m != 0 ? 31 - static_cast<std::size_t>(__builtin_clz(m)) : std::string_view::npos;
    }
    while (n > 0)
        if (b[--n] == c) return n;
    return std::string_view::npos;
#else
    if (s.empty()) return std::string_view::npos;
    const void* p = ::memrchr(s.data(), c, s.size());
    return p ? static_cast<std::size_t>(static_cast<const char*>(p) - s.data())
             : std::string_view::npos;
#endif
}
namespace {
constexpr const auto& kUpper = detail::kUpperMap;
constexpr const auto& kLower = detail::kLowerMap;
}  // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (kLower[static_cast<unsigned char>(a[i])] != kLower[static_cast<unsigned char>(b[i])])
            return false;
    return true;
}

Pattern::Pattern(std::string_view text, Case mode) : pattern_(text), mode_(mode) {
    if (mode_ == Case::Insensitive)
        for (char& c : pattern_) c = static_cast<char>(kUpper[static_cast<unsigned char>(c)]);
    const auto n = static_cast<std::uint32_t>(pattern_.size());
    skip_.fill(n);
    // Horspool's rule: the shift is taken from the text byte under the pattern's last position,
    // and the last pattern byte itself does not set an entry. Shifting by the byte where a
    // mismatch happened instead can jump over an occurrence whenever the pattern's tail repeats
    // inside it.
    for (std::uint32_t j = 0; j + 1 < n; ++j) {
        const auto c = static_cast<unsigned char>(pattern_[j]);
        skip_[c] = n - j - 1;
        if (mode_ == Case::Insensitive) skip_[kLower[c]] = n - j - 1;
    }
}

namespace {

// The search loop for one case mode, so that the mode is not tested at every byte.
template <bool Fold>
long horspool(const unsigned char* t, std::size_t size, const unsigned char* p, std::size_t n,
              const std::array<std::uint32_t, 256>& skip) {
    const std::size_t last = n - 1;
    std::size_t pos = 0;
    while (pos + last < size) {
        std::size_t j = last;
        while (true) {
            const unsigned char c = Fold ? kUpper[t[pos + j]] : t[pos + j];
            if (c != p[j]) break;
            if (j == 0) return static_cast<long>(pos);
            --j;
        }
        pos += skip[t[pos + last]];
    }
    return -1;
}

}  // namespace

long Pattern::find(std::string_view text) const {
    const std::size_t n = pattern_.size();
    if (n == 0) return 0;
    if (text.size() < n) return -1;
    const auto* t = reinterpret_cast<const unsigned char*>(text.data());
    const auto* p = reinterpret_cast<const unsigned char*>(pattern_.data());
    return mode_ == Case::Insensitive ? horspool<true>(t, text.size(), p, n, skip_)
                                      : horspool<false>(t, text.size(), p, n, skip_);
}

long findText(std::string_view text, std::string_view pattern, Pattern::Case mode) {
    return Pattern(pattern, mode).find(text);
}

bool wildcardMatch(std::string_view pattern, std::string_view text) {
    // Greedy matching with one backtrack point: a later "*" always supersedes an earlier one, so
    // remembering only the last star is enough and hostile patterns cannot blow up.
    std::size_t p = 0, t = 0;
    std::size_t starP = std::string_view::npos, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starT = t;
        } else if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == text[t])) {
            ++p;
            ++t;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

}  // namespace tw::ingest
