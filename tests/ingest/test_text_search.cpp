#include "ingest/text_search.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

namespace tw::ingest {
namespace {

using Case = Pattern::Case;

long find(std::string_view text, std::string_view pattern, Case mode = Case::Sensitive) {
    return Pattern(pattern, mode).find(text);
}

std::string asciiLower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

long reference(const std::string& text, const std::string& pattern, Case mode) {
    const auto hit =
        mode == Case::Sensitive ? text.find(pattern) : asciiLower(text).find(asciiLower(pattern));
    return hit == std::string::npos ? -1 : static_cast<long>(hit);
}

TEST(PatternFind, FindsTheFirstOccurrence) {
    EXPECT_EQ(find("GET /index.html HTTP/1.0", "/index"), 4);
    EXPECT_EQ(find("abcabc", "abc"), 0);
    EXPECT_EQ(find("xxabc", "abc"), 2);  // at the very end
    EXPECT_EQ(find("ab", "abc"), -1);    // pattern longer than the text
    EXPECT_EQ(find("abd abx", "abc"), -1);
    EXPECT_EQ(find("", ""), 0);
    EXPECT_EQ(find("anything", ""), 0);
    EXPECT_EQ(find("", "a"), -1);
    // Patterns whose tail repeats inside them: a shift taken from the byte where the backward
    // comparison failed jumps over these.
    EXPECT_EQ(find("xabcabcab", "abcab"), 1);
    EXPECT_EQ(find("aaab", "aab"), 1);
    EXPECT_EQ(find("abaabab", "abab"), 3);
    EXPECT_EQ(find("cbcbbcbcc", "bcbcc"), 4);
    // Bytes from 0x80 up index the skip table like any other byte.
    EXPECT_EQ(find("/arabic/\xd8\xa7\xd9\x84\xd9\x81", "\xd9\x84\xd9\x81"), 10);
    EXPECT_EQ(find("\xff\xfe\xff\xff", "\xff\xff"), 2);
    EXPECT_EQ(findText("referer_log", "_log", Case::Sensitive), 7);
}

TEST(PatternFind, CaseInsensitiveFoldsAsciiLettersOnly) {
    EXPECT_EQ(find("GET /Images/LOGO.gif", "images/logo", Case::Insensitive), 5);
    EXPECT_EQ(find("#fields: date", "#FIELDS: ", Case::Insensitive), 0);
    EXPECT_EQ(find("xAbCaBcAb", "abcab", Case::Insensitive), 1);
    EXPECT_EQ(find("AAAB", "aab", Case::Insensitive), 1);
    // The text byte under the pattern's end may be in either case.
    EXPECT_EQ(find("zzzzab", "AB", Case::Insensitive), 4);
    EXPECT_EQ(find("zzzzAB", "ab", Case::Insensitive), 4);
    EXPECT_EQ(find("GET /images", "IMAGES", Case::Sensitive), -1);
    // The C locale folds nothing outside A..Z: "\xc4" and "\xe4" stay different bytes, and "@"
    // (0x40) is not the upper case of "`" (0x60).
    EXPECT_EQ(find("\xc4", "\xe4", Case::Insensitive), -1);
    EXPECT_EQ(find("`", "@", Case::Insensitive), -1);
    EXPECT_EQ(find("[x]", "{X}", Case::Insensitive), -1);
    EXPECT_EQ(foldUpper('q'), 'Q');
    EXPECT_EQ(foldUpper(0xE4), 0xE4);
    EXPECT_EQ(foldLower('Q'), 'q');
    EXPECT_EQ(foldLower('['), '[');
}

TEST(PatternFind, AgreesWithStdFindOnRandomTexts) {
    std::mt19937 rng(20240611);
    // A tiny alphabet makes near-misses and self-overlapping patterns the common case; the
    // last one holds the bytes next to the letters and above 0x7F, which must not fold. Texts
    // reach past several sixteen-byte blocks, patterns past one.
    const std::string alphabet[] = {"ab", "abc", "aAbB", "a\xff", "`a{zZ@[\x80\xe1"};
    int found = 0;
    for (int round = 0; round < 60000; ++round) {
        const std::string& abc = alphabet[round % 5];
        std::uniform_int_distribution<std::size_t> pick(0, abc.size() - 1);
        std::uniform_int_distribution<int> textLen(0, round % 3 ? 24 : 90), patLen(1, round % 7 ? 6 : 20);
        std::string text, pattern;
        for (int i = textLen(rng); i > 0; --i) text += abc[pick(rng)];
        for (int i = patLen(rng); i > 0; --i) pattern += abc[pick(rng)];
        const Case mode = round % 2 ? Case::Insensitive : Case::Sensitive;
        const long want = reference(text, pattern, mode);
        ASSERT_EQ(Pattern(pattern, mode).find(text), want)
            << "text \"" << text << "\" pattern \"" << pattern << "\" insensitive " << (round % 2);
        if (want >= 0) ++found;
    }
    EXPECT_GT(found, 15000);  // the cross-check must exercise hits, not only misses
}

TEST(PatternFind, OnePatternServesManyTexts) {
    const Pattern pat("Googlebot", Case::Insensitive);
    EXPECT_EQ(pat.length(), 9u);
    EXPECT_EQ(pat.mode(), Case::Insensitive);
    EXPECT_TRUE(pat.foundIn("Mozilla/5.0 (compatible; googlebot/2.1)"));
    EXPECT_FALSE(pat.foundIn("Mozilla/5.0 (compatible; bingbot/2.0)"));
    EXPECT_EQ(pat.find("GOOGLEBOT"), 0);
    const Pattern none;
    EXPECT_EQ(none.find("text"), 0);
}

// Plain dynamic programming over all prefixes: obviously right, and slow enough that the
// production matcher must not work this way.
bool referenceMatch(const std::string& p, const std::string& t) {
    std::vector<std::vector<bool>> m(p.size() + 1, std::vector<bool>(t.size() + 1, false));
    m[0][0] = true;
    for (std::size_t i = 1; i <= p.size(); ++i) {
        m[i][0] = m[i - 1][0] && p[i - 1] == '*';
        for (std::size_t j = 1; j <= t.size(); ++j) {
            if (p[i - 1] == '*')
                m[i][j] = m[i - 1][j] || m[i][j - 1];
            else
                m[i][j] = m[i - 1][j - 1] && (p[i - 1] == '?' || p[i - 1] == t[j - 1]);
        }
    }
    return m[p.size()][t.size()];
}

// The last occurrence is found sixteen bytes at a time from the end: every length around the
// block size, with the byte absent, once at every place, and twice.
TEST(LastOf, AgreesWithRfindAtEveryLengthAndPlace) {
    for (std::size_t n = 0; n <= 70; ++n) {
        const std::string none(n, 'x');
        EXPECT_EQ(lastOf(none, '/'), std::string::npos) << n;
        for (std::size_t i = 0; i < n; ++i) {
            std::string once = none;
            once[i] = '/';
            EXPECT_EQ(lastOf(once, '/'), i) << n << " at " << i;
            for (std::size_t j = 0; j < i; ++j) {
                std::string twice = once;
                twice[j] = '/';
                EXPECT_EQ(lastOf(twice, '/'), i) << n << " at " << j << " and " << i;
            }
        }
    }
    // Only the view is searched, not the bytes around it.
    const std::string text = "/abcdefghijklmnopqrstuvwxyz/";
    EXPECT_EQ(lastOf(std::string_view(text).substr(1, text.size() - 2), '/'), std::string::npos);
    EXPECT_EQ(lastOf(std::string_view(text).substr(0, 20), '/'), 0u);
    EXPECT_EQ(lastOf("a\xff", '\xff'), 1u);
}

TEST(WildcardMatch, StarsAndQuestionMarks) {
    EXPECT_TRUE(wildcardMatch("*", ""));
    EXPECT_TRUE(wildcardMatch("*", "/any/path.html"));
    EXPECT_TRUE(wildcardMatch("", ""));
    EXPECT_FALSE(wildcardMatch("", "a"));
    EXPECT_FALSE(wildcardMatch("?", ""));
    EXPECT_TRUE(wildcardMatch("?", "x"));
    EXPECT_FALSE(wildcardMatch("?", "xy"));
    EXPECT_TRUE(wildcardMatch("/img/*.gif", "/img/logo.gif"));
    EXPECT_FALSE(wildcardMatch("/img/*.gif", "/img/logo.gif.bak"));  // the whole text must match
    EXPECT_FALSE(wildcardMatch("/img/*.gif", "/img/logo.GIF"));      // case-sensitive
    EXPECT_TRUE(wildcardMatch("*bot*", "Googlebot/2.1"));
    EXPECT_TRUE(wildcardMatch("*bot*", "bot"));
    EXPECT_FALSE(wildcardMatch("*bot*", "Mozilla"));
    EXPECT_TRUE(wildcardMatch("**a**", "a"));
    EXPECT_TRUE(wildcardMatch("*ab", "aab"));      // the first "a" must be given back to the star
    EXPECT_TRUE(wildcardMatch("a*b*c", "abxbc"));  // so must the first "b"
    EXPECT_FALSE(wildcardMatch("*a*b", "ba"));
    EXPECT_TRUE(wildcardMatch("?*?", "ab"));
    EXPECT_FALSE(wildcardMatch("?*?", "a"));
    // A "*" in the text is just a byte; only the pattern's "*" is a wildcard.
    EXPECT_TRUE(wildcardMatch("a*", "a*"));
    EXPECT_TRUE(wildcardMatch("a?b", "a*b"));
    EXPECT_FALSE(wildcardMatch("x", "*"));
    EXPECT_TRUE(wildcardMatch("*", "***"));
}

TEST(WildcardMatch, AgreesWithReferenceOnRandomPatterns) {
    std::mt19937 rng(77);
    const std::string patternBytes = "ab*?";
    const std::string textBytes = "ab*";
    std::uniform_int_distribution<int> len(0, 9);
    int matched = 0;
    for (int round = 0; round < 30000; ++round) {
        std::string p, t;
        for (int i = len(rng); i > 0; --i) p += patternBytes[rng() % patternBytes.size()];
        for (int i = len(rng); i > 0; --i) t += textBytes[rng() % textBytes.size()];
        const bool want = referenceMatch(p, t);
        ASSERT_EQ(wildcardMatch(p, t), want) << "pattern \"" << p << "\" text \"" << t << "\"";
        matched += want;
    }
    EXPECT_GT(matched, 1000);
}

TEST(WildcardMatch, HostilePatternsFinishQuickly) {
    const std::string text(200000, 'a');
    const auto start = std::chrono::steady_clock::now();
    // A backtracking matcher tries every way to share the text among the stars: for these
    // that is astronomically many.
    EXPECT_FALSE(wildcardMatch("a*a*a*a*a*a*a*a*a*a*b", text));
    EXPECT_FALSE(wildcardMatch("*a*a*a*a*a*a*a*a*a*a*a*?b", text));
    EXPECT_TRUE(wildcardMatch("a*a*a*a*a*a*a*a*a*a*a", text));
    EXPECT_TRUE(wildcardMatch("*?*?*?*?*?*?*?*?*", text));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(elapsed, std::chrono::seconds(2));
}

}  // namespace
}  // namespace tw::ingest
