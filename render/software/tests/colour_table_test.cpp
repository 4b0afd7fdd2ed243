#include "render/software/colour_table.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

uint32_t Channel(uint32_t colour, int shift)
{
    return (colour >> shift) & 0xFF;
}

// Every key: the blend gives back the key's red and green (bits 16-23, 8-15) and its brightness (bits 0-7) in
// blue, each within 1.
TEST(StereoColourTable, BlendReproducesTheKeyWithinOne)
{
    int worst = 0;
    for (uint32_t key = 0; key < (1u << 24); ++key) {
        const uint32_t out = BlendStereoTable(key);
        for (int shift : {16, 8, 0}) {
            const int difference =
                std::abs(static_cast<int>(Channel(out, shift)) - static_cast<int>(Channel(key, shift)));
            worst = std::max(worst, difference);
        }
        if (out >> 24 != 0)
            FAIL() << "alpha set for key " << key;
    }
    EXPECT_LE(worst, 1);
}

TEST(StereoColourTable, ChecksumIsPinned)
{
    std::vector<uint8_t> bytes;
    for (const uint32_t entry : kStereoColourTable)
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(static_cast<uint8_t>(entry >> shift));
    const uLong crc = crc32(0L, bytes.data(), static_cast<uInt>(bytes.size()));
    EXPECT_EQ(crc, 0x55EEB491u) << std::hex << crc;
    EXPECT_EQ(kStereoColourTable[0], 0u);
    EXPECT_EQ(kStereoColourTable[kStereoTableSize - 1], 0xFFFFFFu);
}

TEST(StereoColourTable, MixKeepsRedAndGreenAndCarriesBrightnessInBlue)
{
    EXPECT_EQ(MixStereoPixel(0x808080, 0x000000), 0x808000u);                  // grey first, black second
    EXPECT_NEAR(static_cast<int>(MixStereoPixel(0x000000, 0xFFFFFF)), 255, 1); // white: full brightness
    const uint32_t mixed = MixStereoPixel(0x123456, 0x0000FF);                 // pure blue: brightness 179
    EXPECT_EQ(mixed >> 8, 0x1234u);
    EXPECT_NEAR(static_cast<int>(mixed & 0xFF), 179, 1);
}

} // namespace
