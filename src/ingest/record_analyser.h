#pragma once
// The per-record analysis as the pipeline sees it.
#include "ingest/log_record.h"

namespace tw::ingest {

class RecordAnalyser {
  public:
    virtual ~RecordAnalyser() = default;
    // Called once per parsed record. In parallel mode up to kSlotCount calls run at once, each
    // on its own slot; the implementation protects whatever it shares. It must not write to the
    // record. May block (reverse lookups).
    virtual void analyse(const LogRecord& rec) = 0;
    // True once the analyser can store nothing more (out of memory). The pipeline then stops
    // reading, and the run finalises what was analysed. Polled once per line from the reading
    // thread: must be cheap and safe to call while workers analyse.
    virtual bool exhausted() const { return false; }
};

}  // namespace tw::ingest
