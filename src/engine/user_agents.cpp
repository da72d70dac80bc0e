#include "engine/user_agents.h"

#include <initializer_list>
#include <vector>

#include "ingest/text_search.h"

namespace tw::engine {
namespace {

using ingest::Pattern;

// Token lists in class order; the last class of each list has none.
struct ClassTokens {
    std::vector<Pattern> tokens;
    ClassTokens(std::initializer_list<const char*> texts) {
        for (const char* t : texts) tokens.emplace_back(t, Pattern::Case::Insensitive);
    }
};

const std::vector<ClassTokens>& osTokens() {
    static const std::vector<ClassTokens> kTokens = {{"Win98", "Windows 98"},
                                                     {"Win95", "Windows 95"},
                                                     {"WinNT", "Windows NT"},
                                                     {"Mac"},
                                                     {"Linux"},
                                                     {"WinCE", "Windows CE"},
                                                     {"Win16", "Windows 3.1"},
                                                     {"SunOS"},
                                                     {"IRIX"},
                                                     {"WebTV"},
                                                     {"HP-UX"},
                                                     {"OS/2"},
                                                     {"OSF1"}};
    return kTokens;
}

const std::vector<ClassTokens>& browserTokens() {
    // The MSIE and Opera tests come before Mozilla: those browsers call themselves Mozilla too.
    static const std::vector<ClassTokens> kTokens = {
        {"MSIE 5."},    {"MSIE 4."},    {"MSIE 3."},    {"MSIE 2."}, {"Opera"}, {"Mozilla/4."},
        {"Mozilla/3."}, {"Mozilla/2."}, {"Mozilla/5."}, {"Lynx"},    {"Mosaic"}};
    return kTokens;
}

std::uint8_t firstClass(const std::vector<ClassTokens>& classes, std::string_view agent) {
    for (std::size_t i = 0; i < classes.size(); ++i)
        for (const Pattern& p : classes[i].tokens)
            if (p.foundIn(agent)) return static_cast<std::uint8_t>(i);
    return static_cast<std::uint8_t>(classes.size());
}

}  // namespace

AgentClasses AgentClassifier::classifyUncached(std::string_view agent) {
    return {firstClass(osTokens(), agent), firstClass(browserTokens(), agent)};
}

AgentClasses AgentClassifier::classify(std::string_view agent) {
    return cache_.get(agent, classifyUncached);
}

AgentClasses* AgentClassifier::lookup(std::string_view agent, const void*& hint,
                                      AgentClasses& classes) {
    return cache_.slot(agent, classifyUncached, hint, classes);
}

}  // namespace tw::engine
