#include "platform/gfx/dib.h"

#include "platform/base/color.h"

#include <new>

namespace pf {

namespace {

// A DIB row may hold at most this many pixels; larger widths are refused rather than walked.
constexpr int64_t kMaxDibDimension = int64_t{1} << 28;

uint32_t expand5(uint32_t v)
{
    return (v << 3) | (v >> 2);
}

Surface32 viewOf(std::vector<uint32_t>& pixels, int32_t width, int32_t height, bool topDown)
{
    uint32_t* const base = pixels.data();
    const ptrdiff_t pitch = static_cast<ptrdiff_t>(width) * 4;
    if (topDown)
        return Surface32(base, width, height, pitch);
    return Surface32(base + static_cast<ptrdiff_t>(height - 1) * width, width, height, -pitch);
}

} // namespace

std::optional<DibLayout> dibLayoutOf(const BitmapInfoHeader& header)
{
    const int bits = header.biBitCount;
    if (header.biSize < 40 || header.biPlanes != 1 || header.biCompression != BI_RGB)
        return std::nullopt;
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return std::nullopt;
    const int64_t height = header.biHeight < 0 ? -int64_t{header.biHeight} : int64_t{header.biHeight};
    if (header.biWidth <= 0 || height == 0 || header.biWidth > kMaxDibDimension || height > kMaxDibDimension)
        return std::nullopt;
    DibLayout layout;
    layout.width = header.biWidth;
    layout.height = height;
    layout.topDown = header.biHeight < 0;
    layout.bitsPerPixel = bits;
    layout.strideBytes = ((static_cast<uint64_t>(layout.width) * static_cast<uint64_t>(bits) + 31) / 32) * 4;
    return layout;
}

void convertDibRow(const DibLayout& layout, const uint8_t* row, int64_t firstColumn, size_t count,
                   std::span<const RgbQuad> colors, uint32_t* out)
{
    switch (layout.bitsPerPixel) {
    case 8:
        for (size_t i = 0; i < count; ++i) {
            const uint8_t index = row[firstColumn + static_cast<int64_t>(i)];
            const RgbQuad q = index < colors.size() ? colors[index] : RgbQuad{};
            out[i] = makePixel(q.rgbRed, q.rgbGreen, q.rgbBlue);
        }
        break;
    case 16:
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* p = row + 2 * (firstColumn + static_cast<int64_t>(i));
            const uint32_t v = static_cast<uint32_t>(p[0] | (p[1] << 8));
            out[i] = (expand5((v >> 10) & 31) << 16) | (expand5((v >> 5) & 31) << 8) | expand5(v & 31);
        }
        break;
    case 24:
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* p = row + 3 * (firstColumn + static_cast<int64_t>(i));
            out[i] = makePixel(p[2], p[1], p[0]);
        }
        break;
    default:
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* p = row + 4 * (firstColumn + static_cast<int64_t>(i));
            out[i] = makePixel(p[2], p[1], p[0]); // the fourth byte is unused in a BI_RGB bitmap
        }
        break;
    }
}

DibSection::DibSection(std::vector<uint32_t> pixels, int32_t width, int32_t height, bool topDown)
    : m_pixels(std::move(pixels)), m_topDown(topDown), m_surface(viewOf(m_pixels, width, height, topDown))
{
}

std::shared_ptr<DibSection> DibSection::create(int32_t width, int32_t height, int bitsPerPixel, bool topDown)
{
    if (width <= 0 || height <= 0 || bitsPerPixel != 32 || int64_t{width} * height > kMaxPixels)
        return nullptr;
    try {
        std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height), 0u);
        return std::make_shared<DibSection>(std::move(pixels), width, height, topDown);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

BitmapInfoHeader DibSection::header() const
{
    BitmapInfoHeader h;
    h.biWidth = width();
    h.biHeight = m_topDown ? -height() : height();
    h.biBitCount = 32;
    h.biSizeImage = static_cast<uint32_t>(width()) * static_cast<uint32_t>(height()) * 4;
    return h;
}

} // namespace pf
