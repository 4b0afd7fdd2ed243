// The reference scene and one mesh per render mode against stored pictures, drawn through the world's frame. The
// pictures live in tests/data; after a deliberate change to what the renderer draws, run this test once with
// VORTAN_UPDATE_GOLDEN=1 to write them anew, look at them, and commit them with the change. A failing comparison
// leaves the drawn picture and a difference picture in $VORTAN_TEST_ARTIFACTS.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "render/render_camera.h"
#include "render/render_drivers.h"
#include "render/render_surface.h"
#include "render/software/rasteriser.h"
#include "testsupport/image/png_image.h"
#include "testsupport/render/reference_scene.h"

namespace {

// Per channel, and a few edge pixels whose coverage may flip with a rounding change in set-up.
constexpr int kTolerance = 2;
constexpr int kMostPixelsOff = 8;

std::string SourcePath(const std::string& name)
{
    const char* root = std::getenv("VORTAN_SOURCE_DIR");
    return (root != nullptr ? std::string(root) + "/" : std::string()) + "render/tests/data/" + name + ".png";
}

// A surface that never takes indexed lists, so every opaque group is queued one primitive per triangle.
class QueuedOnlySurface final : public SWrendersurface {
public:
    bool TakesIndexedBuffers() const override { return false; }
};

struct Drawn {
    testsupport::BgrImage image;
    uint64_t skipped = 0;
};

Drawn DrawWorld(SWworld& world, SWrendersurface& surface, SWrendercamera& camera, uint32_t width, uint32_t height)
{
    SWhostdrivers drivers;
    drivers.Init();
    EXPECT_TRUE(surface.Init());
    surface.SetCamera(&camera);
    surface.Resize(width, height);
    const SWbackground* background = world.GetRootObject()->GetBackground();
    surface.BufferA().SetBackground(background);
    surface.BeginFrame();
    surface.RefreshBuffers();
    EXPECT_TRUE(world.GetRootObject()->Render(surface));
    EXPECT_TRUE(surface.EndFrame());
    drivers.Shutdown();
    const SWpixelbuffer& shown = *surface.GetCurrentBuffer();
    return {testsupport::FromBgr0(reinterpret_cast<const uint8_t*>(shown.Row(0)), shown.Width(), shown.Height()),
            surface.GetRasteriser()->Stats().skippedTriangles};
}

// Pixels whose largest channel difference exceeds the tolerance; the difference picture shows every difference
// magnified eight times.
int CountOff(const testsupport::BgrImage& a, const testsupport::BgrImage& b, testsupport::BgrImage& outDifference)
{
    outDifference = a;
    int off = 0;
    for (size_t i = 0; i + 2 < a.pixels.size(); i += 3) {
        int largest = 0;
        for (size_t c = 0; c < 3; ++c) {
            const int difference = std::abs(int{a.pixels[i + c]} - int{b.pixels[i + c]});
            largest = std::max(largest, difference);
            outDifference.pixels[i + c] = static_cast<uint8_t>(std::min(255, difference * 8));
        }
        off += largest > kTolerance ? 1 : 0;
    }
    return off;
}

void CompareWithGolden(const std::string& name, const testsupport::BgrImage& drawn)
{
    const std::string path = SourcePath(name);
    std::string error;
    if (std::getenv("VORTAN_UPDATE_GOLDEN") != nullptr) {
        ASSERT_TRUE(testsupport::WritePng(path, drawn, error)) << error;
    }
    const std::optional<testsupport::BgrImage> golden = testsupport::ReadPng(path, error);
    ASSERT_TRUE(golden.has_value()) << path << ": " << error << " (is VORTAN_SOURCE_DIR set?)";
    ASSERT_EQ(golden->width, drawn.width);
    ASSERT_EQ(golden->height, drawn.height);
    testsupport::BgrImage difference;
    const int off = CountOff(drawn, *golden, difference);
    if (off > kMostPixelsOff) {
        if (const char* artifacts = std::getenv("VORTAN_TEST_ARTIFACTS")) {
            testsupport::WritePng(std::string(artifacts) + "/" + name + ".png", drawn, error);
            testsupport::WritePng(std::string(artifacts) + "/" + name + "_difference.png", difference, error);
        }
    }
    EXPECT_LE(off, kMostPixelsOff) << name << ": pixels off by more than " << kTolerance;
}

TEST(ReferenceGolden, SceneFrameZeroMatchesItsPicture)
{
    rendertest::ReferenceScene scene = rendertest::MakeReferenceScene();
    SWrendercamera camera;
    rendertest::PlaceReferenceCamera(camera, 0);
    SWrendersurface surface;
    const Drawn drawn = DrawWorld(*scene.world, surface, camera, 160, 120);
    EXPECT_EQ(drawn.skipped, 0u);
    CompareWithGolden("reference_scene_0", drawn.image);
}

TEST(ReferenceGolden, EachRenderModeMatchesItsPicture)
{
    const std::optional<rendertest::TexturedMesh> torus = rendertest::MakeNamedMesh("torus");
    ASSERT_TRUE(torus.has_value());
    for (const char* mode : {"continuous", "flat", "gouraud", "phong", "dot3"}) {
        SCOPED_TRACE(mode);
        std::optional<rendertest::ReferenceScene> scene = rendertest::MakeMeshScene(*torus, mode);
        ASSERT_TRUE(scene.has_value());
        SWrendercamera camera;
        rendertest::PlaceMeshCamera(camera, false);
        SWrendersurface surface;
        const Drawn drawn = DrawWorld(*scene->world, surface, camera, 96, 72);
        EXPECT_EQ(drawn.skipped, 0u);
        CompareWithGolden(std::string("mesh_") + mode, drawn.image);
    }
}

// An opaque mesh wholly inside the view: the indexed list handed to the target and one queued primitive per
// triangle give the same picture.
TEST(ReferenceGolden, IndexedAndQueuedPathsDrawTheSamePicture)
{
    const std::optional<rendertest::TexturedMesh> sphere = rendertest::MakeNamedMesh("sphere");
    ASSERT_TRUE(sphere.has_value());
    std::optional<rendertest::ReferenceScene> direct = rendertest::MakeMeshScene(*sphere, "phong");
    std::optional<rendertest::ReferenceScene> queued = rendertest::MakeMeshScene(*sphere, "phong");
    ASSERT_TRUE(direct && queued);
    SWrendercamera camera;
    rendertest::PlaceMeshCamera(camera, false);
    SWrendersurface directSurface;
    QueuedOnlySurface queuedSurface;
    const Drawn a = DrawWorld(*direct->world, directSurface, camera, 96, 72);
    const Drawn b = DrawWorld(*queued->world, queuedSurface, camera, 96, 72);
    testsupport::BgrImage difference;
    EXPECT_EQ(CountOff(a.image, b.image, difference), 0);
    int lit = 0;
    for (size_t i = 0; i < a.image.pixels.size(); ++i)
        lit += a.image.pixels[i] != a.image.pixels[0] ? 1 : 0;
    EXPECT_GT(lit, 1000); // the sphere is there
}

} // namespace
