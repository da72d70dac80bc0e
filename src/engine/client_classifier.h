#pragma once
// Today's clients from a user agent: browser family and major version, operating system and
// version, device family and class, and whether the client is a robot, by the rules of the
// ua-parser project's regexes.yaml (the Debian package uap-core).
//
// The rules are read once (load()); classify() then only reads them and may be called from any
// number of threads at once. A rule the regular-expression engine cannot compile is skipped and
// counted rather than failing the whole database. Nothing here throws.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tw::engine {

enum class DeviceClass { Desktop, Mobile, Tablet, Robot, Other };

struct ClientInfo {
    std::string browser = "Other";  // family, e.g. "Chrome"
    std::string browserMajor;       // empty when the agent gives none
    std::string os = "Other";
    std::string osMajor;
    std::string osVersion;  // the major, or major.minor when the minor is given
    std::string device = "Other";
    DeviceClass deviceClass = DeviceClass::Other;
    bool robot = false;
    friend bool operator==(const ClientInfo&, const ClientInfo&) = default;
};

class ClientDatabase {
  public:
    ClientDatabase();
    ~ClientDatabase();
    ClientDatabase(const ClientDatabase&) = delete;
    ClientDatabase& operator=(const ClientDatabase&) = delete;

    // Where the rules are: "regexes.yaml" in `dataFolder` (or its "uap-core" folder) first, then
    // the system package's copy. Empty when none exists.
    static std::string locate(std::string_view dataFolder);

    // Reads and compiles the rules at `path`. False, with `error` saying why, when the file
    // cannot be read or holds no rules; the database is then empty and classifies everything
    // as "Other" (robots still by their words).
    // `lazy` (the default) compiles each rule when an agent first holds the text every match of
    // it contains; off, every rule is compiled now and tried on every agent. Both classify
    // alike: the eager way is there to show it.
    bool load(const std::string& path, std::string& error, bool lazy = true);

    ClientInfo classify(std::string_view agent) const;

    std::size_t rules() const;
    std::size_t rulesSkipped() const { return skipped_; }

    struct Rule;  // a compiled rule; defined where it is read

  private:
    std::vector<std::unique_ptr<Rule>> agents_, systems_, devices_;
    std::size_t skipped_ = 0;
};

// Whether an agent names itself a robot: a word ending in "bot", "crawler" or "spider" (GPTBot,
// ClaudeBot, CCBot, Googlebot, Bytespider), the way crawlers and AI crawlers sign; a feed
// reader's word ("FeedBurner", "UniversalFeedParser", "RSS"); or a "+http" address of the page
// that explains the crawler.
bool agentSaysRobot(std::string_view agent);
// The word by which an agent names itself a robot ("GPTBot"; before a "+http" address, the
// product named last), or empty.
std::string_view robotWord(std::string_view agent);

}  // namespace tw::engine
