#include "platform/time/clock.h"

#include <atomic>

#include "platform/time/real_clock.h"

namespace pf {

namespace {

std::atomic<Clock*> g_installed{nullptr};

Clock& RealProcessClock()
{
    static RealClock real;
    return real;
}

} // namespace

Clock& clock()
{
    Clock* const installed = g_installed.load(std::memory_order_acquire);
    return installed != nullptr ? *installed : RealProcessClock();
}

void setClock(Clock* clock)
{
    g_installed.store(clock, std::memory_order_release);
}

} // namespace pf
