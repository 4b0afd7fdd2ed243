#include "designer/app/render_thread.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <memory>
#include <new>
#include <thread>

#include "engine/core/world.h"

CVTND_RenderThread::CVTND_RenderThread(std::chrono::milliseconds joinTimeout, CVTN_ThreadHandler::Priority priority)
    : m_joinTimeout(joinTimeout), m_priority(priority)
{
}

CVTND_RenderThread::~CVTND_RenderThread()
{
    Stop();
}

bool CVTND_RenderThread::Start(SWworld& world)
{
    if (IsRunning())
        return false;
    m_world = &world;
    m_thread = std::make_unique<CVTN_ThreadHandler>("render thread", m_joinTimeout);
    m_thread->SetPriority(m_priority);
    std::shared_ptr<Shared> shared = m_shared;
    return m_thread->Start([&world, shared](std::stop_token stop) { Body(stop, world, shared); });
}

bool CVTND_RenderThread::Stop()
{
    if (m_thread == nullptr)
        return true;
    m_thread->RequestStop();
    if (m_world != nullptr)
        m_world->GetRedrawEvent().Set();
    const bool ended = m_thread->Join();
    m_thread.reset();
    m_world = nullptr;
    if (!ended) // the old thread keeps the old state; a new start gets its own
    {
        auto fresh = std::make_shared<Shared>();
        fresh->onFault = m_shared->onFault;
        m_shared = std::move(fresh);
    }
    return ended;
}

void CVTND_RenderThread::Resume(SWworld* world)
{
    const std::lock_guard hold(m_shared->faultLock);
    auto& faulted = m_shared->faulted;
    faulted.erase(std::remove(faulted.begin(), faulted.end(), world), faulted.end());
}

bool CVTND_RenderThread::IsFaulted(SWworld* world) const
{
    return m_shared->IsFaulted(world);
}

bool CVTND_RenderThread::Shared::IsFaulted(SWworld* world) const
{
    const std::lock_guard hold(faultLock);
    return std::find(faulted.begin(), faulted.end(), world) != faulted.end();
}

void CVTND_RenderThread::AddPlayer(SWworld* world)
{
    const std::lock_guard hold(m_shared->playersLock);
    auto& players = m_shared->players;
    if (std::find(players.begin(), players.end(), world) == players.end())
        players.push_back(world);
}

void CVTND_RenderThread::RemovePlayer(SWworld* world)
{
    {
        const std::lock_guard hold(m_shared->playersLock);
        auto& players = m_shared->players;
        players.erase(std::remove(players.begin(), players.end(), world), players.end());
    }
    Resume(world);
}

void CVTND_RenderThread::Shared::StepWorld(SWworld& world)
{
    if (IsFaulted(&world))
        return;
    std::string what;
    try {
        const SWworldlock hold(world);
        world.RunFrame();
        return;
    } catch (const std::bad_alloc&) {
        what = "out of memory";
    } catch (const std::exception& error) {
        what = error.what();
    } catch (...) {
        what = "an unknown error";
    }
    {
        const std::lock_guard hold(faultLock);
        faulted.push_back(&world);
    }
    if (onFault)
        onFault(&world, what);
}

namespace {

// A frame longer than the timer's period finds the redraw event set again at once, and the system's lock would go
// back to this thread before a waiting one woke: the user-interface thread waited for as long as the preview ran
// (seconds on a large project, for a paint or a menu). A thread that waits when a frame ends goes first.
void LetWaitersIn(SWworld& world, const std::stop_token& stop)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
    while (world.LockWanted() && !stop.stop_requested() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::microseconds(50));
}

} // namespace

void CVTND_RenderThread::Body(std::stop_token stop, SWworld& world, const std::shared_ptr<Shared>& shared)
{
    while (!stop.stop_requested()) {
        world.GetRedrawEvent().Wait(kWaitMs);
        if (stop.stop_requested())
            break;
        shared->StepWorld(world);
        shared->frames.fetch_add(1);
        {
            const std::lock_guard hold(shared->playersLock);
            for (SWworld* player : shared->players) {
                shared->StepWorld(*player);
                LetWaitersIn(*player, stop);
            }
        }
        LetWaitersIn(world, stop);
    }
}
