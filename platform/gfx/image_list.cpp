#include "platform/gfx/image_list.h"

#include "platform/base/gdi_constants.h"
#include "platform/gfx/dc.h"

#include "platform/gfx/gdi_objects.h"
#include <algorithm>

namespace pf {

namespace {

// A stored picture keeps alpha 255 on opaque pixels of pictures without their own alpha, and alpha 0 where masked,
// so drawing needs one rule: skip 0, copy 255, blend between.
uint32_t opaque(uint32_t p)
{
    return p | 0xFF000000u;
}

} // namespace

std::shared_ptr<ImageList> ImageList::create(int32_t cx, int32_t cy, uint32_t /*flags*/, int32_t initial,
                                             int32_t /*grow*/)
{
    if (cx < 1 || cy < 1 || cx > Icon::kMaxSide || cy > Icon::kMaxSide)
        return nullptr;
    std::shared_ptr<ImageList> list(new ImageList(cx, cy));
    if (initial > 0)
        list->m_images.reserve(static_cast<size_t>(std::min(initial, kMaxImages)));
    return list;
}

std::vector<uint32_t> ImageList::pictureFrom(const DibSection& bitmap, const DibSection* mask, int32_t column) const
{
    std::vector<uint32_t> out(static_cast<size_t>(m_cx) * m_cy);
    const Surface32& src = bitmap.surface();
    bool anyAlpha = false;
    for (int32_t y = 0; y < m_cy; ++y)
        for (int32_t x = 0; x < m_cx; ++x)
            anyAlpha = anyAlpha || pixelAlpha(src.pixel(column * m_cx + x, y)) != 0;
    for (int32_t y = 0; y < m_cy; ++y) {
        for (int32_t x = 0; x < m_cx; ++x) {
            const uint32_t p = src.pixel(column * m_cx + x, y);
            const bool masked = mask != nullptr && (mask->surface().pixel(column * m_cx + x, y) & kPixelRgbMask) != 0;
            out[static_cast<size_t>(y) * m_cx + x] = masked ? 0u : (anyAlpha ? p : opaque(p));
        }
    }
    return out;
}

int32_t ImageList::add(const DibSection& bitmap, const DibSection* mask)
{
    if (bitmap.height() != m_cy || bitmap.width() < m_cx)
        return -1;
    if (mask != nullptr && (mask->width() != bitmap.width() || mask->height() != bitmap.height()))
        return -1;
    const int32_t pictures = bitmap.width() / m_cx;
    if (pictures > kMaxImages - count())
        return -1;
    const int32_t first = count();
    for (int32_t i = 0; i < pictures; ++i)
        m_images.push_back(pictureFrom(bitmap, mask, i));
    return first;
}

int32_t ImageList::addIcon(const Icon& icon)
{
    if (count() >= kMaxImages)
        return -1;
    m_images.emplace_back();
    replaceIcon(count() - 1, icon);
    return count() - 1;
}

bool ImageList::replace(int32_t index, const DibSection& bitmap, const DibSection* mask)
{
    if (index < 0 || index >= count() || bitmap.height() != m_cy || bitmap.width() < m_cx)
        return false;
    if (mask != nullptr && (mask->width() != bitmap.width() || mask->height() != bitmap.height()))
        return false;
    m_images[static_cast<size_t>(index)] = pictureFrom(bitmap, mask, 0);
    return true;
}

bool ImageList::replaceIcon(int32_t index, const Icon& icon)
{
    if (index < 0 || index >= count())
        return false;
    std::vector<uint32_t> out(static_cast<size_t>(m_cx) * m_cy);
    for (int32_t y = 0; y < m_cy; ++y) {
        for (int32_t x = 0; x < m_cx; ++x) {
            const int32_t sx = x * icon.width() / m_cx;
            const int32_t sy = y * icon.height() / m_cy;
            const uint32_t p = icon.pixel(sx, sy);
            uint32_t stored = icon.hasAlpha() ? p : opaque(p);
            if (icon.isTransparentAt(sx, sy))
                stored = 0;
            out[static_cast<size_t>(y) * m_cx + x] = stored;
        }
    }
    m_images[static_cast<size_t>(index)] = std::move(out);
    return true;
}

bool ImageList::remove(int32_t index)
{
    if (index == -1) {
        m_images.clear();
        m_overlays.fill(0);
        return true;
    }
    if (index < 0 || index >= count())
        return false;
    m_images.erase(m_images.begin() + index);
    return true;
}

ColorRef ImageList::setBkColor(ColorRef color)
{
    const ColorRef previous = m_bkColor;
    m_bkColor = color;
    return previous;
}

bool ImageList::setOverlayImage(int32_t image, int32_t overlay)
{
    if (image < 0 || image >= count() || overlay < 1 || overlay > 15)
        return false;
    m_overlays[static_cast<size_t>(overlay)] = image + 1;
    return true;
}

bool ImageList::draw(Dc& dc, int32_t index, Point topLeft, uint32_t style) const
{
    if (index < 0 || index >= count() || !dc.isValid())
        return false;
    // Nothing of it can show: skipped whole, where the pixel walk below would test every pixel against the clip.
    if (!Rect::fromXywh(topLeft.x, topLeft.y, m_cx, m_cy).intersects(dc.getClipBox()))
        return true;
    if ((style & ILD_TRANSPARENT) == 0 && m_bkColor != CLR_NONE)
        dc.fillRect(Rect::fromXywh(topLeft.x, topLeft.y, m_cx, m_cy), createSolidBrush(m_bkColor));
    const uint32_t highlight = pixelFromColorRef(getSysColor(COLOR_HIGHLIGHT));
    const auto paint = [&](const std::vector<uint32_t>& picture) {
        for (int32_t y = 0; y < m_cy; ++y) {
            for (int32_t x = 0; x < m_cx; ++x) {
                uint32_t p = picture[static_cast<size_t>(y) * m_cx + x];
                if (pixelAlpha(p) == 0)
                    continue;
                const Point at{topLeft.x + x, topLeft.y + y};
                const ColorRef under = dc.getPixel(at);
                if (under == CLR_INVALID)
                    continue;
                if ((style & ILD_BLEND50) != 0)
                    p = (blendPixel(p, highlight, 128) & kPixelRgbMask) | (p & 0xFF000000u);
                dc.setPixel(at, colorRefFromPixel(blendPixel(p, pixelFromColorRef(under), pixelAlpha(p))));
            }
        }
    };
    paint(m_images[static_cast<size_t>(index)]);
    const uint32_t overlay = (style >> 8) & 15;
    if (overlay != 0 && m_overlays[overlay] != 0)
        paint(m_images[static_cast<size_t>(m_overlays[overlay] - 1)]);
    return true;
}

IconRef ImageList::getIcon(int32_t index) const
{
    if (index < 0 || index >= count())
        return nullptr;
    const std::vector<uint32_t>& picture = m_images[static_cast<size_t>(index)];
    std::vector<uint8_t> mask(picture.size());
    for (size_t i = 0; i < picture.size(); ++i)
        mask[i] = pixelAlpha(picture[i]) == 0 ? 1 : 0;
    return Icon::create(m_cx, m_cy, picture, std::move(mask), {m_cx / 2, m_cy / 2});
}

} // namespace pf
