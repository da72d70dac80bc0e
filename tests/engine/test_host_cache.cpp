// The host-name cache, its file, and settling addresses through it: one lookup per block, age
// limits for good and failed entries, damaged files, and a cancel during a lookup.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "engine/record_classifier.h"
#include "engine/reverse_dns.h"
#include "ingest/log_time.h"
#include "support/fakes.h"
#include "support/scripted_resolver.h"

namespace tw::engine {
namespace {

constexpr std::int64_t kDay = 86400;
constexpr std::int64_t kNow = 1700000000;

std::uint64_t u64At(const std::string& b, std::size_t at) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
    return v;
}

TEST(HostCache, FileKeepsGoodEntriesAndCountsFailedOnes) {
    HostNameCache cache;
    for (int i = 0; i < 5; ++i)
        cache.store({"10.0." + std::to_string(i), "host" + std::to_string(i) + ".example", 100, 1});
    cache.store({"10.9.9", "-", 100, 0});
    cache.store({"10.9.8", "-", 100, 0});
    cache.store({"10.0.0", "renamed.example", 200, 1});  // a second store replaces the entry
    EXPECT_EQ(cache.size(), 7u);
    EXPECT_EQ(cache.find("10.0.0")->name, "renamed.example");
    EXPECT_EQ(HostNameCache::keyOf("192.0.2.17"), "192.0.2");

    const std::string bytes = cache.serialise();
    EXPECT_EQ(bytes.substr(0, 4), std::string("\x01\0\0\0", 4));
    EXPECT_EQ(u64At(bytes, 8), 7u) << "the count includes the failed entries";
    EXPECT_EQ(u64At(bytes, bytes.size() - 8), 2u) << "the trailer counts them";

    HostNameCache back;
    EXPECT_TRUE(back.deserialise(bytes));
    EXPECT_EQ(back.size(), 5u) << "failed entries are not kept";
    EXPECT_EQ(back.find("10.0.0")->name, "renamed.example");
    EXPECT_EQ(back.find("10.0.4")->time, 100);
    EXPECT_FALSE(back.find("10.9.9").has_value());

    // A name longer than a counted string usually is still reads back.
    HostNameCache longName;
    longName.store({"10.1.1", std::string(5000, 'n') + ".example", 1, 1});
    HostNameCache longBack;
    EXPECT_TRUE(longBack.deserialise(longName.serialise()));
    EXPECT_EQ(longBack.find("10.1.1")->name.size(), 5008u);
}

TEST(HostCache, DamagedFilesKeepWhatPrecedesTheDamage) {
    HostNameCache cache;
    for (int i = 0; i < 6; ++i) cache.store({"10.0." + std::to_string(i), "h.example", 1, 1});
    const std::string bytes = cache.serialise();
    std::size_t lastSize = 0;
    for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
        HostNameCache back;
        EXPECT_FALSE(back.deserialise(std::string_view(bytes).substr(0, cut))) << cut;
        EXPECT_GE(back.size(), lastSize) << "a longer prefix never loads less";
        lastSize = back.size();
    }
    EXPECT_EQ(lastSize, 6u) << "only the trailer was missing";

    // A huge count, then a negative length: reading stops, nothing is allocated from either.
    ArchiveWriter hostile;
    hostile.i32(1);
    hostile.u32(0xFFFFFFFF);
    hostile.u64(~std::uint64_t{0});
    hostile.text("10.0.0");
    hostile.text("ok.example");
    hostile.i32(5);
    hostile.i32(1);
    hostile.i32(-5);
    HostNameCache back;
    EXPECT_FALSE(back.deserialise(hostile.bytes()));
    EXPECT_EQ(back.size(), 1u);
    ArchiveWriter version;
    version.i32(7);
    version.u32(0);
    version.u64(0);
    version.u64(0);
    EXPECT_FALSE(back.deserialise(version.bytes()));
}

TEST(HostCache, SavedWholeOrNotAtAll) {
    char pattern[] = "/tmp/tallyweb-dns-XXXXXX";
    const std::filesystem::path dir = mkdtemp(pattern);
    const std::string path = (dir / "reversedns.dat").string();
    HostNameCache cache;
    EXPECT_TRUE(cache.load(path)) << "a missing file is an empty cache";
    EXPECT_EQ(cache.size(), 0u);
    cache.store({"10.0.0", "a.example", 1, 1});
    ASSERT_TRUE(cache.save(path));
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    HostNameCache back;
    EXPECT_TRUE(back.load(path));
    EXPECT_EQ(back.find("10.0.0")->name, "a.example");
    EXPECT_FALSE(cache.save((dir / "no-such-folder" / "reversedns.dat").string()));
    std::filesystem::remove_all(dir);
}

struct ReverseDnsTest : ::testing::Test {
    HostNameCache cache;
    test::ScriptedResolver resolver;
    test::FakeProgressDialog progress;
    ReverseDns dns{cache, resolver, &progress};
    void SetUp() override { dns.start(kNow, 60, 2); }
};

TEST_F(ReverseDnsTest, OneLookupPerBlockAndAgeLimits) {
    resolver.answer("192.0.2.17", "Host.Example.NET");
    EXPECT_EQ(dns.resolve("192.0.2.17"), "host.example.net");
    EXPECT_EQ(dns.resolve("192.0.2.99"), "host.example.net") << "the block is looked up once";
    EXPECT_EQ(resolver.calls(), 1);
    EXPECT_EQ(progress.statuses().front(), "No Reverse DNS lookups so far.");
    EXPECT_EQ(progress.statuses().back(), "Looking up 192.0.2.17...");

    // A failed entry a day old is not retried; three days old it is.
    cache.store({"198.51.100", "-", static_cast<std::int32_t>(kNow - kDay), 0});
    EXPECT_EQ(dns.resolve("198.51.100.1"), "");
    EXPECT_EQ(resolver.callsFor("198.51.100.1"), 0);
    cache.store({"198.51.100", "-", static_cast<std::int32_t>(kNow - 3 * kDay), 0});
    EXPECT_EQ(dns.resolve("198.51.100.1"), "");
    EXPECT_EQ(resolver.callsFor("198.51.100.1"), 1);
    EXPECT_EQ(cache.find("198.51.100")->time, kNow) << "the retry is stored with the run's time";

    // A good entry 61 days old is looked up again; 59 days old it is used.
    resolver.answer("203.0.113.5", "fresh.example.org");
    cache.store({"203.0.113", "old.example.org", static_cast<std::int32_t>(kNow - 59 * kDay), 1});
    EXPECT_EQ(dns.resolve("203.0.113.5"), "old.example.org");
    cache.store({"203.0.113", "old.example.org", static_cast<std::int32_t>(kNow - 61 * kDay), 1});
    EXPECT_EQ(dns.resolve("203.0.113.5"), "fresh.example.org");

    // What is not a dotted quad is never sent to the resolver.
    const int before = resolver.calls();
    EXPECT_EQ(dns.resolve("2001:db8::1"), "");
    EXPECT_EQ(resolver.calls(), before);
    EXPECT_EQ(cache.find("2001:db8::1")->success, 0);
}

// Every spelling of an address asks the resolver about the address itself, once, and shares
// one cache entry.
TEST_F(ReverseDnsTest, EverySpellingOfAnAddressIsOneLookup) {
    Statistics stats{1 << 20};
    RecordClassifier classifier{stats, dns, nullptr};
    StatisticsOptions so;
    so.totalBytes = 1 << 20;
    stats.initialise(so);
    classifier.setOptions({});
    resolver.answer("1.2.3.4", "Dial-4.Pool.Example.NET");
    auto rec = std::make_unique<ingest::LogRecord>();
    const auto add = [&](const char* host) {
        rec->host.assign(host);
        rec->url.assign("/a.htm");
        rec->referrer.assign("-");
        rec->agent.assign("");
        rec->user.assign("-");
        rec->status = 200;
        rec->time = ingest::frameSeconds(2020, 3, 1, 10, 0, 0);
        rec->caps = {true, false, false, false};
        return classifier.classify(*rec);
    };
    for (const char* host : {"001.002.003.004", "1.2.3.4", "1.002.3.04", "2001:db8::1",
                             "2001:DB8::1", "2001:0db8:0000:0000:0000:0000:0000:0001"})
        EXPECT_TRUE(add(host)) << host;
    EXPECT_EQ(resolver.calls(), 1);
    EXPECT_EQ(resolver.callsFor("1.2.3.4"), 1);
    EXPECT_EQ(cache.size(), 2u) << "one entry for the block, one for the IPv6 address";
    EXPECT_EQ(cache.find("1.2.3")->name, "dial-4.pool.example.net");
    EXPECT_EQ(cache.find("2001:db8::1")->success, 0);
    std::map<std::string, std::uint64_t> visitors;
    stats.visitors.forEach([&](const auto& i) { visitors[std::string(i.host.view())] = i.hits; });
    EXPECT_EQ(visitors,
              (std::map<std::string, std::uint64_t>{{"pool.example.net", 3}, {"2001:db8::1", 3}}));

    // An address that cannot be looked up keeps an entry of its own: it does not stand for the
    // block its last "." would cut out.
    resolver.answer("5.6.7.9", "b.example.com");
    EXPECT_EQ(dns.resolve("5.6.7.8%eth0"), "");
    EXPECT_EQ(dns.resolve("::ffff:5.6.7.8"), "");
    EXPECT_EQ(dns.resolve("5.6.7.9"), "b.example.com");
    EXPECT_EQ(resolver.callsFor("5.6.7.9"), 1);
    EXPECT_EQ(resolver.calls(), 2);
}

TEST_F(ReverseDnsTest, CancelDuringALookupLeavesTheRecordUncounted) {
    Statistics stats{1 << 20};
    platform::CancelFlag cancel;
    RecordClassifier classifier{stats, dns, &cancel};
    StatisticsOptions so;
    so.totalBytes = 1 << 20;
    so.useLocks = true;
    stats.initialise(so);
    classifier.setOptions({});
    resolver.answer("192.0.2.1", "a.example.com");
    resolver.setOnCall([&] { cancel.set(); });
    auto rec = std::make_unique<ingest::LogRecord>();
    rec->host.assign("192.0.2.1");
    rec->url.assign("/a.htm");
    rec->referrer.assign("-");
    rec->agent.assign("");
    rec->user.assign("-");
    rec->status = 200;
    rec->time = ingest::frameSeconds(2020, 3, 1, 10, 0, 0);
    rec->caps = {true, false, false, false};
    EXPECT_FALSE(classifier.classify(*rec));
    EXPECT_EQ(stats.visitors.size(), 0u);
    EXPECT_EQ(stats.counters.pages, 0u);

    resolver.setOnCall({});
    cancel.clear();
    EXPECT_TRUE(classifier.classify(*rec));
    ASSERT_EQ(stats.visitors.size(), 1u);
    stats.visitors.forEach(
        [](const VisitorKind::Item& v) { EXPECT_EQ(v.host.view(), "example.com"); });
}

}  // namespace
}  // namespace tw::engine
