// The world's frame step made visible: the demo world's records as each frame dispatches them, a click picked on
// the box, and the preview stopped after frame 60, whose stop event fires on the frame after.
#include <string>

#include "apps/vortan-trace/demo_world.h"
#include "apps/vortan-trace/scenario_table.h"
#include "engine/behaviour/input_queue.h"
#include "engine/behaviour/timed_action_table.h"
#include "engine/core/world.h"
#include "platform/time/clock.h"
#include "platform/time/virtual_clock.h"

namespace {

constexpr int kStopAfterFrame = 60;
constexpr int kClickFrame = 3;

int RunFrameScenario(const TraceRun& run)
{
    pf::VirtualClock clock(1000);
    pf::setClock(&clock);
    int status = kTraceDone;
    {
        SWworld world;
        DemoRenderer renderer(kDemoViewSize, kDemoViewSize);
        AddFrameDemo(world);
        AddDemoWindow(world, renderer);
        world.SetObserver(&run.out);
        run.out.SetFrame(0);
        world.SetRunning(true);
        for (int frame = 1; frame <= run.frames; ++frame) {
            if (frame == kClickFrame) {
                run.out.Note(frame - 1, "left press at the view's centre");
                const auto centre = static_cast<uint16_t>(kDemoViewSize / 2);
                world.PostInputEvent(InputKind::kMousePressed, SWmousepoint{2, centre, centre});
                world.PostInputEvent(InputKind::kMouseReleased, SWmousepoint{2, centre, centre});
            }
            run.out.SetFrame(frame);
            world.RunFrame();
            if (frame == kStopAfterFrame) {
                run.out.Note(frame, "preview stopped");
                world.SetRunning(false);
            }
            clock.advance(run.dtMs);
        }
        run.out.Note(run.frames, "running motions " + std::to_string(TimedActionTable::Of(world).Count()) +
                                     ", delayed actions " + std::to_string(world.GetDelayedActions().Count()));
        world.SetObserver(nullptr);
    }
    pf::setClock(nullptr);
    return status;
}

const bool kRegistered = RegisterTraceScenario(
    {"frame", "the frame step: step, timer, trigger, click and a stop after frame 60", 64, RunFrameScenario});

} // namespace
