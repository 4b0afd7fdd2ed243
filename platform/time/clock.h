#pragma once
// The process's sense of time. Everything that reads the time or sleeps goes through clock(), so that tests can
// install a VirtualClock and step time by hand while the live program runs on the RealClock.
#include <cstdint>

namespace pf {

class Clock {
public:
    virtual ~Clock() = default;
    virtual uint32_t nowMs() = 0;          // milliseconds since an arbitrary start; wraps at 2^32 like a tick count
    virtual double nowMsExact() = 0;       // the same instant with fractions and without the wrap
    virtual void sleepMs(uint32_t ms) = 0; // live: blocks; virtual: advances the clock
};

Clock& clock();              // the installed clock; the real one unless a test installed another
void setClock(Clock* clock); // not owned, must outlive its installation; null restores the real clock

} // namespace pf
