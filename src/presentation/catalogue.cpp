#include "presentation/catalogue.h"

#include <algorithm>

namespace tw::presentation {
namespace {

const std::vector<Handle> kNoChildren;

}  // namespace

Handle Catalogue::add(Handle parent, std::string title, ReportId report, int icon, bool category,
                      int trackedIndex) {
    CatalogueEntry& e = entries_.emplace_back();
    e.handle = static_cast<Handle>(entries_.size());
    e.parent = parent;
    e.title = std::move(title);
    e.report = report;
    e.category = category;
    e.icon = category ? kClosedFolderIcon : icon;
    e.trackedIndex = trackedIndex;
    const Handle h = e.handle;
    if (parent == kNoHandle)
        top_.push_back(h);
    else
        entries_[parent - 1].children.push_back(h);
    return h;
}

void Catalogue::clear() {
    entries_.clear();
    top_.clear();
    tracked_.clear();
    chartMode_ = false;
}

void Catalogue::build(const engine::GeneralCounters& counters,
                      const config::ReportDefinition& def) {
    build({counters.hostNamesSeen, counters.agentsSeen, counters.referrersSeen}, def.trackFiles);
}

void Catalogue::build(const CatalogueFlags& flags, const std::vector<std::string>& trackFiles) {
    clear();
    entries_.reserve(36 + 2 * trackFiles.size());
    using R = ReportId;
    add(kNoHandle, "General Statistics", R::GeneralStatistics, 1, false);
    add(kNoHandle, "Hyperlink Tree View", R::HyperlinkTree, 16, false);

    const Handle visitors = add(kNoHandle, "Visitor Information", R::VisitorInformation, 0, true);
    if (flags.hostNamesSeen)
        add(visitors, "Geographical Location", R::GeographicalLocation, 5, false);
    add(visitors, "Domain Name", R::DomainName, 9, false);
    add(visitors, "Recent Accesses", R::RecentAccesses, 9, false);
    if (flags.agentsSeen) {
        add(visitors, "Browser", R::Browser, 13, false);
        add(visitors, "Operating System", R::OperatingSystem, 11, false);
        add(visitors, "Browser Families", R::BrowserFamilies, 13, false);
        add(visitors, "Operating Systems", R::OperatingSystems, 11, false);
        add(visitors, "Devices", R::Devices, 11, false);
        add(visitors, "Robots and Crawlers", R::RobotsAndCrawlers, 9, false);
    }

    const Handle access = add(kNoHandle, "Access Statistics", R::AccessStatistics, 0, true);
    add(access, "Most Requested Pages", R::MostRequestedPages, 7, false);
    add(access, "Most Requested Files", R::MostRequestedFiles, 10, false);
    add(access, "Most Requested Images", R::MostRequestedImages, 10, false);
    add(access, "Most Requested Directories", R::MostRequestedDirectories, 1, false);
    add(access, "Hits per Day", R::HitsPerDay, 6, false);
    add(access, "Bandwidth per Day", R::BandwidthPerDay, 6, false);
    add(access, "Most Popular Hour", R::MostPopularHour, 3, false);
    add(access, "Most Popular Day of Week", R::MostPopularDayOfWeek, 3, false);

    if (flags.referrersSeen) {
        const Handle refs = add(kNoHandle, "Referrer Information", R::ReferrerInformation, 0, true);
        add(refs, "Referring Domains", R::ReferringDomains, 9, false);
        add(refs, "Referring Pages", R::ReferringPages, 7, false);
        add(refs, "Individual Page Referrers", R::IndividualPageReferrers, 1, false);
        add(refs, "Site Entry Pages", R::SiteEntryPages, 1, false);
        add(refs, "Search Engine Phrases", R::SearchEnginePhrases, 12, false);
        add(refs, "Search Engine Keywords", R::SearchEngineKeywords, 15, false);
        add(refs, "Search Engine Performance", R::SearchEnginePerformance, 15, false);
    }

    const Handle tracked = add(kNoHandle, "Tracked Files", R::TrackedFiles, 0, true);
    for (std::size_t i = 0; i < trackFiles.size(); ++i) {
        const int index = static_cast<int>(i);
        const Handle hits =
            add(tracked, trackFiles[i] + " (hits)", R::TrackedHits, 6, false, index);
        const Handle bytes =
            add(tracked, trackFiles[i] + " (bandwidth)", R::TrackedBandwidth, 6, false, index);
        tracked_.emplace_back(hits, bytes);
    }

    const Handle tech = add(kNoHandle, "Technical Information", R::TechnicalInformation, 0, true);
    add(tech, "Missing Files (404 errors)", R::MissingFiles, 14, false);
    if (flags.referrersSeen) add(tech, "404 error referrers", R::BrokenLinkReferrers, 1, false);
    add(tech, "Miscellaneous Errors", R::MiscellaneousErrors, 1, false);
}

const CatalogueEntry* Catalogue::entry(Handle h) const {
    if (h == kNoHandle || h > entries_.size()) return nullptr;
    return &entries_[h - 1];
}

const std::vector<Handle>& Catalogue::children(Handle parent) const {
    if (parent == kNoHandle) return top_;
    const CatalogueEntry* e = entry(parent);
    return e ? e->children : kNoChildren;
}

int Catalogue::rowOf(Handle h) const {
    const CatalogueEntry* e = entry(h);
    if (!e) return -1;
    const std::vector<Handle>& siblings = children(e->parent);
    const auto it = std::find(siblings.begin(), siblings.end(), h);
    return it == siblings.end() ? -1 : static_cast<int>(it - siblings.begin());
}

Handle Catalogue::handleOf(ReportId report) const {
    for (const CatalogueEntry& e : entries_)
        if (e.report == report) return e.handle;
    return kNoHandle;
}

void Catalogue::walk(Handle h, std::vector<Handle>& out) const {
    out.push_back(h);
    for (Handle c : entries_[h - 1].children) walk(c, out);
}

std::vector<Handle> Catalogue::depthFirst() const {
    std::vector<Handle> out;
    out.reserve(entries_.size());
    // General Statistics is the first top-level entry, so the walk starts there.
    for (Handle h : top_) walk(h, out);
    return out;
}

Handle Catalogue::findByTitle(std::string_view title) const {
    for (Handle h : depthFirst())
        if (entries_[h - 1].title == title) return h;
    return kNoHandle;
}

std::vector<Handle> Catalogue::expandedCategories() const {
    std::vector<Handle> out;
    for (Handle h : top_)
        if (entries_[h - 1].category) out.push_back(h);
    return out;
}

int Catalogue::icon(Handle h, bool expanded) const {
    const CatalogueEntry* e = entry(h);
    if (!e) return 0;
    if (e->category) return expanded ? kOpenFolderIcon : kClosedFolderIcon;
    return e->icon;
}

}  // namespace tw::presentation
