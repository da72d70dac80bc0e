#pragma once
// The pieces of the site crawl that work on text alone: finding the links and the title of a
// page, telling on-site links from the rest, resolving a link against the page it is on, and
// turning a site URL into a file below the crawl's local root.
//
// Contract: pure functions and a scanner that holds only its compiled patterns; nothing throws
// and nothing touches the file system. URLs here are site paths ("/dir/page.html"), never
// carrying the scheme or the server.
#include <optional>
#include <string>
#include <string_view>

#include "ingest/text_search.h"

namespace tw::site {

enum class LinkClass { Ignore, Relative, SiteAbsolute };

class LinkScanner {
  public:
    // `siteBase` marks an absolute link as the site's own (the server name, or the report's
    // domain); an empty base marks none.
    explicit LinkScanner(std::string_view siteBase);

    // The next link of an anchor ("<A " ... "HREF") or frame ("<FRAME " ... "SRC") at or after
    // `from`, trimmed of blanks, and the position to go on from. Empty when there is none more,
    // and also when a tag has no usable value: the rest of the page is then not scanned.
    std::optional<std::size_t> nextLink(std::string_view text, std::size_t from,
                                        std::string_view& link) const;

    // Mail and news links and links to other sites are ignored. An absolute link to the own
    // site is rewritten to the part after the base and the character that follows it.
    LinkClass classify(std::string& link) const;

    // The text between the first "<title>" and the first "</title>" after it; empty when the
    // page has no title.
    std::string_view title(std::string_view text) const;

  private:
    ingest::Pattern anchor_, href_, frame_, src_, base_, mailto_, news_, titleOpen_, titleClose_,
        scheme_;
    bool hasBase_ = false;
};

// Cuts the link at its last "#" and then at its last "?", as asked.
std::string_view cutLink(std::string_view link, bool cutPound, bool cutQuestion);

// The site URL a link names, seen from the page `pageUrl`: relative links are taken from the
// page's directory, site-absolute ones from the root. "\" counts as "/" (pages written on
// Windows use it). In the path, "." and empty segments are dropped and ".." removes the
// segment before it, never climbing above the root; a query or fragment is kept as it stands.
std::string resolveLink(std::string_view pageUrl, std::string_view link, LinkClass kind);

// Where the page `url` lives below the local root (no leading "/"): the fragment cut off, and
// the default page appended to a URL that ends in "/" or holds no ".". Empty when any
// component of it is not a plain name (the query may carry "/" and ".."): such a page is
// neither fetched nor read, so nothing below can leave the root.
std::optional<std::string> localPart(std::string_view url, std::string_view defaultPage);

// Whether a file is a page the crawl reads: it holds a page extension (".HTM", ".ASP", ...,
// any case, anywhere), or else holds none of the image and download extensions. Given the
// part below the local root, so that folder names above it decide nothing.
bool isPagePath(std::string_view belowRoot);

}  // namespace tw::site
