// One frame of event dispatch in a world of 1,000 events of mixed types with object and key lists: 100 records a
// frame (clicks, key presses and releases, the step) and a step event keeping about 20 delayed actions pending.
// Dispatch is O(records x events) on the render thread; the frame should stay well below 1 ms.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/key_table.h"
#include "testsupport/behaviour/frame_driver.h"

namespace {

constexpr int kEvents = 1000;
constexpr int kNodes = 20;
constexpr int kRecordsPerFrame = 100; // the step record included
constexpr uint32_t kFrameMs = 33;

struct BusyWorld {
    FrameDriver d;
    std::vector<SWnode*> nodes;
    std::vector<const SWkeyentry*> keys;

    BusyWorld()
    {
        for (int i = 0; i < kNodes; ++i)
            nodes.push_back(d.Node(("node" + std::to_string(i)).c_str()));
        for (char c = 'A'; c <= 'Z'; ++c)
            keys.push_back(d.world.GetKeyTable().GetLetter(c));
        static const uint32_t kTypes[] = {5, 6, 19, 20, 3, 16, 18, 2, 5, 19};
        for (int i = 0; i < kEvents; ++i) {
            const uint32_t type = kTypes[i % 10];
            SWevent* event = d.Event(type, ("event" + std::to_string(i)).c_str());
            if (type == 5 || type == 6 || type == 16)
                for (int k = 0; k < 3; ++k)
                    event->AddObjectName("node" + std::to_string((i + 7 * k) % kNodes));
            if (type == 19 || type == 20)
                for (int k = 0; k < 2; ++k)
                    event->AddKey(keys[static_cast<size_t>(i + 11 * k) % keys.size()]);
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
        d.Frame(kFrameMs);
    }
};

void BM_DispatchFrame(benchmark::State& state)
{
    BusyWorld world;
    int frame = 30;
    for (auto _ : state)
        world.Frame(frame++);
    state.counters["records"] = benchmark::Counter(static_cast<double>(state.iterations()) * kRecordsPerFrame,
                                                   benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["pending_delays"] = static_cast<double>(world.d.world.GetDelayedActions().Count());
}
BENCHMARK(BM_DispatchFrame)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
