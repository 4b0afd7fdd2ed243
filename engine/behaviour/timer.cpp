#include "engine/behaviour/timer.h"

#include <cmath>

#include "platform/time/timer_caps.h"

double SWtimer::GetResolution() const
{
    pf::TimeCaps caps{};
    if (pf::timeGetDevCaps(&caps) != pf::TIMERR_NOERROR)
        return 0.0;
    return static_cast<double>(caps.periodMin);
}

void SWtimer::Start()
{
    m_running = 1;
    m_startMs = pf::timeGetTime();
}

uint32_t SWtimer::ElapsedMs() const
{
    return pf::timeGetTime() - m_startMs;
}

void SWtimer::Stop(float* outElapsedMs)
{
    if (outElapsedMs != nullptr)
        *outElapsedMs = m_running != 0 ? static_cast<float>(ElapsedMs()) : 0.0f;
    m_running = 0;
}

double SWtimer::Elapsed() const
{
    return m_running != 0 ? static_cast<double>(ElapsedMs()) : 0.0;
}

bool SWtimer::Expired(float* outElapsedMs)
{
    if (m_running == 0)
        return false;
    const float elapsed = static_cast<float>(ElapsedMs());
    if (outElapsedMs != nullptr)
        *outElapsedMs = elapsed;
    if (m_periodMs == 0.0f || std::isnan(m_periodMs) || elapsed < m_periodMs)
        return false;
    m_running = 0;
    return true;
}
