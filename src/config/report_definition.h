#pragma once
// One configured report. Member names are the stored value names; the initial values are those
// of a report the user has just added (a stored report with missing values reads differently,
// see the report store).
#include <string>
#include <vector>

#include "config/filter.h"

namespace tw::config {

// Where and in what form a finished report is exported; copied as one unit between the
// definition and the export settings the user picks.
struct ExportSettings {
    int ExportExportType = 1;
    std::string ExportLocation;
    int ExportServiceType = 1;
    std::string ExportUsername;
    std::string ExportPassword;
    int ExportGraphs = 0;  // HTML only: each graph report's graph drawn before its table

    bool operator==(const ExportSettings&) const = default;
};

struct ReportDefinition {
    int Local = 1;                        // 0 FTP download, 1 local files, 2 HTTP download
    int File = 0;                         // 0 every file of a directory, 1 one file, 2 wildcard
    std::string Path;                     // entries separated by ";"
    std::vector<std::string> trackFiles;  // site paths or patterns, see trackedFileEntry()
    std::string Domain;
    std::string DefaultPage;
    int EnableDNS = 0;
    std::string Name;
    std::string Sitename;
    std::string Username;
    std::string Password;
    int Internet = 0;
    std::string Root;
    int RecursionDepth = 3;
    int PasswordProtected = 0;
    ExportSettings exportSettings;
    int Export = 0;
    int ApacheTwoFileFormat = 0;
    FilterList filters;

    bool operator==(const ReportDefinition&) const = default;
};

// A tracked entry as it is stored: every entry is a site path, so one that does not begin with
// '/', '?' or '*' gets a '/' in front. Empty stays empty (the caller refuses it).
inline std::string trackedFileEntry(std::string entry) {
    if (!entry.empty() && entry[0] != '/' && entry[0] != '?' && entry[0] != '*')
        entry.insert(entry.begin(), '/');
    return entry;
}

}  // namespace tw::config
