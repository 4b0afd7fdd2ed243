#pragma once
// CVTND_RenderThread: the thread that steps and draws the designer's world and every open player world. It waits
// on the world's redraw event (set by the 17 ms timer and by invalidation) for up to 5000 ms, then, under the
// world's lock, runs one frame, which draws every window of the world; then each player world the same way under
// its own lock, with the player list's lock held through that pass (the list's lock before a world's, everywhere).
// After each frame a thread waiting for that world's lock takes it before the thread does again, however long the
// frames are.
//
// A frame that throws never ends the thread: the frame is abandoned (the lock guard releases the world), that world
// is not stepped again until Resume, and the fault callback hears of it once, on this thread, to post to the
// user-interface thread. Stopping never ends the thread by force: after the join time-out it is detached and
// reported, and Stop answers false, so the caller keeps alive everything the thread may still touch.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/core/thread_handler.h"

class SWworld;

class CVTND_RenderThread {
public:
    // world: the stepped world that faulted; what: the error's text.
    using FaultCallback = std::function<void(SWworld* world, const std::string& what)>;

    explicit CVTND_RenderThread(std::chrono::milliseconds joinTimeout = CVTN_ThreadHandler::kJoinTimeout,
                                CVTN_ThreadHandler::Priority priority = CVTN_ThreadHandler::Priority::kLow);
    ~CVTND_RenderThread(); // Stop()

    void SetFaultCallback(FaultCallback callback) { m_shared->onFault = std::move(callback); } // before Start
    bool Start(SWworld& world);                                                                // at its priority
    bool Stop(); // false: the thread did not end in time and was detached
    bool IsRunning() const { return m_thread != nullptr && m_thread->IsRunning(); }
    SWworld* GetWorld() const { return m_world; }

    // A faulted world is stepped again from now on.
    void Resume(SWworld* world);
    bool IsFaulted(SWworld* world) const;

    // -- Player worlds: added and removed under the list's lock, which the thread holds through its pass.
    void AddPlayer(SWworld* world);
    void RemovePlayer(SWworld* world); // returns only when no frame of world runs
    std::mutex& PlayerLock() { return m_shared->playersLock; }

    uint64_t FrameCount() const { return m_shared->frames.load(); } // frames of the main world run so far
    static constexpr uint32_t kWaitMs = 5000;

private:
    // What the thread touches: shared with it, so a thread left running never reaches a freed object.
    struct Shared {
        FaultCallback onFault;
        mutable std::mutex faultLock; // guards faulted
        std::vector<SWworld*> faulted;
        std::mutex playersLock; // guards players
        std::vector<SWworld*> players;
        std::atomic<uint64_t> frames{0};
        bool IsFaulted(SWworld* world) const;
        void StepWorld(SWworld& world);
    };
    static void Body(std::stop_token stop, SWworld& world, const std::shared_ptr<Shared>& shared);

    std::chrono::milliseconds m_joinTimeout;
    CVTN_ThreadHandler::Priority m_priority;
    std::unique_ptr<CVTN_ThreadHandler> m_thread;
    SWworld* m_world = nullptr;
    std::shared_ptr<Shared> m_shared = std::make_shared<Shared>();
};
