#pragma once
// Log formats, format detection, the W3C field map and the line readers.
//
// All reader state (options, field map, W3C date text, the file's capabilities) lives in a
// ReaderState owned by the one thread that reads a file; readers never allocate and never read
// past the line they are given.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ingest/log_record.h"

namespace tw::ingest {

enum LogFormat : int {
    kFormatCommon = 0,
    kFormatCombined = 1,
    kFormatIisComma = 2,
    kFormatIisCommaExtended = 3,  // referrer and agent appended
    kFormatW3c = 4,
    kFormatW3cMissingFields =
        5,                   // detection only: header lacks time, c-ip, cs-uri-stem or sc-status
    kFormatW3cUnusable = 6,  // detection only: the field directive cannot be tokenised
    kFormatLoose = 7,        // combined, first field may be "-" or empty
    kFormatAgentLog = 8,
    kFormatRefererLog = 9,
    kFormatDetect = 10,
};

enum W3cField : int {
    kW3cDate,
    kW3cTime,
    kW3cClientIp,
    kW3cUserName,
    kW3cMethod,
    kW3cUriStem,
    kW3cStatus,
    kW3cBytes,
    kW3cUserAgent,
    kW3cReferer,
    kW3cServerIp,
    kW3cFieldCount
};

// Field names as the directive spells them, in W3cField order.
extern const std::array<std::string_view, kW3cFieldCount> kW3cFieldNames;

inline constexpr int kW3cMaxTokens = 256;

struct W3cFieldMap {
    // Position of each known field among the directive's tokens ("#Fields:" itself is token 0,
    // so a line's field i has position i + 1); -1 when absent.
    std::array<int, kW3cFieldCount> pos{};
    int lastPos = 0;  // position of the last token listed
    bool usable = false;
    // Derived for the reader: known field at each line field index (-1 none), the last index
    // the reader needs, and the index of a field that runs to the end of the line (-1 none).
    std::array<std::int8_t, kW3cMaxTokens> fieldAt{};
    int lastNeeded = -1;
    int runsToEnd = -1;

    bool has(W3cField f) const { return pos[f] >= 0; }
};

struct ReaderOptions {
    int timeOffsetHours = 0;      // added to every logged time
    bool europeanFormat = false;  // day.month.year numeric dates
};

// Why a reader refused its line, for the list of rejected lines.
enum class RejectReason : std::uint8_t {
    None,
    Layout,      // the fields do not follow the file's layout
    NoRequest,   // no URL inside the request
    Date,        // a date or time outside its calendar
    Bytes,       // a byte count that is not a number of at most 64 bits
    NoFieldMap,  // a W3C line before any usable field directive
};
std::string_view rejectReasonText(RejectReason why);

struct ReaderState {
    ReaderOptions options;
    W3cFieldMap w3c;
    char w3cDate[100] = {};  // date part of the last usable "#Date: " directive
    int w3cDateLength = 0;
    Capabilities caps;
    // For the bandwidth reminder: whether any W3C header was read, and whether the last one
    // listed sc-bytes.
    bool sawW3cHeader = false;
    bool lastW3cHeaderHadBytes = true;
    // Set by a reader that refuses a line.
    RejectReason reject = RejectReason::None;
    // Set when each record is used up before the next line is read and while its line is still
    // mapped: the common, combined and comma readers then leave fields pointing into the line.
    bool referToLine = false;
    // The last dated minute of the bracketed readers ("dd/Mon/yyyy:hh:mm") and what it reads as.
    char minute[17] = {};
    bool minuteKnown = false;
    std::int64_t minuteTime = 0;
    std::int32_t minuteHour = 0;
    std::int32_t minuteWeekday = 0;
    decltype(ReaderOptions::timeOffsetHours) minuteOffset = 0;
};

// Capabilities of a format code (for code 4, from the current field map).
Capabilities capabilitiesFor(int format, const W3cFieldMap& map);

// Detects the format from a file's first bytes (at most the first 10000 are looked at).
// Returns 0..7; fills `map` when it finds a field directive. The blank and comma counts decide
// for a file whose lines all read under the format they point to; otherwise the format under
// which most of the window's lines read wins, so a few stray lines cannot sway it. `options`
// are the ones the file will be read with (they decide which dates read).
int detectFormat(std::string_view sniff, W3cFieldMap& map, const ReaderOptions& options = {});

// Parses one "#Fields: ..." directive line (from "#Fields:" up to, not including, the line end)
// into `map`. Returns 4, 5 or 6 as detection does; `map.usable` is true only for 4.
int parseW3cFields(std::string_view directive, W3cFieldMap& map);

// Applies a "#" line met inside a file of `format`. In W3C logs a "#Fields: " directive replaces
// the field map (and the capabilities) and a "#Date: " directive the date text for the lines
// after it; other "#" lines are comments.
void applyDirective(int format, std::string_view line, ReaderState& state);

// Takes the date of the first "#Date: " directive in `text`. False when there is none usable.
bool readW3cDate(std::string_view text, ReaderState& state);

// Reads one line (its bytes up to, not including, its CR or LF) into `rec`. Returns the number
// of bytes consumed, or 0 when the line does not fit the format; `state.reject` then says why.
using LineReader = std::size_t (*)(ReaderState& state, const char* line, std::size_t length,
                                   LogRecord& rec);
std::size_t readCommonLine(ReaderState&, const char*, std::size_t, LogRecord&);
std::size_t readCombinedLine(ReaderState&, const char*, std::size_t, LogRecord&);
std::size_t readLooseLine(ReaderState&, const char*, std::size_t, LogRecord&);
std::size_t readIisCommaLine(ReaderState&, const char*, std::size_t, LogRecord&);
std::size_t readIisCommaExtendedLine(ReaderState&, const char*, std::size_t, LogRecord&);
std::size_t readW3cLine(ReaderState&, const char*, std::size_t, LogRecord&);
std::size_t readAgentLine(ReaderState&, const char*, std::size_t, LogRecord&);
std::size_t readRefererLine(ReaderState&, const char*, std::size_t, LogRecord&);

// The reader of a format code, or nullptr for codes that have none (5, 6, 10).
LineReader readerFor(int format);

// The path of a companion log of the multi-file layout: the first "access" of the file name
// replaced by `word` ("referer" or "agent"). Empty when the name holds no "access" or the result
// would exceed 500 characters.
std::string companionFileName(std::string_view accessPath, std::string_view word);

// Byte classes. Field bytes are 0x21..0x7E and 0x80..0xFF; line bytes add the blank. Control
// bytes and DEL end a line.
inline bool isFieldByte(unsigned char c) {
    return c > 0x20 && c != 0x7F;
}
inline bool isLineByte(unsigned char c) {
    return c >= 0x20 && c != 0x7F;
}

}  // namespace tw::ingest
