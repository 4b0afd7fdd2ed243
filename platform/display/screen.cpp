#include "platform/display/screen.h"

#include "platform/base/gdi_constants.h"
#include "platform/display/compositor.h"
#include "platform/gfx/gdi_objects.h"
#include "platform/gfx/png_file.h"

#include <algorithm>

namespace pf {

Screen::Screen() : m_desktop(getSysColor(COLOR_BACKGROUND))
{
    const Size s = displayMode().size();
    m_overlay = std::make_shared<Surface32>(s.cx, s.cy);
}

Size Screen::size() const
{
    return displayMode().size();
}

void Screen::setSize(Size size)
{
    if (size.cx < 1 || size.cy < 1)
        return;
    const std::lock_guard lock(m_mutex);
    displayMode().setSize(size);
    m_overlay = std::make_shared<Surface32>(size.cx, size.cy); // screen DCs still drawing keep the old one alive
    m_workArea = {};
}

Rect Screen::workArea() const
{
    const Rect whole = bounds();
    const std::lock_guard lock(m_mutex);
    return m_workArea.isEmpty() ? whole : m_workArea;
}

void Screen::setWorkArea(const Rect& area)
{
    const Rect clipped = area.intersected(bounds());
    const std::lock_guard lock(m_mutex);
    m_workArea = clipped.isEmpty() ? Rect{} : clipped;
}

ColorRef Screen::desktopColor() const
{
    const std::lock_guard lock(m_mutex);
    return m_desktop;
}

void Screen::setDesktopColor(ColorRef color)
{
    const std::lock_guard lock(m_mutex);
    m_desktop = color;
}

void Screen::setTopLevels(std::vector<TopLevelView> topmostFirst)
{
    const std::lock_guard lock(m_mutex);
    m_topLevels = std::move(topmostFirst);
}

std::vector<TopLevelView> Screen::topLevels() const
{
    const std::lock_guard lock(m_mutex);
    return m_topLevels;
}

std::shared_ptr<Surface32> Screen::overlay() const
{
    const std::lock_guard lock(m_mutex);
    return m_overlay;
}

void Screen::overlayDrawerMade() const
{
    m_overlayDrawers.fetch_add(1);
    m_drawersMade.fetch_add(1);
}

void Screen::overlayDrawerGone() const
{
    m_overlayDrawers.fetch_sub(1);
}

bool Screen::isOverlayClear() const
{
    const uint64_t made = m_drawersMade.load();
    if (m_overlayDrawers.load() == 0 && m_clearSince.load() == made)
        return true;
    const std::shared_ptr<Surface32> surface = overlay();
    {
        const std::lock_guard lock(surface->mutex());
        for (int32_t y = 0; y < surface->height(); ++y) {
            const uint32_t* row = surface->row(y);
            if (std::any_of(row, row + surface->width(), [](uint32_t p) { return (p & kPixelRgbMask) != 0; }))
                return false;
        }
    }
    // Only when no drawer lived through the read, nor came and went during it, does "clear" stay true unread.
    if (m_overlayDrawers.load() == 0 && m_drawersMade.load() == made)
        m_clearSince.store(made);
    return true;
}

bool Screen::writePng(const std::string& path) const
{
    const Size s = size();
    Surface32 composed(s.cx, s.cy);
    Compositor(*this).composeRect(bounds(), composed);
    std::string error;
    return writePngFile(path, composed, error);
}

void Screen::reset()
{
    displayMode().reset();
    const Size s = displayMode().size();
    const std::lock_guard lock(m_mutex);
    m_desktop = getSysColor(COLOR_BACKGROUND);
    m_topLevels.clear();
    m_overlay = std::make_shared<Surface32>(s.cx, s.cy);
    m_workArea = {};
}

Screen& screen()
{
    static Screen instance;
    return instance;
}

} // namespace pf
