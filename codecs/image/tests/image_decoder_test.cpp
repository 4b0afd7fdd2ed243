#include "codecs/image/image_decoder.h"

#include <gtest/gtest.h>

#include <random>

#include "codecs/image/image_codec.h"
#include "codecs/image/tests/test_pictures.h"
#include "platform/base/endian.h"
#include "testsupport/image/png_image.h"

namespace cis {
namespace {

using testing::Picture;

struct Feed {
    std::vector<int> codes;                   // every code other than 11, in order
    std::vector<std::vector<uint8_t>> frames; // the 3-byte pixels after each 10 and the 0
    size_t bytesAtFirstPreview = 0;
    int last = 0;
};

// Feeds the stream in chunks from `chunkSize` (0: random sizes) and calls DecodeStep until it asks for data.
Feed FeedStream(const std::vector<uint8_t>& stream, size_t chunkSize, uint32_t seed = 1)
{
    Feed feed;
    ImageDecoder decoder(stream);
    std::mt19937 rng(seed);
    size_t received = 0;
    while (true) {
        const size_t chunk = chunkSize != 0 ? chunkSize : 1 + rng() % 200;
        received = std::min(stream.size(), received + chunk);
        decoder.SetBytesReceived(received);
        int code = decoder.DecodeStep();
        while (code == ImageDecoder::kPreview || code == ImageDecoder::kDone) {
            feed.codes.push_back(code);
            if (feed.frames.empty())
                feed.bytesAtFirstPreview = received;
            const std::span<const uint8_t> pixels = decoder.Pixels();
            feed.frames.push_back(testing::DropFourthBytes(pixels.data(), pixels.size() / 4));
            if (code == ImageDecoder::kDone)
                break;
            code = decoder.DecodeStep();
        }
        feed.last = code;
        if (code == ImageDecoder::kDone || code == ImageDecoder::kFailed || received == stream.size())
            break;
    }
    return feed;
}

TEST(ProgressiveDecoder, ByteByByteGivesOnePreviewPerDisplayableLevel)
{
    const Picture p = testing::PhotoLike(128, 100, 1);
    const std::vector<uint8_t> stream = EncodeImage(p.width, p.height, p.pixels, 60);
    ASSERT_EQ(stream[29], 5);
    ImageDecoder decoder(stream);
    for (size_t n = 0; n < 67; ++n) {
        decoder.SetBytesReceived(n);
        ASSERT_EQ(decoder.DecodeStep(), ImageDecoder::kNeedData) << n;
        EXPECT_EQ(decoder.HasHeader(), false);
    }
    const Feed feed = FeedStream(stream, 1);
    EXPECT_EQ(feed.codes, std::vector<int>({10, 10, 10, 10, 0})); // level 0 has five levels missing: no preview
    const uint32_t level0 = pf::loadU32le(&stream[30]);
    const uint32_t level1 = pf::loadU32le(&stream[34]);
    EXPECT_EQ(feed.bytesAtFirstPreview, 67u + level0 + level1);
    EXPECT_EQ(feed.frames.back(), DecodeImage(stream)->pixels);
}

TEST(ProgressiveDecoder, FewerLevelsPreviewFromTheFirstLevel)
{
    const Picture p = testing::Gradient(40, 30);
    const std::vector<uint8_t> stream = EncodeImage(p.width, p.height, p.pixels, 80);
    ASSERT_EQ(stream[29], 3);
    EXPECT_EQ(FeedStream(stream, 1).codes, std::vector<int>({10, 10, 10, 0}));
}

TEST(ProgressiveDecoder, WholeStreamAtOnceTakesTwoSteps)
{
    const Picture p = testing::PhotoLike(160, 120, 2);
    const std::vector<uint8_t> stream = EncodeImage(p.width, p.height, p.pixels, 40);
    ImageDecoder decoder(stream);
    decoder.SetBytesReceived(stream.size());
    EXPECT_EQ(decoder.DecodeStep(), ImageDecoder::kPreview); // levels 0 to 3: three displayable
    EXPECT_EQ(decoder.DecodeStep(), ImageDecoder::kDone);
    EXPECT_EQ(decoder.DecodeStep(), ImageDecoder::kDone);
    EXPECT_EQ(testing::DropFourthBytes(decoder.Pixels().data(), decoder.Pixels().size() / 4),
              DecodeImage(stream)->pixels);
}

TEST(ProgressiveDecoder, RandomChunksEndWithTheOneShotPixels)
{
    for (const auto& [w, h, q] : {std::tuple{128, 100, 30}, std::tuple{75, 46, 90}, std::tuple{23, 23, 0}}) {
        const Picture p = testing::PhotoLike(w, h, static_cast<uint32_t>(q + 3));
        const std::vector<uint8_t> stream = EncodeImage(p.width, p.height, p.pixels, q);
        for (uint32_t seed = 1; seed <= 3; ++seed) {
            const Feed feed = FeedStream(stream, 0, seed);
            ASSERT_EQ(feed.last, ImageDecoder::kDone);
            EXPECT_EQ(feed.frames.back(), DecodeImage(stream)->pixels) << w << "x" << h;
        }
    }
}

TEST(ProgressiveDecoder, PreviewsSharpenPassByPass)
{
    const Picture p = testing::PhotoLike(256, 192, 4);
    const std::vector<uint8_t> stream = EncodeImage(p.width, p.height, p.pixels, 80);
    const Feed feed = FeedStream(stream, 1);
    ASSERT_EQ(feed.frames.size(), 5u);
    double previous = 0.0;
    for (const std::vector<uint8_t>& frame : feed.frames) {
        const double psnr = testsupport::PeakSignalToNoise(frame, feed.frames.back());
        EXPECT_GT(psnr, previous);
        previous = psnr;
    }
    const Picture smooth = testing::Gradient(256, 192);
    const Feed smoothFeed = FeedStream(EncodeImage(smooth.width, smooth.height, smooth.pixels, 80), 64);
    EXPECT_GT(testsupport::PeakSignalToNoise(smoothFeed.frames.front(), smooth.pixels),
              30.0); // the coarsest preview resembles it
}

TEST(ProgressiveDecoder, RawAndPaletteStreamsWaitForTheWholeStream)
{
    const Picture small = testing::Noise(6, 5, 5);
    const std::vector<uint8_t> raw = EncodeImage(small.width, small.height, small.pixels, 50);
    const Picture photo = testing::PhotoLike(64, 64, 6);
    const std::vector<uint8_t> palette = EncodePaletteImage(photo.width, photo.height, photo.pixels, 64);
    for (const std::vector<uint8_t>* stream : {&raw, &palette}) {
        ImageDecoder decoder(*stream);
        for (size_t n = 0; n < stream->size(); n += 7) {
            decoder.SetBytesReceived(n);
            ASSERT_EQ(decoder.DecodeStep(), ImageDecoder::kNeedData);
        }
        decoder.SetBytesReceived(stream->size());
        EXPECT_EQ(decoder.DecodeStep(), ImageDecoder::kDone);
        EXPECT_EQ(testing::DropFourthBytes(decoder.Pixels().data(), decoder.Pixels().size() / 4),
                  DecodeImage(*stream)->pixels);
        for (size_t i = 3; i < decoder.Pixels().size(); i += 4)
            ASSERT_EQ(decoder.Pixels()[i], 0);
    }
}

TEST(ProgressiveDecoder, HeaderLongerThanTheArrivedBytesWaits)
{
    const Picture p = testing::Gradient(50, 50);
    std::vector<uint8_t> stream = EncodeImage(p.width, p.height, p.pixels, 50);
    pf::storeU16le(&stream[8], 400); // longer than what arrives, shorter than the buffer
    ImageDecoder decoder(stream);
    decoder.SetBytesReceived(399);
    EXPECT_EQ(decoder.DecodeStep(), ImageDecoder::kNeedData);
    EXPECT_EQ(decoder.DecodeStep(), ImageDecoder::kNeedData);
    EXPECT_FALSE(decoder.HasHeader());
}

TEST(ProgressiveDecoder, CallersOutputIsUsedAndMustBeLargeEnough)
{
    const Picture p = testing::Gradient(30, 20);
    const std::vector<uint8_t> stream = EncodeImage(p.width, p.height, p.pixels, 50);
    std::vector<uint8_t> output(30 * 20 * 4, 0xEE);
    ImageDecoder decoder(stream, output);
    decoder.SetBytesReceived(stream.size());
    int code = decoder.DecodeStep();
    while (code == ImageDecoder::kPreview)
        code = decoder.DecodeStep();
    EXPECT_EQ(code, ImageDecoder::kDone);
    EXPECT_EQ(decoder.Pixels().data(), output.data());
    EXPECT_EQ(testing::DropFourthBytes(output.data(), 600), DecodeImage(stream)->pixels);

    std::vector<uint8_t> tooSmall(30 * 20 * 4 - 1);
    ImageDecoder refused(stream, tooSmall);
    refused.SetBytesReceived(stream.size());
    EXPECT_EQ(refused.DecodeStep(), ImageDecoder::kFailed);
    EXPECT_EQ(refused.DecodeStep(), ImageDecoder::kFailed);
}

} // namespace
} // namespace cis
