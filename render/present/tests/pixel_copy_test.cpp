#include "render/present/pixel_copy.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "render/present/pixel_converter.h"
#include "render/software/pixel_buffer.h"
#include "testsupport/render/forced_variant.h"

namespace {

constexpr uint8_t kCanary = 0xC3;

// Runs about the 64-pixel threshold and a long one, from every source pixel offset and every destination byte
// offset (a 32-bit destination of odd pitch has rows at any byte): the wide copy writes exactly the plain copy's
// bytes and nothing either side.
TEST(PixelCopy, WideCopyWritesThePlainBytesAtAnyAlignment)
{
    std::mt19937 random(11);
    std::vector<uint32_t> source(1100);
    for (uint32_t& pixel : source)
        pixel = static_cast<uint32_t>(random());
    for (const int32_t count : {0, 1, 15, 16, 63, 64, 65, 79, 80, 1000}) {
        for (int32_t from = 0; from < 4; ++from) {
            for (int32_t at = 0; at < 16; ++at) {
                std::vector<uint8_t> plain(4 * 1100 + 64, kCanary);
                std::vector<uint8_t> wide = plain;
                CopyPixelsPlain(source.data() + from, plain.data() + 16 + at, count);
                CopyPixelsWide(source.data() + from, wide.data() + 16 + at, count);
                ASSERT_EQ(plain, wide) << count << " pixels from " << from << " to byte " << at;
                EXPECT_EQ(wide[static_cast<size_t>(15 + at)], kCanary);
                EXPECT_EQ(wide[static_cast<size_t>(16 + at + 4 * count)], kCanary);
            }
        }
    }
}

// A 32-bit display takes the wide copy only while SSE is active; either way a frame with scattered dirty blocks
// converts to the same bytes.
TEST(PixelCopy, ConverterTakesTheWideCopyWithSSEAndConvertsAlike)
{
    constexpr int32_t kWidth = 300, kHeight = 6;
    SWpixelbuffer frame;
    ASSERT_TRUE(frame.SetSize(kWidth, kHeight));
    std::mt19937 random(4);
    for (int32_t y = 0; y < kHeight; ++y) {
        for (int32_t x = 0; x < kWidth; ++x)
            frame.Row(y)[x] = random() & 0xFFFFFF;
        frame.CurrentMask(y) = y == 0 ? ~0u : static_cast<uint32_t>(random());
        frame.PreviousMask(y) = y == 1 ? 0u : static_cast<uint32_t>(random()) & 0x0F0F0F0Fu;
    }
    const int32_t pitch = kWidth * 4 + 8;
    std::vector<std::vector<uint8_t>> results;
    for (const int variant : {0, 2, 3}) {
        const testsupport::ForcedRenderVariant forced(variant);
        SWpixelconverter converter;
        ASSERT_TRUE(converter.Init(2, 1));
        converter.SetSource(&frame);
        std::vector<uint8_t> dest(static_cast<size_t>(pitch) * kHeight + 4, kCanary);
        converter.Configure(32, 0xFF0000, 0xFF00, 0xFF, dest.data() + 4, pitch, 1, 0, kWidth + 1, kHeight);
        EXPECT_EQ(converter.IsWideCopy(), variant >= 2) << testsupport::kRenderVariants[variant];
        converter.Convert(0, 0, kWidth, kHeight);
        results.push_back(dest);
        converter.Configure(32, 0xFF, 0xFF00, 0xFF0000, dest.data(), pitch, 0, 0, kWidth, kHeight);
        EXPECT_FALSE(converter.IsWideCopy()) << "the swapping routine has no wide form";
    }
    EXPECT_EQ(results[0], results[1]);
    EXPECT_EQ(results[0], results[2]);
    // Row 0 is wholly dirty and lands one pixel in: its bytes are the frame's.
    for (int32_t x = 0; x < kWidth; ++x) {
        uint32_t shown = 0;
        std::memcpy(&shown, results[1].data() + 4 + 4 * (x + 1), 4);
        ASSERT_EQ(shown, frame.Row(0)[x]) << x;
    }
    EXPECT_EQ(results[1][4 + 0], kCanary);
}

} // namespace
