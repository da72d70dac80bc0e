#include "app/command_line.h"

#include <string_view>

#include "ingest/text_search.h"

namespace tw::app {
namespace {

bool isAutoReportOption(std::string_view arg) {
    if (!arg.empty() && (arg[0] == '/' || arg[0] == '-')) arg.remove_prefix(1);
    return ingest::equalsIgnoringCase(arg, "AUTOREPORT");
}

}  // namespace

StartupCommand parseStartupCommand(const std::vector<std::string>& args) {
    StartupCommand cmd;
    bool nameFollows = false;
    for (const std::string& arg : args) {
        const bool option = isAutoReportOption(arg);
        if (nameFollows) {
            cmd.requestedReport = arg;
        } else if (!option && !arg.empty() && arg[0] != '-') {
            // Local paths begin with "/", so only "-" marks an option here; "/AUTOREPORT" is
            // caught above.
            cmd.documents.push_back(arg);
        }
        // The name itself is examined as well: "/AUTOREPORT AUTOREPORT x" asks for "x".
        nameFollows = option;
    }
    return cmd;
}

}  // namespace tw::app
