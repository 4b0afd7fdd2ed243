#include "platform/time/timer_caps.h"

#include <algorithm>
#include <mutex>

#include "platform/time/clock.h"

namespace pf {

namespace {

std::mutex g_periodsMutex;
std::vector<uint32_t> g_periods; // a multiset: every begin adds one, every end removes one

bool IsValidPeriod(uint32_t ms)
{
    return ms >= kTimerPeriodMinMs && ms <= kTimerPeriodMaxMs;
}

} // namespace

uint32_t timeGetTime()
{
    return clock().nowMs();
}

uint32_t timeGetDevCaps(TimeCaps* out)
{
    if (out == nullptr)
        return TIMERR_NOCANDO;
    *out = {kTimerPeriodMinMs, kTimerPeriodMaxMs};
    return TIMERR_NOERROR;
}

uint32_t timeBeginPeriod(uint32_t ms)
{
    if (!IsValidPeriod(ms))
        return TIMERR_NOCANDO;
    const std::lock_guard lock(g_periodsMutex);
    g_periods.insert(std::upper_bound(g_periods.begin(), g_periods.end(), ms), ms);
    return TIMERR_NOERROR;
}

uint32_t timeEndPeriod(uint32_t ms)
{
    const std::lock_guard lock(g_periodsMutex);
    const auto it = std::lower_bound(g_periods.begin(), g_periods.end(), ms);
    if (it == g_periods.end() || *it != ms)
        return TIMERR_NOCANDO;
    g_periods.erase(it);
    return TIMERR_NOERROR;
}

std::vector<uint32_t> activeTimerPeriods()
{
    const std::lock_guard lock(g_periodsMutex);
    return g_periods;
}

} // namespace pf
