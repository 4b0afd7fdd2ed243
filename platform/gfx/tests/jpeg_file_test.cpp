#include "platform/gfx/jpeg_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace {

using Bytes = std::vector<uint8_t>;

// A picture with a smooth gradient and a flat block, so the round trip is checked against colours that survive the
// codec's rounding.
Bytes EncodedSample(int width, int height, int quality = 95)
{
    pf::Surface32 surface(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t red = static_cast<uint32_t>(x * 255 / std::max(1, width - 1));
            surface.setPixel(x, y, 0xFF000000u | red << 16 | 0x40u << 8 | 0xC0u);
        }
    }
    std::string error;
    const std::optional<Bytes> bytes = pf::encodeJpeg(surface, quality, error);
    EXPECT_TRUE(bytes.has_value()) << error;
    return bytes.value_or(Bytes());
}

// The frame header's height and width (big-endian, after the marker, length and precision).
size_t FrameHeader(const Bytes& jpeg)
{
    for (size_t i = 0; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2))
            return i + 5;
    }
    return 0;
}

std::string ScratchPath(const std::string& name)
{
    return (std::filesystem::temp_directory_path() / ("jpeg_test_" + std::to_string(getpid()) + "_" + name)).string();
}

TEST(JpegFile, WrittenPicturesReadBackWithTheirSizeAndColours)
{
    const Bytes jpeg = EncodedSample(37, 21);
    std::string error;
    const std::optional<pf::JpegImage> image = pf::readJpegBytes(jpeg, {}, error);
    ASSERT_TRUE(image.has_value()) << error;
    EXPECT_EQ(image->width, 37);
    EXPECT_EQ(image->height, 21);
    ASSERT_EQ(image->pixels.size(), 37u * 21u);
    for (const int x : {0, 18, 36}) {
        const uint32_t pixel = image->pixels[10 * 37 + x];
        EXPECT_EQ(pixel >> 24, 0xFFu);
        EXPECT_NEAR(static_cast<int>(pixel >> 16 & 0xFF), x * 255 / 36, 12);
        EXPECT_NEAR(static_cast<int>(pixel >> 8 & 0xFF), 0x40, 12);
        EXPECT_NEAR(static_cast<int>(pixel & 0xFF), 0xC0, 12);
    }

    const std::string path = ScratchPath("written.jpg");
    pf::Surface32 surface(8, 8);
    surface.fill(0xFF102030u);
    ASSERT_TRUE(pf::writeJpegFile(path, surface, 100, error)) << error;
    const std::optional<pf::JpegImage> again = pf::readJpegFile(path, {}, error);
    std::filesystem::remove(path);
    ASSERT_TRUE(again.has_value()) << error;
    EXPECT_EQ(again->width, 8);
    EXPECT_NEAR(static_cast<int>(again->pixels[27] >> 16 & 0xFF), 0x10, 4);
}

TEST(JpegFile, DamagedCutAndOversizedFilesAreRefusedWithACause)
{
    const Bytes jpeg = EncodedSample(64, 48);
    const size_t frame = FrameHeader(jpeg);
    ASSERT_NE(frame, 0u);
    Bytes huge = jpeg;
    huge[frame] = 60000 >> 8; // height
    huge[frame + 1] = 60000 & 0xFF;
    huge[frame + 2] = 60000 >> 8; // width
    huge[frame + 3] = 60000 & 0xFF;
    Bytes small = jpeg;
    pf::JpegReadOptions tight;
    tight.maxPixels = 64 * 48 - 1;
    const struct {
        const char* what;
        Bytes bytes;
        pf::JpegReadOptions options;
    } cases[] = {
        {"empty", {}, {}},
        {"not a jpeg", {'P', 'N', 'G', 0, 1, 2, 3}, {}},
        {"cut after the header", Bytes(jpeg.begin(), jpeg.begin() + static_cast<ptrdiff_t>(frame + 40)), {}},
        {"cut in the scan", Bytes(jpeg.begin(), jpeg.end() - 200), {}},
        {"claims 60000 x 60000", huge, {}},
        {"one pixel over the caller's limit", small, tight},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string error;
        EXPECT_FALSE(pf::readJpegBytes(c.bytes, c.options, error).has_value());
        EXPECT_FALSE(error.empty());
    }
    std::string error;
    EXPECT_FALSE(pf::readJpegFile(std::filesystem::temp_directory_path().string(), {}, error).has_value());
    EXPECT_NE(error.find("folder"), std::string::npos) << error;
    pf::Surface32 empty(0, 0);
    EXPECT_FALSE(pf::encodeJpeg(empty, 50, error).has_value());
}

} // namespace
