// An expression action on a step event runs every frame on the render thread: evaluating
// "a.x*2+b.y/(c.z-1)" over node variables should stay well below 2 us, and should allocate little.
// Heap allocations are counted by replacing the global operator new in this program alone.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench/support/counting_allocator.h"
#include "engine/behaviour/expression.h"
#include "engine/behaviour/property.h"
#include "engine/core/object_node.h"
#include "engine/core/typed_value_data.h"
#include "engine/core/world.h"

#if VORTAN_HAVE_MUPARSER
#include <muParser.h>
#endif

namespace {

void AddNode(SWworld& world, const char* name, const char* variable, float value)
{
    auto* node = new SWobjectnode();
    node->SetName(std::string(name));
    world.AddNode(node, nullptr);
    auto v = std::make_unique<SWproperty>(kTypeFloat);
    v->SetName(std::string(variable));
    v->SetFloatAll(value);
    node->AddVariable(std::move(v));
}

struct Scene {
    Scene()
    {
        AddNode(world, "a", "x", 1.5f);
        AddNode(world, "b", "y", 4.0f);
        AddNode(world, "c", "z", 3.0f);
    }
    SWworld world;
};

constexpr const char* kText = "a.x*2+b.y/(c.z-1)";

void BM_EvaluateExpression(benchmark::State& state)
{
    Scene scene;
    int code = 0;
    std::unique_ptr<SWexpression> expression = SWexpression::CompileExpression(&scene.world, kText, code);
    if (expression == nullptr) {
        state.SkipWithError("the benchmark's text did not compile");
        return;
    }
    const uint64_t before = bench_support::CountedAllocations();
    for (auto _ : state) {
        std::unique_ptr<SWproperty> value = SWexpression::Evaluate(expression.get());
        benchmark::DoNotOptimize(value->GetAsFloat());
    }
    state.counters["allocs_per_eval"] =
        static_cast<double>(bench_support::CountedAllocations() - before) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_EvaluateExpression)->Unit(benchmark::kNanosecond)->Iterations(1000000);

void BM_CompileExpression(benchmark::State& state)
{
    Scene scene;
    for (auto _ : state) {
        int code = 0;
        std::unique_ptr<SWexpression> expression = SWexpression::CompileExpression(&scene.world, kText, code);
        benchmark::DoNotOptimize(expression.get());
    }
}
BENCHMARK(BM_CompileExpression)->Unit(benchmark::kNanosecond);

#if VORTAN_HAVE_MUPARSER
// The peer reads the same formula over plain doubles; its names cannot hold a dot.
constexpr const char* kPeerText = "a_x*2+b_y/(c_z-1)";

void BM_PeerEvaluate(benchmark::State& state)
{
    double ax = 1.5, by = 4.0, cz = 3.0;
    mu::Parser parser;
    parser.DefineVar("a_x", &ax);
    parser.DefineVar("b_y", &by);
    parser.DefineVar("c_z", &cz);
    parser.SetExpr(kPeerText);
    benchmark::DoNotOptimize(parser.Eval()); // the first evaluation compiles the text
    const uint64_t before = bench_support::CountedAllocations();
    for (auto _ : state)
        benchmark::DoNotOptimize(parser.Eval());
    state.counters["allocs_per_eval"] =
        static_cast<double>(bench_support::CountedAllocations() - before) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_PeerEvaluate)->Unit(benchmark::kNanosecond)->Iterations(1000000);

void BM_PeerCompile(benchmark::State& state)
{
    double ax = 1.5, by = 4.0, cz = 3.0;
    for (auto _ : state) {
        mu::Parser parser;
        parser.DefineVar("a_x", &ax);
        parser.DefineVar("b_y", &by);
        parser.DefineVar("c_z", &cz);
        parser.SetExpr(kPeerText);
        benchmark::DoNotOptimize(parser.Eval());
    }
}
BENCHMARK(BM_PeerCompile)->Unit(benchmark::kNanosecond);
#endif

} // namespace

BENCHMARK_MAIN();
