#include "ingest/log_format.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

#include "ingest/log_time.h"

namespace tw::ingest {
namespace {

const std::string kCommon =
    R"(127.0.0.1 - frank [10/Oct/2000:13:55:36 -0700] "GET /apache_pb.gif HTTP/1.0" 200 2326)";
const std::string kCombined =
    kCommon + R"x( "http://www.example.com/start.html" "Mozilla/4.08 [en] (Win98; I ;Nav)")x";
const std::string kComma =
    "192.168.114.201, -, 03/20/01, 7:55:20, W3SVC2, SERVER, 172.21.13.45, 4502, 163, 3223, 200, "
    "0, GET, /DeptLogo.gif, -,";
const std::string kIis6Fields =
    "#Fields: date time s-ip cs-method cs-uri-stem cs-uri-query s-port cs-username c-ip "
    "cs(User-Agent) sc-status sc-substatus sc-win32-status time-taken";
const std::string kIis6Line =
    "2003-01-01 12:34:56 10.0.0.2 GET /default.htm - 80 jdoe 192.168.0.7 "
    "Mozilla/4.0+(compatible;+MSIE+6.0) 200 0 0 15";

std::string times(const std::string& line, int n, const char* eol = "\n") {
    std::string out;
    for (int i = 0; i < n; ++i) out += line + eol;
    return out;
}

int detect(std::string_view sniff) {
    W3cFieldMap map;
    return detectFormat(sniff, map);
}

// "YYYY-MM-DD hh:mm:ss" of a record time, or the marker itself.
std::string calendar(std::int64_t t) {
    if (t == kTimeUnusable || t == kTimeYearOutOfRange) return std::to_string(t);
    const CivilTime c = civilFromFrame(t);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", c.year, c.month, c.day, c.hour,
                  c.minute, c.second);
    return buf;
}

TEST(DetectFormat, BlankAndCommaCounts) {
    EXPECT_EQ(detect(times(kCommon, 3)), kFormatCommon);
    EXPECT_EQ(detect(times(kCombined, 3)), kFormatCombined);
    EXPECT_EQ(detect(times(kCommon, 3, "\r\n")), kFormatCommon);
    EXPECT_EQ(detect(times(kCombined, 3, "\r\n")), kFormatCombined);
    EXPECT_EQ(detect(times(kComma, 2, "\r\n")), kFormatIisComma);
    // Sixteen commas a line is still the plain comma format; seventeen add referrer and agent.
    EXPECT_EQ(detect(times(kComma + " x,", 4)), kFormatIisComma);
    EXPECT_EQ(detect(times(kComma + " x, y,", 4)), kFormatIisCommaExtended);
    // Blank-count thresholds: <=4 loose, 5..7 common, >7 combined.
    EXPECT_EQ(detect(times("a b c d e", 3)), kFormatLoose);
    EXPECT_EQ(detect(times("a b c d e f", 3)), kFormatCommon);
    EXPECT_EQ(detect(times("a b c d e f g h", 3)), kFormatCommon);
    EXPECT_EQ(detect(times("a b c d e f g h i", 3)), kFormatCombined);
    EXPECT_EQ(detect(""), kFormatLoose);
    // Blanks and commas inside quotes or brackets do not count.
    EXPECT_EQ(detect(times(R"(h - - [1, 2, 3 4 5] "GET /a,b,c,d,e /x y z HTTP/1.0" 200 5)", 3)),
              kFormatCommon);
    // A single comma a line is not enough for the comma format.
    EXPECT_EQ(detect(times("a,b c d e f g", 3)), kFormatCommon);
    // Only the first 50 lines are looked at.
    EXPECT_EQ(detect(times(kCommon, 50) + times("x", 200)), kFormatCommon);
    // Counted over the window the junk lines would make it loose, but only common reads any
    // of its lines.
    EXPECT_EQ(detect(times(kCommon, 20) + times("x", 200)), kFormatCommon);
}

TEST(DetectFormat, AFewLinesOfNoFormatDoNotSwayIt) {
    for (const std::string& top : {std::string("junk\njunk\n"), std::string("\n\n\n"),
                                   std::string("# written by a script\n# another comment\n"),
                                   std::string("\r\n\r\njunk line here\r\n")}) {
        EXPECT_EQ(detect(top + times(kCombined, 30)), kFormatCombined) << top;
        EXPECT_EQ(detect(top + times(kCommon, 30)), kFormatCommon) << top;
        EXPECT_EQ(detect(top + times(kComma, 30)), kFormatIisComma) << top;
    }
    // A file all of whose lines read under the format its counts point to keeps that format.
    EXPECT_EQ(detect(times(kCommon, 3) + times(kCombined, 10)), kFormatCommon);
    // Otherwise most lines win: here the comma lines, whatever the junk did to the counts.
    EXPECT_EQ(detect(times("a b c d e f g h i j k", 20) + times(kComma, 10)), kFormatIisComma);
    // Day-first dates read only with the option set, so the option decides for comma logs too.
    W3cFieldMap map;
    const std::string european =
        "junk\n" + times("h, -, 20.03.2001, 7:55:20, a, b, c, 1, 2, 3, 200, 0, GET, /a,", 5);
    ReaderOptions dayFirst;
    dayFirst.europeanFormat = true;
    EXPECT_EQ(detectFormat(european, map, dayFirst), kFormatIisComma);
    // The real log of the report: three blank lines or two comments at its top turned it
    // common, although every one of its records reads as combined.
    for (const char* top : {"\n\n\n", "#a\n#b\n", "\r\n\r\n\r\n"}) {
        EXPECT_EQ(detect(top + times(kCombined, 60)), kFormatCombined) << top;
        EXPECT_EQ(detect(top + times(kCombined, 60, "\r\n")), kFormatCombined) << top;
    }
    // A window that cuts its last line does not hold that part line against the format.
    std::string big = times(kCombined, 200);
    EXPECT_EQ(detect(big.substr(0, 10000)), kFormatCombined);
}

TEST(DetectFormat, BlankLinesBetweenRecordsCountOnce) {
    // Two adjacent line-end bytes end one line, whichever they are: a double-spaced log is
    // still a common log, not a loose one with half the blanks a line.
    EXPECT_EQ(detect(times(kCommon, 5, "\n\n")), kFormatCommon);
    EXPECT_EQ(detect(times(kCommon, 5, "\r\r")), kFormatCommon);
    EXPECT_EQ(detect(times(kCombined, 5, "\n\n")), kFormatCombined);
    // A log of one line without a line end at all.
    EXPECT_EQ(detect(kCommon), kFormatCommon);
    EXPECT_EQ(detect(kCombined), kFormatCombined);
    EXPECT_EQ(detect(kComma), kFormatIisComma);
}

TEST(DetectFormat, FieldDirectiveMeansW3c) {
    const std::string header =
        "#Software: Microsoft Internet Information Services 6.0\r\n"
        "#Version: 1.0\r\n#Date: 2003-01-01 00:00:00\r\n";
    W3cFieldMap map;
    EXPECT_EQ(detectFormat(header + kIis6Fields + "\r\n" + kIis6Line + "\r\n", map), kFormatW3c);
    EXPECT_TRUE(map.usable);
    EXPECT_EQ(map.pos[kW3cDate], 1);
    EXPECT_EQ(map.pos[kW3cTime], 2);
    EXPECT_EQ(map.pos[kW3cServerIp], 3);
    EXPECT_EQ(map.pos[kW3cMethod], 4);
    EXPECT_EQ(map.pos[kW3cUriStem], 5);
    EXPECT_EQ(map.pos[kW3cUserName], 8);
    EXPECT_EQ(map.pos[kW3cClientIp], 9);
    EXPECT_EQ(map.pos[kW3cUserAgent], 10);
    EXPECT_EQ(map.pos[kW3cStatus], 11);
    EXPECT_EQ(map.pos[kW3cBytes], -1);
    EXPECT_EQ(map.pos[kW3cReferer], -1);
    EXPECT_EQ(map.lastPos, 14);

    // Without "#Software", from another writer, and whatever the data lines look like.
    const std::string commaHeavy = times("a,b,c,d,e,f,g,h,i,j,k,l,m,n,o,p,q,r,s,t", 10);
    EXPECT_EQ(detect("#Version: 1.0\n" + kIis6Fields + "\n" + commaHeavy), kFormatW3c);
    EXPECT_EQ(detect("#Software: SomeCache 2.0\n" + kIis6Fields + "  \n"), kFormatW3c);
    EXPECT_EQ(detect("#fields: time c-ip cs-uri-stem sc-status\n"), kFormatW3c);

    EXPECT_EQ(detect("#Fields: date c-ip cs-uri-stem sc-status\n"), kFormatW3cMissingFields);
    EXPECT_EQ(detect("#Fields: date time cs-uri-stem sc-status\n"), kFormatW3cMissingFields);
    EXPECT_EQ(detect("#Fields: date time c-ip sc-status\n"), kFormatW3cMissingFields);
    EXPECT_EQ(detect("#Fields: date time c-ip cs-uri-stem sc-bytes\n"), kFormatW3cMissingFields);
    EXPECT_EQ(detect("#Fields: \n"), kFormatW3cMissingFields);
    EXPECT_EQ(detect("#Fields:  c-ip  date  time  cs-uri-stem  sc-status\n"), kFormatW3cUnusable);
    EXPECT_EQ(detect("#Fields: time c-ip  cs-uri-stem sc-status\n"), kFormatW3cUnusable);

    // The directive must begin a line, and must lie inside the first 10000 bytes.
    const std::string inUrl = R"(h - - [1] "GET /#Fields: time c-ip cs-uri-stem sc-status" 200 5)";
    EXPECT_EQ(detect(times(inUrl, 3)), kFormatCommon);
    std::string window = times(kCommon, 60);
    ASSERT_LT(window.size(), 9900u);
    EXPECT_EQ(detect(window + kIis6Fields + "\n"), kFormatW3c);
    while (window.size() < 10000) window += kCommon + "\n";
    EXPECT_EQ(detect(window + kIis6Fields + "\n"), kFormatCommon);
}

TEST(W3cFieldMap, DirectiveTokens) {
    W3cFieldMap map;
    // A name listed twice keeps its later position; unknown names still take a position.
    EXPECT_EQ(parseW3cFields("#Fields: time c-ip cs-uri-stem x-a sc-status c-ip", map), kFormatW3c);
    EXPECT_EQ(map.pos[kW3cClientIp], 6);
    EXPECT_EQ(map.pos[kW3cStatus], 5);
    EXPECT_EQ(map.lastPos, 6);
    EXPECT_TRUE(map.has(kW3cTime));
    EXPECT_FALSE(map.has(kW3cDate));
    // A failed directive leaves a map the reader refuses, not the previous one.
    EXPECT_EQ(parseW3cFields("#Fields: date cs-uri-stem", map), kFormatW3cMissingFields);
    EXPECT_FALSE(map.usable);
    EXPECT_EQ(map.pos[kW3cClientIp], -1);
    ReaderState st;
    st.w3c = map;
    auto rec = std::make_unique<LogRecord>();
    const std::string line = "2003-01-01 /a";
    EXPECT_EQ(readW3cLine(st, line.data(), line.size(), *rec), 0u);
}

class Readers : public ::testing::Test {
  protected:
    std::size_t read(LineReader reader, std::string_view line) {
        return reader(st, line.data(), line.size(), *rec);
    }
    std::size_t readW3c(std::string_view fields, std::string_view line) {
        EXPECT_EQ(parseW3cFields(fields, st.w3c), kFormatW3c) << fields;
        return read(readW3cLine, line);
    }
    // Reads a common line with `date` as its bracketed date text.
    std::int64_t bracketedTime(const std::string& date) {
        const std::string line = "h - - [" + date + R"(] "GET / HTTP/1.0" 200 1)";
        EXPECT_EQ(read(readCommonLine, line), line.size()) << line;
        return rec->time;
    }

    ReaderState st;
    std::unique_ptr<LogRecord> rec = std::make_unique<LogRecord>();
};

TEST_F(Readers, BracketedLayouts) {
    ASSERT_EQ(read(readCommonLine, kCommon), kCommon.size());
    EXPECT_EQ(rec->host.view(), "127.0.0.1");
    EXPECT_EQ(rec->url.view(), "/apache_pb.gif");
    EXPECT_EQ(rec->user.view(), "-");  // the logged user is not taken
    EXPECT_EQ(rec->status, 200);
    EXPECT_EQ(rec->bytes, 2326u);
    EXPECT_EQ(rec->method, kMethodGet);
    // The zone suffix is ignored: the time is the logged wall clock.
    EXPECT_EQ(calendar(rec->time), "2000-10-10 13:55:36");
    EXPECT_EQ(rec->hour, 13);
    EXPECT_EQ(rec->weekday, 2);

    ASSERT_EQ(read(readCombinedLine, kCombined), kCombined.size());
    EXPECT_EQ(rec->url.view(), "/apache_pb.gif");
    EXPECT_EQ(rec->referrer.view(), "http://www.example.com/start.html");
    EXPECT_EQ(rec->agent.view(), "Mozilla/4.08 [en] (Win98; I ;Nav)");
    EXPECT_EQ(rec->bytes, 2326u);

    // Loose: a first field that is empty or begins with "-" gives way to the second.
    const std::string tail = R"( - [01/Aug/1995:00:00:01 -0400] "HEAD / HTTP/1.0" 304 0 "-" "a")";
    ASSERT_GT(read(readLooseLine, "- 10.0.0.9" + tail), 0u);
    EXPECT_EQ(rec->host.view(), "10.0.0.9");
    EXPECT_EQ(rec->method, kMethodHead);
    ASSERT_GT(read(readLooseLine, " 10.0.0.8" + tail), 0u);
    EXPECT_EQ(rec->host.view(), "10.0.0.8");
    ASSERT_GT(read(readLooseLine, "10.0.0.7 -" + tail), 0u);
    EXPECT_EQ(rec->host.view(), "10.0.0.7");
    ASSERT_GT(read(readCombinedLine, "- 10.0.0.9" + tail), 0u);
    EXPECT_EQ(rec->host.view(), "-");

    for (const auto& [method, code] :
         {std::pair{"POST", kMethodPost}, std::pair{"PUT", kMethodPost},
          std::pair{"HEAD", kMethodHead}, std::pair{"OPTIONS", kMethodGet}}) {
        const std::string line = std::string(R"(h - - [01/Jan/2001:00:00:00 +0000] ")") + method +
                                 R"( /form HTTP/1.1" 200 10)";
        ASSERT_GT(read(readCommonLine, line), 0u) << method;
        EXPECT_EQ(rec->method, code) << method;
    }

    // Lines that break the layout.
    EXPECT_EQ(read(readCommonLine, R"(h - - 01/Jan/2001 "GET / HTTP/1.0" 200 1)"), 0u);
    EXPECT_EQ(read(readCommonLine, R"(h - - [01/Jan/2001 "GET / HTTP/1.0" 200 1)"), 0u);
    EXPECT_EQ(read(readCommonLine, R"(h - - [01/Jan/2001] "GET / HTTP/1.0" 200)"), 0u);
    EXPECT_EQ(read(readCommonLine, R"(h - - [01/Jan/2001] "GET / HTTP/1.0)"), 0u);
    EXPECT_EQ(read(readCombinedLine, kCommon), 0u);  // no referrer and agent
    EXPECT_EQ(read(readCombinedLine, kCombined.substr(0, kCombined.size() - 1)), 0u);
    EXPECT_EQ(read(readLooseLine, "-" + tail.substr(2)), 0u);  // no second field before "["
}

TEST_F(Readers, BracketedLinesThatUsedToBeLost) {
    // "~" and bytes from 0x80 up belong to a field; control bytes and DEL still end the line.
    ASSERT_GT(
        read(readCommonLine, R"(h - - [01/Jan/2001:00:00:00 +0000] "GET /~jo/ HTTP/1.0" 200 1)"),
        0u);
    EXPECT_EQ(rec->url.view(), "/~jo/");
    const std::string utf8 =
        "h - - [01/Jan/2001:00:00:00 +0000] \"GET /caf\xc3\xa9/\xd8\xa7 HTTP/1.1\" 200 1 "
        "\"http://x/~a\" \"Mozilla/5.0 \xc3\x84\"";
    ASSERT_EQ(read(readCombinedLine, utf8), utf8.size());
    EXPECT_EQ(rec->url.view(), "/caf\xc3\xa9/\xd8\xa7");
    EXPECT_EQ(rec->agent.view(), "Mozilla/5.0 \xc3\x84");
    EXPECT_EQ(read(readCommonLine, "h - - [1] \"GET /a\tb HTTP/1.0\" 200 1"), 0u);
    EXPECT_EQ(read(readCommonLine, "h - - [1] \"GET /a\x7f HTTP/1.0\" 200 1"), 0u);
    // The same holds wherever the control byte sits: in the host, the date, the referrer or
    // the agent of a combined line.
    for (const char* bad :
         {"h\x01 - - [01/Jan/2001:00:00:00 +0000] \"GET /a HTTP/1.0\" 200 1 \"-\" \"A\"",
          "h - - [01/Jan/2001:00:00\t:00 +0000] \"GET /a HTTP/1.0\" 200 1 \"-\" \"A\"",
          "h - - [01/Jan/2001:00:00:00 +0000] \"GET /a HTTP/1.0\" 200 1 \"x\x1f\" \"A\"",
          "h - - [01/Jan/2001:00:00:00 +0000] \"GET /a HTTP/1.0\" 200 1 \"-\" \"A\tB\""})
        EXPECT_EQ(read(readCombinedLine, bad), 0u) << bad;

    // A request without a path ("-" of 400 and 408 lines) must not take its URL from the
    // referrer or the agent.
    EXPECT_EQ(read(readCombinedLine,
                   R"(10.1.8.1 - - [15/Feb/2013:06:00:31 +0000] "-" 400 0 "-" "Mozilla/5.0")"),
              0u);
    EXPECT_EQ(read(readCombinedLine,
                   R"(10.1.8.1 - - [15/Feb/2013:06:00:31 +0000] "-" 408 0 "http://a/b" "-")"),
              0u);
    // With trailing quoted fields after the agent, a search running past the request's quote
    // finds "/5.0 (X11)" and the rest of the line still fits the layout.
    EXPECT_EQ(
        read(readCombinedLine, R"x(h - - [1] "-" 400 0 "-" "Mozilla/5.0 (X11)" "-" "-" "-" "-")x"),
        0u);
    EXPECT_EQ(read(readCommonLine, R"x(h - - [1] "-" 408 152 "-" "Mozilla/5.0 (X11)" "-" "-")x"),
              0u);
    EXPECT_EQ(read(readCommonLine, R"(::1 - - [26/Dec/2016:16:16:48 +0200] "-" 408 -)"), 0u);
    EXPECT_EQ(read(readCommonLine, R"(h - - [13/Dec/2013:23:55:03 +0100] " " 400 /x)"), 0u);
    EXPECT_EQ(read(readLooseLine, R"(- h - [15/Feb/2013:06:00:31 +0000] "-" 400 0 "/r" "/a")"), 0u);

    // Without a protocol the closing quote ends the URL and closes the request: no later
    // quote is taken for it, and the quote is not part of the page.
    const std::string noProto = R"(h - - [10/Oct/2000:13:55:36 -0700] "GET /index.html" 200 512)";
    ASSERT_EQ(read(readCommonLine, noProto), noProto.size());
    EXPECT_EQ(rec->url.view(), "/index.html");
    EXPECT_EQ(rec->status, 200);
    EXPECT_EQ(rec->bytes, 512u);
    const std::string nasa =
        R"(205.189.154.54 - - [01/Jul/1995:00:00:30 -0400] "GET /ksc.html" 200 7280)";
    ASSERT_EQ(read(readCommonLine, nasa), nasa.size());
    EXPECT_EQ(rec->url.view(), "/ksc.html");
    EXPECT_EQ(rec->bytes, 7280u);
    const std::string noProtoCombined =
        R"(h - - [10/Oct/2000:13:55:36 -0700] "GET /x" 304 - "http://r/" "agent/1.0")";
    ASSERT_EQ(read(readCombinedLine, noProtoCombined), noProtoCombined.size());
    EXPECT_EQ(rec->url.view(), "/x");
    EXPECT_EQ(rec->status, 304);
    EXPECT_EQ(rec->bytes, 0u);
    EXPECT_EQ(rec->referrer.view(), "http://r/");
    EXPECT_EQ(rec->agent.view(), "agent/1.0");
}

TEST_F(Readers, BytesAreUnsigned64Bit) {
    const std::string head = R"(h - - [01/Jan/2001:00:00:00 +0000] "GET /iso HTTP/1.1" 200 )";
    const std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
    for (const auto& [text, want] :
         {std::pair<std::string, std::uint64_t>{"3000000000", 3000000000u},
          {"4294967296", 4294967296u},
          {"18446744073709551615", max},
          {"-", 0},
          {"", 0}}) {
        ASSERT_GT(read(readCommonLine, head + text), 0u) << text;
        EXPECT_EQ(rec->bytes, want) << "common " << text;
        if (!text.empty()) {
            ASSERT_GT(read(readCombinedLine, head + text + R"( "-" "-")"), 0u) << text;
            EXPECT_EQ(rec->bytes, want) << "combined " << text;
        }
        if (!text.empty()) {
            ASSERT_GT(readW3c("#Fields: time c-ip cs-uri-stem sc-status sc-bytes",
                              "00:00:00 1.2.3.4 /iso 200 " + text),
                      0u);
            EXPECT_EQ(rec->bytes, want) << "w3c " << text;
        }
    }
    const std::string comma =
        "1.2.3.4, -, 01/01/01, 0:00:00, W3SVC1, S, 5.6.7.8, 1, 2, 3000000000, 200, 0, GET, /iso, "
        "-,";
    ASSERT_GT(read(readIisCommaLine, comma), 0u);
    EXPECT_EQ(rec->bytes, 3000000000u);
}

TEST_F(Readers, ByteCountsThatAreNoNumberMakeTheLineMalformed) {
    const std::string head = R"(h - - [01/Jan/2001:00:00:00 +0000] "GET /iso HTTP/1.1" 200 )";
    const std::string nul("1\x00" "00", 4);
    for (const std::string& text : {std::string("18446744073709551616"),
                                    std::string("99999999999999999999"), std::string("12a"),
                                    std::string("-5"), std::string("0x10"), nul}) {
        EXPECT_EQ(read(readCommonLine, head + text), 0u) << text;
        EXPECT_EQ(st.reject, RejectReason::Bytes) << text;
        EXPECT_EQ(read(readCombinedLine, head + text + R"( "-" "-")"), 0u) << text;
        EXPECT_EQ(readW3c("#Fields: time c-ip cs-uri-stem sc-status sc-bytes",
                          "00:00:00 1.2.3.4 /iso 200 " + text),
                  0u)
            << text;
        const std::string comma = "1.2.3.4, -, 01/01/01, 0:00:00, W3SVC1, S, 5.6.7.8, 1, 2, " +
                                  text + ", 200, 0, GET, /iso, -,";
        EXPECT_EQ(read(readIisCommaLine, comma), 0u) << text;
    }
    // The largest count that fits is still a count.
    ASSERT_GT(read(readCommonLine, head + "9223372036854775807"), 0u);
    EXPECT_EQ(rec->bytes, 9223372036854775807u);
}

TEST_F(Readers, DatesOutsideTheCalendarMakeTheLineMalformed) {
    const auto line = [](const std::string& date) {
        return "h - - [" + date + R"(] "GET / HTTP/1.0" 200 1)";
    };
    for (const char* date : {"32/Jan/2001:00:00:00 +0000", "00/Jan/2001:00:00:00 +0000",
                             "29/Feb/2001:00:00:00 +0000", "31/Apr/2001:00:00:00 +0000",
                             "01/Jan/2001:25:00:00 +0000", "01/Jan/2001:24:00:00 +0000",
                             "01/Jan/2001:00:61:00 +0000", "01/Jan/2001:00:00:61 +0000",
                             "01/Xyz/2001:00:00:00 +0000", "01/Ja/2001:00:00:00 +0000",
                             "01/Janx/2001:00:00:00 +0000", "01/Jan/2001:-1:00:00 +0000"}) {
        EXPECT_EQ(read(readCommonLine, line(date)), 0u) << date;
        EXPECT_EQ(st.reject, RejectReason::Date) << date;
    }
    // Leap days and leap seconds exist.
    EXPECT_EQ(calendar(bracketedTime("29/Feb/2000:12:00:00 +0000")), "2000-02-29 12:00:00");
    EXPECT_EQ(calendar(bracketedTime("31/Dec/2016:23:59:60 +0000")), "2017-01-01 00:00:00");
    EXPECT_EQ(calendar(bracketedTime("01/JAN/2001:00:00:00 +0000")), "2001-01-01 00:00:00");

    const auto comma = [](const std::string& date, const std::string& time) {
        return "h, -, " + date + ", " + time + ", a, b, c, 1, 2, 3, 200, 0, GET, /a,";
    };
    for (const auto& [date, time] : {std::pair{"13/01/01", "0:00:00"}, {"00/10/01", "0:00:00"},
                                     {"02/30/01", "0:00:00"}, {"01/01/01", "24:00:00"},
                                     {"01/01/01", "0:60:00"}, {"01/01", "0:00:00"}}) {
        EXPECT_EQ(read(readIisCommaLine, comma(date, time)), 0u) << date << " " << time;
        EXPECT_EQ(st.reject, RejectReason::Date) << date;
    }
    for (const char* iso : {"2001-13-01", "2001-00-10", "2001-02-29", "2001-01-32"}) {
        EXPECT_EQ(readW3c("#Fields: date time c-ip cs-uri-stem sc-status",
                          std::string(iso) + " 12:00:00 1.2.3.4 /a 200"),
                  0u)
            << iso;
        EXPECT_EQ(st.reject, RejectReason::Date) << iso;
    }
    EXPECT_EQ(readW3c("#Fields: date time c-ip cs-uri-stem sc-status",
                      "2001-01-01 12:61:00 1.2.3.4 /a 200"),
              0u);
}

// Lines read one after another keep the last minute's time; each must still read exactly as it
// reads on its own: other seconds, a leap second, the next minute and back, odd shapes with the
// same first bytes, a refused date in between, and a changed time offset.
TEST_F(Readers, ConsecutiveDatesReadAsEachReadsAlone) {
    const std::vector<std::string> dates{
        "31/Dec/2020:23:59:57 +0000", "10/Oct/2020:13:55:36 +0000", "10/Oct/2020:13:55:59 -0700",
        "10/Oct/2020:13:55:00",
        "10/Oct/2020:13:55:60 +0000", "10/Oct/2020:13:56:00 +0000", "10/Oct/2020:13:55:01 +0000",
        "10/Oct/2020:13:55:5 +0000",  "10/Oct/2020:13:55:123 +0000", "10/Oct/2020:13:55:61 +0000",
        "10/Oct/2020:13:55:07 +0000", "10/Oct/1969:13:55:07 +0000", "10/Oct/1969:13:55:08 +0000",
        "31/Dec/2020:23:59:59 +0000", "01/Jan/2021:00:00:00 +0000", "31/Dec/2020:23:59:58 +0000"};
    for (const int offset : {0, -9}) {
        st.options.timeOffsetHours = offset;
        for (const std::string& date : dates) {
            const std::string line = "h - - [" + date + R"(] "GET / HTTP/1.0" 200 1)";
            const std::size_t inSequence = read(readCommonLine, line);
            const LogRecord seen = *rec;
            ReaderState alone;
            alone.options = st.options;
            auto fresh = std::make_unique<LogRecord>();
            EXPECT_EQ(readCommonLine(alone, line.data(), line.size(), *fresh), inSequence) << date;
            if (inSequence == 0) continue;
            EXPECT_EQ(seen.time, fresh->time) << date << " offset " << offset;
            EXPECT_EQ(seen.hour, fresh->hour) << date << " offset " << offset;
            EXPECT_EQ(seen.weekday, fresh->weekday) << date << " offset " << offset;
        }
    }
}

// A line of another minute of the kept minute's day is read from the kept minute; every hour
// and minute, in range or not, and with time offsets that move the day boundary, reads as the
// same line read alone, refused or not.
TEST_F(Readers, OtherMinutesOfTheKeptDayReadAsEachReadsAlone) {
    const auto line = [](const std::string& date) {
        return "h - - [" + date + R"(] "GET / HTTP/1.0" 200 1)";
    };
    for (const int offset : {0, -9, 5}) {
        st.options.timeOffsetHours = offset;
        for (const std::string kept : {"10/Oct/2020:13:55:36", "01/Jan/2021:00:00:00",
                                       "31/Dec/2039:23:59:59", "29/Feb/2020:22:07:10"})
            for (int h = 0; h <= 25; ++h)
                for (const int mi : {0, 7, 54, 55, 56, 59, 60, 99}) {
                    ASSERT_GT(read(readCommonLine, line(kept + " +0000")), 0u);
                    char clock[40];
                    std::snprintf(clock, sizeof clock, "%02d:%02d:%02d", h, mi, (h * mi) % 60);
                    const std::string probe = line(kept.substr(0, 12) + clock + " +0000");
                    const std::size_t inSequence = read(readCommonLine, probe);
                    const RejectReason why = st.reject;
                    ReaderState alone;
                    alone.options = st.options;
                    auto fresh = std::make_unique<LogRecord>();
                    ASSERT_EQ(readCommonLine(alone, probe.data(), probe.size(), *fresh),
                              inSequence)
                        << probe;
                    if (inSequence == 0) {
                        EXPECT_EQ(why, alone.reject) << probe;
                        continue;
                    }
                    EXPECT_EQ(rec->time, fresh->time) << probe << " offset " << offset;
                    EXPECT_EQ(rec->hour, fresh->hour) << probe << " offset " << offset;
                    EXPECT_EQ(rec->weekday, fresh->weekday) << probe << " offset " << offset;
                }
    }
}

// A control byte anywhere in the line sends it down the byte-by-byte scan, which refuses a
// control byte inside the quoted agent; at every position, and for each kind of such byte, the
// line is refused exactly as one whose other bytes are all ordinary. Bytes from 0x80 up are
// ordinary line bytes.
TEST_F(Readers, AControlByteAnywhereInTheAgentIsSeen) {
    const std::string head = R"(192.0.2.1 - - [10/Oct/2020:13:55:36 +0000] "GET /a.html HTTP/1.0" )"
                             R"(200 10 "http://example.com/" ")";
    const std::string agent = "Mozilla/5.0 (X11; Linux x86_64) Gecko/20100101 Firefox/120.0";
    const std::string whole = head + agent + "\"";
    ASSERT_EQ(read(readCombinedLine, whole), whole.size());
    std::string withHigh = whole;
    withHigh[head.size() + 3] = '\xC3';
    EXPECT_EQ(read(readCombinedLine, withHigh), withHigh.size());
    for (const char bad : {'\x01', '\x1F', '\x7F', '\t'})
        for (std::size_t i = 0; i < agent.size(); ++i) {
            std::string line = whole;
            line[head.size() + i] = bad;
            EXPECT_EQ(read(readCombinedLine, line), 0u)
                << "byte " << static_cast<int>(bad) << " at " << head.size() + i;
        }
}

// A NUL byte is a control byte like any other: no reader lets one into a text field, so every
// field of an accepted line holds exactly `length` bytes before its terminator, which is what
// the analysis relies on instead of measuring each field again. A NUL inside a delimited field
// refuses the line; the multi-file layouts end the line there.
TEST_F(Readers, ANulByteNeverGetsIntoAField) {
    const auto fieldsAreWhole = [&](const std::string& where) {
        const TextField* fields[] = {&rec->host,  &rec->url,  &rec->referrer,
                                     &rec->agent, &rec->user, &rec->serverIp};
        for (const TextField* f : fields)
            EXPECT_EQ(std::strlen(f->text), static_cast<std::size_t>(f->length)) << where;
    };
    const std::string w3cFields =
        "#Fields: date time c-ip cs-username cs-method cs-uri-stem sc-status sc-bytes "
        "cs(Referer) cs(User-Agent)";
    const std::string w3cLine =
        "2003-01-01 12:34:56 192.168.0.7 jdoe GET /default.htm 200 512 http://a.example/ "
        "Mozilla/4.0+(compatible;+MSIE+6.0)";
    const std::pair<LineReader, std::string> cases[] = {
        {readCommonLine, kCommon},
        {readCombinedLine, kCombined},
        {readLooseLine, kCombined},
        {readIisCommaLine, kComma},
        {readIisCommaExtendedLine, kComma + " http://a.example/x, Mozilla/4.0"},
        {readW3cLine, w3cLine},
        {readAgentLine, "Mozilla/5.0 (X11; Linux x86_64)"},
        {readRefererLine, "http://a.example/b.html -> /c.html"},
    };
    ASSERT_EQ(parseW3cFields(w3cFields, st.w3c), kFormatW3c);
    for (const auto& [reader, whole] : cases) {
        ASSERT_GT(read(reader, whole), 0u) << whole;
        for (std::size_t i = 0; i < whole.size(); ++i) {
            std::string line = whole;
            line[i] = '\0';
            if (read(reader, line) > 0) fieldsAreWhole(whole + " with NUL at " + std::to_string(i));
        }
    }
    // Inside the host, the URL, the referrer or the agent of a bracketed line, and inside a
    // comma field, the line is refused.
    for (const std::string_view field : {"127.0.0.1", "/apache_pb.gif", "http://www.example",
                                         "Mozilla/4.08"}) {
        std::string line = kCombined;
        line[line.find(field) + 3] = '\0';
        EXPECT_EQ(read(readCombinedLine, line), 0u) << field;
    }
    std::string comma = kComma;
    comma[comma.find("/DeptLogo") + 2] = '\0';
    EXPECT_EQ(read(readIisCommaLine, comma), 0u);
    const std::string agent("Mozilla\0/5.0", 12);
    EXPECT_EQ(read(readAgentLine, agent), 7u);
    EXPECT_EQ(rec->agent.view(), "Mozilla");
}

// The delimiters of a bracketed line are searched sixteen bytes at a time, and the last bytes
// of a line with a load that ends at the line's end: fields of every length put each delimiter
// at every place in a block, at the very end of the line, and in lines shorter than a block.
TEST_F(Readers, BracketedFieldsOfEveryLength) {
    for (std::size_t h = 1; h <= 34; ++h)
        for (std::size_t u = 0; u <= 34; ++u) {
            const std::string host(h, 'h');
            const std::string url = "/" + std::string(u, 'u');
            const std::string common = host + R"( [] "GET )" + url + R"(" 404 7)";
            ASSERT_EQ(read(readCommonLine, common), common.size()) << common;
            EXPECT_EQ(rec->host.view(), host);
            EXPECT_EQ(rec->url.view(), url);
            EXPECT_EQ(rec->status, 404);
            EXPECT_EQ(rec->bytes, 7u);
            const std::string referrer(u, 'r'), agent(h, 'a');
            const std::string combined = host + R"( - - [01/Jan/2001:00:00:00 +0000] "GET )" +
                                         url + R"( HTTP/1.1" 200 12 ")" + referrer + R"(" ")" +
                                         agent + "\"";
            ASSERT_EQ(read(readCombinedLine, combined), combined.size()) << combined;
            EXPECT_EQ(rec->host.view(), host);
            EXPECT_EQ(rec->url.view(), url);
            EXPECT_EQ(rec->referrer.view(), referrer);
            EXPECT_EQ(rec->agent.view(), agent);
            EXPECT_EQ(rec->bytes, 12u);
            // Without the agent's closing quote the line does not follow the layout, wherever
            // the line ends.
            EXPECT_EQ(read(readCombinedLine, combined.substr(0, combined.size() - 1)), 0u)
                << combined;
            EXPECT_EQ(st.reject, RejectReason::Layout);
        }
}

// The status reads as C's atoi does: leading digits, nothing for no digits, and 0 for a number
// no int holds.
TEST_F(Readers, StatusReadsLikeAtoi) {
    for (const auto& [text, want] :
         {std::pair<std::string, int>{"200", 200}, {"099", 99}, {"20", 20}, {"2", 2},
          {"2000", 2000}, {"20x", 20}, {"200x", 200}, {"x", 0}, {"-", 0}, {"-404", -404},
          {"+301", 301}, {"2147483647", 2147483647}, {"2147483648", 0}, {"99999999999", 0}}) {
        const std::string line = R"(h - - [01/Jan/2001:00:00:00 +0000] "GET / HTTP/1.1" )" +
                                 text + R"( 5 "-" "-")";
        ASSERT_EQ(read(readCombinedLine, line), line.size()) << text;
        EXPECT_EQ(rec->status, want) << text;
    }
}

TEST_F(Readers, CommaLayouts) {
    ASSERT_GT(read(readIisCommaLine, kComma), 0u);
    EXPECT_EQ(rec->host.view(), "192.168.114.201");
    EXPECT_EQ(rec->serverIp.view(), "172.21.13.45");
    EXPECT_EQ(rec->url.view(), "/DeptLogo.gif");
    EXPECT_EQ(rec->user.view(), "-");
    EXPECT_EQ(rec->bytes, 3223u);
    EXPECT_EQ(rec->status, 200);
    EXPECT_EQ(rec->method, kMethodGet);
    EXPECT_EQ(calendar(rec->time), "2001-03-20 07:55:20");
    EXPECT_EQ(rec->weekday, 2);

    const std::string extended =
        "10.0.0.1, -, 12/31/99, 23:59:59, W3SVC2, SERVER, 172.21.13.45, 4502, 163, 3223, 404, 0, "
        "GET, /missing.htm, http://www.example.com/start.html, Mozilla/4.0 (compatible; MSIE 5.5)";
    ASSERT_GT(read(readIisCommaExtendedLine, extended), 0u);
    EXPECT_EQ(rec->host.view(), "10.0.0.1");
    EXPECT_EQ(rec->url.view(), "/missing.htm");
    EXPECT_EQ(rec->status, 404);
    EXPECT_EQ(rec->referrer.view(), "http://www.example.com/start.html");
    EXPECT_EQ(rec->agent.view(), "Mozilla/4.0 (compatible; MSIE 5.5)");
    EXPECT_EQ(calendar(rec->time), "1999-12-31 23:59:59");

    // Day-first dates; a month past December carries into the year.
    st.options.europeanFormat = true;
    ASSERT_GT(read(readIisCommaLine, "h, -, 20.03.01, 7:55:20, a, b, c, 1, 2, 3, 200, 0, GET, /a,"),
              0u);
    EXPECT_EQ(calendar(rec->time), "2001-03-20 07:55:20");
    st.options.europeanFormat = false;
    // Four-digit years are read as written, in both orders.
    ASSERT_GT(read(readIisCommaLine, "h, -, 03/20/2001, 7:55:20, a, b, c, 1, 2, 3, 200, 0, GET, /a,"),
              0u);
    EXPECT_EQ(calendar(rec->time), "2001-03-20 07:55:20");
    st.options.europeanFormat = true;
    ASSERT_GT(read(readIisCommaLine, "h, -, 20.03.2024, 7:55:20, a, b, c, 1, 2, 3, 200, 0, GET, /a,"),
              0u);
    EXPECT_EQ(calendar(rec->time), "2024-03-20 07:55:20");
    st.options.europeanFormat = false;

    EXPECT_EQ(read(readIisCommaLine, "h, -, 03/20/01, 7:55:20, a, b, c, 1, 2, 3, 200"), 0u);
    EXPECT_EQ(read(readIisCommaLine, "h, -, 03/20/01, 7:55:20, a, b, c, 1, 2, 3, 200, 0, GET, -,"),
              0u);
    // Without the blank after the comma the value keeps its first character.
    ASSERT_GT(read(readIisCommaLine, "h,-,03/20/01,7:55:20,a,b,172.21.13.45,1,2,3,200,0,GET,/a,"),
              0u);
    EXPECT_EQ(rec->serverIp.view(), "172.21.13.45");
    EXPECT_EQ(rec->bytes, 3u);

    // Extended lines need a referrer field after the URL.
    EXPECT_EQ(read(readIisCommaExtendedLine, kComma.substr(0, kComma.find(", -,"))), 0u);
}

TEST_F(Readers, W3cFieldsByPosition) {
    // IIS 6 and later: c-ip after cs-uri-stem, cs-username before c-ip.
    ASSERT_EQ(readW3c(kIis6Fields, kIis6Line), kIis6Line.size());
    EXPECT_EQ(rec->host.view(), "192.168.0.7");
    EXPECT_EQ(rec->url.view(), "/default.htm");
    EXPECT_EQ(rec->user.view(), "jdoe");
    EXPECT_EQ(rec->serverIp.view(), "10.0.0.2");
    EXPECT_EQ(rec->status, 200);
    EXPECT_EQ(rec->bytes, 0u);
    EXPECT_EQ(rec->agent.view(), "Mozilla/4.0 (compatible; MSIE 6.0)");
    EXPECT_EQ(rec->referrer.view(), "");
    EXPECT_EQ(calendar(rec->time), "2003-01-01 12:34:56");
    EXPECT_EQ(rec->weekday, 3);

    // The FTP service's order, a backslash in the user name.
    ASSERT_GT(readW3c("#Fields: date time c-ip cs-username s-ip s-port cs-method cs-uri-stem "
                      "sc-status sc-bytes",
                      R"(2016-02-06 18:01:57 ::1 KNOW-IT\ftpuser ::2 21 PUT /up/a.txt 226 1024)"),
              0u);
    EXPECT_EQ(rec->host.view(), "::1");
    EXPECT_EQ(rec->user.view(), "KNOW-IT\\ftpuser");
    EXPECT_EQ(rec->serverIp.view(), "::2");
    EXPECT_EQ(rec->method, kMethodPost);
    EXPECT_EQ(rec->url.view(), "/up/a.txt");
    EXPECT_EQ(rec->status, 226);
    EXPECT_EQ(rec->bytes, 1024u);

    // Any order at all; fields without user name and server IP give "-".
    ASSERT_GT(
        readW3c("#Fields: sc-status cs(Referer) sc-bytes cs-uri-stem c-ip time cs-method date "
                "x-extra",
                "404 http://r/x 3000000000 /gone.html 1.2.3.4 23:59:59 HEAD 2020-02-29 zz"),
        0u);
    EXPECT_EQ(rec->status, 404);
    EXPECT_EQ(rec->referrer.view(), "http://r/x");
    EXPECT_EQ(rec->bytes, 3000000000u);
    EXPECT_EQ(rec->url.view(), "/gone.html");
    EXPECT_EQ(rec->host.view(), "1.2.3.4");
    EXPECT_EQ(rec->method, kMethodHead);
    EXPECT_EQ(rec->user.view(), "-");
    EXPECT_EQ(rec->serverIp.view(), "-");
    EXPECT_EQ(rec->agent.view(), "");
    EXPECT_EQ(calendar(rec->time), "2020-02-29 23:59:59");

    // The URL starts at the stem's first "/"; UTF-8 bytes and "~" belong to it.
    ASSERT_GT(readW3c("#Fields: time c-ip cs-uri-stem sc-status",
                      "00:00:00 1.2.3.4 x/arabic/\xd8\xa7\xd9\x84/~u 200"),
              0u);
    EXPECT_EQ(rec->url.view(), "/arabic/\xd8\xa7\xd9\x84/~u");

    // Rejected: a stem without "/" (FTP verbs), a line short of a needed field, a control byte.
    EXPECT_EQ(readW3c("#Fields: time c-ip cs-uri-stem sc-status", "16:44:49 1.1.1.1 anonymous 331"),
              0u);
    EXPECT_EQ(
        readW3c(kIis6Fields, "2003-01-01 12:34:56 10.0.0.2 GET /default.htm - 80 jdoe 1.2.3.4"),
        0u);
    EXPECT_EQ(readW3c(kIis6Fields, "2003-01-01 12:34:56 10.0.0.2 GET /a\tb - 80 - 1.2.3.4 - 200"),
              0u);
}

TEST_F(Readers, W3cOnlyTheLastListedFieldRunsToTheEnd) {
    const std::string head = "2020-01-01 00:00:00 1.2.3.4 /a ";
    const std::string withBlanks = head + "200 Mozilla/4.0 (compatible; MSIE 5.5)";
    ASSERT_EQ(readW3c("#Fields: date time c-ip cs-uri-stem sc-status cs(User-Agent)", withBlanks),
              withBlanks.size());
    EXPECT_EQ(rec->agent.view(), "Mozilla/4.0 (compatible; MSIE 5.5)");
    ASSERT_GT(readW3c("#Fields: date time c-ip cs-uri-stem sc-status cs(Referer)",
                      head + "200 http://a/b c d"),
              0u);
    EXPECT_EQ(rec->referrer.view(), "http://a/b c d");
    // A field listed before others ends at its blank, so the later ones keep their places.
    ASSERT_GT(readW3c("#Fields: date time c-ip cs-uri-stem cs(User-Agent) sc-status time-taken",
                      head + "Mozilla/4.0+(compatible) 304 15"),
              0u);
    EXPECT_EQ(rec->agent.view(), "Mozilla/4.0 (compatible)");
    EXPECT_EQ(rec->status, 304);
    // The last listed field is unknown: nothing runs to the end, the rest is consumed.
    const std::string line = head + "200 http://a/b 15 more fields";
    ASSERT_EQ(readW3c("#Fields: date time c-ip cs-uri-stem sc-status cs(Referer) time-taken", line),
              line.size());
    EXPECT_EQ(rec->referrer.view(), "http://a/b");
}

TEST_F(Readers, W3cDateFromTheDirective) {
    const std::string fields = "#Fields: time c-ip cs-method cs-uri-stem sc-status";
    const std::string line = "16:48:35 1.1.1.1 [3]sent /user/test.c 226";
    // No "#Date:" seen yet: the line is read, but has no time.
    ASSERT_GT(readW3c(fields, line), 0u);
    EXPECT_EQ(rec->time, kTimeUnusable);
    EXPECT_EQ(rec->hour, -1);
    EXPECT_EQ(rec->weekday, -1);

    ASSERT_TRUE(readW3cDate("#Software: x\r\n#Version: 1.0\r\n#Date: 2000-10-09 16:44:49\r\n", st));
    EXPECT_EQ(std::string_view(st.w3cDate, static_cast<std::size_t>(st.w3cDateLength)),
              "2000-10-09");
    ASSERT_GT(read(readW3cLine, line), 0u);
    EXPECT_EQ(calendar(rec->time), "2000-10-09 16:48:35");
    EXPECT_EQ(rec->url.view(), "/user/test.c");
    EXPECT_EQ(rec->method, kMethodGet);
    EXPECT_EQ(rec->hour, 16);

    // Only the date part is kept; trailing comments do not matter.
    ASSERT_TRUE(readW3cDate("#Date: 2002-05-02 17:42:15  // when the log was created", st));
    EXPECT_EQ(std::string(st.w3cDate), "2002-05-02");
    ASSERT_TRUE(readW3cDate("#Date: 2001-01-01 00:00:00\n#Date: 2009-09-09 00:00:00\n", st));
    EXPECT_EQ(std::string(st.w3cDate), "2001-01-01");
    // Unusable directives leave the previous date text in place.
    EXPECT_FALSE(readW3cDate("#Date: 2003-03-03\n", st));
    EXPECT_FALSE(readW3cDate("#Date: \n", st));
    EXPECT_FALSE(readW3cDate("x #Date: 2003-03-03 00:00:00\n", st));
    EXPECT_FALSE(readW3cDate("#Version: 1.0\n", st));
    EXPECT_FALSE(readW3cDate("#Date: " + std::string(100, '2') + " 00:00:00", st));
    EXPECT_EQ(std::string(st.w3cDate), "2001-01-01");
    ASSERT_TRUE(readW3cDate("#Date: " + std::string(99, '2') + " 00:00:00", st));
    EXPECT_EQ(st.w3cDateLength, 99);
}

TEST_F(Readers, YearWindowsAndTimeMarkers) {
    // Bracketed dates: 1970..2039 as written, anything else out of range (1899 is not 1999).
    for (const auto& [year, want] : {std::pair{"1970", 1970},
                                     {"2000", 2000},
                                     {"2039", 2039},
                                     {"1869", 0},
                                     {"1899", 0},
                                     {"1900", 0},
                                     {"1939", 0},
                                     {"2100", 0},
                                     {"1868", 0},
                                     {"1940", 0},
                                     {"1969", 0},
                                     {"2040", 0},
                                     {"99", 0},
                                     {"0", 0}}) {
        const std::int64_t t = bracketedTime(std::string("15/Jun/") + year + ":12:00:00 +0000");
        if (want == 0) {
            EXPECT_EQ(t, kTimeYearOutOfRange) << year;
            EXPECT_EQ(rec->weekday, -1) << year;
        } else {
            EXPECT_EQ(calendar(t), std::to_string(want) + "-06-15 12:00:00") << year;
        }
    }
    // Numeric and ISO dates: two-digit 70..99 and 00..39; four-digit 1970..2039.
    for (const auto& [year, want] : {std::pair{"70", 1970},
                                     {"99", 1999},
                                     {"00", 2000},
                                     {"39", 2039},
                                     {"40", 0},
                                     {"69", 0},
                                     {"2001", 2001},
                                     {"1969", 0},
                                     {"2040", 0}}) {
        const std::string line =
            std::string("h, -, 06/15/") + year + ", 12:00:00, a, b, c, 1, 2, 3, 200, 0, GET, /a,";
        ASSERT_GT(read(readIisCommaLine, line), 0u);
        if (want == 0)
            EXPECT_EQ(rec->time, kTimeYearOutOfRange) << year;
        else
            EXPECT_EQ(calendar(rec->time), std::to_string(want) + "-06-15 12:00:00") << year;
    }
    for (const auto& [year, want] :
         {std::pair{"1970", 1970}, {"2039", 2039}, {"1969", 0}, {"2040", 0}}) {
        ASSERT_GT(readW3c("#Fields: date time c-ip cs-uri-stem sc-status",
                          std::string(year) + "-06-15 12:00:00 1.2.3.4 /a 200"),
                  0u);
        if (want == 0)
            EXPECT_EQ(rec->time, kTimeYearOutOfRange) << year;
        else
            EXPECT_EQ(calendar(rec->time), std::to_string(want) + "-06-15 12:00:00") << year;
    }

    // Month names by their three letters, in any case.
    const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                            "Jul", "Aug", "Sep", "Oct", "Nov", "dec"};
    for (int m = 0; m < 12; ++m)
        EXPECT_EQ(
            civilFromFrame(bracketedTime(std::string("01/") + months[m] + "/2001:0:0:0")).month,
            m + 1)
            << months[m];

    // Empty or over-long date text: no time, and no hour or weekday either.
    EXPECT_EQ(bracketedTime(""), kTimeUnusable);
    EXPECT_EQ(rec->hour, -1);
    EXPECT_EQ(rec->weekday, -1);
    std::string date = "10/Oct/2000:13:55:36 -0700";
    date.resize(100, ' ');
    EXPECT_EQ(calendar(bracketedTime(date)), "2000-10-10 13:55:36");
    EXPECT_EQ(bracketedTime(date + " "), kTimeUnusable);
    EXPECT_EQ(rec->hour, -1);

    // The time offset moves the whole date, across midnight and weekdays.
    st.options.timeOffsetHours = -5;
    EXPECT_EQ(calendar(bracketedTime("01/Jan/2000:02:00:00 +0000")), "1999-12-31 21:00:00");
    EXPECT_EQ(rec->hour, 21);
    EXPECT_EQ(rec->weekday, 5);
    st.options.timeOffsetHours = 30;
    ASSERT_GT(read(readIisCommaLine, kComma), 0u);
    EXPECT_EQ(calendar(rec->time), "2001-03-21 13:55:20");
    EXPECT_EQ(rec->hour, 13);
    EXPECT_EQ(rec->weekday, 3);
}

TEST_F(Readers, OverLongFieldsAreCut) {
    const std::string url = "/" + std::string(20000, 'u');
    const std::string agent(15000, 'A');
    const std::string line = R"(h - - [01/Jan/2001:00:00:00 +0000] "GET )" + url +
                             R"( HTTP/1.1" 206 77 "-" ")" + agent + "\"";
    ASSERT_EQ(read(readCombinedLine, line), line.size());
    EXPECT_EQ(rec->url.length, kFieldMax);
    EXPECT_EQ(rec->url.view(), url.substr(0, kFieldMax));
    EXPECT_EQ(rec->url.text[kFieldMax], '\0');
    EXPECT_EQ(rec->agent.length, kFieldMax);
    // The rest of a cut field is stepped over: the fields after it are still right.
    EXPECT_EQ(rec->status, 206);
    EXPECT_EQ(rec->bytes, 77u);
    EXPECT_EQ(rec->referrer.view(), "-");

    const std::string agentLine(12000, 'M');
    EXPECT_EQ(read(readAgentLine, agentLine), agentLine.size());
    EXPECT_EQ(rec->agent.length, kFieldMax);
}

TEST_F(Readers, MultiFileLayoutLines) {
    const std::string agent = "Mozilla/5.0 (Windows NT 6.1) \xc3\x84~";
    ASSERT_EQ(read(readAgentLine, agent), agent.size());
    EXPECT_EQ(rec->agent.view(), agent);
    EXPECT_EQ(read(readAgentLine, "Mozilla/5.0\x01rest"), 11u);
    EXPECT_EQ(rec->agent.view(), "Mozilla/5.0");
    EXPECT_EQ(read(readAgentLine, "\tMozilla"), 0u);

    const std::string ref = "http://127.0.0.1:8081/index.html?u=8NE3 -> /img/editcart.png";
    ASSERT_EQ(read(readRefererLine, ref), ref.size());
    EXPECT_EQ(rec->referrer.view(), "http://127.0.0.1:8081/index.html?u=8NE3");
    EXPECT_EQ(rec->url.view(), "/img/editcart.png");
    ASSERT_GT(read(readRefererLine, "http://a/b -> /c.html"), 0u);
    EXPECT_EQ(rec->referrer.view(), "http://a/b");
    EXPECT_EQ(rec->url.view(), "/c.html");
    EXPECT_EQ(read(readRefererLine, "http://a/b"), 0u);
}

TEST(Capabilities, PerFormatCode) {
    W3cFieldMap map;
    const Capabilities access{true, false, false, false};
    const Capabilities full{true, true, true, false};
    EXPECT_EQ(capabilitiesFor(kFormatCommon, map), access);
    EXPECT_EQ(capabilitiesFor(kFormatIisComma, map), access);
    EXPECT_EQ(capabilitiesFor(kFormatCombined, map), full);
    EXPECT_EQ(capabilitiesFor(kFormatIisCommaExtended, map), full);
    EXPECT_EQ(capabilitiesFor(kFormatLoose, map), full);
    EXPECT_EQ(capabilitiesFor(kFormatAgentLog, map), (Capabilities{false, false, true, false}));
    EXPECT_EQ(capabilitiesFor(kFormatRefererLog, map), (Capabilities{false, true, false, true}));
    for (int code : {kFormatW3cMissingFields, kFormatW3cUnusable, kFormatDetect}) {
        EXPECT_EQ(capabilitiesFor(code, map), Capabilities{}) << code;
        EXPECT_EQ(readerFor(code), nullptr) << code;
    }
    ASSERT_EQ(parseW3cFields(kIis6Fields, map), kFormatW3c);
    EXPECT_EQ(capabilitiesFor(kFormatW3c, map), (Capabilities{true, false, true, false}));
    ASSERT_EQ(parseW3cFields("#Fields: time c-ip cs-uri-stem sc-status cs(Referer)", map),
              kFormatW3c);
    EXPECT_EQ(capabilitiesFor(kFormatW3c, map), (Capabilities{true, true, false, false}));
    EXPECT_EQ(readerFor(kFormatCommon), &readCommonLine);
    EXPECT_EQ(readerFor(kFormatCombined), &readCombinedLine);
    EXPECT_EQ(readerFor(kFormatIisComma), &readIisCommaLine);
    EXPECT_EQ(readerFor(kFormatIisCommaExtended), &readIisCommaExtendedLine);
    EXPECT_EQ(readerFor(kFormatW3c), &readW3cLine);
    EXPECT_EQ(readerFor(kFormatLoose), &readLooseLine);
    EXPECT_EQ(readerFor(kFormatAgentLog), &readAgentLine);
    EXPECT_EQ(readerFor(kFormatRefererLog), &readRefererLine);
}

TEST(CompanionFileName, ReplacesTheFirstAccessOfTheFileName) {
    EXPECT_EQ(companionFileName("/var/log/httpd/access_log", "referer"),
              "/var/log/httpd/referer_log");
    EXPECT_EQ(companionFileName("access_log", "agent"), "agent_log");
    EXPECT_EQ(companionFileName("/srv/access/site-access.access.log", "agent"),
              "/srv/access/site-agent.access.log");
    EXPECT_EQ(companionFileName("/srv/access/log.txt", "agent"), "");
    EXPECT_EQ(companionFileName("/logs/ACCESS_log", "agent"), "");
    EXPECT_EQ(companionFileName("", "agent"), "");
    // The result may be 500 characters long, not 501.
    const std::string dir = "/" + std::string(482, 'd') + "/";
    const std::string fits = dir + "access_log";  // 494 characters, 495 as "referer_log"
    EXPECT_EQ(companionFileName(fits + "12345", "referer"), dir + "referer_log12345");
    EXPECT_EQ(companionFileName(fits + "123456", "referer"), "");
    EXPECT_EQ(companionFileName(fits + "123456", "agent"), dir + "agent_log123456");
}

}  // namespace
}  // namespace tw::ingest
