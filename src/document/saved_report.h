#pragma once
// The saved report file (".twb"): four fields of the report definition and every statistic the
// views and exports need, as little-endian values and counted strings back to back. Written as
// version 9; versions 6 to 9 are read, and 10 or above after the user agrees.
//
// Reading trusts nothing in the file: every count is bounded by the bytes left before anything
// is allocated from it, and a file that ends early or holds a damaged value ends the reading at
// that point with everything read so far kept.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/statistics_engine.h"
#include "platform/prompts.h"

namespace tw::document {

inline constexpr std::int32_t kSavedReportVersion = 9;
inline constexpr std::int32_t kOldestReadableVersion = 6;
// From this version on the user is asked whether to try the file.
inline constexpr std::int32_t kFirstFutureVersion = 10;
inline constexpr std::string_view kSavedReportExtension = ".twb";

// The definition fields the file carries, plus the tracked-file patterns its tracked-file
// section names (the catalogue needs them to show those reports).
struct SavedHeader {
    std::string name{};
    std::string root{};
    std::string domain{};
    std::string defaultPage{};
    std::vector<std::string> trackFiles{};
};

// The bytes of a version-9 file for the analysis held in `statistics`, `results` and
// `runStart`.
std::string writeSavedReport(const SavedHeader& header, const engine::Statistics& statistics,
                             const engine::Results& results, std::int64_t runStart);

enum class LoadStatus {
    Loaded,     // every section read
    ShortRead,  // the file ended early or held a damaged value: what came before is kept
    TooOld,     // below version 6: refused with its message, nothing changed
    Declined,   // version 10 or above and the user said No: nothing changed
};

struct LoadResult {
    LoadStatus status = LoadStatus::Loaded;
    std::int32_t version = 0;
};

// The version field alone, when the file has one.
bool readSavedVersion(std::string_view bytes, std::int32_t& version);

// Asks the version questions first (messages through `prompter`); only a file that passes them
// clears `engine` and is read into it and into `header`.
LoadResult readSavedReport(std::string_view bytes, platform::Prompter& prompter,
                           engine::StatisticsEngine& engine, SavedHeader& header);

}  // namespace tw::document
