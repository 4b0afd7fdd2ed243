#include <gtest/gtest.h>

#include <random>

#include "codecs/image/colour_transform.h"
#include "codecs/image/image_plane.h"
#include "codecs/image/tests/test_pictures.h"
#include "codecs/image/wavelet_transform.h"

namespace cis {
namespace {

ImagePlane MakePlane(int width, int height)
{
    return ImagePlane{width, height, std::vector<int16_t>(static_cast<size_t>(width) * height, 0)};
}

struct Yiq {
    ImagePlane y;
    ImagePlane i;
    ImagePlane q;
};

Yiq Forward(const testing::Picture& p, int levels)
{
    const int w = PaddedSide(p.width, levels);
    const int h = PaddedSide(p.height, levels);
    Yiq planes{MakePlane(w, h), MakePlane(w, h), MakePlane(w, h)};
    ForwardColourTransform(PixelView{p.pixels.data(), p.width, p.height}, planes.y, planes.i, planes.q);
    return planes;
}

ImagePlane RandomPlane(int width, int height, int lo, int hi, uint32_t seed)
{
    ImagePlane plane = MakePlane(width, height);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> dist(lo, hi);
    for (int16_t& v : plane.values)
        v = static_cast<int16_t>(dist(rng));
    return plane;
}

void InvertAll(ImagePlane& plane, int levels, bool reversible)
{
    for (int k = 1; k <= levels; ++k)
        InvertLevel(plane, k, levels, levels, reversible);
}

TEST(ColourTransform, WhiteIsLuma127AndComesBackWhite)
{
    const testing::Picture white = testing::Solid(8, 8, 255, 255, 255);
    Yiq planes = Forward(white, 1);
    EXPECT_EQ(planes.y.At(3, 3), 127);
    EXPECT_EQ(planes.i.At(3, 3), 0);
    EXPECT_EQ(planes.q.At(3, 3), 0);
    std::vector<uint8_t> out(8 * 8 * 3);
    InverseColourTransform(planes.y, planes.i, planes.q, PixelTarget{out.data(), 8, 8, 3});
    EXPECT_EQ(out, white.pixels);
}

TEST(ColourTransform, GreyPixelsHaveNoChroma)
{
    for (int v = 0; v < 256; v += 17) {
        const testing::Picture grey =
            testing::Solid(8, 8, static_cast<uint8_t>(v), static_cast<uint8_t>(v), static_cast<uint8_t>(v));
        const Yiq planes = Forward(grey, 1);
        EXPECT_EQ(planes.i.At(0, 0), 0) << v;
        EXPECT_EQ(planes.q.At(0, 0), 0) << v;
    }
}

TEST(ColourTransform, PaddingRepeatsTheLastColumnAndRow)
{
    const testing::Picture p = testing::Noise(13, 9, 1);
    const Yiq planes = Forward(p, 1);
    ASSERT_EQ(planes.y.width, 14);
    ASSERT_EQ(planes.y.height, 10);
    for (int y = 0; y < 9; ++y)
        EXPECT_EQ(planes.i.At(13, y), planes.i.At(12, y));
    for (int x = 0; x < 14; ++x)
        EXPECT_EQ(planes.q.At(x, 9), planes.q.At(x, 8));
}

TEST(ColourTransform, ReversibleRestoresEveryByte)
{
    for (const auto& [w, h] : {std::pair{13, 9}, std::pair{64, 64}, std::pair{1, 1}, std::pair{31, 2}}) {
        const testing::Picture p = testing::Noise(w, h, static_cast<uint32_t>(w * h));
        const int pw = PaddedSide(w, 3);
        const int ph = PaddedSide(h, 3);
        ImagePlane p0 = MakePlane(pw, ph), p1 = MakePlane(pw, ph), p2 = MakePlane(pw, ph);
        ForwardReversibleColour(PixelView{p.pixels.data(), w, h}, p0, p1, p2);
        std::vector<uint8_t> out(p.pixels.size());
        InverseReversibleColour(p0, p1, p2, PixelTarget{out.data(), w, h, 3});
        EXPECT_EQ(out, p.pixels) << w << "x" << h;
    }
}

TEST(ColourTransform, SubsampledChromaAveragesBlocksAndOddEdges)
{
    // 3 x 3: a full 2 x 2 block, a last column of two pixels, a last row of two, and a lone corner.
    const testing::Picture p = testing::Noise(3, 3, 7);
    ImagePlane y = MakePlane(4, 4), i = MakePlane(2, 2), q = MakePlane(2, 2);
    ForwardColourTransformSubsampled(PixelView{p.pixels.data(), 3, 3}, y, i, q);
    auto shifted = [&](int x, int row, int c) { return int{p.pixels[(row * 3 + x) * 3 + c]} - 128; };
    auto expectI = [&](int bx, int by, const std::vector<std::pair<int, int>>& cells, int shift) {
        int b = 0, g = 0, r = 0;
        for (const auto& [x, row] : cells) {
            b += shifted(x, row, 0);
            g += shifted(x, row, 1);
            r += shifted(x, row, 2);
        }
        b >>= shift;
        g >>= shift;
        r >>= shift;
        EXPECT_EQ(i.At(bx, by), (330 * (r - b) + 280 * (r - g)) >> 10) << bx << "," << by;
    };
    expectI(0, 0, {{0, 0}, {1, 0}, {0, 1}, {1, 1}}, 2);
    expectI(1, 0, {{2, 0}, {2, 1}}, 1);
    expectI(0, 1, {{0, 2}, {1, 2}}, 1);
    expectI(1, 1, {{2, 2}}, 0);

    std::vector<uint8_t> out(3 * 3 * 3);
    InverseColourTransformSubsampled(y, i, q, PixelTarget{out.data(), 3, 3, 3});
    const testing::Picture grey = testing::Solid(3, 3, 90, 90, 90);
    ForwardColourTransformSubsampled(PixelView{grey.pixels.data(), 3, 3}, y, i, q);
    InverseColourTransformSubsampled(y, i, q, PixelTarget{out.data(), 3, 3, 3});
    EXPECT_EQ(out, grey.pixels);
}

TEST(WaveletTransform, ReversibleIsExactForEverySizeAndLevelCount)
{
    for (int levels = 1; levels <= 5; ++levels) {
        for (int side = 6 << (levels - 1); side <= 64 << (levels > 3 ? levels - 3 : 0); side += 2 << (levels - 1)) {
            const int other = side + (2 << (levels - 1));
            ImagePlane plane = RandomPlane(side, other, -400, 400, static_cast<uint32_t>(side * levels));
            const std::vector<int16_t> original = plane.values;
            ForwardReversibleTransform(plane, levels);
            EXPECT_NE(plane.values, original);
            InvertAll(plane, levels, true);
            ASSERT_EQ(plane.values, original) << side << "x" << other << " levels " << levels;
        }
    }
}

TEST(WaveletTransform, ReversibleStaysExactWhenCoefficientsWrap)
{
    ImagePlane plane = RandomPlane(24, 12, -32768, 32767, 3);
    const std::vector<int16_t> original = plane.values;
    ForwardReversibleTransform(plane, 2);
    InvertAll(plane, 2, true);
    EXPECT_EQ(plane.values, original);
}

TEST(WaveletTransform, ConstantRowGivesZeroDetailsAndDoubledLowBand)
{
    for (const int c : {-128, -37, 0, 1, 99, 127}) {
        ImagePlane plane = MakePlane(12, 6);
        std::fill(plane.values.begin(), plane.values.end(), static_cast<int16_t>(c));
        ForwardLossyTransform(plane, 1);
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(plane.At(x, 0), 2 * c) << c;
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 12; ++x)
                if (x >= 6 || y >= 3) {
                    EXPECT_EQ(plane.At(x, y), 0) << c;
                }
    }
}

TEST(WaveletTransform, LossyInverseStaysCloseOnPictures)
{
    const testing::Picture p = testing::PhotoLike(128, 96, 5);
    for (int levels = 1; levels <= 5; ++levels) {
        Yiq planes = Forward(p, levels);
        const std::vector<int16_t> original = planes.y.values;
        ForwardLossyTransform(planes.y, levels);
        InvertAll(planes.y, levels, false);
        int worst = 0;
        double total = 0.0;
        for (size_t n = 0; n < original.size(); ++n) {
            const int error = std::abs(original[n] - planes.y.values[n]);
            worst = std::max(worst, error);
            total += error;
        }
        // The decoder's inverse rounds on its own: close, not exact.
        EXPECT_LE(worst, 4) << "levels " << levels;
        EXPECT_LT(total / static_cast<double>(original.size()), 0.5) << "levels " << levels;
    }
}

TEST(WaveletTransform, SixSampleRegionsRoundTrip)
{
    ImagePlane plane = RandomPlane(6, 6, -100, 100, 9);
    const std::vector<int16_t> original = plane.values;
    ForwardReversibleTransform(plane, 1);
    InvertAll(plane, 1, true);
    EXPECT_EQ(plane.values, original);

    ImagePlane lossy = RandomPlane(6, 6, -100, 100, 10);
    const std::vector<int16_t> lossyOriginal = lossy.values;
    ForwardLossyTransform(lossy, 1);
    InvertAll(lossy, 1, false);
    for (size_t n = 0; n < lossyOriginal.size(); ++n)
        EXPECT_NEAR(lossy.values[n], lossyOriginal[n], 3);
}

TEST(WaveletTransform, InterpolationOnlyKeepsAConstantLowBand)
{
    for (const bool reversible : {false, true}) {
        ImagePlane plane = MakePlane(16, 12);
        std::fill(plane.values.begin(), plane.values.end(), static_cast<int16_t>(40));
        if (reversible)
            ForwardReversibleTransform(plane, 1);
        else
            ForwardLossyTransform(plane, 1);
        // Details ignored: a constant picture comes back constant.
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 16; ++x)
                if (x >= 8 || y >= 6)
                    plane.At(x, y) = 77;
        InvertLevel(plane, 1, 1, 0, reversible);
        for (const int16_t v : plane.values)
            ASSERT_EQ(v, 40) << (reversible ? "reversible" : "lossy");
    }
}

} // namespace
} // namespace cis
