#pragma once
// The item kinds of the statistics tables: each names its key, its counters and its merge rule.
// Texts point into the run's string arena.
#include <cstdint>
#include <deque>
#include <string_view>
#include <vector>

#include "engine/archive.h"
#include "engine/lookup2.h"
#include "engine/stat_table.h"
#include "engine/string_arena.h"
#include "ingest/text_search.h"

namespace tw::engine {

using ingest::equalsIgnoringCase;

struct NoTotals {};

// Byte sums stop at the largest count instead of wrapping: a total that wrapped would show a
// small or negative figure where the true one is enormous.
inline std::uint64_t saturatingAdd(std::uint64_t a, std::uint64_t b) {
    const std::uint64_t sum = a + b;
    return sum < a ? UINT64_MAX : sum;
}

// Serialise helpers: a text is read into the arena; one that no longer fits there fails the
// read, as a short file does.
inline bool readText(ArchiveReader& in, StringArena& arena, Text& t) {
    std::string_view s;
    if (!in.text(s)) return false;
    t = arena.copy(s);
    return s.empty() || t.data != nullptr;
}

// A host: a gap of more than 1800 seconds between two of its requests starts a new visit.
struct VisitorKind {
    struct Item {
        Text host;
        std::uint64_t hits = 0;
        std::uint64_t visits = 0;
        std::uint64_t bytes = 0;
        std::int64_t lastSeen = 0;
        std::int64_t firstSeen = 0;  // the time of the first request this table took
    };
    // A visit that one range of a log started after a request of its own: whether it is a visit
    // of the whole log depends on the requests of the ranges before, which only the merge knows.
    struct EarlyVisit {
        const Item* item;
        std::int64_t before;  // the latest request of the item in this range before the visit
        std::int64_t at;
    };
    struct Totals {
        std::uint64_t visits = 0;
        std::uint64_t hits = 0;
        // Visits started after a request earlier than this are noted in `early` (a table that
        // reads a later range of a log); a whole-log table notes none.
        std::int64_t earlyLimit = INT64_MIN;
        std::vector<EarlyVisit> early;
    };
    static constexpr std::int64_t kVisitGap = 1800;
    static std::uint32_t hash(const Item& i) { return lookup2(i.host.view()); }
    static bool equals(const Item& a, const Item& b) { return a.host.view() == b.host.view(); }
    static void merge(Item& s, const Item& in, Totals& t) {
        ++s.hits;
        s.bytes = saturatingAdd(s.bytes, in.bytes);
        if (in.lastSeen - s.lastSeen > kVisitGap) {
            ++s.visits;
            ++t.visits;
            if (s.lastSeen < t.earlyLimit) t.early.push_back({&s, s.lastSeen, in.lastSeen});
        }
        // The latest request, not the last one read: an earlier line met late (files read
        // out of order, a proxy's delayed write) neither moves the last access back nor lets
        // the next request start a visit that is still going on.
        if (in.lastSeen > s.lastSeen) s.lastSeen = in.lastSeen;
        ++t.hits;
    }
    static void onInsert(Item& s, const Item& in, Totals& t) {
        s.hits = 1;
        s.visits = 1;
        s.firstSeen = in.lastSeen;
        ++t.visits;
        ++t.hits;
    }
};

// A page, image, other file or directory.
struct RequestedFileKind {
    struct Item {
        Text url;
        std::uint64_t hits = 0;
        std::uint64_t partial = 0;  // requests answered 206
        std::uint64_t bytes = 0;
    };
    using Totals = NoTotals;
    static std::uint32_t hash(const Item& i) { return lookup2(i.url.view()); }
    static bool equals(const Item& a, const Item& b) { return a.url.view() == b.url.view(); }
    static void merge(Item& s, const Item& in, Totals&) {
        ++s.hits;
        s.partial += in.partial;
        s.bytes = saturatingAdd(s.bytes, in.bytes);
    }
    static void onInsert(Item&, const Item&, Totals&) {}
};

// A text counted ignoring letter case; the hash folds case too, so equal texts always meet.
struct TextHitsKind {
    struct Item {
        Text text;
        std::uint64_t hits = 0;
    };
    using Totals = NoTotals;
    static std::uint32_t hash(const Item& i) { return lookup2Folded(i.text.view()); }
    static bool equals(const Item& a, const Item& b) {
        return equalsIgnoringCase(a.text.view(), b.text.view());
    }
    static void merge(Item& s, const Item&, Totals&) { ++s.hits; }
    static void onInsert(Item&, const Item&, Totals&) {}
};

struct ErrorRequestKind {
    struct Item {
        Text url;
        std::int32_t status = 0;
        std::uint64_t hits = 0;
    };
    using Totals = NoTotals;
    static std::uint32_t hash(const Item& i) { return lookup2Folded(i.url.view()); }
    static bool equals(const Item& a, const Item& b) {
        return a.status == b.status && equalsIgnoringCase(a.url.view(), b.url.view());
    }
    static void merge(Item& s, const Item&, Totals&) { ++s.hits; }
    static void onInsert(Item&, const Item&, Totals&) {}
};

struct TextPairKind {
    struct Item {
        Text first;
        Text second;
        std::uint64_t hits = 0;
    };
    using Totals = NoTotals;
    static std::uint32_t hash(const Item& i) {
        return lookup2(i.second.view()) + lookup2(i.first.view());
    }
    static bool equals(const Item& a, const Item& b) {
        return a.first.view() == b.first.view() && a.second.view() == b.second.view();
    }
    static void merge(Item& s, const Item& in, Totals&) { s.hits += in.hits; }
    static void onInsert(Item&, const Item&, Totals&) {}

    // An item whose text a reader would refuse is skipped rather than written: it would end
    // the reading of everything after it.
    static SerialiseStatus write(ArchiveWriter& out, const Item& i) {
        if (!ArchiveWriter::fitsCountedText(i.first.view()) ||
            !ArchiveWriter::fitsCountedText(i.second.view()))
            return SerialiseStatus::Skipped;
        out.text(i.first.view());
        out.text(i.second.view());
        out.u64(i.hits);
        return SerialiseStatus::Ok;
    }
    static SerialiseStatus read(ArchiveReader& in, StringArena& arena, Item& i) {
        if (!readText(in, arena, i.first) || !readText(in, arena, i.second) || !in.u64(i.hits))
            return SerialiseStatus::Failed;
        return SerialiseStatus::Ok;
    }
};

struct SearchKind {
    struct Item {
        Text recorded;  // as logged, folded per CaseSensitive
        Text lowered;
        Text engine;
        std::uint64_t hits = 0;
    };
    using Totals = NoTotals;
    static std::uint32_t hash(const Item& i) {
        return lookup2(i.engine.view()) + lookup2(i.lowered.view());
    }
    static bool equals(const Item& a, const Item& b) {
        return a.lowered.view() == b.lowered.view() && a.engine.view() == b.engine.view();
    }
    static void merge(Item& s, const Item&, Totals&) { ++s.hits; }
    static void onInsert(Item&, const Item&, Totals&) {}
};

struct DayKind {
    struct Item {
        std::int64_t day = 0;  // days since 1970 in the log's time frame
        std::uint64_t hits = 0;
        std::uint64_t bytes = 0;
    };
    using Totals = NoTotals;
    static std::uint32_t hash(const Item& i) { return static_cast<std::uint32_t>(i.day); }
    static bool equals(const Item& a, const Item& b) { return a.day == b.day; }
    static void merge(Item& s, const Item& in, Totals&) {
        ++s.hits;
        s.bytes = saturatingAdd(s.bytes, in.bytes);
    }
    static void onInsert(Item&, const Item&, Totals&) {}

    static SerialiseStatus write(ArchiveWriter& out, const Item& i) {
        out.u64(i.bytes);
        out.u64(i.hits);
        out.i32(static_cast<std::int32_t>(i.day));
        return SerialiseStatus::Ok;
    }
    static SerialiseStatus read(ArchiveReader& in, StringArena&, Item& i) {
        std::int32_t day;
        if (!in.u64(i.bytes) || !in.u64(i.hits) || !in.i32(day)) return SerialiseStatus::Failed;
        i.day = day;
        return SerialiseStatus::Ok;
    }
};

struct AuthUserKind {
    struct Item {
        Text user;
        std::uint64_t hits = 0;
        std::int64_t lastAccess = 0;
        Text lastHost;
    };
    using Totals = NoTotals;
    static std::uint32_t hash(const Item& i) { return lookup2(i.user.view()); }
    static bool equals(const Item& a, const Item& b) { return a.user.view() == b.user.view(); }
    static void merge(Item& s, const Item& in, Totals&) {
        s.hits += in.hits;
        s.lastAccess = in.lastAccess;
        s.lastHost = in.lastHost;
    }
    static void onInsert(Item&, const Item&, Totals&) {}
};

// A user-agent text as logged, for the client reports: which browser, system, device or robot
// it is gets worked out once per distinct text after the run, not once per request. Visits are
// credited by the analysis, which knows when a request starts one.
struct AgentKind {
    struct Item {
        Text agent;
        std::uint64_t hits = 0;
        std::uint64_t visits = 0;
        std::uint64_t bytes = 0;
        std::int64_t lastSeen = 0;
    };
    using Totals = NoTotals;
    static std::uint32_t hash(const Item& i) { return lookup2(i.agent.view()); }
    static bool equals(const Item& a, const Item& b) { return a.agent.view() == b.agent.view(); }
    static void merge(Item& s, const Item& in, Totals&) {
        s.hits += in.hits;
        s.bytes = saturatingAdd(s.bytes, in.bytes);
        if (in.lastSeen > s.lastSeen) s.lastSeen = in.lastSeen;
    }
    static void onInsert(Item&, const Item&, Totals&) {}
};

// A sub-item of a grouped report: a text counted ignoring case, as text-with-hits items are, but
// carrying the hits of the pair it came from.
struct GroupSubKind {
    using Item = TextHitsKind::Item;
    using Totals = NoTotals;
    static constexpr std::uint32_t kBuckets = 15;
    static std::uint32_t hash(const Item& i) { return TextHitsKind::hash(i); }
    static bool equals(const Item& a, const Item& b) { return TextHitsKind::equals(a, b); }
    static void merge(Item& s, const Item& in, Totals&) { s.hits += in.hits; }
    static void onInsert(Item&, const Item&, Totals&) {}

    static SerialiseStatus write(ArchiveWriter& out, const Item& i) {
        if (!ArchiveWriter::fitsCountedText(i.text.view())) return SerialiseStatus::Skipped;
        out.text(i.text.view());
        out.u64(i.hits);
        return SerialiseStatus::Ok;
    }
    static SerialiseStatus read(ArchiveReader& in, StringArena& arena, Item& i) {
        if (!readText(in, arena, i.text) || !in.u64(i.hits)) return SerialiseStatus::Failed;
        return SerialiseStatus::Ok;
    }
};

// A page with the referrers that led to it, or a missing URL with the pages that link to it:
// built after the run from a text-pair table, keyed by the pair's second text.
struct GroupedKind {
    using SubTable = StatTable<GroupSubKind>;
    struct Item {
        Text text;
        Text companion;  // the first text of the pair that created the item
        std::uint64_t hits = 0;
        SubTable* sub = nullptr;  // owned by the table's totals
    };
    struct Totals {
        std::deque<SubTable> subTables;  // a deque: sub-tables hold a lock and never move
    };
    static std::uint32_t hash(const Item& i) { return lookup2(i.text.view()); }
    static bool equals(const Item& a, const Item& b) { return a.text.view() == b.text.view(); }
    // The incoming item is a pair seen as a group of one: its companion is the pair's first
    // text, which joins the sub-table with the pair's hits.
    static void merge(Item& s, const Item& in, Totals&) {
        s.hits += in.hits;
        s.sub->insertOrMerge({in.companion, in.hits});
    }
    static void onInsert(Item& s, const Item& in, Totals& t) {
        s.sub = &t.subTables.emplace_back(GroupSubKind::kBuckets);
        s.sub->insertOrMerge({in.companion, in.hits});
    }
};

}  // namespace tw::engine
