// The per-record analysis: what one request adds to which table.
#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/record_classifier.h"
#include "ingest/log_time.h"

namespace tw::engine {
namespace {

using ingest::LogRecord;

struct Request {
    std::string host = "10.0.0.1";
    std::string url = "/index.htm";
    int status = 200;
    std::uint64_t bytes = 100;
    std::int64_t time = ingest::frameSeconds(2020, 3, 1, 10, 0, 0);
};

class ScriptedHooks final : public ClassifierHooks {
  public:
    std::map<std::string, std::string> names;
    std::vector<std::string> asked;
    std::string resolve(std::string_view address) override {
        asked.emplace_back(address);
        auto it = names.find(std::string(address));
        return it == names.end() ? std::string() : it->second;
    }
};

struct ClassifierTest : ::testing::Test {
    Statistics stats{1 << 20};
    ScriptedHooks hooks;
    RecordClassifier classifier{stats, hooks, nullptr};
    std::unique_ptr<LogRecord> rec = std::make_unique<LogRecord>();
    ClassifierOptions options;

    void SetUp() override { start({}); }
    void start(ClassifierOptions o, std::vector<std::string> tracked = {}) {
        options = o;
        StatisticsOptions so;
        so.totalBytes = 1 << 20;
        so.caseSensitive = o.caseSensitive;
        so.removeFirstDot = o.removeFirstDot;
        so.trackedFiles = std::move(tracked);
        stats.initialise(so);
        classifier.setOptions(o);
    }
    bool add(const Request& r) {
        rec->host.assign(r.host);
        rec->url.assign(r.url);
        rec->referrer.assign("-");
        rec->agent.assign("");
        rec->user.assign("-");
        rec->status = r.status;
        rec->bytes = r.bytes;
        rec->time = r.time;
        rec->hour = r.time == 0 ? -1 : ingest::hourOf(r.time);
        rec->weekday = r.time == 0 ? -1 : ingest::weekdayOf(r.time);
        rec->caps = {true, false, false, false};
        return classifier.classify(*rec);
    }
    template <typename Table>
    static std::map<std::string, std::uint64_t> hits(const Table& t) {
        std::map<std::string, std::uint64_t> out;
        t.forEach([&](const auto& i) { out[std::string(i.url.view())] = i.hits; });
        return out;
    }
    template <typename Table>
    static std::uint64_t bytesOf(const Table& t, std::string_view key) {
        std::uint64_t b = 0;
        t.forEach([&](const auto& i) {
            if (i.url.view() == key) b = i.bytes;
        });
        return b;
    }
};

TEST_F(ClassifierTest, FilesImagesAndDirectories) {
    start({.caseSensitive = false});
    add({.url = "/IMG/logo.gif", .bytes = 700});
    add({.url = "/docs/"});
    add({.url = "/docs"});
    add({.url = "/report.SHTML?x=1"});
    add({.url = "/pics/photo.jpeg2"});
    add({.url = "/setup.zip"});
    using M = std::map<std::string, std::uint64_t>;
    EXPECT_EQ(hits(stats.images), (M{{"/img/logo.gif", 1}, {"/pics/photo.jpeg2", 1}}));
    EXPECT_EQ(hits(stats.pages), (M{{"/docs/index.html", 2}, {"/report.shtml?x=1", 1}}));
    EXPECT_EQ(hits(stats.otherFiles), (M{{"/setup.zip", 1}}));
    EXPECT_EQ(hits(stats.directories), (M{{"/", 2}, {"/docs/", 2}, {"/img/", 1}, {"/pics/", 1}}));
    EXPECT_EQ(bytesOf(stats.directories, "/img/"), 700u);
    EXPECT_EQ(stats.counters.pages, 3u);
    EXPECT_EQ(stats.counters.images, 2u);
    EXPECT_EQ(stats.counters.otherFiles, 1u);

    // Case is kept when asked; directories can be dropped from URLs.
    start({.caseSensitive = true, .removeDirectories = true});
    add({.url = "/a/b/C.htm"});
    add({.url = "/top.htm"});
    EXPECT_EQ(hits(stats.pages), (M{{"/C.htm", 1}, {"/top.htm", 1}}));
}

TEST_F(ClassifierTest, StatusCodes) {
    add({.url = "/missing.htm", .status = 404});
    add({.url = "/big.zip", .status = 206, .bytes = 50});
    add({.url = "/big.zip", .status = 200, .bytes = 70});
    add({.url = "/index.htm", .status = 304, .bytes = 0});
    add({.url = "/secret.htm", .status = 403});
    add({.url = "/secret.htm", .status = 500});
    EXPECT_EQ(stats.counters.notFound, 1u);
    EXPECT_EQ(stats.notFound.size(), 1u);
    EXPECT_EQ(hits(stats.pages).count("/missing.htm"), 0u) << "a 404 is no page";
    EXPECT_EQ(stats.counters.partial, 1u);
    EXPECT_EQ(stats.counters.cachedHits, 1u);
    EXPECT_EQ(hits(stats.pages)["/index.htm"], 1u) << "a 304 still counts as a page";
    std::uint64_t partial = 0;
    stats.otherFiles.forEach([&](const RequestedFileKind::Item& i) { partial = i.partial; });
    EXPECT_EQ(partial, 1u);
    std::map<std::pair<std::string, int>, std::uint64_t> errors;
    stats.otherErrors.forEach([&](const ErrorRequestKind::Item& i) {
        errors[{std::string(i.url.view()), i.status}] = i.hits;
    });
    EXPECT_EQ(errors,
              (std::map<std::pair<std::string, int>, std::uint64_t>{
                  {{"/big.zip", 206}, 1}, {{"/secret.htm", 403}, 1}, {{"/secret.htm", 500}, 1}}));
    EXPECT_EQ(stats.counters.totalBytes, 420u);
}

TEST_F(ClassifierTest, HostsNamesAddressesAndVisits) {
    hooks.names["192.0.2.7"] = "Dial-7.Pool.Example.NET";
    add({.host = "WWW.Example.COM"});
    add({.host = "a.b.cd"});
    add({.host = "192.0.2.7"});
    add({.host = "::1"});
    add({.host = "2001:cdba:0000:0000:0000:0000:3257:9652"});
    add({.host = "fe80::1%0"});
    add({.host = "123.example.com"});
    std::map<std::string, std::uint64_t> visitors, raw, suffixes;
    stats.visitors.forEach([&](const auto& i) { visitors[std::string(i.host.view())] = i.hits; });
    stats.rawHosts.forEach([&](const auto& i) { raw[std::string(i.host.view())] = i.hits; });
    stats.domainSuffixes.forEach(
        [&](const auto& i) { suffixes[std::string(i.text.view())] = i.hits; });
    EXPECT_EQ(visitors, (std::map<std::string, std::uint64_t>{{"example.com", 2},
                                                              {"a.b.cd", 1},
                                                              {"pool.example.net", 1},
                                                              {"::1", 1},
                                                              {"2001:cdba::3257:9652", 1},
                                                              {"fe80::1%0", 1}}))
        << "123.example.com is a name, and loses its first label like www.example.com";
    EXPECT_EQ(raw.count("www.example.com"), 1u);
    EXPECT_EQ(raw.count("dial-7.pool.example.net"), 1u);
    EXPECT_EQ(raw.size(), 7u) << "every host, addresses too, before losing a label";
    EXPECT_EQ(raw.count("::1"), 1u);
    EXPECT_EQ(raw.count("123.example.com"), 1u);
    EXPECT_EQ(suffixes,
              (std::map<std::string, std::uint64_t>{{".com", 2}, {".cd", 1}, {".net", 1}}));
    EXPECT_TRUE(stats.counters.hostNamesSeen);
    EXPECT_EQ(stats.visitors.totals().visits, 6u);

    // Visits: gaps of more than 1800 s between consecutive requests of one host.
    start({});
    const std::int64_t t = ingest::frameSeconds(2020, 3, 1, 10, 0, 0);
    for (std::int64_t at : {t, t + 1800, t + 3601, t + 3700}) add({.host = "10.9.9.9", .time = at});
    std::uint64_t visits = 0;
    stats.visitors.forEach([&](const auto& i) { visits = i.visits; });
    EXPECT_EQ(visits, 2u);
    EXPECT_FALSE(stats.counters.hostNamesSeen);
    ASSERT_FALSE(stats.recent.entries().empty());
    ASSERT_NE(stats.recent.entries()[0], nullptr);
    EXPECT_EQ(stats.recent.entries()[0]->host.view(), "10.9.9.9");
}

TEST_F(ClassifierTest, TimesDaysAndBuckets) {
    const std::int64_t t = ingest::frameSeconds(2020, 3, 1, 23, 30, 0);  // a Sunday
    add({.time = t});
    add({.time = t + 3600});  // Monday 00:30
    add({.time = 0});         // no usable date: no day, no hour, no weekday
    std::map<std::int64_t, std::uint64_t> days;
    stats.days.forEach([&](const DayKind::Item& i) { days[i.day] = i.hits; });
    const std::int64_t d = ingest::dayNumber(t);
    EXPECT_EQ(days, (std::map<std::int64_t, std::uint64_t>{{d, 1}, {d + 1, 1}}));
    EXPECT_EQ(stats.hours[23], 1u);
    EXPECT_EQ(stats.hours[0], 1u);
    EXPECT_EQ(stats.weekdays[0], 1u);
    EXPECT_EQ(stats.weekdays[1], 1u);
    std::uint64_t inHours = 0, inDays = 0;
    for (auto h : stats.hours) inHours += h;
    for (auto w : stats.weekdays) inDays += w;
    EXPECT_EQ(inHours, 2u);
    EXPECT_EQ(inDays, 2u);
    EXPECT_EQ(stats.counters.earliest, t);
    EXPECT_EQ(stats.counters.latest, t + 3600);
}

TEST_F(ClassifierTest, MarkersStayOutOfThePeriodAndByteSumsSaturate) {
    const std::int64_t t = ingest::frameSeconds(2020, 3, 1, 12, 0, 0);
    const std::uint64_t big = 9223372036854775807u;
    add({.host = "h", .url = "/a.html", .bytes = big, .time = t});
    // A year out of range: the marker time keeps its hour but has no weekday.
    rec->time = ingest::kTimeYearOutOfRange;
    rec->hour = 5;
    rec->weekday = -1;
    rec->bytes = big;
    ASSERT_TRUE(classifier.classify(*rec));
    add({.host = "h", .url = "/a.html", .bytes = 18446744073709551615u, .time = t + 60});
    EXPECT_EQ(stats.counters.earliest, t) << "the marker is no earlier time";
    EXPECT_EQ(stats.counters.latest, t + 60);
    std::map<std::int64_t, std::uint64_t> dayBytes;
    stats.days.forEach([&](const DayKind::Item& i) { dayBytes[i.day] = i.bytes; });
    EXPECT_EQ(dayBytes, (std::map<std::int64_t, std::uint64_t>{
                            {ingest::dayNumber(t), 18446744073709551615u}}));
    EXPECT_EQ(stats.counters.totalBytes, 18446744073709551615u);
    stats.visitors.forEach([&](const auto& v) { EXPECT_EQ(v.bytes, 18446744073709551615u); });
    stats.pages.forEach([&](const auto& p) { EXPECT_EQ(p.bytes, 18446744073709551615u); });
    EXPECT_EQ(stats.hours[5], 1u);
}

TEST_F(ClassifierTest, ADashIsNoReferrerAndAgentsNeedTwoCharacters) {
    start({.domain = "example.com"});
    rec->caps = {true, true, true, false};
    const auto send = [&](const char* referrer, const char* agent) {
        add({});
        rec->referrer.assign(referrer);
        rec->agent.assign(agent);
        rec->caps = {true, true, true, false};
        classifier.classify(*rec);
    };
    send("-", "x");
    EXPECT_FALSE(stats.counters.referrersSeen);
    EXPECT_FALSE(stats.counters.agentsSeen) << "a one-character agent is not classified";
    EXPECT_EQ(stats.referrerUrls.size() + stats.referrerToPage.size(), 0u);
    send("http://other.org/links.html", "Lynx/2.8");
    EXPECT_TRUE(stats.counters.referrersSeen);
    EXPECT_TRUE(stats.counters.agentsSeen);
    EXPECT_EQ(stats.referrerUrls.size(), 1u);
    EXPECT_EQ(stats.referringSites.size(), 1u);
    EXPECT_EQ(stats.browsers[9], 1u) << "Lynx";
}

TEST_F(ClassifierTest, TrackedFilesAndRejectedRecords) {
    start({.caseSensitive = false}, {"/Docs/*.pdf", "/index.html"});
    add({.url = "/docs/a.PDF"});
    add({.url = "/docs/sub/b.pdf"});
    add({.url = "/"});
    add({.url = "/other.pdf"});
    EXPECT_EQ(stats.tracked[0].days.size(), 1u);
    std::uint64_t h0 = 0, h1 = 0;
    stats.tracked[0].days.forEach([&](const DayKind::Item& i) { h0 = i.hits; });
    stats.tracked[1].days.forEach([&](const DayKind::Item& i) { h1 = i.hits; });
    EXPECT_EQ(h0, 2u);
    EXPECT_EQ(h1, 1u) << "a directory request counts as its default page";

    // A filtered record and an inconsistent one change no counter. Domain filters see the
    // host as logged and the host kept after lookup: an address excluded as logged stays
    // excluded when it resolves, and a name excluded only once resolved is dropped too.
    FilterSet filters;
    filters.compile(
        {{.Include = 1, .Information = config::kFilterDomain, .strFilter = "10.6.6.*"}},
        {{.Include = 1, .Information = config::kFilterDomain, .strFilter = "*evil.net"}}, false,
        false, false);
    classifier.setFilters(&filters);
    hooks.names["10.6.6.6"] = "host.example.com";
    hooks.names["10.7.7.7"] = "WWW.EVIL.NET";
    EXPECT_FALSE(add({.host = "10.6.6.6"}));
    EXPECT_FALSE(add({.host = "10.7.7.7"}))
        << "matched as the kept name: lowercased, first label dropped";
    EXPECT_FALSE(add({.host = "a.evil.net"}));
    rec->url.length = 3;  // the text says otherwise
    EXPECT_FALSE(classifier.classify(*rec));
    EXPECT_EQ(stats.counters.pages, 1u);
    EXPECT_EQ(stats.counters.otherFiles, 3u);
    EXPECT_EQ(stats.visitors.size(), 1u);
    EXPECT_TRUE(add({.host = "10.8.8.8"}));
    classifier.setFilters(nullptr);
}

// What the system's parser takes once each part has lost its padding zeros: four decimal parts
// of one to three digits.
bool paddedQuad(const std::string& s) {
    std::string plain;
    std::size_t parts = 0, digits = 0;
    for (std::size_t i = 0; i <= s.size(); ++i) {
        if (i == s.size() || s[i] == '.') {
            if (digits == 0 || digits > 3) return false;
            const std::string part = s.substr(i - digits, digits);
            plain += (parts++ ? "." : "") +
                     part.substr(std::min(part.find_first_not_of('0'), part.size() - 1));
            digits = 0;
        } else {
            ++digits;
        }
    }
    unsigned char out[4];
    return parts == 4 && ::inet_pton(AF_INET, plain.c_str(), out) == 1;
}

// The address test reads IPv4 itself: exactly what the system's parser takes, padded or not.
TEST(ClassifierAddress, DottedQuadsAsTheSystemReadsThem) {
    std::mt19937 random(5);
    const char alphabet[] = "0123456789.";
    for (int n = 0; n < 200000; ++n) {
        std::string s;
        if (n % 5 == 0) {
            for (int part = 0; part < 4; ++part)
                s += (part ? "." : "") + std::to_string(random() % 300);
        } else {
            for (unsigned i = 0, len = 1 + random() % 16; i < len; ++i)
                s += alphabet[random() % 11];
        }
        ASSERT_EQ(RecordClassifier::isAddress(s), paddedQuad(s)) << s;
    }
    for (const char* name : {"1.2.3.4.example", "10.0.0.1a", "fe80::1%eth0x"})
        EXPECT_EQ(RecordClassifier::isAddress(name), std::string_view(name) == "fe80::1%eth0x");
}

TEST_F(ClassifierTest, EverySpellingOfAnAddressIsOneHost) {
    for (const char* host :
         {"2001:db8::1", "2001:DB8::1", "2001:0db8:0000:0000:0000:0000:0000:0001",
          "001.002.003.004", "1.2.3.4", "010.0.0.1", "fe80::1%eth0", "FE80:0::1%eth0"})
        EXPECT_TRUE(add({.host = host})) << host;
    std::map<std::string, std::uint64_t> visitors, raw;
    stats.visitors.forEach([&](const auto& i) { visitors[std::string(i.host.view())] = i.hits; });
    stats.rawHosts.forEach([&](const auto& i) { raw[std::string(i.host.view())] = i.hits; });
    const std::map<std::string, std::uint64_t> expected{
        {"2001:db8::1", 3}, {"1.2.3.4", 2}, {"10.0.0.1", 1}, {"fe80::1%eth0", 2}};
    EXPECT_EQ(visitors, expected);
    EXPECT_EQ(raw, expected) << "the hosts the general totals count are the same ones";
    EXPECT_EQ(stats.domainSuffixes.size(), 0u) << "no address is taken for a name";
    EXPECT_FALSE(stats.counters.hostNamesSeen);
    EXPECT_EQ(hooks.asked,
              (std::vector<std::string>{"2001:db8::1", "2001:db8::1", "2001:db8::1", "1.2.3.4",
                                        "1.2.3.4", "10.0.0.1", "fe80::1%eth0", "fe80::1%eth0"}))
        << "the lookup sees the canonical spelling";

    // A resolved padded address is a name like any other.
    start({});
    hooks.names["1.2.3.4"] = "Dial.Example.ORG";
    add({.host = "001.002.003.004"});
    std::map<std::string, std::uint64_t> suffixes;
    stats.domainSuffixes.forEach(
        [&](const auto& i) { suffixes[std::string(i.text.view())] = i.hits; });
    EXPECT_EQ(suffixes, (std::map<std::string, std::uint64_t>{{".org", 1}}));

    // Filters in one spelling meet records in another, under OR and AND alike. (Under AND a
    // name the address resolved to would have to match as well: none is given here.)
    hooks.names.clear();
    struct FilterCase {
        const char* filter;
        std::vector<const char*> meets, misses;
    };
    const FilterCase cases[] = {
        {"1.2.3.4", {"001.002.003.004", "1.2.3.4"}, {"1.2.3.40", "11.2.3.4", "1.2.3.4.example"}},
        {"2001:0DB8::0001",
         {"2001:db8:0:0:0:0:0:1", "2001:DB8::1", "2001:db8::1"},
         {"2001:db8::10", "2001:db8::1%eth0"}},
    };
    for (const bool andInclude : {false, true}) {
        for (const FilterCase& c : cases) {
            start({});
            FilterSet filters;
            filters.compile(
                {{.Include = 0, .Information = config::kFilterDomain, .strFilter = c.filter}}, {},
                andInclude, false, false);
            classifier.setFilters(&filters);
            for (const char* host : c.meets)
                EXPECT_TRUE(add({.host = host})) << c.filter << " / " << host << " " << andInclude;
            for (const char* host : c.misses)
                EXPECT_FALSE(add({.host = host})) << c.filter << " / " << host << " " << andInclude;
            classifier.setFilters(nullptr);
            EXPECT_EQ(stats.visitors.size(), 1u) << c.filter;
        }
    }
    start({});
    FilterSet excluding;
    excluding.compile(
        {{.Include = 1, .Information = config::kFilterDomain, .strFilter = "001.002.003.004"}}, {},
        false, false, false);
    classifier.setFilters(&excluding);
    EXPECT_FALSE(add({.host = "1.2.3.4"}));
    EXPECT_FALSE(add({.host = "1.002.3.4"}));
    EXPECT_TRUE(add({.host = "1.2.3.5"}));
    classifier.setFilters(nullptr);
    EXPECT_EQ(stats.visitors.size(), 1u);
}

TEST_F(ClassifierTest, FoundKeysGiveTheirTextsBack) {
    for (int i = 0; i < 50; ++i) add({.host = "10.0.0.1", .url = "/a/b.htm", .status = 404});
    // host, URL once each in the tables that kept them; nothing per repeated request.
    const std::size_t once = stats.arena.bytesInUse();
    for (int i = 0; i < 50; ++i) add({.host = "10.0.0.1", .url = "/a/b.htm", .status = 404});
    EXPECT_EQ(stats.arena.bytesInUse(), once);
}

}  // namespace
}  // namespace tw::engine

namespace tw::engine {
namespace {

// With locks on, records analysed on many threads, with lookups that let go of the analysis
// lock, add up to what one thread counts.
TEST(ClassifierConcurrent, LockedAnalysisMatchesSingleThreaded) {
    class SlowNames final : public ClassifierHooks {
      public:
        std::string resolve(std::string_view a) override {
            std::this_thread::yield();
            return a.back() == '1' ? "host" + std::string(a.substr(a.size() - 2)) + ".example.org"
                                   : std::string();
        }
    };
    auto run = [](bool threaded) {
        auto stats = std::make_unique<Statistics>(1 << 20);
        SlowNames hooks;
        StatisticsOptions so;
        so.totalBytes = 1 << 20;
        so.useLocks = threaded;
        stats->initialise(so);
        RecordClassifier classifier(*stats, hooks, nullptr);
        auto work = [&](int part, int parts) {
            auto rec = std::make_unique<LogRecord>();
            for (int i = part; i < 4000; i += parts) {
                rec->host.assign("10.0." + std::to_string(i % 37) + "." + std::to_string(i % 11));
                rec->url.assign("/d" + std::to_string(i % 13) + "/p" + std::to_string(i % 29) +
                                ".htm");
                rec->referrer.assign("-");
                rec->agent.assign("");
                rec->user.assign("-");
                rec->status = i % 17 == 0 ? 404 : 200;
                rec->bytes = static_cast<std::uint64_t>(i);
                rec->time = 1600000000 + i * 60;
                rec->hour = ingest::hourOf(rec->time);
                rec->weekday = ingest::weekdayOf(rec->time);
                rec->caps = {true, false, false, false};
                classifier.classify(*rec);
            }
        };
        if (threaded) {
            std::vector<std::thread> threads;
            for (int t = 0; t < 6; ++t) threads.emplace_back(work, t, 6);
            for (auto& th : threads) th.join();
        } else {
            work(0, 1);
        }
        std::map<std::string, std::uint64_t> out;
        stats->pages.forEach(
            [&](const auto& i) { out["page " + std::string(i.url.view())] = i.bytes; });
        stats->visitors.forEach(
            [&](const auto& i) { out["host " + std::string(i.host.view())] = i.hits; });
        stats->directories.forEach(
            [&](const auto& i) { out["dir " + std::string(i.url.view())] = i.hits; });
        out["bytes"] = stats->counters.totalBytes;
        out["404"] = stats->counters.notFound;
        std::uint64_t hours = 0;
        for (auto h : stats->hours) hours += h;
        out["hours"] = hours;
        return out;
    };
    // Visits are left out: they depend on the order in which a host's requests arrive.
    EXPECT_EQ(run(true), run(false));
}

}  // namespace
}  // namespace tw::engine
