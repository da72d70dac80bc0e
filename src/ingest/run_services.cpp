#include "ingest/run_services.h"

#include <sys/stat.h>

namespace tw::ingest {

std::vector<std::string> splitPathList(const std::string& path) {
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i <= path.size()) {
        std::size_t j = path.find(';', i);
        if (j == std::string::npos) j = path.size();
        std::string entry = path.substr(i, j - i);
        const std::size_t b = entry.find_first_not_of(' ');
        const std::size_t e = entry.find_last_not_of(' ');
        if (b != std::string::npos) out.push_back(entry.substr(b, e - b + 1));
        i = j + 1;
    }
    return out;
}

SourceResult PlainFileSources::resolve(const config::ReportDefinition& definition,
                                       const config::RunSettings&) {
    return {splitPathList(definition.Path), false, {}};
}

PreparedFiles MeasureOnly::prepare(const std::vector<std::string>& files) {
    PreparedFiles out;
    for (const std::string& f : files) {
        struct stat st {};
        // A file that cannot be measured stays in the list: reading it reports the open error.
        const std::uint64_t size = ::stat(f.c_str(), &st) == 0 && S_ISREG(st.st_mode)
                                       ? static_cast<std::uint64_t>(st.st_size)
                                       : 0;
        out.origins.push_back(out.files.size());
        out.files.push_back(f);
        out.sizes.push_back(size);
        out.totalBytes += size;
    }
    return out;
}

}  // namespace tw::ingest
