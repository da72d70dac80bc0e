#pragma once
// What the user sees of a filter: its one-line description, the checks the filter wizard's
// pages make before they accept a filter, and the choice lists of the user-agent pages.
#include <array>
#include <span>
#include <string>
#include <string_view>

#include "config/filter.h"

namespace tw::config {

// The line shown in the filter lists and written into exported reports. Date ranges are shown
// in local time.
std::string describeFilter(const Filter& filter);

// The message a wizard page shows when it refuses the filter on Finish; empty when the page
// accepts it. The page is the one of the filter's kind.
std::string_view checkFilterPage(const Filter& filter);

// One entry of a user-agent choice list: the label shown and the text stored in the filter.
struct FilterChoice {
    std::string_view label;
    std::string_view match;
};

inline constexpr std::array<FilterChoice, 12> kBrowserChoices{{
    {"IE (all versions)", "MSIE "},
    {"IE 2.x", "MSIE 2."},
    {"IE 3.x", "MSIE 3."},
    {"IE 4.x", "MSIE 4."},
    {"IE 5.x", "MSIE 5."},
    {"Navigator (all versions)", "Mozilla/"},
    {"Navigator 2.x", "Mozilla/2."},
    {"Navigator 3.x", "Mozilla/3."},
    {"Navigator 4.x", "Mozilla/4."},
    {"Opera", "Opera"},
    {"NCSA Mosaic", "Mosaic"},
    {"Lynx", "Lynx"},
}};

inline constexpr std::array<FilterChoice, 15> kOsChoices{{
    {"Windows (all versions)", "Win"},
    {"Windows 3.1", "3.1"},
    {"Windows 95", "95"},
    {"Windows 98", "98"},
    {"Windows NT", "NT"},
    {"Windows CE", "CE"},
    {"Linux", "Linux"},
    {"WebTV", "WebTV"},
    {"X Windows", "X Window"},
    {"Macintosh", "Mac"},
    {"OS/2", "OS/2"},
    {"OSF1", "OSF1"},
    {"IRIX", "IRIX"},
    {"SunOS", "SunOS"},
    {"HP-UX", "HP-UX"},
}};

inline constexpr std::array<FilterChoice, 10> kSpiderChoices{{
    {"Excite Spider", "ArchitextSpider"},
    {"Inktomi, Snap, and Hotbot Spider", "Slurp"},
    {"Altavista Spider", "Scooter"},
    {"Lycos Spider", "Lycos"},
    {"Northern Light Spider", "Gulliver"},
    {"Infoseek Spider", "InfoSeek Sidewinder"},
    {"Open Text Spider", "Open Text Site Crawler"},
    {"PlanetSearch Spider", "fido"},
    {"Euroseek Spider", "Arachnoidea"},
    {"Google Spider", "BackRub"},
}};

// The choice list of the page of a kind; empty for kinds whose page has none.
std::span<const FilterChoice> filterChoices(int kind);

}  // namespace tw::config
