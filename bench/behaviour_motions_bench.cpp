// Motions are stepped and folded into their nodes every frame on the render thread. N running XYZ rotations, each
// with three axis tracks, on distinct nodes: one frame is every motion's step and fold. Budget: 1,000 motions
// below 2 ms a frame.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "engine/behaviour/generator.h"
#include "engine/behaviour/xyz_motion.h"
#include "engine/core/object_node.h"
#include "engine/core/world.h"

namespace {

void BM_XyzStepAndFold(benchmark::State& state)
{
    const auto count = static_cast<size_t>(state.range(0));
    SWworld world;
    std::vector<SWobjectnode*> nodes;
    std::vector<std::unique_ptr<SWxyzmotion>> motions;
    for (size_t i = 0; i < count; ++i) {
        auto* node = new SWobjectnode();
        world.AddNode(node, nullptr);
        nodes.push_back(node);
        auto motion = std::make_unique<SWxyzmotion>(&world);
        for (int axis = 0; axis < 3; ++axis) {
            auto track = std::make_unique<SWaxistrack>(&world, 0.5f + 0.1f * static_cast<float>(axis));
            track->SetDuration(1000.0f + static_cast<float>(i % 7) * 100.0f);
            motion->SetGenerator(std::move(track), axis);
        }
        motion->SetLoopForever(true);
        motion->Start();
        motions.push_back(std::move(motion));
    }
    float now = 0.0f;
    for (auto _ : state) {
        for (size_t i = 0; i < count; ++i) {
            motions[i]->Step(now);
            motions[i]->ApplyToNode(*nodes[i]);
        }
        now += 16.7f;
    }
    state.counters["motions"] = static_cast<double>(count);
}
BENCHMARK(BM_XyzStepAndFold)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
