#include "site/spider.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/mapped_file.h"
#include "platform/strings.h"
#include "site/link_scan.h"
#include "transfer/log_paths.h"
#include "transfer/log_retrieval.h"

namespace tw::site {
namespace {

namespace txt = platform::txt;

// A definition may hold any number; the walk recurses once per level.
constexpr int kDepthCap = 100;

// One crawl: the state from the root page to the last page read.
class Walk {
  public:
    Walk(const ingest::RunContext& context, platform::Progress& progress,
         ingest::SitePageSink& pages, platform::Prompter& prompter, std::string_view siteBase,
         std::string localRoot)
        : def_(context.definition),
          settings_(context.settings),
          progress_(progress),
          pages_(pages),
          prompter_(prompter),
          scanner_(siteBase),
          localRoot_(std::move(localRoot)),
          maxDepth_(std::min(context.definition.RecursionDepth, kDepthCap)) {}

    // The HTTP walk fetches every page from `server` into the local root before reading it.
    void useServer(transfer::Session& session, transfer::Scheme scheme, std::string server,
                   int port) {
        session_ = &session;
        scheme_ = scheme;
        server_ = std::move(server);
        port_ = port;
    }

    void visit(const std::string& url, int depth);

  private:
    bool fetch(const std::string& url, const std::string& localPath);
    bool readPage(const std::string& url, const std::string& localPath, int depth);
    std::string folded(std::string_view url) const {
        std::string key(url);
        if (settings_.CaseSensitive == 0) ingest::lowerAscii(key);
        return key;
    }

    const config::ReportDefinition& def_;
    const config::RunSettings& settings_;
    platform::Progress& progress_;
    ingest::SitePageSink& pages_;
    platform::Prompter& prompter_;
    LinkScanner scanner_;
    std::string localRoot_;
    int maxDepth_;
    transfer::Session* session_ = nullptr;
    transfer::Scheme scheme_ = transfer::Scheme::Http;
    std::string server_;
    int port_ = 0;
    platform::PosixFileOpener files_;
    std::unordered_set<std::string> visited_;
    std::unordered_set<std::string> failed_;
};

void Walk::visit(const std::string& url, int depth) {
    if (depth > maxDepth_) return;
    // Every component below the root is a plain name, so the page's file is inside the root.
    const std::optional<std::string> below = localPart(url, def_.DefaultPage);
    // Only the part below the local root is tested: a folder above it ("site.zip") decides nothing.
    if (!below || !isPagePath(*below)) return;
    if (progress_.cancelled()) return;
    const std::string localPath = transfer::joinPath(localRoot_, *below);
    if (session_ == nullptr) {
        readPage(url, localPath, depth);
        return;
    }
    // A page the server would not give is linked from many pages as a rule: asking once is
    // enough for one walk.
    if (failed_.contains(url)) return;
    if (!fetch(url, localPath)) {
        failed_.insert(url);
        return;
    }
    if (readPage(url, localPath, depth))
        progress_.progress(0, std::string(txt::Parsing) + url + "...");
}

bool Walk::fetch(const std::string& url, const std::string& localPath) {
    std::string error;
    const std::unique_ptr<transfer::HttpConnection> connection =
        session_->connectHttp(scheme_, server_, port_, std::nullopt, &error);
    if (!connection) {
        prompter_.message(error.empty() ? txt::NoErrorText : std::string_view(error),
                          platform::Icon::Warning);
        return false;
    }
    // A fragment names a place in a page, never something a server is asked for.
    const std::string object = url.substr(0, url.find('#'));
    if (!transfer::downloadHttpObject(*connection, server_, object, localPath, progress_,
                                      prompter_)) {
        progress_.progress(0, std::string(txt::ErrorDownloading) + url);
        return false;
    }
    return true;
}

bool Walk::readPage(const std::string& url, const std::string& localPath, int depth) {
    // The text is copied out of the mapping before any link is followed: a link to the same
    // file under another URL ("/" for "/index.html") fetches it again, and a mapping of a file
    // rewritten underneath would fault.
    std::string text;
    {
        const std::unique_ptr<platform::MappedFile> file = files_.open(localPath, nullptr);
        if (!file) return false;
        if (file->size() > 0) {
            platform::MapView view;
            if (!file->map(0, static_cast<std::size_t>(file->size()), view)) return false;
            text.assign(view.data, view.size);
            file->unmap();
        }
    }

    const std::string key = folded(url);
    visited_.insert(key);
    const std::string title(scanner_.title(text));

    std::vector<std::string> links;
    std::unordered_set<std::string> seen;
    std::string_view raw;
    std::size_t at = 0;
    while (const std::optional<std::size_t> next = scanner_.nextLink(text, at, raw)) {
        at = *next;
        if (progress_.cancelled()) return false;
        std::string link(raw);
        const LinkClass kind = scanner_.classify(link);
        if (kind == LinkClass::Ignore) continue;
        link = cutLink(link, settings_.DoNotDisplayPound != 0, settings_.DoNotDisplayQuestion != 0);
        if (link.empty()) continue;
        const std::string linkUrl = resolveLink(url, link, kind);
        std::string linkKey = folded(linkUrl);
        if (linkKey == key) continue;
        if (!visited_.contains(linkKey)) visit(linkUrl, depth + 1);
        if (seen.insert(linkKey).second) links.push_back(std::move(linkKey));
    }
    // The last link's walk may have been the one cancelled.
    if (progress_.cancelled()) return false;

    const std::vector<std::string_view> views(links.begin(), links.end());
    pages_.addPage(key, title, views);
    return true;
}

// The page URL the walk starts from, for the root's object path: the default page named
// when the path names none.
std::string rootPageUrl(std::string_view objectPath, const config::ReportDefinition& def,
                        const config::RunSettings& settings) {
    const std::string_view cut =
        cutLink(objectPath, settings.DoNotDisplayPound != 0, settings.DoNotDisplayQuestion != 0);
    std::string url = resolveLink("/", cut, LinkClass::SiteAbsolute);
    const std::size_t suffix = std::min(url.size(), url.find_first_of("?#"));
    const std::string path = url.substr(0, suffix);
    if (transfer::namePart(path).find('.') == std::string::npos)
        url = transfer::joinPath(path, def.DefaultPage) + url.substr(suffix);
    return url;
}

}  // namespace

SiteSpider::SiteSpider(transfer::Transfer& transfer, platform::Prompter& prompter,
                       std::string downloadBase)
    : transfer_(transfer), prompter_(prompter), base_(std::move(downloadBase)) {}

ingest::SpiderOutcome SiteSpider::crawl(const ingest::RunContext& context,
                                        platform::Progress& progress, ingest::SitePageSink& pages) {
    const config::ReportDefinition& def = context.definition;
    if (def.Internet != 0) {
        const std::optional<transfer::UrlParts> root = transfer::parseUrl(def.Root);
        if (!root ||
            (root->scheme != transfer::Scheme::Http && root->scheme != transfer::Scheme::Https))
            return ingest::SpiderOutcome::InvalidRoot;

        const std::string folder = transfer::downloadFolder(base_, def.Name);
        transfer::makeDirectories(folder);
        std::string error;
        const std::unique_ptr<transfer::Session> session =
            transfer_.open(std::string(txt::SpiderAgent), context.settings.ProxyServer, &error);
        if (!session) {
            prompter_.message(error.empty() ? txt::NoErrorText : std::string_view(error),
                              platform::Icon::Warning);
        } else {
            Walk walk(context, progress, pages, prompter_, root->server, folder);
            walk.useServer(*session, root->scheme, root->server, root->port);
            walk.visit(rootPageUrl(root->objectPath, def, context.settings), 1);
        }
    } else {
        const std::string rootPath = transfer::unifySeparators(def.Root);
        std::string localRoot = transfer::directoryPart(rootPath);
        if (localRoot.empty()) localRoot = "./";
        Walk walk(context, progress, pages, prompter_, context.domain, std::move(localRoot));
        walk.visit("/" + transfer::namePart(rootPath), 1);
    }
    return progress.cancelled() ? ingest::SpiderOutcome::Cancelled : ingest::SpiderOutcome::Done;
}

}  // namespace tw::site
