// The material editor's preview: building the level-5 sphere (6,146 vertices, 12,288 triangles with texture
// coordinates, prepared) and one preview refresh (the material put on the sphere, which moves its geometry stamp
// so the draw groups are built again, the render of the sphere into 128 x 128 and the material let go). A refresh
// follows every slider release in the editor, so it should stay well under 50 ms.
#include <benchmark/benchmark.h>

#include <memory>

#include "designer/editors/material_preview.h"
#include "designer/editors/preview_sphere.h"
#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "engine/resources/material.h"
#include "engine/resources/mesh_object.h"
#include "render/render_drivers.h"
#include "testsupport/world/sample_world.h"

namespace {

void BuildLevelFiveSphere(benchmark::State& state)
{
    SWmaterial material("sphere");
    for (auto _ : state) {
        SWmeshobject mesh;
        const bool built = BuildPreviewSphereMesh(
            mesh, {kPreviewSphereRadius, true, kPreviewSphereLevel, &material, "MaterialSphereMesh", kPreviewSphereId});
        if (!built || mesh.GetPolygonCount() != 12288) {
            state.SkipWithError("the sphere was not built");
            break;
        }
        benchmark::DoNotOptimize(mesh.GetVertices());
    }
}
BENCHMARK(BuildLevelFiveSphere)->Unit(benchmark::kMillisecond);

void PreviewRefresh(benchmark::State& state)
{
    SWrenderdrivers::Get().Init();
    const std::unique_ptr<SWworld> world = worldtest::MakeSampleWorld();
    world->UpdateNodeTransforms(world->GetRootNode(), 0);
    auto owned = std::make_unique<SWmaterial>("preview");
    owned->SetDiffuseColour(1.0f, 0.8f, 0.4f, 0.2f);
    SWmaterial* const material = owned.get();
    world->GetRootObject()->AddMaterial(std::move(owned));
    CVTND_MaterialPreview& preview = CVTND_MaterialPreview::Get();
    if (!preview.Refresh(*world, material)) { // builds the sphere
        state.SkipWithError("the preview did not draw");
        return;
    }
    for (auto _ : state) {
        if (!preview.Refresh(*world, material)) {
            state.SkipWithError("the preview did not draw");
            break;
        }
    }
    state.counters["triangles"] = 12288;
}
BENCHMARK(PreviewRefresh)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
