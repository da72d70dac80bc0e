#include "config/filter_text.h"

#include <ctime>

#include "platform/strings.h"

namespace tw::config {
namespace {

constexpr int kNoFilterText = 32831;
constexpr int kBeginningAfterEnding = 32833;
constexpr int kEqualTimes = 32834;

constexpr std::string_view kUpperBelowLower =
    "The upper bound must be greater than or equal to the lower bound.";
constexpr std::string_view kNoAuthUser =
    "You must specify a wildcard or a username to filter the authenticated users by. If the user "
    "is not authenticated, there will be a '-' (dash).";
constexpr std::string_view kNoDomain = "You must specify a domain to filter by.";

constexpr std::array<std::string_view, 7> kWeekdays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                       "Thursday", "Friday", "Saturday"};

std::string localTime(std::int32_t seconds) {
    const std::time_t t = seconds;
    std::tm tm{};
    if (localtime_r(&t, &tm) == nullptr) return {};
    char buf[64];
    const std::size_t n = std::strftime(buf, sizeof buf, "%m/%d/%Y at %I:%M %p", &tm);
    return std::string(buf, n);
}

std::string quoted(std::string_view before, const std::string& text, std::string_view after) {
    std::string out(before);
    out += '\'';
    out += text;
    out += '\'';
    out += after;
    return out;
}

std::string hourText(int hour) {
    if (hour < 0 || hour >= 24) return {};
    if (hour == 0) return "requests at 12 AM";
    if (hour == 12) return "requests at 12 PM";
    return hour < 12 ? platform::format("requests at %d AM", hour)
                     : platform::format("requests at %d PM", hour - 12);
}

// A method number the wizard cannot produce is described by the prefix alone, as out-of-range
// weekdays and hours are: naming a method would claim a match the filter never makes.
std::string requestText(int request) {
    switch (request) {
        case 0:
            return "all GET requests";
        case 1:
            return "all HEAD requests";
        case 2:
            return "all POST requests";
        default:
            return {};
    }
}

std::string kindText(const Filter& f) {
    switch (f.Information) {
        case kFilterFileName:
            return quoted("files matching ", f.strFilter, "");
        case kFilterDateRange:
            return "dates from " + localTime(f.BeginningTime) + " to " + localTime(f.EndingTime);
        case kFilterDayOfWeek:
            if (f.nFilter < 0 || f.nFilter >= static_cast<int>(kWeekdays.size())) return {};
            return "requests on " + std::string(kWeekdays[static_cast<std::size_t>(f.nFilter)]);
        case kFilterHour:
            return hourText(f.nFilter);
        case kFilterReferringUrl:
            return quoted("referrers matching ", f.strFilter, "");
        case kFilterUserOs:
            return quoted("requests from the ", f.strFilter, " OS");
        case kFilterBrowser:
            return quoted("requests from the ", f.strFilter, " browser");
        case kFilterSpider:
            return quoted("requests from the ", f.strFilter, " spider");
        case kFilterRequest:
            return requestText(f.Request);
        case kFilterSuccessCode:
            return platform::format("success codes between %d and %d", f.nFilter, f.nFilter2);
        case kFilterAuthUser:
            return quoted("requests from users matching ", f.strFilter, "");
        case kFilterVirtualDomain:
            return quoted("hits on the server with an address matching ", f.strFilter, "");
        case kFilterDomain:
        default:
            return quoted("domains matching ", f.strFilter, "");
    }
}

}  // namespace

std::string describeFilter(const Filter& filter) {
    return (filter.excludes() ? "Exclude " : "Include ") + kindText(filter);
}

std::string_view checkFilterPage(const Filter& f) {
    switch (f.Information) {
        case kFilterDateRange:
            if (f.EndingTime == f.BeginningTime) return platform::text(kEqualTimes);
            if (f.EndingTime < f.BeginningTime) return platform::text(kBeginningAfterEnding);
            return {};
        case kFilterDayOfWeek:
        case kFilterHour:
        case kFilterRequest:
            return {};
        case kFilterSuccessCode:
            // The run compares status codes as unsigned, so the page does too: a bound it accepts
            // never leaves a range that cannot match.
            if (static_cast<unsigned>(f.nFilter2) < static_cast<unsigned>(f.nFilter))
                return kUpperBelowLower;
            return {};
        case kFilterAuthUser:
            return f.strFilter.empty() ? kNoAuthUser : std::string_view{};
        case kFilterVirtualDomain:
            return f.strFilter.empty() ? kNoDomain : std::string_view{};
        default:
            // The text kinds, and any unknown kind, which is described as a domain filter.
            return f.strFilter.empty() ? platform::text(kNoFilterText) : std::string_view{};
    }
}

std::span<const FilterChoice> filterChoices(int kind) {
    switch (kind) {
        case kFilterUserOs:
            return kOsChoices;
        case kFilterBrowser:
            return kBrowserChoices;
        case kFilterSpider:
            return kSpiderChoices;
        default:
            return {};
    }
}

}  // namespace tw::config
