#include "designer/editors/material_preview.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "designer/editors/preview_sphere.h"
#include "engine/core/camera_node.h"
#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "engine/resources/image24.h"
#include "engine/resources/material.h"
#include "engine/resources/mesh_object.h"
#include "render/mesh/draw_groups.h"
#include "render/render_drivers.h"
#include "testsupport/world/sample_world.h"

namespace {

// A sample world that notes what the sphere holds whenever its lock is taken or let go from the outside.
class WatchedWorld : public SWworld {
public:
    WatchedWorld()
    {
        worldtest::FillSampleWorld(*this);
        UpdateNodeTransforms(GetRootNode(), 0);
    }
    void Lock() override
    {
        SWworld::Lock();
        if (m_depth++ == 0)
            Note();
    }
    void Unlock() override
    {
        if (--m_depth == 0)
            Note();
        SWworld::Unlock();
    }
    SWmaterial* AddMaterial(const char* name, float red)
    {
        auto material = std::make_unique<SWmaterial>(name);
        material->SetDiffuseColour(1.0f, red, 0.5f, 0.2f);
        material->SetAmbientColour(1.0f, 0.2f, 0.2f, 0.2f);
        SWmaterial* const kept = material.get();
        GetRootObject()->AddMaterial(std::move(material));
        return kept;
    }
    int materialSeenAtEdges = 0; // lock edges at which the sphere held a material

private:
    void Note()
    {
        const SWmeshobject* const sphere = FindPreviewSphere(*this, kPreviewSphereId);
        if (sphere != nullptr && sphere->GetPolygonCount() > 0 && sphere->GetPolygons()[0].material != nullptr)
            ++materialSeenAtEdges;
    }
    int m_depth = 0;
};

// The shading tables are the driver manager's, built at the designer's start-up.
class MaterialPreviewRender : public ::testing::Test {
protected:
    static void SetUpTestSuite() { SWrenderdrivers::Get().Init(); }
};

std::vector<uint32_t> Picture()
{
    const SWimage24* const image = CVTND_MaterialPreview::Get().GetImage();
    return std::vector<uint32_t>(image->GetPixels(), image->GetPixels() + kPreviewSide * kPreviewSide);
}

uint32_t Pixel(const std::vector<uint32_t>& picture, int x, int y)
{
    return picture[y * kPreviewSide + x] & 0xFFFFFF;
}

} // namespace

// The sphere fills the middle of the picture and leaves its corners to the background, and everything of the
// world that the render touched is as it was: hidden bytes, the camera node's matrices, the lens's depth range,
// the first geometry's own matrix; the sphere is hidden again and holds no material once the lock is let go.
TEST_F(MaterialPreviewRender, DrawsTheSphereAndPutsTheWorldBack)
{
    WatchedWorld world;
    SWmaterial* const material = world.AddMaterial("red", 1.0f);
    SWrootobject& root = *world.GetRootObject();
    root.GetFirstGeometry()->SetMatrix(SWmatrix::Translation(1.0f, 2.0f, 3.0f));
    SWcameranode* const camera = world.GetActiveCamera();
    ASSERT_NE(camera, nullptr);
    const SWmatrix local = camera->GetLocalMatrix(), object = camera->GetObjectMatrix();
    const float depthCentre = camera->GetCameraObject()->GetDepthCentre();
    std::vector<std::pair<SWgeometry*, bool>> hidden;
    for (CVTN_Container* c = root.GetFirstChild(); c != nullptr; c = c->GetNextInTree(&root))
        if (auto* geometry = dynamic_cast<SWgeometry*>(c))
            hidden.emplace_back(geometry, geometry->IsHidden());

    const uint64_t renders = CVTND_MaterialPreview::Get().GetRenderCount();
    ASSERT_TRUE(CVTND_MaterialPreview::Get().Refresh(world, material));
    EXPECT_EQ(CVTND_MaterialPreview::Get().GetRenderCount(), renders + 1);
    const SWimage24* const image = CVTND_MaterialPreview::Get().GetImage();
    ASSERT_EQ(image->GetWidth(), kPreviewSide);
    ASSERT_EQ(image->GetHeight(), kPreviewSide);
    const std::vector<uint32_t> picture = Picture();
    EXPECT_NE(Pixel(picture, 64, 64), Pixel(picture, 0, 0));
    EXPECT_EQ(Pixel(picture, 0, 0), Pixel(picture, 127, 127));
    EXPECT_GT((Pixel(picture, 64, 64) >> 16) & 0xFF, Pixel(picture, 64, 64) & 0xFF); // red over blue

    for (const auto& [geometry, wasHidden] : hidden)
        EXPECT_EQ(geometry->IsHidden(), wasHidden) << geometry->GetName();
    EXPECT_EQ(camera->GetLocalMatrix(), local);
    EXPECT_EQ(camera->GetObjectMatrix(), object);
    EXPECT_FALSE(camera->HasPendingTransform());
    EXPECT_EQ(camera->GetCameraObject()->GetDepthCentre(), depthCentre);
    EXPECT_EQ(root.GetFirstGeometry()->GetMatrix(), SWmatrix::Translation(1.0f, 2.0f, 3.0f));
    SWmeshobject* const sphere = FindPreviewSphere(world, kPreviewSphereId);
    ASSERT_NE(sphere, nullptr);
    EXPECT_TRUE(sphere->IsHidden());
    EXPECT_EQ(sphere->GetPolygons()[0].material, nullptr);
    EXPECT_EQ(world.materialSeenAtEdges, 0); // set and let go inside one holding of the lock
}

// Without a camera, or with a lens of no angle, nothing is drawn and the last picture stays.
TEST_F(MaterialPreviewRender, NoUsableCameraKeepsThePicture)
{
    WatchedWorld world;
    SWmaterial* const material = world.AddMaterial("red", 1.0f);
    ASSERT_TRUE(CVTND_MaterialPreview::Get().Refresh(world, material));
    const std::vector<uint32_t> before = Picture();
    const uint64_t renders = CVTND_MaterialPreview::Get().GetRenderCount();

    SWcameraobject* const lens = world.GetActiveCamera()->GetCameraObject();
    lens->SetFieldOfView(0.0f);
    SWmaterial* const blue = world.AddMaterial("blue", 0.0f);
    EXPECT_FALSE(CVTND_MaterialPreview::Get().Refresh(world, blue));
    lens->SetFieldOfView(0.9f);

    SWworld empty;
    EXPECT_FALSE(CVTND_MaterialPreview::Get().Refresh(empty, blue));
    EXPECT_EQ(CVTND_MaterialPreview::Get().GetRenderCount(), renders);
    EXPECT_EQ(Picture(), before);
}

// Each world gets a sphere of its own and nothing of a world outlives it in the preview; a material deleted after
// a refresh is not reached by the next one (ASan reads it).
TEST_F(MaterialPreviewRender, SphereBelongsToItsWorldAndKeepsNoMaterial)
{
    auto first = std::make_unique<WatchedWorld>();
    ASSERT_TRUE(CVTND_MaterialPreview::Get().Refresh(*first, first->AddMaterial("a", 1.0f)));
    first.reset();
    WatchedWorld second;
    EXPECT_EQ(FindPreviewSphere(second, kPreviewSphereId), nullptr);
    SWmaterial* const doomed = second.AddMaterial("doomed", 1.0f);
    ASSERT_TRUE(CVTND_MaterialPreview::Get().Refresh(second, doomed));
    SWmeshobject* const sphere = FindPreviewSphere(second, kPreviewSphereId);
    ASSERT_NE(sphere, nullptr);
    ASSERT_TRUE(doomed->Detach());
    delete doomed;
    ASSERT_TRUE(CVTND_MaterialPreview::Get().Refresh(second, second.AddMaterial("b", 0.0f)));
    EXPECT_EQ(FindPreviewSphere(second, kPreviewSphereId), sphere);
}

// A new material on the sphere moves its geometry stamp, so the next render's draw groups hold it and not the one
// before.
TEST_F(MaterialPreviewRender, DrawGroupsFollowTheMaterial)
{
    WatchedWorld world;
    SWmaterial* const a = world.AddMaterial("a", 1.0f);
    SWmaterial* const b = world.AddMaterial("b", 0.0f);
    ASSERT_TRUE(CVTND_MaterialPreview::Get().Refresh(world, a));
    SWmeshobject* const sphere = FindPreviewSphere(world, kPreviewSphereId);
    ASSERT_NE(sphere->GetHeldRenderer(), nullptr);
    ASSERT_NE(sphere->GetHeldRenderer()->FirstGroup(), nullptr);
    EXPECT_EQ(sphere->GetHeldRenderer()->FirstGroup()->material, a);
    const uint32_t stamp = sphere->GetGeometryStamp();
    sphere->SetPolygonMaterial(0, b);
    EXPECT_NE(sphere->GetGeometryStamp(), stamp);
    ASSERT_TRUE(CVTND_MaterialPreview::Get().Refresh(world, b));
    EXPECT_EQ(sphere->GetHeldRenderer()->FirstGroup()->material, b);
}
