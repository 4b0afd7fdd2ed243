// Node measuring and scaling, unique event names, resampling, JPEG textures and the 32 x 32 picture header.
#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>

#include <gtest/gtest.h>
#include <unistd.h>

#include "designer/app/bitmap_info.h"
#include "designer/app/designer_app.h"
#include "designer/app/designer_utilities.h"
#include "designer/app/node_placement.h"
#include "engine/behaviour/event.h"
#include "engine/core/mesh_node.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "engine/resources/image32.h"
#include "engine/resources/mesh_object.h"
#include "platform/gfx/jpeg_file.h"

namespace {

// A box mesh of the given extents, drawn by a new mesh node under the root.
SWmeshnode* AddBox(SWworld& world, float x, float y, float z)
{
    auto* mesh = static_cast<SWmeshobject*>(world.GetRootObject()->AddGeometry(std::make_unique<SWmeshobject>()));
    mesh->SetVertices({0, 0, 0, x, y, z});
    mesh->ComputeBoundingBox();
    mesh->SetLoaded(true); // bounds without polygons, which a box needs none of
    auto* node = new SWmeshnode(mesh);
    world.AddNode(node, nullptr);
    return node;
}

TEST(NodePlacement, BoxesCenteringAndScalingFollowTheSubtree)
{
    SWworld world;
    SWmeshnode* box = AddBox(world, 4, 2, 6);
    box->SetInitialMatrix(SWmatrix::Translation(10, 0, 0));
    const SWbbox measured = GetNodeBoundingBox(*box);
    EXPECT_FLOAT_EQ(measured.Min().x, 10.0f);
    EXPECT_FLOAT_EQ(measured.Max().z, 6.0f);

    ASSERT_TRUE(CenterNode(*box));
    const SWbbox centred = GetNodeBoundingBox(*box);
    EXPECT_NEAR(centred.Min().x + centred.Max().x, 0.0f, 1e-5f);
    EXPECT_NEAR(centred.Min().z + centred.Max().z, 0.0f, 1e-5f);

    ASSERT_TRUE(ScaleNodeToFit(*box, 3.0f)); // the largest side, 6, becomes 3
    const SWbbox fitted = GetNodeBoundingBox(*box);
    EXPECT_NEAR(fitted.Max().z - fitted.Min().z, 3.0f, 1e-4f);
    EXPECT_NEAR(fitted.Max().x - fitted.Min().x, 2.0f, 1e-4f);

    // The root cannot be transformed: its children move instead.
    ASSERT_TRUE(ScaleNode(*world.GetRootNode(), 2, 2, 2));
    EXPECT_NEAR(GetNodeBoundingBox(*box).Max().z - GetNodeBoundingBox(*box).Min().z, 6.0f, 1e-4f);
}

// Scale factors from empty or flat boxes, or given as zero or not a number, would collapse a node for good: they
// are refused and the node is left exactly as it was.
TEST(NodePlacement, FactorsThatWouldCollapseANodeAreRefused)
{
    SWworld world;
    auto* empty = new SWobjectnode();
    world.AddNode(empty, nullptr);
    SWmeshnode* flat = AddBox(world, 5, 0, 0);
    SWmeshnode* point = AddBox(world, 0, 0, 0);
    const SWmatrix before = flat->GetInitialMatrix();

    EXPECT_TRUE(GetNodeBoundingBox(*empty).IsEmpty());
    EXPECT_FALSE(ScaleNodeToFit(*empty, 10.0f));
    EXPECT_FALSE(CenterNode(*empty));
    EXPECT_FALSE(ScaleNodeToFit(*point, 10.0f));
    EXPECT_FALSE(ScaleNodeToFit(*flat, 0.0f)); // no application, so no reference size either
    for (const float bad : {0.0f, -1.0f, std::numeric_limits<float>::infinity(), std::nanf("")}) {
        EXPECT_FALSE(ScaleNode(*flat, 1.0f, bad, 1.0f));
        EXPECT_EQ(flat->GetInitialMatrix(), before);
    }
    EXPECT_EQ(empty->GetInitialMatrix(), SWmatrix());
    ASSERT_TRUE(ScaleNodeToFit(*flat, 10.0f)); // only the axis with a size counts
    EXPECT_NEAR(GetNodeBoundingBox(*flat).Max().x, 10.0f, 1e-4f);
    EXPECT_TRUE(std::isfinite(flat->GetInitialMatrix()[5]));

    CVTNDesignerApp app;
    app.SetReferenceSize(2.5f);
    ASSERT_TRUE(ScaleNodeToFit(*flat));
    EXPECT_NEAR(GetNodeBoundingBox(*flat).Max().x, 2.5f, 1e-4f);
}

TEST(EventNames, NewNamesSkipEveryLetterCaseInUse)
{
    SWworld world;
    std::string name;
    ASSERT_TRUE(MakeUniqueEventName(world, 4, name));
    const std::string base = name;
    EXPECT_EQ(base, world.GetEventTypeName(4));
    world.NewEvent()->SetName(base);
    std::string upper = base + "_1";
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    world.NewEvent()->SetName(upper);
    ASSERT_TRUE(MakeUniqueEventName(world, 4, name));
    EXPECT_EQ(name, base + "_2");
    world.SetEventTypeHidden(4, true);
    EXPECT_FALSE(MakeUniqueEventName(world, 4, name));
    EXPECT_FALSE(MakeUniqueEventName(world, 99, name));
}

TEST(Resample, ConstantPicturesStayConstantAndSizesAreChecked)
{
    const std::vector<uint32_t> constant(13 * 7, 0x80FF4010u);
    for (const auto& [w, h] : {std::pair{3, 2}, std::pair{13, 7}, std::pair{64, 32}, std::pair{1, 1}}) {
        const std::optional<std::vector<uint32_t>> out = ResampleImage32(constant, 13, 7, w, h);
        ASSERT_TRUE(out.has_value());
        ASSERT_EQ(out->size(), size_t(w) * size_t(h));
        EXPECT_TRUE(std::all_of(out->begin(), out->end(), [](uint32_t p) { return p == 0x80FF4010u; }));
    }
    // Shrinking a two-colour row by two averages each pair; growing a ramp stays a ramp.
    const std::vector<uint32_t> pairs = {0x000000FFu, 0x00000001u, 0x00000010u, 0x00000030u};
    EXPECT_EQ(ResampleImage32(pairs, 4, 1, 2, 1), (std::vector<uint32_t>{0x80u, 0x20u}));
    const std::vector<uint32_t> ramp = {0x00u, 0xF0u};
    const auto grown = ResampleImage32(ramp, 2, 1, 4, 1);
    ASSERT_TRUE(grown);
    EXPECT_TRUE(std::is_sorted(grown->begin(), grown->end()));
    EXPECT_FALSE(ResampleImage32(constant, 13, 7, 0, 5));
    EXPECT_FALSE(ResampleImage32(constant, 13, 7, 5, -1));
    EXPECT_FALSE(ResampleImage32(constant, 12, 7, 5, 5)); // the pixels do not match the size
    EXPECT_FALSE(ResampleImage32(constant, 13, 7, 65536, 65536));
}

TEST(JpegTexture, PicturesBecomeUniquelyNamedTexturesUpToPowersOfTwo)
{
    const std::string path =
        (std::filesystem::temp_directory_path() / ("photo_" + std::to_string(::getpid()) + ".jpg")).string();
    pf::Surface32 surface(20, 10);
    surface.fill(0xFF336699u);
    std::string error;
    ASSERT_TRUE(pf::writeJpegFile(path, surface, 95, error)) << error;
    SWworld world;
    std::unique_ptr<SWimage32> owned;
    SWimage32* first = LoadJpegTexture(world, path, true, true, owned);
    SWimage32* second = LoadJpegTexture(world, path, true, false, owned);
    SWimage32* loose = LoadJpegTexture(world, path, false, false, owned);
    std::filesystem::remove(path);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first->GetWidth(), 32);
    EXPECT_EQ(first->GetHeight(), 16);
    EXPECT_EQ(second->GetWidth(), 20);
    EXPECT_NE(first->GetName(), second->GetName());
    EXPECT_EQ(world.FindTextureByName(second->GetName()), second);
    EXPECT_EQ(loose, owned.get());
    EXPECT_EQ(world.FindTextureByName(loose->GetName()), nullptr);
    EXPECT_NEAR(static_cast<int>(first->GetPixels()[5 * 32 + 7] >> 8 & 0xFF), 0x66, 6);
    EXPECT_EQ(LoadJpegTexture(world, path, true, true, owned, &error), nullptr);
    EXPECT_NE(error.find(path), std::string::npos);
}

TEST(Pictures, HeadersOfTheSmallPicturesCountPaddedRows)
{
    const std::optional<pf::BitmapInfo> info = CreateBitmapInfo(kPictureSide, kPictureSide, 24);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->bmiHeader.biSizeImage, kPictureBytes);
    EXPECT_GT(info->bmiHeader.biHeight, 0); // bottom row first
    EXPECT_EQ(CreateBitmapInfo(3, 2, 24)->bmiHeader.biSizeImage, 2u * 12u);
    EXPECT_FALSE(CreateBitmapInfo(0, 32, 24));
    EXPECT_FALSE(CreateBitmapInfo(32, 32, 12));
    EXPECT_FALSE(CreateBitmapInfo(0x7FFFFFFF, 0x7FFFFFFF, 32));
}

} // namespace
