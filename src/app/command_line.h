#pragma once
// The desktop program's own command line: saved report files to open, and AUTOREPORT, which
// names a stored report to generate without a user.
//
// The option is recognised after "/", after "-" or bare, in any case; the argument after it is
// the report's name exactly as typed. Other options are ignored. A bare "AUTOREPORT" is only
// the option: taking it for a file name too would open a file that does not exist instead of
// generating the report.
#include <optional>
#include <string>
#include <vector>

namespace tw::app {

struct StartupCommand {
    std::vector<std::string> documents;          // saved report files, in the order given
    std::optional<std::string> requestedReport;  // the AUTOREPORT name, when one was given
};

// `args` excludes the program's own name.
StartupCommand parseStartupCommand(const std::vector<std::string>& args);

}  // namespace tw::app
