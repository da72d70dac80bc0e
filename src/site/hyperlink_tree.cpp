#include "site/hyperlink_tree.h"

#include <algorithm>

#include "transfer/log_paths.h"
#include "transfer/transfer.h"

namespace tw::site {

std::string rootUrl(const config::ReportDefinition& def) {
    std::string url;
    if (def.Internet == 1) {
        if (const auto parts = transfer::parseUrl(def.Root)) {
            // The object path without its query: the crawl fetched the page itself.
            std::string path = parts->objectPath.substr(0, parts->objectPath.find('?'));
            const std::string name = transfer::namePart(path);
            std::string dir = path.substr(0, path.size() - name.size());
            if (!dir.empty() && dir.back() == '/') dir.pop_back();
            url = dir + "/" + name;
            if (name.find('.') == std::string::npos) {
                if (url.back() != '/') url += '/';
                url += def.DefaultPage;
            }
        } else {
            url = "/index.html";
        }
    } else {
        url = transfer::namePart(def.Root);
    }
    if (url.empty()) url = def.DefaultPage.empty() ? "index.html" : def.DefaultPage;
    if (url.front() == '\\') url.front() = '/';
    if (url.front() != '/') url.insert(url.begin(), '/');
    return url;
}

HyperlinkTree::HyperlinkTree(const engine::Statistics& statistics,
                             const config::ReportDefinition& definition)
    : stats_(statistics), defaultPage_(definition.DefaultPage) {
    build(nullptr, rootUrl(definition), 0, root_, true);
}

// The analysis counts a request for a directory as one for its default page, and names the
// referring page the same way; the crawl keeps a directory link as written ("/docs/"). Looking
// the pair up in the analysis' form is what lets links to directories show their hits.
static std::string asAnalysedPage(const std::string& url, const std::string& defaultPage) {
    if (url.find('.') != std::string::npos) return url;
    std::string page = url;
    if (page.empty() || page.back() != '/') page += '/';
    return page + defaultPage;
}

std::uint64_t HyperlinkTree::transitionHits(const std::string& from, const std::string& to) const {
    engine::TextPairKind::Item probe;
    const std::string first = asAnalysedPage(from, defaultPage_);
    const std::string second = asAnalysedPage(to, defaultPage_);
    probe.first = engine::borrowed(first);
    probe.second = engine::borrowed(second);
    std::uint64_t hits = 0;
    stats_.pageTransitions.forEachInChain(engine::TextPairKind::hash(probe),
                                          [&](const engine::TextPairKind::Item& i) {
                                              if (engine::TextPairKind::equals(i, probe))
                                                  hits = i.hits;
                                          });
    return hits;
}

void HyperlinkTree::build(const std::string* parentUrl, const std::string& url,
                          std::uint64_t divisor, TreeNode& node, bool expand) {
    if (parentUrl) {
        node.hits = transitionHits(*parentUrl, url);
        node.share = divisor == 0 ? 0 : static_cast<std::uint32_t>(node.hits * 100 / divisor);
    }
    node.url = url;
    const engine::SitePageKind::Item* page = engine::findSitePage(stats_.sitePages, url);
    if (!page) {
        node.icon = NodeIcon::NotRead;
        node.built = node.expanded = expand;
        return;
    }
    node.title = std::string(page->title.view());
    node.childCount = page->linkCount;
    node.icon = page->linkCount ? NodeIcon::PageWithLinks : NodeIcon::Page;
    if (page->linkCount && expand) {
        node.children.clear();
        std::uint64_t total = 0;
        for (std::uint32_t k = 0; k < page->linkCount; ++k) {
            auto child = std::make_unique<TreeNode>();
            build(&url, std::string(page->links[k].view()), 100, *child, false);
            total += child->hits;
            node.children.push_back(std::move(child));
        }
        // Every share is relative to what left this page through its links, so the shares of
        // one column add up to 100.
        for (auto& child : node.children) {
            const std::string childUrl = child->url;
            build(&url, childUrl, total, *child, false);
            child->parent = &node;
        }
        // Ties keep the page's own link order, so the tree looks the same each time.
        std::stable_sort(node.children.begin(), node.children.end(),
                         [](const auto& a, const auto& b) { return a->hits > b->hits; });
    }
    node.built = node.expanded = expand;
}

void HyperlinkTree::toggle(TreeNode& node) {
    if (!node.expanded && node.parent)
        for (auto& sibling : node.parent->children) sibling->expanded = false;
    if (!node.built) {
        const std::string url = node.url;
        build(nullptr, url, 100, node, true);
        // build() leaves the node open; the inversion below must open it, not close it.
        node.expanded = false;
    }
    node.expanded = !node.expanded;
}

}  // namespace tw::site
