#pragma once
// Where each help topic is explained: a page of the help shipped with the program and the
// place on it. Topic numbers come from the reports (their help topic), the messages that offer
// help, and the wizards' pages (platform/strings.h, namespace help).
#include <string_view>

namespace tw::presentation {

struct HelpPage {
    std::string_view file;    // a file name in the help folder
    std::string_view anchor;  // an element id on that page; empty for its top
};

// Every topic has a page: one without a page of its own opens the contents.
HelpPage helpPage(int topic);

}  // namespace tw::presentation
