#pragma once
// Reading and writing filter lists in the program settings: the global list in the application
// key, and the list of one report definition beneath that report's section.
//
// Saving never deletes: sections of filters beyond the new count stay where they are and are
// ignored by the next load, which reads only as many filters as the count says.
#include <string_view>

#include "config/filter.h"
#include "platform/settings.h"

namespace tw::config {

// Lists longer than this are cut to this many, on save as on load; negative counts read as none.
inline constexpr int kMaxStoredFilters = 10000;

FilterList loadGlobalFilters(const platform::SettingsProfile& profile);
void saveGlobalFilters(platform::SettingsProfile& profile, const FilterList& filters);

// The count is the report's "NumFilters", read by the caller with the report's other values.
FilterList loadReportFilters(const platform::SettingsProfile& profile,
                             std::string_view reportSection, int count);
// Writes "NumFilters" into the report's section and one section per filter.
void saveReportFilters(platform::SettingsProfile& profile, std::string_view reportSection,
                       const FilterList& filters);

}  // namespace tw::config
