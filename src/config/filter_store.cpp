#include "config/filter_store.h"

#include <algorithm>
#include <string>

#include "platform/strings.h"

namespace tw::config {
namespace {

constexpr const char* kGlobalCount = "GlobalFilterNum";
constexpr const char* kReportCount = "NumFilters";

std::string globalSection(int index) {
    return platform::format("GlobalFilter %d", index);
}

// The settings layer turns the backslash into a subkey of the report's section.
std::string reportFilterSection(std::string_view reportSection, int index) {
    return std::string(reportSection) + platform::format("\\Filter %d", index);
}

// The count is read back from a store the user can edit by hand, so a damaged value must not
// make a load walk billions of sections. No filter list edited through the wizard comes near
// the cap.
int sanitizedCount(int count) {
    return std::clamp(count, 0, kMaxStoredFilters);
}

Filter readFilter(const platform::SettingsProfile& p, const std::string& section) {
    Filter f;
    f.Include = p.getInt(section, "Include", 0);
    f.Information = p.getInt(section, "Information", 0);
    f.strFilter = p.getString(section, "strFilter", "");
    f.nFilter = p.getInt(section, "nFilter", 0);
    f.nFilter2 = p.getInt(section, "nFilter2", 0);
    f.BeginningTime = p.getInt(section, "BeginningTime", 0);
    f.EndingTime = p.getInt(section, "EndingTime", 0);
    f.Request = p.getInt(section, "Request", 0);
    return f;
}

// Every value is written whatever the kind, so a filter reads back exactly as it was.
void writeFilter(platform::SettingsProfile& p, const std::string& section, const Filter& f) {
    p.setInt(section, "Include", f.Include);
    p.setInt(section, "Information", f.Information);
    p.setString(section, "strFilter", f.strFilter);
    p.setInt(section, "nFilter", f.nFilter);
    p.setInt(section, "nFilter2", f.nFilter2);
    p.setInt(section, "BeginningTime", f.BeginningTime);
    p.setInt(section, "EndingTime", f.EndingTime);
    p.setInt(section, "Request", f.Request);
}

int storedCount(const FilterList& filters) {
    return static_cast<int>(std::min<std::size_t>(filters.size(), kMaxStoredFilters));
}

}  // namespace

FilterList loadGlobalFilters(const platform::SettingsProfile& profile) {
    const int count = sanitizedCount(profile.getInt("", kGlobalCount, 0));
    FilterList filters;
    filters.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) filters.push_back(readFilter(profile, globalSection(i)));
    return filters;
}

void saveGlobalFilters(platform::SettingsProfile& profile, const FilterList& filters) {
    const int count = storedCount(filters);
    profile.setInt("", kGlobalCount, count);
    for (int i = 0; i < count; ++i)
        writeFilter(profile, globalSection(i), filters[static_cast<std::size_t>(i)]);
}

FilterList loadReportFilters(const platform::SettingsProfile& profile,
                             std::string_view reportSection, int count) {
    count = sanitizedCount(count);
    FilterList filters;
    filters.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        filters.push_back(readFilter(profile, reportFilterSection(reportSection, i)));
    return filters;
}

void saveReportFilters(platform::SettingsProfile& profile, std::string_view reportSection,
                       const FilterList& filters) {
    const int count = storedCount(filters);
    profile.setInt(reportSection, kReportCount, count);
    for (int i = 0; i < count; ++i)
        writeFilter(profile, reportFilterSection(reportSection, i),
                    filters[static_cast<std::size_t>(i)]);
}

}  // namespace tw::config
