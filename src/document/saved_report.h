#pragma once
// The saved report file (".twb"): four fields of the report definition and every statistic the
// views and exports need, as little-endian values and counted strings back to back. Written as
// version 10; versions 6 to 10 are read, and 11 or above after the user agrees. Counts added
// after version 9 was first written follow its last section as tagged values, so a version-9
// file of an older writer, which ends at that section, still reads (those counts are then 0).
// Version 10 adds, behind tags after those counts, what a version-9 file left out: the byte
// counts of visitors and requested files, the recent accesses and the client reports. A file
// of an older version shows what it holds and no more.
//
// Reading trusts nothing in the file: every count is bounded by the bytes left before anything
// is allocated from it. A file is read whole or not at all: one that ends early, holds a
// damaged value or goes on past where the writer ended it leaves the engine as it was.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/statistics_engine.h"
#include "platform/prompts.h"

namespace tw::document {

inline constexpr std::int32_t kSavedReportVersion = 10;
inline constexpr std::int32_t kOldestReadableVersion = 6;
// From this version on the user is asked whether to try the file.
inline constexpr std::int32_t kFirstFutureVersion = 11;
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

// The bytes of a version-10 file for the analysis held in `statistics`, `results` and
// `runStart`.
std::string writeSavedReport(const SavedHeader& header, const engine::Statistics& statistics,
                             const engine::Results& results, std::int64_t runStart);

enum class LoadStatus {
    Loaded,       // every section read, and nothing after them
    ShortRead,    // not whole (short, damaged, or bytes past its end): nothing changed
    TooOld,       // below version 6: refused with its message, nothing changed
    Declined,     // version 11 or above and the user said No: nothing changed
    OutOfMemory,  // whole, but its texts did not fit the engine's arena: the engine is empty
};

struct LoadResult {
    LoadStatus status = LoadStatus::Loaded;
    std::int32_t version = 0;
};

// The version field alone, when the file has one.
bool readSavedVersion(std::string_view bytes, std::int32_t& version);

// The version questions, from the file's first bytes alone, so that a file refused for its
// version is never read further: TooOld (after its message), Declined, ShortRead when there is
// no version field, else Loaded (read on).
LoadResult checkSavedVersion(std::string_view head, platform::Prompter& prompter);

// The whole file, its version questions answered already. The file is checked whole first, so
// `engine` and `header` change only when it is Loaded (or, when the engine's arena cannot hold
// a file that another could, OutOfMemory leaves the engine empty).
LoadStatus readSavedContents(std::string_view bytes, engine::StatisticsEngine& engine,
                             SavedHeader& header);

// checkSavedVersion() on `bytes`, then readSavedContents() when it passes.
LoadResult readSavedReport(std::string_view bytes, platform::Prompter& prompter,
                           engine::StatisticsEngine& engine, SavedHeader& header);

}  // namespace tw::document
