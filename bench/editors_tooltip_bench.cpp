// The designer tooltip's render: one render of a 20-line, 60-column text in DejaVu Sans 14 (layout, both canvases,
// composition), and the text typed character by character with a render after each key, as the tooltip editor does.
// The typing case reports the cost of one keystroke and how often the texture was made anew over the whole text.
#include <benchmark/benchmark.h>

#include <string>

#include "designer/editors/designer_tooltip.h"
#include "engine/core/world.h"
#include "engine/resources/image32.h"

namespace {

std::string TwentyLines()
{
    std::string text;
    for (int line = 0; line < 20; ++line) {
        if (line > 0)
            text += "\n";
        for (int column = 0; column < 60; ++column)
            text += static_cast<char>('a' + (line * 7 + column) % 26);
    }
    return text;
}

VTND_ToolTip& MakeTooltip(SWworld& world)
{
    VTND_ToolTip* tip = CreateDesignerTooltip(world, "bench");
    tip->SetFaceName("DejaVu Sans");
    tip->charHeight = 14;
    tip->ApplyFont();
    return *tip;
}

void TooltipRender(benchmark::State& state)
{
    SWworld world;
    VTND_ToolTip& tip = MakeTooltip(world);
    tip.SetText(TwentyLines());
    for (auto _ : state) {
        tip.Render();
        benchmark::DoNotOptimize(tip.GetTexture()->GetPixels());
    }
    state.counters["width"] = tip.GetWidth();
    state.counters["height"] = tip.GetHeight();
}
BENCHMARK(TooltipRender)->Unit(benchmark::kMillisecond);

void TooltipTypedTextPerKey(benchmark::State& state)
{
    const std::string text = TwentyLines();
    double keys = 0;
    double reallocations = 0;
    for (auto _ : state) {
        state.PauseTiming();
        SWworld world;
        VTND_ToolTip& tip = MakeTooltip(world);
        const uint32_t before = tip.GetTextureAllocations();
        state.ResumeTiming();
        for (size_t typed = 1; typed <= text.size(); ++typed) {
            tip.SetText(text.substr(0, typed));
            tip.Render();
        }
        keys += static_cast<double>(text.size());
        reallocations += tip.GetTextureAllocations() - before;
        state.PauseTiming();
        world.GetRootNode(); // the world and its tooltip go outside the timing
        state.ResumeTiming();
    }
    state.counters["per_key"] = benchmark::Counter(keys, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["reallocations"] = reallocations / static_cast<double>(state.iterations());
}
BENCHMARK(TooltipTypedTextPerKey)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
