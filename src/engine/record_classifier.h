#pragma once
// The per-record analysis: checks a record, settles its host, and merges it into the run's
// statistics in a fixed order.
//
// Threads: classify() is called concurrently in parallel mode; with the statistics' locks on it
// holds the analysis lock for the whole record (released only around a host lookup), so all
// table updates are serialised.
#include <mutex>
#include <string>
#include <string_view>

#include "engine/client_classifier.h"
#include "engine/distinct_cache.h"
#include "engine/filter_set.h"
#include "engine/ordered_gate.h"
#include "engine/referrers.h"
#include "engine/statistics.h"
#include "engine/text_cache.h"
#include "engine/user_agents.h"
#include "ingest/log_record.h"
#include "platform/progress.h"

namespace tw::engine {

// Reverse lookups, which the host-name cache and the resolver fill in. The default leaves
// addresses as logged.
class ClassifierHooks {
  public:
    virtual ~ClassifierHooks() = default;
    // Resolves an address, in the spelling platform::canonicalAddress gives it, to a name; empty
    // when it stays an address. May block.
    virtual std::string resolve(std::string_view /*address*/) { return {}; }
};

struct ClassifierOptions {
    bool caseSensitive = true;
    bool removeDirectories = false;
    bool removeFirstDot = true;
    std::string defaultPage = "index.html";
    std::string domain{};       // the site's own domain, without a trailing "/"
    bool cutAtPound = true;     // DoNotDisplayPound
    bool cutAtQuestion = true;  // DoNotDisplayQuestion
    bool hyperlinkTree = false;
};

class RecordClassifier {
  public:
    RecordClassifier(Statistics& stats, ClassifierHooks& hooks, platform::CancelFlag* cancel)
        : stats_(stats), hooks_(&hooks), cancel_(cancel), referrers_(stats) {}
    void setHooks(ClassifierHooks& hooks) { hooks_ = &hooks; }
    void setCancelFlag(platform::CancelFlag* cancel) { cancel_ = cancel; }
    // With a gate, records update the tables in the order of their sequence numbers (each
    // sequence number must be classified exactly once); without one, in the order they come.
    void setOrder(OrderedGate* gate) { gate_ = gate; }
    // Starts a run: takes the options and forgets what earlier runs' agents and referring
    // hosts were.
    void setOptions(ClassifierOptions o);
    // The run's compiled filters; nullptr (or an inactive set) lets every record through. The
    // set must outlive the run and is only read.
    void setFilters(const FilterSet* filters) { filters_ = filters; }
    // Leaves out the records of robots, as `rules` tell them, the way a filter would; null
    // counts robots like everyone else. The rules must outlive the run and are only read.
    // Call before the run: it forgets the verdicts of earlier runs.
    void setRobotRules(const ClientDatabase* rules);

    // True when the record was counted (it passed the checks and the filters).
    bool classify(const ingest::LogRecord& rec);
    // Whether classify() would ask the hooks for the record's host, and with which address (in
    // canonical spelling): the lookups of a run can then be made before it counts.
    bool addressToResolve(const ingest::LogRecord& rec, std::string& address) const;

    // Whether `host` is an address (IPv4, zero-padded or not, or IPv6, a zone index allowed)
    // rather than a name.
    static bool isAddress(std::string_view host);

  private:
    struct HostEntry;
    // The part of a record's analysis that updates tables: it waits for the record's turn and
    // holds the analysis lock (when locks are on). Everything before it only reads shared data,
    // so workers do it, lookups included, at the same time.
    class Turn {
      public:
        Turn(RecordClassifier& c, const ingest::LogRecord& rec) : c_(c), rec_(rec) {}
        // A run without workers has no turn to wait for and no lock to take: the record's cost
        // is then a test, not a call.
        ~Turn() {
            if (c_.gate_ != nullptr || lock_.owns_lock()) finish();
        }
        // False when the run was cancelled while waiting.
        bool begin() {
            if (c_.gate_ == nullptr && !c_.stats_.useLocks()) {
                begun_ = true;
                return true;
            }
            return beginInTurn();
        }
        void abandon() { abandoned_ = true; }  // cancelled: the records after it give up too

      private:
        bool beginInTurn();
        void finish();
        RecordClassifier& c_;
        const ingest::LogRecord& rec_;
        std::unique_lock<std::mutex> lock_;
        bool begun_ = false, abandoned_ = false;
    };
    // Whether a record started a visit of its host in the table that counts the run's visits,
    // and whether only the merge of the ranges can tell (see ProvisionalAgentVisit).
    struct VisitNote {
        const VisitorKind::Item* visitor = nullptr;
        bool started = false;
        bool provisional = false;
        bool first = false;
        std::int64_t before = 0;
        std::int64_t at = 0;
    };
    class VisitWatch;
    // `page` is left on the requested page as the pages table counted it (a 404's URL).
    // `host` is left on the cache entry of the record's host, when it is in the cache.
    bool classifyAccess(const ingest::LogRecord& rec, Turn& turn, std::string_view& page,
                        HostEntry*& host, VisitNote& visit);
    // Counts the record's agent text for the client reports, with the visit it started.
    void countAgent(const ingest::LogRecord& rec, AgentClasses* cached, const VisitNote& visit);
    AgentKind::Item* countNewAgent(const ingest::LogRecord& rec, AgentClasses* cached);
    void creditVisit(AgentKind::Item* item, const VisitNote& visit);
    bool isRobot(std::string_view agent);
    // The record's URL as the filters and the tables see it (RemoveDirectories applied).
    std::string_view countedUrl(const ingest::LogRecord& rec) const;
    // Settles the host of a record met for the first time (or not remembered) and merges it
    // into the host tables; false when the record ends here (filtered, cancelled).
    bool settleHost(const ingest::LogRecord& rec, Turn& turn, FilterSet::State filterState,
                    bool hostFilters, bool remember, HostEntry*& cached, VisitNote& visit);
    std::string_view countFile(std::string_view url, const ingest::LogRecord& rec);
    // Records come one at a time (no workers, no locks): the caches of where texts went may
    // then be read and filled.
    bool oneAtATime() const { return gate_ == nullptr && !stats_.useLocks(); }
    // `directory` with a "/" and the default page appended, in per-thread scratch.
    std::string_view withDefaultPage(std::string_view directory);
    template <typename Table, typename Item>
    typename Table::Item* merge(Table& table, Item item, Text Item::*field);
    Text store(std::string_view s);
    void shorten(std::string& name) const;

    Statistics& stats_;
    ClassifierHooks* hooks_;
    OrderedGate* gate_ = nullptr;
    platform::CancelFlag* cancel_;
    ClassifierOptions options_;
    const FilterSet* filters_ = nullptr;
    AgentClassifier agents_;
    // Robots' verdicts per distinct agent, when robots are left out. Workers in parallel ask
    // before their turn, so the cache has a lock of its own then.
    const ClientDatabase* robotRules_ = nullptr;
    TextCache<bool> robots_{AgentClassifier::kCacheLimit};
    std::mutex robotsLock_;
    // A site has few extensions; each is matched against the page and image ones once a run.
    // Like the agents' cache it relies on the analysis lock when workers run in parallel.
    enum class FileKind : std::uint8_t { Page, Image, Other };
    TextCache<FileKind> extensionKinds_{4096};
    // Where a host as logged, and a URL, went in the tables the last time: a record of a host
    // or URL met before merges straight into those items, as the tables would have merged it,
    // without settling the host or hashing the texts again. Items never move, and the caches
    // are emptied with the tables (setOptions). Used only when records come one at a time (no
    // workers, no locks) and, for hosts, without domain filters, whose second pass needs the host.
    struct HostEntry {
        VisitorKind::Item* visitor;
        VisitorKind::Item* raw;      // null when first labels are kept
        TextHitsKind::Item* suffix;  // null for an address or a name without a dot
        const void* agent;           // the agent classes' entry of the host's last agent
    };
    DistinctCache<HostEntry> hostEntries_;
    struct UrlEntry {
        FileKind kind;
        RequestedFileKind::Item* file;
        RequestedFileKind::Item* directory;  // null for a file outside any directory
        bool defaultPage;                    // the page counted is the directory's default page
    };
    DistinctCache<UrlEntry> urlEntries_;
    // The day the last record counted, when records come one at a time: a log's records come
    // day after day, so the days table is searched once a day instead of once a record.
    DayKind::Item* lastDay_ = nullptr;
    ReferrerAnalyser referrers_;
};

}  // namespace tw::engine
