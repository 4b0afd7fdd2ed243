#include "engine/core/thread_handler.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <system_error>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

struct CVTN_ThreadHandler::State {
    std::mutex mutex; // guards finished, tid and priority
    std::condition_variable finishedChanged;
    bool finished = false;
    pid_t tid = 0; // the kernel's id of the thread, once it runs
    CVTN_ThreadHandler::Priority priority = CVTN_ThreadHandler::Priority::kNormal;
    std::stop_source stop;
};

namespace {

std::mutex g_reporterMutex; // guards g_reporter
CVTN_ThreadHandler::StuckReporter g_reporter;
std::atomic<uint32_t> g_detached{0};

// SCHED_IDLE runs only when nothing else wants the processor; the other levels are nice values, kLow counted from
// the calling thread's own (a new thread inherits its creator's), so that it stays behind the thread that made it
// however the process was started. Raising a thread needs privileges we normally lack: a request that may be refused.
bool ApplyPriority(pthread_t handle, pid_t tid, CVTN_ThreadHandler::Priority priority)
{
    using Priority = CVTN_ThreadHandler::Priority;
    sched_param param{};
    param.sched_priority = 0;
    if (priority == Priority::kIdle)
        return pthread_setschedparam(handle, SCHED_IDLE, &param) == 0;
    if (pthread_setschedparam(handle, SCHED_OTHER, &param) != 0)
        return false;
    errno = 0;
    const int own = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    const int base = errno == 0 ? own : 0;
    const int nice = priority == Priority::kLow    ? std::min(base + CVTN_ThreadHandler::kLowNiceSteps, 19)
                     : priority == Priority::kHigh ? -5
                                                   : 0;
    return setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice) == 0;
}

void ReportStuck(const std::string& name)
{
    g_detached.fetch_add(1, std::memory_order_relaxed);
    const std::lock_guard<std::mutex> lock(g_reporterMutex);
    if (g_reporter)
        g_reporter(name);
}

void RunBody(const std::shared_ptr<CVTN_ThreadHandler::State>& state, const CVTN_ThreadHandler::Body& body)
{
    {
        // Under the lock, so that a request made while we start is neither lost nor overridden.
        const std::lock_guard<std::mutex> lock(state->mutex);
        state->tid = gettid();
        if (state->priority != CVTN_ThreadHandler::Priority::kNormal) // else it keeps the process's own
            ApplyPriority(pthread_self(), state->tid, state->priority);
    }
    try {
        body(state->stop.get_token());
    } catch (...) {
        // Nothing may leave the thread; the owner sees an ended thread like any other.
    }
    {
        const std::lock_guard<std::mutex> lock(state->mutex);
        state->finished = true;
    }
    state->finishedChanged.notify_all();
}

} // namespace

CVTN_ThreadHandler::CVTN_ThreadHandler(std::string name, std::chrono::milliseconds joinTimeout)
    : m_name(std::move(name)), m_joinTimeout(joinTimeout)
{
}

CVTN_ThreadHandler::~CVTN_ThreadHandler()
{
    Stop();
}

bool CVTN_ThreadHandler::Start(Body body)
{
    if (m_thread.joinable() || !body)
        return false;
    try {
        auto state = std::make_shared<State>();
        state->priority = m_priority;
        m_thread = std::thread([state, body = std::move(body)] { RunBody(state, body); });
        m_state = std::move(state);
    } catch (const std::system_error&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void CVTN_ThreadHandler::RequestStop()
{
    if (m_state)
        m_state->stop.request_stop();
}

bool CVTN_ThreadHandler::StopRequested() const
{
    return m_state && m_state->stop.stop_requested();
}

bool CVTN_ThreadHandler::Stop()
{
    RequestStop();
    return Join();
}

bool CVTN_ThreadHandler::Join()
{
    if (!m_thread.joinable())
        return true;
    bool finished = false;
    {
        std::unique_lock<std::mutex> lock(m_state->mutex);
        finished = m_state->finishedChanged.wait_for(lock, m_joinTimeout, [this] { return m_state->finished; });
    }
    if (finished) {
        m_thread.join(); // its body has returned: only the last few instructions remain
        return true;
    }
    m_thread.detach(); // it keeps the shared state alive for as long as it runs
    ReportStuck(m_name);
    return false;
}

bool CVTN_ThreadHandler::IsRunning() const
{
    if (!m_thread.joinable())
        return false;
    const std::lock_guard<std::mutex> lock(m_state->mutex);
    return !m_state->finished;
}

bool CVTN_ThreadHandler::SetPriority(Priority priority)
{
    m_priority = priority;
    if (!m_thread.joinable())
        return true;
    const std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->priority = priority;
    if (m_state->tid == 0 || m_state->finished)
        return true; // the thread applies it itself as it starts, or it has nothing left to run
    return ApplyPriority(m_thread.native_handle(), m_state->tid, priority);
}

void CVTN_ThreadHandler::SetStuckReporter(StuckReporter reporter)
{
    const std::lock_guard<std::mutex> lock(g_reporterMutex);
    g_reporter = std::move(reporter);
}

uint32_t CVTN_ThreadHandler::DetachedCount()
{
    return g_detached.load(std::memory_order_relaxed);
}
