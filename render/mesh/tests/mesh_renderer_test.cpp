#include "render/mesh/mesh_renderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <vector>

#include "engine/resources/array_block.h"
#include "engine/resources/image32.h"
#include "engine/resources/material.h"
#include "engine/resources/mesh.h"
#include "platform/sys/scripted_cpu.h"
#include "render/mesh/clipper.h"
#include "render/render_batch.h"
#include "render/render_camera.h"
#include "render/render_drivers.h"
#include "render/render_surface.h"
#include "render/software/direct_draw.h"
#include "render/software/rasteriser.h"
#include "testsupport/mesh/mesh_generators.h"
#include "testsupport/render/mesh_loading.h"

namespace {

// Grey ramps: entry i is (i, i, i), opaque in ramp 1.
bool GreyRamps(const SWmaterial&, SWshadedata& out)
{
    static const std::array<std::array<uint32_t, 256>, 2> ramps = [] {
        std::array<std::array<uint32_t, 256>, 2> made{};
        for (uint32_t i = 0; i < 256; ++i) {
            made[0][i] = 0xFF000000u | i * 0x010101u;
            made[1][i] = 0;
        }
        return made;
    }();
    out.ramp1 = ramps[0].data();
    out.ramp2 = ramps[1].data();
    return true;
}

// The OFF mesh centred on the origin with side `size`, every polygon of one material.
void Load(SWmesh& mesh, const meshtest::OffMesh& off, SWmaterial* material, float size = 1.0f)
{
    rendertest::TexturedMesh shape = rendertest::FromOff(off);
    for (float& value : shape.positions)
        value = (value - 0.5f) * size;
    rendertest::LoadMesh(mesh, shape, material);
}

struct Scene {
    SWhostdrivers drivers;
    SWrendercamera camera;
    SWrendersurface surface;
    SWmaterial material{"m"};
    SWmesh mesh;
    SWmeshrendererScalar renderer;
    SWrenderbatch* opaque = nullptr;
    SWrenderbatch* transparent = nullptr;
    SWmatrix view;

    // The camera at position, its backward axis along direction (the eye sits one unit further back).
    explicit Scene(SWvector position) : Scene(position, position) {}
    Scene(SWvector position, SWvector direction, uint32_t size = 64)
    {
        drivers.Init();
        SetShadeDataSource(GreyRamps);
        EXPECT_TRUE(surface.Init());
        surface.SetCamera(&camera);
        surface.Resize(size, size * 3 / 4);
        camera.SetPosition(position.x, position.y, position.z);
        camera.SetDirection(direction.x, direction.y, direction.z);
        renderer.SetMesh(&mesh);
    }
    ~Scene()
    {
        SetShadeDataSource(nullptr);
        drivers.Shutdown();
    }
    bool Frame()
    {
        surface.BeginFrame();
        surface.RefreshBuffers();
        float matrix[16];
        EXPECT_TRUE(surface.GetViewMatrix(matrix));
        view = SWmatrix(std::span<const float, 16>(matrix, 16));
        opaque = surface.Queue().NewBatch();
        transparent = surface.Queue().NewBatch();
        transparent->SetKind(SWrenderbatch::Kind::kDepthSum);
        transparent->SetTransparent(true);
        return renderer.Render(surface, opaque, transparent, view);
    }
};

TEST(MeshRenderer, CubeFromACornerCullsToThreeFaces)
{
    Scene scene({3.0f, 2.5f, 2.0f});
    Load(scene.mesh, meshtest::MakeCube(), &scene.material);
    ASSERT_TRUE(scene.Frame());
    EXPECT_EQ(scene.renderer.Stats().triangles, 12u);
    EXPECT_EQ(scene.renderer.Stats().visible, 6u);
    // Wholly inside and opaque: one indexed list, nothing queued.
    EXPECT_EQ(scene.renderer.Stats().indexed, 6u);
    EXPECT_EQ(scene.renderer.Stats().queued, 0u);
    ASSERT_TRUE(scene.surface.EndFrame());
    const SWrasterstats& drawn = scene.surface.GetRasteriser()->Stats();
    EXPECT_EQ(drawn.skippedTriangles, 0u);
    // The faces kept by culling are the ones the rasteriser fills: a hexagon about 18 pixels across.
    EXPECT_GT(drawn.pixelsDrawn, 150u);

    // The eye on the plane of a face (x = 0.5 for the unit cube about the origin) keeps that face.
    Scene edge({0.5f, 0.0f, 3.0f}, {0.0f, 0.0f, 1.0f});
    Load(edge.mesh, meshtest::MakeCube(), &edge.material);
    edge.Frame();
    EXPECT_EQ(edge.renderer.Stats().visible, 4u); // the front face and the face whose plane holds the eye
}

TEST(MeshRenderer, GroupsAreRebuiltOnlyWhenTheStampMoves)
{
    Scene scene({3.0f, 2.5f, 2.0f});
    Load(scene.mesh, meshtest::MakeCube(), &scene.material);
    scene.Frame();
    scene.surface.EndFrame();
    scene.Frame();
    scene.surface.EndFrame();
    EXPECT_EQ(scene.renderer.BuildCount(), 1u);
    scene.mesh.ComputeNormals();
    scene.Frame();
    scene.surface.EndFrame();
    EXPECT_EQ(scene.renderer.BuildCount(), 2u);
}

TEST(MeshRenderer, TransparentGroupIsQueuedInTheTransparentBatch)
{
    Scene scene({3.0f, 2.5f, 2.0f});
    scene.material.SetTransparency(0.5f);
    Load(scene.mesh, meshtest::MakeCube(), &scene.material);
    ASSERT_TRUE(scene.Frame());
    EXPECT_EQ(scene.renderer.Stats().indexed, 0u);
    EXPECT_EQ(scene.transparent->NodeCount(), 6u);
    EXPECT_EQ(scene.opaque->NodeCount(), 0u);
    ASSERT_TRUE(scene.surface.EndFrame());
}

TEST(MeshRenderer, GroupWithNothingVisibleLeavesTheBatchesAlone)
{
    Scene scene({0.0f, 0.0f, 3.0f});
    scene.material.SetTransparency(0.5f); // would be queued, were anything visible
    SWmesh& mesh = scene.mesh;
    mesh.SetVertices({-0.5f, -0.5f, 0.0f, -0.5f, 0.5f, 0.0f, 0.5f, -0.5f, 0.0f});
    auto block = std::make_unique<SWarrayblock>(std::vector<uint32_t>{0, 1, 2}, false, std::vector<uint32_t>{}, 0,
                                                &scene.material);
    mesh.BuildPolygonIndices(block.get());
    mesh.Prepare();
    // The face normal points away from the eye (clockwise seen from +z).
    float face[3];
    mesh.GetFaceNormal(0, face);
    ASSERT_LT(face[2], 0.0f);
    EXPECT_FALSE(scene.Frame());
    EXPECT_EQ(scene.renderer.Stats().emptyGroups, 1u);
    EXPECT_TRUE(scene.opaque->IsEmpty());
    EXPECT_TRUE(scene.transparent->IsEmpty());
}

TEST(MeshRenderer, NearPlaneCutIsClippedAndDrawnWithinTheView)
{
    // The eye sits at (0.8, 0, 0.6) looking along -z: the near plane (0.15 ahead, z = 0.45) cuts the face x = 0.5,
    // which faces the eye.
    Scene scene({0.8f, 0.0f, -0.4f}, {0.0f, 0.0f, 1.0f});
    Load(scene.mesh, meshtest::MakeCube(), &scene.material, 1.0f);
    ASSERT_TRUE(scene.Frame());
    EXPECT_EQ(scene.renderer.Stats().indexed, 0u);
    EXPECT_GT(scene.renderer.Stats().queued, 0u);
    EXPECT_GT(scene.surface.GetClipper()->FanTrianglesMade(), 0u); // the cut left polygons of four or more corners
    ASSERT_TRUE(scene.surface.EndFrame());
    EXPECT_EQ(scene.surface.GetRasteriser()->Stats().skippedTriangles, 0u);
    EXPECT_GT(scene.surface.GetRasteriser()->Stats().pixelsDrawn, 0u); // the fan kept the front's winding
}

TEST(MeshRenderer, RendererKindIsKeptAcrossFrames)
{
    pf::ScriptedCpu cpu(pf::ScriptedCpu::Script{}); // every feature present
    pf::setCpuProbe(&cpu);
    {
        SWhostdrivers drivers;
        drivers.Init();
        drivers.SetUseSSE(true);
        drivers.SetUseSSE2(true);
        ASSERT_NE(drivers.UseSSE2(), 0);
        SWrendersurface surface;
        SWheldmeshrenderer held;
        // Without Init there is no clipper: no renderer.
        EXPECT_EQ(GetMeshRenderer(surface, held), nullptr);
        EXPECT_EQ(held, nullptr);
        ASSERT_TRUE(surface.Init());
        SWmeshrenderer* const first = GetMeshRenderer(surface, held);
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(first->Kind(), 2);
        EXPECT_EQ(GetMeshRenderer(surface, held), first);
        // The choice follows the features between frames: SSE alone gives kind 1, neither kind 0.
        drivers.SetUseSSE2(false);
        EXPECT_EQ(GetMeshRenderer(surface, held)->Kind(), 1);
        drivers.SetUseSSE(false);
        EXPECT_EQ(GetMeshRenderer(surface, held)->Kind(), 0);
        drivers.SetUseSSE2(true); // SSE2 without SSE still asks for kind 2
        EXPECT_EQ(GetMeshRenderer(surface, held)->Kind(), 2);
        drivers.Shutdown();
    }
    pf::setCpuProbe(nullptr);
}

// A target whose direct-draw records have run out: the group goes undrawn and both buffers go back.
class NoRecordTarget final : public SWrendertarget {
public:
    NoRecordTarget()
    {
        auto clipper = std::make_unique<SWclipper>();
        clipper->SetTarget(this);
        SetClipper(std::move(clipper));
        m_vertices = SWsoftvertexbuffer::Create(64, 0);
        m_indices = SWsoftindexbuffer::Create(64);
    }
    ~NoRecordTarget() override
    {
        m_vertices->Release();
        m_indices->Release();
    }
    bool Init() override { return true; }
    uint32_t GetId() const override { return 2; }
    bool Resize(uint32_t, uint32_t) override { return true; }
    bool Draw(const SWdirectdraw*, const SWdirectdraw*, const SWprimitivenode*) override { return false; }
    bool TakesDot3() const override { return true; }
    bool SetRenderMode(uint32_t) override { return false; }
    bool SetPhase(uint32_t) override { return false; }
    bool GetViewMatrix(float*) override { return false; }
    SWvertexbuffer* CreateVertexBuffer(uint32_t, uint32_t) override { return nullptr; }
    SWindexbuffer* CreateIndexBuffer(uint32_t) override { return nullptr; }
    SWvertexbuffer* GetVertexScratch(uint32_t, uint32_t) override
    {
        m_vertices->AddRef();
        return m_vertices;
    }
    SWindexbuffer* GetIndexScratch(uint32_t) override
    {
        m_indices->AddRef();
        return m_indices;
    }
    SWdirectdrawrecord* NewDirectDrawRecord() override { return nullptr; }

    SWsoftvertexbuffer* m_vertices;
    SWsoftindexbuffer* m_indices;
};

TEST(MeshRenderer, MissingDirectDrawRecordSkipsTheGroupAndReleasesItsBuffers)
{
    SWhostdrivers drivers;
    drivers.Init();
    SWrendercamera camera;
    camera.SetPosition(3.0f, 2.5f, 2.0f);
    camera.SetDirection(3.0f, 2.5f, 2.0f);
    NoRecordTarget target;
    target.SetCamera(&camera);
    SWmaterial material("m");
    SWmesh mesh;
    Load(mesh, meshtest::MakeCube(), &material);
    SWmeshrendererScalar renderer;
    renderer.SetMesh(&mesh);
    SWmatrix view;
    camera.BuildViewMatrix(view);
    SWrenderbatch* opaque = target.Queue().NewBatch();
    renderer.Render(target, opaque, opaque, view);
    EXPECT_EQ(renderer.Stats().visible, 6u);
    EXPECT_EQ(renderer.Stats().undrawnGroups, 1u);
    EXPECT_EQ(renderer.Stats().indexed, 0u);
    EXPECT_EQ(target.m_vertices->AddRef(), 1u); // only the target's own reference is left
    EXPECT_EQ(target.m_indices->AddRef(), 1u);
    target.m_vertices->Release();
    target.m_indices->Release();
    drivers.Shutdown();
}

} // namespace

namespace {

// Queued vertices of a lit sphere carry ramp 1 at the angle-table shade of their normal against the headlight.
TEST(MeshRenderer, QueuedShadesMatchTheAngleTable)
{
    Scene scene({0.0f, 1.0f, 4.0f});
    scene.material.SetTransparency(0.5f); // queued, so the vertices can be read back
    const meshtest::OffMesh off = meshtest::MakeSphere(12, 16);
    Load(scene.mesh, off, &scene.material, 1.0f);
    ASSERT_TRUE(scene.Frame());
    SWframelighting lighting;
    SetUpFrameLighting(scene.view, SWmatrix(), scene.camera, lighting);
    const SWdrawgroup& group = *scene.renderer.FirstGroup();
    uint32_t checked = 0;
    for (const SWprimitivenode* node = scene.transparent->FirstNode(); node != scene.transparent->EndNode();
         node = node->next) {
        // The primitives follow the visible triangles in order, so each is checked against its own corners.
        const uint32_t k = checked / 3;
        if (k >= group.primitiveIndices.size())
            break;
        const SWgrouptriangle& triangle = group.triangles[static_cast<size_t>(group.primitiveIndices[k])];
        for (int c = 0; c < 3; ++c) {
            const float* normal = &group.vertices[size_t{triangle.corners[kHandOverCorners[c]]} * 6 + 3];
            const uint8_t shade = ShadeOf(ShadeIndex(normal, lighting.lightUnit));
            EXPECT_EQ(node->vertices[c * node->format->vertexStride + 4], 0xFF000000u | shade * 0x010101u);
        }
        checked += 3;
    }
    EXPECT_GT(checked, 30u);
}

// A bump material on a target that takes Dot3: every corner carries the light in its tangent frame in colour 1,
// and colour 2 keeps colour 1's top byte over the untextured second constant.
TEST(MeshRenderer, Dot3CornersCarryTheLightInTheirFrames)
{
    Scene scene({0.0f, 0.0f, 3.0f});
    auto bump = std::make_unique<SWimage32>("bump", 4, 4, nullptr);
    scene.material.SetBumpTexture(bump.get());
    scene.material.SetBumpAmount(1.0f);
    SWmesh& mesh = scene.mesh;
    mesh.SetVertices({-0.5f, -0.5f, 0.0f, 0.5f, -0.5f, 0.0f, 0.5f, 0.5f, 0.0f, -0.5f, 0.5f, 0.0f});
    mesh.SetTextureVertices({0, 0, 1, 0, 1, 1, 0, 1});
    auto block = std::make_unique<SWarrayblock>(std::vector<uint32_t>{0, 1, 2, 3}, true,
                                                std::vector<uint32_t>{0, 1, 2, 3}, 0, &scene.material);
    mesh.BuildPolygonIndices(block.get());
    mesh.Prepare();
    ASSERT_TRUE(scene.Frame());
    const SWdrawgroup& group = *scene.renderer.FirstGroup();
    ASSERT_TRUE(group.dot3);
    EXPECT_EQ(scene.renderer.Stats().indexed, 0u); // Dot3 is never handed over as an indexed list
    ASSERT_EQ(scene.opaque->NodeCount(), 2u);
    SWframelighting lighting;
    SetUpFrameLighting(scene.view, SWmatrix(), scene.camera, lighting);
    uint32_t k = 0;
    for (const SWprimitivenode* node = scene.opaque->FirstNode(); node != scene.opaque->EndNode();
         node = node->next, ++k) {
        const uint32_t triangle = static_cast<uint32_t>(group.primitiveIndices[k]);
        for (int c = 0; c < 3; ++c) {
            const uint32_t* vertex = node->vertices + c * node->format->vertexStride;
            const SWtangentframe& frame = group.frames[size_t{triangle} * 3 + kHandOverCorners[c]];
            EXPECT_EQ(vertex[4], Dot3Colour(frame, lighting.lightUnit));
            EXPECT_EQ(vertex[5] & 0x00FFFFFFu, 0u); // the grey source gives no constants
        }
    }
}

} // namespace

namespace {

// Without a test source the renderer composites a stale material itself and shades from the ramps it built.
TEST(MeshRenderer, StaleMaterialIsCompositedAndShadesFromItsOwnRamps)
{
    Scene scene({0.0f, 1.0f, 4.0f});
    SetShadeDataSource(nullptr);
    scene.material.SetDiffuseColour(1.0f, 0.8f, 0.4f, 0.2f);
    scene.material.SetTransparency(0.5f); // queued, so the vertices can be read back
    Load(scene.mesh, meshtest::MakeSphere(12, 16), &scene.material, 1.0f);
    ASSERT_FALSE(scene.material.IsBuilt());
    ASSERT_TRUE(scene.Frame());
    ASSERT_TRUE(scene.material.IsBuilt());
    const SWmaterial::Ramp& ramp = scene.material.GetRamp1();
    uint32_t checked = 0;
    for (const SWprimitivenode* node = scene.transparent->FirstNode(); node != scene.transparent->EndNode();
         node = node->next) {
        for (int c = 0; c < 3; ++c) {
            const uint32_t colour = node->vertices[c * node->format->vertexStride + 4];
            EXPECT_NE(std::find(ramp.begin(), ramp.end(), colour), ramp.end());
            ++checked;
        }
    }
    EXPECT_GT(checked, 30u);
    EXPECT_NE(ramp[255] & 0x00FFFFFFu, 0u); // a lit diffuse colour, not the zero of an unbuilt material
}

} // namespace

namespace {

// A textured bump material's diffuse map bakes its colours in: a colour changed between frames draws at once.
TEST(MeshRenderer, Dot3TexturedColourChangeShowsInTheNextFrame)
{
    Scene scene({0.0f, 0.0f, 3.0f});
    SetShadeDataSource(nullptr);
    const std::vector<uint32_t> white(16, 0xFFFFFFFFu);
    auto texture = std::make_unique<SWimage32>("white", 4, 4, white.data());
    auto bump = std::make_unique<SWimage32>("bump", 4, 4, nullptr);
    scene.material.SetTexture(texture.get());
    scene.material.SetBumpTexture(bump.get());
    scene.material.SetBumpAmount(1.0f);
    SWmesh& mesh = scene.mesh;
    mesh.SetVertices({-2.0f, -2.0f, 0.0f, 2.0f, -2.0f, 0.0f, 2.0f, 2.0f, 0.0f, -2.0f, 2.0f, 0.0f});
    mesh.SetTextureVertices({0, 0, 1, 0, 1, 1, 0, 1});
    auto block = std::make_unique<SWarrayblock>(std::vector<uint32_t>{0, 1, 2, 3}, true,
                                                std::vector<uint32_t>{0, 1, 2, 3}, 0, &scene.material);
    mesh.BuildPolygonIndices(block.get());
    mesh.Prepare();
    const auto centre = [&](float red, float blue) {
        scene.material.SetDiffuseColour(1.0f, red, 0.0f, blue);
        scene.material.Invalidate(); // as the material editor does after each change
        EXPECT_TRUE(scene.Frame());
        EXPECT_TRUE(scene.renderer.FirstGroup() != nullptr && scene.renderer.FirstGroup()->dot3);
        EXPECT_TRUE(scene.surface.EndFrame());
        const SWpixelbuffer& drawn = *scene.surface.GetCurrentBuffer();
        return drawn.Row(drawn.Height() / 2)[drawn.Width() / 2];
    };
    const uint32_t red = centre(1.0f, 0.0f);
    EXPECT_GT((red >> 16) & 0xFFu, 0x40u) << std::hex << red;
    EXPECT_EQ(red & 0xFFu, 0u) << std::hex << red;
    const uint32_t blue = centre(0.0f, 1.0f);
    EXPECT_EQ((blue >> 16) & 0xFFu, 0u) << std::hex << blue;
    EXPECT_GT(blue & 0xFFu, 0x40u) << std::hex << blue;
}

} // namespace
