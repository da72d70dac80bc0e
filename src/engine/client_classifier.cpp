#include "engine/client_classifier.h"

#include <re2/re2.h>
#include <sys/stat.h>
#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <array>
#include <cctype>

#include "ingest/text_search.h"

namespace tw::engine {

// A rule's pattern and its replacements, in the order of the groups they stand for: for agents
// family, v1, v2, v3; for systems os, v1, v2, v3, v4; for devices family, brand, model.
struct ClientDatabase::Rule {
    std::unique_ptr<RE2> re;
    std::array<std::string, 5> replacement;
    std::array<bool, 5> replaced{};
};

namespace {

constexpr const char* kSystemRules = "/usr/share/uap-core/regexes.yaml";

bool isFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string trimmed(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    std::size_t b = 0, e = s.size();
    while (b < e && blank(s[b])) ++b;
    while (e > b && blank(s[e - 1])) --e;
    return std::string(s.substr(b, e - b));
}

// "$1".."$9" in `text` stand for the match's groups; a group that took part in no match is
// empty. The result is trimmed, as the rules' authors expect.
std::string substitute(std::string_view text, const std::array<re2::StringPiece, 10>& groups,
                       int groupCount) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '$' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
            const int g = text[i + 1] - '0';
            if (g <= groupCount)
                out.append(groups[static_cast<std::size_t>(g)].data(),
                           groups[static_cast<std::size_t>(g)].size());
            ++i;
        } else {
            out.push_back(text[i]);
        }
    }
    return trimmed(out);
}

// The first rule that matches `agent` gives its fields: field k is its replacement (groups put
// in) when it has one, else group `defaultGroup[k]`. False when no rule matches.
template <std::size_t N>
bool firstMatch(const std::vector<ClientDatabase::Rule>& rules, std::string_view agent,
                const std::array<int, N>& defaultGroup, std::array<std::string, N>& out) {
    const re2::StringPiece text(agent.data(), agent.size());
    for (const auto& rule : rules) {
        const int count = std::min(rule.re->NumberOfCapturingGroups(), 9);
        std::array<re2::StringPiece, 10> groups{};
        if (!rule.re->Match(text, 0, text.size(), RE2::UNANCHORED, groups.data(), count + 1))
            continue;
        for (std::size_t k = 0; k < N; ++k) {
            if (rule.replaced[k]) {
                out[k] = substitute(rule.replacement[k], groups, count);
            } else {
                const int g = defaultGroup[k];
                const re2::StringPiece group =
                    g >= 1 && g <= count ? groups[static_cast<std::size_t>(g)] : re2::StringPiece();
                out[k] = trimmed(std::string_view(group.data(), group.size()));
            }
        }
        return true;
    }
    return false;
}

bool lettersOrDigit(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0;
}

bool endsWithIgnoringCase(std::string_view word, std::string_view tail) {
    return word.size() >= tail.size() &&
           ingest::equalsIgnoringCase(word.substr(word.size() - tail.size()), tail);
}

bool containsIgnoringCase(std::string_view word, std::string_view part) {
    for (std::size_t i = 0; i + part.size() <= word.size(); ++i)
        if (ingest::equalsIgnoringCase(word.substr(i, part.size()), part)) return true;
    return false;
}

DeviceClass classOf(const ClientInfo& c, std::string_view agent) {
    if (c.robot) return DeviceClass::Robot;
    const std::string_view device = c.device, os = c.os;
    // Android browsers on phones say "Mobile"; on tablets they leave it out.
    if (device == "iPad" || device.find("Tablet") != std::string_view::npos ||
        device.find("Kindle") != std::string_view::npos ||
        (os == "Android" && agent.find("Mobile") == std::string_view::npos))
        return DeviceClass::Tablet;
    if (os == "iOS" || os == "Android" || os == "Windows Phone" || os == "KaiOS" ||
        device == "iPhone" || device.find("Phone") != std::string_view::npos)
        return DeviceClass::Mobile;
    if (os == "Windows" || os == "Mac OS X" || os == "Linux" || os == "Ubuntu" ||
        os == "Chrome OS" || os == "Fedora" || os == "Debian" || os == "FreeBSD")
        return DeviceClass::Desktop;
    return DeviceClass::Other;
}

}  // namespace

ClientDatabase::ClientDatabase() = default;
ClientDatabase::~ClientDatabase() = default;

std::string ClientDatabase::locate(std::string_view dataFolder) {
    if (!dataFolder.empty()) {
        const std::string base(dataFolder);
        for (const char* name : {"/regexes.yaml", "/uap-core/regexes.yaml"})
            if (isFile(base + name)) return base + name;
    }
    return isFile(kSystemRules) ? kSystemRules : std::string();
}

bool ClientDatabase::load(const std::string& path, std::string& error) {
    agents_.clear();
    systems_.clear();
    devices_.clear();
    skipped_ = 0;
    YAML::Node root;
    try {
        root = YAML::LoadFile(path);
    } catch (const std::exception& e) {
        error = "cannot read the client rules " + path + ": " + e.what();
        return false;
    }
    // The replacement keys of each list, in the order of ClientDatabase::Rule's fields.
    struct List {
        const char* name;
        std::vector<Rule>* rules;
        std::array<const char*, 5> keys;
    };
    const List lists[] = {
        {"user_agent_parsers",
         &agents_,
         {"family_replacement", "v1_replacement", "v2_replacement", "v3_replacement", nullptr}},
        {"os_parsers",
         &systems_,
         {"os_replacement", "os_v1_replacement", "os_v2_replacement", "os_v3_replacement",
          "os_v4_replacement"}},
        {"device_parsers",
         &devices_,
         {"device_replacement", "brand_replacement", "model_replacement", nullptr, nullptr}},
    };
    try {
        for (const List& list : lists) {
            const YAML::Node entries = root[list.name];
            if (!entries || !entries.IsSequence()) continue;
            for (const YAML::Node& entry : entries) {
                if (!entry.IsMap() || !entry["regex"] || !entry["regex"].IsScalar()) {
                    ++skipped_;
                    continue;
                }
                RE2::Options options;
                options.set_log_errors(false);
                const YAML::Node flag = entry["regex_flag"];
                if (flag && flag.IsScalar() && flag.as<std::string>() == "i")
                    options.set_case_sensitive(false);
                Rule rule;
                rule.re = std::make_unique<RE2>(entry["regex"].as<std::string>(), options);
                if (!rule.re->ok()) {
                    ++skipped_;
                    continue;
                }
                for (std::size_t k = 0; k < list.keys.size(); ++k) {
                    if (list.keys[k] == nullptr) continue;
                    const YAML::Node r = entry[list.keys[k]];
                    if (r && r.IsScalar()) {
                        rule.replacement[k] = r.as<std::string>();
                        rule.replaced[k] = true;
                    }
                }
                list.rules->push_back(std::move(rule));
            }
        }
    } catch (const std::exception& e) {
        agents_.clear();
        systems_.clear();
        devices_.clear();
        error = "the client rules " + path + " are damaged: " + e.what();
        return false;
    }
    if (rules() == 0) {
        error = "the client rules " + path + " hold no rules";
        return false;
    }
    return true;
}

std::size_t ClientDatabase::rules() const {
    return agents_.size() + systems_.size() + devices_.size();
}

ClientInfo ClientDatabase::classify(std::string_view agent) const {
    ClientInfo c;
    std::array<std::string, 4> browser;
    if (firstMatch<4>(agents_, agent, {1, 2, 3, 4}, browser) && !browser[0].empty()) {
        c.browser = browser[0];
        c.browserMajor = browser[1];
    }
    std::array<std::string, 5> os;
    if (firstMatch<5>(systems_, agent, {1, 2, 3, 4, 5}, os) && !os[0].empty()) {
        c.os = os[0];
        c.osMajor = os[1];
        c.osVersion = os[1];
        if (!os[1].empty() && !os[2].empty()) c.osVersion += "." + os[2];
    }
    std::array<std::string, 3> device;
    if (firstMatch<3>(devices_, agent, {1, 0, 1}, device) && !device[0].empty())
        c.device = device[0];
    c.robot = c.device == "Spider" || agentSaysRobot(agent);
    c.deviceClass = classOf(c, agent);
    return c;
}

std::string_view robotWord(std::string_view agent) {
    std::size_t i = 0;
    std::string_view product;  // the last word before a "/", a product's name
    while (i < agent.size()) {
        while (i < agent.size() && !lettersOrDigit(agent[i])) {
            // "+http://..." is how crawlers sign with the page that explains them.
            if (agent[i] == '+' && agent.substr(i + 1, 4) == "http")
                return !product.empty() ? product : agent.substr(0, agent.find_first_of(" /;("));
            ++i;
        }
        const std::size_t b = i;
        while (i < agent.size() &&
               (lettersOrDigit(agent[i]) || agent[i] == '_' ||
                (agent[i] == '.' && i + 1 < agent.size() && lettersOrDigit(agent[i + 1]))))
            ++i;
        const std::string_view word = agent.substr(b, i - b);
        if (endsWithIgnoringCase(word, "bot") || endsWithIgnoringCase(word, "crawler") ||
            endsWithIgnoringCase(word, "spider") || containsIgnoringCase(word, "feed") ||
            ingest::equalsIgnoringCase(word, "rss"))
            return word;
        if (i < agent.size() && agent[i] == '/' && !word.empty()) product = word;
    }
    return {};
}

bool agentSaysRobot(std::string_view agent) {
    return !robotWord(agent).empty();
}

}  // namespace tw::engine
