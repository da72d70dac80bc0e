#pragma once
// Where both programs keep their files: the copies of the data files that ship with the
// program, downloaded logs and crawled pages, and the decompressed copies of one run.
#include <string>
#include <vector>

#include "platform/settings.h"

namespace tw::app {

// The suffix-name files that ship with the program: installed beside it, or, run from a build
// tree, the one in `sourceDataDir` (empty: none).
std::vector<std::string> shippedSuffixFiles(const std::string& sourceDataDir);
// Downloaded logs and crawled pages are kept between runs, one folder per report, so that
// unchanged ones are not fetched again. Empty without a data folder.
std::string downloadRoot(const platform::SettingsProfile& store);
// Decompressed copies of one run, removed when it ends.
std::string runFolder(const platform::SettingsProfile& store);

}  // namespace tw::app
