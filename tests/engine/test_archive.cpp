// The archive encoding and whole tables in it: round trips, over-long texts, and damaged or
// hostile bytes, which must fail cleanly and keep what was read before the damage.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "engine/stat_items.h"
#include "engine/table_archive.h"

namespace tw::engine {
namespace {

using PairMap = std::map<std::pair<std::string, std::string>, std::uint64_t>;

PairMap contents(const StatTable<TextPairKind>& t) {
    PairMap m;
    t.forEach([&](const TextPairKind::Item& i) {
        m[{std::string(i.first.view()), std::string(i.second.view())}] += i.hits;
    });
    return m;
}

TEST(Archive, LittleEndianValuesAndCountedStrings) {
    ArchiveWriter w;
    w.u32(0x01020304);
    w.u64(0x1122334455667788ULL);
    w.text("ab");
    w.text("");
    const std::string expected(
        "\x04\x03\x02\x01\x88\x77\x66\x55\x44\x33\x22\x11\x02\0\0\0ab\0\0\0\0", 22);
    EXPECT_EQ(w.bytes(), expected);

    ArchiveReader r(w.bytes());
    std::uint32_t a;
    std::uint64_t b;
    std::string_view s1, s2;
    ASSERT_TRUE(r.u32(a) && r.u64(b) && r.text(s1) && r.text(s2));
    EXPECT_EQ(a, 0x01020304u);
    EXPECT_EQ(b, 0x1122334455667788ULL);
    EXPECT_EQ(s1, "ab");
    EXPECT_EQ(s2, "");
    EXPECT_TRUE(r.atEnd());
    EXPECT_FALSE(r.u32(a)) << "reading past the end fails";
    EXPECT_TRUE(r.failed());

    // Texts up to the cap are read, a long log field among them; beyond it, or a negative
    // length, is damage.
    constexpr auto cap = static_cast<std::int32_t>(kMaxCountedText);
    for (const std::int32_t n : {1001, 9999, cap, cap + 1, -1, -2147483647 - 1}) {
        ArchiveWriter h;
        h.i32(n);
        h.raw(std::string(kMaxCountedText + 1, 'x'));
        ArchiveReader hr(h.bytes());
        std::string_view s;
        const bool fits = n >= 0 && n <= cap;
        EXPECT_EQ(hr.text(s), fits) << n;
        if (fits) {
            EXPECT_EQ(s.size(), static_cast<std::size_t>(n));
        }
    }
}

TEST(Archive, TextPairTableRoundTripSkipsWhatCannotBeRead) {
    StringArena arena(1 << 20);
    StatTable<TextPairKind> t(3);
    const std::string longUrl = "/" + std::string(kMaxCountedText, 'a');
    for (int i = 0; i < 40; ++i)
        t.insertOrMerge({arena.copy("/from" + std::to_string(i % 7) + ".htm"),
                         arena.copy("/to" + std::to_string(i) + ".htm"),
                         static_cast<std::uint64_t>(i + 1)});
    t.insertOrMerge({arena.copy("/from0.htm"), arena.copy(longUrl), 5});

    ArchiveWriter w;
    writeTable(w, t);
    // Trailer: one entry skipped.
    ArchiveReader trailer(std::string_view(w.bytes()).substr(w.size() - 8));
    std::uint64_t skipped = 0;
    ASSERT_TRUE(trailer.u64(skipped));
    EXPECT_EQ(skipped, 1u);

    StringArena readArena(1 << 20);
    StatTable<TextPairKind> back;
    ArchiveReader r(w.bytes());
    ASSERT_TRUE(readTable(r, back, readArena));
    EXPECT_TRUE(r.atEnd());
    PairMap expected = contents(t);
    expected.erase({"/from0.htm", longUrl});
    EXPECT_EQ(contents(back), expected);
    EXPECT_EQ(back.size(), 40u);
}

TEST(Archive, DamagedTablesFailAndKeepWhatWasRead) {
    StringArena arena(1 << 20);
    StatTable<TextPairKind> t(7);
    for (int i = 0; i < 12; ++i)
        t.insertOrMerge({arena.copy("/r" + std::to_string(i)), arena.copy("/p"), 1});
    ArchiveWriter w;
    writeTable(w, t);
    const PairMap all = contents(t);

    // Every cut short of the whole fails; whatever was read is a part of the original.
    for (std::size_t cut = 0; cut < w.size(); ++cut) {
        StringArena a(1 << 16);
        StatTable<TextPairKind> back;
        ArchiveReader r(std::string_view(w.bytes()).substr(0, cut));
        EXPECT_FALSE(readTable(r, back, a)) << cut;
        for (const auto& [key, hits] : contents(back)) {
            ASSERT_TRUE(all.count(key)) << cut;
            EXPECT_EQ(all.at(key), hits);
        }
    }

    // A wrong format, and a count far beyond the bytes, fail without reading on.
    ArchiveWriter other;
    other.i32(2);
    other.u32(10);
    other.u64(0);
    other.u64(0);
    StatTable<TextPairKind> back;
    ArchiveReader r1(other.bytes());
    EXPECT_FALSE(readTable(r1, back, arena));

    ArchiveWriter huge;
    huge.i32(kTableFormat);
    huge.u32(10);
    huge.u64(~std::uint64_t{0});
    huge.text("/a");
    huge.text("/b");
    huge.u64(3);
    ArchiveReader r2(huge.bytes());
    EXPECT_FALSE(readTable(r2, back, arena));
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(contents(back).begin()->second, 3u);
}

TEST(Archive, DayAndSubItemsRoundTrip) {
    StringArena arena(1 << 16);
    ArchiveWriter w;
    ASSERT_EQ(DayKind::write(w, {20000, 7, 1ULL << 40}), SerialiseStatus::Ok);
    ASSERT_EQ(GroupSubKind::write(w, {arena.copy("http://a/"), 9}), SerialiseStatus::Ok);
    EXPECT_EQ(GroupSubKind::write(w, {arena.copy(std::string(kMaxCountedText + 1, 'x')), 1}),
              SerialiseStatus::Skipped);
    EXPECT_EQ(w.size(), 8u + 8 + 4 + 4 + 9 + 8) << "a skipped item writes nothing";

    ArchiveReader r(w.bytes());
    DayKind::Item d;
    TextHitsKind::Item sub;
    ASSERT_EQ(DayKind::read(r, arena, d), SerialiseStatus::Ok);
    ASSERT_EQ(GroupSubKind::read(r, arena, sub), SerialiseStatus::Ok);
    EXPECT_EQ(d.day, 20000);
    EXPECT_EQ(d.hits, 7u);
    EXPECT_EQ(d.bytes, 1ULL << 40);
    EXPECT_EQ(sub.text.view(), "http://a/");
    EXPECT_EQ(sub.hits, 9u);
    EXPECT_EQ(DayKind::read(r, arena, d), SerialiseStatus::Failed);
}

}  // namespace
}  // namespace tw::engine
