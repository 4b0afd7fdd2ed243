#pragma once
// The raw and palette stream types: lossless arithmetic-coded bytes, and palette indices in a resolution pyramid.
//
// Raw (coder kind 2, 60-byte header): grey (byte 21 = 0): one run of width x height bytes; colour (byte 20 = 24):
// three runs (blue, green, red bytes), each followed by "cod"; colour palette (byte 20 = 8): u16 colour count N,
// N entries of 3 bytes (blue, green, red), one run of the indices. Every run has the alphabet 257.
// Palette (transform 100): N entries of 3 bytes, then P + 1 chunks, coarsest first: u32 count c, a run of c
// indices (alphabet N), "cod".
#include <cstdint>
#include <span>
#include <vector>

#include "codecs/image/cis_header.h"
#include "codecs/image/colour_transform.h"

namespace cis {

constexpr uint32_t kRawAlphabet = 257;

struct PalettePicture {
    int width = 0;
    int height = 0;
    bool colourOutput = true;     // false: a grey picture whose pixels take each entry's first byte
    std::vector<uint8_t> palette; // 3 bytes per entry: blue, green, red
    std::vector<uint8_t> indices; // width x height, row by row

    int Colours() const { return static_cast<int>(palette.size() / 3); }
};

// Complete streams; empty on a bad argument.
std::vector<uint8_t> EncodeRawColour(const PixelView& in);
std::vector<uint8_t> EncodeRawGrey(int width, int height, std::span<const uint8_t> grey);
std::vector<uint8_t> EncodeRawPalette(const PalettePicture& picture);
std::vector<uint8_t> EncodePaletteStream(const PalettePicture& picture, int depth);

// Decoders take the checked header and its D bytes of coded data; false when the data are damaged.
bool DecodeRawPixels(const CisHeader& header, std::span<const uint8_t> data, const PixelTarget& out);
bool DecodeRawPalette(const CisHeader& header, std::span<const uint8_t> data, PalettePicture& out);
bool DecodePaletteStream(const CisHeader& header, std::span<const uint8_t> data, PalettePicture& out);
void PalettePictureToPixels(const PalettePicture& picture, const PixelTarget& out);

// One pyramid step on the first width x height indices: even rows' even columns, even rows' odd columns, odd
// rows in full; and its inverse.
void SplitPyramidStep(std::span<uint8_t> indices, int width, int height);
void MergePyramidStep(std::span<uint8_t> indices, int width, int height);

} // namespace cis
