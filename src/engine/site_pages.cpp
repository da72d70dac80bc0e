#include "engine/site_pages.h"

#include <cstring>
#include <memory>

namespace tw::engine {

namespace {

// The arena hands out unaligned bytes; the link array needs a Text's alignment.
Text* allocateLinks(StringArena& arena, std::size_t count) {
    if (count == 0) return nullptr;
    std::size_t bytes = count * sizeof(Text) + alignof(Text);
    char* raw = arena.allocate(bytes);
    if (!raw) return nullptr;
    void* p = raw;
    if (!std::align(alignof(Text), count * sizeof(Text), p, bytes)) return nullptr;
    return static_cast<Text*>(p);
}

bool copyText(StringArena& arena, std::string_view s, Text& out) {
    out = s.empty() ? Text{} : arena.copy(s);
    return s.empty() || out.data != nullptr;
}

}  // namespace

SerialiseStatus SitePageKind::write(ArchiveWriter& out, const Item& i) {
    bool fits = ArchiveWriter::fitsCountedText(i.url.view()) &&
                ArchiveWriter::fitsCountedText(i.title.view());
    for (std::uint32_t k = 0; fits && k < i.linkCount; ++k)
        fits = ArchiveWriter::fitsCountedText(i.links[k].view());
    if (!fits) return SerialiseStatus::Skipped;
    out.text(i.url.view());
    out.text(i.title.view());
    out.u32(i.linkCount);
    for (std::uint32_t k = 0; k < i.linkCount; ++k) out.text(i.links[k].view());
    return SerialiseStatus::Ok;
}

SerialiseStatus SitePageKind::read(ArchiveReader& in, StringArena& arena, Item& i) {
    std::string_view url, title;
    std::uint32_t count;
    if (!in.text(url) || !in.text(title) || !in.u32(count)) return SerialiseStatus::Failed;
    // Every link takes at least its 4-byte length: a count the rest of the file cannot hold
    // is damage, and must not size an allocation.
    if (count > in.remaining() / 4) return SerialiseStatus::Failed;
    Text* links = allocateLinks(arena, count);
    if (count != 0 && !links) return SerialiseStatus::Failed;
    for (std::uint32_t k = 0; k < count; ++k) {
        std::string_view link;
        if (!in.text(link) || !copyText(arena, link, links[k])) return SerialiseStatus::Failed;
    }
    if (!copyText(arena, url, i.url) || !copyText(arena, title, i.title))
        return SerialiseStatus::Failed;
    i.linkCount = count;
    i.links = links;
    return SerialiseStatus::Ok;
}

bool addSitePage(SitePageTable& table, StringArena& arena, std::string_view url,
                 std::string_view title, const std::vector<std::string_view>& links) {
    SitePageKind::Item item;
    Text* array = allocateLinks(arena, links.size());
    if (!links.empty() && !array) return false;
    for (std::size_t k = 0; k < links.size(); ++k)
        if (!copyText(arena, links[k], array[k])) return false;
    if (!copyText(arena, url, item.url) || !copyText(arena, title, item.title)) return false;
    item.linkCount = static_cast<std::uint32_t>(links.size());
    item.links = array;
    table.insertOrMerge(item);
    return true;
}

const SitePageKind::Item* findSitePage(const SitePageTable& table, std::string_view url) {
    const SitePageKind::Item* found = nullptr;
    SitePageKind::Item probe;
    probe.url = borrowed(url);
    table.forEachInChain(SitePageKind::hash(probe), [&](const SitePageKind::Item& i) {
        if (!found && SitePageKind::equals(i, probe)) found = &i;
    });
    return found;
}

}  // namespace tw::engine
