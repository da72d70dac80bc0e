#pragma once
// The hyperlink tree: the site as the crawl found it, each link annotated with how many logged
// requests went from the parent page to the linked page and what share that is of all the
// requests that left the parent through its links. Built lazily, one level per opened node.
//
// A model only: the view draws it and forwards clicks to toggle(). The tree reads the site
// page table and the page-transition table of the statistics it was made from; both must
// outlive it and must not change while it exists (a new run or a load rebuilds the tree).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "config/report_definition.h"
#include "engine/statistics.h"

namespace tw::site {

enum class NodeIcon {
    PageWithLinks,  // a page the crawl read that links further
    Page,           // a page the crawl read, without on-site links
    NotRead,        // no record: an image, a download, a page beyond the depth or unreadable
};

struct TreeNode {
    std::vector<std::unique_ptr<TreeNode>> children;
    std::uint32_t childCount = 0;  // known from the page's links before the children are built
    bool expanded = false;
    bool built = false;
    std::string url;
    std::string title;        // empty when the page has no record or no title
    std::uint64_t hits = 0;   // requests from the parent's page to this one
    std::uint32_t share = 0;  // hits * 100 / the siblings' total hits
    TreeNode* parent = nullptr;
    NodeIcon icon = NodeIcon::NotRead;
};

// The URL the tree starts from: the crawl's root page in the form the crawl recorded it.
std::string rootUrl(const config::ReportDefinition& definition);

class HyperlinkTree {
  public:
    HyperlinkTree(const engine::Statistics& statistics, const config::ReportDefinition& definition);

    TreeNode& root() { return root_; }
    const TreeNode& root() const { return root_; }

    // Opens or closes `node`. Opening closes its open siblings, so one branch per level is open;
    // a node opened for the first time has its children built then.
    void toggle(TreeNode& node);

  private:
    void build(const std::string* parentUrl, const std::string& url, std::uint64_t divisor,
               TreeNode& node, bool expand);
    std::uint64_t transitionHits(const std::string& from, const std::string& to) const;

    const engine::Statistics& stats_;
    std::string defaultPage_;
    TreeNode root_;
};

}  // namespace tw::site
