#include "config/wizard_checks.h"

#include <charconv>
#include <filesystem>
#include <system_error>

#include "config/report_definition.h"
#include "platform/strings.h"

namespace tw::config {
namespace sid = platform::sid;

namespace {

unsigned char folded(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (folded(a[i]) != folded(b[i])) return false;
    return true;
}

// The parts of an http or https URL the checks look at; parsing never touches the network.
struct UrlParts {
    std::string host;  // may be empty ("http:///x")
    std::string path;  // from the first "/" after the host up to "?" or "#"; may be empty
};

bool validHostText(std::string_view host) {
    for (char c : host) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7f || c == '\\' || c == '@') return false;
    }
    return true;
}

bool validPort(std::string_view text) {
    int port = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, port);
    return ec == std::errc{} && ptr == end && port >= 1 && port <= 65535;
}

// False when `url` is not an http or https URL: another or no scheme, a host with blanks or
// controls in it, an unclosed bracketed address, or a port that is not a number 1 to 65535.
bool splitHttpUrl(std::string_view url, UrlParts& parts) {
    const std::size_t colon = url.find("://");
    if (colon == std::string_view::npos) return false;
    const std::string_view scheme = url.substr(0, colon);
    if (!equalIgnoringCase(scheme, "http") && !equalIgnoringCase(scheme, "https")) return false;

    const std::string_view rest = url.substr(colon + 3);
    const std::size_t authorityEnd = rest.find_first_of("/?#");
    std::string_view authority = rest.substr(0, authorityEnd);
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos)
        authority.remove_prefix(at + 1);  // a login in the URL is not part of the server name

    std::string_view host = authority;
    std::string_view port;
    if (!authority.empty() && authority.front() == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos) return false;
        host = authority.substr(0, close + 1);
        const std::string_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') return false;
            port = after.substr(1);
            if (port.empty()) return false;
        }
    } else if (const std::size_t c = authority.rfind(':'); c != std::string_view::npos) {
        host = authority.substr(0, c);
        port = authority.substr(c + 1);
        if (port.empty()) return false;
    }
    if (!validHostText(host) || (!port.empty() && !validPort(port))) return false;

    parts.host = std::string(host);
    parts.path.clear();
    if (authorityEnd != std::string_view::npos && rest[authorityEnd] == '/') {
        const std::string_view tail = rest.substr(authorityEnd);
        parts.path = std::string(tail.substr(0, tail.find_first_of("?#")));
    }
    return true;
}

AdjustedCheck checkLocation(int form, std::string_view path, bool appendSeparator) {
    AdjustedCheck result;
    if (path.empty()) {
        const int id = form == 0   ? sid::NeedLogDirectory
                       : form == 2 ? sid::NeedWildcard
                                   : sid::NeedLogFile;
        result.check = PageCheck::refused(id, PageField::Path);
        return result;
    }
    result.value = std::string(path);
    if (form == 0 && appendSeparator && result.value.back() != '/') result.value += '/';
    return result;
}

}  // namespace

PageCheck PageCheck::refused(int id, PageField at) {
    return {id, platform::text(id), at};
}

AdjustedCheck checkLocalLocation(int form, std::string_view path) {
    // Stored local directories always end in their separator, whatever the user typed.
    return checkLocation(form, path, true);
}

AdjustedCheck checkFtpLocation(int form, std::string_view path) {
    return checkLocation(form, path, false);
}

PageCheck checkFtpLogin(std::string_view site, std::string_view user, std::string_view password) {
    if (site.empty()) return PageCheck::refused(sid::NeedFtpSite, PageField::Sitename);
    if (user.empty()) return PageCheck::refused(sid::NeedFtpUsername, PageField::Username);
    if (password.empty() && !equalIgnoringCase(user, "ANONYMOUS"))
        return PageCheck::refused(sid::NeedPassword, PageField::Password);
    return PageCheck::accepted();
}

PageCheck checkHttpLocation(std::string_view url, bool passwordProtected, std::string_view user) {
    if (url.empty()) return PageCheck::refused(sid::NeedLogLocation, PageField::Path);
    if (passwordProtected) {
        if (user.empty()) return PageCheck::refused(sid::NeedUsername, PageField::Username);
        return PageCheck::accepted();
    }
    UrlParts parts;
    if (!splitHttpUrl(url, parts) || parts.host.empty())
        return PageCheck::refused(sid::InvalidLogUrl, PageField::Path);
    return PageCheck::accepted();
}

AdjustedCheck checkTrackedEntry(std::string_view entry) {
    AdjustedCheck result;
    result.value = trackedFileEntry(std::string(entry));
    if (result.value.empty())
        result.check = PageCheck::refused(sid::NeedTrackedEntry, PageField::TrackedEntry);
    return result;
}

PageCheck checkDomain(std::string_view domain, std::string_view defaultPage) {
    if (domain.empty()) return PageCheck::refused(sid::NeedDomain, PageField::Domain);
    if (defaultPage.empty())
        return PageCheck::refused(sid::NeedDefaultPage, PageField::DefaultPage);
    return PageCheck::accepted();
}

PageCheck checkTreeView(bool internet, std::string_view root, int depth) {
    if (root.empty()) return PageCheck::accepted();
    if (depth <= 0) return PageCheck::refused(sid::ZeroTreeDepth, PageField::RecursionDepth);
    if (!internet) {
        // The spider reads the root as a page; a directory or a missing file gives it none.
        std::error_code ec;
        if (!std::filesystem::is_regular_file(std::filesystem::path(std::string(root)), ec))
            return PageCheck::refused(sid::RootMissing, PageField::Root);
        return PageCheck::accepted();
    }
    UrlParts parts;
    if (!splitHttpUrl(root, parts)) return PageCheck::refused(sid::InvalidRootUrl, PageField::Root);
    // The spider starts from a page; a bare server address names none.
    if (parts.host.empty() || parts.path.empty() || parts.path == "/")
        return PageCheck::refused(sid::RootNotAPage, PageField::Root);
    return PageCheck::accepted();
}

PageCheck checkExport(bool exportAutomatically, std::string_view exportLocation) {
    if (exportAutomatically && exportLocation.empty())
        return {0, platform::txt::NoExportLocation, PageField::ExportLocation};
    return PageCheck::accepted();
}

PageCheck checkName(std::string_view name) {
    if (name.empty()) return PageCheck::refused(sid::NeedReportName, PageField::Name);
    return PageCheck::accepted();
}

}  // namespace tw::config
