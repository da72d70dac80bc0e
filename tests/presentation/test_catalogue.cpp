#include "presentation/catalogue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tw::presentation {
namespace {

std::vector<std::string> titles(const Catalogue& c, const std::vector<Handle>& handles) {
    std::vector<std::string> out;
    for (Handle h : handles) out.push_back(c.entry(h)->title);
    return out;
}

TEST(Catalogue, FullTreeInOrderWithParentsAndIcons) {
    Catalogue c;
    c.setChartMode(true);
    c.build(CatalogueFlags{.hostNamesSeen = true, .agentsSeen = true, .referrersSeen = true},
            {"/index.html", "/docs/*"});
    EXPECT_FALSE(c.chartMode());

    EXPECT_EQ(
        titles(c, c.children(kNoHandle)),
        (std::vector<std::string>{
            "General Statistics", "Hyperlink Tree View", "Visitor Information", "Access Statistics",
            "Referrer Information", "Tracked Files", "Technical Information"}));
    const std::vector<std::string> all = {
        "General Statistics",
        "Hyperlink Tree View",
        "Visitor Information",
        "Geographical Location",
        "Domain Name",
        "Recent Accesses",
        "Browser",
        "Operating System",
        "Browser Families",
        "Operating Systems",
        "Devices",
        "Robots and Crawlers",
        "Access Statistics",
        "Most Requested Pages",
        "Most Requested Files",
        "Most Requested Images",
        "Most Requested Directories",
        "Hits per Day",
        "Bandwidth per Day",
        "Most Popular Hour",
        "Most Popular Day of Week",
        "Referrer Information",
        "Referring Domains",
        "Referring Pages",
        "Individual Page Referrers",
        "Site Entry Pages",
        "Search Engine Phrases",
        "Search Engine Keywords",
        "Search Engine Performance",
        "Tracked Files",
        "/index.html (hits)",
        "/index.html (bandwidth)",
        "/docs/* (hits)",
        "/docs/* (bandwidth)",
        "Technical Information",
        "Missing Files (404 errors)",
        "404 error referrers",
        "Miscellaneous Errors",
    };
    const std::vector<Handle> order = c.depthFirst();
    EXPECT_EQ(titles(c, order), all);
    EXPECT_EQ(c.size(), all.size());

    const std::vector<int> icons = {1, 16, 0, 5,  9, 9,  13, 11, 13, 11, 11, 9,  0,
                                    7, 10, 10, 1, 6, 6,  3,  3,  0,  9,  7,  1,  1,
                                    12, 15, 15, 0, 6, 6, 6,  6,  0,  14, 1,  1};
    ASSERT_EQ(icons.size(), order.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        EXPECT_EQ(c.icon(order[i], false), icons[i]) << all[i];

    const Handle visitors = c.findByTitle("Visitor Information");
    const Handle os = c.findByTitle("Operating System");
    const CatalogueEntry* v = c.entry(visitors);
    ASSERT_NE(v, nullptr);
    EXPECT_TRUE(v->category);
    EXPECT_EQ(v->report, ReportId::VisitorInformation);
    EXPECT_EQ(c.icon(visitors, true), kOpenFolderIcon);
    EXPECT_EQ(c.icon(os, true), 11);  // only folders open
    EXPECT_EQ(c.entry(os)->parent, visitors);
    EXPECT_EQ(c.entry(os)->report, ReportId::OperatingSystem);
    EXPECT_FALSE(c.entry(os)->category);
    EXPECT_EQ(c.rowOf(os), 4);
    EXPECT_EQ(c.rowOf(visitors), 2);
    EXPECT_EQ(c.entry(c.findByTitle("General Statistics"))->parent, kNoHandle);

    EXPECT_EQ(titles(c, c.expandedCategories()),
              (std::vector<std::string>{"Visitor Information", "Access Statistics",
                                        "Referrer Information", "Tracked Files",
                                        "Technical Information"}));
    EXPECT_EQ(c.initialSelection(), order.front());
    EXPECT_EQ(c.entry(c.initialSelection())->title, "General Statistics");
}

TEST(Catalogue, OptionalEntriesFollowWhatTheRunSaw) {
    Catalogue c;
    c.build(CatalogueFlags{}, {});
    EXPECT_EQ(c.handleOf(ReportId::GeographicalLocation), kNoHandle);
    EXPECT_EQ(c.handleOf(ReportId::Browser), kNoHandle);
    EXPECT_EQ(c.handleOf(ReportId::OperatingSystem), kNoHandle);
    EXPECT_EQ(c.handleOf(ReportId::ReferrerInformation), kNoHandle);
    EXPECT_EQ(c.handleOf(ReportId::ReferringPages), kNoHandle);
    EXPECT_EQ(c.handleOf(ReportId::BrokenLinkReferrers), kNoHandle);
    EXPECT_EQ(c.findByTitle("404 error referrers"), kNoHandle);
    EXPECT_EQ(c.findByTitle("Browser"), kNoHandle);
    // Always there: the Tracked Files category, even without tracked files.
    const Handle tracked = c.handleOf(ReportId::TrackedFiles);
    ASSERT_NE(tracked, kNoHandle);
    EXPECT_TRUE(c.children(tracked).empty());
    EXPECT_EQ(titles(c, c.children(c.findByTitle("Visitor Information"))),
              (std::vector<std::string>{"Domain Name", "Recent Accesses"}));
    EXPECT_EQ(titles(c, c.children(c.findByTitle("Technical Information"))),
              (std::vector<std::string>{"Missing Files (404 errors)", "Miscellaneous Errors"}));
    EXPECT_EQ(titles(c, c.expandedCategories()),
              (std::vector<std::string>{"Visitor Information", "Access Statistics", "Tracked Files",
                                        "Technical Information"}));

    // Each flag on its own.
    c.build(CatalogueFlags{.hostNamesSeen = false, .agentsSeen = true, .referrersSeen = false}, {});
    EXPECT_NE(c.handleOf(ReportId::Browser), kNoHandle);
    EXPECT_NE(c.handleOf(ReportId::OperatingSystem), kNoHandle);
    EXPECT_EQ(c.handleOf(ReportId::GeographicalLocation), kNoHandle);
    c.build(CatalogueFlags{.hostNamesSeen = true, .agentsSeen = false, .referrersSeen = false}, {});
    EXPECT_NE(c.handleOf(ReportId::GeographicalLocation), kNoHandle);
    EXPECT_EQ(c.handleOf(ReportId::Browser), kNoHandle);
    c.build(CatalogueFlags{.hostNamesSeen = false, .agentsSeen = false, .referrersSeen = true}, {});
    EXPECT_NE(c.handleOf(ReportId::SearchEnginePerformance), kNoHandle);
    EXPECT_NE(c.handleOf(ReportId::BrokenLinkReferrers), kNoHandle);

    // From a run's counters and a definition.
    engine::GeneralCounters counters;
    counters.agentsSeen = true;
    config::ReportDefinition def;
    def.trackFiles = {"/a.html"};
    c.build(counters, def);
    EXPECT_NE(c.handleOf(ReportId::Browser), kNoHandle);
    EXPECT_EQ(c.handleOf(ReportId::ReferrerInformation), kNoHandle);
    EXPECT_EQ(c.trackedPairs().size(), 1u);
}

TEST(Catalogue, TrackedPairsInDefinitionOrderDuplicatesKept) {
    Catalogue c;
    c.build(CatalogueFlags{}, {"/b.html", "/a.html", "/b.html"});
    const Handle tracked = c.handleOf(ReportId::TrackedFiles);
    EXPECT_EQ(
        titles(c, c.children(tracked)),
        (std::vector<std::string>{"/b.html (hits)", "/b.html (bandwidth)", "/a.html (hits)",
                                  "/a.html (bandwidth)", "/b.html (hits)", "/b.html (bandwidth)"}));
    ASSERT_EQ(c.trackedPairs().size(), 3u);
    for (int i = 0; i < 3; ++i) {
        const auto [hits, bytes] = c.trackedPairs()[static_cast<std::size_t>(i)];
        EXPECT_EQ(c.entry(hits)->report, ReportId::TrackedHits);
        EXPECT_EQ(c.entry(bytes)->report, ReportId::TrackedBandwidth);
        EXPECT_EQ(c.entry(hits)->trackedIndex, i);
        EXPECT_EQ(c.entry(bytes)->trackedIndex, i);
        EXPECT_EQ(c.entry(hits)->parent, tracked);
    }
    // The first match in tree order.
    EXPECT_EQ(c.findByTitle("/b.html (hits)"), c.trackedPairs()[0].first);
    EXPECT_EQ(c.findByTitle("/b.html"), kNoHandle);
    EXPECT_EQ(c.findByTitle("general statistics"), kNoHandle);  // exact text only
}

TEST(Catalogue, HandlesAreStableAndUnknownOnesRefused) {
    Catalogue c;
    c.build(CatalogueFlags{.hostNamesSeen = true, .agentsSeen = true, .referrersSeen = true},
            {"/x"});
    // Every handle names its own entry, and the walk visits each exactly once.
    const std::vector<Handle> order = c.depthFirst();
    for (Handle h : order) {
        ASSERT_NE(c.entry(h), nullptr);
        EXPECT_EQ(c.entry(h)->handle, h);
        EXPECT_EQ(c.findByTitle(c.entry(h)->title), h);
        for (Handle child : c.entry(h)->children) EXPECT_EQ(c.entry(child)->parent, h);
    }
    const Handle browser = c.handleOf(ReportId::Browser);
    c.setChartMode(true);
    EXPECT_EQ(c.handleOf(ReportId::Browser), browser);  // lookups do not disturb handles
    EXPECT_EQ(c.entry(kNoHandle), nullptr);
    EXPECT_EQ(c.entry(static_cast<Handle>(order.size() + 1)), nullptr);
    EXPECT_TRUE(c.children(static_cast<Handle>(order.size() + 1)).empty());
    EXPECT_EQ(c.rowOf(kNoHandle), -1);

    c.clear();
    EXPECT_TRUE(c.empty());
    EXPECT_EQ(c.initialSelection(), kNoHandle);
    EXPECT_EQ(c.entry(browser), nullptr);
    EXPECT_TRUE(c.depthFirst().empty());
}

}  // namespace
}  // namespace tw::presentation
