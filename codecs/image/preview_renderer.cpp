#include "codecs/image/preview_renderer.h"

#include <algorithm>
#include <vector>

namespace cis {
namespace {

// The upper 8 - s bits of each channel.
uint32_t RampMask(int s)
{
    return (((1u << (8 - s)) * 0x010101u) - 0x010101u) << s;
}

// A ramp of 2^s steps from `from` towards `to`: each channel moves by a whole step per pixel, the difference of
// the ends' upper bits, so every channel of start + k x step stays within 0..255 and the packed additions never
// carry from one channel into the next.
struct Ramp {
    uint32_t start;
    uint32_t step;
};

Ramp MakeRamp(uint32_t from, uint32_t to, int s, uint32_t mask)
{
    return {from, ((to & mask) >> s) - ((from & mask) >> s)};
}

class PackedCanvas {
public:
    PackedCanvas(uint8_t* pixels, int width, int height) : m_pixels(pixels), m_width(width), m_height(height) {}

    void Put(int x, int y, uint32_t colour)
    {
        uint8_t* p = m_pixels + (static_cast<size_t>(y) * static_cast<size_t>(m_width) + static_cast<size_t>(x)) * 4;
        p[0] = static_cast<uint8_t>(colour);
        p[1] = static_cast<uint8_t>(colour >> 8);
        p[2] = static_cast<uint8_t>(colour >> 16);
        p[3] = 0;
    }

    // Pixels right of `coveredWidth` repeat their left neighbour, rows below `coveredHeight` the row above.
    void ExtendEdges(int coveredWidth, int coveredHeight)
    {
        const size_t rowBytes = static_cast<size_t>(m_width) * 4;
        for (int y = 0; y < coveredHeight; ++y) {
            uint8_t* row = m_pixels + static_cast<size_t>(y) * rowBytes;
            for (int x = coveredWidth; x < m_width; ++x)
                std::copy_n(row + (static_cast<size_t>(x) - 1) * 4, 4, row + static_cast<size_t>(x) * 4);
        }
        for (int y = std::max(coveredHeight, 1); y < m_height; ++y)
            std::copy_n(m_pixels + (static_cast<size_t>(y) - 1) * rowBytes, rowBytes,
                        m_pixels + static_cast<size_t>(y) * rowBytes);
    }

private:
    uint8_t* m_pixels;
    int m_width;
    int m_height;
};

void DrawHalfScale(const PreviewSamples& samples, PackedCanvas& canvas)
{
    const int sw = samples.sampleWidth;
    const int sh = samples.sampleHeight;
    std::vector<uint32_t> above(static_cast<size_t>(2 * sw));
    std::vector<uint32_t> row(static_cast<size_t>(2 * sw));
    auto sampleRow = [&](int y, std::vector<uint32_t>& out) {
        const uint32_t* s = samples.colours.data() + static_cast<size_t>(y) * static_cast<size_t>(sw);
        for (int x = 0; x < sw; ++x) {
            out[static_cast<size_t>(2 * x)] = s[x];
            out[static_cast<size_t>(2 * x + 1)] = x + 1 < sw ? AveragePacked(s[x], s[x + 1]) : s[x];
        }
    };
    sampleRow(0, above);
    for (int y = 0; y < sh; ++y) {
        const bool hasNext = y + 1 < sh;
        if (hasNext)
            sampleRow(y + 1, row);
        for (int x = 0; x < 2 * sw; ++x) {
            const uint32_t a = above[static_cast<size_t>(x)];
            canvas.Put(x, 2 * y, a);
            canvas.Put(x, 2 * y + 1, hasNext ? AveragePacked(a, row[static_cast<size_t>(x)]) : a);
        }
        std::swap(above, row);
    }
}

// A low-pass sample stands for its whole block, so it sits at the block's centre; pixels between centres ramp
// bilinearly between the four nearest samples, and the half block before the first centre (and after the last)
// is flat, ramping from the neighbouring sample to itself.
void DrawBlocks(const PreviewSamples& samples, PackedCanvas& canvas)
{
    const int s = samples.scale;
    const int block = 1 << s;
    const int offset = block / 2;
    const uint32_t mask = RampMask(s);
    const int sw = samples.sampleWidth;
    const int sh = samples.sampleHeight;
    const int coveredWidth = sw << s;
    const int coveredHeight = sh << s;
    auto at = [&](int x, int y) {
        return samples.colours[static_cast<size_t>(std::clamp(y, 0, sh - 1)) * static_cast<size_t>(sw) +
                               static_cast<size_t>(std::clamp(x, 0, sw - 1))];
    };
    for (int cy = -1; cy < sh; ++cy) {
        for (int cx = -1; cx < sw; ++cx) {
            const Ramp left = MakeRamp(at(cx, cy), at(cx, cy + 1), s, mask);
            const Ramp right = MakeRamp(at(cx + 1, cy), at(cx + 1, cy + 1), s, mask);
            for (int dy = 0; dy < block; ++dy) {
                const int y = offset + cy * block + dy;
                if (y < 0 || y >= coveredHeight)
                    continue;
                const uint32_t from = left.start + static_cast<uint32_t>(dy) * left.step;
                const uint32_t to = right.start + static_cast<uint32_t>(dy) * right.step;
                const Ramp across = MakeRamp(from, to, s, mask);
                uint32_t colour = across.start;
                for (int dx = 0; dx < block; ++dx, colour += across.step) {
                    const int x = offset + cx * block + dx;
                    if (x >= 0 && x < coveredWidth)
                        canvas.Put(x, y, colour);
                }
            }
        }
    }
}

} // namespace

void DrawPreview(const PreviewSamples& samples, uint8_t* pixels, int width, int height)
{
    if (samples.sampleWidth < 1 || samples.sampleHeight < 1 || samples.scale < 1)
        return;
    PackedCanvas canvas(pixels, width, height);
    if (samples.scale == 1)
        DrawHalfScale(samples, canvas);
    else
        DrawBlocks(samples, canvas);
    canvas.ExtendEdges(samples.sampleWidth << samples.scale, samples.sampleHeight << samples.scale);
}

} // namespace cis
