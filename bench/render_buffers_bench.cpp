// The software renderer's buffers and queue, as the baselines that the processor-specific variants are compared
// with: a full Refresh of a 1024 x 768 buffer (colour and image fills, row repeat 1 and 2), the three depth
// routines over 1024-pixel rows, and one frame of 100,000 queued triangles. The fills are registered once per
// processor variant (plain, mmx, sse, sse2, forced), each run labelled with the flags in force; the depth routines
// and the queue have one variant.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/resources/background.h"
#include "engine/resources/image32.h"
#include "render/format_record.h"
#include "render/render_queue.h"
#include "render/software/depth_buffer.h"
#include "render/software/pixel_buffer.h"
#include "testsupport/render/forced_variant.h"

namespace {

using testsupport::kRenderVariants;
using ForcedVariant = testsupport::ForcedRenderVariant;

constexpr int32_t kWidth = 1024;
constexpr int32_t kHeight = 768;
constexpr int32_t kRow = 1024;
constexpr uint32_t kPrimitives = 100000;
constexpr uint32_t kStride = 4;

// A 256 x 256 picture, tiled over the buffer.
std::unique_ptr<SWbackground> ImageBackground()
{
    std::vector<uint32_t> pixels(256 * 256);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<uint32_t>(i * 2654435761u);
    return SWbackground::SWbackgroundFromTexture(SWimage32::SWimage32FromPixels("bench", 256, 256, pixels.data()),
                                                 SWbackground::kModeTile);
}

void RefreshAllDirty(benchmark::State& state, SWpixelbuffer& buffer)
{
    for (auto _ : state) {
        buffer.Refresh(true);
        benchmark::DoNotOptimize(buffer.Row(kHeight - 1)[kWidth - 1]);
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void RefreshFill(benchmark::State& state, int variantIndex, bool image, uint32_t repeat)
{
    const ForcedVariant variant(variantIndex);
    state.SetLabel(variant.Label());
    const std::unique_ptr<SWbackground> background =
        image ? ImageBackground() : std::make_unique<SWbackground>(0x336699);
    SWpixelbuffer buffer;
    buffer.SetRowRepeat(repeat);
    if (!buffer.SetSize(kWidth, kHeight)) {
        state.SkipWithError("no memory");
        return;
    }
    buffer.SetBackground(background.get());
    buffer.Refresh(false);
    RefreshAllDirty(state, buffer);
}

const bool kRefreshRegistered = [] {
    for (int v = 0; v < 4; ++v) {
        const std::string suffix = std::string("/") + kRenderVariants[v];
        for (const bool image : {false, true}) {
            for (const uint32_t repeat : {1u, 2u}) {
                const std::string name = std::string(image ? "BM_RefreshImageRepeat" : "BM_RefreshColourRepeat") +
                                         std::to_string(repeat) + suffix;
                benchmark::RegisterBenchmark(name.c_str(), [v, image, repeat](benchmark::State& state) {
                    RefreshFill(state, v, image, repeat);
                });
            }
        }
    }
    return true;
}();

// Depth spans over one row; the stored values decide how many pixels pass.
enum class Visibility { kAll, kNone, kAlternate };

void DepthRoutine(benchmark::State& state, SWdepthbuffer::Routine routine, Visibility visibility)
{
    SWdepthbuffer depth;
    if (!depth.SetSize(kRow, 1, 5)) {
        state.SkipWithError("no memory");
        return;
    }
    depth.SetRoutine(routine);
    depth.SetColumnMask(0); // the row is set up below and must not be cleared lazily
    int32_t* row = depth.Row(0);
    for (int32_t x = 0; x < kRow; ++x)
        row[x] = visibility == Visibility::kAll ? 0 : visibility == Visibility::kNone ? 1 << 30 : (x % 2) << 30;
    // The start depth rises by one each run, so pixels written by one run are still visible to the next and
    // the row never needs restoring.
    int32_t run = 0;
    for (auto _ : state) {
        depth.Span() = {static_cast<float>((1 << 20) + (run++ & 0xFFFFF)), 0.0f, 0, kRow, 0};
        benchmark::DoNotOptimize(depth.Test());
    }
    state.SetItemsProcessed(state.iterations() * kRow);
    state.SetLabel("plain");
}

void BM_DepthTestAndWriteAll(benchmark::State& s)
{
    DepthRoutine(s, SWdepthbuffer::Routine::kTestAndWrite, Visibility::kAll);
}
void BM_DepthTestAndWriteNone(benchmark::State& s)
{
    DepthRoutine(s, SWdepthbuffer::Routine::kTestAndWrite, Visibility::kNone);
}
void BM_DepthTestAndWriteAlternate(benchmark::State& s)
{
    DepthRoutine(s, SWdepthbuffer::Routine::kTestAndWrite, Visibility::kAlternate);
}
void BM_DepthTestOnlyAll(benchmark::State& s)
{
    DepthRoutine(s, SWdepthbuffer::Routine::kTestOnly, Visibility::kAll);
}
void BM_DepthTestOnlyNone(benchmark::State& s)
{
    DepthRoutine(s, SWdepthbuffer::Routine::kTestOnly, Visibility::kNone);
}
void BM_DepthTestOnlyAlternate(benchmark::State& s)
{
    DepthRoutine(s, SWdepthbuffer::Routine::kTestOnly, Visibility::kAlternate);
}
void BM_DepthTestNone(benchmark::State& s)
{
    DepthRoutine(s, SWdepthbuffer::Routine::kTestNone, Visibility::kAll);
}
BENCHMARK(BM_DepthTestAndWriteAll);
BENCHMARK(BM_DepthTestAndWriteNone);
BENCHMARK(BM_DepthTestAndWriteAlternate);
BENCHMARK(BM_DepthTestOnlyAll);
BENCHMARK(BM_DepthTestOnlyNone);
BENCHMARK(BM_DepthTestOnlyAlternate);
BENCHMARK(BM_DepthTestNone);

// One frame: two batches (kind 1 and kind 2) of 50,000 triangles each, allocated in chains of 100 as a mesh's
// draw groups would, with their vertices and a format record per chain; sorted, joined and cleared.
void BM_QueueFrame(benchmark::State& state)
{
    SWrenderqueue queue;
    uint32_t seed = 1;
    for (auto _ : state) {
        for (const SWrenderbatch::Kind kind : {SWrenderbatch::Kind::kDepthSum, SWrenderbatch::Kind::kDepthKey}) {
            SWrenderbatch* batch = queue.NewBatch();
            if (batch == nullptr) {
                state.SkipWithError("no memory");
                return;
            }
            batch->SetKind(kind);
            for (uint32_t done = 0; done < kPrimitives / 2; done += 100) {
                SWtexturestages* format = batch->TakeFormatRecord();
                SWprimitivenode* chain = batch->AllocPrimitives(100);
                uint32_t* vertices = batch->TakeWords(100 * 3 * kStride);
                if (format == nullptr || chain == nullptr || vertices == nullptr) {
                    state.SkipWithError("no memory");
                    return;
                }
                format->vertexStride = kStride;
                SWprimitivenode* node = chain;
                for (int i = 0; i < 100; ++i, node = node->next, vertices += 3 * kStride) {
                    for (uint32_t v = 0; v < 3; ++v) {
                        seed = seed * 1664525u + 1013904223u;
                        vertices[v * kStride + 3] = FloatWord(1.0f + static_cast<float>(seed >> 8) * 1e-6f);
                    }
                    node->format = format;
                    node->vertices = vertices;
                }
                batch->AppendPrimitives(chain);
            }
        }
        queue.Sort();
        queue.JoinBatches();
        benchmark::DoNotOptimize(queue.FirstBatch()->NodeCount());
        queue.Clear();
    }
    state.SetItemsProcessed(state.iterations() * kPrimitives);
    state.SetLabel("plain");
}
BENCHMARK(BM_QueueFrame)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
