#include "render/root_render.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <span>
#include <vector>

#include "engine/core/camera_node.h"
#include "engine/core/matrix.h"
#include "engine/core/root_object.h"
#include "engine/resources/geometry.h"
#include "engine/resources/particle_node.h"
#include "render/render_batch.h"
#include "render/render_camera.h"
#include "render/render_surface.h"

namespace {

// What each geometry object and the layer drawer saw, in call order.
struct DrawLog {
    std::vector<int> order; // the geometry's number, or -1 for the layers
    SWrenderbatch* opaque = nullptr;
    SWrenderbatch* transparent = nullptr;
};
DrawLog* g_log = nullptr;

class LoggedGeometry final : public SWgeometry {
public:
    explicit LoggedGeometry(int number) : m_number(number) {}
    bool Draw(SWrendertarget&, SWrenderbatch* opaque, SWrenderbatch* transparent, const SWmatrix&) override
    {
        g_log->order.push_back(m_number);
        g_log->opaque = opaque;
        g_log->transparent = transparent;
        return true;
    }

private:
    const int m_number;
};

bool LogLayers(SWrootobject&, SWrendertarget&)
{
    g_log->order.push_back(-1);
    return true;
}

TEST(RootRender, OpaqueBatchThenTransparentGeometryInListOrderSkippingHiddenThenLayers)
{
    DrawLog log;
    g_log = &log;
    const SWlayerdrawer installed = SetLayerDrawer(LogLayers);
    SWrendercamera camera;
    SWrendersurface surface;
    ASSERT_TRUE(surface.Init());
    surface.SetCamera(&camera);
    surface.Resize(64, 48);
    surface.BeginFrame();
    SWrootobject root;
    for (int number = 0; number < 3; ++number)
        root.AddGeometry(std::make_unique<LoggedGeometry>(number))->SetHidden(number == 1, true);

    ASSERT_TRUE(root.Render(surface));
    EXPECT_EQ(log.order, (std::vector<int>{0, 2, -1}));
    SWrenderbatch* first = surface.Queue().FirstBatch();
    ASSERT_EQ(log.opaque, first);
    ASSERT_NE(log.transparent, nullptr);
    EXPECT_EQ(log.transparent, first->NextBatch());
    EXPECT_FALSE(log.opaque->IsTransparent());
    EXPECT_TRUE(log.transparent->IsTransparent());
    EXPECT_EQ(log.transparent->GetKind(), SWrenderbatch::Kind::kDepthSum);
    EXPECT_TRUE(surface.EndFrame());
    SetLayerDrawer(installed);
    g_log = nullptr;
}

// A particle system draws its particles into the transparent batch only.
TEST(RootRender, ParticleSystemDrawsIntoTheTransparentBatch)
{
    SWrendercamera camera;
    camera.SetPosition(0.0f, 0.0f, 6.0f);
    camera.SetDirection(0.0f, 0.0f, 1.0f);
    SWrendersurface surface;
    ASSERT_TRUE(surface.Init());
    surface.SetCamera(&camera);
    surface.Resize(64, 48);
    surface.BeginFrame();
    SWrootobject root;
    auto* particles = static_cast<SWparticlenode*>(root.AddGeometry(std::make_unique<SWparticlenode>()));
    particles->GetParticles().SetSize(0.05f);
    particles->GetParticles().SetEmissionSpeed(0.5f);
    particles->GetParticles().SetOpacity(0.5f);
    particles->GetParticles().Start();
    for (float t = 0.0f; t < 1000.0f; t += 100.0f) {
        particles->SetWorldTime(t);
        ASSERT_TRUE(root.Render(surface));
        ASSERT_TRUE(surface.EndFrame());
        surface.BeginFrame();
    }
    particles->SetWorldTime(1000.0f);
    ASSERT_TRUE(root.Render(surface));
    ASSERT_GT(particles->GetQueuedCount(), 0u);
    SWrenderbatch* opaque = surface.Queue().FirstBatch();
    EXPECT_TRUE(opaque->IsEmpty());
    EXPECT_EQ(opaque->NextBatch()->NodeCount(), particles->GetQueuedCount());
    EXPECT_TRUE(surface.EndFrame());
}

TEST(RootRender, SurfaceWithoutInitQueuesNothing)
{
    SWrendersurface surface;
    SWrootobject root;
    EXPECT_FALSE(root.Render(surface));
    EXPECT_TRUE(surface.Queue().IsEmpty());
}

// The world model's view and projection of points in front of a camera object, against the render camera it
// fills drawn on a 640 x 480 surface.
TEST(CameraObjectSurface, RenderCameraProjectsAsTheWorldModel)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    for (int trial = 0; trial < 20; ++trial) {
        SWcameraobject object;
        object.SetFieldOfView(0.4f + 0.05f * static_cast<float>(trial));
        object.SetDepthCentre(10.0f);
        object.SetDepthRange(19.0f);
        SWmatrix place = SWmatrix::Rotation(3.0f * unit(random), 1);
        place.PostMultiply(SWmatrix::Rotation(unit(random), 0));
        SWmatrix objectMatrix = SWmatrix::Translation(4.0f * unit(random), unit(random), 4.0f * unit(random));
        objectMatrix.PostMultiply(place);
        const float aspect = 640.0f / 480.0f;
        const SWsurfacematrices world = object.ComputeSurfaceMatrices(objectMatrix, aspect);
        SWrendercamera camera;
        object.ComputeSurfaceMatrices(objectMatrix, camera, aspect);
        EXPECT_FLOAT_EQ(camera.GetNear(), world.nearZ);
        EXPECT_FLOAT_EQ(camera.GetFar(), world.farZ);

        SWrendersurface surface;
        ASSERT_TRUE(surface.Init());
        surface.SetCamera(&camera);
        surface.Resize(640, 480);
        surface.BeginFrame();
        float elements[16];
        ASSERT_TRUE(surface.GetViewMatrix(elements));
        const SWviewport& port = surface.Viewport();
        SWmatrix clip;
        world.projection.Multiply(clip, world.view);
        for (int k = 0; k < 10; ++k) {
            // A point in front of the camera, inside its depth range.
            const float depth = 2.0f + 8.0f * (unit(random) + 1.0f);
            const SWvector local{0.3f * depth * unit(random), 0.2f * depth * unit(random), depth};
            const SWvector point = objectMatrix.TransformPoint(local);
            const float p[4] = {point.x, point.y, point.z, 1.0f};
            float c[4] = {};
            float r[3] = {};
            for (int row = 0; row < 4; ++row)
                for (int col = 0; col < 4; ++col) {
                    c[row] += clip[row * 4 + col] * p[col];
                    if (row < 3)
                        r[row] += elements[row * 4 + col] * p[col];
                }
            const float x = r[0] / r[2] * port.xScale + port.xOffset;
            const float y = r[1] / r[2] * port.yScale + port.yOffset;
            EXPECT_NEAR(1.0f - x / 320.0f, c[0] / c[3], 1e-5f);
            EXPECT_NEAR(1.0f - y / 240.0f, c[1] / c[3], 1e-5f);
        }
    }
}

} // namespace
