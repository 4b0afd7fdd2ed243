#include "platform/gfx/icon.h"

#include "platform/gfx/dc.h"

#include <algorithm>

namespace pf {

std::shared_ptr<const Icon> Icon::create(int32_t width, int32_t height, std::vector<uint32_t> argb,
                                         std::vector<uint8_t> mask, Point hotSpot)
{
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide)
        return nullptr;
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    if (argb.size() != count)
        return nullptr;
    if (mask.empty())
        mask.assign(count, 0);
    if (mask.size() != count)
        return nullptr;
    return std::make_shared<const Icon>(width, height, std::move(argb), std::move(mask), hotSpot);
}

Icon::Icon(int32_t width, int32_t height, std::vector<uint32_t> argb, std::vector<uint8_t> mask, Point hotSpot)
    : m_width(width), m_height(height), m_argb(std::move(argb)), m_mask(std::move(mask)), m_hotSpot(hotSpot),
      m_hasAlpha(false)
{
    for (const uint32_t p : m_argb)
        m_hasAlpha = m_hasAlpha || pixelAlpha(p) != 0;
}

uint32_t blendPixel(uint32_t over, uint32_t under, uint32_t alpha)
{
    const auto mix = [alpha](uint32_t a, uint32_t b) { return (a * alpha + b * (255 - alpha) + 127) / 255; };
    return makePixel(static_cast<uint8_t>(mix(pixelRed(over), pixelRed(under))),
                     static_cast<uint8_t>(mix(pixelGreen(over), pixelGreen(under))),
                     static_cast<uint8_t>(mix(pixelBlue(over), pixelBlue(under))));
}

uint32_t Icon::composeOver(int32_t x, int32_t y, uint32_t under) const
{
    if (isTransparentAt(x, y))
        return under;
    const uint32_t p = pixel(x, y);
    if (!m_hasAlpha)
        return p & kPixelRgbMask;
    return blendPixel(p, under, pixelAlpha(p));
}

bool drawIcon(Dc& dc, Point topLeft, const Icon& icon)
{
    if (!dc.isValid())
        return false;
    for (int32_t y = 0; y < icon.height(); ++y) {
        for (int32_t x = 0; x < icon.width(); ++x) {
            if (icon.isTransparentAt(x, y) || (icon.hasAlpha() && pixelAlpha(icon.pixel(x, y)) == 0))
                continue;
            const Point at{topLeft.x + x, topLeft.y + y};
            const ColorRef under = dc.getPixel(at);
            if (under == CLR_INVALID)
                continue; // clipped
            const uint32_t shown = icon.composeOver(x, y, pixelFromColorRef(under));
            dc.setPixel(at, colorRefFromPixel(shown));
        }
    }
    return true;
}

namespace {

// A 5 x 5 glyph per hexadecimal digit of the id's low nibble, enough to tell generated pictures apart.
constexpr uint32_t kGlyphs[16] = {0x1D6B7, 0x0C92E, 0x1C9D7, 0x1C8E7, 0x16F92, 0x1E8E7, 0x1E9F7, 0x1C924,
                                  0x1EFF7, 0x1EF97, 0x0AFDD, 0x1AEB6, 0x1E4A7, 0x1ADB6, 0x1E9E7, 0x1E9E4};

} // namespace

IconRef generatedIcon(uint32_t id, int32_t side)
{
    if (side < 1 || side > Icon::kMaxSide)
        return nullptr;
    uint32_t h = id * 2654435761u;
    const uint32_t tint =
        makePixel(static_cast<uint8_t>(64 + (h >> 24) % 160), static_cast<uint8_t>(64 + (h >> 16) % 160),
                  static_cast<uint8_t>(64 + (h >> 8) % 160), 255);
    const size_t count = static_cast<size_t>(side) * side;
    std::vector<uint32_t> argb(count, tint);
    std::vector<uint8_t> mask(count, 0);
    const int32_t inset = side / 8;
    const int32_t cell = std::max(1, (side - 2 * inset) / 5);
    const uint32_t glyph = kGlyphs[id & 15];
    for (int32_t y = 0; y < side; ++y) {
        for (int32_t x = 0; x < side; ++x) {
            const size_t i = static_cast<size_t>(y) * side + x;
            if (x == 0 || y == 0 || x == side - 1 || y == side - 1) {
                argb[i] = makePixel(0, 0, 0, 255);
                continue;
            }
            const int32_t gx = (x - inset) / cell;
            const int32_t gy = (y - inset) / cell;
            if (x >= inset && y >= inset && gx < 5 && gy < 5 && ((glyph >> (24 - (gy * 5 + gx))) & 1) != 0)
                argb[i] = makePixel(255, 255, 255, 255);
        }
    }
    return Icon::create(side, side, std::move(argb), std::move(mask));
}

} // namespace pf
