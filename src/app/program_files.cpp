#include "app/program_files.h"

#include <limits.h>
#include <unistd.h>

#include <filesystem>

namespace tw::app {

namespace {
std::string ownDirectory() {
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    return std::filesystem::path(std::string(buf, static_cast<std::size_t>(n)))
        .parent_path()
        .string();
}
}  // namespace

std::vector<std::string> shippedSuffixFiles(const std::string& sourceDataDir) {
    std::vector<std::string> files;
    if (const std::string dir = ownDirectory(); !dir.empty())
        files.push_back(dir + "/../share/tallyweb/suffixdata.dat");
    if (!sourceDataDir.empty()) files.push_back(sourceDataDir + "/suffixdata.dat");
    return files;
}

std::string downloadRoot(const platform::SettingsProfile& store) {
    const std::string data = store.dataFolder();
    return data.empty() ? std::string() : data + "/downloads";
}

std::string runFolder(const platform::SettingsProfile& store) {
    std::string base = store.cacheFolder();
    if (base.empty()) {
        std::error_code ec;
        base = std::filesystem::temp_directory_path(ec).string();
        if (ec || base.empty()) base = "/tmp";
    }
    return base + "/run-" + std::to_string(::getpid());
}

}  // namespace tw::app
