// Dc: state and selection, clipping, device capabilities and palettes. Drawing lives in dc_shapes.cpp,
// blits and device-independent bits in dc_blit.cpp, text in dc_text.cpp.
#include "platform/gfx/dc.h"

#include "platform/base/assertion.h"
#include "platform/gfx/clip_painter.h"
#include "platform/gfx/display_mode.h"
#include "platform/gfx/text/font.h"

#include <mutex>
#include <utility>

namespace pf {

Dc::Dc(Surface32* surface, Point origin, std::optional<Region> visible, bool isDisplay) : m_isDisplay(isDisplay)
{
    setTarget(surface, origin, std::move(visible));
}

Dc::~Dc() = default;

void Dc::setTarget(Surface32* surface, Point origin, std::optional<Region> visible)
{
    m_surface = surface;
    m_origin = origin;
    m_visible = std::move(visible);
    refreshEffectiveClip();
}

bool Dc::permits(RasterUse, uint32_t) const
{
    return true;
}

bool Dc::admit(RasterUse use, uint32_t code) const
{
    if (m_surface == nullptr)
        return false;
    const bool allowed = permits(use, code);
    PF_ASSERT(allowed, "this device context does not take that raster operation");
    return allowed;
}

// ---- state and selection

Pen Dc::selectPen(const Pen& pen)
{
    return std::exchange(m_state.pen, pen);
}
Brush Dc::selectBrush(const Brush& brush)
{
    return std::exchange(m_state.brush, brush);
}

FontRef Dc::selectFont(FontRef font)
{
    FontRef previous = this->font();
    m_state.font = std::move(font);
    return previous;
}

FontRef Dc::font() const
{
    if (m_state.font == nullptr)
        m_state.font = defaultGuiFont();
    return m_state.font;
}

GdiObject Dc::selectObject(const GdiObject& object)
{
    if (const Pen* pen = std::get_if<Pen>(&object))
        return selectPen(*pen);
    if (const Brush* brush = std::get_if<Brush>(&object))
        return selectBrush(*brush);
    if (const FontRef* font = std::get_if<FontRef>(&object))
        return selectFont(*font);
    return std::monostate{};
}

ColorRef Dc::setTextColor(ColorRef color)
{
    return std::exchange(m_state.textColor, color);
}
ColorRef Dc::setBkColor(ColorRef color)
{
    return std::exchange(m_state.bkColor, color);
}

int32_t Dc::setBkMode(int32_t mode)
{
    if (mode != TRANSPARENT && mode != OPAQUE)
        return 0;
    return std::exchange(m_state.bkMode, mode);
}

uint32_t Dc::setTextAlign(uint32_t align)
{
    return std::exchange(m_state.textAlign, align);
}

int32_t Dc::setROP2(int32_t rop2)
{
    if (rop2 < R2_BLACK || rop2 > R2_WHITE)
        return 0;
    return std::exchange(m_state.rop2, rop2);
}

int32_t Dc::setPolyFillMode(int32_t mode)
{
    if (mode != ALTERNATE && mode != WINDING)
        return 0;
    return std::exchange(m_state.polyFillMode, mode);
}

Point Dc::moveTo(Point p)
{
    return std::exchange(m_state.currentPosition, p);
}
Point Dc::setViewportOrg(Point origin)
{
    return std::exchange(m_state.viewportOrg, origin);
}

int32_t Dc::saveDc()
{
    m_saved.push_back(m_state);
    return static_cast<int32_t>(m_saved.size());
}

bool Dc::restoreDc(int32_t level)
{
    const int64_t depth = static_cast<int64_t>(m_saved.size());
    const int64_t target = level < 0 ? depth + level + 1 : level; // the depth whose saved state comes back
    if (level == 0 || target < 1 || target > depth)
        return false;
    m_state = m_saved[static_cast<size_t>(target - 1)];
    m_saved.resize(static_cast<size_t>(target - 1));
    refreshEffectiveClip();
    return true;
}

// ---- coordinates and clipping

Point64 Dc::toSurface(Point logical) const
{
    return {int64_t{logical.x} + m_state.viewportOrg.x + m_origin.x,
            int64_t{logical.y} + m_state.viewportOrg.y + m_origin.y};
}

std::vector<Point64> Dc::toSurface(std::span<const Point> logical) const
{
    std::vector<Point64> out;
    out.reserve(logical.size());
    for (const Point p : logical)
        out.push_back(toSurface(p));
    return out;
}

Rect Dc::logicalToSurfaceRect(const Rect& logical) const
{
    const Point64 a = toSurface({logical.l, logical.t});
    const Point64 b = toSurface({logical.r, logical.b});
    return {saturateToInt32(a.x), saturateToInt32(a.y), saturateToInt32(b.x), saturateToInt32(b.y)};
}

void Dc::refreshEffectiveClip()
{
    if (m_surface == nullptr) {
        m_effectiveClip = Region();
        return;
    }
    Region clip(m_surface->bounds());
    if (m_visible)
        clip.intersect(*m_visible);
    if (m_state.clip) {
        Region user = *m_state.clip;
        user.offset(m_origin.x, m_origin.y);
        clip.intersect(user);
    }
    m_effectiveClip = std::move(clip);
}

RasterBounds Dc::clipBounds() const
{
    return rasterBoundsOf(m_effectiveClip.bounds());
}

namespace {
int32_t complexityOf(const Region& region)
{
    if (region.isEmpty())
        return NULLREGION;
    return region.rects().size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}
} // namespace

int32_t Dc::intersectClipRect(const Rect& logical)
{
    const Point64 a{int64_t{logical.l} + m_state.viewportOrg.x, int64_t{logical.t} + m_state.viewportOrg.y};
    const Point64 b{int64_t{logical.r} + m_state.viewportOrg.x, int64_t{logical.b} + m_state.viewportOrg.y};
    const Region device(Rect{saturateToInt32(a.x), saturateToInt32(a.y), saturateToInt32(b.x), saturateToInt32(b.y)});
    if (m_state.clip)
        m_state.clip->intersect(device);
    else
        m_state.clip = device;
    refreshEffectiveClip();
    return complexityOf(m_effectiveClip);
}

int32_t Dc::selectClipRgn(const Region* device)
{
    if (device != nullptr)
        m_state.clip = *device;
    else
        m_state.clip.reset();
    refreshEffectiveClip();
    return complexityOf(m_effectiveClip);
}

Rect Dc::getClipBox() const
{
    const Rect bounds = m_effectiveClip.bounds();
    if (bounds.isEmpty())
        return {};
    return bounds.offsetBy(-m_origin.x, -m_origin.y).offsetBy(-m_state.viewportOrg.x, -m_state.viewportOrg.y);
}

// ---- device capabilities and palettes

int32_t Dc::getDeviceCaps(int32_t index) const
{
    const DisplayMode& display = displayMode();
    const int32_t depth = display.depth();
    switch (index) {
    case HORZRES:
        return display.size().cx;
    case VERTRES:
        return display.size().cy;
    case BITSPIXEL:
        return depth;
    case PLANES:
        return 1;
    case LOGPIXELSX:
    case LOGPIXELSY:
        return 96;
    case RASTERCAPS:
        return RC_BITBLT | RC_BITMAP64 | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHBLT | (depth == 8 ? RC_PALETTE : 0);
    case SIZEPALETTE:
        return depth == 8 ? 256 : 0;
    default:
        return 0;
    }
}

PaletteRef Dc::selectPalette(PaletteRef palette, bool forceBackground)
{
    m_state.paletteInBackground = forceBackground;
    return std::exchange(m_state.palette, std::move(palette));
}

uint32_t Dc::realizePalette()
{
    // The background flag is kept but does not stop loading: a display that never took a background palette would
    // show presented frames in the 20 static colours only.
    if (m_state.palette == nullptr)
        return 0;
    return displayMode().realizePalette(m_state.palette->entries());
}

} // namespace pf
