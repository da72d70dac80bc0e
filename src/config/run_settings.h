#pragma once
// The program settings a run reads at its start, with their defaults, and their writing back
// by the options sheet.
#include <cstdint>
#include <string>
#include <string_view>

#include "config/filter.h"
#include "platform/settings.h"

namespace tw::config {

struct RunSettings {
    int AndIncludeFilters = 0;
    int AndExcludeFilters = 0;
    int CaseSensitive = 1;
    int LastItems = 30;
    int DoNotDisplayPound = 1;
    int DoNotDisplayQuestion = 1;
    int RemoveFirstDot = 1;
    int LookupTooOld = 60;
    int BadLookupTooOld = 2;
    int TimeOffset = 0;
    int EuropeanFormat = 0;
    int RemoveDirectories = 0;
    std::string ProxyServer;
    int PassiveFTP = 0;
    int TruncateReports = 100;
    int TruncateExport = 30;
    int MultithreadMultiple = 1;  // 0: every log is read on one thread; otherwise on every core
    int CountRobots = 1;          // 0: requests by robots are left out of every report
    FilterList globalFilters;     // applied before every report's own

    static RunSettings read(const platform::SettingsProfile& profile);

    // What OK on the options sheet stores: every setting it shows, then the global filters.
    // "RemoveDirectories" and "ProxyServer" are not on the sheet and are left as they stand.
    void writeOptions(platform::SettingsProfile& profile) const;

    // Sets one setting from text, by its stored name (exact spelling). Numbers are whole
    // decimal numbers with an optional "-" and nothing else around them; ProxyServer takes
    // any text. False, with nothing changed, for a name that is not a setting (the global
    // filter count included: filters are not set this way) or a value that is not a number.
    bool applyOverride(std::string_view name, std::string_view value);
};

// One-time notices: each is the state of a "Do not remind me again" box.
namespace reminder {
inline constexpr const char* DnsInternet = "DoNotRemindDNSInternet";
inline constexpr const char* ApacheFilters = "DoNotRemindApacheFilters";
inline constexpr const char* Speed = "DoNotSpeedRemind";
inline constexpr const char* Referrer = "DoNotRemindReferrer";
inline constexpr const char* Bytes = "DoNotRemindBytes";
inline constexpr const char* Hyperlink = "DoNotRemindHyperlink";
}  // namespace reminder

}  // namespace tw::config
