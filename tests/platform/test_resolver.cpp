// The resolver seam: the address readers, the system resolver and the scripted double.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <latch>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/resolver.h"
#include "support/scripted_resolver.h"

namespace tw::platform {
namespace {

using Quad = std::array<std::uint8_t, 4>;

// Compares one input against inet_pton: same verdict, and the same four bytes when accepted.
// Returns inet_pton's verdict.
bool expectSameAsInetPton(const std::string& text) {
    in_addr reference{};
    const bool expected = ::inet_pton(AF_INET, text.c_str(), &reference) == 1;
    Quad got{9, 9, 9, 9};
    const bool accepted = parseDottedQuad(text, got);
    EXPECT_EQ(accepted, expected) << '"' << text << '"';
    if (accepted) {
        EXPECT_EQ(std::memcmp(got.data(), &reference.s_addr, 4), 0) << '"' << text << '"';
    } else {
        EXPECT_EQ(got, (Quad{9, 9, 9, 9})) << "output changed on refusal of \"" << text << '"';
    }
    return expected;
}

TEST(DottedQuad, AcceptsExactlyWhatInetPtonAccepts) {
    std::mt19937 rng(20240611);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };

    // Random strings over digits and dots, dots weighted so that four-part shapes are common.
    int acceptedRandom = 0;
    for (int i = 0; i < 200000; ++i) {
        std::string s;
        const int len = pick(0, 18);
        for (int j = 0; j < len; ++j)
            s += pick(0, 3) == 0 ? '.' : static_cast<char>('0' + pick(0, 9));
        if (expectSameAsInetPton(s)) ++acceptedRandom;
        if (HasFailure()) return;
    }
    EXPECT_GT(acceptedRandom, 100) << "the random strings hardly ever formed an address";

    // Generated quads around the edges: 0/255/256, leading zeros, wrong part counts, stray text.
    const char* strays[] = {"", " ", "+", "-", "x", "0x", "/24", ":80", "."};
    for (int i = 0; i < 100000; ++i) {
        const int partCount = pick(0, 9) == 0 ? pick(1, 6) : 4;
        std::string s;
        for (int p = 0; p < partCount; ++p) {
            if (p > 0) s += '.';
            const int kind = pick(0, 9);
            if (kind == 0) {
                s += '0' + std::to_string(pick(0, 255));  // leading zero
            } else if (kind == 1) {
                s += std::to_string(pick(250, 1000));
            } else if (kind == 2) {
                s += std::to_string(pick(0, 2) * 255 / 2 + pick(0, 1));  // 0, 1, 127, 128, 255, 256
            } else {
                s += std::to_string(pick(0, 255));
            }
        }
        if (pick(0, 7) == 0) {
            const std::string stray = strays[pick(0, 8)];
            s.insert(static_cast<std::size_t>(pick(0, static_cast<int>(s.size()))), stray);
        }
        expectSameAsInetPton(s);
        if (HasFailure()) return;
    }

    const char buffer[] = "10.20.30.45 trailing";
    Quad out{};
    ASSERT_TRUE(parseDottedQuad(std::string_view(buffer, 10), out));  // "10.20.30.4"
    EXPECT_EQ(out, (Quad{10, 20, 30, 4}));
    // inet_pton would stop at the NUL and accept; a view carries its own length, so this is junk.
    EXPECT_FALSE(parseDottedQuad(std::string_view("1.2.3.4\0", 8), out));
    EXPECT_EQ(out, (Quad{10, 20, 30, 4}));
}

TEST(CanonicalAddress, EverySpellingOfAnAddressIsOneText) {
    const std::pair<const char*, const char*> same[] = {
        {"001.002.003.004", "1.2.3.4"},
        {"1.2.3.4", "1.2.3.4"},
        {"010.0.0.1", "10.0.0.1"},  // decimal, never octal 8.0.0.1
        {"000.000.000.000", "0.0.0.0"},
        {"255.255.255.255", "255.255.255.255"},
        {"1.02.003.255", "1.2.3.255"},
        {"2001:db8::1", "2001:db8::1"},
        {"2001:DB8::1", "2001:db8::1"},
        {"2001:0db8:0000:0000:0000:0000:0000:0001", "2001:db8::1"},
        {"0:0:0:0:0:0:0:1", "::1"},
        {"::ffff:1.2.3.4", "::ffff:1.2.3.4"},
        {"::FFFF:0102:0304", "::ffff:1.2.3.4"},
        {"2001:db8:0:0:1:0:0:1", "2001:db8::1:0:0:1"},
        // The zone stays as logged, case and all; an empty one names no link.
        {"FE80:0000::0001%eth0", "fe80::1%eth0"},
        {"fe80::1%ETH0", "fe80::1%ETH0"},
        {"fe80::1%", "fe80::1"},
        {"001.2.3.4%eth0", "1.2.3.4%eth0"},
    };
    for (const auto& [text, expected] : same) {
        std::string out = "old";
        EXPECT_TRUE(canonicalAddress(text, out)) << text;
        EXPECT_EQ(out, expected) << text;
    }

    const char* const refused[] = {
        // The wrong number of parts, or of digits in one.
        "1.2.3", "1.2.3.4.5", "1..2.3", ".1.2.3.4", "1.2.3.4.", "1.2.3.0004",
        // Out of range.
        "256.1.1.1", "1.2.3.256", "0256.1.1.1", "12345::1",
        // Names, and addresses with anything around them.
        "www.1.com", "1.2.3.4.example", "10.0.0.1a", "a.b.c.d", "abcd", "example.com", "+1.2.3.4",
        "1.2.3.4 ", " 1.2.3.4", "0x1.2.3.4", "1.2.3.4:80", "%eth0", "",
        // IPv6 that inet_pton refuses.
        "2001:db8::1::2", "2001:db8:::1", "fe80::g"};
    for (const char* text : refused) {
        std::string out = "old";
        EXPECT_FALSE(canonicalAddress(text, out)) << '"' << text << '"';
        EXPECT_EQ(out, "old") << "output changed on refusal of \"" << text << '"';
    }
    // A view carries its own length: what follows it is not read.
    std::string out;
    EXPECT_TRUE(canonicalAddress(std::string_view("001.002.003.0045", 15), out));
    EXPECT_EQ(out, "1.2.3.4");
}

// Generated spellings of random addresses against the system's own printing of their bytes.
TEST(CanonicalAddress, PaddedQuadsAndIPv6SpellingsMatchInetNtop) {
    std::mt19937 rng(77);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    std::string out;
    for (int i = 0; i < 20000; ++i) {
        unsigned char bytes[4];
        std::string padded;
        for (int p = 0; p < 4; ++p) {
            bytes[p] = static_cast<unsigned char>(pick(0, 255));
            std::string part = std::to_string(bytes[p]);
            while (part.size() < 3 && pick(0, 1) == 0) part.insert(0, "0");
            padded += (p ? "." : "") + part;
        }
        char expected[INET_ADDRSTRLEN];
        ASSERT_NE(::inet_ntop(AF_INET, bytes, expected, sizeof expected), nullptr);
        ASSERT_TRUE(canonicalAddress(padded, out)) << padded;
        ASSERT_EQ(out, expected) << padded;
    }
    for (int i = 0; i < 20000; ++i) {
        unsigned char bytes[16] = {};
        // Mostly zero groups, so that runs of them (and so "::") are common.
        for (int g = 0; g < 8; ++g) {
            if (pick(0, 2) == 0) continue;
            bytes[2 * g] = static_cast<unsigned char>(pick(0, 255));
            bytes[2 * g + 1] = static_cast<unsigned char>(pick(0, 255));
        }
        std::string full;  // every group written out, four digits, in capitals
        for (int g = 0; g < 8; ++g) {
            char group[8];
            std::snprintf(group, sizeof group, "%s%02X%02X", g ? ":" : "", bytes[2 * g],
                          bytes[2 * g + 1]);
            full += group;
        }
        char expected[INET6_ADDRSTRLEN];
        ASSERT_NE(::inet_ntop(AF_INET6, bytes, expected, sizeof expected), nullptr);
        ASSERT_TRUE(canonicalAddress(full, out)) << full;
        ASSERT_EQ(out, expected) << full;
        ASSERT_TRUE(canonicalAddress(expected, out)) << expected;
        ASSERT_EQ(out, expected) << "the canonical text is its own canonical text";
    }
}

// Only 127.0.0.1 is looked up for real: /etc/hosts answers it without any network traffic.
TEST(ResolverSystem, ResolvesLoopbackToTheNameInEtcHosts) {
    std::ifstream hosts("/etc/hosts");
    std::string line, expected;
    while (expected.empty() && std::getline(hosts, line)) {
        std::istringstream fields(line);
        std::string address, name;
        if (fields >> address >> name && address == "127.0.0.1") expected = name;
    }
    if (expected.empty()) GTEST_SKIP() << "/etc/hosts has no 127.0.0.1 line";

    SystemResolver resolver;
    EXPECT_EQ(resolver.reverseLookup(Quad{127, 0, 0, 1}), expected);
}

TEST(ResolverScripted, CountsAndOverlapsCallsFromSixteenThreads) {
    test::ScriptedResolver resolver;
    resolver.answer("192.0.2.17", "alpha.example");
    resolver.answer("198.51.100.1", "beta.example");
    resolver.setDelay(std::chrono::milliseconds(20));
    std::atomic<int> hookRuns{0};
    resolver.setOnCall([&] { hookRuns.fetch_add(1); });

    const std::array<Quad, 3> addresses{Quad{192, 0, 2, 17}, Quad{198, 51, 100, 1},
                                        Quad{203, 0, 113, 5}};
    const std::array<std::string, 3> names{"alpha.example", "beta.example", ""};
    constexpr int kThreads = 16, kCallsEach = 6;
    std::latch start(kThreads);
    std::atomic<int> wrongAnswers{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            start.arrive_and_wait();
            for (int c = 0; c < kCallsEach; ++c) {
                const auto k = static_cast<std::size_t>((t + c) % 3);
                if (resolver.reverseLookup(addresses[k]) != names[k]) wrongAnswers.fetch_add(1);
            }
        });
    }
    for (auto& th : threads) th.join();

    EXPECT_EQ(wrongAnswers.load(), 0);
    EXPECT_EQ(resolver.calls(), kThreads * kCallsEach);
    EXPECT_EQ(resolver.callsFor("192.0.2.17") + resolver.callsFor("198.51.100.1") +
                  resolver.callsFor("203.0.113.5"),
              kThreads * kCallsEach);
    EXPECT_EQ(resolver.callsFor("192.0.2.17"), kThreads * kCallsEach / 3);
    EXPECT_EQ(resolver.callsFor("10.0.0.1"), 0);
    EXPECT_EQ(hookRuns.load(), kThreads * kCallsEach);
    EXPECT_GT(resolver.maxInFlight(), 1);
    EXPECT_LE(resolver.maxInFlight(), kThreads);
}

}  // namespace
}  // namespace tw::platform
