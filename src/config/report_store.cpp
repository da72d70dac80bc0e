#include "config/report_store.h"

#include <algorithm>
#include <cstddef>
#include <string_view>

#include "config/filter_store.h"
#include "platform/strings.h"

namespace tw::config {
namespace {

constexpr const char* kReportCount = "NumReports";
constexpr const char* kLastSelection = "ReportListDlgLastSel";

std::string trackSection(const std::string& reportSection) {
    return reportSection + "\\TrackFilesTrack";
}

std::string trackName(int index) {
    return platform::format("TrackFile %d", index);
}

// The count is stored as text and may have been edited by hand. It is read the way a plain
// decimal conversion reads it (leading blanks, a sign, then digits up to the first other
// character), but without overflow: a long run of digits saturates and is then capped, so a
// damaged value can neither wrap round to a negative count nor make a load walk millions of
// sections.
int parseCount(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min<long long>(value * 10 + (text[i] - '0'), kMaxStoredReports);
    if (negative) return 0;
    return static_cast<int>(value);
}

int storedSize(std::size_t size, int cap) {
    return static_cast<int>(std::min<std::size_t>(size, static_cast<std::size_t>(cap)));
}

}  // namespace

std::string reportSection(int index) {
    return platform::format("Report %d", index);
}

ReportDefinition loadReport(const platform::SettingsProfile& p, int index) {
    const std::string section = reportSection(index);
    ReportDefinition d;
    // Stored reports predate some of the new-report defaults; a missing value reads as the
    // stored default, which differs from ReportDefinition's initial value for the name and
    // the depth.
    d.File = p.getInt(section, "File", 0);
    d.Path = p.getString(section, "Path", "");
    d.Domain = p.getString(section, "Domain", "");
    d.DefaultPage = p.getString(section, "DefaultPage", "");
    d.EnableDNS = p.getInt(section, "EnableDNS", 0);
    d.Name = p.getString(section, "Name", platform::txt::DefaultReportName);
    d.Local = p.getInt(section, "Local", 1);
    d.Sitename = p.getString(section, "Sitename", "");
    d.Username = p.getString(section, "Username", "");
    d.Password = p.getString(section, "Password", "");
    d.PasswordProtected = p.getInt(section, "PasswordProtected", 0);
    d.Internet = p.getInt(section, "Internet", 0);
    d.Root = p.getString(section, "Root", "");
    d.RecursionDepth = p.getInt(section, "RecursionDepth", 4);
    d.exportSettings.ExportExportType = p.getInt(section, "ExportExportType", 1);
    d.exportSettings.ExportLocation = p.getString(section, "ExportLocation", "");
    d.exportSettings.ExportServiceType = p.getInt(section, "ExportServiceType", 1);
    d.exportSettings.ExportUsername = p.getString(section, "ExportUsername", "");
    d.exportSettings.ExportPassword = p.getString(section, "ExportPassword", "");
    d.Export = p.getInt(section, "Export", 0);
    d.ApacheTwoFileFormat = p.getInt(section, "ApacheTwoFileFormat", 0);
    d.exportSettings.ExportGraphs = p.getInt(section, "ExportGraphs", 0);

    const int tracked = std::clamp(p.getInt(section, "NumTrackFiles", 0), 0, kMaxStoredTrackFiles);
    const std::string tracks = trackSection(section);
    for (int i = 0; i < tracked; ++i) d.trackFiles.push_back(p.getString(tracks, trackName(i), ""));

    d.filters = loadReportFilters(p, section, p.getInt(section, "NumFilters", 0));
    return d;
}

void saveReport(platform::SettingsProfile& p, int index, const ReportDefinition& d) {
    const std::string section = reportSection(index);
    p.setInt(section, "File", d.File);
    p.setString(section, "Path", d.Path);

    const int tracked = storedSize(d.trackFiles.size(), kMaxStoredTrackFiles);
    p.setInt(section, "NumTrackFiles", tracked);
    const std::string tracks = trackSection(section);
    for (int i = 0; i < tracked; ++i)
        p.setString(tracks, trackName(i), d.trackFiles[static_cast<std::size_t>(i)]);

    saveReportFilters(p, section, d.filters);  // "NumFilters", then each filter's section

    p.setString(section, "Domain", d.Domain);
    p.setString(section, "DefaultPage", d.DefaultPage);
    p.setInt(section, "EnableDNS", d.EnableDNS);
    p.setString(section, "Name", d.Name);
    p.setInt(section, "Local", d.Local);
    p.setString(section, "Sitename", d.Sitename);
    p.setString(section, "Username", d.Username);
    p.setString(section, "Password", d.Password);
    p.setInt(section, "PasswordProtected", d.PasswordProtected);
    p.setInt(section, "Internet", d.Internet);
    p.setString(section, "Root", d.Root);
    p.setInt(section, "RecursionDepth", d.RecursionDepth);
    p.setInt(section, "ExportExportType", d.exportSettings.ExportExportType);
    p.setString(section, "ExportLocation", d.exportSettings.ExportLocation);
    p.setInt(section, "ExportServiceType", d.exportSettings.ExportServiceType);
    p.setString(section, "ExportUsername", d.exportSettings.ExportUsername);
    p.setString(section, "ExportPassword", d.exportSettings.ExportPassword);
    p.setInt(section, "Export", d.Export);
    p.setInt(section, "ApacheTwoFileFormat", d.ApacheTwoFileFormat);
    // Newer than the other values, so it comes after them.
    p.setInt(section, "ExportGraphs", d.exportSettings.ExportGraphs);
}

std::vector<ReportDefinition> loadReportList(const platform::SettingsProfile& p) {
    const int count = parseCount(p.getString("", kReportCount, ""));
    // No reserve from the count: it comes from the store and is only trusted as far as the
    // sections it makes us read.
    std::vector<ReportDefinition> list;
    for (int i = 0; i < count; ++i) list.push_back(loadReport(p, i));
    return list;
}

void saveReportList(platform::SettingsProfile& p, const std::vector<ReportDefinition>& list) {
    const int count = storedSize(list.size(), kMaxStoredReports);
    p.setString("", kReportCount, platform::format("%d", count));
    for (int i = 0; i < count; ++i) saveReport(p, i, list[static_cast<std::size_t>(i)]);
}

int loadLastSelection(const platform::SettingsProfile& p) {
    return p.getInt("", kLastSelection, 0);
}

void saveLastSelection(platform::SettingsProfile& p, int row) {
    p.setInt("", kLastSelection, row);
}

}  // namespace tw::config
