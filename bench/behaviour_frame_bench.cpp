// The behaviour records, the speech motion and the world's frame step, each at two sizes so the growth shows:
// - the events section saved and loaded: events with their actions and variables, and an expression list
//   (bytes/s and time; twice the size should take about twice the time);
// - one speech frame on a head mesh of 14 channels with bound vertices (vertices/s);
// - one RunFrame without drawing on a world of nodes, events and running motions (time per frame).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/expression.h"
#include "engine/behaviour/expression_list.h"
#include "engine/behaviour/motion_start_handlers.h"
#include "engine/behaviour/property.h"
#include "engine/behaviour/speech_motion.h"
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/data_node.h"
#include "engine/core/mesh_node.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/typed_value_data.h"
#include "engine/core/world.h"
#include "engine/resources/mesh_object.h"
#include "engine/resources/speech_data.h"
#include "platform/time/clock.h"
#include "platform/time/virtual_clock.h"
#include "testsupport/behaviour/test_motion.h"

namespace {

// scale 1: 1,000 events, 10,000 actions, 50,000 variables, 1,000 expressions.
void BuildBehaviour(SWworld& world, int scale)
{
    const int events = 1000 * scale;
    const SWactioncategories& kinds = world.GetActionCategories();
    static const int32_t kKinds[] = {11, 21, 25, 7, 19, 35, 34, 41, 10, 46};
    for (int i = 0; i < 1000 * scale; ++i)
        SWexpressionlist::Of(world).Add(std::make_unique<SWexpression>(&world));
    for (int i = 0; i < events; ++i) {
        SWevent* e = world.AddEventOfType(static_cast<uint32_t>(i % 4));
        e->SetName("event " + std::to_string(i));
        for (int v = 0; v < 50; ++v) {
            auto variable = std::make_unique<SWproperty>(kTypeFloat);
            variable->SetName(std::string("v").append(std::to_string(v)));
            variable->SetFloatAll(static_cast<float>(v));
            e->AddVariable(std::move(variable));
        }
        for (int a = 0; a < 10; ++a) {
            SWactionnode* action = e->CreateAction(kinds.FindKind(kKinds[a]));
            if (action != nullptr && kKinds[a] != 35)
                action->AddArgument("target", SWdatanode::kString, true);
        }
    }
}

std::vector<uint8_t> SaveSection(const SWworld& world)
{
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        out.SetFormatVersion(SWworld::kDefaultFileVersion);
        world.SaveEvents(out);
    }
    return buffer.ToVector();
}

void BM_SaveEventsSection(benchmark::State& state)
{
    SWworld world;
    BuildBehaviour(world, static_cast<int>(state.range(0)));
    size_t bytes = 0;
    for (auto _ : state) {
        const std::vector<uint8_t> saved = SaveSection(world);
        bytes = saved.size();
        benchmark::DoNotOptimize(saved.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_SaveEventsSection)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_LoadEventsSection(benchmark::State& state)
{
    SWworld source;
    BuildBehaviour(source, static_cast<int>(state.range(0)));
    const std::vector<uint8_t> saved = SaveSection(source);
    for (auto _ : state) {
        state.PauseTiming();
        auto world = std::make_unique<SWworld>();
        state.ResumeTiming();
        SWchunkstream in(saved);
        in.SetFormatVersion(SWworld::kDefaultFileVersion);
        benchmark::DoNotOptimize(world->LoadEvents(in));
        state.PauseTiming();
        world.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(saved.size()) * state.iterations());
}
BENCHMARK(BM_LoadEventsSection)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// 10,000 vertices per scale, 14 channels (11 morph targets touching every vertex once, 3 angles), 2,000 bound.
void BM_SpeechFrame(benchmark::State& state)
{
    const int scale = static_cast<int>(state.range(0));
    const uint32_t count = 10000u * static_cast<uint32_t>(scale);
    SWworld world;
    auto* mesh = static_cast<SWmeshobject*>(world.GetRootObject()->AddGeometry(std::make_unique<SWmeshobject>()));
    std::vector<float> vertices(static_cast<size_t>(count) * 3);
    for (uint32_t i = 0; i < count; ++i)
        vertices[static_cast<size_t>(i) * 3] = static_cast<float>(i % 100);
    mesh->SetVertices(std::move(vertices));
    mesh->ComputeBoundingBox();
    static const char* kTargets[] = {"Phoneme_Eat",    "Phoneme_Earth",  "Phoneme_Ox",           "Phoneme_Size",
                                     "Phoneme_Bump",   "Viseme_EB_Up_L", "Viseme_EB_Up_R",       "Viseme_Blink_L",
                                     "Viseme_Blink_R", "Viseme_EB_Up",   "Viseme_Nostrils_Flare"};
    static const uint32_t kCodes[] = {0, 1, 3, 6, 11, 15, 16, 17, 18, 26, 27, 19, 20, 21};
    for (int t = 0; t < 11; ++t) {
        auto target = std::make_unique<SWmorphtarget>();
        target->name = kTargets[t];
        for (uint32_t v = static_cast<uint32_t>(t); v < count; v += 11) {
            const float record[5] = {static_cast<float>(v), 0.0f, 1.0f, 0.0f, 0.0f};
            target->records.Append(record);
        }
        mesh->GetMorphTargets().Add(std::move(target));
    }
    auto* face = new SWmeshnode(mesh);
    world.AddNode(face, nullptr);
    auto* head = new SWobjectnode();
    world.AddNode(head, nullptr);
    std::vector<uint32_t> bound;
    for (uint32_t v = 0; v < 2000u * static_cast<uint32_t>(scale); ++v)
        bound.push_back(v * 5 % count);
    std::sort(bound.begin(), bound.end());
    bound.erase(std::unique(bound.begin(), bound.end()), bound.end());
    mesh->AddVertexBucket(head->GetId(), bound);
    SWspeechdata script("talk");
    for (const uint32_t code : kCodes)
        script.AddChannel(code, std::vector<float>(300, 0.1f));
    SWspeechmotion motion(&world);
    motion.SetSpeechData(&script);
    motion.SetTargetObject(face);
    motion.SetHeadNode(head);
    motion.SetLoop(true);
    motion.SetDuration(9000.0f);
    motion.Start();
    float now = 0.0f;
    for (auto _ : state) {
        now += 33.0f;
        motion.Step(now);
    }
    state.SetItemsProcessed(static_cast<int64_t>(count) * state.iterations());
}
BENCHMARK(BM_SpeechFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// 1,000 nodes, 200 events (steps and timers), 500 running motions per scale.
constexpr int kWarmFrames = 16;

void BM_RunFrame(benchmark::State& state)
{
    const int scale = static_cast<int>(state.range(0));
    pf::VirtualClock clock(1000);
    pf::setClock(&clock);
    {
        SWworld world;
        std::vector<SWobjectnode*> nodes;
        for (int i = 0; i < 1000 * scale; ++i) {
            auto* node = new SWobjectnode();
            node->SetName("node" + std::to_string(i));
            world.AddNode(node, i > 0 && i % 10 != 0 ? nodes.back() : nullptr);
            nodes.push_back(node);
        }
        for (int i = 0; i < 200 * scale; ++i) {
            SWevent* e = world.AddEventOfType(static_cast<uint32_t>(i % 2 == 0 ? 2 : 4));
            e->SetName("event" + std::to_string(i));
            if (e->GetType() == 4)
                e->SetTimerInterval(100.0f);
            // A handler of its own cost near nothing (the filtering switch, with no texture to switch), so the
            // frame's own work shows rather than a handler's search of the tree.
            const uint8_t off = 0;
            e->CreateAction(world.GetActionCategories().FindKind(23))->AddArgument(&off, SWdatanode::kByte, true);
        }
        std::vector<std::unique_ptr<TestMotion>> templates;
        for (int i = 0; i < 500 * scale; ++i) {
            templates.push_back(std::make_unique<TestMotion>(&world, 4, 1.0e9f));
            StartMotionOnNode(*nodes[static_cast<size_t>(i * 2) % nodes.size()], world, *templates.back());
        }
        world.SetRunning(true);
        // The timers (100 ms) first fire in the fourth frame; the timed frames come after a few of their rounds.
        // Counting instructions: frames 5 to 16 of each world are warm.
        for (int frame = 0; frame < kWarmFrames; ++frame) {
            world.RunFrame();
            clock.advance(33);
        }
        for (auto _ : state) {
            world.RunFrame();
            clock.advance(33);
        }
        world.SetRunning(false);
        world.RunFrame();
    }
    pf::setClock(nullptr);
}
BENCHMARK(BM_RunFrame)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
