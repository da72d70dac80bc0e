#pragma once
// The item kinds of the statistics tables: each names its key, its counters and its merge rule.
// Texts point into the run's string arena.
#include <cstdint>
#include <string_view>

#include "engine/lookup2.h"
#include "engine/string_arena.h"
#include "ingest/text_search.h"

namespace tw::engine {

using ingest::equalsIgnoringCase;

struct NoTotals {};

// A host: a gap of more than 1800 seconds between two of its requests starts a new visit.
struct VisitorKind {
    struct Item {
        Text host;
        std::uint64_t hits = 0;
        std::uint64_t visits = 0;
        std::uint64_t bytes = 0;
        std::int64_t lastSeen = 0;
    };
    struct Totals {
        std::uint64_t visits = 0;
        std::uint64_t hits = 0;
    };
    static constexpr std::int64_t kVisitGap = 1800;
    static std::uint32_t hash(const Item& i) { return lookup2(i.host.view()); }
    static bool equals(const Item& a, const Item& b) { return a.host.view() == b.host.view(); }
    static void merge(Item& s, const Item& in, Totals& t) {
        ++s.hits;
        s.bytes += in.bytes;
        if (in.lastSeen - s.lastSeen > kVisitGap) {
            ++s.visits;
            ++t.visits;
        }
        s.lastSeen = in.lastSeen;
        ++t.hits;
    }
    static void onInsert(Item& s, const Item&, Totals& t) {
        s.hits = 1;
        s.visits = 1;
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
        s.bytes += in.bytes;
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
        s.bytes += in.bytes;
    }
    static void onInsert(Item&, const Item&, Totals&) {}
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

}  // namespace tw::engine
