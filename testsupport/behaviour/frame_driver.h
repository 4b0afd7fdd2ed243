#pragma once
// FrameDriver: a world on a virtual clock, run frame by frame in the order the frame step will follow: the posted
// records moved to the dispatch queue, a step record, a timer record for each due timer, ProcessEvents, then every
// motion of the timed-action table stepped, the running ones folded into their bound nodes (whose world matrices
// follow), the holds of finished ones released and the finished ones deleted; then the clock and the world's time
// advance. It also
// stands in for starting and stopping the world, and builds the small worlds tests and traces need.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/input_queue.h"
#include "engine/core/world.h"
#include "platform/time/virtual_clock.h"

class SWactionnode;
class SWevent;
class SWnode;
class SWmotionaction;
class TraceObserver;

class FrameDriver {
public:
    explicit FrameDriver(uint32_t clockStartMs = 1000); // installs the clock
    ~FrameDriver();                                     // uninstalls it
    FrameDriver(const FrameDriver&) = delete;
    FrameDriver& operator=(const FrameDriver&) = delete;

    void Start(); // the world started: its events reset, the start record queued for the next frame
    void Stop();  // the stop record dispatched at once by one more ProcessEvents, as after the last frame
    void Frame(uint32_t dtMs = 33);
    int FrameCount() const { return m_frames; }

    void Observe(TraceObserver& observer); // installed on the world, told the frame number as frames run

    // -- Input
    void Post(SWinputrecord* record) { world.GetPostedQueue().Push(record); }
    static SWinputrecord* Click(SWnode* node, uint32_t mask = 2); // mask 2 left, 1 right, 4 middle

    // -- Small worlds
    SWevent* Event(uint32_t type, const char* name);
    // An action of the catalogue's kind (or, for a kind without a row, a plain action that only reports), with one
    // string argument when given.
    SWactionnode* Action(SWevent* event, int32_t kind, const char* argument = nullptr);
    // A kind-41 action whose test motion of type (2: cloned at each start) lasts durationMs, started by its handler.
    SWmotionaction* MotionAction(SWevent* event, uint32_t type, float durationMs, SWactionnode* after = nullptr);
    SWnode* Node(const char* name);

    pf::VirtualClock clock;
    SWworld world;
    SWactionkind plain;      // kind 0, no handler: each execution is only reported
    SWactionkind motionKind; // kind 41, whose handler starts the test motion

    static constexpr uint32_t kTimedActionTypes = 20;

private:
    void SetObserverFrame();
    void StepMotions(float now);
    TraceObserver* m_observer = nullptr;
    int m_frames = 0;
};
