#pragma once
// The report tree: the fixed catalogue of categories and reports, built once per analysis, as
// a model that a tree view, the export walk and the command line all read.
//
// Entries are addressed by handles: 1.. in insertion order, valid until the next build(); 0
// means "no entry" (an entry that was not created, or none selected). A handle from an earlier
// build must not be used after a rebuild.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/report_definition.h"
#include "engine/statistics.h"

namespace tw::presentation {

using Handle = std::uint32_t;
inline constexpr Handle kNoHandle = 0;

// Which report an entry shows (categories included).
enum class ReportId {
    GeneralStatistics,
    HyperlinkTree,
    VisitorInformation,  // category
    GeographicalLocation,
    DomainName,
    RecentAccesses,
    Browser,
    OperatingSystem,
    AccessStatistics,  // category
    MostRequestedPages,
    MostRequestedFiles,
    MostRequestedImages,
    MostRequestedDirectories,
    HitsPerDay,
    BandwidthPerDay,
    MostPopularHour,
    MostPopularDayOfWeek,
    ReferrerInformation,  // category
    ReferringDomains,
    ReferringPages,
    IndividualPageReferrers,
    SiteEntryPages,
    SearchEnginePhrases,
    SearchEngineKeywords,
    SearchEnginePerformance,
    TrackedFiles,  // category
    TrackedHits,
    TrackedBandwidth,
    TechnicalInformation,  // category
    MissingFiles,
    BrokenLinkReferrers,
    MiscellaneousErrors,
    BrowserFamilies,  // today's clients, beside the classic Browser and Operating System
    OperatingSystems,
    Devices,
    RobotsAndCrawlers,
};

// Indices into the tree's one strip of 16-pixel images.
inline constexpr int kClosedFolderIcon = 0;
inline constexpr int kOpenFolderIcon = 4;

struct CatalogueEntry {
    Handle handle = kNoHandle;
    Handle parent = kNoHandle;  // kNoHandle at the top level
    std::string title;
    ReportId report = ReportId::GeneralStatistics;
    bool category = false;
    int icon = 0;           // a report's icon; categories use the folder icons
    int trackedIndex = -1;  // a tracked pair: the definition's tracked-file index
    std::vector<Handle> children;
};

// What decides which optional entries exist.
struct CatalogueFlags {
    bool hostNamesSeen = false;
    bool agentsSeen = false;
    bool referrersSeen = false;
};

class Catalogue {
  public:
    // Replaces every entry. Tracked pairs follow `trackFiles` in order, duplicates kept. Clears
    // chart mode.
    void build(const CatalogueFlags& flags, const std::vector<std::string>& trackFiles);
    void build(const engine::GeneralCounters& counters, const config::ReportDefinition& def);
    void clear();

    bool empty() const { return entries_.empty(); }
    std::size_t size() const { return entries_.size(); }

    // Null for kNoHandle or a handle this build did not give out.
    const CatalogueEntry* entry(Handle h) const;
    // The children of `parent` in insertion order; kNoHandle gives the top-level entries.
    const std::vector<Handle>& children(Handle parent) const;
    // Position of an entry among its siblings, or -1.
    int rowOf(Handle h) const;
    // The first entry showing `report`, or kNoHandle when it was not created. For the tracked
    // pairs see trackedPairs().
    Handle handleOf(ReportId report) const;
    // (hits, bandwidth) handles, one pair per tracked file in definition order.
    const std::vector<std::pair<Handle, Handle>>& trackedPairs() const { return tracked_; }

    // The first entry in tree order whose title is exactly `title`, or kNoHandle.
    Handle findByTitle(std::string_view title) const;
    // Every entry depth first, General Statistics first: the order the export walk visits.
    std::vector<Handle> depthFirst() const;
    // The categories that start expanded, in tree order.
    std::vector<Handle> expandedCategories() const;
    // The entry selected after a build (General Statistics), or kNoHandle when empty.
    Handle initialSelection() const { return handleOf(ReportId::GeneralStatistics); }
    // The image to show: folders open while expanded, reports their own icon.
    int icon(Handle h, bool expanded) const;

    // Chart mode shows graphable reports as lists; belongs to the tree and is off after build.
    bool chartMode() const { return chartMode_; }
    void setChartMode(bool on) { chartMode_ = on; }

  private:
    Handle add(Handle parent, std::string title, ReportId report, int icon, bool category,
               int trackedIndex = -1);
    void walk(Handle h, std::vector<Handle>& out) const;

    std::vector<CatalogueEntry> entries_;  // handle - 1
    std::vector<Handle> top_;
    std::vector<std::pair<Handle, Handle>> tracked_;
    bool chartMode_ = false;
};

}  // namespace tw::presentation
