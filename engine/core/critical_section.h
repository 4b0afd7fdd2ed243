#pragma once
// CVTN_CriticalSection: a lock that the thread holding it may take again (the world's lock is taken by a frame step
// that calls operations which take it once more). Each Enter needs its Leave on the same thread.
// lock/unlock/try_lock make it usable with std::lock_guard and std::scoped_lock.
//
// It counts the threads waiting in Enter, so that a thread that takes it again and again (the render thread, a frame
// after another) can let a waiting thread in first: the system's mutex wakes a waiter on release but does not hand
// it the lock, and a thread that takes it back at once wins nearly every time.
#include <atomic>
#include <mutex>

class CVTN_CriticalSection {
public:
    CVTN_CriticalSection() = default;
    CVTN_CriticalSection(const CVTN_CriticalSection&) = delete;
    CVTN_CriticalSection& operator=(const CVTN_CriticalSection&) = delete;
    ~CVTN_CriticalSection() = default; // must not be held by anyone

    void Enter() // waits; recursive on the holding thread
    {
        if (m_mutex.try_lock())
            return;
        m_waiting.fetch_add(1);
        m_mutex.lock();
        m_waiting.fetch_sub(1);
    }
    bool TryEnter() { return m_mutex.try_lock(); }           // true: now held (once more)
    void Leave() { m_mutex.unlock(); }                       // by the holding thread only
    bool HasWaiters() const { return m_waiting.load() > 0; } // a thread waits in Enter now

    void lock() { Enter(); }
    bool try_lock() { return TryEnter(); }
    void unlock() { Leave(); }

private:
    std::recursive_mutex m_mutex;
    std::atomic<int> m_waiting{0};
};
