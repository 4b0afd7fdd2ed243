#pragma once
// CVTN_CriticalSection: a lock that the thread holding it may take again (the world's lock is taken by a frame step
// that calls operations which take it once more). Each Enter needs its Leave on the same thread.
// lock/unlock/try_lock make it usable with std::lock_guard and std::scoped_lock.
#include <mutex>

class CVTN_CriticalSection {
public:
    CVTN_CriticalSection() = default;
    CVTN_CriticalSection(const CVTN_CriticalSection&) = delete;
    CVTN_CriticalSection& operator=(const CVTN_CriticalSection&) = delete;
    ~CVTN_CriticalSection() = default; // must not be held by anyone

    void Enter() { m_mutex.lock(); }               // waits; recursive on the holding thread
    bool TryEnter() { return m_mutex.try_lock(); } // true: now held (once more)
    void Leave() { m_mutex.unlock(); }             // by the holding thread only

    void lock() { Enter(); }
    bool try_lock() { return TryEnter(); }
    void unlock() { Leave(); }

private:
    std::recursive_mutex m_mutex;
};
