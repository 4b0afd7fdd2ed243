#pragma once
// Coarse previews of a picture from its low-pass samples: each sample stands for a block of 2^s x 2^s pixels
// and the blocks between samples are filled with ramps on packed 0x00RRGGBB words, one addition per pixel.
#include <cstdint>
#include <span>

namespace cis {

struct PreviewSamples {
    std::span<const uint32_t> colours; // sampleWidth x sampleHeight packed colours, row by row
    int sampleWidth = 0;
    int sampleHeight = 0;
    int scale = 1; // s >= 1
};

// Writes width x height pixels of 4 bytes (blue, green, red, 0). At s = 1 the samples go to the even pixel
// positions and the pixels between them are averages; from s = 2 on they sit at their blocks' centres. Pixels past
// the last whole block column or row repeat their neighbour to the left or above.
void DrawPreview(const PreviewSamples& samples, uint8_t* pixels, int width, int height);

// The average of two packed colours, per channel: (a & 0xFE) / 2 + (b & 0xFE) / 2 + 1.
inline uint32_t AveragePacked(uint32_t a, uint32_t b)
{
    return ((a & 0xFEFEFEu) + (b & 0xFEFEFEu)) / 2 + 0x010101u;
}

} // namespace cis
