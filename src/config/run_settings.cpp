#include "config/run_settings.h"

#include <charconv>
#include <system_error>

#include "config/filter_store.h"

namespace tw::config {
namespace {

struct IntSetting {
    const char* name;
    int RunSettings::*member;
    bool onOptionsSheet;
};

// In the order in which the options sheet writes them back; the ones it does not show last.
constexpr IntSetting kIntSettings[] = {
    {"DoNotDisplayPound", &RunSettings::DoNotDisplayPound, true},
    {"DoNotDisplayQuestion", &RunSettings::DoNotDisplayQuestion, true},
    {"TimeOffset", &RunSettings::TimeOffset, true},
    {"TruncateExport", &RunSettings::TruncateExport, true},
    {"TruncateReports", &RunSettings::TruncateReports, true},
    {"EuropeanFormat", &RunSettings::EuropeanFormat, true},
    {"LastItems", &RunSettings::LastItems, true},
    {"RemoveFirstDot", &RunSettings::RemoveFirstDot, true},
    {"LookupTooOld", &RunSettings::LookupTooOld, true},
    {"BadLookupTooOld", &RunSettings::BadLookupTooOld, true},
    {"PassiveFTP", &RunSettings::PassiveFTP, true},
    {"MultithreadMultiple", &RunSettings::MultithreadMultiple, true},
    {"AndIncludeFilters", &RunSettings::AndIncludeFilters, true},
    {"AndExcludeFilters", &RunSettings::AndExcludeFilters, true},
    {"CaseSensitive", &RunSettings::CaseSensitive, true},
    {"CountRobots", &RunSettings::CountRobots, true},
    {"RemoveDirectories", &RunSettings::RemoveDirectories, false},
};

constexpr const char* kProxyServer = "ProxyServer";

bool parseInt(std::string_view text, int& out) {
    if (text.empty()) return false;
    const char* end = text.data() + text.size();
    int value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc{} || ptr != end) return false;
    out = value;
    return true;
}

}  // namespace

RunSettings RunSettings::read(const platform::SettingsProfile& p) {
    RunSettings s;
    for (const IntSetting& setting : kIntSettings)
        s.*setting.member = p.getInt("", setting.name, s.*setting.member);
    s.ProxyServer = p.getString("", kProxyServer, s.ProxyServer);
    s.globalFilters = loadGlobalFilters(p);
    return s;
}

void RunSettings::writeOptions(platform::SettingsProfile& p) const {
    for (const IntSetting& setting : kIntSettings)
        if (setting.onOptionsSheet) p.setInt("", setting.name, this->*setting.member);
    saveGlobalFilters(p, globalFilters);
}

bool RunSettings::applyOverride(std::string_view name, std::string_view value) {
    if (name == kProxyServer) {
        ProxyServer = std::string(value);
        return true;
    }
    for (const IntSetting& setting : kIntSettings) {
        if (name != setting.name) continue;
        return parseInt(value, this->*setting.member);
    }
    return false;
}

}  // namespace tw::config
