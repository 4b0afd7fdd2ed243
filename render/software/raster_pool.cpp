#include "render/software/raster_pool.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

SWrasterpool::SWrasterpool(int lanes) : m_priority(PriorityOfThisThread())
{
    for (int lane = 1; lane < lanes; ++lane) {
        try {
            m_threads.emplace_back(&SWrasterpool::Serve, this, lane);
        } catch (const std::system_error&) {
            break; // the lanes made so far still draw everything
        }
    }
}

SWrasterpool::~SWrasterpool()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_started.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
}

void SWrasterpool::Run(const Job& job)
{
    Hand(job);
    job(0);
    Wait();
}

void SWrasterpool::Start(Job job)
{
    Hand(std::move(job));
}

void SWrasterpool::Wait()
{
    if (Watch([this] { return m_pending.load() == 0; }))
        return;
    std::unique_lock<std::mutex> lock(m_mutex);
    m_finished.wait(lock, [this] { return m_pending == 0; });
}

bool SWrasterpool::IsBusy()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_pending != 0;
}

void SWrasterpool::Hand(Job job)
{
    const Priority priority = PriorityOfThisThread();
    Wait();
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_job = std::move(job);
        m_pending = static_cast<int>(m_threads.size());
        m_priority = priority;
        ++m_round;
    }
    m_started.notify_all();
}

void SWrasterpool::Relax()
{
#if defined(__x86_64__) || defined(__i386__)
    _mm_pause();
#endif
}

SWrasterpool::Priority SWrasterpool::PriorityOfThisThread()
{
    Priority priority;
    priority.policy = sched_getscheduler(0);
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    priority.nice = errno == 0 ? nice : 0;
    return priority;
}

// Best effort: a worker that may not follow (raising needs a privilege) keeps what it had.
void SWrasterpool::TakePriority(const Priority& priority)
{
    if (priority.policy < 0)
        return;
    sched_param param{};
    pthread_setschedparam(pthread_self(), priority.policy, &param);
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), priority.nice);
}

void SWrasterpool::Serve(int lane)
{
    pthread_setname_np(pthread_self(), "raster lane"); // so that profilers and debuggers tell the lanes apart
    uint64_t seen = 0;
    Priority mine = PriorityOfThisThread();
    for (;;) {
        const Job* job = nullptr;
        Priority wanted;
        Watch([&] { return m_stopping.load() || m_round.load() != seen; });
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_started.wait(lock, [&] { return m_stopping || m_round != seen; });
            if (m_stopping)
                return;
            seen = m_round;
            job = &m_job;
            wanted = m_priority;
        }
        if (!(wanted == mine)) {
            TakePriority(wanted);
            mine = PriorityOfThisThread();
        }
        (*job)(lane);
        bool isLast = false;
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            isLast = --m_pending == 0;
        }
        if (isLast)
            m_finished.notify_one();
    }
}
