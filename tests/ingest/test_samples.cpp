// The readers against real logs. The expected counts come from the files themselves (line
// shapes counted with grep and awk), not from a run of the readers; the comments say where a
// count differs from the file's line count and why.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include "ingest/log_format.h"
#include "ingest/log_time.h"
#include "ingest/text_search.h"

namespace tw::ingest {
namespace {

namespace fs = std::filesystem;

const fs::path kSamples = TALLYWEB_SAMPLES_DIR;

#define SKIP_WITHOUT_SAMPLES()                            \
    do {                                                  \
        if (!fs::is_directory(kSamples)) {                \
            GTEST_SKIP() << "no samples at " << kSamples; \
        }                                                 \
    } while (false)

struct FileResult {
    int format = -1;
    int accepted = 0;
};

// Called for each accepted record with its 1-based physical line number.
using OnRecord = std::function<void(const LogRecord&, int line)>;

// Reads a whole file as the record pipeline does: detection on the first 10000 bytes, then each
// line up to its CR or LF; "#" lines are directives, which in W3C logs replace the field map or
// the date text for the lines after them.
FileResult readSample(const fs::path& path, int format, const OnRecord& onRecord = {}) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << path;
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string_view text(data);
    ReaderState st;
    FileResult result;
    result.format = format == kFormatDetect ? detectFormat(text.substr(0, 10000), st.w3c) : format;
    const LineReader reader = readerFor(result.format);
    if (reader == nullptr) return result;
    readW3cDate(text.substr(0, 10000), st);
    auto rec = std::make_unique<LogRecord>();
    int lineNo = 1;
    std::size_t p = 0;
    while (p < text.size()) {
        const auto c = static_cast<unsigned char>(text[p]);
        if (c < 0x20 || c == 0x7F) {
            if (c == '\n') ++lineNo;
            ++p;
            continue;
        }
        std::size_t e = p;
        while (e < text.size() && text[e] != '\r' && text[e] != '\n') ++e;
        const std::string_view line = text.substr(p, e - p);
        if (line[0] == '#') {
            applyDirective(result.format, line, st);
        } else if (reader(st, line.data(), line.size(), *rec) > 0) {
            ++result.accepted;
            if (onRecord) onRecord(*rec, lineNo);
        }
        p = e;
    }
    return result;
}

std::string calendar(std::int64_t t) {
    const CivilTime c = civilFromFrame(t);
    std::ostringstream out;
    out << c.year << "-" << c.month << "-" << c.day << " " << c.hour << ":" << c.minute << ":"
        << c.second;
    return out.str();
}

struct Expect {
    const char* path;
    int format;
    int accepted;
};

void expectCounts(std::initializer_list<Expect> files) {
    for (const Expect& f : files) {
        const FileResult r = readSample(kSamples / f.path, kFormatDetect);
        EXPECT_EQ(r.format, f.format) << f.path;
        EXPECT_EQ(r.accepted, f.accepted) << f.path;
    }
}

TEST(Samples, CommonLogs) {
    SKIP_WITHOUT_SAMPLES();
    expectCounts({
        {"common/monitorware-twiki_access_log_2004-03.log", kFormatCommon, 1535},  // CRLF
        {"common/nasa-ksc_access_log_Jul95_first200.log", kFormatCommon, 200},
        // 1930 lines, 89 of them pieces of broken records. Two of those pieces still hold a
        // complete common tail (" - [01/Aug/1995:00:06:47 ..." and "- - [01/Aug/1995:01:08:29
        // ...", host empty and "-") and fit the layout: 1930 - 89 + 2.
        {"common/nasa-ksc_access_log_Aug95_CORRUPTED-upload.log", kFormatCommon, 1843},
        // The 3 and 24 lines with the request " " (status 400) carry no URL.
        {"apache-three-file/baasbox-docs/access_log", kFormatCommon, 191},
        {"apache-three-file/mathsmentales/access_log", kFormatCommon, 108},
    });

    int n401 = 0;
    std::uint64_t bytes = 0;
    bool firstSeen = false;
    readSample(kSamples / "common/monitorware-twiki_access_log_2004-03.log", kFormatCommon,
               [&](const LogRecord& r, int line) {
                   if (line == 1) {
                       firstSeen = true;
                       EXPECT_EQ(r.host.view(), "64.242.88.10");
                       EXPECT_EQ(r.url.view(),
                                 "/twiki/bin/edit/Main/"
                                 "Double_bounce_sender?topicparent=Main.ConfigurationVariables");
                       EXPECT_EQ(r.status, 401);
                       EXPECT_EQ(r.bytes, 12846u);
                       EXPECT_EQ(calendar(r.time), "2004-3-7 16:5:49");
                       EXPECT_EQ(r.weekday, 0);
                   }
                   n401 += r.status == 401;
                   bytes += r.bytes;
               });
    EXPECT_TRUE(firstSeen);
    EXPECT_EQ(n401, 123);
    EXPECT_EQ(bytes, 10926012u);  // the 133 "-" byte counts add nothing

    std::string last;
    bytes = 0;
    readSample(kSamples / "common/nasa-ksc_access_log_Jul95_first200.log", kFormatCommon,
               [&](const LogRecord& r, int line) {
                   if (line == 1) {
                       EXPECT_EQ(calendar(r.time), "1995-7-1 0:0:1");
                   }
                   if (line == 200) last = std::string(r.host.view()) + " " + calendar(r.time);
                   bytes += r.bytes;
               });
    EXPECT_EQ(last, "midcom.com 1995-7-1 0:3:33");
    EXPECT_EQ(bytes, 3309635u);
}

TEST(Samples, CombinedLogs) {
    SKIP_WITHOUT_SAMPLES();
    expectCounts({
        {"combined/analog-ce_logfile_SYNTHETIC.log", kFormatCombined, 50},
        {"combined/lnav_logfile_access_log.0.log", kFormatCombined, 3},
        {"combined/lnav_logfile_access_log.1.log", kFormatCombined, 0},  // request "-", 400
        // The short middle line (no identity and user) brings the average to 7 blanks a line,
        // so the file reads as common; the common layout takes all three lines, the middle
        // one included, since nothing but the host is required before the bracket.
        {"combined/lnav_logfile_bad_access_log.0.log", kFormatCommon, 3},
        // Common and combined lines mixed (55 blanks in 7 lines): common, which reads combined
        // lines too. The two "-" requests (408) are the only lines left out.
        {"combined/elastic-beats_apache-access-test_FIXTURE.log", kFormatCommon, 5},
        {"combined/lnav_logfile_shop_access_log.0.log", kFormatCombined, 1000},
        {"combined/logstalgia_example.log", kFormatCombined, 3260},
    });

    // 10000 lines; line 8899 lost its agent's closing quote.
    std::set<int> lines;
    std::set<std::string> hosts;
    std::uint64_t bytes = 0;
    const FileResult r = readSample(
        kSamples / "combined/elastic-examples_apache_logs.log", kFormatDetect,
        [&](const LogRecord& rec, int line) {
            lines.insert(line);
            hosts.emplace(rec.host.view());
            bytes += rec.bytes;
            if (line == 1456) {
                EXPECT_EQ(rec.url.view(), "/~psionic/projects/securitrack/config.xsl");
            }
            if (line == 8373) {
                EXPECT_EQ(rec.url.view(), "/blog/geekery/www.csh.rit.edu/~robertp");
            }
            if (line == 1) {
                EXPECT_EQ(rec.referrer.view(),
                          "http://semicomplete.com/presentations/logstash-monitorama-2013/");
                EXPECT_EQ(rec.status, 200);
                EXPECT_EQ(rec.bytes, 203023u);
                EXPECT_EQ(calendar(rec.time), "2015-5-17 10:5:3");
                EXPECT_EQ(rec.caps, Capabilities{});  // stamping is the pipeline's job
            }
        });
    EXPECT_EQ(r.format, kFormatCombined);
    EXPECT_EQ(r.accepted, 9999);
    EXPECT_EQ(lines.count(8899), 0u);
    EXPECT_EQ(lines.count(1480), 1u);
    EXPECT_EQ(hosts.size(), 1753u);
    EXPECT_EQ(bytes, 2747282505u);  // past 2^31: the 32-bit reading wrapped here
}

TEST(Samples, ACombinedLogStaysCombinedWithStrayLinesOnTop) {
    SKIP_WITHOUT_SAMPLES();
    std::ifstream in(kSamples / "combined/elastic-examples_apache_logs.log", std::ios::binary);
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const fs::path tmp =
        fs::temp_directory_path() / ("tallyweb-stray-lines-" + std::to_string(::getpid()) + ".log");
    for (const char* top : {"junk\njunk\n", "\n\n\n", "#a\n#b\n"}) {
        {
            std::ofstream out(tmp, std::ios::binary);
            out << top << data;
        }
        const FileResult r = readSample(tmp, kFormatDetect);
        EXPECT_EQ(r.format, kFormatCombined) << top;
        EXPECT_EQ(r.accepted, 9999) << top;
    }
    fs::remove(tmp);
}

TEST(Samples, IisCommaLog) {
    SKIP_WITHOUT_SAMPLES();
    std::string seen;
    const FileResult r =
        readSample(kSamples / "iis-native/logparser-doc_ex010320_SYNTHETIC.log", kFormatDetect,
                   [&](const LogRecord& rec, int) {
                       seen += std::string(rec.host.view()) + " " + std::string(rec.url.view()) +
                               " " + std::to_string(rec.bytes) + " " + calendar(rec.time) + ";";
                   });
    EXPECT_EQ(r.format, kFormatIisComma);
    EXPECT_EQ(r.accepted, 2);
    EXPECT_EQ(seen,
              "192.168.114.201 /DeptLogo.gif 3223 2001-3-20 7:55:20;"
              "192.168.110.54 /style.css 1967 2001-3-20 7:57:20;");
}

TEST(Samples, W3cLogs) {
    SKIP_WITHOUT_SAMPLES();
    // Counts are the data lines whose cs-uri-stem holds a "/" and that have every field the
    // directive in force lists, counted per directive block with awk.
    expectCounts({
        {"iis-w3c/webknowit-iis85/W3SVC1_u_ex160106.log", kFormatW3c, 1257},
        {"iis-w3c/webknowit-iis85/W3SVC2_u_ex160214.log", kFormatW3c, 354},
        {"iis-w3c/webknowit-iis85/FTPSVC2_u_ex160206.log", kFormatW3c, 0},  // FTP verbs, no paths
        {"iis-w3c/mrsalmon1976-IISLogReader_LogFile.log", kFormatW3c, 338},
        {"iis-w3c/lnav_logfile_w3c_big.0.log", kFormatW3c, 210},
        {"iis-w3c/lnav_logfile_w3c.0.log", kFormatW3c, 1},
        {"iis-w3c/lnav_logfile_w3c.1.log", kFormatW3cUnusable, 0},  // fields split by two blanks
        {"iis-w3c/lnav_logfile_w3c.3.log", kFormatW3cUnusable, 0},
        {"iis-w3c/lnav_logfile_w3c.4.log", kFormatW3cMissingFields, 0},  // cs-uri, no stem
        {"iis-w3c/lnav_logfile_w3c.5.log", kFormatW3cMissingFields, 0},  // no c-ip
        {"iis-w3c/logparser-doc_ex031118_SYNTHETIC.log", kFormatW3cMissingFields, 0},  // no time
        {"iis-w3c/elastic-beats-fixtures/test-iis-7.5.log", kFormatW3c, 4},
        {"iis-w3c/elastic-beats-fixtures/test-ipv6zone.log", kFormatW3c, 1},
        // Three field layouts; the last two lines are short of the third layout's sc-bytes.
        {"iis-w3c/elastic-beats-fixtures/test.log", kFormatW3c, 3},
    });

    int ok = 0, notModified = 0;
    readSample(kSamples / "iis-w3c/webknowit-iis85/W3SVC1_u_ex160106.log", kFormatDetect,
               [&](const LogRecord& r, int line) {
                   ok += r.status == 200;
                   notModified += r.status == 304;
                   if (line == 5) {
                       EXPECT_EQ(r.host.view(), "185.25.151.159");
                       EXPECT_EQ(r.serverIp.view(), "172.31.22.76");
                       EXPECT_EQ(r.url.view(), "/testproxy.php");
                       EXPECT_EQ(r.user.view(), "-");
                       EXPECT_EQ(r.agent.view(),
                                 "Mozilla/5.0 (Windows NT 5.1; rv:32.0) "
                                 "Gecko/20100101 Firefox/31.0");
                       EXPECT_EQ(r.status, 404);
                       EXPECT_EQ(calendar(r.time), "2016-1-6 3:19:53");
                   }
               });
    EXPECT_EQ(ok, 808);
    EXPECT_EQ(notModified, 443);

    bool arabic = false;
    const FileResult r126 = readSample(
        kSamples / "iis-w3c/webknowit-iis85/W3SVC1_u_ex160126.log", kFormatDetect,
        [&](const LogRecord& r, int line) {
            if (line != 41) return;
            arabic = true;
            EXPECT_EQ(r.url.view(),
                      "/arabic/\xd8\xa7\xd9\x84\xd9\x81\xd9\x8a\xd8\xaf\xd9\x8a\xd9\x88");
            EXPECT_EQ(r.agent.view(), "Charlie Hebdo");
        });
    EXPECT_EQ(r126.accepted, 29);
    EXPECT_TRUE(arabic);

    // No date field: the dates come from the two "#Date:" blocks; only "/user/test.c" is a path.
    std::string ftp;
    readSample(
        kSamples / "iis-w3c/lnav_logfile_w3c.2.log", kFormatDetect,
        [&](const LogRecord& r, int) { ftp = std::string(r.url.view()) + " " + calendar(r.time); });
    EXPECT_EQ(ftp, "/user/test.c 2000-10-9 16:48:35");

    readSample(kSamples / "iis-w3c/lnav_logfile_w3c.6.log", kFormatDetect,
               [&](const LogRecord& r, int) {
                   EXPECT_EQ(r.agent.view().substr(0, 15),
                             "\xc3\x84\xc3\x96\xc3\x9c\xc3\xa4\xc3\xb6"
                             "\xc3\xbc\\\xc3\x9f");
                   EXPECT_EQ(r.status, 404);
               });
}

TEST(Samples, W3cDailyLogsWithRepeatedHeaders) {
    SKIP_WITHOUT_SAMPLES();
    int total = 0;
    std::uint64_t bytes = 0;
    for (int day = 1; day <= 30; ++day) {
        char name[32];
        std::snprintf(name, sizeof name, "u_ex0911%02d.log", day);
        int wrongDay = 0;
        const FileResult r = readSample(kSamples / "iis-w3c/waikolai-iis70-2009-11" / name,
                                        kFormatDetect, [&](const LogRecord& rec, int) {
                                            const CivilTime c = civilFromFrame(rec.time);
                                            wrongDay +=
                                                c.year != 2009 || c.month != 11 || c.day != day;
                                            bytes += rec.bytes;
                                        });
        EXPECT_EQ(r.format, kFormatW3c) << name;
        EXPECT_EQ(wrongDay, 0) << name;
        total += r.accepted;
        if (day == 7) {
            EXPECT_EQ(r.accepted, 352);
        }
    }
    EXPECT_EQ(total, 1463);
    EXPECT_EQ(bytes, 1452067960u);
}

TEST(Samples, ThreeFileLayout) {
    SKIP_WITHOUT_SAMPLES();
    struct Set {
        const char* dir;
        int referers, agents;
        const char* firstReferer;
        const char* firstUrl;
    };
    for (const Set& s : {Set{"baasbox-docs", 141, 191, "http://localhost/", "/_static/jquery.js"},
                         Set{"mathsmentales", 106, 108, "http://127.0.0.1:8081/index.html?n=8",
                             "/library/N8/8NE3.json"}}) {
        const fs::path access = kSamples / "apache-three-file" / s.dir / "access_log";
        const std::string refererPath = companionFileName(access.string(), "referer");
        const std::string agentPath = companionFileName(access.string(), "agent");
        ASSERT_TRUE(fs::exists(refererPath)) << refererPath;
        ASSERT_TRUE(fs::exists(agentPath)) << agentPath;

        std::string first;
        const FileResult ref =
            readSample(refererPath, kFormatRefererLog, [&](const LogRecord& r, int line) {
                if (line == 1)
                    first = std::string(r.referrer.view()) + " " + std::string(r.url.view());
            });
        EXPECT_EQ(ref.accepted, s.referers) << s.dir;
        EXPECT_EQ(first, std::string(s.firstReferer) + " " + s.firstUrl);

        int mozilla = 0;
        const FileResult agents =
            readSample(agentPath, kFormatAgentLog, [&](const LogRecord& r, int) {
                mozilla += r.agent.view().starts_with("Mozilla/5.0 (Windows NT ");
            });
        EXPECT_EQ(agents.accepted, s.agents) << s.dir;
        EXPECT_EQ(mozilla, s.agents) << s.dir;  // every line of both files is a Windows browser
    }
}

}  // namespace
}  // namespace tw::ingest
