#include "render/mesh/mesh_draw.h"

#include <gtest/gtest.h>

#include <memory>

#include "engine/core/bbox.h"
#include "engine/resources/array_block.h"
#include "engine/resources/material.h"
#include "engine/resources/mesh.h"
#include "engine/resources/mesh_object.h"
#include "render/mesh/mesh_renderer.h"
#include "render/render_batch.h"
#include "render/render_camera.h"
#include "render/render_drivers.h"
#include "render/render_surface.h"

namespace {

struct Target {
    SWhostdrivers drivers;
    SWrendercamera camera;
    SWrendersurface surface;
    SWmatrix view;
    SWrenderbatch* batch = nullptr;

    Target()
    {
        drivers.Init();
        EXPECT_TRUE(surface.Init());
        surface.SetCamera(&camera);
        surface.Resize(32, 24);
        camera.SetPosition(0.0f, 0.0f, 3.0f);
        surface.BeginFrame();
        float matrix[16];
        EXPECT_TRUE(surface.GetViewMatrix(matrix));
        view = SWmatrix(std::span<const float, 16>(matrix, 16));
        batch = surface.Queue().NewBatch();
    }
    ~Target() { drivers.Shutdown(); }
};

// One triangle facing the camera (its normal along +z, towards the eye).
void LoadTriangle(SWmesh& mesh, SWmaterial* material)
{
    mesh.SetVertices({-0.5f, -0.5f, 0.0f, 0.5f, -0.5f, 0.0f, 0.0f, 0.5f, 0.0f});
    auto block =
        std::make_unique<SWarrayblock>(std::vector<uint32_t>{0, 1, 2}, false, std::vector<uint32_t>{}, 0, material);
    mesh.BuildPolygonIndices(block.get());
    mesh.Prepare();
}

TEST(MeshDraw, EmptyMeshDrawsNothingAndTakesNoRenderer)
{
    Target target;
    SWmesh mesh;
    SWheldmeshrenderer held;
    EXPECT_TRUE(DrawMesh(mesh, held, target.surface, target.batch, target.batch, target.view));
    EXPECT_EQ(held, nullptr);
}

TEST(MeshDraw, KeepsItsRendererAndRebuildsWhenTheMaterialTurnsFlat)
{
    Target target;
    SWmaterial material("m");
    material.SetTransparency(0.5f); // queued, so the batch shows what was drawn
    SWmesh mesh;
    LoadTriangle(mesh, &material);
    SWheldmeshrenderer held;
    EXPECT_TRUE(DrawMesh(mesh, held, target.surface, target.batch, target.batch, target.view));
    ASSERT_NE(held, nullptr);
    SWmeshrenderer* const first = held.get();
    EXPECT_EQ(target.batch->NodeCount(), 1u);
    const uint32_t stamp = mesh.GetGeometryStamp();

    DrawMesh(mesh, held, target.surface, target.batch, target.batch, target.view);
    EXPECT_EQ(held.get(), first);
    EXPECT_EQ(mesh.GetGeometryStamp(), stamp);

    material.SetRenderMode(SWmaterial::kModeFlat);
    DrawMesh(mesh, held, target.surface, target.batch, target.batch, target.view);
    EXPECT_EQ(mesh.GetGeometryStamp(), stamp + 1);
    EXPECT_EQ(held->GroupStamp(), stamp + 1);
}

// A posed mesh put back to its rest shape is drawn from it in the next frame: the renderer sees a new stamp.
TEST(MeshDraw, AMeshPutBackToItsRestShapeIsRebuiltAtTheNextDraw)
{
    Target target;
    SWmaterial material("m");
    SWmeshobject mesh;
    LoadTriangle(mesh, &material);
    mesh.GetVertices()[7] = 0.9f; // posed, as a motion writes it
    mesh.ComputeBoundingBox();
    mesh.ComputeNormals();
    SWheldmeshrenderer held;
    EXPECT_TRUE(DrawMesh(mesh, held, target.surface, target.batch, target.batch, target.view));
    ASSERT_NE(held, nullptr);
    const uint32_t posed = held->GroupStamp();
    mesh.Refresh();
    EXPECT_EQ(mesh.GetVertices()[7], 0.5f);
    DrawMesh(mesh, held, target.surface, target.batch, target.batch, target.view);
    EXPECT_NE(held->GroupStamp(), posed);
    EXPECT_EQ(held->GroupStamp(), mesh.GetGeometryStamp());
    EXPECT_NEAR(mesh.GetBoundingBox()->Max().y, 0.5f, 1e-6f);
}

TEST(MeshDraw, SurfaceWithoutInitGivesNoRenderer)
{
    SWrendersurface surface;
    SWmaterial material("m");
    SWmesh mesh;
    LoadTriangle(mesh, &material);
    SWheldmeshrenderer held;
    SWmatrix view;
    EXPECT_FALSE(DrawMesh(mesh, held, surface, nullptr, nullptr, view));
    EXPECT_EQ(held, nullptr);
}

} // namespace
