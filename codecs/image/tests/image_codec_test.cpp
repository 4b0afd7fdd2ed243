#include "codecs/image/image_codec.h"

#include <gtest/gtest.h>

#include "codecs/image/cis_header.h"
#include "codecs/image/tests/test_pictures.h"
#include "platform/base/endian.h"
#include "testsupport/image/png_image.h"

namespace cis {
namespace {

using testing::Picture;

std::vector<uint8_t> Encode(const Picture& p, int quality)
{
    return EncodeImage(p.width, p.height, p.pixels, quality);
}

DecodedImage DecodeOrFail(const std::vector<uint8_t>& stream)
{
    std::optional<DecodedImage> decoded = DecodeImage(stream);
    EXPECT_TRUE(decoded.has_value());
    return decoded.value_or(DecodedImage{});
}

TEST(CisStreamLayout, ColourHeaderOfFiveLevelsIs67Bytes)
{
    const Picture p = testing::PhotoLike(100, 100, 1);
    const std::vector<uint8_t> s = Encode(p, 50);
    ASSERT_GT(s.size(), 67u);
    EXPECT_EQ(std::string(s.begin(), s.begin() + 8), std::string("CIS3.0\n\0", 8));
    EXPECT_EQ(pf::loadU16le(&s[8]), 67);
    EXPECT_EQ(67 + pf::loadU32le(&s[10]), s.size());
    EXPECT_EQ(pf::loadU16le(&s[14]), 0);
    EXPECT_EQ(pf::loadU16le(&s[16]), 100);
    EXPECT_EQ(pf::loadU16le(&s[18]), 100);
    EXPECT_EQ(s[20], 24); // bits per pixel
    EXPECT_EQ(s[21], 1);  // colour
    EXPECT_EQ(s[22], 0);
    EXPECT_EQ(s[23], 0);
    EXPECT_EQ(s[24], 1); // adaptive signed bytes
    EXPECT_EQ(s[25], 1); // wavelet
    EXPECT_EQ(s[26], 1);
    EXPECT_EQ(s[27], 1);
    EXPECT_EQ(s[28], 1);
    EXPECT_EQ(s[29], 5);
    uint64_t levels = 0;
    for (size_t k = 0; k <= 5; ++k) {
        EXPECT_GT(pf::loadU32le(&s[30 + 4 * k]), 0u);
        levels += pf::loadU32le(&s[30 + 4 * k]);
    }
    EXPECT_EQ(levels, pf::loadU32le(&s[10]));
    for (size_t i = 54; i < 67; ++i)
        EXPECT_EQ(s[i], 0) << i; // no dropped levels, no subsampling, reserved
    // The first band: header (max, min, limit), then its run, and every band ends in "cod".
    EXPECT_EQ(std::string(s.end() - 3, s.end()), "cod");
}

TEST(CisStreamLayout, SmallPicturesAndQuality100AreRaw)
{
    for (const auto& [p, quality] :
         {std::pair{testing::Noise(6, 6, 1), 50}, std::pair{testing::Noise(40, 9, 2), 100}}) {
        const std::vector<uint8_t> s = Encode(p, quality);
        ASSERT_GT(s.size(), 60u);
        EXPECT_EQ(pf::loadU16le(&s[8]), 60);
        EXPECT_EQ(60 + pf::loadU32le(&s[10]), s.size());
        EXPECT_EQ(s[20], 24);
        EXPECT_EQ(s[21], 1);
        EXPECT_EQ(s[24], 2);
        for (size_t i = 25; i < 60; ++i)
            EXPECT_EQ(s[i], 0) << i;
        EXPECT_EQ(DecodeOrFail(s).pixels, p.pixels);
    }
}

TEST(CisStreamLayout, OnePixelIsThreeOneByteRuns)
{
    const Picture p = testing::Solid(1, 1, 1, 2, 3);
    const std::vector<uint8_t> s = Encode(p, 0);
    ASSERT_EQ(s[24], 2);
    int markers = 0;
    for (size_t i = 60; i + 3 <= s.size(); ++i)
        markers +=
            std::string(s.begin() + static_cast<ptrdiff_t>(i), s.begin() + static_cast<ptrdiff_t>(i) + 3) == "cod";
    EXPECT_EQ(markers, 3);
    EXPECT_EQ(DecodeOrFail(s).pixels, p.pixels);
}

TEST(CisStreamLayout, LevelCountFollowsTheSmallerSide)
{
    EXPECT_EQ(LevelCountForSize(100, 100), 5);
    EXPECT_EQ(LevelCountForSize(99, 200), 4);
    EXPECT_EQ(LevelCountForSize(45, 45), 4);
    EXPECT_EQ(LevelCountForSize(44, 45), 3);
    EXPECT_EQ(LevelCountForSize(23, 23), 3);
    EXPECT_EQ(LevelCountForSize(22, 23), 2);
    EXPECT_EQ(LevelCountForSize(12, 12), 2);
    EXPECT_EQ(LevelCountForSize(11, 12), 1);
    EXPECT_EQ(LevelCountForSize(7, 7), 1);
    EXPECT_EQ(LevelCountForSize(6, 600), 0);
    const Picture tall = testing::Gradient(99, 200);
    EXPECT_EQ(Encode(tall, 40)[29], 4);
}

TEST(ImageRoundTrip, EverySizeDecodesToItsOwnDimensions)
{
    const std::pair<int, int> sizes[] = {{1, 1},    {6, 6},   {7, 7},   {11, 12},  {12, 12},   {22, 23},
                                         {23, 23},  {44, 45}, {45, 45}, {99, 200}, {100, 100}, {13, 9},
                                         {101, 37}, {130, 7}, {3, 130}, {67, 129}};
    for (const auto& [w, h] : sizes) {
        const Picture p = testing::PhotoLike(w, h, static_cast<uint32_t>(w + h));
        for (const int quality : {0, 45, 99}) {
            SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " q" + std::to_string(quality));
            const std::vector<uint8_t> stream = Encode(p, quality);
            ASSERT_FALSE(stream.empty());
            const DecodedImage decoded = DecodeOrFail(stream);
            EXPECT_EQ(decoded.width, w);
            EXPECT_EQ(decoded.height, h);
            ASSERT_EQ(decoded.pixels.size(), p.pixels.size());
            if (LevelCountForSize(w, h) == 0) {
                EXPECT_EQ(decoded.pixels, p.pixels);
            } else if (quality == 99) {
                EXPECT_GT(testsupport::PeakSignalToNoise(decoded.pixels, p.pixels), 30.0);
            }
        }
    }
}

TEST(ImageRoundTrip, Quality100IsBitExact)
{
    for (const Picture& p : {testing::PhotoLike(120, 80, 3), testing::Noise(64, 64, 4), testing::TextLike(50, 33),
                             testing::Gradient(256, 3)}) {
        EXPECT_EQ(DecodeOrFail(Encode(p, 100)).pixels, p.pixels);
    }
}

TEST(ImageRoundTrip, PsnrDoesNotFallAsQualityRises)
{
    for (const Picture& p :
         {testing::PhotoLike(160, 120, 5), testing::TextLike(128, 128), testing::Gradient(100, 100)}) {
        double previous = 0.0;
        size_t previousSize = 0;
        for (const int quality : {0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 99}) {
            const std::vector<uint8_t> stream = Encode(p, quality);
            const double psnr = testsupport::PeakSignalToNoise(DecodeOrFail(stream).pixels, p.pixels);
            EXPECT_GE(psnr, previous - 0.3) << "quality " << quality;
            EXPECT_GE(stream.size() + 16, previousSize) << "quality " << quality;
            previous = psnr;
            previousSize = stream.size();
        }
    }
}

TEST(ImageRoundTrip, EncoderIsDeterministicAndSizesArePinned)
{
    const Picture photo = testing::PhotoLike(160, 120, 5);
    const Picture text = testing::TextLike(128, 128);
    EXPECT_EQ(Encode(photo, 50), Encode(photo, 50));
    // Golden sizes: any change to the coder, the tables or the transforms shows here.
    EXPECT_EQ(Encode(photo, 0).size(), 847u);
    EXPECT_EQ(Encode(photo, 50).size(), 2250u);
    EXPECT_EQ(Encode(photo, 99).size(), 26709u);
    EXPECT_EQ(Encode(text, 30).size(), 3873u);
    EXPECT_EQ(Encode(text, 100).size(), 4680u);
}

TEST(ImageRoundTrip, IncompressibleLargePictureGrowsTheOutput)
{
    // From about 512 x 512 up, noise costs more than the width x height x 3 + 1024 bytes a fixed buffer would hold.
    const Picture noise = testing::Noise(512, 512, 6);
    for (const int quality : {99, 100}) {
        const std::vector<uint8_t> stream = Encode(noise, quality);
        ASSERT_FALSE(stream.empty());
        if (quality == 100) {
            EXPECT_GT(stream.size(), noise.pixels.size() + 1024);
        }
        const DecodedImage decoded = DecodeOrFail(stream);
        if (quality == 100) {
            EXPECT_EQ(decoded.pixels, noise.pixels);
        } else {
            EXPECT_EQ(decoded.pixels.size(), noise.pixels.size());
        }
    }
}

TEST(ImageEncoderArguments, RefusesSizesTheHeaderCannotHold)
{
    const Picture p = testing::Solid(4, 4, 1, 2, 3);
    EXPECT_TRUE(EncodeImage(0, 4, p.pixels, 50).empty());
    EXPECT_TRUE(EncodeImage(4, 0, p.pixels, 50).empty());
    EXPECT_TRUE(EncodeImage(-4, 4, p.pixels, 50).empty());
    EXPECT_TRUE(EncodeImage(65536, 1, std::vector<uint8_t>(65536 * 3), 50).empty());
    EXPECT_TRUE(EncodeImage(5, 4, p.pixels, 50).empty()); // fewer pixels than the size says
    // Qualities beyond the range are clamped, not refused.
    const Picture q = testing::PhotoLike(64, 64, 7);
    EXPECT_EQ(EncodeImage(64, 64, q.pixels, -20), EncodeImage(64, 64, q.pixels, 0));
    EXPECT_EQ(EncodeImage(64, 64, q.pixels, 250), EncodeImage(64, 64, q.pixels, 100));
}

} // namespace
} // namespace cis
