// Presentation's conversions: Mpixels/s per display depth (8 dithered into the colour cube, 16 dithered 5-6-5,
// 24 packed, 32 copied) for a 1024 x 768 frame whose every block is dirty, converted into memory and presented
// through a window of the headless screen at that depth (bitmap bands, the platform's own conversion included); and the
// anti-aliasing accumulator's Mpixels/s on 32-bit and 5-6-5 frames, cycling through its adding steps. The conversions
// are registered once per processor variant (plain, mmx, sse, sse2, forced; the 32-bit copy is the one that has a
// wide form), each run labelled with the flags in force.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/base/user_constants.h"
#include "platform/display/screen.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/core/window.h"
#include "render/present/accumulator.h"
#include "render/present/pixel_converter.h"
#include "render/present/window_device.h"
#include "render/render_surface.h"
#include "render/software/pixel_buffer.h"
#include "testsupport/render/forced_variant.h"

namespace {

using testsupport::kRenderVariants;
using ForcedVariant = testsupport::ForcedRenderVariant;

constexpr int32_t kWidth = 1024;
constexpr int32_t kHeight = 768;

void ConvertFullFrame(benchmark::State& state, int variantIndex, uint32_t depth)
{
    const ForcedVariant variant(variantIndex);
    SWpixelbuffer frame;
    if (!frame.SetSize(kWidth, kHeight)) {
        state.SkipWithError("no frame");
        return;
    }
    std::mt19937 random(5);
    for (int32_t y = 0; y < kHeight; ++y) {
        for (int32_t x = 0; x < kWidth; ++x)
            frame.Row(y)[x] = random() & 0xFFFFFF;
        frame.CurrentMask(y) = ~0u;
    }
    SWpixelconverter converter;
    converter.Init(2, 1);
    converter.SetSource(&frame);
    const int32_t pitch = static_cast<int32_t>((kWidth * depth / 8 + 3) & ~3u);
    std::vector<uint8_t> dest(static_cast<size_t>(pitch) * kHeight);
    const bool sixteen = depth == 16;
    converter.Configure(depth, sixteen ? 0xF800 : 0xFF0000, sixteen ? 0x07E0 : 0xFF00, sixteen ? 0x1F : 0xFF,
                        dest.data(), pitch, 0, 0, kWidth, kHeight);
    state.SetLabel(variant.Label() + (converter.IsWideCopy() ? " copy=wide" : ""));
    for (auto _ : state) {
        converter.Convert(0, 0, kWidth, kHeight);
        benchmark::DoNotOptimize(dest.data());
        benchmark::ClobberMemory();
    }
    state.counters["Mpixels/s"] = benchmark::Counter(static_cast<double>(kWidth) * kHeight * state.iterations() / 1e6,
                                                     benchmark::Counter::kIsRate);
}

void AccumulateFrame(benchmark::State& state)
{
    const uint32_t format = static_cast<uint32_t>(state.range(0));
    const uint32_t bytes = format == SWaccumulator::kFormat565 ? 2 : 4;
    std::vector<uint8_t> frame(static_cast<size_t>(kWidth) * kHeight * bytes);
    std::mt19937 random(3);
    for (uint8_t& b : frame)
        b = static_cast<uint8_t>(random());
    SWaccumulator accumulator;
    accumulator.SetSize(kWidth, kHeight);
    accumulator.SetFrame(frame.data(), kWidth * bytes, format);
    for (auto _ : state) {
        if (accumulator.GetStep() >= SWaccumulator::kLastStep)
            accumulator.Reset();
        accumulator.Accumulate();
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
    state.counters["Mpixels/s"] = benchmark::Counter(static_cast<double>(kWidth) * kHeight * state.iterations() / 1e6,
                                                     benchmark::Counter::kIsRate);
}

void PresentToWindow(benchmark::State& state, int variantIndex, int depth)
{
    const ForcedVariant variant(variantIndex);
    state.SetLabel(variant.Label());
    pf::screen().reset();
    pf::screen().setDepth(depth);
    {
        pf::Ui ui;
        pf::Window* window = ui.createWindow(
            {"window", "", pf::WS_POPUP | pf::WS_VISIBLE, 0, pf::Rect::fromXywh(0, 0, kWidth, kHeight)});
        ui.pump();
        SWwindowdevice device;
        auto surface = std::make_unique<SWrendersurface>();
        surface->Init();
        device.AttachSurface(std::move(surface));
        device.SetWindow(window->hwnd());
        if (!device.SetSize(kWidth, kHeight)) {
            state.SkipWithError("no frame");
            return;
        }
        SWpixelbuffer& frame = *static_cast<SWrendersurface*>(device.GetSurface())->GetCurrentBuffer();
        std::mt19937 random(5);
        for (int32_t y = 0; y < kHeight; ++y)
            for (int32_t x = 0; x < kWidth; ++x)
                frame.Row(y)[x] = random() & 0xFFFFFF;
        for (auto _ : state) {
            for (int32_t y = 0; y < kHeight; ++y)
                frame.CurrentMask(y) = ~0u;
            device.Present();
        }
    }
    pf::screen().reset();
    state.counters["Mpixels/s"] = benchmark::Counter(static_cast<double>(kWidth) * kHeight * state.iterations() / 1e6,
                                                     benchmark::Counter::kIsRate);
}

const bool kConversionsRegistered = [] {
    for (const int depth : {8, 16, 24, 32}) {
        for (int v = 0; v < 4; ++v) {
            const std::string suffix = "/depth:" + std::to_string(depth) + "/" + kRenderVariants[v];
            benchmark::RegisterBenchmark(("PresentToWindow" + suffix).c_str(), [v, depth](benchmark::State& state) {
                PresentToWindow(state, v, depth);
            })->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark(("ConvertFullFrame" + suffix).c_str(), [v, depth](benchmark::State& state) {
                ConvertFullFrame(state, v, static_cast<uint32_t>(depth));
            })->Unit(benchmark::kMillisecond);
        }
    }
    return true;
}();

} // namespace

BENCHMARK(AccumulateFrame)->ArgName("565")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
