// Presentation's conversions: Mpixels/s per display depth (8 dithered into the colour cube, 16 dithered 5-6-5,
// 24 packed, 32 copied) for a 1024 x 768 frame whose every block is dirty, converted into memory and presented
// through a window of the headless screen at that depth (bitmap bands, the platform's own conversion included); and the
// anti-aliasing accumulator's Mpixels/s on 32-bit and 5-6-5 frames, cycling through its adding steps.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <random>
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

namespace {

constexpr int32_t kWidth = 1024;
constexpr int32_t kHeight = 768;

void ConvertFullFrame(benchmark::State& state)
{
    const uint32_t depth = static_cast<uint32_t>(state.range(0));
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

void PresentToWindow(benchmark::State& state)
{
    const int depth = static_cast<int>(state.range(0));
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

} // namespace

BENCHMARK(PresentToWindow)->ArgName("depth")->Arg(8)->Arg(16)->Arg(24)->Arg(32)->Unit(benchmark::kMillisecond);
BENCHMARK(AccumulateFrame)->ArgName("565")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(ConvertFullFrame)->ArgName("depth")->Arg(8)->Arg(16)->Arg(24)->Arg(32)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
