// Drawing in bands by several lanes against drawing in frame order on one: the same bytes and the same counts, for
// every processor variant, at 1, 2, 3 and 8 workers, with band heights and target sizes that do not divide each
// other. The raster scene holds every pipeline, filter, blend mode, depth routine and walk; the world scenes the
// meshes' indexed and queued groups, see-through and sky included; the fuzz seeds the damaged records. Then the
// worker pool itself and the variable that chooses the workers. Each draw is binned a chunk a lane, however small.
#include "render/software/rasteriser.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "render/render_camera.h"
#include "render/render_surface.h"
#include "render/software/raster_pool.h"
#include "testsupport/render/forced_variant.h"
#include "testsupport/render/raster_fuzz_input.h"
#include "testsupport/render/raster_host.h"
#include "testsupport/render/raster_scene.h"
#include "testsupport/render/reference_scene.h"

namespace {

constexpr int kWorkerCounts[] = {1, 2, 3, 8};
// As chosen for the height (8 rows at these sizes, short last bands at 102, 61 and 43 rows), and 7.
constexpr int32_t kChosenAndSeven[] = {0, 7};
constexpr int32_t kChosen[] = {0};

struct Picture {
    std::vector<uint32_t> pixels;
    SWrasterstats stats;
};

Picture PictureOf(const SWpixelbuffer& buffer, const SWrasterstats& stats)
{
    Picture picture{{}, stats};
    for (int32_t y = 0; y < buffer.Height(); ++y)
        picture.pixels.insert(picture.pixels.end(), buffer.Row(y), buffer.Row(y) + buffer.Width());
    return picture;
}

void ExpectSame(const Picture& banded, const Picture& inOrder)
{
    ASSERT_EQ(banded.pixels.size(), inOrder.pixels.size());
    size_t different = 0;
    for (size_t i = 0; i < banded.pixels.size(); ++i)
        different += banded.pixels[i] != inOrder.pixels[i] ? 1 : 0;
    EXPECT_EQ(different, 0u) << "pixels differ";
    EXPECT_EQ(banded.stats.affineTriangles, inOrder.stats.affineTriangles);
    EXPECT_EQ(banded.stats.perspectiveTriangles, inOrder.stats.perspectiveTriangles);
    EXPECT_EQ(banded.stats.skippedTriangles, inOrder.stats.skippedTriangles);
    EXPECT_EQ(banded.stats.pixelsDrawn, inOrder.stats.pixelsDrawn);
}

// Draws once in frame order, then in bands at every worker count and band height, and compares.
template <typename DrawAt> void ExpectBandsDrawAsFrameOrder(std::span<const int32_t> bandHeights, DrawAt&& drawAt)
{
    const Picture inOrder = drawAt(0, 0);
    ASSERT_GT(inOrder.stats.pixelsDrawn, 0u);
    for (const int workers : kWorkerCounts) {
        for (const int32_t rows : bandHeights) {
            SCOPED_TRACE("workers " + std::to_string(workers) + ", band rows " + std::to_string(rows));
            ExpectSame(drawAt(workers, rows), inOrder);
        }
    }
}

TEST(RasterBands, RasterSceneIsTheFrameOrderPictureForEveryVariant)
{
    for (int variant = 0; variant < 4; ++variant) {
        SCOPED_TRACE(testsupport::kRenderVariants[variant]);
        const testsupport::ForcedRenderVariant forced(variant);
        const int32_t side = 102; // cells of 25 and two spare columns and rows
        const testsupport::RasterScene scene(side);
        ExpectBandsDrawAsFrameOrder(kChosenAndSeven, [&](int workers, int32_t rows) {
            testsupport::RasterTestHost host(side, side);
            SWrasteriser rasteriser;
            rasteriser.Create(&host);
            rasteriser.SetWorkers(workers, rows, 1);
            scene.Draw(rasteriser, host);
            return PictureOf(host.Buffer(), rasteriser.Stats());
        });
    }
}

Picture DrawWorldFrame(SWworld& world, SWrendercamera& camera, uint32_t width, uint32_t height, int workers,
                       int32_t rows)
{
    SWrendersurface surface;
    EXPECT_TRUE(surface.Init());
    surface.GetRasteriser()->SetWorkers(workers, rows, 1);
    surface.SetCamera(&camera);
    surface.Resize(width, height);
    surface.BufferA().SetBackground(world.GetRootObject()->GetBackground());
    surface.BeginFrame();
    surface.RefreshBuffers();
    EXPECT_TRUE(world.GetRootObject()->Render(surface));
    EXPECT_TRUE(surface.EndFrame());
    return PictureOf(*surface.GetCurrentBuffer(), surface.GetRasteriser()->Stats());
}

TEST(RasterBands, ReferenceSceneIsTheFrameOrderPictureForEveryVariant)
{
    for (int variant = 0; variant < 4; ++variant) {
        SCOPED_TRACE(testsupport::kRenderVariants[variant]);
        const testsupport::ForcedRenderVariant forced(variant);
        rendertest::ReferenceScene scene = rendertest::MakeReferenceScene();
        SWrendercamera camera;
        rendertest::PlaceReferenceCamera(camera, 7);
        ExpectBandsDrawAsFrameOrder(kChosen, [&](int workers, int32_t rows) {
            return DrawWorldFrame(*scene.world, camera, 81, 61, workers, rows);
        });
    }
}

// The one kind of group the reference scene lacks: Dot3, whose groups always go through the queue.
TEST(RasterBands, Dot3SceneIsTheFrameOrderPictureForEveryVariant)
{
    const std::optional<rendertest::TexturedMesh> torus = rendertest::MakeNamedMesh("torus");
    ASSERT_TRUE(torus.has_value());
    for (int variant = 0; variant < 4; ++variant) {
        SCOPED_TRACE(testsupport::kRenderVariants[variant]);
        const testsupport::ForcedRenderVariant forced(variant);
        std::optional<rendertest::ReferenceScene> scene = rendertest::MakeMeshScene(*torus, "dot3");
        ASSERT_TRUE(scene.has_value());
        SWrendercamera camera;
        rendertest::PlaceMeshCamera(camera, true);
        ExpectBandsDrawAsFrameOrder(kChosen, [&](int workers, int32_t rows) {
            return DrawWorldFrame(*scene->world, camera, 61, 43, workers, rows);
        });
    }
}

// A crowd of spheres handed to the workers a pass every few spheres, while the walking thread hands passes over
// faster than the workers draw them: every pass after the first is binned while the ones before still draw, and a
// pass's records give their scratch buffers back once it is drawn, so that the scratch the surface keeps stays a
// few bounds of waiting records rather than the whole frame's, and the picture stays the frame-order one.
TEST(RasterBands, PassesHandedAheadDrawTheFrameOrderPictureWithinBoundedScratch)
{
    rendertest::ReferenceScene scene = rendertest::MakeSphereCrowd(8, 5, 32, 16);
    SWrendercamera camera;
    rendertest::PlaceCrowdCamera(camera, 8);
    constexpr size_t kBound = 32 << 10; // about a sphere and a half of records
    const auto draw = [&](int workers, uint64_t leastTriangles, size_t& scratch) {
        SWrendersurface surface;
        EXPECT_TRUE(surface.Init());
        surface.GetRasteriser()->SetWorkers(workers);
        surface.SetHandOver(leastTriangles, kBound);
        surface.SetCamera(&camera);
        surface.Resize(203, 121);
        surface.BufferA().SetBackground(scene.world->GetRootObject()->GetBackground());
        surface.BeginFrame();
        surface.RefreshBuffers();
        EXPECT_TRUE(scene.world->GetRootObject()->Render(surface));
        EXPECT_TRUE(surface.EndFrame());
        scratch = surface.ScratchBytes();
        return PictureOf(*surface.GetCurrentBuffer(), surface.GetRasteriser()->Stats());
    };
    size_t whole = 0;
    const Picture inOrder = draw(0, 0, whole);
    ASSERT_GT(inOrder.stats.pixelsDrawn, 0u);
    draw(3, UINT64_MAX, whole); // nothing handed over before the frame's end: every record's buffers at once
    for (const int workers : {2, 3, 8}) {
        SCOPED_TRACE("workers " + std::to_string(workers));
        size_t scratch = 0;
        ExpectSame(draw(workers, 512, scratch), inOrder);
        EXPECT_LT(scratch, 12 * kBound);
        EXPECT_GT(whole, 2 * scratch);
    }
}

// Lanes end as soon as a frame's last band is drawn, while the lane that drew it goes round for more: ended at that
// moment, many times over, every lane still sees the end and the surface goes. The moment is narrow: a lane that
// could sleep through the end hung about one run in four under the thread checker, rarely elsewhere.
TEST(RasterBands, LanesEndedAsTheLastBandIsDrawnAllStop)
{
    rendertest::ReferenceScene scene = rendertest::MakeSphereCrowd(2, 2, 8, 6);
    SWrendercamera camera;
    rendertest::PlaceCrowdCamera(camera, 2);
    for (int frame = 0; frame < 400; ++frame) {
        SWrendersurface surface;
        ASSERT_TRUE(surface.Init());
        surface.GetRasteriser()->SetWorkers(8);
        surface.SetHandOver(64, 32 << 10);
        surface.SetCamera(&camera);
        surface.Resize(64, 48);
        surface.BeginFrame();
        surface.RefreshBuffers();
        ASSERT_TRUE(scene.world->GetRootObject()->Render(surface));
        ASSERT_TRUE(surface.EndFrame());
    }
}

std::vector<std::vector<uint8_t>> Seeds(const std::string& corpus)
{
    const char* root = std::getenv("VORTAN_SOURCE_DIR");
    const std::filesystem::path folder =
        std::filesystem::path(root != nullptr ? root : ".") / "fuzz/render/corpus" / corpus;
    std::vector<std::vector<uint8_t>> seeds;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return seeds;
}

TEST(RasterBands, FuzzSeedsAreTheFrameOrderPictureAtTwoAndEightWorkers)
{
    const std::vector<std::vector<uint8_t>> queued = Seeds("raster");
    const std::vector<std::vector<uint8_t>> indexed = Seeds("raster_indexed");
    ASSERT_GT(queued.size(), 20u);
    ASSERT_GT(indexed.size(), 20u);
    // The targets' own drawing takes 3 workers over bands of 5 rows; here 2 and 8, over bands of 7 rows.
    for (const int workers : {2, 8}) {
        const rasterfuzz::Banding banding{workers, 7};
        for (size_t i = 0; i < queued.size(); ++i)
            EXPECT_TRUE(rasterfuzz::DrawQueueInput(queued[i], banding).pathsAgree) << "queue seed " << i;
        for (size_t i = 0; i < indexed.size(); ++i)
            EXPECT_TRUE(rasterfuzz::DrawIndexedInput(indexed[i], banding).pathsAgree) << "indexed seed " << i;
    }
}

// Two overlapping see-through triangles that cross every band edge: each pixel blends the second over the first,
// and a lane that took them out of order, or lost the second at a band edge, would leave another colour.
TEST(RasterBands, OverlapsBlendInFrameOrderAcrossBandEdges)
{
    SWtexturestages format;
    testsupport::SetVertexLayout(format, 2, 0);
    format.combineMode = 3;
    format.vertexAlpha = 1;
    const auto vertex = [](float x, float y, uint32_t colour) {
        testsupport::ScreenVertex v;
        v.x = x;
        v.y = y;
        v.colours[0] = colour;
        return v;
    };
    const std::vector<testsupport::ScreenVertex> vertices = {vertex(1, 1, 0x80FF0000u),  vertex(60, 2, 0x80FF0000u),
                                                             vertex(3, 58, 0x80FF0000u), vertex(2, 3, 0x8000FF00u),
                                                             vertex(59, 1, 0x8000FF00u), vertex(2, 57, 0x8000FF00u)};
    const std::vector<uint32_t> words = testsupport::PackVertices(format, vertices);
    testsupport::PrimitiveList list;
    list.Add(&format, words.data());
    list.Add(&format, words.data() + 3 * format.vertexStride);
    ExpectBandsDrawAsFrameOrder(kChosenAndSeven, [&](int workers, int32_t rows) {
        testsupport::RasterTestHost host(63, 61);
        SWrasteriser rasteriser;
        rasteriser.Create(&host);
        rasteriser.SetWorkers(workers, rows == 0 ? 3 : rows, 1);
        rasteriser.DrawPrimitives(list.First());
        return PictureOf(host.Buffer(), rasteriser.Stats());
    });
}

TEST(RasterPool, EveryLaneRunsEachJobOnceWithTheCallerAsLaneZero)
{
    SWrasterpool pool(5);
    ASSERT_EQ(pool.Lanes(), 5);
    std::atomic<int> runs[5] = {};
    std::atomic<bool> callerIsLaneZero{true};
    const std::thread::id caller = std::this_thread::get_id();
    for (int round = 0; round < 200; ++round) {
        pool.Run([&](int lane) {
            runs[lane]++;
            if ((lane == 0) != (std::this_thread::get_id() == caller))
                callerIsLaneZero = false;
        });
        for (int lane = 0; lane < 5; ++lane)
            ASSERT_EQ(runs[lane].load(), round + 1) << "lane " << lane;
    }
    EXPECT_TRUE(callerIsLaneZero);
}

// A render thread lowered after its pool was made: its workers draw at its new nice value, not above it.
TEST(RasterPool, WorkersTakeTheNiceValueOfTheCaller)
{
    std::vector<int> seen(3, -100);
    int lowered = 0;
    std::thread renderThread([&] {
        SWrasterpool pool(3);
        lowered = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())) + 3;
        ASSERT_EQ(setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), lowered), 0);
        lowered = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
        pool.Run([&](int lane) { seen[lane] = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())); });
    });
    renderThread.join();
    EXPECT_EQ(seen, std::vector<int>(3, lowered));
}

TEST(RasterWorkers, TheVariableAsksForFrameOrderOrACount)
{
    const char* saved = std::getenv("VORTAN_RENDER_THREADS");
    const std::string kept = saved != nullptr ? saved : "";
    const int cores = static_cast<int>(std::thread::hardware_concurrency());
    const int byCores = cores > 1 ? std::min(cores, SWrasteriser::kMostWorkers) : 0;
    const std::pair<const char*, int> cases[] = {{"1", 0},        {"3", 3},        {"64", 64},   {"0", byCores},
                                                 {"65", byCores}, {"2x", byCores}, {"", byCores}};
    for (const auto& [text, workers] : cases) {
        setenv("VORTAN_RENDER_THREADS", text, 1);
        EXPECT_EQ(SWrasteriser::WorkersFromEnvironment(), workers) << '"' << text << '"';
        EXPECT_EQ(SWrasteriser().Workers(), workers) << '"' << text << '"';
    }
    unsetenv("VORTAN_RENDER_THREADS");
    EXPECT_EQ(SWrasteriser::WorkersFromEnvironment(), byCores);
    if (saved != nullptr)
        setenv("VORTAN_RENDER_THREADS", kept.c_str(), 1);
}

} // namespace
