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
};

}  // namespace tw::ingest
