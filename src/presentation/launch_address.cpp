#include "presentation/launch_address.h"

#include <cctype>

namespace tw::presentation {
namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const auto a = static_cast<unsigned char>(text[i]);
        const auto b = static_cast<unsigned char>(prefix[i]);
        if (std::tolower(a) != std::tolower(b)) return false;
    }
    return true;
}

// What a site-relative text is put behind: the domain with "www." in front unless it already
// names that host.
std::string sitePrefix(std::string_view domain) {
    if (domain.size() < 4 || !startsWithNoCase(domain, "www"))
        return "http://www." + std::string(domain);
    return "http://" + std::string(domain);
}

}  // namespace

LaunchTarget launchAddress(std::string_view rowText, std::string_view domain) {
    if (rowText == kNoReferrerRow) return {.noReferrer = true};
    if (!domain.empty() && domain.back() == '/') domain.remove_suffix(1);
    const std::string text(rowText);
    // Without a "/" the text is a host name, such as a referring domain.
    if (rowText.find('/') == std::string_view::npos) {
        if (rowText.size() > 3 && startsWithNoCase(rowText, "www."))
            return {.address = "http://" + text};
        return {.address = "http://www." + text};
    }
    if (rowText.size() > 6 && startsWithNoCase(rowText, "http://")) return {.address = text};
    return {.address = sitePrefix(domain) + text};
}

std::string addressForMessage(std::string_view address) {
    std::string out;
    out.reserve(address.size());
    for (const char c : address) {
        switch (c) {
            case ' ':
                out += "%20";
                break;
            case '#':
                out += "%23";
                break;
            case '%':
                out += "%25";
                break;
            default:
                out += c;
        }
    }
    return out;
}

void launchRow(std::string_view rowText, std::string_view domain, platform::Prompter& prompter,
               const std::function<bool(const std::string&)>& open) {
    try {
        const LaunchTarget target = launchAddress(rowText, domain);
        if (target.noReferrer) {
            prompter.message(kNoReferrerText, platform::Icon::Warning);
            return;
        }
        if (open && open(target.address)) return;
        prompter.message(
            std::string(kBrowserErrorText) + "\n\n\t" + addressForMessage(target.address),
            platform::Icon::Warning);
    } catch (...) {
        // Out of memory while building a few short texts: nothing sensible is left to show.
    }
}

}  // namespace tw::presentation
