// The world's lookups and its matrix update in a world of 10,000 nodes with 5 user variables each (besides each
// object node's three built-in ones).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/behaviour/property.h"
#include "engine/core/matrix.h"
#include "engine/core/object_node.h"
#include "engine/core/world.h"

namespace {

constexpr int kNodes = 10000;
constexpr int kVariablesPerNode = 5;

struct BigWorld {
    SWworld world;
    std::vector<uint32_t> ids;
    std::vector<std::string> names;

    BigWorld()
    {
        // Ten chains of a thousand under a few groups of ten: deep and wide at once.
        std::vector<SWnode*> parents(10, nullptr);
        for (int i = 0; i < kNodes; ++i) {
            auto* node = new SWobjectnode();
            node->SetName("node" + std::to_string(i));
            node->SetLocalMatrix(SWmatrix::Translation(0.01f * static_cast<float>(i), 0.0f, 0.0f));
            world.AddNode(node, parents[static_cast<size_t>(i % 10)]);
            if (i % 100 != 99)
                parents[static_cast<size_t>(i % 10)] = node;
            else
                parents[static_cast<size_t>(i % 10)] = nullptr;
            for (int v = 0; v < kVariablesPerNode; ++v) {
                auto variable = std::make_unique<SWproperty>(kTypeFloat);
                variable->SetName(std::string("v").append(std::to_string(v)));
                ids.push_back(node->AddVariable(std::move(variable))->GetId());
            }
            names.push_back(*node->GetName());
        }
    }
};

BigWorld& World()
{
    static BigWorld big;
    return big;
}

void BM_FindVariableById(benchmark::State& state)
{
    BigWorld& big = World();
    size_t at = 0;
    for (auto _ : state) {
        // Spread over the whole world, so the average walks half of it.
        benchmark::DoNotOptimize(big.world.FindVariableById(big.ids[at]));
        at = (at + 7919) % big.ids.size();
    }
    state.SetLabel("10,000 nodes x 5 variables");
}
BENCHMARK(BM_FindVariableById)->Unit(benchmark::kMicrosecond);

void BM_FindByName(benchmark::State& state)
{
    BigWorld& big = World();
    size_t at = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(big.world.GetRootNode()->FindByName(big.names[at]));
        at = (at + 7919) % big.names.size();
    }
}
BENCHMARK(BM_FindByName)->Unit(benchmark::kMicrosecond);

void BM_UpdateNodeTransforms(benchmark::State& state)
{
    BigWorld& big = World();
    for (auto _ : state)
        big.world.UpdateNodeTransforms(big.world.GetRootNode(), 1);
    state.SetLabel("whole tree, per frame");
}
BENCHMARK(BM_UpdateNodeTransforms)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
