// Today's clients by the ua-parser rules: the rules' own cases, agents of today, robots, and
// rules that are missing, damaged or cannot be compiled.
#include <gtest/gtest.h>
#include <yaml-cpp/yaml.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/client_classifier.h"
#include "engine/client_reports.h"

namespace tw::engine {
namespace {

namespace fs = std::filesystem;

const std::string kSystemRules = "/usr/share/uap-core/regexes.yaml";

const ClientDatabase& systemDatabase() {
    static ClientDatabase db;
    static const bool loaded = [] {
        std::string error;
        return db.load(ClientDatabase::locate(""), error);
    }();
    (void)loaded;
    return db;
}

std::string text(const YAML::Node& n) {
    return n && n.IsScalar() ? n.as<std::string>() : std::string();
}

// The package ships the cases its rules were written against: each gives the family and major
// version (of the agent, or of the system) the rules must give.
TEST(ClientDatabase, AgreesWithTheRulesOwnCases) {
    if (ClientDatabase::locate("").empty()) GTEST_SKIP() << "no " << kSystemRules;
    const ClientDatabase& db = systemDatabase();
    ASSERT_GT(db.rules(), 1000u);
    struct Suite {
        const char* file;
        const char* familyKey;
        bool os;
    };
    for (const Suite& suite :
         {Suite{"test_ua.yaml", "family", false}, Suite{"test_os.yaml", "family", true}}) {
        const std::string path = "/usr/share/uap-core/tests/" + std::string(suite.file);
        if (!fs::exists(path)) continue;
        const YAML::Node cases = YAML::LoadFile(path)["test_cases"];
        int total = 0, wrong = 0;
        std::string firstWrong;
        for (const YAML::Node& c : cases) {
            const std::string agent = text(c["user_agent_string"]);
            const ClientInfo got = db.classify(agent);
            const std::string family = suite.os ? got.os : got.browser;
            const std::string major = suite.os ? got.osMajor : got.browserMajor;
            ++total;
            if (family != text(c[suite.familyKey]) || major != text(c["major"])) {
                if (++wrong <= 3)
                    firstWrong += agent + " -> " + family + " " + major + " (wanted " +
                                  text(c[suite.familyKey]) + " " + text(c["major"]) + ")\n";
            }
        }
        EXPECT_GT(total, 100) << suite.file;
        EXPECT_EQ(wrong, 0) << suite.file << ": " << wrong << " of " << total << "\n" << firstWrong;
    }
}

// The rules compiled as agents need them, and tried only on agents that hold their literal,
// classify every agent the package's cases hold (browsers, systems, devices, crawlers) exactly
// as all rules compiled at once and tried on every agent do.
TEST(ClientDatabase, LiteralsAndLateCompilingChangeNoClassification) {
    if (ClientDatabase::locate("").empty()) GTEST_SKIP() << "no " << kSystemRules;
    ClientDatabase eager;
    std::string error;
    ASSERT_TRUE(eager.load(ClientDatabase::locate(""), error, false)) << error;
    const ClientDatabase& lazy = systemDatabase();
    EXPECT_EQ(lazy.rules(), eager.rules());
    EXPECT_EQ(lazy.rulesSkipped(), eager.rulesSkipped());
    std::size_t compared = 0;
    struct Cases {
        const char* file;
        std::size_t every;  // the big lists every so many cases: some of each rule's still
    };
    for (const Cases& cases :
         {Cases{"tests/test_ua.yaml", 1}, Cases{"tests/test_os.yaml", 1},
          Cases{"tests/test_device.yaml", 8}, Cases{"test_resources/pgts_browser_list.yaml", 20},
          Cases{"test_resources/additional_os_tests.yaml", 1},
          Cases{"test_resources/podcasting_user_agent_strings.yaml", 1}}) {
        const std::string path = "/usr/share/uap-core/" + std::string(cases.file);
        if (!fs::exists(path)) continue;
        std::size_t n = 0;
        for (const YAML::Node& c : YAML::LoadFile(path)["test_cases"]) {
            if (n++ % cases.every != 0) continue;
            const std::string agent = text(c["user_agent_string"]);
            ASSERT_EQ(lazy.classify(agent), eager.classify(agent)) << agent;
            ++compared;
        }
    }
    EXPECT_GT(compared, 4000u);
}

TEST(ClientDatabase, FortyAgentsOfToday) {
    if (ClientDatabase::locate("").empty()) GTEST_SKIP() << "no " << kSystemRules;
    const ClientDatabase& db = systemDatabase();
    struct Case {
        const char* agent;
        const char* browser;
        const char* major;
        const char* os;
        DeviceClass device;
        bool robot;
    };
    const Case cases[] = {
        {"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
         "Chrome/120.0.0.0 Safari/537.36",
         "Chrome", "120", "Windows", DeviceClass::Desktop, false},
        {"Mozilla/5.0 (X11; Linux x86_64; rv:121.0) Gecko/20100101 Firefox/121.0", "Firefox", "121",
         "Linux", DeviceClass::Desktop, false},
        {"Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like "
         "Gecko) Version/17.1 Safari/605.1.15",
         "Safari", "17", "Mac OS X", DeviceClass::Desktop, false},
        {"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
         "Chrome/120.0.0.0 Safari/537.36 Edg/120.0.2210.91",
         "Edge", "120", "Windows", DeviceClass::Desktop, false},
        {"Mozilla/5.0 (iPhone; CPU iPhone OS 17_1_2 like Mac OS X) AppleWebKit/605.1.15 (KHTML, "
         "like Gecko) Version/17.1.2 Mobile/15E148 Safari/604.1",
         "Mobile Safari", "17", "iOS", DeviceClass::Mobile, false},
        {"Mozilla/5.0 (Linux; Android 13; SAMSUNG SM-S918B) AppleWebKit/537.36 (KHTML, like "
         "Gecko) SamsungBrowser/23.0 Chrome/115.0.0.0 Mobile Safari/537.36",
         "Samsung Internet", "23", "Android", DeviceClass::Mobile, false},
        {"Mozilla/5.0 (iPad; CPU OS 16_6 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like Gecko) "
         "Version/16.6 Mobile/15E148 Safari/604.1",
         "Mobile Safari", "16", "iOS", DeviceClass::Tablet, false},
        {"curl/8.5.0", "curl", "8", "Other", DeviceClass::Other, false},
        {"python-requests/2.31.0", "Python Requests", "2", "Other", DeviceClass::Other, false},
        {"Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)", "Googlebot",
         "2", "Other", DeviceClass::Robot, true},
        {"Mozilla/5.0 (compatible; bingbot/2.0; +http://www.bing.com/bingbot.htm)", "bingbot", "2",
         "Other", DeviceClass::Robot, true},
        {"Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko; compatible; GPTBot/1.0; "
         "+https://openai.com/gptbot)",
         nullptr, nullptr, nullptr, DeviceClass::Robot, true},
        {"Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko; compatible; ClaudeBot/1.0; "
         "+claudebot@anthropic.com)",
         nullptr, nullptr, nullptr, DeviceClass::Robot, true},
        {"CCBot/2.0 (https://commoncrawl.org/faq/)", nullptr, nullptr, nullptr, DeviceClass::Robot,
         true},
        {"Mozilla/5.0 (compatible; Bytespider; spider-feedback@bytedance.com)", nullptr, nullptr,
         nullptr, DeviceClass::Robot, true},
        {"Mozilla/5.0 (Android 14; Mobile; rv:121.0) Gecko/121.0 Firefox/121.0", "Firefox Mobile",
         "121", "Android", DeviceClass::Mobile, false},
        {"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
         "Chrome/120.0.0.0 Safari/537.36 OPR/106.0.0.0",
         "Opera", "106", "Windows", DeviceClass::Desktop, false},
        {"Mozilla/5.0 (iPhone; CPU iPhone OS 17_2 like Mac OS X) AppleWebKit/605.1.15 (KHTML, "
         "like Gecko) CriOS/120.0.6099.119 Mobile/15E148 Safari/604.1",
         "Chrome Mobile iOS", "120", "iOS", DeviceClass::Mobile, false},
        {"Mozilla/5.0 (Linux; Android 10; K) AppleWebKit/537.36 (KHTML, like Gecko) "
         "Chrome/120.0.0.0 Mobile Safari/537.36",
         "Chrome Mobile", "120", "Android", DeviceClass::Mobile, false},
        {"Mozilla/5.0 (Linux; Android 10; K) AppleWebKit/537.36 (KHTML, like Gecko) "
         "Chrome/120.0.0.0 Mobile Safari/537.36 EdgA/120.0.2210.115",
         "Edge Mobile", "120", "Android", DeviceClass::Mobile, false},
        {"Mozilla/5.0 (Linux; Android 13; Pixel 7) AppleWebKit/537.36 (KHTML, like Gecko) "
         "Chrome/120.0.6099.144 Mobile Safari/537.36",
         "Chrome Mobile", "120", "Android", DeviceClass::Mobile, false},
        // A Galaxy Tab: Android without "Mobile".
        {"Mozilla/5.0 (Linux; Android 12; SM-X700) AppleWebKit/537.36 (KHTML, like Gecko) "
         "Chrome/120.0.0.0 Safari/537.36",
         "Chrome", "120", "Android", DeviceClass::Tablet, false},
        {"Mozilla/5.0 (X11; CrOS x86_64 14541.0.0) AppleWebKit/537.36 (KHTML, like Gecko) "
         "Chrome/120.0.0.0 Safari/537.36",
         "Chrome", "120", "Chrome OS", DeviceClass::Desktop, false},
        {"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
         "Chrome/120.0.0.0 YaBrowser/23.11.0.0 Safari/537.36",
         "Yandex Browser", "23", "Windows", DeviceClass::Desktop, false},
        {"Mozilla/5.0 (Windows NT 10.0; Win64; x64; rv:121.0) Gecko/20100101 Firefox/121.0",
         "Firefox", "121", "Windows", DeviceClass::Desktop, false},
        {"Mozilla/5.0 (X11; Ubuntu; Linux x86_64; rv:120.0) Gecko/20100101 Firefox/120.0",
         "Firefox", "120", "Ubuntu", DeviceClass::Desktop, false},
        {"Mozilla/5.0 (compatible; MSIE 10.0; Windows NT 6.2; Trident/6.0)", "IE", "10", "Windows",
         DeviceClass::Desktop, false},
        {"Wget/1.21.4", "Wget", "1", "Other", DeviceClass::Other, false},
        {"Go-http-client/2.0", "Go-http-client", "2", "Other", DeviceClass::Other, false},
        {"okhttp/4.12.0", "okhttp", "4", "Other", DeviceClass::Other, false},
        // The rules count Java's own client among the spiders.
        {"Java/17.0.9", "Java", nullptr, "Other", DeviceClass::Robot, true},
        {"Mozilla/5.0 (compatible; YandexBot/3.0; +http://yandex.com/bots)", "YandexBot", "3",
         "Other", DeviceClass::Robot, true},
        {"Mozilla/5.0 (compatible; AhrefsBot/7.0; +http://ahrefs.com/robot/)", "AhrefsBot", "7",
         "Other", DeviceClass::Robot, true},
        {"Mozilla/5.0 (compatible; SemrushBot/7~bl; +http://www.semrush.com/bot.html)",
         "SemrushBot", "7", "Other", DeviceClass::Robot, true},
        {"DuckDuckBot/1.1; (+http://duckduckgo.com/duckduckbot.html)", "DuckDuckBot", "1", "Other",
         DeviceClass::Robot, true},
        // A robot that names a desktop system is still a robot.
        {"Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_5) AppleWebKit/605.1.15 (KHTML, like "
         "Gecko) Version/13.1.1 Safari/605.1.15 (Applebot/0.1; +http://www.apple.com/go/applebot)",
         "Applebot", "0", "Mac OS X", DeviceClass::Robot, true},
        {"Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko; compatible; PerplexityBot/1.0; "
         "+https://perplexity.ai/perplexitybot)",
         "PerplexityBot", "1", "Other", DeviceClass::Robot, true},
        {"Mozilla/5.0 (compatible; Baiduspider/2.0; +http://www.baidu.com/search/spider.html)",
         "Baiduspider", "2", "Other", DeviceClass::Robot, true},
        {"facebookexternalhit/1.1 (+http://www.facebook.com/externalhit_uatext.php)", "FacebookBot",
         "1", "Other", DeviceClass::Robot, true},
        {"", "Other", "", "Other", DeviceClass::Other, false},
    };
    for (const Case& c : cases) {
        const ClientInfo got = db.classify(c.agent);
        if (c.browser != nullptr) {
            EXPECT_EQ(got.browser, c.browser) << c.agent;
        }
        if (c.major != nullptr) {
            EXPECT_EQ(got.browserMajor, c.major) << c.agent;
        }
        if (c.os != nullptr) {
            EXPECT_EQ(got.os, c.os) << c.agent;
        }
        EXPECT_EQ(got.deviceClass, c.device) << c.agent;
        EXPECT_EQ(got.robot, c.robot) << c.agent;
    }
    // A 9,999-byte agent is classified like any other, and quickly enough to be harmless.
    const std::string huge = "Mozilla/5.0 (X11; Linux x86_64) " + std::string(9999 - 32, 'x');
    ASSERT_EQ(huge.size(), 9999u);
    EXPECT_EQ(db.classify(huge).os, "Linux");
    EXPECT_FALSE(db.classify(huge).robot);
}

TEST(ClientDatabase, RobotsByTheirWords) {
    EXPECT_TRUE(agentSaysRobot("Googlebot/2.1"));
    EXPECT_TRUE(agentSaysRobot("foo PerplexityBot/1.0"));
    EXPECT_TRUE(agentSaysRobot("SemrushCrawler"));
    EXPECT_TRUE(agentSaysRobot("x (Baiduspider)"));
    EXPECT_FALSE(agentSaysRobot("Mozilla/5.0 (Windows NT 10.0) Chrome/120.0"));
    // "bot" inside a word is no signature: "Botanist" and "robotics" are not robots' names.
    EXPECT_FALSE(agentSaysRobot("Botanist/1.0 (robotics lab)"));
    EXPECT_FALSE(agentSaysRobot(""));
}

TEST(ClientDatabase, MissingDamagedAndUncompilableRulesSayWhy) {
    char pattern[] = "/tmp/tallyweb-rules-XXXXXX";
    const fs::path dir = mkdtemp(pattern);
    ClientDatabase db;
    std::string error;
    EXPECT_FALSE(db.load((dir / "none.yaml").string(), error));
    EXPECT_NE(error.find("none.yaml"), std::string::npos) << error;
    EXPECT_EQ(db.classify("Mozilla/5.0 Googlebot/2.1").browser, "Other");
    EXPECT_TRUE(db.classify("Mozilla/5.0 Googlebot/2.1").robot);

    std::ofstream(dir / "damaged.yaml") << "user_agent_parsers:\n  - regex: 'a\n  - [";
    error.clear();
    EXPECT_FALSE(db.load((dir / "damaged.yaml").string(), error));
    EXPECT_NE(error.find("damaged.yaml"), std::string::npos) << error;

    std::ofstream(dir / "empty.yaml") << "something_else: 1\n";
    error.clear();
    EXPECT_FALSE(db.load((dir / "empty.yaml").string(), error));
    EXPECT_NE(error.find("no rules"), std::string::npos) << error;

    // A look-ahead the engine cannot compile is skipped; the rules after it still work, and
    // replacements take the groups they name.
    std::ofstream(dir / "regexes.yaml") << "user_agent_parsers:\n"
                                           "  - regex: '(Foo)(?=bar)'\n"
                                           "  - regex: '(Tally)Web/(\\d+)'\n"
                                           "    family_replacement: '$1 Web'\n"
                                           "os_parsers:\n"
                                           "  - regex: '(Plan)(\\d+)'\n"
                                           "    os_replacement: 'Plan 9'\n"
                                           "device_parsers:\n"
                                           "  - regex: 'robot'\n"
                                           "    regex_flag: 'i'\n"
                                           "    device_replacement: 'Spider'\n";
    error.clear();
    EXPECT_EQ(ClientDatabase::locate(dir.string()), (dir / "regexes.yaml").string());
    ASSERT_TRUE(db.load(ClientDatabase::locate(dir.string()), error)) << error;
    EXPECT_EQ(db.rulesSkipped(), 1u);
    EXPECT_EQ(db.rules(), 3u);
    const ClientInfo c = db.classify("TallyWeb/7 Plan4 ROBOT");
    EXPECT_EQ(c.browser, "Tally Web");
    EXPECT_EQ(c.browserMajor, "7");
    EXPECT_EQ(c.os, "Plan 9");
    EXPECT_EQ(c.osVersion, "4");
    EXPECT_EQ(c.device, "Spider");
    EXPECT_TRUE(c.robot);
    fs::remove_all(dir);
}

// The reports of a run's agents: families with their versions, robots apart from browsers and
// systems, ties by name, the cut, and the agents past the classification limit told apart only
// by the words robots sign with.
TEST(ClientReports, RankAndCutTheClassifiedAgents) {
    if (ClientDatabase::locate("").empty()) GTEST_SKIP() << "no " << kSystemRules;
    StringArena arena;
    StatTable<AgentKind> agents(16);
    const auto add = [&](std::string_view text, std::uint64_t hits, std::uint64_t visits) {
        agents.insertOrMerge(
            {arena.copy(text), hits, visits, hits * 10, 1000 + static_cast<std::int64_t>(hits)});
    };
    const std::string firefox =
        "Mozilla/5.0 (X11; Linux x86_64; rv:127.0) Gecko/20100101 Firefox/127.0";
    add(firefox, 40, 4);
    add("Mozilla/5.0 (Windows NT 10.0; rv:127.0) Gecko/20100101 Firefox/127.0", 10, 2);
    add("Mozilla/5.0 (compatible; bingbot/2.0; +http://www.bing.com/bingbot.htm)", 30, 3);
    add("Mozilla/5.0 (iPhone; CPU iPhone OS 17_5 like Mac OS X) AppleWebKit/605.1.15 (KHTML, "
        "like Gecko) Version/17.5 Mobile/15E148 Safari/604.1",
        10, 1);
    add("FeedBurner/1.0 (http://www.FeedBurner.com)", 5, 1);
    add("Wget/1.21", 2, 1);

    const ClientReports all = reportClients(agents, &systemDatabase(), "", 100, 2);
    EXPECT_TRUE(all.rulesRead);
    EXPECT_EQ(all.agentHits, 97u);
    EXPECT_EQ(all.robotHits, 35u) << "bingbot and the feed reader";
    EXPECT_EQ(all.distinctAgents, 6u);
    EXPECT_EQ(all.classifiedAgents, 6u);
    ASSERT_GE(all.browsers.size(), 2u);
    EXPECT_EQ(all.browsers[0], (ClientRow{"Firefox 127", 50, 6, 500, 1040}));
    EXPECT_EQ(all.browsers[1].name, "Mobile Safari 17");
    std::vector<std::string> robots;
    for (const ClientRow& r : all.robots) robots.push_back(r.name);
    EXPECT_EQ(robots, (std::vector<std::string>{"bingbot", "FeedBurner"}));
    std::uint64_t systemHits = 0;
    for (const ClientRow& r : all.systems) systemHits += r.hits;
    EXPECT_EQ(systemHits, all.agentHits - all.robotHits) << "robots have no place among systems";

    // Two agents by the rules (the Linux Firefox and bingbot), the rest by words alone; cut to
    // two rows.
    const ClientReports cut = reportClients(agents, &systemDatabase(), "", 2, 1, 2);
    EXPECT_EQ(cut.classifiedAgents, 2u);
    ASSERT_EQ(cut.browsers.size(), 2u);
    EXPECT_EQ(cut.browsers[0], (ClientRow{"Firefox 127", 40, 4, 400, 1040}));
    EXPECT_EQ(cut.browsers[1].name, "Other");
    EXPECT_EQ(cut.browsers[1].hits, 22u) << "the other Firefox, the iPhone and Wget";
    EXPECT_EQ(reportClients(agents, &systemDatabase(), "", 1, 1, 2).browsers.size(), 1u);
    EXPECT_EQ(cut.robotHits, 35u) << "the feed reader past the limit still signs as a robot";

    // Without rules nothing is classified, but robots are still known by their words.
    const ClientReports none = reportClients(agents, nullptr, "no rules", 100, 1);
    EXPECT_FALSE(none.rulesRead);
    EXPECT_EQ(none.problem, "no rules");
    EXPECT_EQ(none.robotHits, 35u);
    ASSERT_EQ(none.browsers.size(), 1u);
    EXPECT_EQ(none.browsers[0].hits, 62u);
}

}  // namespace
}  // namespace tw::engine
