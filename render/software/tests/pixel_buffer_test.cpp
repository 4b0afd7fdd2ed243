#include "render/software/pixel_buffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/resources/background.h"
#include "engine/resources/image32.h"

namespace {

std::unique_ptr<SWbackground> ImageBackground(const std::vector<uint32_t>& pixels, int32_t width, int32_t height,
                                              bool stretch)
{
    return SWbackground::SWbackgroundFromTexture(SWimage32::SWimage32FromPixels("back", width, height, pixels.data()),
                                                 stretch ? SWbackground::kModeStretch : SWbackground::kModeTile);
}

std::vector<uint32_t> Pattern(int32_t width, int32_t height)
{
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            pixels[static_cast<size_t>(y) * width + x] =
                static_cast<uint32_t>((x * 7 + 1) << 16 | (y * 5 + 3) << 8 | (x ^ y));
    return pixels;
}

// The background pixel that buffer pixel (x, y) shows: the integer part of (k + 0.5) x scale x size, exactly.
uint32_t ExpectedBackground(const std::vector<uint32_t>& image, int32_t iw, int32_t ih, int32_t bw, int32_t bh,
                            int32_t repeat, bool stretch, int32_t x, int32_t y)
{
    const int64_t kx = x / repeat, ky = y / repeat;
    const int64_t column = stretch ? static_cast<int64_t>((kx + 0.5L) * repeat * iw / bw) % iw : kx % iw;
    const int64_t row = stretch ? static_cast<int64_t>((ky + 0.5L) * repeat * ih / bh) % ih : ky % ih;
    return image[static_cast<size_t>(row * iw + column)] & 0xFFFFFF;
}

TEST(PixelBufferSize, BlockShiftCoversTheRowWithThirtyTwoBlocks)
{
    SWpixelbuffer buffer;
    ASSERT_TRUE(buffer.SetSize(640, 4));
    EXPECT_EQ(buffer.BlockShift(), 5u);
    EXPECT_EQ(buffer.Depth().BlockShift(), 5u);
    ASSERT_TRUE(buffer.SetSize(32, 4));
    EXPECT_EQ(buffer.BlockShift(), 0u);
    ASSERT_TRUE(buffer.SetSize(1025, 1));
    EXPECT_EQ(buffer.BlockShift(), 6u);
    std::vector<uint32_t> image(100 * 10);
    ASSERT_TRUE(buffer.AttachPixels(image.data(), 100, 10));
    EXPECT_EQ(buffer.BlockShift(), 3u);
    EXPECT_EQ(buffer.Depth().BlockShift(), 3u); // one block width for both buffers
    EXPECT_TRUE(buffer.IsAttached());
}

TEST(PixelBufferSize, RefusedSizesAllocateNothingAndKeepTheBuffer)
{
    SWpixelbuffer buffer;
    ASSERT_TRUE(buffer.SetSize(8, 8));
    for (const auto& [w, h] : {std::pair{65536, 1}, std::pair{1, 65536}, std::pair{20000, 20000}}) {
        EXPECT_FALSE(buffer.SetSize(w, h)) << w << " x " << h;
        EXPECT_EQ(buffer.Width(), 8);
        uint32_t one = 0;
        EXPECT_FALSE(buffer.AttachPixels(&one, w, h));
    }
    EXPECT_FALSE(buffer.AttachPixels(nullptr, 4, 4));
    EXPECT_TRUE(buffer.SetSize(0, 5)); // empty, not refused
    EXPECT_EQ(buffer.Width(), 0);
    EXPECT_EQ(buffer.Height(), 0);
    buffer.Refresh(true);
}

TEST(PixelBufferRefresh, ClearsWhatTheLastTwoFramesDrewAndNothingElse)
{
    SWpixelbuffer buffer;
    ASSERT_TRUE(buffer.SetSize(64, 2)); // blocks of 2
    buffer.Refresh(false);              // the resize's full redraw has been presented
    buffer.Refresh(false);
    std::fill_n(buffer.Row(0), 64, 0xABCDEFu); // sentinels everywhere
    buffer.CurrentMask(0) = 0b100;             // this frame drew pixels 4 and 5
    buffer.Refresh(false);
    EXPECT_EQ(buffer.Row(0)[4], 0u);
    EXPECT_EQ(buffer.Row(0)[3], 0xABCDEFu);
    EXPECT_EQ(buffer.PreviousMask(0), 0b100u); // masks rotate
    EXPECT_EQ(buffer.CurrentMask(0), 0u);
    buffer.Row(0)[4] = 0xABCDEFu;
    buffer.Refresh(false); // a frame that drew nothing still clears what the frame before drew
    EXPECT_EQ(buffer.Row(0)[4], 0u);
    EXPECT_EQ(buffer.Row(0)[6], 0xABCDEFu);
    EXPECT_EQ(buffer.PreviousMask(0), 0u);
    buffer.Row(0)[4] = 0xABCDEFu;
    buffer.Refresh(false);
    EXPECT_EQ(buffer.Row(0)[4], 0xABCDEFu);
    buffer.Refresh(true); // force clears everything and marks it all drawn
    EXPECT_EQ(buffer.Row(0)[63], 0u);
    EXPECT_EQ(buffer.CurrentMask(1), ~0u);
}

TEST(PixelBufferRefresh, MarksEveryDepthRowForClearing)
{
    SWpixelbuffer buffer;
    ASSERT_TRUE(buffer.SetSize(64, 2));
    SWdepthbuffer& depth = buffer.Depth();
    depth.Span() = {5.0f, 0.0f, 0, 64, 1};
    depth.SetColumnMask(~0u);
    ASSERT_TRUE(depth.TestAndWrite());
    EXPECT_EQ(depth.ClearMask(1), 0u);
    buffer.Refresh(false);
    EXPECT_EQ(depth.ClearMask(1), ~0u);
}

TEST(PixelBufferHalve, AveragesFourPixelsInTheBlocksTheSourceDrew)
{
    SWpixelbuffer source, half;
    ASSERT_TRUE(source.SetSize(128, 4));
    ASSERT_TRUE(half.SetSize(64, 2));
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 128; ++x)
            source.Row(y)[x] =
                0xFF000000u | static_cast<uint32_t>((x + y) & 0xFF) << 16 | static_cast<uint32_t>(y * 3) << 8 | 7;
    for (int32_t y = 0; y < 4; ++y)
        source.CurrentMask(y) = source.PreviousMask(y) = 0;
    source.CurrentMask(2) = 0b1;    // source pixels 0..3 of row 2
    source.PreviousMask(3) = 0b100; // source pixels 8..11 of row 3
    std::fill_n(half.Row(1), 64, 0x123456u);
    half.HalveInto(source, 1);
    EXPECT_EQ(half.CurrentMask(1), 0b101u);
    // Pixel 0: source (0,2) (1,2) (0,3) (1,3): red 2, 3, 3, 4 -> 3; green 6, 6, 9, 9 -> 7; blue 7; alpha 0.
    EXPECT_EQ(half.Row(1)[0], 0x030707u);
    EXPECT_EQ(half.Row(1)[5], (13u << 16) | (7u << 8) | 7u);
    EXPECT_EQ(half.Row(1)[2], 0x123456u); // block 1 was not drawn
    half.HalveInto(half, 0);              // not twice the size: nothing
    EXPECT_EQ(half.Row(1)[2], 0x123456u);
}

// An attached destination has wider blocks than the halved source's: the mask must name the pixels that changed.
TEST(PixelBufferHalve, MaskFollowsThePixelsWhenBlockWidthsDiffer)
{
    std::vector<uint32_t> image(100 * 2, 0x111111u);
    SWpixelbuffer source, half;
    ASSERT_TRUE(source.SetSize(200, 4));                  // blocks of 8
    ASSERT_TRUE(half.AttachPixels(image.data(), 100, 2)); // blocks of 8 too
    std::fill(image.begin(), image.end(), 0x111111u);     // attaching cleared it
    for (int32_t y = 0; y < 4; ++y)
        source.CurrentMask(y) = source.PreviousMask(y) = 0;
    source.CurrentMask(0) = 1u << 3; // source pixels 24..31, which halve into 12..15: the destination's block 1
    half.HalveInto(source, 0);
    EXPECT_EQ(half.CurrentMask(0), 1u << 1);
    EXPECT_EQ(image[12], 0u);
    EXPECT_EQ(image[15], 0u);
    EXPECT_EQ(image[8], 0u); // the whole destination block is recomputed
    EXPECT_EQ(image[16], 0x111111u);
}

TEST(PixelBufferColourTable, MixesIntoThisBufferAndWritesBackOnlyWhenAsked)
{
    SWpixelbuffer a, b;
    ASSERT_TRUE(a.SetSize(8, 2));
    ASSERT_TRUE(b.SetSize(8, 2));
    a.PreviousMask(1) = b.PreviousMask(1) = 0;
    std::fill_n(a.Row(1), 8, 0x808080u);
    std::fill_n(b.Row(1), 8, 0x000000u);
    a.ApplyColourTable(b, 1, false);
    EXPECT_EQ(a.Row(1)[3], 0x808000u);
    EXPECT_EQ(b.Row(1)[3], 0u);
    EXPECT_EQ(a.PreviousMask(1), ~0u);
    EXPECT_EQ(b.PreviousMask(1), ~0u);
    std::fill_n(b.Row(1), 8, 0x0000FFu);
    a.ApplyColourTable(b, 1, true);
    EXPECT_EQ(a.Row(1)[0], b.Row(1)[0]);
    EXPECT_EQ(a.Row(1)[0] >> 8, 0x8080u);
    SWpixelbuffer narrow;
    ASSERT_TRUE(narrow.SetSize(4, 2));
    a.ApplyColourTable(narrow, 1, true); // widths differ: nothing
    EXPECT_EQ(a.Row(1)[0] >> 8, 0x8080u);
}

struct FillCase {
    int32_t bufferWidth, bufferHeight, imageWidth, imageHeight, repeat;
    bool stretch;
};

// Every pixel of a full refresh against the reference formula, with images whose alpha is set (it never reaches
// the buffer).
TEST(PixelBufferBackground, ImageFillsMatchTheReferenceFormula)
{
    const FillCase cases[] = {{37, 23, 7, 5, 1, false}, {37, 23, 7, 5, 2, false},   {37, 23, 10, 6, 1, true},
                              {38, 24, 10, 6, 2, true}, {64, 32, 128, 64, 1, true}, {5, 3, 9, 9, 2, true}};
    for (const FillCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bufferWidth << " x " << c.bufferHeight << " image " << c.imageWidth
                                        << " x " << c.imageHeight << " repeat " << c.repeat
                                        << (c.stretch ? " stretched" : " tiled"));
        std::vector<uint32_t> image = Pattern(c.imageWidth, c.imageHeight);
        for (uint32_t& pixel : image)
            pixel |= 0xFF000000u;
        const std::unique_ptr<SWbackground> background = ImageBackground(image, c.imageWidth, c.imageHeight, c.stretch);
        SWpixelbuffer buffer;
        buffer.SetRowRepeat(static_cast<uint32_t>(c.repeat));
        ASSERT_TRUE(buffer.SetSize(c.bufferWidth, c.bufferHeight));
        buffer.SetBackground(background.get());
        EXPECT_TRUE(buffer.IsImageFill());
        buffer.Refresh(false);
        int wrong = 0;
        for (int32_t y = 0; y < c.bufferHeight; ++y)
            for (int32_t x = 0; x < c.bufferWidth; ++x)
                wrong += buffer.Row(y)[x] != ExpectedBackground(image, c.imageWidth, c.imageHeight, c.bufferWidth,
                                                                c.bufferHeight, c.repeat, c.stretch, x, y);
        EXPECT_EQ(wrong, 0);
    }
}

TEST(PixelBufferBackground, TiledPixelsCoverTwoByTwoAtRowRepeatTwo)
{
    const std::vector<uint32_t> image = Pattern(4, 4);
    const std::unique_ptr<SWbackground> background = ImageBackground(image, 4, 4, false);
    SWpixelbuffer buffer;
    buffer.SetRowRepeat(2);
    ASSERT_TRUE(buffer.SetSize(16, 16));
    buffer.SetBackground(background.get());
    buffer.Refresh(false);
    for (int32_t y = 0; y < 16; ++y)
        for (int32_t x = 0; x < 16; ++x)
            ASSERT_EQ(buffer.Row(y)[x], image[static_cast<size_t>((y / 2) % 4) * 4 + (x / 2) % 4]) << x << "," << y;
}

// An attached image of odd width at row repeat 2: the column map must stop at the width (ASan watches).
TEST(PixelBufferBackground, OddAttachedWidthAtRepeatTwoStaysInsideTheColumnMap)
{
    const std::unique_ptr<SWimage32> target = SWimage32::SWimage32FromPixels("target", 101, 3, nullptr);
    const std::vector<uint32_t> image = Pattern(9, 9);
    const std::unique_ptr<SWbackground> background = ImageBackground(image, 9, 9, true);
    SWpixelbuffer buffer;
    buffer.SetRowRepeat(2);
    ASSERT_TRUE(buffer.AttachImage(target.get()));
    EXPECT_EQ(buffer.Row(0), target->GetPixels());
    buffer.SetBackground(background.get());
    buffer.Refresh(false);
    EXPECT_EQ(buffer.Row(2)[100], ExpectedBackground(image, 9, 9, 101, 3, 2, true, 100, 2));
    EXPECT_EQ(target->GetPixels()[100], ExpectedBackground(image, 9, 9, 101, 3, 2, true, 100, 0));
}

TEST(PixelBufferBackground, ColourFillWithoutAUsableImage)
{
    SWbackground coloured(0x336699);
    SWpixelbuffer buffer;
    ASSERT_TRUE(buffer.SetSize(8, 2));
    buffer.SetBackground(&coloured);
    EXPECT_FALSE(buffer.IsImageFill());
    buffer.Refresh(false);
    EXPECT_EQ(buffer.Row(1)[7], 0x336699u);

    // A texture of a refused size is no image.
    SWbackground invalid(0x112233);
    invalid.SetTexture(std::make_unique<SWimage32>("empty", 0, 0, nullptr));
    buffer.SetBackground(&invalid);
    EXPECT_FALSE(buffer.IsImageFill());
    buffer.Refresh(false);
    EXPECT_EQ(buffer.Row(0)[0], 0x112233u);

    buffer.SetBackground(nullptr);
    EXPECT_EQ(buffer.BackgroundColour(), 0u);
    EXPECT_EQ(buffer.IsRedrawAll(), 1);
    buffer.Refresh(false);
    EXPECT_EQ(buffer.Row(0)[0], 0u);
}

TEST(PixelBufferBackground, UpdateRedrawsOnlyWhenWhatItDrawsChanged)
{
    const std::vector<uint32_t> image = Pattern(4, 4);
    SWbackground background(0x102030);
    SWpixelbuffer buffer;
    ASSERT_TRUE(buffer.SetSize(16, 4));
    buffer.SetBackground(&background);
    EXPECT_EQ(buffer.IsRedrawAll(), 1);
    buffer.Refresh(false);
    EXPECT_EQ(buffer.IsRedrawAll(), 0);
    buffer.UpdateBackground();
    EXPECT_EQ(buffer.IsRedrawAll(), 0) << "nothing changed";

    background.SetColour(0x405060);
    buffer.UpdateBackground();
    EXPECT_EQ(buffer.IsRedrawAll(), 1) << "colour";
    buffer.Refresh(false);
    EXPECT_EQ(buffer.Row(3)[15], 0x405060u);

    background.SetTexture(SWimage32::SWimage32FromPixels("back", 4, 4, image.data()));
    buffer.UpdateBackground();
    EXPECT_EQ(buffer.IsRedrawAll(), 1) << "image and routine";
    EXPECT_TRUE(buffer.IsImageFill());
    buffer.Refresh(false);
    EXPECT_EQ(buffer.Row(1)[5], image[1 * 4 + 1] & 0xFFFFFFu);
    buffer.UpdateBackground();
    EXPECT_EQ(buffer.IsRedrawAll(), 0) << "nothing changed";

    // Pixels edited through the texture raise the background's version: the map and the picture are redone.
    SWtexture* texture = background.GetTexture();
    texture->GetPixelBuffer()[1 * 4 + 1] = 0x00ABCDEF;
    texture->Touch();
    buffer.UpdateBackground();
    EXPECT_EQ(buffer.IsRedrawAll(), 1) << "version";
    buffer.Refresh(false);
    EXPECT_EQ(buffer.Row(1)[5], 0xABCDEFu);

    background.SetMode(SWbackground::kModeStretch);
    buffer.UpdateBackground();
    EXPECT_EQ(buffer.IsRedrawAll(), 1) << "stretch";
    buffer.Refresh(false);
    EXPECT_EQ(buffer.Row(0)[15], image[0 * 4 + 3] & 0xFFFFFFu); // the image's last column now ends the row

    buffer.UpdateBackground();
    EXPECT_EQ(buffer.IsRedrawAll(), 0);
}

} // namespace
