#include "platform/display/compositor.h"

#include "platform/base/color.h"

#include <algorithm>
#include <mutex>

namespace pf {

Compositor::Compositor(const Screen& screen)
    : m_overlay(screen.overlay()), m_desktop(pixelFromColorRef(screen.desktopColor()))
{
    for (const TopLevelView& view : screen.topLevels())
        if (view.visible && view.surface != nullptr && !view.rect.isEmpty())
            m_windows.push_back(view);
}

uint32_t Compositor::composePixel(Point p) const
{
    Surface32 one(1, 1);
    composeRect({p.x, p.y, saturateToInt32(int64_t{p.x} + 1), saturateToInt32(int64_t{p.y} + 1)}, one);
    return one.pixel(0, 0);
}

void Compositor::composeRect(const Rect& r, Surface32& out) const
{
    const Rect area = r.intersected(Rect::fromXywh(r.l, r.t, out.width(), out.height()));
    if (area.isEmpty())
        return;
    const std::lock_guard outLock(out.mutex());
    for (int32_t y = area.t; y < area.b; ++y)
        std::fill_n(out.row(y - r.t), area.width(), m_desktop);

    // Bottom to top, so the topmost window's pixels are the ones left standing.
    for (auto it = m_windows.rbegin(); it != m_windows.rend(); ++it) {
        const Rect shown = it->rect.intersected(area);
        if (shown.isEmpty())
            continue;
        const Surface32& surface = *it->surface;
        const std::lock_guard lock(surface.mutex());
        for (int32_t y = shown.t; y < shown.b; ++y) {
            uint32_t* const dest = out.row(y - r.t);
            const int64_t sy = int64_t{y} - it->rect.t;
            for (int32_t x = shown.l; x < shown.r; ++x) {
                const int64_t sx = int64_t{x} - it->rect.l;
                const bool has = sy < surface.height() && sx < surface.width();
                dest[x - r.l] =
                    has ? surface.pixel(static_cast<int32_t>(sx), static_cast<int32_t>(sy)) & kPixelRgbMask : 0u;
            }
        }
    }

    const Rect overlaid = area.intersected(m_overlay->bounds());
    const std::lock_guard overlayLock(m_overlay->mutex());
    for (int32_t y = overlaid.t; y < overlaid.b; ++y) {
        const uint32_t* const xorRow = m_overlay->row(y);
        uint32_t* const dest = out.row(y - r.t);
        for (int32_t x = overlaid.l; x < overlaid.r; ++x)
            dest[x - r.l] ^= xorRow[x] & kPixelRgbMask;
    }
}

} // namespace pf
