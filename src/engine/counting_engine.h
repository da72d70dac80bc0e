#pragma once
// An engine that only counts what it is given: the stand-in until the statistics tables exist,
// and a cheap analyser for measuring the pipeline alone.
#include <atomic>

#include "ingest/run_services.h"

namespace tw::engine {

class CountingEngine final : public ingest::AnalysisEngine {
  public:
    void analyse(const ingest::LogRecord& rec) override;
    void clear() override;
    void prepare(std::uint64_t, const ingest::RunContext&) override {}
    void finalise() override {}
    void release() override {}
    std::uint64_t acceptedCount() const override { return accepted_.load(); }
    bool referrerSeen() const override { return referrerSeen_.load(); }

    std::uint64_t agentRecords() const { return agents_.load(); }
    std::uint64_t refererRecords() const { return referers_.load(); }
    std::uint64_t bytes() const { return bytes_.load(); }

  private:
    std::atomic<std::uint64_t> accepted_{0}, agents_{0}, referers_{0}, bytes_{0};
    std::atomic<bool> referrerSeen_{false};
};

}  // namespace tw::engine
