#include "platform/clock.h"

#include <chrono>

namespace tw::platform {

std::int64_t SystemClock::nowSeconds() const {
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

std::int64_t SystemClock::monotonicMillis() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace tw::platform
