#include "engine/core/sync_event.h"

#include <chrono>

CVTN_SyncEvent::CVTN_SyncEvent(bool manualReset, bool initiallySet) : m_manualReset(manualReset), m_set(initiallySet) {}

void CVTN_SyncEvent::Set()
{
    // Notified under the lock: a waiter that returns may destroy the event at once, and must not do so while
    // this call still touches it.
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_set = true;
    if (m_manualReset)
        m_changed.notify_all();
    else
        m_changed.notify_one();
}

void CVTN_SyncEvent::Reset()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_set = false;
}

bool CVTN_SyncEvent::Wait(uint32_t timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const auto isSet = [this] { return m_set; };
    if (timeoutMs == kWaitForever)
        m_changed.wait(lock, isSet);
    else if (!m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), isSet))
        return false;
    if (!m_manualReset)
        m_set = false;
    return true;
}

bool CVTN_SyncEvent::IsSet() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_set;
}
