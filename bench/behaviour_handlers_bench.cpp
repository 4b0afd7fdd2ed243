// What the handlers' motions cost every frame on the render thread. An older play through a node's motion
// controller on a 10,000-vertex mesh (a 100 x 100 grid) with vertex frames: vertices per millisecond, once while it
// blends in over its transition and once while it plays frames. N navigation and N arcball motions on distinct
// nodes fed input each frame: one frame is every motion's step and fold. The set-background handler run 1,000
// times over, as a step event would: heap allocations per run after the first (counted by this program's own
// operator new) should be 0.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bench/support/counting_allocator.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/arcball_motion.h"
#include "engine/behaviour/key_table.h"
#include "engine/behaviour/motion_controller.h"
#include "engine/behaviour/navigation_motion.h"
#include "engine/behaviour/scene_handlers.h"
#include "engine/core/animation_data.h"
#include "engine/core/node_names.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/window.h"
#include "engine/core/world.h"
#include "engine/resources/mesh.h"

namespace {

constexpr uint32_t kSide = 100;
constexpr uint32_t kVertices = kSide * kSide;
constexpr uint32_t kFrames = 120;

// A controller node on a grid mesh with kFrames vertex frames, playing them for ever.
struct VertexPlay {
    explicit VertexPlay(double transitionSeconds)
    {
        std::vector<float> grid;
        for (uint32_t v = 0; v < kVertices; ++v)
            grid.insert(grid.end(), {static_cast<float>(v % kSide), static_cast<float>(v / kSide), 0.0f});
        mesh.SetVertices(std::move(grid));
        node->SetKindFlags(node->GetKindFlags() | SWobjectnode::kFlagVertexAnimated);
        node->SetGeometry(&mesh);
        world.AddNode(node, nullptr);
        node->GetAnimationTracks().AddTrack(std::string(kDefaultAnimationName)).SetKey(0, SWmatrix());
        node->GetAnimationTracks().GetClips().Add({1, 0});
        auto table = std::make_unique<VertexFrameTable>();
        table->Allocate(kFrames, kVertices);
        for (uint32_t f = 0; f < kFrames; ++f) {
            std::span<float> p = table->GetFrameVertices(f);
            for (uint32_t v = 0; v < kVertices; ++v) {
                p[v * 3] = static_cast<float>(v % kSide);
                p[v * 3 + 1] = static_cast<float>(v / kSide);
                p[v * 3 + 2] = 0.05f * static_cast<float>(f) * static_cast<float>((v * 7) % 11);
            }
        }
        table->SetReady(true);
        node->SetVertexFrameTable(std::move(table));
        controller = node->GetMotionController(&world, true);
        controller->Step(0.0f);
        play.settings.startFrame = 0;
        play.settings.endFrame = static_cast<int32_t>(kFrames - 1);
        play.settings.loopForever = 1;
        play.settings.transitionSeconds = transitionSeconds;
        play.settings.clipId = 1;
        controller->Play(&play);
    }
    ~VertexPlay() { node->SetGeometry(nullptr); }
    SWmesh mesh;
    SWworld world;
    SWobjectnode* node = new SWobjectnode();
    SWmotioncontroller* controller = nullptr;
    SWoldanimationaction play{2};
};

void BM_ControllerVertexTransition(benchmark::State& state)
{
    VertexPlay v(1.0e6); // a transition that never ends: every step blends
    float now = 0.0f;
    for (auto _ : state)
        v.controller->Step(now += 33.4f);
    state.counters["vertices_per_ms"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kVertices / 1000.0, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ControllerVertexTransition)->Unit(benchmark::kMicrosecond);

void BM_ControllerVertexPlay(benchmark::State& state)
{
    VertexPlay v(0.0);
    float now = 0.0f;
    for (auto _ : state)
        v.controller->Step(now += 33.4f); // a new frame every step
    state.counters["vertices_per_ms"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kVertices / 1000.0, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ControllerVertexPlay)->Unit(benchmark::kMicrosecond);

template <typename Motion> void FeedInput(Motion& motion, SWworld& world, int frame);

template <> void FeedInput(SWnavigationmotion& motion, SWworld& world, int frame)
{
    if (frame == 0) {
        motion.KeyDown(world.GetKeyTable().FindKeyByCode('w'));
        motion.KeyDown(world.GetKeyTable().FindKeyByCode(261));
    }
}

template <> void FeedInput(SWarcballmotion& motion, SWworld& world, int frame)
{
    if (frame == 0)
        motion.MouseDown(0, 0, SWchannelmotion::kButtonLeft);
    motion.MouseMove(&world, 3, (frame & 1) != 0 ? 2 : -2, SWchannelmotion::kButtonLeft);
}

template <typename Motion> void BM_InteractiveFrame(benchmark::State& state)
{
    const auto count = static_cast<size_t>(state.range(0));
    SWworld world;
    std::vector<SWobjectnode*> nodes;
    std::vector<std::unique_ptr<Motion>> motions;
    for (size_t i = 0; i < count; ++i) {
        auto* node = new SWobjectnode();
        node->SetLocalMatrix(SWmatrix::Rotation(1.2f, 0));
        world.AddNode(node, nullptr);
        nodes.push_back(node);
        auto motion = std::make_unique<Motion>(&world);
        motion->SetTarget(node);
        motion->Start();
        motions.push_back(std::move(motion));
    }
    float now = 0.0f;
    int frame = 0;
    for (auto _ : state) {
        for (size_t i = 0; i < count; ++i) {
            FeedInput(*motions[i], world, frame);
            motions[i]->Step(now);
            motions[i]->ApplyToNode(*nodes[i]);
        }
        now += 16.7f;
        ++frame;
    }
    state.counters["motions"] = static_cast<double>(count);
}
BENCHMARK(BM_InteractiveFrame<SWnavigationmotion>)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_InteractiveFrame<SWarcballmotion>)->Arg(1000)->Unit(benchmark::kMicrosecond);

class NullRenderer : public SWwindowrenderer {};

void BM_SetWorldBackground(benchmark::State& state)
{
    SWworld world;
    NullRenderer renderer;
    world.AddWindow(std::make_unique<SWwindow>(&renderer));
    SWbackgroundaction action;
    action.settings = {1.0f, 0.5f, 0.0f, 1};
    DoActionSetBackground(&world, &action); // the first run builds the background
    const uint64_t before = bench_support::CountedAllocations();
    uint64_t runs = 0;
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i)
            DoActionSetBackground(&world, &action);
        runs += 1000;
    }
    state.counters["allocations_per_run"] =
        static_cast<double>(bench_support::CountedAllocations() - before) / static_cast<double>(runs);
}
BENCHMARK(BM_SetWorldBackground)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
