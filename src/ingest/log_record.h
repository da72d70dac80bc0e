#pragma once
// The log record: one parsed request line, filled by a line reader and read by the per-record
// analysis. Records live in a fixed array of kSlotCount preallocated slots; a reader copies text
// into the slot's own buffers, so a record stays valid after the mapped window it came from is
// gone. Where every record is analysed before its window goes (one record at a time), a reader
// may instead leave a field pointing into the line: the copy is then the only one not made.
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

namespace tw::ingest {

inline constexpr int kSlotCount = 64;
inline constexpr int kFieldCapacity = 10000;          // bytes per text buffer, NUL included
inline constexpr int kFieldMax = kFieldCapacity - 1;  // longest text stored

struct TextField {
    std::int32_t length = 0;
    // The text's bytes when they are not in `text` but in the line (refer()); null otherwise.
    const char* outside = nullptr;
    char text[kFieldCapacity] = {};

    std::string_view view() const {
        return {outside != nullptr ? outside : text, static_cast<std::size_t>(length)};
    }
    // Copies at most kFieldMax bytes; the rest of an over-long field is dropped.
    void assign(const char* src, std::size_t n) {
        if (n > static_cast<std::size_t>(kFieldMax)) n = kFieldMax;
        std::memcpy(text, src, n);
        text[n] = '\0';
        length = static_cast<std::int32_t>(n);
        outside = nullptr;
    }
    void assign(std::string_view s) { assign(s.data(), s.size()); }
    // Points at most kFieldMax bytes of `src`, which must outlive every use of the record.
    void refer(const char* src, std::size_t n) {
        if (n > static_cast<std::size_t>(kFieldMax)) n = kFieldMax;
        outside = src;
        length = static_cast<std::int32_t>(n);
    }
};

// Which field groups a record carries; taken from the file (and, in W3C logs, the field
// directive) the record came from, and stamped on every record so a worker analysing a late
// record of one file never sees the next file's flags.
struct Capabilities {
    bool hasAccessData = false;
    bool hasReferrer = false;
    bool hasAgent = false;
    bool refererLogMode = false;
    friend bool operator==(const Capabilities&, const Capabilities&) = default;
};

enum Method : std::int32_t { kMethodGet = 0, kMethodHead = 1, kMethodPost = 2 };

// Time markers.
inline constexpr std::int64_t kTimeUnusable = 0;  // empty or over-long date text
inline constexpr std::int64_t kTimeYearOutOfRange = -1;

struct LogRecord {
    // Hour 0..23 and weekday 0..6 (0 = Sunday) of `time`. Both are -1 when the date text is
    // empty or over-long; a year out of range keeps the logged hour (plus the offset) but has
    // weekday -1. The hour and weekday buckets skip -1.
    std::int32_t hour = -1;
    std::int32_t weekday = -1;
    // The logged wall-clock date and time plus the run's time offset, counted in seconds since
    // 1970 as if it were UTC. 0 or -1 are the markers above.
    std::int64_t time = 0;
    std::int32_t method = kMethodGet;
    TextField host;
    TextField url;
    TextField referrer;
    TextField agent;
    TextField user;
    TextField serverIp;
    std::uint64_t bytes = 0;
    std::int32_t status = 0;
    Capabilities caps;
    // The record's place among the records of its run, in line order: workers in parallel mode
    // apply their records in this order.
    std::uint64_t sequence = 0;

    // False when `time` is one of the markers: such a record belongs to no day and no period.
    bool dated() const { return weekday >= 0; }
};

// The fixed slot array of a run. Heap-allocated once per pipeline (it is ~3.8 MB).
using SlotArray = std::array<LogRecord, kSlotCount>;
inline std::unique_ptr<SlotArray> makeSlots() {
    return std::make_unique<SlotArray>();
}

}  // namespace tw::ingest
