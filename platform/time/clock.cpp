#include "platform/time/clock.h"

#include "platform/base/service_slot.h"
#include "platform/time/real_clock.h"

namespace pf {

namespace {

constinit ServiceSlot<Clock, RealClock> g_clock;

} // namespace

Clock& clock()
{
    return g_clock.current();
}

void setClock(Clock* clock)
{
    g_clock.install(clock);
}

} // namespace pf
