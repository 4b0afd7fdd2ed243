#pragma once
// CVTN_ThreadHandler: one worker thread (the render thread, the publish worker, the loader). The body polls its stop
// token; Stop asks it to end and waits up to the join time-out (5000 ms). Linux cannot end a thread safely from
// outside, so a thread that does not end in time is detached and reported instead: it keeps running, and whatever
// its body refers to must outlive it. Stuck threads are reported through a hook that the application points at its
// log or message box; a library never prints.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <thread>

class CVTN_ThreadHandler {
public:
    // kIdle: only when nothing else runs (SCHED_IDLE); kLow: normal scheduling, kLowNiceSteps nice steps behind the
    // thread that asks for it; kNormal: nice 0; kHigh: nice -5 (usually refused).
    enum class Priority { kIdle, kLow, kNormal, kHigh };
    static constexpr int kLowNiceSteps = 4;
    using Body = std::function<void(std::stop_token)>;
    using StuckReporter = std::function<void(const std::string& threadName)>;

    static constexpr std::chrono::milliseconds kJoinTimeout{5000};

    explicit CVTN_ThreadHandler(std::string name, std::chrono::milliseconds joinTimeout = kJoinTimeout);
    CVTN_ThreadHandler(const CVTN_ThreadHandler&) = delete;
    CVTN_ThreadHandler& operator=(const CVTN_ThreadHandler&) = delete;
    ~CVTN_ThreadHandler(); // Stop()

    // False: a thread is still attached, or none could be made. A body that throws ends as if it returned.
    bool Start(Body body);
    void RequestStop(); // sets the body's stop token; does not wait
    bool StopRequested() const;
    bool Stop(); // RequestStop, then Join
    // Waits up to the join time-out. True: the thread ended (or none ran); false: it was detached and reported.
    bool Join();
    bool IsRunning() const; // started, and its body has not returned yet
    // A request, applied now when running, else at Start. False: the system refused it (raising usually is).
    bool SetPriority(Priority priority);
    Priority GetPriority() const { return m_priority; } // the last one requested
    const std::string& Name() const { return m_name; }

    static void SetStuckReporter(StuckReporter reporter); // process-wide; an empty one reports nowhere
    static uint32_t DetachedCount();                      // threads detached since the process started

    struct State; // shared with the thread, which may outlive us

private:
    const std::string m_name;
    const std::chrono::milliseconds m_joinTimeout;
    Priority m_priority = Priority::kNormal;
    std::shared_ptr<State> m_state; // of the attached thread; null before Start
    std::thread m_thread;
};
