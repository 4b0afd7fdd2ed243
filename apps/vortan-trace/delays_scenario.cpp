// Delayed actions: scheduled when their event fires, run once on the first frame at or after their time with the
// trigger and data text of that firing, even after their event was deactivated; and the same across the wrap of
// the 32-bit millisecond clock.
#include <string>

#include "apps/vortan-trace/scenario_table.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "testsupport/behaviour/frame_driver.h"

namespace {

void RunOnce(const TraceRun& run, uint32_t clockStart)
{
    FrameDriver d(clockStart);
    SWevent* start = d.Event(0, "start");
    d.Action(start, 0, "door")->SetDelay(500.0);
    d.Action(start, 14, "start"); // DeactivateEvent: the start event turns itself off
    SWevent* greet = d.Event(3, "greet");
    greet->CreateHostCallbackAction(std::string("Greeter"), std::string("hello"))->SetDelay(500.0);
    d.Action(greet, 14, "greet");
    d.Observe(run.out);
    run.out.Note(0, std::string("clock at ") + std::to_string(clockStart) +
                        " ms; named trigger \"greet\" with data \"payload\"");
    d.Start();
    d.world.PostNamedTrigger(nullptr, std::string("payload"), std::string("greet"));
    run.Frames(d, {});
    d.Stop();
}

int RunDelays(const TraceRun& run)
{
    RunOnce(run, 1000);
    RunOnce(run, 0xFFFFFF00u); // the delay ends 244 ms after the clock wraps to 0
    return kTraceDone;
}

const bool kRegistered = RegisterTraceScenario(
    {"delays", "500 ms delays on a start and a triggered event, then across the clock's wrap", 18, RunDelays});

} // namespace
