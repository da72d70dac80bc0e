#pragma once
// Adding the statistics of a later range of a log to those of the lines before it, so that one
// log file can be read by several threads at once and still give what one thread reading it
// from start to end gives: the same counts, the same keys in the same table order (the
// rankings break ties by that order), the same recent visitors.
//
// Both statistics are used by the calling thread only. `range` must have read, with the same
// options and filters, exactly the lines that follow those `whole` has read; its visitor tables
// must have noted their early visits (VisitorKind::Totals::earlyLimit set before its first
// record).
#include "engine/statistics.h"

namespace tw::engine {

// How long after a range's first dated request its visitor tables keep noting the visits they
// start: a log read in time order has, at a range's start, no request of the lines before that
// is later than this, so the merge knows every visit it may have to take back.
inline constexpr std::int64_t kEarlyVisitWindow = 3600;

// Whether `range` can be added exactly: false when a visitor of the range was seen in `whole`
// later than the range noted its visits for (a log whose ranges overlap in time by more than
// the window). Nothing is changed; the caller then has the range read after `whole` instead.
bool canAbsorb(const Statistics& whole, const Statistics& range);

// Adds `range` to `whole` (canAbsorb must have said yes). Keys new to `whole` get copies of
// their texts in its arena; false when the arena ran out, with the merge stopped part way (the
// run ends as out of memory). `range` is left as it was.
bool absorbRange(Statistics& whole, const Statistics& range);

}  // namespace tw::engine
