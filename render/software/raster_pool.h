#pragma once
// SWrasterpool: the rasteriser's worker threads, made once for the rasteriser and kept until it goes. Run hands one
// job to every lane and returns only when all of them have finished it: lane 0 is the calling thread, lanes 1 to
// n - 1 the workers. Start hands a job to the workers alone and returns at once; Wait (or the next Start or Run)
// waits for it, so that the caller may go on with other work in the meantime.
//
// Workers take the scheduling class and nice value of the thread that calls Run, so that a render thread lowered
// below the user interface does not draw at a higher priority through its helpers.
//
// A worker that has finished a job, and a caller waiting for the workers, watch for a short while before they
// sleep: a frame hands its lanes several jobs in quick succession, and on a busy machine a thread put to sleep may
// wait a scheduler's period before it runs again.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class SWrasterpool {
public:
    using Job = std::function<void(int lane)>; // must not throw

    // Spins, for up to the watching time, until ready() holds; answers ready(). Lanes waiting on each other within
    // a job watch the same way.
    template <typename Ready> static bool Watch(Ready&& ready);

    explicit SWrasterpool(int lanes); // lanes - 1 threads, fewer when the system refuses one; at least one lane
    SWrasterpool(const SWrasterpool&) = delete;
    SWrasterpool& operator=(const SWrasterpool&) = delete;
    ~SWrasterpool(); // ends and joins every worker

    int Lanes() const { return static_cast<int>(m_threads.size()) + 1; }
    // job(lane) once on every lane, the caller's own as lane 0; returns when all have finished. One caller at a time.
    void Run(const Job& job);
    void Start(Job job); // job(lane) once on lanes 1 to n - 1, after waiting for the job before; returns at once
    void Wait();         // until the job last started has finished on every worker
    bool IsBusy();       // a job started has not yet finished on every worker

private:
    struct Priority {
        int policy = 0;
        int nice = 0;
        bool operator==(const Priority&) const = default;
    };

    static void Relax(); // a pause the processor may use for the thread beside this one
    static Priority PriorityOfThisThread();
    static void TakePriority(const Priority& priority);
    void Serve(int lane);
    void Hand(Job job); // to the workers, once the job before is done

    std::mutex m_mutex; // guards everything below but the threads; the atomics are also read without it
    std::condition_variable m_started;
    std::condition_variable m_finished;
    Job m_job;
    std::atomic<uint64_t> m_round{0};
    std::atomic<int> m_pending{0};
    std::atomic<bool> m_stopping{false};
    Priority m_priority;
    std::vector<std::thread> m_threads;
};

template <typename Ready> bool SWrasterpool::Watch(Ready&& ready)
{
    constexpr auto kWatching = std::chrono::microseconds(50);
    const auto until = std::chrono::steady_clock::now() + kWatching;
    do {
        for (int i = 0; i < 64; ++i) {
            if (ready())
                return true;
            Relax();
        }
    } while (std::chrono::steady_clock::now() < until);
    return ready();
}
