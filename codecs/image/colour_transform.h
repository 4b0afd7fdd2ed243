#pragma once
// Pixels (3 bytes: blue, green, red; rows of width x 3 bytes) to planes of signed 16-bit values and back.
// Forward transforms pad each plane to its size: rows continue with their last value, rows below the picture
// repeat its last row. Inverse transforms write only the picture's own width x height pixels.
#include <cstddef>
#include <cstdint>

#include "codecs/image/image_plane.h"

namespace cis {

constexpr int kLevelShift = 128; // subtracted from each colour byte before a forward transform

struct PixelView {
    const uint8_t* pixels = nullptr; // width x height x 3 bytes, not owned
    int width = 0;
    int height = 0;
};

struct PixelTarget {
    uint8_t* pixels = nullptr; // width x height x bytesPerPixel, not owned
    int width = 0;
    int height = 0;
    int bytesPerPixel = 3; // 3: blue, green, red; 4: blue, green, red, 0
};

// Planes must already be sized: Y (and the reversible planes) at full padded size; subsampled I and Q at half.
void ForwardColourTransform(const PixelView& in, ImagePlane& y, ImagePlane& i, ImagePlane& q);
void ForwardColourTransformSubsampled(const PixelView& in, ImagePlane& y, ImagePlane& i, ImagePlane& q);
void ForwardReversibleColour(const PixelView& in, ImagePlane& p0, ImagePlane& p1, ImagePlane& p2);
void ForwardGreyPlane(const PixelView& in, ImagePlane& grey); // the green byte of each pixel

void InverseColourTransform(const ImagePlane& y, const ImagePlane& i, const ImagePlane& q, const PixelTarget& out);
void InverseColourTransformSubsampled(const ImagePlane& y, const ImagePlane& i, const ImagePlane& q,
                                      const PixelTarget& out);
void InverseReversibleColour(const ImagePlane& p0, const ImagePlane& p1, const ImagePlane& p2, const PixelTarget& out);
void GreyPlaneToPixels(const ImagePlane& grey, const PixelTarget& out); // blue = green = red

// One sample of the YIQ inverse, level shift added back and clamped: packed 0x00RRGGBB.
uint32_t YiqToPackedColour(int32_t y, int32_t i, int32_t q);

inline uint8_t ClampToByte(int32_t v)
{
    return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

} // namespace cis
