#include "engine/client_classifier.h"

#include <re2/re2.h>
#include <sys/stat.h>
#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <mutex>

#include "ingest/text_search.h"

namespace tw::engine {

// A rule's pattern and its replacements, in the order of the groups they stand for: for agents
// family, v1, v2, v3; for systems os, v1, v2, v3, v4; for devices family, brand, model.
//
// A rule is compiled the first time an agent holds one of its literals (texts one of which
// every match contains): compiling all of them took most of the time of reading the rules,
// and most agents are ruled out by the literals alone.
struct ClientDatabase::Rule {
    std::string pattern;
    RE2::Options options;
    // Every match holds one text of each set; no sets: every agent is tried.
    std::vector<std::vector<std::string>> literals;
    bool literalFolded = false;  // the texts are lowercase and compared ignoring case
    std::array<std::string, 5> replacement;
    std::array<bool, 5> replaced{};

    // Null when the pattern does not compile. Safe from many threads at once.
    const RE2* compiled() const {
        std::call_once(once_, [this] {
            auto re = std::make_unique<RE2>(pattern, options);
            if (re->ok()) re_ = std::move(re);
        });
        return re_.get();
    }

  private:
    mutable std::once_flag once_;
    mutable std::unique_ptr<RE2> re_;
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
bool firstMatch(const std::vector<std::unique_ptr<ClientDatabase::Rule>>& rules,
                std::string_view agent, std::string_view folded,
                const std::array<int, N>& defaultGroup, std::array<std::string, N>& out) {
    const re2::StringPiece text(agent.data(), agent.size());
    for (const auto& owned : rules) {
        const ClientDatabase::Rule& rule = *owned;
        const std::string_view in = rule.literalFolded ? folded : agent;
        const auto held = [&](const std::string& l) {
            return in.find(l) != std::string_view::npos;
        };
        const auto someHeld = [&](const std::vector<std::string>& set) {
            return std::any_of(set.begin(), set.end(), held);
        };
        if (!std::all_of(rule.literals.begin(), rule.literals.end(), someHeld)) continue;
        const RE2* re = rule.compiled();
        if (re == nullptr) continue;
        const int count = std::min(re->NumberOfCapturingGroups(), 9);
        std::array<re2::StringPiece, 10> groups{};
        if (!re->Match(text, 0, text.size(), RE2::UNANCHORED, groups.data(), count + 1)) continue;
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

// What every match of a pattern contains, found without compiling it: sets of texts, each set
// with one of its texts in every match. The scan reads runs of plain characters, looks into
// groups that must match, and takes from alternatives one text each. Whatever it does not
// fully understand (an inline flag, an escape with arguments, a pattern it cannot balance)
// gives no sets, never wrong ones. Texts shorter than three characters filter too little.
class LiteralScan {
  public:
    using Sets = std::vector<std::vector<std::string>>;
    explicit LiteralScan(std::string_view p) : p_(p) {}

    Sets requirements() {
        Sets out;
        if (!requirements(0, p_.size(), out) || !ok_) return {};
        // A few sets rule out as much as many, at a fraction of the searches.
        if (out.size() > 3) out.resize(3);
        return out;
    }

  private:
    static constexpr std::size_t kShortest = 3;

    // The end of the group or class that starts at `i`, or npos.
    std::size_t closing(std::size_t i) const {
        int depth = 0;
        bool inClass = false;
        for (; i < p_.size(); ++i) {
            const char c = p_[i];
            if (c == '\\') {
                ++i;
            } else if (inClass) {
                if (c == ']') {
                    inClass = false;
                    if (depth == 0) return i;
                }
            } else if (c == '[') {
                inClass = true;
                if (i + 1 < p_.size() && p_[i + 1] == '^') ++i;
                if (i + 1 < p_.size() && p_[i + 1] == ']') ++i;
            } else if (c == '(') {
                ++depth;
            } else if (c == ')') {
                if (--depth == 0) return i;
                if (depth < 0) return std::string_view::npos;
            }
        }
        return std::string_view::npos;
    }

    // The top-level "|" positions between `from` and `to`.
    std::vector<std::size_t> bars(std::size_t from, std::size_t to) {
        std::vector<std::size_t> out;
        for (std::size_t i = from; i < to; ++i) {
            const char c = p_[i];
            if (c == '\\') {
                ++i;
            } else if (c == '(' || c == '[') {
                const std::size_t end = closing(i);
                if (end == std::string_view::npos || end >= to) {
                    ok_ = false;
                    return {};
                }
                i = end;
            } else if (c == '|') {
                out.push_back(i);
            }
        }
        return out;
    }

    // What p_[from, to) requires. Alternatives give one set: the longest text each of them
    // requires, when every one of them requires one.
    bool requirements(std::size_t from, std::size_t to, Sets& out) {
        std::vector<std::size_t> cuts = bars(from, to);
        if (!ok_) return false;
        if (cuts.empty()) {
            std::string run;
            if (!sequence(from, to, run, out)) return false;
            endRun(run, out);
            return true;
        }
        cuts.push_back(to);
        std::vector<std::string> any;
        std::size_t start = from;
        bool every = true;
        for (const std::size_t cut : cuts) {
            Sets branch;
            std::string run;
            if (!sequence(start, cut, run, branch)) return false;
            endRun(run, branch);
            std::string best;
            for (const auto& set : branch)
                if (set.size() == 1 && set[0].size() > best.size()) best = set[0];
            if (best.empty()) every = false;
            any.push_back(best);
            start = cut + 1;
        }
        if (every) out.push_back(std::move(any));
        return true;
    }

    static void endRun(std::string& run, Sets& out) {
        if (run.size() >= kShortest) out.push_back({run});
        run.clear();
    }

    // A sequence without top-level "|", continuing `run` (the plain characters just before).
    bool sequence(std::size_t from, std::size_t to, std::string& run, Sets& out) {
        for (std::size_t i = from; i < to && ok_; ++i) {
            const char c = p_[i];
            const char next = i + 1 < to ? p_[i + 1] : '\0';
            if (c == '(') {
                if (next == '?' && (i + 2 >= to || p_[i + 2] != ':')) return ok_ = false;
                const std::size_t end = closing(i);
                if (end == std::string_view::npos || end >= to) return ok_ = false;
                const char after = end + 1 < to ? p_[end + 1] : '\0';
                const std::size_t inner = next == '?' ? i + 3 : i + 1;
                if (after == '?' || after == '*' || after == '{') {
                    endRun(run, out);  // it may match nothing
                } else if (!bars(inner, end).empty()) {
                    endRun(run, out);
                    if (!requirements(inner, end, out)) return false;
                } else {
                    // Matched at least once, the last time right before what follows: its
                    // characters continue the run.
                    if (!sequence(inner, end, run, out)) return false;
                    if (after == '+') endRun(run, out);
                }
                i = end;
            } else if (c == '[') {
                endRun(run, out);
                const std::size_t end = closing(i);
                if (end == std::string_view::npos || end >= to) return ok_ = false;
                i = end;
            } else if (c == '?' || c == '*' || c == '{') {
                // The character before may be absent, or be there more often than the run shows.
                if (!run.empty()) run.pop_back();
                endRun(run, out);
                if (c == '{') {
                    const std::size_t close = p_.find('}', i);
                    if (close == std::string_view::npos || close >= to) return ok_ = false;
                    i = close;
                }
            } else if (c == '+' || c == '.' || c == '^' || c == '$') {
                endRun(run, out);
            } else if (c == '\\') {
                if (i + 1 >= to) return ok_ = false;
                const char e = p_[++i];
                // Escapes that take arguments (a byte's number, a property, a quoted text)
                // would leave those arguments looking like plain characters.
                if (std::string_view("xpPQEc0123456789").find(e) != std::string_view::npos)
                    return ok_ = false;
                if (std::isalnum(static_cast<unsigned char>(e)))
                    endRun(run, out);  // a class or an anchor, \d or \b
                else
                    run.push_back(e);
            } else if (c == ')' || c == '|') {
                return ok_ = false;  // not balanced as the scan expects
            } else {
                run.push_back(c);
            }
        }
        // The run is left open: in a group, it goes on with what follows the group.
        return ok_;
    }

    std::string_view p_;
    bool ok_ = true;
};

// Look-around and back references, which RE2 refuses.
bool refusedByRe2(std::string_view pattern) {
    for (const char* form : {"(?=", "(?!", "(?<=", "(?<!", "(?>"})
        if (pattern.find(form) != std::string_view::npos) return true;
    for (std::size_t i = 0; i + 1 < pattern.size(); ++i) {
        if (pattern[i] != '\\') continue;
        if (pattern[i + 1] >= '1' && pattern[i + 1] <= '9') return true;
        ++i;
    }
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

bool ClientDatabase::load(const std::string& path, std::string& error, bool lazy) {
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
        std::vector<std::unique_ptr<Rule>>* rules;
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
                auto rule = std::make_unique<Rule>();
                rule->options.set_log_errors(false);
                // Agents are bytes to match, not text to decode: the byte automata are a
                // fraction of the size of the UTF-8 ones, to build and to run.
                rule->options.set_encoding(RE2::Options::EncodingLatin1);
                const YAML::Node flag = entry["regex_flag"];
                const bool ignoreCase = flag && flag.IsScalar() && flag.as<std::string>() == "i";
                if (ignoreCase) rule->options.set_case_sensitive(false);
                rule->pattern = entry["regex"].as<std::string>();
                if (lazy) {
                    rule->literals = LiteralScan(rule->pattern).requirements();
                    rule->literalFolded = ignoreCase;
                    if (ignoreCase)
                        for (auto& set : rule->literals)
                            for (std::string& l : set) ingest::lowerAscii(l);
                }
                // What RE2 cannot do (look-around, back references) is found now, so that the
                // rule is counted as skipped; the rest compile when first needed.
                if ((!lazy || refusedByRe2(rule->pattern)) && rule->compiled() == nullptr) {
                    ++skipped_;
                    continue;
                }
                for (std::size_t k = 0; k < list.keys.size(); ++k) {
                    if (list.keys[k] == nullptr) continue;
                    const YAML::Node r = entry[list.keys[k]];
                    if (r && r.IsScalar()) {
                        rule->replacement[k] = r.as<std::string>();
                        rule->replaced[k] = true;
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
    std::string folded(agent);
    ingest::lowerAscii(folded);
    std::array<std::string, 4> browser;
    if (firstMatch<4>(agents_, agent, folded, {1, 2, 3, 4}, browser) && !browser[0].empty()) {
        c.browser = browser[0];
        c.browserMajor = browser[1];
    }
    std::array<std::string, 5> os;
    if (firstMatch<5>(systems_, agent, folded, {1, 2, 3, 4, 5}, os) && !os[0].empty()) {
        c.os = os[0];
        c.osMajor = os[1];
        c.osVersion = os[1];
        if (!os[1].empty() && !os[2].empty()) c.osVersion += "." + os[2];
    }
    std::array<std::string, 3> device;
    if (firstMatch<3>(devices_, agent, folded, {1, 0, 1}, device) && !device[0].empty())
        c.device = device[0];
    c.robot = c.device == "Spider" || agentSaysRobot(agent);
    c.deviceClass = classOf(c, agent);
    return c;
}

std::string_view robotWord(std::string_view agent) {
    static const ingest::Pattern kFeed("feed", ingest::Pattern::Case::Insensitive);
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
            endsWithIgnoringCase(word, "spider") || kFeed.foundIn(word) ||
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
