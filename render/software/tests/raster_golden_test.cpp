// The test scene against stored pictures: a regression net over every pipeline, filter, blend and walk on top of
// the analytic checks of raster_images_test. The pictures live in tests/data; after a deliberate change to what
// the rasteriser draws, run this test once with VORTAN_UPDATE_GOLDEN=1 to write them anew, look at them, and commit
// them with the change.
#include "render/software/rasteriser.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "testsupport/image/png_image.h"
#include "testsupport/render/raster_host.h"
#include "testsupport/render/raster_scene.h"

namespace {

// Per channel. The rasteriser is integer arithmetic after set-up and the engine builds without float contraction,
// so builds agree exactly; the one step of slack absorbs a rounding change in set-up without hiding a wrong stage.
constexpr int kTolerance = 1;

std::string GoldenPath(int32_t side)
{
    const char* root = std::getenv("VORTAN_SOURCE_DIR");
    const std::string base = root != nullptr ? std::string(root) + "/" : std::string();
    return base + "render/software/tests/data/raster_scene_" + std::to_string(side) + ".png";
}

testsupport::BgrImage DrawScene(int32_t side)
{
    testsupport::RasterTestHost host(side, side);
    SWrasteriser rasteriser;
    rasteriser.Create(&host);
    const testsupport::RasterScene scene(side);
    scene.Draw(rasteriser, host);
    return testsupport::FromBgr0(reinterpret_cast<const uint8_t*>(host.Buffer().Row(0)), side, side);
}

void CompareWithGolden(int32_t side)
{
    const testsupport::BgrImage drawn = DrawScene(side);
    const std::string path = GoldenPath(side);
    std::string error;
    if (std::getenv("VORTAN_UPDATE_GOLDEN") != nullptr) {
        ASSERT_TRUE(testsupport::WritePng(path, drawn, error)) << error;
        std::cout << "wrote " << path << "\n";
    }
    const std::optional<testsupport::BgrImage> golden = testsupport::ReadPng(path, error);
    ASSERT_TRUE(golden.has_value()) << path << ": " << error << " (is VORTAN_SOURCE_DIR set?)";
    ASSERT_EQ(golden->width, side);
    ASSERT_EQ(golden->height, side);

    const testsupport::RasterScene scene(side);
    int wrong = 0;
    std::ostringstream first;
    for (int32_t y = 0; y < side; ++y) {
        for (int32_t x = 0; x < side; ++x) {
            const size_t at = (static_cast<size_t>(y) * side + x) * 3;
            for (int c = 0; c < 3; ++c) {
                const int difference = std::abs(drawn.pixels[at + c] - golden->pixels[at + c]);
                if (difference <= kTolerance)
                    continue;
                if (wrong < 8) {
                    std::string cell = "?";
                    for (const testsupport::RasterCell& candidate : scene.Cells()) {
                        if (candidate.column == x / scene.CellSide() && candidate.row == y / scene.CellSide())
                            cell = candidate.name;
                    }
                    first << " (" << x << ", " << y << ") channel " << c << " in cell " << cell << ": "
                          << int{drawn.pixels[at + c]} << " against " << int{golden->pixels[at + c]} << ";";
                }
                ++wrong;
                break;
            }
        }
    }
    if (wrong > 0) {
        if (const char* artifacts = std::getenv("VORTAN_TEST_ARTIFACTS")) {
            const std::string out = std::string(artifacts) + "/raster_scene_" + std::to_string(side) + ".png";
            if (testsupport::WritePng(out, drawn, error))
                std::cout << "the drawn picture is " << out << "\n";
        }
    }
    EXPECT_EQ(wrong, 0) << "pixels off by more than " << kTolerance << ":" << first.str();
}

TEST(RasterGolden, SceneAtOneHundredAndTwentyEightMatchesItsPicture)
{
    CompareWithGolden(128);
}

// Cells of 16 pixels: small triangles, the affine walk nearly everywhere and textures minified.
TEST(RasterGolden, SceneAtSixtyFourMatchesItsPicture)
{
    CompareWithGolden(64);
}

} // namespace
