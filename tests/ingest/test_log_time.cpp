#include "ingest/log_time.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <ostream>
#include <random>
#include <string>

#include "ingest/log_format.h"

namespace tw::ingest {
namespace {

bool isLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}
int monthDays(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : days[m - 1];
}

TEST(LogTime, KnownInstants) {
    EXPECT_EQ(daysFromCivil(1970, 1, 1), 0);
    EXPECT_EQ(daysFromCivil(1969, 12, 31), -1);
    EXPECT_EQ(daysFromCivil(2000, 3, 1), 11017);
    EXPECT_EQ(frameSeconds(2038, 1, 19, 3, 14, 7), 2147483647);
    EXPECT_EQ(frameSeconds(2038, 1, 19, 3, 14, 8), std::int64_t{1} << 31);
    EXPECT_EQ(frameSeconds(2000, 10, 10, 13, 55, 36), 971186136);
    EXPECT_EQ(frameSeconds(1901, 12, 13, 20, 45, 52), -2147483648LL);
    // 1900 and 2100 are no leap years, 2000 is.
    EXPECT_EQ(daysFromCivil(1900, 3, 1) - daysFromCivil(1900, 2, 28), 1);
    EXPECT_EQ(daysFromCivil(2000, 3, 1) - daysFromCivil(2000, 2, 28), 2);
    EXPECT_EQ(daysFromCivil(2100, 3, 1) - daysFromCivil(2100, 2, 28), 1);
    // Days past a month's end carry on, as do hours and minutes past their range.
    EXPECT_EQ(daysFromCivil(2001, 1, 32), daysFromCivil(2001, 2, 1));
    EXPECT_EQ(daysFromCivil(2004, 3, 0), daysFromCivil(2004, 2, 29));
    EXPECT_EQ(frameSeconds(1999, 12, 31, 24, 0, 0), frameSeconds(2000, 1, 1, 0, 0, 0));
    EXPECT_EQ(frameSeconds(2015, 5, 17, 10, 65, 3), frameSeconds(2015, 5, 17, 11, 5, 3));
}

TEST(LogTime, DayByDayRoundTripFrom1860To2200) {
    std::int64_t expectDay = daysFromCivil(1860, 1, 1);
    for (int y = 1860; y <= 2200; ++y)
        for (int m = 1; m <= 12; ++m)
            for (int d = 1; d <= monthDays(y, m); ++d) {
                ASSERT_EQ(daysFromCivil(y, m, d), expectDay) << y << "-" << m << "-" << d;
                // Vary the clock so every second of the day is covered over the run.
                const int secOfDay = static_cast<int>((expectDay * 7919) % 86400 + 86400) % 86400;
                const std::int64_t t =
                    frameSeconds(y, m, d, secOfDay / 3600, secOfDay / 60 % 60, secOfDay % 60);
                const CivilTime c = civilFromFrame(t);
                ASSERT_EQ(c.year, y);
                ASSERT_EQ(c.month, m);
                ASSERT_EQ(c.day, d);
                ASSERT_EQ(c.hour * 3600 + c.minute * 60 + c.second, secOfDay);
                ASSERT_EQ(hourOf(t), c.hour);
                ++expectDay;
            }
}

TEST(LogTime, AgreesWithTimegmAndGmtime) {
    // The C runtime's UTC conversions are an independent oracle for the one frame.
    std::mt19937_64 rng(5);
    std::uniform_int_distribution<std::int64_t> when(-2208988800LL, 7258118400LL);  // 1900..2200
    for (int i = 0; i < 20000; ++i) {
        const std::int64_t t = when(rng);
        const std::time_t tt = static_cast<std::time_t>(t);
        std::tm tm{};
        ASSERT_NE(gmtime_r(&tt, &tm), nullptr);
        const CivilTime c = civilFromFrame(t);
        ASSERT_EQ(c.year, tm.tm_year + 1900) << t;
        ASSERT_EQ(c.month, tm.tm_mon + 1) << t;
        ASSERT_EQ(c.day, tm.tm_mday) << t;
        ASSERT_EQ(c.hour, tm.tm_hour) << t;
        ASSERT_EQ(c.minute, tm.tm_min) << t;
        ASSERT_EQ(c.second, tm.tm_sec) << t;
        ASSERT_EQ(weekdayOf(t), tm.tm_wday) << t;
        ASSERT_EQ(frameSeconds(c.year, c.month, c.day, c.hour, c.minute, c.second),
                  static_cast<std::int64_t>(timegm(&tm)));
    }
}

TEST(LogTime, HourAndWeekdayBeforeAndAfterTheEpoch) {
    EXPECT_EQ(weekdayOf(0), 4);  // 1970-01-01 was a Thursday
    EXPECT_EQ(hourOf(0), 0);
    // One second before the epoch is Wednesday 23:59:59, not "hour -1 of Thursday".
    EXPECT_EQ(hourOf(-1), 23);
    EXPECT_EQ(weekdayOf(-1), 3);
    EXPECT_EQ(hourOf(-86400), 0);
    EXPECT_EQ(weekdayOf(-86400), 3);
    EXPECT_EQ(weekdayOf(-86401), 2);
    EXPECT_EQ(dayNumber(-1), -1);
    EXPECT_EQ(dayNumber(-86400), -1);
    EXPECT_EQ(dayNumber(-86401), -2);
    const CivilTime c = civilFromFrame(-1);
    EXPECT_EQ(c.year, 1969);
    EXPECT_EQ(c.month, 12);
    EXPECT_EQ(c.day, 31);
    EXPECT_EQ(c.hour, 23);
    EXPECT_EQ(c.minute, 59);
    EXPECT_EQ(c.second, 59);
    // 1969-07-20 20:17 (a Sunday) and 2038-01-19 (a Tuesday), 2100-01-01 (a Friday).
    EXPECT_EQ(weekdayOf(frameSeconds(1969, 7, 20, 20, 17, 0)), 0);
    EXPECT_EQ(hourOf(frameSeconds(1969, 7, 20, 20, 17, 0)), 20);
    EXPECT_EQ(weekdayOf(frameSeconds(2038, 1, 19, 3, 14, 8)), 2);
    EXPECT_EQ(weekdayOf(frameSeconds(2100, 1, 1, 0, 0, 0)), 5);
    EXPECT_EQ(floorMod(-7, 3), 2);
    EXPECT_EQ(floorDiv(-7, 3), -3);
    EXPECT_EQ(floorDiv(7, -3), -3);
}

// Sets TZ for the lifetime of the object and restores the previous value afterwards.
class ScopedTz {
  public:
    explicit ScopedTz(const char* zone) {
        if (const char* old = std::getenv("TZ")) old_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTz() {
        if (old_)
            setenv("TZ", old_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    ScopedTz(const ScopedTz&) = delete;
    ScopedTz& operator=(const ScopedTz&) = delete;

  private:
    std::optional<std::string> old_;
};

struct TimeOf {
    std::int64_t time;
    int hour, weekday;
    bool operator==(const TimeOf&) const = default;
    friend std::ostream& operator<<(std::ostream& out, const TimeOf& t) {
        return out << "{time " << t.time << ", hour " << t.hour << ", weekday " << t.weekday << "}";
    }
};

TimeOf readTime(LineReader reader, ReaderState& st, std::string_view line) {
    auto rec = std::make_unique<LogRecord>();
    EXPECT_GT(reader(st, line.data(), line.size(), *rec), 0u) << line;
    return {rec->time, rec->hour, rec->weekday};
}

TEST(LogTime, ReaderResultsDoNotDependOnTheMachineTimeZone) {
    // An early-morning request on a Sunday: a zone shift of a few hours moves it to Saturday.
    const std::string common =
        R"(10.0.0.1 - - [05/Jan/2014:01:30:00 +0100] "GET / HTTP/1.1" 200 10)";
    const std::string comma =
        "10.0.0.1, -, 01/05/14, 1:30:00, W3SVC1, WEB, 10.0.0.2, 10, 20, 30, 200, 0, GET, /a, -,";
    const std::string w3c = "2014-01-05 01:30:00 10.0.0.1 GET /a 200";
    const auto readAll = [&] {
        ReaderState st;
        EXPECT_EQ(parseW3cFields("#Fields: date time c-ip cs-method cs-uri-stem sc-status", st.w3c),
                  kFormatW3c);
        return std::array<TimeOf, 3>{readTime(readCommonLine, st, common),
                                     readTime(readIisCommaLine, st, comma),
                                     readTime(readW3cLine, st, w3c)};
    };
    const TimeOf want{frameSeconds(2014, 1, 5, 1, 30, 0), 1, 0};
    for (const char* zone : {"UTC", "America/New_York", "Asia/Kolkata", "Pacific/Kiritimati",
                             "Pacific/Pago_Pago", "EST5EDT", "<-0930>9:30"}) {
        ScopedTz tz(zone);
        for (const TimeOf& got : readAll()) {
            EXPECT_EQ(got, want) << "TZ=" << zone;
        }
    }
}

}  // namespace
}  // namespace tw::ingest
