// The statistics tables' building blocks: the hash, the string arena and the keyed table.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "engine/lookup2.h"
#include "engine/stat_items.h"
#include "engine/stat_table.h"
#include "engine/string_arena.h"
#include "engine/table_sizes.h"

namespace tw::engine {
namespace {

TEST(Lookup2, MatchesTheReferenceValues) {
    // Printed by tests/engine/data/lookup2.py, an independent implementation.
    std::string all;
    for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
    const struct {
        std::string text;
        std::uint32_t hash;
    } cases[] = {
        {"", 0x1153F4BEu},
        {"a", 0x4DDD0605u},
        {"/index.html", 0x57B9B1F2u},
        {"www.example.com", 0xCC7D2B60u},
        {"0123456789ab", 0x29A100CCu},
        {"0123456789abc", 0xDF7BFA70u},
        {"/images/logo.gif?size=large&v=2", 0x50E27208u},
        {all, 0xA753FD2Au},
    };
    for (const auto& c : cases) EXPECT_EQ(lookup2(c.text), c.hash) << c.text.size();
    EXPECT_EQ(lookup2Folded("/Images/LOGO.gif?Size=Large&v=2"),
              lookup2("/images/logo.gif?size=large&v=2"));
    EXPECT_EQ(lookup2Folded(all.substr(128)), lookup2(all.substr(128))) << "only A..Z fold";
}

TEST(StringArena, BumpsAndGivesBackTheTwoNewestTexts) {
    StringArena arena(64, 3);
    const Text a = arena.copy("alpha");
    const Text b = arena.copy("beta");
    const Text c = arena.copy("gamma");
    ASSERT_NE(a.data, nullptr);
    EXPECT_EQ(b.data, a.data + 5);
    EXPECT_EQ(c.data, b.data + 4);
    EXPECT_EQ(arena.bytesInUse(), 14u);

    // Newest first, then the one before; a third or an out-of-order free does nothing.
    arena.free(b.data);
    EXPECT_EQ(arena.bytesInUse(), 14u) << "not the newest";
    arena.free(c.data);
    arena.free(b.data);
    EXPECT_EQ(arena.bytesInUse(), 5u);
    arena.free(a.data);
    EXPECT_EQ(arena.bytesInUse(), 5u) << "only two deep";
    EXPECT_EQ(a.view(), "alpha");
    const Text d = arena.copy("delta");
    EXPECT_EQ(d.data, a.data + 5) << "the freed space is used again";

    // A text that does not fit starts a new block; the rest of the old one is abandoned.
    const Text big = arena.copy(std::string(60, 'x'));
    ASSERT_NE(big.data, nullptr);
    EXPECT_EQ(arena.blocks(), 2);
    EXPECT_EQ(arena.bytesInUse(), 70u);
    arena.free(big.data);
    EXPECT_EQ(arena.bytesInUse(), 10u);
    EXPECT_EQ(d.view(), "delta");

    // Past the block limit the arena says so and stays exhausted until reset.
    EXPECT_NE(arena.copy(std::string(64, 'y')).data, nullptr);
    EXPECT_NE(arena.copy(std::string(64, 'z')).data, nullptr);
    EXPECT_FALSE(arena.outOfMemory());
    EXPECT_EQ(arena.copy("w").data, nullptr);
    EXPECT_TRUE(arena.outOfMemory());
    EXPECT_EQ(arena.copy("").data, nullptr);
    arena.reset();
    EXPECT_FALSE(arena.outOfMemory());
    EXPECT_EQ(arena.copy("again").view(), "again");
    EXPECT_EQ(arena.copy(std::string(65, 'q')).data, nullptr) << "larger than a block";
}

TEST(StatTable, VisitsAreGapsOfMoreThan1800Seconds) {
    StringArena arena;
    StatTable<VisitorKind> visitors(4);
    auto hit = [&](const char* host, std::int64_t t, std::uint64_t bytes) {
        VisitorKind::Item in{arena.copy(host), 0, 0, bytes, t};
        const auto r = visitors.insertOrMerge(in);
        if (!r.inserted) arena.free(in.host.data);
        return r.item;
    };
    hit("a.example", 1000, 10);
    hit("a.example", 2800, 20);  // exactly 1800 later: the same visit
    hit("b.example", 1000, 1);
    hit("b.example", 2801, 1);                         // 1801 later: a new visit
    VisitorKind::Item* a = hit("a.example", 4500, 5);  // 1700 after the previous request
    EXPECT_EQ(a->hits, 3u);
    EXPECT_EQ(a->visits, 1u) << "gaps are measured from the previous request";
    EXPECT_EQ(a->bytes, 35u);
    EXPECT_EQ(a->lastSeen, 4500);
    VisitorKind::Item* b = hit("b.example", 2801, 0);
    EXPECT_EQ(b->visits, 2u);
    EXPECT_EQ(visitors.size(), 2u);
    EXPECT_EQ(visitors.totals().visits, 3u);
    EXPECT_EQ(visitors.totals().hits, 6u);
    EXPECT_EQ(arena.bytesInUse(), std::string("a.exampleb.example").size())
        << "every found key gave its text back";
}

TEST(StatTable, KeysCompareAsTheirKindSays) {
    StringArena arena;
    StatTable<ErrorRequestKind> errors(1000);
    for (const auto& [url, status] : std::vector<std::pair<std::string, int>>{
             {"/a.htm", 403}, {"/a.htm", 500}, {"/A.HTM", 403}, {"/b.htm", 403}})
        errors.insertOrMerge({arena.copy(url), status, 1});
    EXPECT_EQ(errors.size(), 3u) << "case folded, statuses apart";
    std::uint64_t a403 = 0;
    errors.forEach([&](const ErrorRequestKind::Item& i) {
        if (equalsIgnoringCase(i.url.view(), "/a.htm") && i.status == 403) a403 = i.hits;
    });
    EXPECT_EQ(a403, 2u);

    // Texts that differ only in case meet whatever the bucket count.
    StatTable<TextHitsKind> suffixes(997);
    for (const char* s : {".COM", ".com", ".Com", ".org"})
        suffixes.insertOrMerge({arena.copy(s), 1});
    EXPECT_EQ(suffixes.size(), 2u);

    StatTable<TextPairKind> pairs(8);
    pairs.insertOrMerge({arena.copy("http://r/"), arena.copy("/p"), 2});
    pairs.insertOrMerge({arena.copy("http://r/"), arena.copy("/p"), 3});
    pairs.insertOrMerge({arena.copy("http://r/"), arena.copy("/P"), 1});
    EXPECT_EQ(pairs.size(), 2u) << "pairs are byte-exact";
    std::uint64_t sum = 0;
    pairs.forEach([&](const TextPairKind::Item& i) {
        if (i.second.view() == "/p") sum = i.hits;
    });
    EXPECT_EQ(sum, 5u);

    StatTable<RequestedFileKind> files(5);
    files.insertOrMerge({arena.copy("/big.zip"), 1, 1, 100});
    files.insertOrMerge({arena.copy("/big.zip"), 1, 0, 50});
    const auto r = files.insertOrMerge({arena.copy("/big.zip"), 1, 1, 25});
    EXPECT_EQ(r.item->hits, 3u);
    EXPECT_EQ(r.item->partial, 2u);
    EXPECT_EQ(r.item->bytes, 175u);
}

TEST(StatTable, GrowsSoChainsStayShortAndItemsStayPut) {
    StringArena arena;
    StatTable<DayKind> days(1);
    std::vector<DayKind::Item*> first;
    for (int round = 0; round < 3; ++round)
        for (std::int64_t d = 0; d < 5000; ++d) {
            const auto r = days.insertOrMerge({d * 7 - 9000, 1, static_cast<std::uint64_t>(d)});
            if (round == 0) first.push_back(r.item);
            EXPECT_EQ(r.inserted, round == 0);
            ASSERT_EQ(r.item, first[static_cast<std::size_t>(d)]) << "items never move";
        }
    EXPECT_EQ(days.size(), 5000u);
    EXPECT_GE(days.bucketCount() * StatTable<DayKind>::kMaxLoad, 5000u);
    EXPECT_LE(days.bucketCount(), 8192u);
    std::uint64_t hits = 0;
    days.forEach([&](const DayKind::Item& i) {
        EXPECT_EQ(i.hits, 3u);
        hits += i.hits;
    });
    EXPECT_EQ(hits, 15000u);
    days.reset(10);
    EXPECT_EQ(days.size(), 0u);
    EXPECT_EQ(days.bucketCount(), 10u);
}

TEST(StatTable, ConcurrentInsertsWithLocksLoseNothing) {
    StringArena arena;
    arena.setUseLocks(true);
    StatTable<VisitorKind> visitors(2);
    visitors.setUseLocks(true);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) {
                const std::string host = "h" + std::to_string((i * 7 + t) % 300);
                VisitorKind::Item in{arena.copy(host), 0, 0, 1, i};
                visitors.insertOrMerge(in);
            }
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(visitors.size(), 300u);
    EXPECT_EQ(visitors.totals().hits, 16000u);
    std::uint64_t hits = 0, bytes = 0;
    visitors.forEach([&](const VisitorKind::Item& i) {
        hits += i.hits;
        bytes += i.bytes;
    });
    EXPECT_EQ(hits, 16000u);
    EXPECT_EQ(bytes, 16000u);
}

TEST(TableSizes, ScaleWithTheLogAndClamp) {
    EXPECT_EQ(TableSizes::forBytes(1048576).g, 100u);
    EXPECT_EQ(TableSizes::forBytes(1048576).pages(), 5u);
    EXPECT_EQ(TableSizes::forBytes(1048576).directories(), 1u);
    EXPECT_EQ(TableSizes::forBytes(200u * 1048576).g, 10000u);
    EXPECT_EQ(TableSizes::forBytes(6000000).g, 500u);
    EXPECT_EQ(TableSizes::forBytes(6000000).visitors(), 1000u);
    EXPECT_EQ(TableSizes::forBytes(std::uint64_t{5} << 32).g, 10000u) << "no 32-bit wrap";
}

}  // namespace
}  // namespace tw::engine
