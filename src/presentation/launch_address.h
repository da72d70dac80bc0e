#pragma once
// The address a report row is opened at in the web browser, made from the row's first text and
// the site's domain, and the messages shown when it cannot be opened.
#include <functional>
#include <string>
#include <string_view>

#include "platform/prompts.h"

namespace tw::presentation {

// The text the fill step gives rows without a referrer.
inline constexpr std::string_view kNoReferrerRow = "No referrer";

inline constexpr std::string_view kNoReferrerText =
    "There was no referrer for this particular item, so this web page cannot be opened.";
inline constexpr std::string_view kBrowserErrorText =
    "There was an error opening your web browser to the specified web page. You should manually "
    "go to this page:";

struct LaunchTarget {
    bool noReferrer = false;
    std::string address{};
};

// `domain` as the report definition holds it; a trailing "/" is dropped here.
LaunchTarget launchAddress(std::string_view rowText, std::string_view domain);

// The address as the error message shows it: blanks, "#" and "%" percent-encoded.
std::string addressForMessage(std::string_view address);

// Opens the address of a row through `open` (false when the browser could not be started), or
// tells the user why it cannot be opened. Never throws.
void launchRow(std::string_view rowText, std::string_view domain, platform::Prompter& prompter,
               const std::function<bool(const std::string&)>& open);

}  // namespace tw::presentation
