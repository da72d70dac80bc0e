#pragma once
// The one time frame of the program: a logged wall-clock time plus the run's time offset,
// counted in seconds since 1970 as if it were UTC. Every log-derived time is formatted in that
// same frame, so no result depends on the analysing machine's time zone.
#include <cstdint>

namespace tw::ingest {

// Days from 1970-01-01 to the given proleptic Gregorian date; month 1..12, any day (days past
// the month's end carry on into the following month).
std::int64_t daysFromCivil(std::int64_t year, int month, std::int64_t day);

// Seconds for a date and time; no range checks.
std::int64_t frameSeconds(std::int64_t year, int month, std::int64_t day, std::int64_t hour,
                          std::int64_t minute, std::int64_t second);

inline std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}
inline std::int64_t floorMod(std::int64_t a, std::int64_t b) {
    return a - floorDiv(a, b) * b;
}

inline std::int64_t dayNumber(std::int64_t time) {
    return floorDiv(time, 86400);
}
inline int hourOf(std::int64_t time) {
    return static_cast<int>(floorMod(time, 86400) / 3600);
}
inline int weekdayOf(std::int64_t time) {
    return static_cast<int>(floorMod(dayNumber(time) + 4, 7));
}

struct CivilTime {
    int year, month, day, hour, minute, second;  // month 1..12
};
// Inverse of frameSeconds (the frame's gmtime).
CivilTime civilFromFrame(std::int64_t time);

}  // namespace tw::ingest
