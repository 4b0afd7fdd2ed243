#include "platform/time/real_clock.h"

#include <thread>

namespace pf {

RealClock::RealClock(uint64_t startMs) : m_start(std::chrono::steady_clock::now()), m_startMs(startMs) {}

uint32_t RealClock::nowMs()
{
    return static_cast<uint32_t>(static_cast<uint64_t>(nowMsExact()));
}

double RealClock::nowMsExact()
{
    const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - m_start;
    return static_cast<double>(m_startMs) + elapsed.count();
}

void RealClock::sleepMs(uint32_t ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace pf
