#pragma once
// The client reports of a run: browser families, operating systems, device classes and robots,
// worked out from the run's distinct user-agent texts after the count.
//
// Every distinct agent is classified once, however many requests carried it; the most requested
// ones first, up to kClassifiedAgents, so that a log of forged agents costs a bounded time. The
// rest are told apart only by the words robots sign with, and count as "Other" otherwise.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/client_classifier.h"
#include "engine/stat_items.h"
#include "engine/stat_table.h"

namespace tw::engine {

inline constexpr std::size_t kClassifiedAgents = 20000;

struct ClientRow {
    std::string name;
    std::uint64_t hits = 0;
    std::uint64_t visits = 0;
    std::uint64_t bytes = 0;
    std::int64_t lastSeen = 0;  // log frame; 0 for none
    friend bool operator==(const ClientRow&, const ClientRow&) = default;
};

// Device classes in the order the Devices report lists them when their hits tie.
const char* deviceClassName(DeviceClass c);

struct ClientReports {
    // False when the rules could not be read: every agent is then "Other", robots are still
    // known by their words, and `problem` says what went wrong.
    bool rulesRead = false;
    std::string problem;
    // False for a saved report of a version that did not keep the client reports.
    bool kept = true;
    // Most hits first (ties by name), cut to the report length. Browsers and systems leave the
    // robots out: a crawler is neither a reader's browser nor a reader's system.
    std::vector<ClientRow> browsers, systems, devices, robots;
    std::uint64_t agentHits = 0;  // requests with an agent text
    std::uint64_t robotHits = 0;  // of those, requests by robots
    std::uint64_t distinctAgents = 0;
    std::uint64_t classifiedAgents = 0;  // by the rules; the rest by words alone
    friend bool operator==(const ClientReports&, const ClientReports&) = default;
};

// Classifies `agents` with `rules` (null: none could be read, `problem` says why) on up to
// `threads` threads at once, the `classify` most requested by the rules, and ranks the reports,
// `keep` rows each (0 or less: none kept).
ClientReports reportClients(const StatTable<AgentKind>& agents, const ClientDatabase* rules,
                            std::string problem, int keep, unsigned threads,
                            std::size_t classify = kClassifiedAgents);

}  // namespace tw::engine
