#pragma once
// The site page table: one record per page the site crawl read, with its title and the
// on-site links found on it, keyed by the page URL (byte-exact; the crawl folds case first
// when it should). The hyperlink tree is built from it; the saved report keeps it whole.
//
// Texts and the link array live in the run's string arena, like every other table's texts.
#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/archive.h"
#include "engine/lookup2.h"
#include "engine/stat_table.h"
#include "engine/string_arena.h"

namespace tw::engine {

struct SitePageKind {
    struct Item {
        Text url;
        Text title;  // empty when the page has none
        std::uint32_t linkCount = 0;
        const Text* links = nullptr;  // linkCount texts, in the order the page gave them
    };
    struct Totals {};
    static constexpr std::uint32_t kBuckets = 1000;

    static std::uint32_t hash(const Item& i) { return lookup2(i.url.view()); }
    static bool equals(const Item& a, const Item& b) { return a.url.view() == b.url.view(); }
    // A page is read once per crawl; a second record of it (a damaged saved file) adds
    // nothing to the one already there.
    static void merge(Item&, const Item&, Totals&) {}
    static void onInsert(Item&, const Item&, Totals&) {}

    // URL, title, an int32 link count, then each link. A page with a text a reader would
    // refuse is skipped whole rather than written.
    static SerialiseStatus write(ArchiveWriter& out, const Item& i);
    static SerialiseStatus read(ArchiveReader& in, StringArena& arena, Item& i);
};

using SitePageTable = StatTable<SitePageKind>;

// Copies a page's texts and link array into `arena` and records it. False when the arena is
// exhausted (nothing is recorded then).
bool addSitePage(SitePageTable& table, StringArena& arena, std::string_view url,
                 std::string_view title, const std::vector<std::string_view>& links);

// The record of `url`, or null.
const SitePageKind::Item* findSitePage(const SitePageTable& table, std::string_view url);

}  // namespace tw::engine
