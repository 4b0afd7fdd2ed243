// Action sequences: a queue of three members whose second waits for its 200 ms motion; the same stopped by a
// StopQueue while the motion still runs; and the same looping.
#include "apps/vortan-trace/scenario_table.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/event.h"
#include "testsupport/behaviour/frame_driver.h"

namespace {

SWqueueaction* BuildSequence(FrameDriver& d, uint8_t loop)
{
    SWevent* event = d.Event(3, "sequence");
    auto* queue = static_cast<SWqueueaction*>(d.Action(event, 30));
    queue->SetLoop(loop);
    SWactionnode* first = d.Action(event, 0, "first");
    first->SetQueueLink(queue->GetActionId());
    SWmotionaction* moving = d.MotionAction(event, 2, 200.0f);
    moving->SetQueueLink(queue->GetActionId());
    moving->SetWait(1);
    d.Action(event, 0, "last")->SetQueueLink(queue->GetActionId());
    return queue;
}

void RunOnce(const TraceRun& run, const char* title, uint8_t loop, bool halt)
{
    FrameDriver d;
    SWqueueaction* queue = BuildSequence(d, loop);
    if (halt) {
        auto* stop = static_cast<SWstopqueueaction*>(d.Action(d.Event(3, "halt"), 31));
        stop->AddId(queue->GetActionId());
    }
    d.Observe(run.out);
    run.out.Note(0, title);
    d.Start();
    d.world.PostNamedTrigger(nullptr, std::nullopt, std::string("sequence"));
    run.Frames(d, [&](int frame) {
        if (halt && frame == 3) {
            run.out.Note(frame - 1, "trigger \"halt\"");
            d.world.PostNamedTrigger(nullptr, std::nullopt, std::string("halt"));
        }
    });
    d.Stop();
}

int RunSequences(const TraceRun& run)
{
    RunOnce(run, "run 1: first, a 200 ms motion waited for, last", 0, false);
    RunOnce(run, "run 2: stopped by a StopQueue while the motion runs", 0, true);
    RunOnce(run, "run 3: the loop byte set", 1, false);
    return kTraceDone;
}

const bool kRegistered = RegisterTraceScenario(
    {"sequences", "a queue waiting for a test motion, stopped by StopQueue, and looping", 12, RunSequences});

} // namespace
