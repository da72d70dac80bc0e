#pragma once
// The checks the report wizard makes when the user leaves a page. Each takes the values of the
// page's controls, shows nothing, and says whether the page may be left; when it may not, which
// message to show and which control gets the focus. Pages that tidy their input on the way out
// return the tidied values, which are what the wizard copies into its working definition.
//
// Contract: pure functions of their arguments, except that the tree-view check looks at the
// local file system for a local root. Safe from any thread.
#include <string>
#include <string_view>

namespace tw::config {

// The control at fault, for the wizard to put the focus on.
enum class PageField {
    None,
    Path,  // the text box of the chosen form, or the URL of an HTTP log
    Sitename,
    Username,
    Password,
    TrackedEntry,
    Domain,
    DefaultPage,
    Root,
    RecursionDepth,
    ExportLocation,
    Name,
};

struct PageCheck {
    int messageId = 0;           // the numbered text to show; 0 when the text has no number
    std::string_view message{};  // the text to show; empty when the page may be left
    PageField field = PageField::None;

    bool ok() const { return messageId == 0 && message.empty(); }
    static PageCheck accepted() { return {}; }
    static PageCheck refused(int id, PageField field);
};

// A page that may change what the user typed; `value` is meaningful only when accepted.
struct AdjustedCheck {
    PageCheck check{};
    std::string value{};

    bool ok() const { return check.ok(); }
};

// Local location. `form` is the File value: 0 a directory, which gets a trailing "/" when it
// has none; 1 one file; 2 a wildcard. Other values are checked as one file. `path` is the text
// box of that form.
AdjustedCheck checkLocalLocation(int form, std::string_view path);
// The same on the FTP server, where the path is kept exactly as the server names it.
AdjustedCheck checkFtpLocation(int form, std::string_view path);

// The password may stay empty only for the user "ANONYMOUS", in any case.
PageCheck checkFtpLogin(std::string_view site, std::string_view user, std::string_view password);

// A protected log URL is not examined beyond being present: the login may be what makes it
// reachable, and the server names the form it takes.
PageCheck checkHttpLocation(std::string_view url, bool passwordProtected, std::string_view user);

// The add dialog of the tracked-files page: the entry as it is stored (see trackedFileEntry).
AdjustedCheck checkTrackedEntry(std::string_view entry);

PageCheck checkDomain(std::string_view domain, std::string_view defaultPage);

// `internet` chooses between the local-file root and the URL root; `root` is the text box of
// that choice. An empty root means no tree at all, so neither the depth nor anything else is
// checked then.
PageCheck checkTreeView(bool internet, std::string_view root, int depth);

PageCheck checkExport(bool exportAutomatically, std::string_view exportLocation);

PageCheck checkName(std::string_view name);

}  // namespace tw::config
