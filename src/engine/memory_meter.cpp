#include "engine/memory_meter.h"

#include <unistd.h>

namespace tw::engine {

// The tables are one part of what a run holds (the mapped window, the results and the views
// come on top), so the ceiling leaves a quarter of the machine to them and to everything else.
std::uint64_t MemoryMeter::defaultCeiling() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long size = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || size <= 0) return 0;
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(size) / 4 * 3;
}

}  // namespace tw::engine
