// Which records the compiled filters let through.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

#include "engine/filter_set.h"

namespace tw::engine {
namespace {

using config::Filter;

Filter textFilter(bool exclude, int kind, std::string text) {
    Filter f;
    f.Include = exclude ? 1 : 0;
    f.Information = kind;
    f.strFilter = std::move(text);
    return f;
}
Filter inc(int kind, std::string text = {}) {
    return textFilter(false, kind, std::move(text));
}
Filter exc(int kind, std::string text = {}) {
    return textFilter(true, kind, std::move(text));
}

struct FilterSetTest : ::testing::Test {
    std::unique_ptr<ingest::LogRecord> rec = std::make_unique<ingest::LogRecord>();
    FilterSet set;

    void SetUp() override {
        rec->host.assign("10.0.0.1");
        rec->url.assign("/index.html");
        rec->referrer.assign("-");
        rec->agent.assign("-");
        rec->user.assign("-");
        rec->serverIp.assign("-");
        rec->status = 200;
    }
    void use(config::FilterList report, bool andInc = false, bool andExc = false,
             config::FilterList global = {}) {
        set.compile(global, report, andInc, andExc, false);
    }
    // The two passes as the analysis runs them; `kept` is the host after resolution.
    bool pass(std::string_view kept = {}) {
        auto s = set.firstPass(*rec, rec->host.view(), rec->url.view());
        if (set.hasHostFilters()) s = set.secondPass(s, kept.empty() ? rec->host.view() : kept);
        return FilterSet::passes(s);
    }
    bool passUrl(std::string_view url) {
        rec->url.assign(url);
        return pass();
    }
};

TEST_F(FilterSetTest, NothingToTestPassesEverything) {
    use({});
    EXPECT_FALSE(set.active());
    EXPECT_TRUE(pass());
    // Separate access/agent/referrer files: even an exclude-everything list is ignored.
    set.compile({exc(1, "*")}, {exc(0, "*")}, false, false, true);
    EXPECT_FALSE(set.active());
    EXPECT_FALSE(set.hasHostFilters());
    EXPECT_TRUE(pass());
}

TEST_F(FilterSetTest, CombiningIncludesAndExcludes) {
    use({exc(1, "/a.htm"), exc(1, "/b.htm")});
    EXPECT_FALSE(passUrl("/a.htm"));
    EXPECT_FALSE(passUrl("/b.htm"));
    EXPECT_TRUE(passUrl("/c.htm"));

    use({inc(1, "/a.htm"), inc(11, "bob")});
    EXPECT_TRUE(passUrl("/a.htm"));
    EXPECT_FALSE(passUrl("/c.htm"));
    use({inc(1, "/a.htm"), inc(11, "bob")}, true);
    EXPECT_FALSE(passUrl("/a.htm"));
    rec->user.assign("bob");
    EXPECT_TRUE(passUrl("/a.htm"));
    EXPECT_FALSE(passUrl("/c.htm"));
    // AND over no exclude filters must not exclude everything.
    use({inc(1, "/a.htm")}, false, true);
    EXPECT_TRUE(passUrl("/a.htm"));

    Filter wednesday = exc(3), threePm = exc(4);
    wednesday.nFilter = 3;
    threePm.nFilter = 15;
    use({wednesday, threePm}, false, true);
    for (int day : {2, 3}) {
        for (int hour : {14, 15}) {
            rec->weekday = day;
            rec->hour = hour;
            EXPECT_EQ(pass(), !(day == 3 && hour == 15)) << day << " " << hour;
        }
    }
}

TEST_F(FilterSetTest, GlobalAndReportFiltersBothCount) {
    // The only include filter is global: the report's exclude must not make the run start as if
    // nothing had to be included.
    use({exc(1, "*.gif")}, false, false, {inc(0, "10.*")});
    EXPECT_TRUE(passUrl("/a.htm"));
    EXPECT_FALSE(passUrl("/a.gif"));
    rec->host.assign("11.0.0.1");
    EXPECT_FALSE(passUrl("/a.htm"));
}

TEST_F(FilterSetTest, TextMatchIsExactUnlessWildcard) {
    struct Case {
        const char* text;
        const char* url;
        bool hit;
    };
    for (const Case& c : {Case{"/index.html", "/index.html", true},
                          {"/index.html", "/index.html?x=1", false},
                          {"/index.html", "/INDEX.html", false},
                          {"/index.html*", "/index.html?x=1", true},
                          {"*.gif", "/a/b.gif", true},
                          {"*.gif", "/a/b.gifx", false},
                          {"/?.htm", "/a.htm", true},
                          {"/?.htm", "/ab.htm", false},
                          {"/?.htm", "/.htm", false},
                          {"a*", "a", true},
                          {"*", "", true}}) {
        use({inc(1, c.text)});
        EXPECT_EQ(passUrl(c.url), c.hit) << c.text << " vs " << c.url;
    }

    // Each text kind reads its own field.
    rec->referrer.assign("http://example.com/");
    rec->serverIp.assign("10.1.2.3");
    use({inc(5, "http://example.com/"), inc(11, "-"), inc(12, "10.1.*")}, true);
    EXPECT_TRUE(pass());
    rec->serverIp.assign("10.2.2.3");
    EXPECT_FALSE(pass());
}

TEST_F(FilterSetTest, NumericKindsIncludeTheirBounds) {
    Filter ok = inc(10);
    ok.nFilter = 200;
    ok.nFilter2 = 299;
    use({ok});
    for (auto [status, in] : {std::pair{199, false}, {200, true}, {299, true}, {300, false}}) {
        rec->status = status;
        EXPECT_EQ(pass(), in) << status;
    }
    // -1 as unsigned is the largest value: above 599, inside 0..-1.
    rec->status = -1;
    ok.nFilter = 0;
    ok.nFilter2 = 599;
    use({ok});
    EXPECT_FALSE(pass());
    ok.nFilter2 = -1;
    use({ok});
    EXPECT_TRUE(pass());

    Filter range = inc(2);
    range.BeginningTime = 1'000'000;
    range.EndingTime = 2'000'000;
    use({range});
    for (auto [t, in] :
         {std::pair{999'999, false}, {1'000'000, true}, {2'000'000, true}, {2'000'001, false}}) {
        rec->time = t;
        EXPECT_EQ(pass(), in) << t;
    }

    Filter head = inc(9);
    head.Request = 1;
    use({head});
    rec->method = ingest::kMethodHead;
    EXPECT_TRUE(pass());
    rec->method = ingest::kMethodGet;
    EXPECT_FALSE(pass());
}

TEST_F(FilterSetTest, AgentTextsAreLiteralSubstrings) {
    use({inc(7, "MSIE ")});
    rec->agent.assign("Mozilla/4.0 (compatible; MSIE 5.5; Windows 98)");
    EXPECT_TRUE(pass());
    rec->agent.assign("Mozilla/4.0 (compatible; MSIE5.5)");
    EXPECT_FALSE(pass());
    use({inc(6, "Win*")});
    rec->agent.assign("Mozilla/4.0 (Windows 98)");
    EXPECT_FALSE(pass());
    rec->agent.assign("Mozilla/4.0 (Win*)");
    EXPECT_TRUE(pass());
}

TEST_F(FilterSetTest, DomainFiltersSeeLoggedAndKeptHost) {
    rec->host.assign("192.168.4.7");
    use({inc(0, "192.168.*")});
    EXPECT_TRUE(set.hasHostFilters());
    EXPECT_TRUE(pass("host.example.com"));
    use({inc(0, "10.*")});
    EXPECT_FALSE(pass("host.example.com"));

    use({exc(0, "*.example.com")});
    EXPECT_TRUE(FilterSet::passes(set.firstPass(*rec, rec->host.view(), rec->url.view())));
    EXPECT_FALSE(pass("host.example.com"));
    EXPECT_TRUE(pass("host.example.org"));

    // Under AND the second test may still change the state, so the kept name must match too.
    use({inc(0, "192.168.*")}, true);
    EXPECT_FALSE(pass("host.example.com"));
    EXPECT_TRUE(pass("192.168.4.7"));

    // A kind the program does not know behaves as a domain filter.
    use({inc(99, "192.168.*"), inc(-1, "*")}, true);
    EXPECT_TRUE(set.hasHostFilters());
    EXPECT_TRUE(pass());
    rec->host.assign("10.0.0.1");
    EXPECT_FALSE(pass());
}

TEST_F(FilterSetTest, AddressFiltersMeetEverySpellingOfTheirAddress) {
    const auto firstPassOnly = [&] {
        return FilterSet::passes(set.firstPass(*rec, rec->host.view(), rec->url.view()));
    };
    // The logged spelling alone decides the first pass; under AND it must match there.
    for (const bool andInclude : {false, true}) {
        use({inc(0, "1.2.3.4")}, andInclude);
        for (const char* host : {"001.002.003.004", "1.2.3.4", "1.02.3.004"}) {
            rec->host.assign(host);
            EXPECT_TRUE(firstPassOnly()) << host;
            EXPECT_TRUE(pass("1.2.3.4")) << host;
        }
        for (const char* host : {"1.2.3.40", "01.2.3.4.5", "www.1.2.3.4", "2001:db8::1"}) {
            rec->host.assign(host);
            EXPECT_FALSE(firstPassOnly()) << host;
        }
        // The filter's own spelling does not matter either.
        use({inc(0, "001.002.003.004")}, andInclude);
        rec->host.assign("1.2.3.4");
        EXPECT_TRUE(firstPassOnly());
        use({inc(0, "2001:0DB8:0000:0000:0000:0000:0000:0001")}, andInclude);
        for (const char* host : {"2001:db8::1", "2001:DB8::1", "2001:db8:0:0::0:1"}) {
            rec->host.assign(host);
            EXPECT_TRUE(firstPassOnly()) << host;
            EXPECT_TRUE(pass("2001:db8::1")) << host;
        }
        rec->host.assign("2001:db8::2");
        EXPECT_FALSE(pass());
    }

    // Excluded in any spelling, in either pass.
    use({exc(0, "2001:db8::1")});
    for (const char* host : {"2001:DB8::1", "2001:0db8:0000:0000:0000:0000:0000:0001"}) {
        rec->host.assign(host);
        EXPECT_FALSE(firstPassOnly()) << host;
    }
    rec->host.assign("192.0.2.1");
    EXPECT_FALSE(pass("2001:0DB8::1")) << "the kept host is compared in canonical spelling too";

    // A pattern is tried against the logged and the canonical spelling; names stay as entered.
    use({inc(0, "10.6.6.*")});
    rec->host.assign("010.006.006.006");
    EXPECT_TRUE(firstPassOnly());
    use({inc(0, "010.006.*")});
    EXPECT_TRUE(firstPassOnly()) << "what matched as logged still matches";
    use({inc(0, "www.example.com")});
    rec->host.assign("WWW.example.com");
    EXPECT_FALSE(firstPassOnly());
}

}  // namespace
}  // namespace tw::engine
