#include "document/saved_report.h"

#include <algorithm>
#include <array>
#include <limits>

#include "engine/table_archive.h"
#include "platform/strings.h"

namespace tw::document {
namespace {

using engine::ArchiveReader;
using engine::ArchiveWriter;
using engine::Text;

// The file's time fields are 32-bit: "no record seen" is their largest value.
constexpr std::int32_t kNoEarliestInFile = std::numeric_limits<std::int32_t>::max();
constexpr std::string_view kOldDefaultPage = "index.html";
// The counts after the last section, each behind its tag, in this order. Every writer since
// the counts were kept writes all of them; a file of an earlier writer has none.
struct TaggedCount {
    std::string_view tag;
    std::uint64_t engine::GeneralCounters::*count;
};
constexpr std::array<TaggedCount, 3> kTaggedCounts = {{
    {"RJCT", &engine::GeneralCounters::rejectedLines},
    {"RCRD", &engine::GeneralCounters::recordLines},
    {"RBOT", &engine::GeneralCounters::robotsLeftOut},
}};
// How many of them each version's writer wrote.
constexpr std::size_t kVersion9Counts = 2;
// The sections of version 10 after the counts, each behind its tag.
constexpr std::string_view kBytesTag = "BYTE";
constexpr std::string_view kRecentTag = "RCNT";
constexpr std::string_view kClientsTag = "CLNT";

// The class counters in the order the file keeps them, named by their row labels so that the
// file never depends on the order of the classes in memory.
constexpr std::array<std::string_view, 4> kIeBrowsers = {"IE 2.x", "IE 3.x", "IE 4.x", "IE 5.x"};
constexpr std::array<std::string_view, 1> kOpera = {"Opera"};
constexpr std::array<std::string_view, 7> kOtherBrowsers = {
    "Navigator 2.x", "Navigator 3.x", "Navigator 4.x", "Navigator 5.x",
    "NCSA Mosaic",   "Lynx",          "Other"};
constexpr std::array<std::string_view, 5> kWindowsSystems = {
    "Windows 3.1", "Windows 95", "Windows 98", "Windows NT", "Windows CE"};
constexpr std::array<std::string_view, 5> kOtherSystems = {"Macintosh", "Linux", "OS/2", "WebTV",
                                                           "Other"};
constexpr std::array<std::string_view, 4> kUnixSystems = {"OSF1", "IRIX", "SunOS", "HP-UX"};

// The smallest encoded size of one item of each array encoding: no array count larger than the
// bytes left allow is believed.
constexpr std::size_t kVisitorBytes = 4 + 8 + 8 + 4;
constexpr std::size_t kFileBytes = 4 + 8 + 8;
constexpr std::size_t kErrorBytes = 4 + 8 + 4;
constexpr std::size_t kTextHitsBytes = 4 + 8;
constexpr std::size_t kSearchBytes = 4 + 4 + 4 + 8;
constexpr std::size_t kGroupedBytes = 4 + 4 + 8 + 4;
constexpr std::size_t kDayBytes = 8 + 8 + 4;
constexpr std::size_t kTrackedBytes = 4 + 4 + 4;
constexpr std::size_t kUserBytes = 4 + 8 + 4 + 4;
constexpr std::size_t kRecentBytes = 4 + 8 + 8 + 8 + 8;
constexpr std::size_t kClientRowBytes = 4 + 8 + 8 + 8 + 8;

// Null for a label the classes do not have (the counter is then written as 0 and not read).
template <typename Counters, std::size_t M>
auto counterOf(Counters& counters, const std::array<int, M>& labels, std::string_view label)
    -> decltype(&counters[0]) {
    for (std::size_t i = 0; i < M && i < counters.size(); ++i)
        if (platform::text(labels[i]) == label) return &counters[i];
    return nullptr;
}

// ---- writing ----

class SectionWriter {
  public:
    // A text too long for any reader is cut rather than dropped: the array keeps its count and
    // the file stays readable to the end.
    void text(std::string_view s) { out.text(s.substr(0, engine::kMaxCountedText)); }
    void text(Text t) { text(t.view()); }
    void time(std::int64_t t) { out.i32(static_cast<std::int32_t>(t)); }
    void count(std::size_t n) { out.i32(static_cast<std::int32_t>(n)); }

    template <std::size_t N, std::size_t M, std::size_t K>
    void counters(const std::array<std::uint64_t, N>& values, const std::array<int, M>& labels,
                  const std::array<std::string_view, K>& order) {
        for (std::string_view label : order) {
            const std::uint64_t* c = counterOf(values, labels, label);
            out.u64(c ? *c : 0);
        }
    }

    void items(const std::vector<engine::VisitorKind::Item>& v) {
        count(v.size());
        for (const auto& i : v) {
            text(i.host);
            out.u64(i.hits);
            out.u64(i.visits);
            time(i.lastSeen);
        }
    }
    void items(const std::vector<engine::RequestedFileKind::Item>& v) {
        count(v.size());
        for (const auto& i : v) {
            text(i.url);
            out.u64(i.hits);
            out.u64(i.partial);
        }
    }
    void items(const std::vector<engine::ErrorRequestKind::Item>& v) {
        count(v.size());
        for (const auto& i : v) {
            text(i.url);
            out.u64(i.hits);
            out.i32(i.status);
        }
    }
    void items(const std::vector<engine::TextHitsKind::Item>& v) {
        count(v.size());
        for (const auto& i : v) {
            text(i.text);
            out.u64(i.hits);
        }
    }
    void items(const std::vector<engine::SearchKind::Item>& v) {
        count(v.size());
        for (const auto& i : v) {
            text(i.recorded);
            text(i.lowered);
            text(i.engine);
            out.u64(i.hits);
        }
    }
    void items(const std::vector<engine::GroupedItem>& v) {
        count(v.size());
        for (const auto& i : v) {
            text(i.text);
            text(i.companion);
            out.u64(i.hits);
            items(i.sub);
        }
    }
    void items(const std::vector<engine::DayKind::Item>& v) {
        count(v.size());
        for (const auto& i : v) engine::DayKind::write(out, i);
    }
    void items(const std::vector<engine::AuthUserKind::Item>& v) {
        count(v.size());
        for (const auto& i : v) {
            text(i.user);
            out.u64(i.hits);
            time(i.lastAccess);
            text(i.lastHost);
        }
    }

    // The byte counts of items whose other fields a section already holds, in its order.
    template <typename Item>
    void bytesOf(const std::vector<Item>& v) {
        count(v.size());
        for (const auto& i : v) out.u64(i.bytes);
    }
    void recent(const std::vector<const engine::VisitorKind::Item*>& entries) {
        count(entries.size());
        for (const auto* v : entries) {
            text(v->host);
            out.u64(v->hits);
            out.u64(v->visits);
            out.u64(v->bytes);
            out.u64(static_cast<std::uint64_t>(v->lastSeen));
        }
    }
    void rows(const std::vector<engine::ClientRow>& v) {
        count(v.size());
        for (const auto& r : v) {
            text(r.name);
            out.u64(r.hits);
            out.u64(r.visits);
            out.u64(r.bytes);
            out.u64(static_cast<std::uint64_t>(r.lastSeen));
        }
    }
    void clients(const engine::ClientReports& c) {
        out.i32(c.rulesRead ? 1 : 0);
        text(c.problem);
        out.u64(c.agentHits);
        out.u64(c.robotHits);
        out.u64(c.distinctAgents);
        out.u64(c.classifiedAgents);
        rows(c.browsers);
        rows(c.systems);
        rows(c.devices);
        rows(c.robots);
    }

    ArchiveWriter out;
};

// ---- reading ----

class SectionReader {
  public:
    SectionReader(std::string_view bytes, engine::Statistics& stats)
        : in(bytes), arena_(stats.arena) {}

    bool text(Text& t) { return engine::readText(in, arena_, t); }
    bool text(std::string& s) {
        std::string_view v;
        if (!in.text(v)) return false;
        s.assign(v);
        return true;
    }
    bool time(std::int64_t& t) {
        std::int32_t v;
        if (!in.i32(v)) return false;
        t = v;
        return true;
    }
    bool flag(bool& b) {
        std::int32_t v;
        if (!in.i32(v)) return false;
        b = v != 0;
        return true;
    }
    // An item count that the bytes left could actually hold.
    bool count(std::size_t itemBytes, std::size_t& n) {
        std::int32_t c;
        if (!in.i32(c) || c < 0) return false;
        n = static_cast<std::size_t>(c);
        return n <= in.remaining() / itemBytes;
    }

    template <std::size_t N, std::size_t M, std::size_t K>
    bool counters(std::array<std::uint64_t, N>& values, const std::array<int, M>& labels,
                  const std::array<std::string_view, K>& order) {
        for (std::string_view label : order) {
            std::uint64_t v;
            if (!in.u64(v)) return false;
            if (std::uint64_t* c = counterOf(values, labels, label)) *c = v;
        }
        return true;
    }

    template <typename Item, typename ReadOne>
    bool array(std::vector<Item>& out, std::size_t itemBytes, ReadOne&& readOne) {
        std::size_t n;
        if (!count(itemBytes, n)) return false;
        out.reserve(n);
        for (std::size_t k = 0; k < n; ++k) {
            Item item{};
            if (!readOne(item)) return false;
            out.push_back(std::move(item));
        }
        return true;
    }

    bool items(std::vector<engine::VisitorKind::Item>& v) {
        return array(v, kVisitorBytes, [&](engine::VisitorKind::Item& i) {
            return text(i.host) && in.u64(i.hits) && in.u64(i.visits) && time(i.lastSeen);
        });
    }
    bool items(std::vector<engine::RequestedFileKind::Item>& v) {
        return array(v, kFileBytes, [&](engine::RequestedFileKind::Item& i) {
            return text(i.url) && in.u64(i.hits) && in.u64(i.partial);
        });
    }
    bool items(std::vector<engine::ErrorRequestKind::Item>& v) {
        return array(v, kErrorBytes, [&](engine::ErrorRequestKind::Item& i) {
            return text(i.url) && in.u64(i.hits) && in.i32(i.status);
        });
    }
    bool items(std::vector<engine::TextHitsKind::Item>& v) {
        return array(v, kTextHitsBytes,
                     [&](engine::TextHitsKind::Item& i) { return text(i.text) && in.u64(i.hits); });
    }
    bool items(std::vector<engine::SearchKind::Item>& v) {
        return array(v, kSearchBytes, [&](engine::SearchKind::Item& i) {
            return text(i.recorded) && text(i.lowered) && text(i.engine) && in.u64(i.hits);
        });
    }
    bool items(std::vector<engine::GroupedItem>& v) {
        return array(v, kGroupedBytes, [&](engine::GroupedItem& i) {
            return text(i.text) && text(i.companion) && in.u64(i.hits) && items(i.sub);
        });
    }
    bool items(std::vector<engine::DayKind::Item>& v) {
        return array(v, kDayBytes, [&](engine::DayKind::Item& i) {
            return engine::DayKind::read(in, arena_, i) == engine::SerialiseStatus::Ok;
        });
    }
    bool items(std::vector<engine::AuthUserKind::Item>& v) {
        return array(v, kUserBytes, [&](engine::AuthUserKind::Item& i) {
            return text(i.user) && in.u64(i.hits) && time(i.lastAccess) && text(i.lastHost);
        });
    }

    bool trackedFiles(SavedHeader& header, engine::Statistics& s, engine::Results& r) {
        std::size_t n;
        if (!count(kTrackedBytes, n)) return false;
        for (std::size_t k = 0; k < n; ++k) {
            std::string pattern;
            std::int32_t days, again;
            if (!text(pattern) || !in.i32(days) || !in.i32(again) || days != again) return false;
            header.trackFiles.push_back(pattern);
            engine::TrackedFile& t = s.tracked.emplace_back();
            t.pattern = pattern;
            t.wildcard = pattern.find_first_of("*?") != std::string::npos;
            std::vector<engine::DayKind::Item>& out = r.trackedDays.emplace_back();
            if (days < 0 || static_cast<std::size_t>(days) > in.remaining() / kDayBytes)
                return false;
            for (std::int32_t d = 0; d < days; ++d) {
                engine::DayKind::Item item{};
                if (engine::DayKind::read(in, arena_, item) != engine::SerialiseStatus::Ok)
                    return false;
                out.push_back(item);
            }
        }
        return true;
    }

    template <typename Item>
    bool bytesOf(std::vector<Item>& v) {
        std::size_t n;
        if (!count(8, n) || n != v.size()) return false;
        for (auto& i : v)
            if (!in.u64(i.bytes)) return false;
        return true;
    }
    bool i64(std::int64_t& t) {
        std::uint64_t v;
        if (!in.u64(v)) return false;
        t = static_cast<std::int64_t>(v);
        return true;
    }
    // The entries go into the visitors table, where the ring expects them to live.
    bool recent(engine::Statistics& s) {
        std::vector<engine::VisitorKind::Item> items;
        const bool ok = array(items, kRecentBytes, [&](engine::VisitorKind::Item& v) {
            return text(v.host) && in.u64(v.hits) && in.u64(v.visits) && in.u64(v.bytes) &&
                   i64(v.lastSeen);
        });
        if (!ok) return false;
        std::vector<const engine::VisitorKind::Item*> ring;
        for (const auto& v : items) {
            const auto r = s.visitors.insertOrMerge(v);
            if (!r.inserted) return false;  // one host twice: no writer made this
            *r.item = v;
            ring.push_back(r.item);
        }
        s.recent.restore(std::move(ring));
        return true;
    }
    bool rows(std::vector<engine::ClientRow>& v) {
        return array(v, kClientRowBytes, [&](engine::ClientRow& r) {
            return text(r.name) && in.u64(r.hits) && in.u64(r.visits) && in.u64(r.bytes) &&
                   i64(r.lastSeen);
        });
    }
    bool clients(engine::ClientReports& c) {
        return flag(c.rulesRead) && text(c.problem) && in.u64(c.agentHits) && in.u64(c.robotHits) &&
               in.u64(c.distinctAgents) && in.u64(c.classifiedAgents) && rows(c.browsers) &&
               rows(c.systems) && rows(c.devices) && rows(c.robots);
    }
    bool tag(std::string_view expected) {
        std::string_view t;
        return in.raw(expected.size(), t) && t == expected;
    }

    ArchiveReader in;

  private:
    engine::StringArena& arena_;
};

// False at the first section the file does not hold whole.
bool readSections(SectionReader& f, std::int32_t version, SavedHeader& header,
                  engine::Statistics& s, engine::Results& r, std::int64_t& runStart) {
    using engine::kBrowserLabels;
    using engine::kOsLabels;
    ArchiveReader& in = f.in;
    engine::GeneralCounters& c = s.counters;
    if (version < kSavedReportVersion) {
        r.clients.problem = platform::text(platform::sid::ClientsNotSaved);
        r.clients.kept = false;
    }
    if (!f.text(header.name) || !f.text(header.root) || !f.text(header.domain)) return false;
    if (!in.u64(c.pages) || !in.u64(c.images) || !in.u64(c.otherFiles)) return false;
    if (version < 7)
        header.defaultPage = kOldDefaultPage;
    else if (!f.text(header.defaultPage))
        return false;
    if (!f.flag(c.agentsSeen)) return false;
    if (!f.counters(s.browsers, kBrowserLabels, kIeBrowsers)) return false;
    if (version >= 10 && !f.counters(s.browsers, kBrowserLabels, kOpera))
        return false;
    if (!f.counters(s.browsers, kBrowserLabels, kOtherBrowsers) ||
        !f.counters(s.operatingSystems, kOsLabels, kWindowsSystems))
        return false;
    std::uint64_t obsolete;
    if (version <= 8 && !in.u64(obsolete)) return false;
    if (!f.counters(s.operatingSystems, kOsLabels, kOtherSystems)) return false;
    if (version >= 10 && !f.counters(s.operatingSystems, kOsLabels, kUnixSystems))
        return false;
    if (!in.u64(c.totalBytes) || !in.u64(c.cachedHits) || !in.u64(c.partial) || !in.u64(c.notFound))
        return false;

    if (!f.items(r.visitors) || !f.items(r.otherErrors) || !f.items(r.notFound) ||
        !f.items(r.referrerUrls) || !f.items(r.referringSites) || !f.items(r.referredPages) ||
        !f.items(r.pages) || !f.items(r.otherFiles) || !f.items(r.images) ||
        !f.items(r.directories) || !f.items(r.searchPhrases) || !f.items(r.searchKeywords) ||
        !f.items(r.searchEngines))
        return false;
    // The suffixes stand twice; the second copy is the one kept.
    std::vector<engine::TextHitsKind::Item> firstCopy;
    if (!f.items(firstCopy) || !f.items(r.domainSuffixes)) return false;
    if (!f.items(r.pagesByReferrer) || !f.items(r.brokenLinksByPage) || !f.items(r.days) ||
        !f.trackedFiles(header, s, r))
        return false;
    for (std::uint64_t& w : s.weekdays)
        if (!in.u64(w)) return false;
    for (std::uint64_t& h : s.hours)
        if (!in.u64(h)) return false;

    std::int32_t earliest;
    if (!f.time(runStart) || !in.i32(earliest) || !f.time(c.latest)) return false;
    c.earliest = earliest == kNoEarliestInFile ? engine::kNoEarliest : earliest;
    // The repeated totals are read over the first ones: a reader keeps the later copy.
    if (!in.u64(c.cachedHits) || !f.time(runStart) || !in.u64(c.partial) || !in.u64(c.notFound) ||
        !in.u64(c.totalBytes))
        return false;
    if (!in.u64(r.totalHits) || !in.u64(r.totalVisits) || !in.u64(r.distinctHosts)) return false;
    if (!f.flag(c.referrersSeen) || !f.flag(c.hostNamesSeen)) return false;
    // The ring's entries are not in the file, so its write index has nothing to point at.
    std::int32_t ringIndex;
    if (!in.i32(ringIndex)) return false;

    const bool transitions = engine::readTable(in, s.pageTransitions, s.arena);
    if (!transitions || !engine::readTable(in, s.sitePages, s.arena)) return false;
    if (version >= 8 && !f.items(r.users)) return false;
    return true;
}

// What follows the last section: every tagged count the version wrote, then (from version 10)
// the tagged sections, then the end. A file of an older writer ends at the section itself, and
// its counts stay 0. A newer program may keep more after what this one knows, and the user
// agreed to a file read in part: from version 11 on, the counts and sections are read as far
// as they match and whatever follows is left unread.
bool readTrailer(SectionReader& f, std::int32_t version, engine::Statistics& s,
                 engine::Results& r) {
    ArchiveReader& in = f.in;
    // A version-9 file of an older writer ends at its last section; a version-10 file never
    // does.
    if (version < 9) return in.atEnd();
    if (in.atEnd()) return version != kSavedReportVersion;
    std::size_t matched = 0;
    for (const TaggedCount& t : kTaggedCounts) {
        ArchiveReader next = in;
        std::string_view tag;
        std::uint64_t value = 0;
        if (!next.raw(t.tag.size(), tag) || tag != t.tag || !next.u64(value)) break;
        s.counters.*t.count = value;
        in = next;
        ++matched;
    }
    if (version == 9) return matched == kVersion9Counts && in.atEnd();
    const bool future = version >= kFirstFutureVersion;
    if (matched != kTaggedCounts.size()) return future;
    // A future file's section that does not match is left unread from its tag on.
    const auto section = [&](std::string_view tag, const auto& read) {
        const ArchiveReader start = f.in;
        if (f.tag(tag) && read(f)) return true;
        f.in = start;
        return false;
    };
    const bool whole = section(kBytesTag,
                               [&](SectionReader& t) {
                                   return t.bytesOf(r.visitors) && t.bytesOf(r.pages) &&
                                          t.bytesOf(r.otherFiles) && t.bytesOf(r.images) &&
                                          t.bytesOf(r.directories);
                               }) &&
                       section(kRecentTag, [&](SectionReader& t) { return t.recent(s); }) &&
                       section(kClientsTag, [&](SectionReader& t) { return t.clients(r.clients); });
    return future || (whole && f.in.atEnd());
}

bool readWhole(std::string_view bytes, SavedHeader& header, engine::Statistics& s,
               engine::Results& r, std::int64_t& runStart) {
    SectionReader f(bytes, s);
    std::int32_t version = 0;
    return f.in.i32(version) && readSections(f, version, header, s, r, runStart) &&
           readTrailer(f, version, s, r);
}

// The arena blocks of the trial read. A file never needs more arena than four times its size (a
// text takes its own length, a page's link array four times the length fields it is read from),
// so blocks of eight times the file hold it all in the first, and the trial runs out of room
// only where an engine of the usual block size would too; that size is the cap.
std::size_t trialBlockBytes(std::size_t fileBytes) {
    constexpr std::size_t kFloor = std::size_t{1} << 16;
    if (fileBytes >= engine::StringArena::kBlockBytes / 8) return engine::StringArena::kBlockBytes;
    return std::max(kFloor, 8 * fileBytes);
}

}  // namespace

std::string writeSavedReport(const SavedHeader& header, const engine::Statistics& s,
                             const engine::Results& r, std::int64_t runStart) {
    using engine::kBrowserLabels;
    using engine::kOsLabels;
    SectionWriter f;
    ArchiveWriter& out = f.out;
    const engine::GeneralCounters& c = s.counters;
    out.i32(kSavedReportVersion);
    f.text(header.name);
    f.text(header.root);
    f.text(header.domain);
    out.u64(c.pages);
    out.u64(c.images);
    out.u64(c.otherFiles);
    f.text(header.defaultPage);
    out.i32(c.agentsSeen ? 1 : 0);
    f.counters(s.browsers, kBrowserLabels, kIeBrowsers);
    f.counters(s.browsers, kBrowserLabels, kOpera);
    f.counters(s.browsers, kBrowserLabels, kOtherBrowsers);
    f.counters(s.operatingSystems, kOsLabels, kWindowsSystems);
    f.counters(s.operatingSystems, kOsLabels, kOtherSystems);
    f.counters(s.operatingSystems, kOsLabels, kUnixSystems);
    out.u64(c.totalBytes);
    out.u64(c.cachedHits);
    out.u64(c.partial);
    out.u64(c.notFound);

    f.items(r.visitors);
    f.items(r.otherErrors);
    f.items(r.notFound);
    f.items(r.referrerUrls);
    f.items(r.referringSites);
    f.items(r.referredPages);
    f.items(r.pages);
    f.items(r.otherFiles);
    f.items(r.images);
    f.items(r.directories);
    f.items(r.searchPhrases);
    f.items(r.searchKeywords);
    f.items(r.searchEngines);
    f.items(r.domainSuffixes);
    f.items(r.domainSuffixes);
    f.items(r.pagesByReferrer);
    f.items(r.brokenLinksByPage);
    f.items(r.days);

    // The definition's own patterns name the tracked files: they are what the report tree
    // shows, whatever case the run folded them to.
    f.count(r.trackedDays.size());
    for (std::size_t i = 0; i < r.trackedDays.size(); ++i) {
        if (i < header.trackFiles.size())
            f.text(header.trackFiles[i]);
        else
            f.text(i < s.tracked.size() ? std::string_view(s.tracked[i].pattern) : "");
        f.count(r.trackedDays[i].size());
        f.items(r.trackedDays[i]);
    }
    for (std::uint64_t w : s.weekdays) out.u64(w);
    for (std::uint64_t h : s.hours) out.u64(h);

    f.time(runStart);
    out.i32(c.earliest == engine::kNoEarliest ? kNoEarliestInFile
                                              : static_cast<std::int32_t>(c.earliest));
    f.time(c.latest);
    out.u64(c.cachedHits);
    f.time(runStart);
    out.u64(c.partial);
    out.u64(c.notFound);
    out.u64(c.totalBytes);
    out.u64(r.totalHits);
    out.u64(r.totalVisits);
    out.u64(r.distinctHosts);
    out.i32(c.referrersSeen ? 1 : 0);
    out.i32(c.hostNamesSeen ? 1 : 0);
    f.count(s.recent.writeIndex());
    engine::writeTable(out, s.pageTransitions);
    engine::writeTable(out, s.sitePages);
    f.items(r.users);
    for (const TaggedCount& t : kTaggedCounts) {
        out.raw(t.tag);
        out.u64(c.*t.count);
    }
    out.raw(kBytesTag);
    f.bytesOf(r.visitors);
    f.bytesOf(r.pages);
    f.bytesOf(r.otherFiles);
    f.bytesOf(r.images);
    f.bytesOf(r.directories);
    out.raw(kRecentTag);
    f.recent(s.recent.inOrder());
    out.raw(kClientsTag);
    f.clients(r.clients);
    return out.bytes();
}

bool readSavedVersion(std::string_view bytes, std::int32_t& version) {
    ArchiveReader in(bytes);
    return in.i32(version);
}

LoadResult checkSavedVersion(std::string_view head, platform::Prompter& prompter) {
    LoadResult result;
    if (!readSavedVersion(head, result.version)) {
        result.status = LoadStatus::ShortRead;
    } else if (result.version < kOldestReadableVersion) {
        prompter.message(platform::text(platform::sid::SavedFileTooOld), platform::Icon::Error);
        result.status = LoadStatus::TooOld;
    } else if (result.version >= kFirstFutureVersion &&
               prompter.askYesNo(platform::text(platform::sid::SavedFileFromFuture),
                                 platform::Icon::Warning) != platform::Answer::Yes) {
        result.status = LoadStatus::Declined;
    }
    return result;
}

LoadStatus readSavedContents(std::string_view bytes, engine::StatisticsEngine& engine,
                             SavedHeader& header) {
    // The engine holds the report on screen until the file has shown itself whole, so the file
    // is read twice: once into a scratch copy that is thrown away, then for real. The results
    // point into the scratch arena, so they go first.
    {
        engine::Statistics statistics(trialBlockBytes(bytes.size()));
        statistics.initialise(engine::StatisticsOptions{});
        engine::Results results;
        SavedHeader scratchHeader;
        std::int64_t runStart = 0;
        if (!readWhole(bytes, scratchHeader, statistics, results, runStart))
            return LoadStatus::ShortRead;
    }
    header = SavedHeader{};
    const engine::StatisticsEngine::LoadTarget target = engine.beginLoad();
    if (readWhole(bytes, header, target.statistics, target.results, target.runStart))
        return LoadStatus::Loaded;
    // The same bytes read whole a moment ago: only the arena can have run out. Half a report is
    // never left behind.
    header = SavedHeader{};
    engine.beginLoad();
    return LoadStatus::OutOfMemory;
}

LoadResult readSavedReport(std::string_view bytes, platform::Prompter& prompter,
                           engine::StatisticsEngine& engine, SavedHeader& header) {
    LoadResult result = checkSavedVersion(bytes, prompter);
    if (result.status == LoadStatus::Loaded)
        result.status = readSavedContents(bytes, engine, header);
    return result;
}

}  // namespace tw::document
