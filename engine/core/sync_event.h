#pragma once
// CVTN_SyncEvent: a signal one thread sets and another waits for, with a time-out (the render thread's timer tick,
// the save-finished signal). A manual-reset event stays set until Reset and releases every waiter; an auto-reset
// event releases one waiter and clears itself as that waiter returns.
#include <condition_variable>
#include <cstdint>
#include <mutex>

class CVTN_SyncEvent {
public:
    static constexpr uint32_t kWaitForever = 0xFFFFFFFF;

    explicit CVTN_SyncEvent(bool manualReset = false, bool initiallySet = false);
    CVTN_SyncEvent(const CVTN_SyncEvent&) = delete;
    CVTN_SyncEvent& operator=(const CVTN_SyncEvent&) = delete;

    void Set();                    // any thread
    void Reset();                  // any thread
    bool Wait(uint32_t timeoutMs); // true: it was set; false: the time-out passed first
    bool IsSet() const;
    bool IsManualReset() const { return m_manualReset; }

private:
    const bool m_manualReset;
    mutable std::mutex m_mutex; // guards m_set
    std::condition_variable m_changed;
    bool m_set;
};
