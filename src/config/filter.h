#pragma once
// One filter of a report or of the global list: whether it includes or excludes, which kind of
// information it tests, and the values it tests against. Member names are the stored value
// names; every field is stored for every filter, whatever its kind.
#include <cstdint>
#include <string>
#include <vector>

namespace tw::config {

enum FilterKind : int {
    kFilterDomain = 0,
    kFilterFileName = 1,
    kFilterDateRange = 2,
    kFilterDayOfWeek = 3,
    kFilterHour = 4,
    kFilterReferringUrl = 5,
    kFilterUserOs = 6,
    kFilterBrowser = 7,
    kFilterSpider = 8,
    kFilterRequest = 9,
    kFilterSuccessCode = 10,
    kFilterAuthUser = 11,
    kFilterVirtualDomain = 12,
};
inline constexpr int kFilterKinds = 13;

struct Filter {
    int Include = 0;      // 0 include filter, 1 exclude filter
    int Information = 0;  // a FilterKind
    std::string strFilter{};
    int nFilter = 0;                 // weekday, hour, or lower status bound
    int nFilter2 = 0;                // upper status bound
    std::int32_t BeginningTime = 0;  // seconds since 1970, UTC
    std::int32_t EndingTime = 0;
    int Request = 0;  // 0 GET, 1 HEAD, 2 POST

    bool excludes() const { return Include != 0; }
    bool operator==(const Filter&) const = default;
};

using FilterList = std::vector<Filter>;

}  // namespace tw::config
