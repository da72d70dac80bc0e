#include "config/run_settings.h"

#include "config/filter_store.h"

namespace tw::config {

RunSettings RunSettings::read(const platform::SettingsProfile& p) {
    RunSettings s;
    s.AndIncludeFilters = p.getInt("", "AndIncludeFilters", s.AndIncludeFilters);
    s.AndExcludeFilters = p.getInt("", "AndExcludeFilters", s.AndExcludeFilters);
    s.CaseSensitive = p.getInt("", "CaseSensitive", s.CaseSensitive);
    s.LastItems = p.getInt("", "LastItems", s.LastItems);
    s.DoNotDisplayPound = p.getInt("", "DoNotDisplayPound", s.DoNotDisplayPound);
    s.DoNotDisplayQuestion = p.getInt("", "DoNotDisplayQuestion", s.DoNotDisplayQuestion);
    s.RemoveFirstDot = p.getInt("", "RemoveFirstDot", s.RemoveFirstDot);
    s.LookupTooOld = p.getInt("", "LookupTooOld", s.LookupTooOld);
    s.BadLookupTooOld = p.getInt("", "BadLookupTooOld", s.BadLookupTooOld);
    s.TimeOffset = p.getInt("", "TimeOffset", s.TimeOffset);
    s.EuropeanFormat = p.getInt("", "EuropeanFormat", s.EuropeanFormat);
    s.RemoveDirectories = p.getInt("", "RemoveDirectories", s.RemoveDirectories);
    s.ProxyServer = p.getString("", "ProxyServer", s.ProxyServer);
    s.PassiveFTP = p.getInt("", "PassiveFTP", s.PassiveFTP);
    s.TruncateReports = p.getInt("", "TruncateReports", s.TruncateReports);
    s.globalFilters = loadGlobalFilters(p);
    return s;
}

}  // namespace tw::config
