#include "platform/time/virtual_clock.h"

#include <algorithm>

namespace pf {

VirtualClock::VirtualClock(uint32_t startMs) : m_nowMs(startMs) {}

VirtualClock::~VirtualClock()
{
    if (&clock() == this)
        setClock(nullptr);
}

uint32_t VirtualClock::nowMs()
{
    const std::lock_guard lock(m_mutex);
    return static_cast<uint32_t>(m_nowMs);
}

double VirtualClock::nowMsExact()
{
    const std::lock_guard lock(m_mutex);
    return static_cast<double>(m_nowMs);
}

// The lock is dropped around each callback: callbacks read the clock, add and cancel due entries, even advance.
void VirtualClock::advance(uint32_t ms)
{
    std::unique_lock lock(m_mutex);
    const uint64_t target = m_nowMs + ms;
    for (;;) {
        auto next = m_due.end();
        for (auto it = m_due.begin(); it != m_due.end(); ++it) {
            if (it->second.atMs <= target && (next == m_due.end() || it->second.atMs < next->second.atMs))
                next = it; // strict: among equal times the earliest added stays
        }
        if (next == m_due.end())
            break;
        const DueId id = next->first;
        const auto callback = next->second.callback;
        m_nowMs = std::max(m_nowMs, next->second.atMs);
        if (next->second.periodMs == 0)
            m_due.erase(next);
        else
            next->second.atMs += next->second.periodMs;
        m_running.push_back({id, std::this_thread::get_id()});
        lock.unlock();
        (*callback)();
        lock.lock();
        const auto mine = std::find_if(m_running.begin(), m_running.end(), [&](const Running& r) {
            return r.id == id && r.thread == std::this_thread::get_id();
        });
        m_running.erase(mine);
        m_finished.notify_all();
    }
    m_nowMs = std::max(m_nowMs, target);
}

void VirtualClock::set(uint32_t ms)
{
    const std::lock_guard lock(m_mutex);
    for (auto& [id, due] : m_due)
        due.atMs = due.atMs - m_nowMs + ms; // due >= now, so this never goes below ms
    m_nowMs = ms;
}

VirtualClock::DueId VirtualClock::addDue(uint32_t delayMs, uint32_t periodMs, std::function<void()> callback)
{
    auto shared = std::make_shared<const std::function<void()>>(std::move(callback));
    const std::lock_guard lock(m_mutex);
    const DueId id = m_nextId++;
    m_due.emplace(id, Due{m_nowMs + delayMs, periodMs, std::move(shared)});
    return id;
}

bool VirtualClock::cancelDue(DueId id)
{
    std::unique_lock lock(m_mutex);
    const bool found = m_due.erase(id) > 0;
    m_finished.wait(lock, [&] { return !isRunningElsewhere(id); });
    return found;
}

size_t VirtualClock::pendingDueCount() const
{
    const std::lock_guard lock(m_mutex);
    return m_due.size();
}

std::optional<uint64_t> VirtualClock::nextDueMs() const
{
    const std::lock_guard lock(m_mutex);
    std::optional<uint64_t> earliest;
    for (const auto& [id, due] : m_due)
        if (!earliest || due.atMs < *earliest)
            earliest = due.atMs;
    return earliest;
}

bool VirtualClock::isRunningElsewhere(DueId id) const
{
    return std::any_of(m_running.begin(), m_running.end(),
                       [&](const Running& r) { return r.id == id && r.thread != std::this_thread::get_id(); });
}

} // namespace pf
