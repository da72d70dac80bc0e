#pragma once
// From a report's log paths to the list of local files a run reads, and the small path
// routines the rest of the program shares.
//
// Contract:
// - Nothing here throws; file-system failures shrink a listing, they never stop it.
// - "Separator" means "/" or "\": definitions written on Windows name their paths with "\".
//   Results use "/".
// - Thread-safe, except that expandLogPaths() formats with the process's time zone (TZ).
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"

namespace tw::transfer {

// The entries of a report's log paths: the first "%BACKDAY n %" macro moves the reference time n
// calendar days back (and is removed), then the whole text is formatted by strftime with the
// reference time as local time, split on ";", and every entry trimmed; empty entries are dropped.
// A conversion strftime does not define, and a "%" at the very end, stay as literal text.
std::vector<std::string> expandLogPaths(std::string_view text, const platform::Clock& clock);

// The files the entries stand for, in order:
// - an entry with "*" or "?" in its name part is a wildcard over its directory: every match is
//   taken (matched directories give their files);
// - a directory gives every file below it, subdirectories descended;
// - anything else, also a file that does not exist, is taken unchanged (opening it later is
//   what reports a missing file).
// Listings skip names beginning with "." and anything that is neither a file nor a directory
// (a FIFO would block the reader), and are sorted by name so a run reads the same files in the
// same order every time. Wildcards match case-sensitively, as the file system names them.
// Directories already being descended (symbolic-link loops) are not entered again.
// `groups`, when given, receives for each file the index of the entry it came from.
std::vector<std::string> expandLocalEntries(const std::vector<std::string>& entries,
                                            std::vector<std::size_t>* groups = nullptr);

// The running executable's directory with a trailing "/"; empty when it cannot be found.
std::string programDirectory();

// Up to and including the last separator; empty when there is none.
std::string directoryPart(std::string_view path);

// After the last separator; a text without separator is its own name part.
std::string namePart(std::string_view path);

// first + "/" + second, with the separators that meet at the join collapsed into one. An empty
// first part adds nothing, so a bare name stays relative.
std::string joinPath(std::string_view first, std::string_view second);

// Without one leading separator.
std::string stripLeadingSeparator(std::string_view path);

// Every "\" replaced by "/".
std::string unifySeparators(std::string_view path);

// Without "#", "%", "*", "/", ";", "?", "\" (and NUL, which no file name may hold).
std::string folderSafeName(std::string_view name);

// True when `name` can stand as one path component: not empty, not "." or "..", and without
// "/", "\" or NUL. Names that come from servers must pass this before they name a local file.
bool safeComponent(std::string_view name);

// Creates every missing directory along `path`. True when it is a directory afterwards.
bool makeDirectories(const std::string& path);

// The folder that receives a report's downloads: `base` joined with the folder-safe report name.
// A name that leaves nothing usable (empty, "." or "..") gives `base` itself.
std::string downloadFolder(std::string_view base, std::string_view reportName);

}  // namespace tw::transfer
