#pragma once
// The image codec's one-shot entry points: pictures of 3-byte pixels (blue, green, red; rows of width x 3 bytes,
// no padding, in the order supplied) to "CIS3.0" streams and back.
//
// The lossy road: YIQ colour transform, integer wavelet over 1..5 levels (by size), per-band quantisation from the
// quality, zero-tree band coding. Quality 100 and pictures with a side below 7 take the lossless raw type. The
// encoder is deterministic: the same picture and quality give the same bytes.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "codecs/image/band_coder.h"
#include "codecs/image/raw_stream.h"

namespace cis {

// 5 when both sides are at least 100, 4 from 45, 3 from 23, 2 from 12, 1 from 7; 0 (raw) below.
int LevelCountForSize(int width, int height);

// The stream, or an empty vector when the size is 0 or above 65535 on a side (or above 2^28 pixels), the pixels
// are fewer than width x height x 3 bytes, or memory runs out. Qualities outside 0..100 are clamped.
std::vector<uint8_t> EncodeImage(int width, int height, std::span<const uint8_t> pixels, int quality);

struct DecodedImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels; // width x height x 3: blue, green, red (grey pictures: three equal bytes)
};

// Nothing when the stream is not a "CIS3.0" stream of a supported type, is damaged, claims more pixels than the
// limits allow, or memory runs out.
std::optional<DecodedImage> DecodeImage(std::span<const uint8_t> stream, const DecodeLimits& limits = {});

// The same, with the cause of a failure. On kTooLarge out holds the stated width and height and no pixels; on every
// other failure out is empty.
DecodeStatus DecodeImageChecked(std::span<const uint8_t> stream, const DecodeLimits& limits, DecodedImage& out);

// Encoder variants that the decoders accept but EncodeImage never writes: other coder kinds, the reversible
// transform, subsampled chroma, dropped levels, grey. Kept for tests and tools.
struct WaveletOptions {
    int quality = 50;
    CoderKind coderKind = CoderKind::kSignedBytes; // kWords codes the coefficients unquantised
    bool reversible = false;
    bool grey = false; // one plane of the green bytes
    int chromaShift = 0;
    std::array<int, 3> droppedLevels{};
    int levels = 0; // 0: by size
};
std::vector<uint8_t> EncodeWaveletImage(int width, int height, std::span<const uint8_t> pixels,
                                        const WaveletOptions& options);

// Palette pictures: the median-cut palette encoder, and the palette and indices of a raw palette or palette
// stream exactly as stored.
std::vector<uint8_t> EncodePaletteImage(int width, int height, std::span<const uint8_t> pixels, int colours);
std::optional<PalettePicture> DecodePalettePicture(std::span<const uint8_t> stream, const DecodeLimits& limits = {});

// Decodes a parsed stream's coded data into pixels of 3 or 4 bytes; shared with the progressive decoder.
bool DecodeStreamPixels(const CisHeader& header, std::span<const uint8_t> codedData, const PixelTarget& out);

} // namespace cis
