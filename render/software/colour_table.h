#pragma once
// The 17 x 17 x 17 colour table of the colour-coded stereo mode: two views of one frame are mixed so that a viewer
// with a red-green filter before one eye and a blue filter before the other sees each eye's view.
//
// The values of this table are our own: no values came with the mixing rule, so entry (i, j, k) is the colour with
// red = min(255, 16 j), green = min(255, 16 k), blue = min(255, 16 i) and alpha 0, which makes the blend keep the
// first view's red and green and carry the second view's blue-weighted brightness in blue, each within 1. A
// supplied table would replace MakeStereoColourTable and nothing else.
#include <algorithm>
#include <array>
#include <cstdint>

inline constexpr int kStereoTableSide = 17;
inline constexpr int kStereoTableSize = kStereoTableSide * kStereoTableSide * kStereoTableSide;

constexpr std::array<uint32_t, kStereoTableSize> MakeStereoColourTable()
{
    std::array<uint32_t, kStereoTableSize> table{};
    for (uint32_t i = 0; i < kStereoTableSide; ++i) {
        for (uint32_t j = 0; j < kStereoTableSide; ++j) {
            for (uint32_t k = 0; k < kStereoTableSide; ++k) {
                const uint32_t red = std::min(255u, 16 * j);
                const uint32_t green = std::min(255u, 16 * k);
                const uint32_t blue = std::min(255u, 16 * i);
                table[(i * kStereoTableSide + j) * kStereoTableSide + k] = (red << 16) | (green << 8) | blue;
            }
        }
    }
    return table;
}

inline constexpr std::array<uint32_t, kStereoTableSize> kStereoColourTable = MakeStereoColourTable();

// The table's trilinear blend at a 24-bit key: bits 4-7 index i, 20-23 j, 12-15 k; bits 0-3, 16-19 and 8-11 are
// the fractions (sixteenths) along each axis.
uint32_t BlendStereoTable(uint32_t key);
// One pixel of the mix: first keeps its red and green, second gives the brightness that goes to blue.
uint32_t MixStereoPixel(uint32_t first, uint32_t second);
