// Streams the encoder of EncodeImage never writes but both decoders must read.
#include <gtest/gtest.h>

#include "codecs/image/image_codec.h"
#include "codecs/image/image_decoder.h"
#include "codecs/image/raw_stream.h"
#include "codecs/image/tests/test_pictures.h"
#include "platform/base/endian.h"
#include "testsupport/image/png_image.h"

namespace cis {
namespace {

using testing::Picture;

std::vector<uint8_t> Variant(const Picture& p, const WaveletOptions& options)
{
    std::vector<uint8_t> stream = EncodeWaveletImage(p.width, p.height, p.pixels, options);
    EXPECT_FALSE(stream.empty());
    return stream;
}

// The one-shot pixels, after checking that the progressive decoder fed in odd chunks ends with the same ones.
std::vector<uint8_t> DecodeBothWays(const std::vector<uint8_t>& stream)
{
    const std::optional<DecodedImage> once = DecodeImage(stream);
    EXPECT_TRUE(once.has_value());
    if (!once)
        return {};
    ImageDecoder decoder(stream);
    int code = ImageDecoder::kNeedData;
    for (size_t received = 0; code != ImageDecoder::kDone && code != ImageDecoder::kFailed;) {
        if (code == ImageDecoder::kNeedData) {
            received = std::min(stream.size(), received + 37);
            decoder.SetBytesReceived(received);
        }
        code = decoder.DecodeStep();
    }
    EXPECT_EQ(code, ImageDecoder::kDone);
    const std::span<const uint8_t> pixels = decoder.Pixels();
    EXPECT_EQ(testing::DropFourthBytes(pixels.data(), pixels.size() / 4), once->pixels);
    return once->pixels;
}

PalettePicture SomePalettePicture(int width, int height, int colours)
{
    PalettePicture picture;
    picture.width = width;
    picture.height = height;
    for (int c = 0; c < colours; ++c) {
        picture.palette.push_back(static_cast<uint8_t>(c * 7));
        picture.palette.push_back(static_cast<uint8_t>(255 - c));
        picture.palette.push_back(static_cast<uint8_t>(c * 3 + 1));
    }
    for (int i = 0; i < width * height; ++i)
        picture.indices.push_back(static_cast<uint8_t>((i * 31 + i / width) % colours));
    return picture;
}

TEST(WaveletVariants, ReversibleTransformWithWordCoderIsLossless)
{
    for (const Picture& p : {testing::PhotoLike(100, 100, 1), testing::Noise(47, 30, 2), testing::TextLike(12, 13)}) {
        WaveletOptions options;
        options.reversible = true;
        options.coderKind = CoderKind::kWords;
        const std::vector<uint8_t> stream = Variant(p, options);
        EXPECT_EQ(stream[24], 3);
        EXPECT_EQ(stream[25], 2);
        EXPECT_EQ(DecodeBothWays(stream), p.pixels);
    }
}

TEST(WaveletVariants, WordCoderOnTheLossyTransformIsNearLossless)
{
    const Picture p = testing::PhotoLike(128, 100, 3);
    WaveletOptions options;
    options.coderKind = CoderKind::kWords;
    EXPECT_GT(testsupport::PeakSignalToNoise(DecodeBothWays(Variant(p, options)), p.pixels), 40.0);
}

TEST(WaveletVariants, StaticModelMatchesTheAdaptiveQuality)
{
    const Picture p = testing::PhotoLike(128, 100, 4);
    WaveletOptions options;
    options.quality = 70;
    const std::vector<uint8_t> adaptive = Variant(p, options);
    options.coderKind = CoderKind::kStatic;
    const std::vector<uint8_t> fixed = Variant(p, options);
    EXPECT_EQ(fixed[24], 5);
    // The same quantised values, only coded differently: the pixels agree exactly.
    EXPECT_EQ(DecodeBothWays(fixed), DecodeImage(adaptive)->pixels);
}

TEST(WaveletVariants, SubsampledChromaDecodesAndPreviews)
{
    for (const auto& [w, h] : {std::pair{100, 100}, std::pair{61, 47}, std::pair{15, 12}}) {
        const Picture p = testing::PhotoLike(w, h, 5);
        WaveletOptions options;
        options.quality = 90;
        options.chromaShift = 1;
        const std::vector<uint8_t> stream = Variant(p, options);
        const int planesOffset = 30 + 4 * (stream[29] + 1);
        EXPECT_EQ(stream[static_cast<size_t>(planesOffset + 1)], 0);
        EXPECT_EQ(stream[static_cast<size_t>(planesOffset + 3)], 1);
        EXPECT_EQ(stream[static_cast<size_t>(planesOffset + 5)], 1);
        EXPECT_GT(testsupport::PeakSignalToNoise(DecodeBothWays(stream), p.pixels), 25.0) << w << "x" << h;
    }
}

TEST(WaveletVariants, DroppedLevelsAreInterpolated)
{
    const Picture p = testing::Gradient(120, 100);
    WaveletOptions options;
    options.quality = 90;
    options.droppedLevels = {1, 2, 2};
    const std::vector<uint8_t> dropped = Variant(p, options);
    EXPECT_EQ(dropped[29 + 4 * 6 + 1], 1);
    EXPECT_EQ(pf::loadU32le(&dropped[30 + 4 * 5]), 0u); // nothing of the finest level is stored
    EXPECT_GT(testsupport::PeakSignalToNoise(DecodeBothWays(dropped), p.pixels), 30.0);

    WaveletOptions reversible;
    reversible.reversible = true;
    reversible.coderKind = CoderKind::kWords;
    reversible.droppedLevels = {1, 1, 1};
    EXPECT_GT(testsupport::PeakSignalToNoise(DecodeBothWays(Variant(p, reversible)), p.pixels), 30.0);
}

TEST(WaveletVariants, GreyStreamDecodesToEqualChannels)
{
    const Picture p = testing::PhotoLike(90, 64, 6);
    WaveletOptions options;
    options.grey = true;
    options.quality = 99;
    const std::vector<uint8_t> stream = Variant(p, options);
    EXPECT_EQ(stream[21], 0);
    EXPECT_EQ(stream[20], 8);
    const std::vector<uint8_t> pixels = DecodeBothWays(stream);
    ASSERT_EQ(pixels.size(), p.pixels.size());
    double error = 0.0;
    for (size_t i = 0; i < pixels.size(); i += 3) {
        ASSERT_EQ(pixels[i], pixels[i + 1]);
        ASSERT_EQ(pixels[i], pixels[i + 2]);
        error += std::abs(int{pixels[i + 1]} - int{p.pixels[i + 1]});
    }
    EXPECT_LT(error / static_cast<double>(pixels.size() / 3), 3.0); // the green bytes, closely
}

TEST(RawVariants, GreyRunHasNoMarkerAndDecodesExactly)
{
    std::vector<uint8_t> grey(33 * 5);
    for (size_t i = 0; i < grey.size(); ++i)
        grey[i] = static_cast<uint8_t>(i * 13);
    const std::vector<uint8_t> stream = EncodeRawGrey(33, 5, grey);
    ASSERT_FALSE(stream.empty());
    EXPECT_NE(std::string(stream.end() - 3, stream.end()), "cod");
    const std::vector<uint8_t> pixels = DecodeBothWays(stream);
    for (size_t i = 0; i < grey.size(); ++i) {
        EXPECT_EQ(pixels[3 * i], grey[i]);
        EXPECT_EQ(pixels[3 * i + 2], grey[i]);
    }
}

TEST(RawVariants, RawPaletteKeepsPaletteAndIndices)
{
    const PalettePicture picture = SomePalettePicture(21, 17, 40);
    const std::vector<uint8_t> stream = EncodeRawPalette(picture);
    ASSERT_FALSE(stream.empty());
    EXPECT_EQ(stream[20], 8);
    const std::optional<PalettePicture> back = DecodePalettePicture(stream);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->palette, picture.palette);
    EXPECT_EQ(back->indices, picture.indices);
    const std::vector<uint8_t> pixels = DecodeBothWays(stream);
    EXPECT_EQ(pixels[0], picture.palette[3 * size_t{picture.indices[0]}]);
}

TEST(PaletteStream, PyramidChunksKeepPaletteAndIndices)
{
    for (const auto& [w, h, depth] :
         {std::tuple{3, 3, 1}, std::tuple{100, 64, 5}, std::tuple{1, 9, 3}, std::tuple{17, 2, 4}}) {
        const PalettePicture picture = SomePalettePicture(w, h, 256);
        const std::vector<uint8_t> stream = EncodePaletteStream(picture, depth);
        ASSERT_FALSE(stream.empty());
        EXPECT_EQ(stream[20], 0); // 256 colours
        EXPECT_EQ(stream[25], 100);
        EXPECT_EQ(stream[29], depth);
        const std::optional<PalettePicture> back = DecodePalettePicture(stream);
        ASSERT_TRUE(back.has_value()) << w << "x" << h;
        EXPECT_EQ(back->Colours(), 256);
        EXPECT_EQ(back->palette, picture.palette);
        EXPECT_EQ(back->indices, picture.indices);
        DecodeBothWays(stream);
    }
}

TEST(PaletteStream, SplitStepOrderOnThreeByThree)
{
    std::vector<uint8_t> indices = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    SplitPyramidStep(indices, 3, 3);
    EXPECT_EQ(indices, std::vector<uint8_t>({0, 2, 6, 8, 1, 7, 3, 4, 5}));
    MergePyramidStep(indices, 3, 3);
    EXPECT_EQ(indices, std::vector<uint8_t>({0, 1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(PaletteStream, MedianCutEncoderStaysCloseToThePicture)
{
    const Picture p = testing::PhotoLike(120, 90, 7);
    const std::vector<uint8_t> stream = EncodePaletteImage(p.width, p.height, p.pixels, 256);
    ASSERT_FALSE(stream.empty());
    EXPECT_GT(testsupport::PeakSignalToNoise(DecodeBothWays(stream), p.pixels), 28.0);
    const Picture two = testing::Solid(30, 30, 9, 99, 199);
    const std::optional<PalettePicture> single = DecodePalettePicture(EncodePaletteImage(30, 30, two.pixels, 16));
    ASSERT_TRUE(single.has_value());
    EXPECT_EQ(single->Colours(), 1);
}

} // namespace
} // namespace cis
