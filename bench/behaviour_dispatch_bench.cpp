// One frame of event dispatch: 100 records a frame (clicks, key presses and releases, the step) and a step event
// keeping about 20 delayed actions pending, in two worlds of 1,000 to 8,000 events of mixed types with object and key
// lists:
// - DispatchFrame: every event like the first 1,000, so the events that fire grow with the world (about 1,600 a
//   frame at 1,000 events, 13,000 at 8,000): the time grows with them, whatever the dispatch;
// - DispatchQuietFrame: the first 1,000 as before and the rest of the same types but listing nodes and keys that no
//   record names (and custom events in place of step events): the same events fire at every size, so the time shows
//   what the events a record cannot fire cost it. Dispatch that looks only at a record's candidates keeps 8,000
//   within 1.5 times 1,000; one that walks every event for every record does not.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "engine/behaviour/action_node.h"
#include "engine/behaviour/behaviour_observer.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/input_queue.h"
#include "engine/behaviour/key_table.h"
#include "engine/core/world.h"
#include "testsupport/behaviour/frame_driver.h"

namespace {

constexpr int kNodes = 20;
constexpr int kRecordsPerFrame = 100; // the step record included
constexpr uint32_t kFrameMs = 33;

struct BusyWorld {
    FrameDriver d;
    std::vector<SWnode*> nodes;
    std::vector<const SWkeyentry*> keys;
    std::vector<const SWkeyentry*> quietKeys; // listed by events no record can fire

    // events in all, the first `firing` of them reachable by the frame's records.
    BusyWorld(int events, int firing)
    {
        for (int i = 0; i < kNodes; ++i)
            nodes.push_back(d.Node(("node" + std::to_string(i)).c_str()));
        for (char c = 'A'; c <= 'Z'; ++c)
            keys.push_back(d.world.GetKeyTable().GetLetter(c));
        for (char c = '0'; c <= '9'; ++c)
            quietKeys.push_back(d.world.GetKeyTable().FindKeyByCode(c));
        static const uint32_t kTypes[] = {5, 6, 19, 20, 3, 16, 18, 2, 5, 19};
        for (int i = 0; i < events; ++i) {
            const bool quiet = i >= firing;
            const uint32_t type = quiet && kTypes[i % 10] == 2 ? 3 : kTypes[i % 10];
            SWevent* event = d.Event(type, ("event" + std::to_string(i)).c_str());
            const std::string node = quiet ? "far" : "node";
            if (type == 5 || type == 6 || type == 16)
                for (int k = 0; k < 3; ++k)
                    event->AddObjectName(node + std::to_string((i + 7 * k) % kNodes));
            const std::vector<const SWkeyentry*>& listed = quiet ? quietKeys : keys;
            if (type == 19 || type == 20)
                for (int k = 0; k < 2; ++k)
                    event->AddKey(listed[static_cast<size_t>(i + 11 * k) % listed.size()]);
            d.Action(event, 0);
        }
        SWevent* step = d.Event(2, "delaying");
        d.Action(step, 0)->SetDelay(20.0 * kFrameMs); // about 20 entries pending at any time
        d.Start();
        for (int i = 0; i < 30; ++i)
            Frame(i);
    }

    void Frame(int frame)
    {
        for (int r = 0; r < kRecordsPerFrame - 1; ++r) {
            const size_t pick = static_cast<size_t>(frame * 31 + r);
            switch (r % 3) {
            case 0:
                d.Post(FrameDriver::Click(nodes[pick % nodes.size()], r % 2 != 0 ? 2 : 1));
                break;
            case 1:
                d.world.PostKeyDown(*keys[pick % keys.size()]);
                break;
            default:
                d.world.PostKeyUp(*keys[pick % keys.size()]);
                break;
            }
        }
        DispatchStep();
    }

    // The dispatch part of the world's frame step: the posted records, the step record, ProcessEvents. (The test
    // driver's frame would also walk every event for due timers, which the frame step does through the index and
    // this world, without timers, does not need.)
    void DispatchStep()
    {
        {
            SWworldlock lock(d.world);
            d.world.GetPostedQueue().MoveAll(d.world.GetDispatchQueue());
            d.world.GetDispatchQueue().Push(new SWinputrecord(InputKind::kWorldStep, d.world.GetFrameTimeMs()));
            d.world.ProcessEvents();
        }
        d.clock.advance(kFrameMs);
        d.world.SetCurrentWorldTime(d.world.GetCurrentWorldTime() + static_cast<float>(kFrameMs));
    }
};

struct FiringCounter : BehaviourObserver {
    void EventFired(const SWevent&, const SWinputrecord&) override { ++fired; }
    int fired = 0;
};

void RunFrames(benchmark::State& state, BusyWorld& world)
{
    int frame = 30;
    FiringCounter counter; // one frame counted before the timed ones
    world.d.world.SetObserver(&counter);
    world.Frame(frame++);
    world.d.world.SetObserver(nullptr);
    for (auto _ : state)
        world.Frame(frame++);
    state.counters["fired_per_frame"] = counter.fired;
    state.counters["records"] = benchmark::Counter(static_cast<double>(state.iterations()) * kRecordsPerFrame,
                                                   benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["pending_delays"] = static_cast<double>(world.d.world.GetDelayedActions().Count());
}

void BM_DispatchFrame(benchmark::State& state)
{
    BusyWorld world(static_cast<int>(state.range(0)), static_cast<int>(state.range(0)));
    RunFrames(state, world);
}
BENCHMARK(BM_DispatchFrame)->Arg(1000)->Arg(2000)->Arg(4000)->Arg(8000)->Unit(benchmark::kMicrosecond);

void BM_DispatchQuietFrame(benchmark::State& state)
{
    BusyWorld world(static_cast<int>(state.range(0)), 1000);
    RunFrames(state, world);
}
BENCHMARK(BM_DispatchQuietFrame)->Arg(1000)->Arg(2000)->Arg(4000)->Arg(8000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
