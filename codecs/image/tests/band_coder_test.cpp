#include "codecs/image/band_coder.h"

#include <gtest/gtest.h>

#include <random>

#include "codecs/entropy/arith_coder.h"
#include "codecs/image/wavelet_transform.h"
#include "platform/base/endian.h"

namespace cis {
namespace {

ImagePlane ZeroPlane(int width, int height)
{
    return ImagePlane{width, height, std::vector<int16_t>(static_cast<size_t>(width) * height, 0)};
}

PlaneSettings FlatSettings(uint16_t limit)
{
    PlaneSettings settings;
    settings.limits.fill(limit);
    return settings;
}

// Codes every level of an already transformed plane, then decodes the levels into a fresh plane.
struct Coded {
    std::vector<std::vector<uint8_t>> levels;
    ImagePlane decoded;
};

Coded CodeAndDecode(ImagePlane& plane, int levels, CoderKind kind, const PlaneSettings& settings)
{
    BandCoder encoder(plane, levels, 0, kind);
    EXPECT_TRUE(encoder.QuantiseAndMark(settings));
    ArithCoder coder;
    Coded coded{{}, ZeroPlane(plane.width, plane.height)};
    for (int k = 0; k <= levels; ++k) {
        coded.levels.emplace_back();
        EXPECT_TRUE(encoder.EncodeLevel(coded.levels.back(), k, coder));
    }
    BandCoder decoder(coded.decoded, levels, 0, kind);
    for (int k = 0; k <= levels; ++k) {
        size_t pos = 0;
        EXPECT_TRUE(decoder.DecodeLevel(coded.levels[static_cast<size_t>(k)], pos, k, true, coder)) << k;
    }
    return coded;
}

TEST(ZeroTree, AllZeroPlaneIsRootsAtLevelOneAndEmptyRunsBelow)
{
    ImagePlane plane = ZeroPlane(64, 64);
    const Coded coded = CodeAndDecode(plane, 5, CoderKind::kSignedBytes, FlatSettings(40));
    // Level 1: three bands of 2 x 2 roots; level 2 to 5: every value sits under a root, so each band is its
    // header, an empty run (the end symbol and the flush: one byte) and "cod".
    for (size_t k = 2; k <= 5; ++k)
        EXPECT_EQ(coded.levels[k].size(), 3u * (6 + 1 + 3)) << k;
    for (const int16_t v : coded.decoded.values)
        ASSERT_EQ(v, 0);
}

TEST(ZeroTree, RootAtLevelOneMarksEveryDescendant)
{
    ImagePlane plane = ZeroPlane(64, 64);
    plane.At(1, 1) = 9;   // the low-pass band is 2 x 2 at five levels
    plane.At(2, 1) = 5;   // level 1, orientation 1 (top-right), position (0, 1): not a root
    plane.At(40, 40) = 3; // a finest-level value under orientation 2's position (1, 1) of level 1
    BandCoder coder(plane, 5, 0, CoderKind::kSignedBytes);
    ASSERT_TRUE(coder.QuantiseAndMark(FlatSettings(100)));
    int markers = 0;
    for (const int16_t v : plane.values)
        markers += v == -126;
    // Of level 1's twelve positions, (2, 1) holds a value and (2, 2) is the ancestor of (40, 40): ten roots mark
    // 4 + 16 + 64 + 256 = 340 each. Below (2, 1) the four zero children become roots of 84 each; along the path
    // to (40, 40) each level has three zero siblings: 3 x 84 + 3 x 20 + 3 x 4.
    EXPECT_EQ(markers, 10 * 340 + 4 * 84 + 3 * 84 + 3 * 20 + 3 * 4);
    EXPECT_EQ(plane.At(15, 47), -126); // the last descendant of the root at (0, 2)
    EXPECT_EQ(plane.At(0, 2), 1);      // the root symbol, limit + 1: the all-zero band's limit drops to 0
    EXPECT_EQ(plane.At(40, 40), 3);
}

TEST(ZeroTree, WaveletPlanesRoundTripThroughEveryCoderKind)
{
    std::mt19937 rng(1);
    for (const CoderKind kind : {CoderKind::kSignedBytes, CoderKind::kStatic, CoderKind::kWords}) {
        ImagePlane plane = ZeroPlane(96, 64);
        for (int16_t& v : plane.values)
            v = static_cast<int16_t>(static_cast<int>(rng() % 9) - 4 + (rng() % 50 == 0 ? 60 : 0));
        const ImagePlane source = plane;
        ForwardReversibleTransform(plane, 4);
        // Every band's magnitude stays under the limit, so the byte kinds keep scale 1 too: all three are exact.
        const Coded coded = CodeAndDecode(plane, 4, kind, FlatSettings(125));
        EXPECT_EQ(coded.decoded.values, source.values) << static_cast<int>(kind);
    }
}

// The byte coders carry -L..L+1 in a signed byte; the encoder keeps its limit at 125, so that -126 is only ever
// the descendant marker.
TEST(ZeroTree, ByteLimitStaysBelowTheMarker)
{
    ImagePlane plane = ZeroPlane(32, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            plane.At(x, y) = static_cast<int16_t>((x * 37 + y * 11) % 400 - 200);
    ForwardLossyTransform(plane, 2);
    BandCoder coder(plane, 2, 0, CoderKind::kSignedBytes);
    ASSERT_TRUE(coder.QuantiseAndMark(FlatSettings(126)));
    ArithCoder arith;
    for (int k = 0; k <= 2; ++k) {
        std::vector<uint8_t> level;
        ASSERT_TRUE(coder.EncodeLevel(level, k, arith));
        EXPECT_LE(pf::loadU16le(&level[4]), 125);
    }
}

TEST(MarkerSearch, FindsTheMarkerAroundTheEndAndStaysInsideTheData)
{
    const std::vector<uint8_t> data = {'x', 'c', 'o', 'd', 'y', 'y', 'y', 'y', 'c', 'o', 'd'};
    EXPECT_EQ(PositionAfterMarker(data, 1), 4u);   // at p
    EXPECT_EQ(PositionAfterMarker(data, 2), 4u);   // one before p
    EXPECT_EQ(PositionAfterMarker(data, 5), 4u);   // four before p
    EXPECT_EQ(PositionAfterMarker(data, 0), 4u);   // one after p
    EXPECT_EQ(PositionAfterMarker(data, 7), 11u);  // one after p, at the very end
    EXPECT_EQ(PositionAfterMarker(data, 6), 6u);   // none in reach: continue at p
    EXPECT_EQ(PositionAfterMarker(data, 40), 40u); // past the data: nothing read
    EXPECT_EQ(PositionAfterMarker({}, 0), 0u);
    const std::vector<uint8_t> cut = {'c', 'o'};
    EXPECT_EQ(PositionAfterMarker(cut, 0), 0u);
}

} // namespace
} // namespace cis
