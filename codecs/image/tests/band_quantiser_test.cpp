#include "codecs/image/band_quantiser.h"

#include <gtest/gtest.h>

#include "codecs/image/quality_tables.h"

namespace cis {
namespace {

// Position-weighted sums over plane, row and entry, taken from the published tables when they were transcribed.
TEST(QualityTables, ChecksumsMatchTheTranscription)
{
    uint64_t limits = 0;
    uint64_t weight = 0;
    for (const auto& plane : kLimitTable)
        for (const auto& row : plane)
            for (const uint16_t v : row)
                limits += v * ++weight;
    EXPECT_EQ(limits, 6841158u);
    uint64_t thresholds = 0;
    weight = 0;
    for (const auto& plane : kThresholdTable)
        for (const auto& row : plane)
            for (const uint16_t v : row)
                thresholds += v * ++weight;
    EXPECT_EQ(thresholds, 4009854u);
}

TEST(QualitySettings, InterpolatesBetweenRows)
{
    const EncoderSettings q55 = SettingsFromQuality(55, 5);
    EXPECT_EQ(q55.planes[0].limits[6], 22);     // 20 + trunc(4 x 5 / 10)
    EXPECT_EQ(q55.planes[1].thresholds[0], 23); // I: 26 + trunc(-6 x 5 / 10) = 23
    EXPECT_EQ(q55.planes[0].thresholds[0], 22); // Y: 25 + trunc(-6 x 5 / 10) = 22
    const EncoderSettings q37 = SettingsFromQuality(37, 5);
    EXPECT_EQ(q37.planes[0].limits[8], 13 + (16 - 13) * 7 / 10);
    EXPECT_EQ(q37.planes[0].thresholds[3], 32 + (25 - 32) * 7 / 10); // a negative step truncates toward zero
}

TEST(QualitySettings, Quality99IsLimit100WithoutDeadZone)
{
    const EncoderSettings settings = SettingsFromQuality(99, 5);
    for (const PlaneSettings& plane : settings.planes) {
        for (int e = 0; e < 18; ++e) {
            EXPECT_EQ(plane.limits[static_cast<size_t>(e)], 100);
            EXPECT_EQ(plane.thresholds[static_cast<size_t>(e)], 0);
        }
        EXPECT_EQ(plane.droppedLevels, 0);
        EXPECT_EQ(plane.chromaShift, 0);
    }
}

TEST(QualitySettings, OutOfRangeQualitiesAreClamped)
{
    const EncoderSettings low = SettingsFromQuality(-40, 3);
    const EncoderSettings zero = SettingsFromQuality(0, 3);
    EXPECT_EQ(low.quality, 0);
    EXPECT_EQ(low.planes[0].limits, zero.planes[0].limits);
    EXPECT_EQ(low.planes[2].thresholds, zero.planes[2].thresholds);
    EXPECT_EQ(SettingsFromQuality(1000, 3).quality, 100);
    // Only the entries of the level count are filled.
    EXPECT_EQ(zero.planes[0].limits[12], 0);
    EXPECT_EQ(zero.planes[0].limits[11], 6);
}

TEST(BandLimit, AdjustsToTheLargerMagnitude)
{
    const BandHeader a = AdjustBandLimit(40, -10, 30); // above 10 only: the small side mirrors the large one
    EXPECT_EQ(a.maximum, 40);
    EXPECT_EQ(a.minimum, -40);
    EXPECT_EQ(a.limit, 30);
    const BandHeader b = AdjustBandLimit(20, -5, 30); // above both: the limit drops to 20
    EXPECT_EQ(b.maximum, 20);
    EXPECT_EQ(b.minimum, -20);
    EXPECT_EQ(b.limit, 20);
    const BandHeader c = AdjustBandLimit(-3, -50, 30); // an all-negative band mirrors its minimum
    EXPECT_EQ(c.maximum, 50);
    EXPECT_EQ(c.limit, 30);
    const BandHeader d = AdjustBandLimit(60, -70, 30); // below both: unchanged
    EXPECT_EQ(d.maximum, 60);
    EXPECT_EQ(d.minimum, -70);
    EXPECT_EQ(d.limit, 30);
    const BandHeader zero = AdjustBandLimit(0, 0, 30);
    EXPECT_EQ(zero.limit, 0);
}

TEST(BandQuantiser, ScalesToTheLimitAndRestoresApproximately)
{
    ImagePlane plane{4, 2, {40, -10, 20, 3, -40, 0, 1, 30}};
    const BandHeader header = QuantiseBand(plane, BandRegion{0, 0, 4, 2}, 30, 2);
    EXPECT_EQ(header.maximum, 40);
    EXPECT_EQ(header.minimum, -40);
    EXPECT_EQ(header.limit, 30);
    // 40 x 0.75 = 30; -10 x 0.75 - 0.5 = -8; 1 is under the threshold.
    EXPECT_EQ(plane.values, std::vector<int16_t>({30, -8, 15, 2, -30, 0, 0, 23}));
    const BandDequantiser dequantiser(header);
    EXPECT_EQ(dequantiser.Value(30), 40);
    EXPECT_EQ(dequantiser.Value(-8), -10);
    EXPECT_EQ(dequantiser.Value(15), 20);
    EXPECT_EQ(dequantiser.Value(0), 0);
}

TEST(BandQuantiser, AllZeroBandGetsLimitZeroAndDecodesToZeros)
{
    ImagePlane plane{3, 1, {0, 0, 0}};
    const BandHeader header = QuantiseBand(plane, BandRegion{0, 0, 3, 1}, 40, 0);
    EXPECT_EQ(header.maximum, 0);
    EXPECT_EQ(header.minimum, 0);
    EXPECT_EQ(header.limit, 0);
    // A damaged header with limit 0 and non-zero extremes must not divide by zero.
    const BandDequantiser dequantiser(BandHeader{100, -100, 0});
    EXPECT_EQ(dequantiser.Value(5), 0);
    EXPECT_EQ(dequantiser.Value(-5), 0);
}

} // namespace
} // namespace cis
