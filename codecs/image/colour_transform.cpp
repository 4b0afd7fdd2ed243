#include "codecs/image/colour_transform.h"

#include <cstddef>

namespace cis {
namespace {

struct Shifted {
    int32_t b;
    int32_t g;
    int32_t r;
};

Shifted ShiftedPixel(const PixelView& in, int x, int y)
{
    const uint8_t* p =
        in.pixels + (static_cast<size_t>(y) * static_cast<size_t>(in.width) + static_cast<size_t>(x)) * 3;
    return {p[0] - kLevelShift, p[1] - kLevelShift, p[2] - kLevelShift};
}

int16_t YiqY(const Shifted& s)
{
    return static_cast<int16_t>((306 * s.r + 601 * s.g + 117 * s.b) >> 10);
}
int16_t YiqI(const Shifted& s)
{
    return static_cast<int16_t>((330 * (s.r - s.b) + 280 * (s.r - s.g)) >> 10);
}
int16_t YiqQ(const Shifted& s)
{
    return static_cast<int16_t>((320 * (s.b - s.g) + 216 * (s.r - s.g)) >> 10);
}

// Continues each of the first `usedHeight` rows past `usedWidth` with its last value, then repeats the last row.
void PadPlane(ImagePlane& plane, int usedWidth, int usedHeight)
{
    for (int y = 0; y < usedHeight; ++y) {
        int16_t* row = plane.Row(y);
        for (int x = usedWidth; x < plane.width; ++x)
            row[x] = row[usedWidth - 1];
    }
    for (int y = usedHeight; y < plane.height; ++y) {
        const int16_t* last = plane.Row(usedHeight - 1);
        int16_t* row = plane.Row(y);
        for (int x = 0; x < plane.width; ++x)
            row[x] = last[x];
    }
}

uint8_t* PixelAt(const PixelTarget& out, int x, int y)
{
    return out.pixels + (static_cast<size_t>(y) * static_cast<size_t>(out.width) + static_cast<size_t>(x)) *
                            static_cast<size_t>(out.bytesPerPixel);
}

void StorePixel(const PixelTarget& out, int x, int y, uint8_t b, uint8_t g, uint8_t r)
{
    uint8_t* p = PixelAt(out, x, y);
    p[0] = b;
    p[1] = g;
    p[2] = r;
    if (out.bytesPerPixel == 4)
        p[3] = 0;
}

void StoreYiq(const PixelTarget& out, int x, int y, int32_t luma, int32_t i, int32_t q)
{
    const uint32_t colour = YiqToPackedColour(luma, i, q);
    StorePixel(out, x, y, static_cast<uint8_t>(colour), static_cast<uint8_t>(colour >> 8),
               static_cast<uint8_t>(colour >> 16));
}

} // namespace

void ForwardColourTransform(const PixelView& in, ImagePlane& y, ImagePlane& i, ImagePlane& q)
{
    for (int row = 0; row < in.height; ++row) {
        for (int x = 0; x < in.width; ++x) {
            const Shifted s = ShiftedPixel(in, x, row);
            y.At(x, row) = YiqY(s);
            i.At(x, row) = YiqI(s);
            q.At(x, row) = YiqQ(s);
        }
    }
    PadPlane(y, in.width, in.height);
    PadPlane(i, in.width, in.height);
    PadPlane(q, in.width, in.height);
}

// Chroma of a 2 x 2 block comes from the block's average colour; an odd last column or row averages the pixels it
// has, a lone corner pixel stands for itself.
void ForwardColourTransformSubsampled(const PixelView& in, ImagePlane& y, ImagePlane& i, ImagePlane& q)
{
    for (int row = 0; row < in.height; ++row)
        for (int x = 0; x < in.width; ++x)
            y.At(x, row) = YiqY(ShiftedPixel(in, x, row));
    const int chromaWidth = (in.width + 1) / 2;
    const int chromaHeight = (in.height + 1) / 2;
    for (int by = 0; by < chromaHeight; ++by) {
        for (int bx = 0; bx < chromaWidth; ++bx) {
            Shifted sum{0, 0, 0};
            int count = 0;
            for (int dy = 0; dy < 2 && 2 * by + dy < in.height; ++dy) {
                for (int dx = 0; dx < 2 && 2 * bx + dx < in.width; ++dx) {
                    const Shifted s = ShiftedPixel(in, 2 * bx + dx, 2 * by + dy);
                    sum.b += s.b;
                    sum.g += s.g;
                    sum.r += s.r;
                    ++count;
                }
            }
            const int shift = count == 4 ? 2 : (count == 2 ? 1 : 0);
            const Shifted average{sum.b >> shift, sum.g >> shift, sum.r >> shift};
            i.At(bx, by) = YiqI(average);
            q.At(bx, by) = YiqQ(average);
        }
    }
    PadPlane(y, in.width, in.height);
    PadPlane(i, chromaWidth, chromaHeight);
    PadPlane(q, chromaWidth, chromaHeight);
}

void ForwardReversibleColour(const PixelView& in, ImagePlane& p0, ImagePlane& p1, ImagePlane& p2)
{
    for (int row = 0; row < in.height; ++row) {
        for (int x = 0; x < in.width; ++x) {
            const Shifted s = ShiftedPixel(in, x, row);
            const int32_t v0 = s.g + ((s.b + s.r) >> 1);
            p0.At(x, row) = static_cast<int16_t>(v0);
            p1.At(x, row) = static_cast<int16_t>(s.r - (v0 >> 1));
            p2.At(x, row) = static_cast<int16_t>(s.b - (v0 >> 1));
        }
    }
    PadPlane(p0, in.width, in.height);
    PadPlane(p1, in.width, in.height);
    PadPlane(p2, in.width, in.height);
}

void ForwardGreyPlane(const PixelView& in, ImagePlane& grey)
{
    for (int row = 0; row < in.height; ++row)
        for (int x = 0; x < in.width; ++x)
            grey.At(x, row) = static_cast<int16_t>(ShiftedPixel(in, x, row).g);
    PadPlane(grey, in.width, in.height);
}

void InverseColourTransform(const ImagePlane& y, const ImagePlane& i, const ImagePlane& q, const PixelTarget& out)
{
    for (int row = 0; row < out.height; ++row)
        for (int x = 0; x < out.width; ++x)
            StoreYiq(out, x, row, y.At(x, row), i.At(x, row), q.At(x, row));
}

void InverseColourTransformSubsampled(const ImagePlane& y, const ImagePlane& i, const ImagePlane& q,
                                      const PixelTarget& out)
{
    for (int row = 0; row < out.height; ++row)
        for (int x = 0; x < out.width; ++x)
            StoreYiq(out, x, row, y.At(x, row), i.At(x / 2, row / 2), q.At(x / 2, row / 2));
}

void InverseReversibleColour(const ImagePlane& p0, const ImagePlane& p1, const ImagePlane& p2, const PixelTarget& out)
{
    for (int row = 0; row < out.height; ++row) {
        for (int x = 0; x < out.width; ++x) {
            const int32_t p = p0.At(x, row) + 2 * kLevelShift;
            const int32_t blue = p2.At(x, row) + (p >> 1);
            const int32_t red = p1.At(x, row) + (p >> 1);
            const int32_t green = p - ((blue + red) >> 1);
            StorePixel(out, x, row, ClampToByte(blue), ClampToByte(green), ClampToByte(red));
        }
    }
}

void GreyPlaneToPixels(const ImagePlane& grey, const PixelTarget& out)
{
    for (int row = 0; row < out.height; ++row) {
        for (int x = 0; x < out.width; ++x) {
            const uint8_t v = ClampToByte(grey.At(x, row) + kLevelShift);
            StorePixel(out, x, row, v, v, v);
        }
    }
}

uint32_t YiqToPackedColour(int32_t y, int32_t i, int32_t q)
{
    const int32_t base = y + kLevelShift;
    const uint32_t blue = ClampToByte(base + ((1744 * q - 1133 * i) >> 10));
    const uint32_t green = ClampToByte(base + ((-279 * i - 662 * q) >> 10));
    const uint32_t red = ClampToByte(base + ((979 * i + 636 * q) >> 10));
    return (red << 16) | (green << 8) | blue;
}

} // namespace cis
