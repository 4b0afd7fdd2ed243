// The rasteriser's lanes on a large world: 13 x 5 Gouraud spheres of 128 x 64 segments (about 16k triangles each,
// a million in all, half of them facing the eye), filling an 800 x 600 view, drawn as whole frames (refresh,
// SWrootobject::Render, EndFrame) with 1 worker (the frame-order path, as VORTAN_RENDER_THREADS=1 asks), 2, 4 and 8,
// the sse2 variant forced. Items are frames, timed in wall time. Counters: raster-ms, the frame's time in the
// rasteriser; cpu-ms, the processor time of every thread of the process per frame, which a busy machine disturbs
// less than the wall time; walk-ms and walk-cpu-ms, the wall and processor time of the render thread's walk over
// the world (SWrootobject::Render: culling, set-up and hand-over, and with one worker the drawing too), the part of
// the frame that the workers cannot share; scratch-MB, the bytes of scratch the surface and its rasteriser keep
// after the frames (the records' shaded vertices and indices, the bins), which is their most at any moment.
// BM_CrowdScratch draws the same world and one of four times as many spheres (26 x 10) at 8 workers, to show that
// the scratch does not grow with the world; held:1 keeps every record to the frame's end instead, as the surface
// did before it gave drawn passes' buffers back, for the scratch that costs.
#include <benchmark/benchmark.h>

#include <time.h>

#include <chrono>
#include <cstddef>
#include <cstdint>

#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "render/render_camera.h"
#include "render/render_surface.h"
#include "render/software/rasteriser.h"
#include "testsupport/render/forced_variant.h"
#include "testsupport/render/reference_scene.h"

namespace {

constexpr uint32_t kColumns = 13;
constexpr uint32_t kRows = 5;

double ClockSeconds(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

double ProcessSeconds()
{
    return ClockSeconds(CLOCK_PROCESS_CPUTIME_ID);
}

double ThreadSeconds()
{
    return ClockSeconds(CLOCK_THREAD_CPUTIME_ID);
}

void DrawCrowd(benchmark::State& state, int workers, uint32_t scale, bool isHeld)
{
    const testsupport::ForcedRenderVariant variant(3);
    const uint32_t columns = kColumns * (scale == 4 ? 2 : 1);
    rendertest::ReferenceScene scene = rendertest::MakeSphereCrowd(columns, kRows * (scale == 4 ? 2 : 1), 128, 64);
    SWrendercamera camera;
    rendertest::PlaceCrowdCamera(camera, columns);
    SWrendersurface surface;
    surface.Init();
    surface.GetRasteriser()->SetWorkers(workers == 1 ? 0 : workers);
    surface.SetCamera(&camera);
    surface.Resize(800, 600);
    if (isHeld)
        surface.SetHandOver(UINT64_MAX, SIZE_MAX);
    rendertest::ShowReferenceBackground(scene, surface);
    SWrootobject& root = *scene.world->GetRootObject();
    double walkSeconds = 0.0;
    double walkCpuSeconds = 0.0;
    const auto drawFrame = [&] {
        surface.BeginFrame();
        surface.RefreshBuffers();
        const auto walkStart = std::chrono::steady_clock::now();
        const double walkCpuStart = ThreadSeconds();
        root.Render(surface);
        walkCpuSeconds += ThreadSeconds() - walkCpuStart;
        walkSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - walkStart).count();
        surface.EndFrame();
    };
    drawFrame(); // the lanes and scratch buffers are made by the first frame
    walkSeconds = 0.0;
    walkCpuSeconds = 0.0;
    const SWrasterstats before = surface.GetRasteriser()->Stats();
    const double cpuBefore = ProcessSeconds();
    for (auto _ : state)
        drawFrame();
    const SWrasterstats& after = surface.GetRasteriser()->Stats();
    const double frames = static_cast<double>(state.iterations());
    state.SetItemsProcessed(state.iterations());
    state.counters["raster-ms"] = 1e-6 * static_cast<double>(after.drawNanoseconds - before.drawNanoseconds) / frames;
    state.counters["cpu-ms"] = 1000.0 * (ProcessSeconds() - cpuBefore) / frames;
    state.counters["walk-ms"] = 1000.0 * walkSeconds / frames;
    state.counters["walk-cpu-ms"] = 1000.0 * walkCpuSeconds / frames;
    state.counters["triangles"] = static_cast<double>(after.affineTriangles + after.perspectiveTriangles -
                                                      before.affineTriangles - before.perspectiveTriangles) /
                                  frames;
    state.counters["pixels"] = static_cast<double>(after.pixelsDrawn - before.pixelsDrawn) / frames;
    state.counters["scratch-MB"] = static_cast<double>(surface.ScratchBytes()) / (1 << 20);
}

void BM_SphereCrowd(benchmark::State& state)
{
    DrawCrowd(state, static_cast<int>(state.range(0)), 1, false);
}

void BM_CrowdScratch(benchmark::State& state)
{
    DrawCrowd(state, 8, static_cast<uint32_t>(state.range(0)), state.range(1) != 0);
}

BENCHMARK(BM_SphereCrowd)
    ->Arg(1)
    ->Arg(2)
    ->Arg(4)
    ->Arg(8)
    ->ArgName("workers")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CrowdScratch)
    ->ArgsProduct({{1, 4}, {0, 1}})
    ->ArgNames({"world", "held"})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
