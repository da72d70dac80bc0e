#include "engine/counting_engine.h"

namespace tw::engine {

void CountingEngine::analyse(const ingest::LogRecord& rec) {
    // Records of the companion logs of the multi-file layout carry no request of their own.
    if (rec.caps.hasAccessData) {
        accepted_.fetch_add(1, std::memory_order_relaxed);
        bytes_.fetch_add(rec.bytes, std::memory_order_relaxed);
    } else if (rec.caps.refererLogMode) {
        referers_.fetch_add(1, std::memory_order_relaxed);
    } else if (rec.caps.hasAgent) {
        agents_.fetch_add(1, std::memory_order_relaxed);
    }
    if (rec.caps.hasReferrer && rec.referrer.length > 0 && rec.referrer.view() != "-")
        referrerSeen_.store(true, std::memory_order_relaxed);
}

void CountingEngine::clear() {
    accepted_ = 0;
    agents_ = 0;
    referers_ = 0;
    bytes_ = 0;
    referrerSeen_ = false;
}

}  // namespace tw::engine
