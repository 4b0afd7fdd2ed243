#include "render/present/pixel_converter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <set>
#include <vector>

#include "render/software/pixel_buffer.h"

namespace {

constexpr uint8_t kCanary = 0xA5;
constexpr int kOrdered[4][4] = {{39, 18, 34, 13}, {7, 28, 2, 23}, {31, 10, 36, 15}, {0, 21, 5, 26}};

// Independent forms of the conversions, one pixel at a time.
int CubeLevel(uint32_t value, int offset)
{
    return ((214 * static_cast<int>(value) / 255 + offset) & 255) * 6 / 256;
}

uint8_t ExpectedCube(uint32_t pixel, int row, int column)
{
    const int d = kOrdered[row & 3][column & 3];
    return static_cast<uint8_t>(CubeLevel(pixel >> 16 & 255, d) * 36 + CubeLevel(pixel >> 8 & 255, d) * 6 +
                                CubeLevel(pixel & 255, d));
}

// 5-6-5 dithered: channel offsets 6, 2, 0, 4 (5 bits) and 3, 1, 0, 2 (6 bits) by row and column parity.
uint16_t Expected565(uint32_t pixel, int row, int column)
{
    const int phase = (row & 1) * 2 + (column & 1);
    const int five[4] = {6, 2, 0, 4}, six[4] = {3, 1, 0, 2};
    const auto channel = [](uint32_t v, int bits, int offset) {
        const int s = 8 - bits;
        return ((static_cast<int>(v) * (256 - (1 << s)) / 255 + offset) & 255) >> s;
    };
    return static_cast<uint16_t>(channel(pixel >> 16 & 255, 5, five[phase]) << 11 |
                                 channel(pixel >> 8 & 255, 6, six[phase]) << 5 | channel(pixel & 255, 5, five[phase]));
}

struct Frame {
    SWpixelbuffer buffer;
    Frame(int32_t width, int32_t height, uint32_t seed = 1)
    {
        EXPECT_TRUE(buffer.SetSize(width, height));
        std::mt19937 random(seed);
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x)
                buffer.Row(y)[x] = random() & 0xFFFFFF;
            buffer.CurrentMask(y) = ~0u;
            buffer.PreviousMask(y) = 0;
        }
    }
};

// A destination of width x height pixels at bpp bytes, with canary bytes around and in its padding.
struct Dest {
    int32_t pitch;
    std::vector<uint8_t> bytes;
    Dest(int32_t width, int32_t height, int bpp) : pitch((width * bpp + 3) & ~3)
    {
        bytes.assign(static_cast<size_t>(pitch) * height + 64, kCanary);
    }
    uint8_t* Base() { return bytes.data() + 32; }
};

void Ready(SWpixelconverter& converter, uint32_t mode8 = 2, uint32_t mode16 = 1)
{
    EXPECT_TRUE(converter.Init(mode8, mode16));
}

} // namespace

TEST(PixelConverter, CubeDitherKeepsExtremesAndSplitsGreyBetweenNeighbours)
{
    Frame frame(8, 8);
    for (int32_t y = 0; y < 8; ++y)
        for (int32_t x = 0; x < 8; ++x)
            frame.buffer.Row(y)[x] = x < 2 ? 0xFFFFFF : x < 4 ? 0 : 0x808080;
    for (uint32_t mode : {1u, 2u}) {
        SWpixelconverter converter;
        Ready(converter, mode, 1);
        Dest dest(8, 8, 1);
        converter.SetSource(&frame.buffer);
        converter.Configure(8, 0xFF0000, 0xFF00, 0xFF, dest.Base(), dest.pitch, 0, 0, 8, 8);
        converter.Convert(0, 0, 8, 8);
        std::set<int> greys;
        for (int32_t y = 0; y < 8; ++y) {
            const uint8_t* row = dest.Base() + y * dest.pitch;
            EXPECT_EQ(row[0], 215);
            EXPECT_EQ(row[1], 215);
            EXPECT_EQ(row[2], 0);
            EXPECT_EQ(row[3], 0);
            for (int x = 4; x < 8; ++x) {
                const int level = row[x] % 6;
                EXPECT_EQ(row[x], level * 43) << "grey stays grey";
                greys.insert(level);
                if (mode == 2) {
                    EXPECT_EQ(row[x], ExpectedCube(0x808080, y, x));
                }
            }
            if (mode == 1) { // the 2 x 2 pattern: offsets 31, 10 on even rows, 0, 21 on odd
                EXPECT_EQ(row[4], row[6]);
            }
        }
        ASSERT_EQ(greys.size(), 2u);
        EXPECT_EQ(*greys.rbegin() - *greys.begin(), 1);
    }
    // Without dither the channel is not scaled by 214: 50 is level 1 (6 x 50 / 256), scaled it would be 0.
    SWpixelconverter plain;
    Ready(plain, 0, 1);
    frame.buffer.Row(0)[0] = 0x323232;
    Dest dest(8, 8, 1);
    plain.SetSource(&frame.buffer);
    plain.Configure(8, 0xFF0000, 0xFF00, 0xFF, dest.Base(), dest.pitch, 0, 0, 8, 8);
    plain.Convert(0, 0, 1, 1);
    EXPECT_EQ(dest.Base()[0], 43);
}

TEST(PixelConverter, PaletteMapPicksNearestSystemEntry)
{
    std::vector<uint8_t> entries(256 * 4, 0);
    for (int i = 0; i < 256; ++i) // a grey ramp, reversed
        entries[i * 4] = entries[i * 4 + 1] = entries[i * 4 + 2] = static_cast<uint8_t>(255 - i);
    SWpixelconverter converter;
    Ready(converter);
    converter.MapPalette(entries.data());
    ASSERT_TRUE(converter.IsPaletteMapped());
    EXPECT_EQ(converter.PaletteMap()[215], 0);
    EXPECT_EQ(converter.PaletteMap()[0], 255);
    Frame frame(4, 1);
    frame.buffer.Row(0)[0] = 0xFFFFFF;
    Dest dest(4, 1, 1);
    converter.SetSource(&frame.buffer);
    converter.Configure(8, 0xFF0000, 0xFF00, 0xFF, dest.Base(), dest.pitch, 0, 0, 4, 1);
    converter.Convert(0, 0, 1, 1);
    EXPECT_EQ(dest.Base()[0], 0);
}

TEST(PixelConverter, SixteenBitTablesPackPairsAtAnyAlignment)
{
    Frame frame(64, 2, 7);
    frame.buffer.Row(0)[0] = 0xFFFFFF;
    SWpixelconverter plain;
    Ready(plain, 2, 0);
    Dest whiteDest(64, 2, 2);
    plain.SetSource(&frame.buffer);
    plain.Configure(16, 0xF800, 0x07E0, 0x001F, whiteDest.Base(), whiteDest.pitch, 0, 0, 64, 2);
    plain.Convert(0, 0, 1, 1);
    uint16_t white;
    std::memcpy(&white, whiteDest.Base(), 2);
    EXPECT_EQ(white, 0xFFFF);

    // Runs starting at a 2 mod 4 address and ending on an odd pixel, both rows (both dither phases).
    SWpixelconverter converter;
    Ready(converter, 2, 1);
    converter.SetSource(&frame.buffer);
    for (int32_t first : {1, 2, 3}) {
        for (int32_t count : {1, 2, 5, 30}) {
            Dest dest(64, 2, 2);
            converter.Configure(16, 0xF800, 0x07E0, 0x001F, dest.Base(), dest.pitch, 0, 0, 64, 2);
            converter.Convert(first, 0, count, 2);
            for (int32_t y = 0; y < 2; ++y) {
                for (int32_t x = 0; x < 64; ++x) {
                    const uint8_t* at = dest.Base() + y * dest.pitch + 2 * x;
                    if (x < first || x >= first + count) {
                        EXPECT_EQ(at[0], kCanary);
                        EXPECT_EQ(at[1], kCanary);
                        continue;
                    }
                    uint16_t value;
                    std::memcpy(&value, at, 2);
                    EXPECT_EQ(value, Expected565(frame.buffer.Row(y)[x], y, x)) << first << " " << count << " " << x;
                }
            }
        }
    }
}

TEST(PixelConverter, PackedAndCopiedDepthsKeepBytesOutsideTheRun)
{
    Frame frame(16, 1, 3);
    for (uint32_t depth : {24u, 32u}) {
        for (uint32_t redMask : {0xFF0000u, 0xFFu}) {
            const int bpp = static_cast<int>(depth / 8);
            SWpixelconverter converter;
            Ready(converter);
            Dest dest(16, 1, bpp);
            converter.SetSource(&frame.buffer);
            converter.Configure(depth, redMask, 0xFF00, redMask == 0xFF ? 0xFF0000 : 0xFF, dest.Base(), dest.pitch, 0,
                                0, 16, 1);
            converter.Convert(3, 0, 9, 1);
            for (int x = 0; x < 16; ++x) {
                const uint8_t* at = dest.Base() + bpp * x;
                const uint32_t p = frame.buffer.Row(0)[x];
                for (int b = 0; b < bpp; ++b) {
                    if (x < 3 || x >= 12) {
                        EXPECT_EQ(at[b], kCanary);
                        continue;
                    }
                    // Blue in the first byte, or red first when red is the low byte.
                    const int channelShift = b == 3 ? 24 : (redMask == 0xFF ? 16 - 8 * b : 8 * b);
                    EXPECT_EQ(at[b], b == 3 ? 0 : (p >> channelShift) & 255) << depth << " " << x << " " << b;
                }
            }
        }
    }
}

TEST(PixelConverter, OnlyDirtyBlocksAndMappedRowsAreWritten)
{
    Frame frame(512, 6, 5);
    ASSERT_EQ(frame.buffer.BlockShift(), 4u);
    for (int32_t y = 0; y < 6; ++y)
        frame.buffer.CurrentMask(y) = 0;
    frame.buffer.CurrentMask(0) = 0b100;
    frame.buffer.PreviousMask(0) = 0b010;
    frame.buffer.PreviousMask(2) = ~0u;
    SWpixelconverter converter;
    Ready(converter);
    Dest dest(512, 6, 4);
    converter.SetSource(&frame.buffer);
    converter.Configure(32, 0xFF0000, 0xFF00, 0xFF, dest.Base(), dest.pitch, 0, 0, 512, 6);
    converter.Convert(20, 0, 492, 2); // row 1: both masks 0
    const auto written = [&](int32_t y, int32_t x) { return dest.Base()[y * dest.pitch + 4 * x] != kCanary; };
    for (int32_t x = 0; x < 512; ++x) {
        EXPECT_EQ(written(0, x), x >= 20 && x < 48) << x;
        EXPECT_FALSE(written(1, x));
    }
    EXPECT_EQ(converter.ConvertedPixels(), 28u);

    // Interlaced: even destination rows are source rows 0, 1, 2; odd ones 3, 4, 5.
    for (int32_t y = 0; y < 6; ++y)
        frame.buffer.CurrentMask(y) = ~0u;
    Dest fields(512, 6, 4);
    converter.SetModes(true, false);
    converter.Configure(32, 0xFF0000, 0xFF00, 0xFF, fields.Base(), fields.pitch, 0, 0, 512, 6);
    converter.Convert(0, 0, 512, 6);
    const int32_t order[6] = {0, 3, 1, 4, 2, 5};
    for (int32_t r = 0; r < 6; ++r)
        EXPECT_EQ(0, std::memcmp(fields.Base() + r * fields.pitch, frame.buffer.Row(order[r]), 512 * 4)) << r;
}

TEST(PixelConverter, BadMasksOrMissingTablesLeaveNoRoutine)
{
    Frame frame(8, 1);
    SWpixelconverter converter;
    Ready(converter);
    converter.SetSource(&frame.buffer);
    const uint32_t bad[][3] = {{0, 0x07E0, 0x1F}, {0xF0F0, 0x0F00, 0x0F}, {0xE0, 0x1C, 0x3}, {0x1FF00, 0xF0, 0xF}};
    for (const auto& masks : bad) {
        Dest dest(8, 1, 2);
        converter.Configure(16, masks[0], masks[1], masks[2], dest.Base(), dest.pitch, 0, 0, 8, 1);
        EXPECT_FALSE(converter.HasRoutine());
        converter.Convert(0, 0, 8, 1);
        for (uint8_t b : dest.bytes)
            ASSERT_EQ(b, kCanary);
    }
    EXPECT_TRUE(converter.BuildMaskTables(0x7C00, 0x03E0, 0x1F)); // 5-5-5 is fine
    SWpixelconverter uninitialised;                               // no tables built yet: built on demand
    Dest dest(8, 1, 2);
    uninitialised.SetSource(&frame.buffer);
    uninitialised.Configure(12, 0xF00, 0xF0, 0xF, dest.Base(), dest.pitch, 0, 0, 8, 1);
    EXPECT_FALSE(uninitialised.HasRoutine());
}

// Random masks, rectangles, offsets and depths: exactly the dirty source pixels inside both the rectangle and the
// destination change, each to its conversion; bands configured at a negative row never write above their buffer.
TEST(PixelConverter, RandomRectanglesChangeExactlyTheDirtyPixels)
{
    std::mt19937 random(2024);
    for (int round = 0; round < 60; ++round) {
        const int32_t width = 1 + static_cast<int32_t>(random() % 200);
        const int32_t height = 1 + static_cast<int32_t>(random() % 70);
        Frame frame(width, height, round);
        for (int32_t y = 0; y < height; ++y) {
            frame.buffer.CurrentMask(y) = random() & random();
            frame.buffer.PreviousMask(y) = random() % 3 == 0 ? random() : 0;
        }
        const uint32_t depths[4] = {8, 16, 24, 32};
        const uint32_t depth = depths[random() % 4];
        const int bpp = static_cast<int>(depth / 8);
        const int32_t destWidth = 1 + static_cast<int32_t>(random() % 220);
        const int32_t destHeight = 1 + static_cast<int32_t>(random() % 40);
        const int32_t offsetX = static_cast<int32_t>(random() % 60) - 30;
        const int32_t offsetY = -static_cast<int32_t>(random() % 60) + 10;
        const int32_t x = static_cast<int32_t>(random() % 240) - 20, cols = static_cast<int32_t>(random() % 240);
        const int32_t top = static_cast<int32_t>(random() % 90) - 10, rows = static_cast<int32_t>(random() % 90);
        SWpixelconverter converter;
        Ready(converter);
        Dest dest(destWidth, destHeight, bpp);
        std::vector<uint8_t> expected = dest.bytes;
        converter.SetSource(&frame.buffer);
        converter.Configure(depth, 0xFF0000, 0xFF00, 0xFF, dest.Base(), dest.pitch, offsetX, offsetY, destWidth,
                            destHeight);
        if (depth == 16)
            converter.Configure(depth, 0xF800, 0x07E0, 0x1F, dest.Base(), dest.pitch, offsetX, offsetY, destWidth,
                                destHeight);
        converter.Convert(x, top, cols, rows);
        const uint32_t shift = frame.buffer.BlockShift();
        for (int32_t sy = std::max(top, 0); sy < std::min(top + rows, height); ++sy) {
            const int32_t dy = sy + offsetY;
            if (dy < 0 || dy >= destHeight)
                continue;
            const uint32_t mask = frame.buffer.CurrentMask(sy) | frame.buffer.PreviousMask(sy);
            for (int32_t sx = std::max(x, 0); sx < std::min(x + cols, width); ++sx) {
                const int32_t dx = sx + offsetX;
                if (dx < 0 || dx >= destWidth || (sx >> shift) >= 32 || !((mask >> (sx >> shift)) & 1))
                    continue;
                const uint32_t p = frame.buffer.Row(sy)[sx];
                uint8_t* at = expected.data() + 32 + dy * dest.pitch + dx * bpp;
                if (depth == 8) {
                    at[0] = ExpectedCube(p, sy, dx); // the column phase follows the destination address
                } else if (depth == 16) {
                    const uint16_t v = Expected565(p, sy, dx);
                    std::memcpy(at, &v, 2);
                } else {
                    std::memcpy(at, &p, static_cast<size_t>(bpp));
                }
            }
        }
        ASSERT_EQ(dest.bytes, expected) << "round " << round << " depth " << depth;
    }
}
