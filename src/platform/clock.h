#pragma once
// Wall clock and a monotonic millisecond counter. Thread-safe; never fails.
#include <cstdint>

namespace tw::platform {

class Clock {
  public:
    virtual ~Clock() = default;
    virtual std::int64_t nowSeconds() const = 0;       // seconds since 1970, UTC
    virtual std::int64_t monotonicMillis() const = 0;  // for elapsed times only
};

class SystemClock final : public Clock {
  public:
    std::int64_t nowSeconds() const override;
    std::int64_t monotonicMillis() const override;
};

}  // namespace tw::platform
