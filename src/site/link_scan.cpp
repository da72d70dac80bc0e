#include "site/link_scan.h"

#include <array>
#include <vector>

#include "transfer/log_paths.h"

namespace tw::site {
namespace {

using ingest::Pattern;

constexpr std::array<std::string_view, 8> kPageExtensions = {".HTM",  ".CFM",   ".SHTM", ".ASP",
                                                             ".PHP3", ".PHTML", ".PL",   ".CGI"};
constexpr std::array<std::string_view, 23> kOtherExtensions = {
    ".GIF", ".JPG", ".JPEG", ".MP",  ".PNG", ".ZIP", ".MOV", ".AVI", ".QT",  ".WAV", ".RA", ".RAM",
    ".EXE", ".RAR", ".LZH",  ".ARJ", ".DOC", ".KGB", ".HQX", ".GZ",  ".SIT", ".TXT", ".PDF"};

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

// Index of the first of `stops` at or after `from`, or the text's size.
std::size_t firstOf(std::string_view text, std::size_t from, std::string_view stops) {
    const std::size_t at = text.find_first_of(stops, from);
    return at == std::string_view::npos ? text.size() : at;
}

bool containsAny(std::string_view upper, const auto& extensions) {
    for (std::string_view e : extensions)
        if (upper.find(e) != std::string_view::npos) return true;
    return false;
}

}  // namespace

LinkScanner::LinkScanner(std::string_view siteBase)
    : anchor_("<A ", Pattern::Case::Insensitive),
      href_("HREF", Pattern::Case::Insensitive),
      frame_("<FRAME ", Pattern::Case::Insensitive),
      src_("SRC", Pattern::Case::Insensitive),
      base_(siteBase, Pattern::Case::Insensitive),
      mailto_("mailto:", Pattern::Case::Insensitive),
      news_("news:", Pattern::Case::Insensitive),
      titleOpen_("<title>", Pattern::Case::Insensitive),
      titleClose_("</title>", Pattern::Case::Insensitive),
      scheme_("://", Pattern::Case::Sensitive),
      hasBase_(!siteBase.empty()) {}

std::optional<std::size_t> LinkScanner::nextLink(std::string_view text, std::size_t from,
                                                 std::string_view& link) const {
    if (from >= text.size()) return std::nullopt;
    const std::string_view rest = text.substr(from);
    const long anchor = anchor_.find(rest);
    const long frame = frame_.find(rest);
    if (anchor < 0 && frame < 0) return std::nullopt;
    const bool isFrame = frame >= 0 && (anchor < 0 || frame < anchor);
    const std::size_t tagEnd = from + static_cast<std::size_t>(isFrame ? frame : anchor) +
                               (isFrame ? frame_.length() : anchor_.length());

    const Pattern& attribute = isFrame ? src_ : href_;
    const long name = attribute.find(text.substr(tagEnd));
    if (name < 0) return std::nullopt;
    std::size_t i = tagEnd + static_cast<std::size_t>(name) + attribute.length();
    while (i < text.size() && text[i] != '=') {
        if (text[i] == '>') return std::nullopt;
        ++i;
    }
    if (i >= text.size()) return std::nullopt;

    std::size_t start = i + 1;
    std::size_t end = firstOf(text, start, "\"'>");
    if (end < text.size() && text[end] != '>') {
        start = end + 1;
        end = firstOf(text, start, "\"'>");
    }
    link = trimmed(text.substr(start, end - start));
    return end;
}

LinkClass LinkScanner::classify(std::string& link) const {
    if (mailto_.foundIn(link) || news_.foundIn(link)) return LinkClass::Ignore;
    if (!link.empty() && link.front() == '/') return LinkClass::SiteAbsolute;
    if (hasBase_) {
        const long at = base_.find(link);
        if (at >= 0) {
            const std::size_t after = static_cast<std::size_t>(at) + base_.length();
            if (after < link.size()) {
                link.erase(0, after + 1);
                return LinkClass::SiteAbsolute;
            }
        }
    }
    return scheme_.foundIn(link) ? LinkClass::Ignore : LinkClass::Relative;
}

std::string_view LinkScanner::title(std::string_view text) const {
    const long open = titleOpen_.find(text);
    if (open < 0) return {};
    const std::size_t start = static_cast<std::size_t>(open) + titleOpen_.length();
    const long close = titleClose_.find(text.substr(start));
    if (close < 0) return {};
    return text.substr(start, static_cast<std::size_t>(close));
}

std::string_view cutLink(std::string_view link, bool cutPound, bool cutQuestion) {
    if (cutPound) link = link.substr(0, std::min(link.size(), ingest::lastOf(link, '#')));
    if (cutQuestion) link = link.substr(0, std::min(link.size(), ingest::lastOf(link, '?')));
    return link;
}

std::string resolveLink(std::string_view pageUrl, std::string_view link, LinkClass kind) {
    std::string combined;
    if (kind == LinkClass::Relative) {
        const std::string_view pagePath = pageUrl.substr(0, pageUrl.find_first_of("?#"));
        combined = transfer::directoryPart(pagePath);
        if (combined.empty()) combined = "/";
    } else {
        combined = "/";
    }
    combined.append(link);

    const std::size_t suffixAt = std::min(combined.size(), combined.find_first_of("?#"));
    const std::string path =
        transfer::unifySeparators(std::string_view(combined).substr(0, suffixAt));
    std::vector<std::string_view> segments;
    bool directory = false;
    std::size_t at = 0;
    while (at <= path.size()) {
        const std::size_t slash = std::min(path.size(), path.find('/', at));
        const std::string_view segment = std::string_view(path).substr(at, slash - at);
        const bool last = slash == path.size();
        if (segment == "..") {
            if (!segments.empty()) segments.pop_back();
            directory = last;
        } else if (segment.empty() || segment == ".") {
            directory = last;
        } else {
            segments.push_back(segment);
            directory = false;
        }
        at = slash + 1;
    }

    std::string out = "/";
    for (std::size_t i = 0; i < segments.size(); ++i) {
        if (i > 0) out += '/';
        out.append(segments[i]);
    }
    if (directory && !segments.empty()) out += '/';
    out.append(std::string_view(combined).substr(suffixAt));
    return out;
}

std::optional<std::string> localPart(std::string_view url, std::string_view defaultPage) {
    std::string_view path = url.substr(0, url.find('#'));
    while (!path.empty() && path.front() == '/') path.remove_prefix(1);
    std::string part(path);
    if (part.empty() || part.back() == '/' || part.find('.') == std::string::npos)
        part = transfer::joinPath(part, defaultPage);

    std::size_t at = 0;
    for (;;) {
        const std::size_t slash = std::min(part.size(), part.find('/', at));
        if (!transfer::safeComponent(std::string_view(part).substr(at, slash - at)))
            return std::nullopt;
        if (slash == part.size()) break;
        at = slash + 1;
    }
    return part;
}

bool isPagePath(std::string_view belowRoot) {
    std::string upper(belowRoot);
    for (char& c : upper) c = static_cast<char>(ingest::foldUpper(static_cast<unsigned char>(c)));
    return containsAny(upper, kPageExtensions) || !containsAny(upper, kOtherExtensions);
}

}  // namespace tw::site
