#pragma once
// One configured report, as far as an analysis run needs it. Member names are the stored value
// names.
#include <string>

#include "config/filter.h"

namespace tw::config {

struct ReportDefinition {
    std::string Name;
    int Local = 1;     // 1 local files, 0 FTP download, 2 HTTP download
    int File = 1;      // 0 directory, 1 one file, 2 wildcard
    std::string Path;  // entries separated by ";"
    std::string Sitename;
    std::string Username;
    std::string Password;
    int PasswordProtected = 0;
    std::string Domain;
    std::string DefaultPage = "index.html";
    int EnableDNS = 0;
    int ApacheTwoFileFormat = 0;
    int Internet = 0;
    std::string Root;
    int RecursionDepth = 3;
    int Export = 0;
    FilterList filters;
};

}  // namespace tw::config
