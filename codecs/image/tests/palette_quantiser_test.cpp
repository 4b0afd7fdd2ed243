#include "codecs/image/palette_quantiser.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "codecs/image/tests/test_pictures.h"

namespace cis {
namespace {

using testing::Picture;

ColourHistogramResult Quantise(const Picture& p, int colours)
{
    std::optional<ColourHistogramResult> result = BuildColourHistogram(p.pixels, p.width, p.height, colours);
    EXPECT_TRUE(result.has_value());
    return result.value_or(ColourHistogramResult{});
}

// Mean squared error of the remapped picture; palette entries are stored p2, p1, p0.
double RemapError(const Picture& p, const std::vector<uint8_t>& indices, const uint8_t* palette)
{
    double total = 0.0;
    for (size_t i = 0; i < indices.size(); ++i) {
        for (size_t c = 0; c < 3; ++c) {
            const double d = double(p.pixels[3 * i + c]) - double(palette[3 * size_t{indices[i]} + 2 - c]);
            total += d * d;
        }
    }
    return total / static_cast<double>(indices.size() * 3);
}

TEST(PaletteQuantiser, OneColourIsOneEntry)
{
    const Picture p = testing::Solid(17, 9, 10, 130, 201); // p0, p1, p2
    const ColourHistogramResult result = Quantise(p, 256);
    EXPECT_EQ(result.colours, 1);
    EXPECT_EQ(result.palette[0], 4 * (201 >> 2)); // p2 first
    EXPECT_EQ(result.palette[1], 4 * (130 >> 2));
    EXPECT_EQ(result.palette[2], 4 * (10 >> 2));
    for (size_t i = 3; i < result.palette.size(); ++i)
        ASSERT_EQ(result.palette[i], 0);
    for (const uint8_t index : result.indices)
        ASSERT_EQ(index, 0);
}

TEST(PaletteQuantiser, WhiteIsCell63AndEntry252)
{
    Picture p = testing::Solid(8, 8, 0, 0, 0);
    for (size_t i = 0; i < 32 * 3; ++i)
        p.pixels[i] = 255;
    const ColourHistogramResult result = Quantise(p, 2);
    ASSERT_EQ(result.colours, 2);
    const uint8_t white = result.indices[0];
    EXPECT_EQ(result.palette[3 * size_t{white}], 252);
    EXPECT_EQ(result.palette[3 * size_t{white} + 1], 252);
    EXPECT_EQ(result.palette[3 * size_t{white} + 2], 252);
    EXPECT_NE(result.indices[63], white);
}

TEST(PaletteQuantiser, StopsWhenEveryBoxIsOneCell)
{
    Picture p = testing::Solid(10, 10, 0, 0, 0);
    for (size_t i = 0; i < 100; ++i)
        p.pixels[3 * i + (i % 3)] = static_cast<uint8_t>(40 * (i % 5)); // 13 distinct cells
    std::set<int> cells;
    for (size_t i = 0; i < 100; ++i)
        cells.insert((p.pixels[3 * i + 2] >> 2) * 4096 + (p.pixels[3 * i + 1] >> 2) * 64 + (p.pixels[3 * i] >> 2));
    const ColourHistogramResult result = Quantise(p, 256);
    EXPECT_EQ(result.colours, static_cast<int>(cells.size()));
    std::set<int> used(result.indices.begin(), result.indices.end());
    EXPECT_EQ(used.size(), cells.size());
}

TEST(PaletteQuantiser, EveryPixelTakesTheNearestEntryToItsCellCentre)
{
    const Picture p = testing::PhotoLike(160, 120, 1);
    for (const int colours : {7, 64, 256}) {
        const ColourHistogramResult result = Quantise(p, colours);
        EXPECT_LE(result.colours, colours);
        for (size_t i = 0; i < result.indices.size(); ++i) {
            const int centre[3] = {4 * (p.pixels[3 * i + 2] >> 2) + 2, 4 * (p.pixels[3 * i + 1] >> 2) + 2,
                                   4 * (p.pixels[3 * i] >> 2) + 2};
            int best = -1;
            int bestDistance = INT32_MAX;
            for (int e = 0; e < result.colours; ++e) {
                int distance = 0;
                for (size_t a = 0; a < 3; ++a) {
                    const int d = result.palette[3 * static_cast<size_t>(e) + a] - centre[a];
                    distance += d * d;
                }
                if (distance < bestDistance) {
                    bestDistance = distance;
                    best = e;
                }
            }
            ASSERT_EQ(result.indices[i], best) << "pixel " << i << " of " << colours << " colours";
        }
    }
}

// Above about 360,000 bright pixels, 32-bit sums of squares wrap and the splits go wrong.
TEST(PaletteQuantiser, LargeBrightPictureBeatsAUniformPalette)
{
    Picture p{2048, 2048, std::vector<uint8_t>(size_t{2048} * 2048 * 3)};
    std::mt19937 rng(2);
    for (size_t i = 0; i < p.pixels.size() / 3; ++i) {
        const size_t x = i % 2048;
        const size_t y = i / 2048;
        p.pixels[3 * i] = static_cast<uint8_t>(200 + (x * 55) / 2048);
        p.pixels[3 * i + 1] = static_cast<uint8_t>(190 + (y * 65) / 2048);
        p.pixels[3 * i + 2] = static_cast<uint8_t>(225 + rng() % 31);
    }
    const ColourHistogramResult result = Quantise(p, 256);
    EXPECT_EQ(result.colours, 256);
    std::vector<uint8_t> uniformIndices(result.indices.size());
    std::array<uint8_t, 768> uniform{};
    for (int e = 0; e < 256; ++e) {
        uniform[3 * static_cast<size_t>(e)] = static_cast<uint8_t>(((e >> 5) & 7) * 255 / 7);     // p2: 3 bits
        uniform[3 * static_cast<size_t>(e) + 1] = static_cast<uint8_t>(((e >> 2) & 7) * 255 / 7); // p1: 3 bits
        uniform[3 * static_cast<size_t>(e) + 2] = static_cast<uint8_t>((e & 3) * 255 / 3);        // p0: 2 bits
    }
    for (size_t i = 0; i < uniformIndices.size(); ++i) {
        const int r = (p.pixels[3 * i + 2] * 7 + 127) / 255;
        const int g = (p.pixels[3 * i + 1] * 7 + 127) / 255;
        const int b = (p.pixels[3 * i] * 3 + 127) / 255;
        uniformIndices[i] = static_cast<uint8_t>((r << 5) | (g << 2) | b);
    }
    const double quantised = RemapError(p, result.indices, result.palette.data());
    EXPECT_LT(quantised, RemapError(p, uniformIndices, uniform.data()) / 4);
    EXPECT_LT(quantised, 12.0);
    const ColourHistogramResult again = Quantise(p, 256);
    EXPECT_EQ(again.palette, result.palette);
    EXPECT_EQ(again.indices, result.indices);
}

TEST(PaletteQuantiser, ArgumentsAreClampedOrRefused)
{
    const Picture p = testing::PhotoLike(40, 30, 3);
    EXPECT_EQ(Quantise(p, 0).colours, 1);
    EXPECT_EQ(Quantise(p, -5).colours, 1);
    EXPECT_LE(Quantise(p, 1000).colours, 256);
    const std::optional<ColourHistogramResult> empty = BuildColourHistogram({}, 0, 0, 256);
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->indices.empty());
    EXPECT_EQ(empty->colours, 0);
    EXPECT_FALSE(BuildColourHistogram(p.pixels, 41, 30, 256).has_value()); // fewer bytes than pixels
    EXPECT_FALSE(BuildColourHistogram(p.pixels, -1, 30, 256).has_value());
}

} // namespace
} // namespace cis
