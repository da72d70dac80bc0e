#include "ingest/log_time.h"

namespace tw::ingest {

// Howard Hinnant's days_from_civil: exact for every Gregorian date, no tables, no time zone.
std::int64_t daysFromCivil(std::int64_t year, int month, std::int64_t day) {
    year -= month <= 2;
    const std::int64_t era = floorDiv(year, 400);
    const std::int64_t yoe = year - era * 400;
    const std::int64_t mp = (month + 9) % 12;
    const std::int64_t doy = (153 * mp + 2) / 5;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + (day - 1);
}

std::int64_t frameSeconds(std::int64_t year, int month, std::int64_t day, std::int64_t hour,
                          std::int64_t minute, std::int64_t second) {
    return daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

CivilTime civilFromFrame(std::int64_t time) {
    std::int64_t z = dayNumber(time) + 719468;
    const std::int64_t secs = floorMod(time, 86400);
    const std::int64_t era = floorDiv(z, 146097);
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t y = yoe + era * 400 + (m <= 2);
    return {static_cast<int>(y),
            static_cast<int>(m),
            static_cast<int>(d),
            static_cast<int>(secs / 3600),
            static_cast<int>(secs / 60 % 60),
            static_cast<int>(secs % 60)};
}

}  // namespace tw::ingest
