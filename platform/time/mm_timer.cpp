#include "platform/time/mm_timer.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/time/clock.h"
#include "platform/time/virtual_clock.h"

namespace pf {

struct MmTimer::LiveState {
    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
    std::thread::id tickingThread; // set before the thread can run a callback
    std::mutex joinMutex;          // two killers must not join at once
    std::thread thread;
};

namespace {

void TickUntilStopped(std::mutex& mutex, std::condition_variable& wake, const bool& stop, uint32_t periodMs,
                      const std::function<void()>& callback)
{
    using Steady = std::chrono::steady_clock;
    const auto period = std::chrono::milliseconds(periodMs);
    auto due = Steady::now() + period;
    std::unique_lock lock(mutex);
    while (!wake.wait_until(lock, due, [&] { return stop; })) {
        lock.unlock();
        callback();
        lock.lock();
        const auto now = Steady::now();
        due += period;
        if (due <= now) // late: skip the ticks we missed, keep the phase
            due += period * ((now - due) / period + 1);
    }
}

} // namespace

MmTimer::MmTimer(uint32_t periodMs, std::function<void()> callback)
{
    const uint32_t period = periodMs == 0 ? 1 : periodMs;
    m_virtualClock = dynamic_cast<VirtualClock*>(&clock());
    if (m_virtualClock != nullptr)
        m_dueId = m_virtualClock->addDue(period, period, std::move(callback));
    else
        startLive(period, std::move(callback));
}

MmTimer::~MmTimer()
{
    kill();
    if (m_live && m_live->thread.joinable())
        m_live->thread.detach(); // destroyed from its own callback: the thread ends when the callback returns
}

void MmTimer::kill()
{
    if (m_virtualClock != nullptr) {
        m_virtualClock->cancelDue(m_dueId);
        return;
    }
    if (!m_live)
        return;
    {
        const std::lock_guard lock(m_live->mutex);
        m_live->stop = true;
        if (m_live->tickingThread == std::this_thread::get_id())
            return; // from the callback: the loop stops as soon as it returns
    }
    m_live->wake.notify_all();
    const std::lock_guard joinLock(m_live->joinMutex);
    if (m_live->thread.joinable())
        m_live->thread.join();
}

void MmTimer::startLive(uint32_t periodMs, std::function<void()> callback)
{
    m_live = std::make_shared<LiveState>();
    // Held until the thread's id is stored: the ticking loop takes the lock first.
    const std::lock_guard lock(m_live->mutex);
    m_live->thread = std::thread([state = m_live, periodMs, cb = std::move(callback)] {
        TickUntilStopped(state->mutex, state->wake, state->stop, periodMs, cb);
    });
    m_live->tickingThread = m_live->thread.get_id();
}

} // namespace pf
