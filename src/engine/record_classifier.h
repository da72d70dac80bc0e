#pragma once
// The per-record analysis: checks a record, settles its host, and merges it into the run's
// statistics in a fixed order.
//
// Threads: classify() is called concurrently in parallel mode; with the statistics' locks on it
// holds the analysis lock for the whole record (released only around a host lookup), so all
// table updates are serialised.
#include <string>
#include <string_view>

#include "engine/statistics.h"
#include "ingest/log_record.h"
#include "platform/progress.h"

namespace tw::engine {

// The steps other parts of the engine fill in: filters, reverse lookups, user agents and
// referrers. The defaults admit every record and leave addresses as logged.
class ClassifierHooks {
  public:
    virtual ~ClassifierHooks() = default;
    // Filter passes: 1 with the host as logged, 2 with the settled host (only when host
    // filters exist). False rejects the record.
    virtual bool admit(const ingest::LogRecord&, std::string_view /*host*/, int /*pass*/) {
        return true;
    }
    virtual bool hasHostFilters() const { return false; }
    // Resolves an address to a name; empty when it stays an address. May block.
    virtual std::string resolve(std::string_view /*address*/) { return {}; }
    virtual void agent(const ingest::LogRecord&) {}
    // `page` is the requested page as the pages table counts it.
    virtual void referrer(const ingest::LogRecord&, std::string_view /*page*/) {}
};

struct ClassifierOptions {
    bool caseSensitive = true;
    bool removeDirectories = false;
    bool removeFirstDot = true;
    std::string defaultPage = "index.html";
};

class RecordClassifier {
  public:
    RecordClassifier(Statistics& stats, ClassifierHooks& hooks, platform::CancelFlag* cancel)
        : stats_(stats), hooks_(hooks), cancel_(cancel) {}
    void setOptions(ClassifierOptions o) { options_ = std::move(o); }

    // True when the record was counted (it passed the checks and the filters).
    bool classify(const ingest::LogRecord& rec);

    // Whether `host` is an address (IPv4 or IPv6, a zone index allowed) rather than a name.
    static bool isAddress(std::string_view host);

  private:
    // `page` is left on the requested page as the pages table counted it (a 404's URL).
    bool classifyAccess(const ingest::LogRecord& rec, std::unique_lock<std::mutex>& lock,
                        std::string_view& page);
    std::string_view countFile(std::string_view url, const ingest::LogRecord& rec);
    // `directory` with a "/" and the default page appended, in per-thread scratch.
    std::string_view withDefaultPage(std::string_view directory);
    template <typename Table, typename Item>
    typename Table::Item* merge(Table& table, Item item, Text Item::*field);
    Text store(std::string_view s);
    void shorten(std::string& name) const;

    Statistics& stats_;
    ClassifierHooks& hooks_;
    platform::CancelFlag* cancel_;
    ClassifierOptions options_;
};

}  // namespace tw::engine
