// Motions are stepped and folded into their nodes every frame on the render thread. N running XYZ rotations, each
// with three axis tracks, or N key-frame plays of a 120-frame block, on distinct nodes: one frame is every motion's
// step and fold. Budget: 1,000 motions below 2 ms a frame. A vertex play on a 10,000-vertex mesh (a 100 x 100 grid
// of quads) copies a frame, checks the bounds and renews the normals each step: vertices per millisecond.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/behaviour/generator.h"
#include "engine/behaviour/keyframe_motion.h"
#include "engine/behaviour/vertex_keyframe_motion.h"
#include "engine/behaviour/xyz_motion.h"
#include "engine/core/animation_data.h"
#include "engine/core/mesh_node.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "engine/resources/array_block.h"
#include "engine/resources/mesh_object.h"

namespace {

// The timed frames: every motion stepped at the frame's time and folded into its own node, 60 frames a second.
template <class Motion>
void StepAndFoldEveryFrame(benchmark::State& state, const std::vector<std::unique_ptr<Motion>>& motions,
                           const std::vector<SWobjectnode*>& nodes)
{
    float now = 0.0f;
    for (auto _ : state) {
        for (size_t i = 0; i < motions.size(); ++i) {
            motions[i]->Step(now);
            motions[i]->ApplyToNode(*nodes[i]);
        }
        now += 16.7f;
    }
    state.counters["motions"] = static_cast<double>(motions.size());
}

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
    StepAndFoldEveryFrame(state, motions, nodes);
}
BENCHMARK(BM_XyzStepAndFold)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_KeyFramePlayStepAndFold(benchmark::State& state)
{
    const auto count = static_cast<size_t>(state.range(0));
    SWworld world;
    std::vector<SWobjectnode*> nodes;
    std::vector<std::unique_ptr<SWkeyframemotion>> motions;
    for (size_t i = 0; i < count; ++i) {
        auto* node = new SWobjectnode();
        world.AddNode(node, nullptr);
        AnimationTrack& track = node->GetAnimationTracks().AddTrack(std::string(kDefaultAnimationName));
        for (uint32_t f = 0; f < 120; ++f) {
            SWmatrix key = SWmatrix::Rotation(0.01f * static_cast<float>(f), static_cast<int>(i % 3));
            key.SetTranslation(0.1f * static_cast<float>(f), 0.0f, 0.0f);
            track.SetKey(f, key);
        }
        nodes.push_back(node);
        auto motion = std::make_unique<SWkeyframemotion>(&world);
        motion->SetBlendTime(static_cast<float>(i % 4) * 100.0f);
        motion->Bind(*node);
        motion->SetLoopForever(true);
        motion->Start();
        motions.push_back(std::move(motion));
    }
    StepAndFoldEveryFrame(state, motions, nodes);
}
BENCHMARK(BM_KeyFramePlayStepAndFold)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_VertexPlayStep(benchmark::State& state)
{
    constexpr uint32_t kSide = 100;
    constexpr uint32_t kVertices = kSide * kSide;
    constexpr uint32_t kFrames = 120;
    SWworld world;
    auto* mesh = static_cast<SWmeshobject*>(world.GetRootObject()->AddGeometry(std::make_unique<SWmeshobject>()));
    std::vector<float> grid;
    for (uint32_t y = 0; y < kSide; ++y)
        for (uint32_t x = 0; x < kSide; ++x)
            grid.insert(grid.end(), {static_cast<float>(x), static_cast<float>(y), 0.0f});
    mesh->SetVertices(std::move(grid));
    SWarrayblockChain chain;
    for (uint32_t y = 0; y + 1 < kSide; ++y)
        for (uint32_t x = 0; x + 1 < kSide; ++x) {
            const uint32_t v = y * kSide + x;
            const uint32_t quad[4] = {v, v + 1, v + kSide + 1, v + kSide};
            auto block = std::make_unique<SWarrayblock>(quad, false, std::span<const uint32_t>(), 1, nullptr);
            chain.Add(std::move(block));
        }
    mesh->BuildPolygonIndices(chain.Head());
    mesh->ComputeBoundingBox();
    auto* node = new SWmeshnode(mesh);
    world.AddNode(node, nullptr);
    auto table = std::make_unique<VertexFrameTable>();
    table->Allocate(kFrames, kVertices);
    for (uint32_t f = 0; f < kFrames; ++f) {
        std::span<float> positions = table->GetFrameVertices(f);
        for (uint32_t v = 0; v < kVertices; ++v) {
            positions[v * 3] = static_cast<float>(v % kSide);
            positions[v * 3 + 1] = static_cast<float>(v / kSide);
            positions[v * 3 + 2] = 0.05f * static_cast<float>(f) * static_cast<float>((v * 7) % 11);
        }
    }
    table->SetReady(true);
    node->SetVertexFrameTable(std::move(table));
    SWvertexkeyframemotion play(&world);
    play.Bind(*node);
    play.SetLoopForever(true);
    play.Start();
    float now = 0.0f;
    for (auto _ : state) {
        play.Step(now);
        now += 33.4f; // a new frame every step
    }
    // A rate counter reads per second: vertices/s over 1,000 is vertices per millisecond.
    state.counters["vertices"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kVertices, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_VertexPlayStep)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
