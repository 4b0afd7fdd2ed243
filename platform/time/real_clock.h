#pragma once
#include <chrono>
#include <cstdint>

#include "platform/time/clock.h"

namespace pf {

// A monotonic clock: time since construction plus a starting offset (tests start it near 2^32 to see the wrap).
class RealClock final : public Clock {
public:
    explicit RealClock(uint64_t startMs = 0);

    uint32_t nowMs() override;
    double nowMsExact() override;
    void sleepMs(uint32_t ms) override;

private:
    std::chrono::steady_clock::time_point m_start;
    uint64_t m_startMs;
};

} // namespace pf
