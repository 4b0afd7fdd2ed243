// Which events each kind of record fires: the world's start and stop, the step, triggers by action and by name,
// object clicks in order, activation at once and at the end of the step, and an event that fires only once.
#include "apps/vortan-trace/scenario_table.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "testsupport/behaviour/frame_driver.h"

namespace {

int RunDispatch(const TraceRun& run)
{
    FrameDriver d;
    SWevent* start1 = d.Event(0, "start1");
    d.Action(start1, 11, "custom"); // TriggerEvent: the custom event fires in the next frame
    d.Event(0, "start2");           // only the first start event fires
    d.Event(1, "stop1");
    d.Event(1, "stop2");
    d.Event(2, "tick");
    SWevent* once = d.world.AddEvent(0, static_cast<uint32_t>(EventType::kWorldStep));
    once->SetName(std::string("once")); // re-arm flag 0: blocked after its first firing
    d.Event(3, "custom");
    SWnode* a = d.Node("a");
    SWnode* b = d.Node("b");
    SWevent* order = d.Event(5, "order");
    order->AddObjectName("a");
    order->AddObjectName("b");
    order->SetSequenceMode(1);
    SWevent* sleeper = d.Event(5, "sleeper");
    d.Event(5, "awake");
    SWevent* dormant = d.Event(5, "dormant");
    SWevent* flip = d.Event(3, "switch");
    d.Action(flip, 13, "sleeper"); // ActivateEvent: from the end of the step
    d.Action(flip, 15, "awake");   // ToggleEventActivation: at once
    d.Action(flip, 38, "dormant"); // SwapEventActivation with the switch itself: at once
    d.Observe(run.out);
    d.Start();
    sleeper->SetActive(false); // after the start, which makes every enabled event active
    dormant->SetActive(false);
    run.out.Note(0, "named trigger for \"late\", an event that does not exist yet");
    d.world.PostNamedTrigger(nullptr, std::string("for later"), std::string("late"));
    run.Frames(d, [&](int frame) {
        if (frame == 5) {
            run.out.Note(frame - 1, "clicks a, b");
            d.Post(FrameDriver::Click(a));
            d.Post(FrameDriver::Click(b));
        } else if (frame == 6) {
            run.out.Note(frame - 1, "clicks a, a, b");
            for (SWnode* node : {a, a, b})
                d.Post(FrameDriver::Click(node));
        } else if (frame == 10 || frame == 11) {
            if (frame == 10) {
                run.out.Note(frame - 1, "trigger \"switch\", then click a");
                d.world.PostNamedTrigger(nullptr, std::nullopt, std::string("switch"));
            } else {
                run.out.Note(frame - 1, "click a");
            }
            d.Post(FrameDriver::Click(a));
        } else if (frame == 31) {
            run.out.Note(frame - 1, "event \"late\" created");
            d.Event(3, "late");
        }
    });
    d.Stop();
    return kTraceDone;
}

const bool kRegistered = RegisterTraceScenario(
    {"dispatch", "start, stop, step, triggers by action and name, clicks in order, activation", 32, RunDispatch});

} // namespace
