#include "engine/client_reports.h"

#include <algorithm>
#include <map>
#include <thread>

namespace tw::engine {
namespace {

void add(std::map<std::string, ClientRow>& rows, const std::string& name,
         const AgentKind::Item& agent) {
    ClientRow& r = rows[name];
    r.hits += agent.hits;
    r.visits += agent.visits;
    r.bytes = saturatingAdd(r.bytes, agent.bytes);
    r.lastSeen = std::max(r.lastSeen, agent.lastSeen);
}

std::vector<ClientRow> ranked(std::map<std::string, ClientRow>& rows, int keep) {
    std::vector<ClientRow> out;
    out.reserve(rows.size());
    for (auto& [name, row] : rows) {
        row.name = name;
        out.push_back(std::move(row));
    }
    // The map gave the rows in name order: a stable sort keeps it among equal hits.
    std::stable_sort(out.begin(), out.end(),
                     [](const ClientRow& a, const ClientRow& b) { return a.hits > b.hits; });
    const std::size_t cut = static_cast<std::size_t>(std::max(keep, 0));
    if (out.size() > cut) out.resize(cut);
    return out;
}

std::string withVersion(const std::string& name, const std::string& version) {
    return version.empty() || name == "Other" ? name : name + " " + version;
}

// A robot by the name it is best known by: the rules' family, unless that is a browser the
// robot imitates, which names nothing; then the word it signs with.
std::string robotName(const ClientInfo& info, std::string_view agent) {
    static constexpr std::string_view kBrowsers[] = {
        "Chrome", "Chromium", "Firefox", "Safari",        "Mobile Safari",
        "IE",     "Edge",     "Opera",   "Chrome Mobile", "Other"};
    const bool imitates =
        std::find(std::begin(kBrowsers), std::end(kBrowsers), info.browser) != std::end(kBrowsers);
    if (!imitates) return info.browser;
    if (const std::string_view word = robotWord(agent); !word.empty()) return std::string(word);
    return "Other robots";
}

}  // namespace

const char* deviceClassName(DeviceClass c) {
    switch (c) {
        case DeviceClass::Desktop:
            return "Desktop";
        case DeviceClass::Mobile:
            return "Mobile";
        case DeviceClass::Tablet:
            return "Tablet";
        case DeviceClass::Robot:
            return "Robot";
        case DeviceClass::Other:
            break;
    }
    return "Other";
}

ClientReports reportClients(const StatTable<AgentKind>& agents, const ClientDatabase* rules,
                            std::string problem, int keep, unsigned threads, std::size_t classify) {
    ClientReports out;
    out.rulesRead = rules != nullptr;
    out.problem = std::move(problem);

    // Most requested first, ties by text: which agents the rules classify must not depend on
    // the order the table happens to hold them in.
    std::vector<const AgentKind::Item*> order;
    order.reserve(agents.size());
    agents.forEach([&](const AgentKind::Item& a) { order.push_back(&a); });
    std::sort(order.begin(), order.end(), [](const AgentKind::Item* a, const AgentKind::Item* b) {
        if (a->hits != b->hits) return a->hits > b->hits;
        return a->agent.view() < b->agent.view();
    });
    out.distinctAgents = order.size();
    const std::size_t classified = rules ? std::min(order.size(), classify) : 0;
    out.classifiedAgents = classified;

    // An agent costs the rules it compiles first, then some microseconds: even a few dozen
    // agents are worth the cores.
    std::vector<ClientInfo> infos(order.size());
    const unsigned workers =
        std::max(1u, std::min<unsigned>(threads, static_cast<unsigned>(classified / 8 + 1)));
    const auto work = [&](unsigned first) {
        for (std::size_t i = first; i < classified; i += workers)
            infos[i] = rules->classify(order[i]->agent.view());
    };
    std::vector<std::thread> pool;
    for (unsigned w = 1; w < workers; ++w) pool.emplace_back(work, w);
    work(0);
    for (std::thread& t : pool) t.join();
    for (std::size_t i = classified; i < order.size(); ++i) {
        infos[i].robot = agentSaysRobot(order[i]->agent.view());
        if (infos[i].robot) infos[i].deviceClass = DeviceClass::Robot;
    }

    std::map<std::string, ClientRow> browsers, systems, devices, robots;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const AgentKind::Item& a = *order[i];
        const ClientInfo& info = infos[i];
        out.agentHits += a.hits;
        add(devices, deviceClassName(info.deviceClass), a);
        if (info.robot) {
            out.robotHits += a.hits;
            add(robots, robotName(info, a.agent.view()), a);
            continue;
        }
        add(browsers, withVersion(info.browser, info.browserMajor), a);
        add(systems, withVersion(info.os, info.osVersion), a);
    }
    out.browsers = ranked(browsers, keep);
    out.systems = ranked(systems, keep);
    out.devices = ranked(devices, keep);
    out.robots = ranked(robots, keep);
    return out;
}

}  // namespace tw::engine
