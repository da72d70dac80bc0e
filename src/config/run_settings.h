#pragma once
// The program settings a run reads at its start, with their defaults.
#include <cstdint>
#include <string>

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
    FilterList globalFilters;  // applied before every report's own

    static RunSettings read(const platform::SettingsProfile& profile);
};

// One-time notices: each is the state of a "Do not remind me again" box.
namespace reminder {
inline constexpr const char* DnsInternet = "DoNotRemindDNSInternet";
inline constexpr const char* ApacheFilters = "DoNotRemindApacheFilters";
inline constexpr const char* Speed = "DoNotSpeedRemind";
inline constexpr const char* Referrer = "DoNotRemindReferrer";
inline constexpr const char* Bytes = "DoNotRemindBytes";
}  // namespace reminder

}  // namespace tw::config
