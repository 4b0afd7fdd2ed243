// The mesh renderers and the reference scene, every case once per processor variant (plain, mmx, sse, sse2), each
// forced through a scripted processor with every feature; the mesh renderer kind follows (sse: 1, sse2: 2, else 0).
//   B3 vertex stage: a sphere of about 10k and 100k vertices wholly inside the view (projected vertices) and
//      crossing it (clip-space vertices with outcodes); items are vertices shaded.
//   B3 culling and queueing: the same meshes through Render with a transparent material, so every visible
//      triangle is queued and none drawn; items are triangles looked at, and the culled count is reported.
//   Draw groups: the groups of the same meshes built afresh from the mesh's arrays, as a change of its geometry
//      asks; items are triangles grouped.
//   B4 reference scene: whole frames (refresh, SWrootobject::Render, EndFrame) at 640 x 480 and 1024 x 768, the
//      camera orbiting (a new view every frame) or still; items are frames, with the milliseconds per frame spent
//      building the queue (the meshes' Draw, clipping included) and in EndFrame (sort and rasterise).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "engine/resources/material.h"
#include "engine/resources/mesh.h"
#include "render/mesh/mesh_renderer.h"
#include "render/mesh/vector_mesh_renderer.h"
#include "render/mesh/vertex_shading.h"
#include "render/render_batch.h"
#include "render/render_camera.h"
#include "render/render_surface.h"
#include "testsupport/mesh/mesh_generators.h"
#include "testsupport/render/forced_variant.h"
#include "testsupport/render/mesh_loading.h"
#include "testsupport/render/reference_scene.h"

namespace {

bool FlatRamps(const SWmaterial&, SWshadedata& out)
{
    static const std::vector<uint32_t> ramp = [] {
        std::vector<uint32_t> made(256);
        for (uint32_t i = 0; i < 256; ++i)
            made[i] = 0xFF000000u | i * 0x010101u;
        return made;
    }();
    out.ramp1 = ramp.data();
    out.ramp2 = ramp.data();
    return true;
}

using testsupport::kRenderVariants;
using ForcedVariant = testsupport::ForcedRenderVariant;

std::unique_ptr<SWmeshrendererCommon> MakeRenderer(int kind)
{
    if (kind == 2)
        return std::make_unique<SWmeshrendererSSE2>();
    if (kind == 1)
        return std::make_unique<SWmeshrendererSSE>();
    return std::make_unique<SWmeshrendererScalar>();
}

struct MeshScene {
    ForcedVariant variant;
    SWrendercamera camera;
    SWrendersurface surface;
    SWmaterial material{"bench"};
    SWmesh mesh;
    std::unique_ptr<SWmeshrendererCommon> owned;
    SWmeshrendererCommon& renderer;
    SWmatrix view;

    // rings x segments sphere of radius 1; inside: the camera far enough to see all of it; else close enough
    // that the view's sides and the near plane cut it.
    MeshScene(int variantIndex, uint32_t rings, uint32_t segments, bool inside)
        : variant(variantIndex), owned(MakeRenderer(variant.MeshKind())), renderer(*owned)
    {
        SetShadeDataSource(FlatRamps);
        surface.Init();
        surface.SetCamera(&camera);
        surface.Resize(640, 480);
        camera.SetPosition(0.0f, 0.0f, inside ? 4.0f : 0.2f);
        rendertest::LoadMesh(mesh, rendertest::FromOff(meshtest::MakeSphere(rings, segments)), &material);
        renderer.SetMesh(&mesh);
        renderer.SetTarget(&surface);
        surface.BeginFrame();
        float matrix[16];
        surface.GetViewMatrix(matrix);
        view = SWmatrix(std::span<const float, 16>(matrix, 16));
    }
    ~MeshScene() { SetShadeDataSource(nullptr); }
};

// 10k: 100 x 100; 100k: 316 x 316.
uint32_t SideOf(int64_t vertices)
{
    return vertices >= 100000 ? 316u : 100u;
}

void BM_VertexStage(benchmark::State& state, int variantIndex)
{
    const uint32_t side = SideOf(state.range(0));
    const bool inside = state.range(1) != 0;
    MeshScene scene(variantIndex, side, side, inside);
    const int kind = scene.variant.MeshKind();
    state.SetLabel(scene.variant.Label());
    scene.renderer.BuildDrawGroups();
    std::vector<std::unique_ptr<SWpackeddrawgroup>> packs;
    for (SWdrawgroup* group = scene.renderer.FirstGroup(); group != nullptr; group = group->next.get()) {
        packs.push_back(std::make_unique<SWpackeddrawgroup>());
        PackDrawGroup(*packs.back(), *group);
    }
    SWframelighting lighting;
    SetUpFrameLighting(scene.view, SWmatrix(), scene.camera, lighting);
    SWshadedata shade;
    FlatRamps(scene.material, shade);
    int64_t vertices = 0;
    std::vector<uint32_t> out;
    std::vector<uint8_t> outcodes;
    for (const SWdrawgroup* group = scene.renderer.FirstGroup(); group != nullptr; group = group->next.get())
        vertices += group->VertexCount();
    for (auto _ : state) {
        size_t packIndex = 0;
        for (const SWdrawgroup* group = scene.renderer.FirstGroup(); group != nullptr; group = group->next.get()) {
            const SWpackeddrawgroup& packed = *packs[packIndex++];
            const uint32_t room = static_cast<uint32_t>(packed.vertices.size() * 4);
            const std::vector<uint32_t> visible(room / 32 + 1, 0xFFFFFFFFu);
            out.resize(size_t{room} * group->stages.vertexStride);
            outcodes.resize(room);
            SWvertexstage stage;
            stage.group = group;
            stage.lighting = &lighting;
            stage.shade = &shade;
            stage.visible = visible;
            stage.stride = group->stages.vertexStride;
            stage.nearValue = scene.surface.NearValue();
            stage.viewport = inside ? &scene.surface.Viewport() : nullptr;
            if (kind == 0)
                ShadeVertices(stage, out.data(), outcodes.data());
            else
                ShadeVertexPacks(packed, stage, false, out.data(), outcodes.data());
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * vertices);
}

void BM_CullAndQueue(benchmark::State& state, int variantIndex)
{
    const uint32_t side = SideOf(state.range(0));
    const bool inside = state.range(1) != 0;
    MeshScene scene(variantIndex, side, side, inside);
    state.SetLabel(scene.variant.Label());
    scene.material.SetTransparency(0.5f);
    uint64_t triangles = 0;
    uint64_t visible = 0;
    for (auto _ : state) {
        scene.surface.Queue().Clear();
        SWrenderbatch* batch = scene.surface.Queue().NewBatch();
        scene.renderer.ResetStats();
        scene.renderer.Render(scene.surface, batch, batch, scene.view);
        triangles += scene.renderer.Stats().triangles;
        visible += scene.renderer.Stats().visible;
    }
    state.SetItemsProcessed(static_cast<int64_t>(triangles));
    state.counters["culled/s"] =
        benchmark::Counter(static_cast<double>(triangles - visible), benchmark::Counter::kIsRate);
}

void BM_BuildDrawGroups(benchmark::State& state)
{
    const uint32_t side = SideOf(state.range(0));
    MeshScene scene(0, side, side, true);
    for (auto _ : state)
        benchmark::DoNotOptimize(scene.renderer.BuildDrawGroups());
    state.SetItemsProcessed(state.iterations() * scene.mesh.GetPolygonCount());
}

void BM_ReferenceScene(benchmark::State& state, int variantIndex)
{
    using Clock = std::chrono::steady_clock;
    const auto width = static_cast<uint32_t>(state.range(0));
    const bool orbiting = state.range(1) != 0;
    // The surface is made afresh under the forced variant: its rasteriser chooses the stages once.
    ForcedVariant variant(variantIndex);
    state.SetLabel(variant.Label());
    rendertest::ReferenceScene scene = rendertest::MakeReferenceScene();
    SWrendercamera camera;
    SWrendersurface surface;
    surface.Init();
    surface.SetCamera(&camera);
    surface.Resize(width, width * 3 / 4);
    rendertest::ShowReferenceBackground(scene, surface);
    SWrootobject& root = *scene.world->GetRootObject();
    uint32_t frame = 0;
    double queueSeconds = 0.0;
    double endSeconds = 0.0;
    for (auto _ : state) {
        rendertest::PlaceReferenceCamera(camera, orbiting ? frame++ : 0);
        surface.BeginFrame();
        surface.RefreshBuffers();
        const Clock::time_point start = Clock::now();
        root.Render(surface);
        const Clock::time_point queued = Clock::now();
        surface.EndFrame();
        queueSeconds += std::chrono::duration<double>(queued - start).count();
        endSeconds += std::chrono::duration<double>(Clock::now() - queued).count();
    }
    state.SetItemsProcessed(state.iterations());
    const double frames = static_cast<double>(std::max<int64_t>(state.iterations(), 1));
    state.counters["queue-ms"] = 1000.0 * queueSeconds / frames;
    state.counters["end-frame-ms"] = 1000.0 * endSeconds / frames;
}

const bool kRegistered = [] {
    benchmark::RegisterBenchmark("BM_BuildDrawGroups", BM_BuildDrawGroups)
        ->Arg(10000)
        ->Arg(100000)
        ->ArgName("vertices")
        ->Unit(benchmark::kMillisecond);
    for (int v = 0; v < 4; ++v) {
        const std::string suffix = std::string("/") + kRenderVariants[v];
        benchmark::RegisterBenchmark(("BM_VertexStage" + suffix).c_str(), BM_VertexStage, v)
            ->ArgsProduct({{10000, 100000}, {1, 0}})
            ->ArgNames({"vertices", "inside"})
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("BM_CullAndQueue" + suffix).c_str(), BM_CullAndQueue, v)
            ->ArgsProduct({{10000, 100000}, {1, 0}})
            ->ArgNames({"vertices", "inside"})
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("BM_ReferenceScene" + suffix).c_str(), BM_ReferenceScene, v)
            ->ArgsProduct({{640, 1024}, {1, 0}})
            ->ArgNames({"width", "orbiting"})
            ->Unit(benchmark::kMillisecond);
    }
    return true;
}();

} // namespace

BENCHMARK_MAIN();
