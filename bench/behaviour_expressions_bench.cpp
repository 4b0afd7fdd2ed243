// An expression action on a step event runs every frame on the render thread. Evaluating and compiling the
// benchmark's expressions over node variables, side by side with a public expression parser over doubles (for
// scale; it reads the same texts with its names spelled a_x for a.x), and the two long texts a world can hold:
// a sum of 60,000 terms and 30,000 nested parentheses, whose compiling and evaluation should grow with the text and
// no faster. Heap allocations are counted by replacing the global operator new in this program alone; an
// evaluation should make none once the expression has run.
//
// The texts:
//   0  a.x*2+b.y/(c.z-1)
//   1  (a.x+b.y)*(c.z-a.x)/2
//   2  a.x-b.y-c.z*4/5+1
//   3  twenty operands, with parentheses
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

// Built against a tree without the flat program (the figures before it), the evaluation is the variable Evaluate
// hands out; with it, the value is taken into a reused one.
#if __has_include("engine/behaviour/expression_program.h")
#define VORTAN_EVALUATE_INTO 1
#endif

namespace {

constexpr const char* kTexts[] = {
    "a.x*2+b.y/(c.z-1)",
    "(a.x+b.y)*(c.z-a.x)/2",
    "a.x-b.y-c.z*4/5+1",
    "a.x+b.y*2-c.z/3+(a.x-1)*(b.y+2)-c.z*a.x/(b.y+4)+5*c.z-a.x/7+b.y+c.z*9",
};

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

class Evaluation {
public:
    float Run(SWexpression* expression)
    {
#if VORTAN_EVALUATE_INTO
        SWexpression::EvaluateInto(expression, m_value);
        return m_value.elements[0];
#else
        return SWexpression::Evaluate(expression)->GetAsFloat();
#endif
    }

private:
    TypedValueData m_value;
};

void CountAllocations(benchmark::State& state, uint64_t before)
{
    state.counters["allocs_per_eval"] =
        static_cast<double>(bench_support::CountedAllocations() - before) / static_cast<double>(state.iterations());
}

void BM_Evaluate(benchmark::State& state)
{
    Scene scene;
    int code = 0;
    std::unique_ptr<SWexpression> expression =
        SWexpression::CompileExpression(&scene.world, kTexts[state.range(0)], code);
    if (expression == nullptr) {
        state.SkipWithError("the benchmark's text did not compile");
        return;
    }
    Evaluation evaluation;
    benchmark::DoNotOptimize(evaluation.Run(expression.get())); // the first run makes the program
    const uint64_t before = bench_support::CountedAllocations();
    for (auto _ : state)
        benchmark::DoNotOptimize(evaluation.Run(expression.get()));
    CountAllocations(state, before);
}
BENCHMARK(BM_Evaluate)->DenseRange(0, 3)->Unit(benchmark::kNanosecond);

void BM_Compile(benchmark::State& state)
{
    Scene scene;
    for (auto _ : state) {
        int code = 0;
        std::unique_ptr<SWexpression> expression =
            SWexpression::CompileExpression(&scene.world, kTexts[state.range(0)], code);
        benchmark::DoNotOptimize(expression.get());
    }
}
BENCHMARK(BM_Compile)->DenseRange(0, 3)->Unit(benchmark::kNanosecond);

// -- Long texts: compiling and one evaluation each, timed together, since a world's text is compiled when loaded.

std::string LongSum(int terms)
{
    std::string text = "1";
    for (int i = 1; i < terms; ++i)
        text += "+1";
    return text;
}

std::string DeepParentheses(int depth)
{
    return std::string(static_cast<size_t>(depth), '(') + "1+1" + std::string(static_cast<size_t>(depth), ')');
}

void RunLong(benchmark::State& state, const std::string& text, float expected)
{
    Scene scene;
    for (auto _ : state) {
        int code = 0;
        std::unique_ptr<SWexpression> expression = SWexpression::CompileExpression(&scene.world, text, code);
        Evaluation evaluation;
        if (expression == nullptr || evaluation.Run(expression.get()) != expected) {
            state.SkipWithError("the long text did not give its value");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(text.size()) * state.iterations());
}

void BM_LongSum(benchmark::State& state)
{
    RunLong(state, LongSum(static_cast<int>(state.range(0))), static_cast<float>(state.range(0)));
}
BENCHMARK(BM_LongSum)->Arg(30000)->Arg(60000)->Unit(benchmark::kMillisecond);

void BM_DeepParentheses(benchmark::State& state)
{
    RunLong(state, DeepParentheses(static_cast<int>(state.range(0))), 2.0f);
}
BENCHMARK(BM_DeepParentheses)->Arg(15000)->Arg(30000)->Unit(benchmark::kMillisecond);

#if VORTAN_HAVE_MUPARSER
// The peer's names cannot hold a dot.
std::string PeerText(const char* text)
{
    std::string peer(text);
    for (char& c : peer)
        if (c == '.')
            c = '_';
    return peer;
}

struct PeerScene {
    double ax = 1.5, by = 4.0, cz = 3.0;
    void Define(mu::Parser& parser)
    {
        parser.DefineVar("a_x", &ax);
        parser.DefineVar("b_y", &by);
        parser.DefineVar("c_z", &cz);
    }
};

void BM_PeerEvaluate(benchmark::State& state)
{
    PeerScene scene;
    mu::Parser parser;
    scene.Define(parser);
    parser.SetExpr(PeerText(kTexts[state.range(0)]));
    benchmark::DoNotOptimize(parser.Eval()); // the first evaluation compiles the text
    const uint64_t before = bench_support::CountedAllocations();
    for (auto _ : state)
        benchmark::DoNotOptimize(parser.Eval());
    CountAllocations(state, before);
}
BENCHMARK(BM_PeerEvaluate)->DenseRange(0, 3)->Unit(benchmark::kNanosecond);

void BM_PeerCompile(benchmark::State& state)
{
    PeerScene scene;
    const std::string text = PeerText(kTexts[state.range(0)]);
    for (auto _ : state) {
        mu::Parser parser;
        scene.Define(parser);
        parser.SetExpr(text);
        benchmark::DoNotOptimize(parser.Eval());
    }
}
BENCHMARK(BM_PeerCompile)->DenseRange(0, 3)->Unit(benchmark::kNanosecond);
#endif

} // namespace

BENCHMARK_MAIN();
