// The software rasteriser, every case once per processor variant (plain, mmx, sse, sse2, forced).
//   B1 fill rate: two triangles covering 640 x 480, per configured pipeline, filter and blend mode, depth
//      TestAndWrite; items are pixels.
//   B2 triangle rate: meshes of screen triangles of about 8, 32, 128 and 512 pixels, with equal depth terms
//      (affine) and with depth falling across the screen (perspective where the walk takes it), Gouraud with one
//      bilinear texture; items are triangles.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "render/software/rasteriser.h"
#include "testsupport/render/fill_scene.h"
#include "testsupport/render/forced_variant.h"
#include "testsupport/render/raster_host.h"

namespace {

using testsupport::PackVertices;
using testsupport::PrimitiveList;
using testsupport::RasterTestHost;
using testsupport::ScreenVertex;

using testsupport::kRenderVariants;
using ForcedVariant = testsupport::ForcedRenderVariant;

constexpr int32_t kWidth = 640;
constexpr int32_t kHeight = 480;

using testsupport::FillFormat;

ScreenVertex Vertex(float x, float y, float w)
{
    return testsupport::FillVertex(x, y, w);
}

void FillRate(benchmark::State& state, int variantIndex)
{
    const ForcedVariant variant(variantIndex);
    state.SetLabel(variant.Label());
    const int index = static_cast<int>(state.range(0));
    const auto filter = static_cast<uint8_t>(state.range(1));
    const int blendMode = static_cast<int>(state.range(2));
    RasterTestHost host(kWidth, kHeight);
    SWrasteriser rasteriser;
    rasteriser.Create(&host);
    const SWtexturestages format = FillFormat(index, filter, blendMode);
    const std::vector<ScreenVertex> vertices = testsupport::FillTriangles(kWidth, kHeight);
    const std::vector<uint32_t> words = PackVertices(format, vertices);
    PrimitiveList list;
    list.Add(&format, words.data());
    list.Add(&format, words.data() + 3 * format.vertexStride);
    const SWprimitivenode* first = list.First();
    for (auto _ : state) {
        host.Buffer().Depth().MarkAllRows(); // every pixel passes the depth test again
        rasteriser.DrawPrimitives(first);
        benchmark::ClobberMemory();
    }
    if (rasteriser.Stats().pixelsDrawn != static_cast<uint64_t>(state.iterations()) * kWidth * kHeight)
        state.SkipWithError("the triangles did not cover the screen");
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
    state.counters["Mpixels/s"] =
        benchmark::Counter(static_cast<double>(kWidth) * kHeight / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void FillRateCases(benchmark::internal::Benchmark* bench)
{
    for (const int base : {24, 32, 40})
        for (int code = 0; code < 4; ++code)
            for (int filter = 0; filter < 3; ++filter)
                for (int blend = 0; blend < 4; ++blend)
                    bench->Args({base + code, filter, blend});
    bench->ArgNames({"pipeline", "filter", "blend"});
}

// Right triangles of legs `leg` tiling the screen, two per square.
void TriangleRate(benchmark::State& state, int variantIndex)
{
    const ForcedVariant variant(variantIndex);
    state.SetLabel(variant.Label());
    const int pixels = static_cast<int>(state.range(0));
    const bool isPerspective = state.range(1) != 0;
    const float leg = std::sqrt(2.0f * static_cast<float>(pixels));
    RasterTestHost host(kWidth, kHeight);
    SWrasteriser rasteriser;
    rasteriser.Create(&host);
    SWtexturestages format = FillFormat(25, 1, 0);
    format.flags = 3;
    std::vector<ScreenVertex> vertices;
    auto depth = [&](float y) { return isPerspective ? 1.0f + 7.0f * y / kHeight : 1.0f; };
    for (float y = 0; y + leg <= kHeight; y += leg) {
        for (float x = 0; x + leg <= kWidth; x += leg) {
            const ScreenVertex a = Vertex(x, y, depth(y)), b = Vertex(x + leg, y, depth(y)),
                               c = Vertex(x + leg, y + leg, depth(y + leg)), d = Vertex(x, y + leg, depth(y + leg));
            vertices.insert(vertices.end(), {a, b, c, a, c, d});
        }
    }
    const std::vector<uint32_t> words = PackVertices(format, vertices);
    PrimitiveList list;
    for (size_t i = 0; i < vertices.size(); i += 3)
        list.Add(&format, words.data() + i * format.vertexStride);
    const SWprimitivenode* first = list.First();
    const auto triangles = static_cast<int64_t>(vertices.size() / 3);
    for (auto _ : state) {
        host.Buffer().Depth().MarkAllRows();
        rasteriser.DrawPrimitives(first);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * triangles);
    const SWrasterstats& stats = rasteriser.Stats();
    state.counters["perspective%"] =
        100.0 * static_cast<double>(stats.perspectiveTriangles) /
        static_cast<double>(std::max<uint64_t>(1, stats.perspectiveTriangles + stats.affineTriangles));
    state.counters["triangles/s"] =
        benchmark::Counter(static_cast<double>(triangles), benchmark::Counter::kIsIterationInvariantRate);
}

// The walk stays affine while a triangle's bounding box is at most 256 pixels, so right triangles of 128 pixels and
// less never take the perspective walk whatever their depth terms; 512 is the smallest size here that shows it.
const bool kRegistered = [] {
    for (int v = 0; v < 4; ++v) {
        const std::string suffix = std::string("/") + kRenderVariants[v];
        benchmark::RegisterBenchmark(("FillRate" + suffix).c_str(), FillRate, v)
            ->Apply(FillRateCases)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("TriangleRate" + suffix).c_str(), TriangleRate, v)
            ->ArgsProduct({{8, 32, 128, 512}, {0, 1}})
            ->ArgNames({"pixels", "perspective"})
            ->Unit(benchmark::kMillisecond);
    }
    return true;
}();

} // namespace

BENCHMARK_MAIN();
