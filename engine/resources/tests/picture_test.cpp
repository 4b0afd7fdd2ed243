#include "engine/resources/picture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/root_object.h"
#include "engine/resources/tests/world_round_trip.h"

namespace {

uint32_t At(const SWpicture& p, int x, int y)
{
    return p.GetPixels()[y * p.GetWidth() + x];
}

std::vector<uint8_t> Saved(SWpicture& picture)
{
    SWbuffer buffer;
    SWchunkstream out(buffer, SWchunkstream::kWrite);
    EXPECT_TRUE(picture.Write(out));
    return buffer.ToVector();
}

TEST(PictureDefaults, EachTypeRendersItsDefaultsAtCornersAndCentre)
{
    // Linear at 270 degrees runs top (A, blue) to bottom (B, dark blue).
    SWpicture linear("GRL", 256, 256, BackgroundGenerator::kLinear);
    ASSERT_TRUE(linear.IsValid());
    EXPECT_EQ(At(linear, 0, 0), 0xFF0000FFu); // t = 0.5/256
    EXPECT_EQ(At(linear, 255, 0), At(linear, 0, 0));
    EXPECT_EQ(At(linear, 100, 255), 0xFF00004Du);
    EXPECT_EQ(At(linear, 7, 128), 0xFF0000A5u); // t = 128.5/256: 1 - 0.7 t
    linear.GetGenerator().middleColourOn = 1;
    linear.Render();
    EXPECT_EQ(At(linear, 0, 127) & 0xFF, 0x27u); // just above the middle: nearly C (38.25)
    EXPECT_EQ(At(linear, 0, 128) & 0xFF, 0x26u);

    SWpicture radial("GRA", 256, 256, BackgroundGenerator::kRadial);
    EXPECT_EQ(At(radial, 128, 128), 0xFF0000FEu);
    EXPECT_EQ(At(radial, 0, 0), 0xFF00004Du); // near, not at, the farthest corner
    EXPECT_EQ(At(radial, 0, 0), At(radial, 255, 255));

    SWpicture checker("CHK", 256, 256, BackgroundGenerator::kChecker);
    // Turned by 90 degrees, the pixel right of and below the centre is in cell (0, -1), odd: B.
    EXPECT_EQ(At(checker, 128, 128), 0xFFFFFFFFu);
    EXPECT_EQ(At(checker, 128 + 26, 128), 0xFF0000FFu);
    EXPECT_EQ(At(checker, 128 + 26, 128 + 26), 0xFFFFFFFFu);
    EXPECT_EQ(At(checker, 127, 127), 0xFFFFFFFFu);

    SWpicture corner("GCO", 256, 256, BackgroundGenerator::kCorner);
    // Bilinear at pixel centres 0.5/256 from the edges; corner 4 is white, so it lifts every channel it weighs in.
    EXPECT_EQ(At(corner, 0, 0), 0xFFFE0000u);
    EXPECT_EQ(At(corner, 255, 0), 0xFF01FF00u);
    EXPECT_EQ(At(corner, 0, 255), 0xFF0100FFu);
    EXPECT_EQ(At(corner, 255, 255), 0xFFFEFFFFu);
}

TEST(PictureDefaults, AngleRunsCounterClockwiseWithYUp)
{
    SWpicture picture("g", 64, 64, BackgroundGenerator::kLinear);
    picture.GetGenerator().parameters[0] = 0.0f; // left to right
    picture.Render();
    EXPECT_EQ(At(picture, 0, 30), At(picture, 0, 0));
    EXPECT_GT(At(picture, 0, 0) & 0xFF, At(picture, 63, 0) & 0xFF);
    picture.GetGenerator().parameters[0] = 1.5707964f; // bottom to top
    picture.Render();
    EXPECT_GT(At(picture, 0, 63) & 0xFF, At(picture, 0, 0) & 0xFF);
}

TEST(PictureHostileValues, RenderWithoutFault)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    SWpicture checker("c", 32, 32, BackgroundGenerator::kChecker);
    for (float size : {0.0f, -0.5f, nan, inf, 1e-6f}) {
        checker.GetGenerator().parameters = {size, 0.1f, 0.0f};
        checker.Render();
        for (int i = 0; i < 32 * 32; ++i)
            ASSERT_EQ(checker.GetPixels()[i], 0xFF0000FFu) << size;
    }
    checker.GetGenerator().parameters = {0.1f, 0.1f, nan};
    checker.Render();
    EXPECT_EQ(At(checker, 5, 5), 0xFF0000FFu);

    SWpicture radial("r", 32, 32, BackgroundGenerator::kRadial);
    radial.GetGenerator().parameters = {-3.0f, 7.0f, 0.0f}; // centre outside
    radial.Render();
    EXPECT_NE(At(radial, 0, 31), At(radial, 31, 0));
    radial.GetGenerator().parameters = {nan, inf, 0.0f};
    radial.GetGenerator().middleColourOn = 1;
    radial.GetGenerator().middlePosition = nan;
    radial.Render();
    EXPECT_EQ(At(radial, 3, 3), 0xFF0000FFu);

    SWpicture linear("l", 32, 32, BackgroundGenerator::kLinear);
    linear.GetGenerator().parameters[0] = inf;
    linear.GetGenerator().colourB = {nan, -inf, 1e30f};
    linear.Render();
    EXPECT_EQ(At(linear, 3, 3), 0xFF0000FFu);
}

TEST(PictureRecord, RoundTripsAndRefusesDamage)
{
    SWpicture picture("CHK", 64, 32, BackgroundGenerator::kChecker);
    picture.GetGenerator().colourA = {0.25f, 0.5f, 0.75f};
    picture.GetGenerator().parameters = {0.2f, 0.05f, 0.3f};
    picture.SetTextureFlags(8);
    picture.Render();
    const std::vector<uint8_t> bytes = Saved(picture);

    SWpicture read;
    SWchunkstream in(bytes);
    ASSERT_TRUE(read.Read(in));
    EXPECT_EQ(read.GetName(), "CHK");
    EXPECT_EQ(read.GetWidth(), 64);
    EXPECT_EQ(read.GetTextureFlags(), 8u);
    EXPECT_TRUE(read.GetGenerator().SameParameters(picture.GetGenerator()));
    EXPECT_EQ(read.GetGenerator().owner, &read);
    EXPECT_EQ(std::vector<uint32_t>(read.GetPixels(), read.GetPixels() + 64 * 32),
              std::vector<uint32_t>(picture.GetPixels(), picture.GetPixels() + 64 * 32));

    // Every truncation fails and leaves the picture it was read into as it was.
    const std::vector<uint8_t> before = Saved(read);
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        SWchunkstream shortIn(std::span<const uint8_t>(bytes.data(), cut));
        ASSERT_FALSE(read.Read(shortIn)) << cut;
        ASSERT_EQ(Saved(read), before) << cut;
    }
    // An unknown generator type: the type is the first payload word after the "PGEN" header.
    std::vector<uint8_t> badType = bytes;
    const size_t pgen = bytes.size() - (8 + 2 + 2 + 40 + 1 + 24);
    ASSERT_EQ(badType[pgen], 'P');
    badType[pgen + 8] = 9;
    SWchunkstream badIn(badType);
    EXPECT_FALSE(read.Read(badIn));
}

TEST(PictureRecord, KeptAmongTheWorldsTextures)
{
    SWworld world;
    auto picture = std::make_unique<SWpicture>("GRA", 32, 16, BackgroundGenerator::kRadial);
    picture->GetGenerator().parameters = {0.2f, 0.9f, 0.0f};
    picture->GetGenerator().middleColourOn = 1;
    picture->Render();
    const SWpicture* original = picture.get();
    ASSERT_TRUE(world.GetRootObject()->AddTexture(std::move(picture)));
    const WorldLoadResult loaded = RoundTripWorld(world);
    ASSERT_NE(loaded.world, nullptr);
    auto* read = dynamic_cast<SWpicture*>(loaded.world->FindTextureByName("GRA"));
    ASSERT_NE(read, nullptr);
    EXPECT_TRUE(read->GetGenerator().SameParameters(original->GetGenerator()));
    EXPECT_TRUE(std::equal(original->GetPixels(), original->GetPixels() + 32 * 16, read->GetPixels()));
}

TEST(PictureClone, CopiesTheGeneratorAndRendersEqualPixels)
{
    SWpicture picture("GCO", 16, 16, BackgroundGenerator::kCorner);
    picture.GetGenerator().corner4 = {0.1f, 0.2f, 0.3f};
    picture.Render();
    const std::unique_ptr<SWtexture> copy = CloneTextureObject(&picture);
    ASSERT_NE(copy, nullptr);
    auto* clone = dynamic_cast<SWpicture*>(copy.get());
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(clone->GetGenerator().owner, clone);
    EXPECT_TRUE(clone->GetGenerator().SameParameters(picture.GetGenerator()));
    EXPECT_TRUE(std::equal(picture.GetPixels(), picture.GetPixels() + 256, clone->GetPixels()));
}

} // namespace
