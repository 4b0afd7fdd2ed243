#include "platform/gfx/edge.h"

#include "platform/base/gdi_constants.h"
#include "platform/gfx/dc.h"
#include "platform/gfx/gdi_objects.h"

namespace pf {

namespace {

EdgeColors ringOf(int32_t topLeft, int32_t bottomRight)
{
    return {getSysColor(topLeft), getSysColor(bottomRight)};
}

} // namespace

int32_t edgeWidth(EdgeKind kind)
{
    switch (kind) {
    case EdgeKind::kRaisedOuter:
    case EdgeKind::kRaisedInner:
    case EdgeKind::kSunkenOuter:
    case EdgeKind::kSunkenInner:
    case EdgeKind::kFlat:
        return 1;
    default:
        return 2;
    }
}

EdgeColors edgeRingColors(EdgeKind kind, int32_t ring)
{
    const bool outer = ring == 0 || edgeWidth(kind) == 1;
    switch (kind) {
    case EdgeKind::kRaisedOuter:
        return ringOf(COLOR_3DLIGHT, COLOR_3DDKSHADOW);
    case EdgeKind::kRaisedInner:
        return ringOf(COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW);
    case EdgeKind::kSunkenOuter:
        return ringOf(COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT);
    case EdgeKind::kSunkenInner:
        return ringOf(COLOR_3DDKSHADOW, COLOR_3DLIGHT);
    case EdgeKind::kRaised:
        return outer ? ringOf(COLOR_3DLIGHT, COLOR_3DDKSHADOW) : ringOf(COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW);
    case EdgeKind::kSunken:
        return outer ? ringOf(COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT) : ringOf(COLOR_3DDKSHADOW, COLOR_3DLIGHT);
    case EdgeKind::kEtched:
        return outer ? ringOf(COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT) : ringOf(COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW);
    case EdgeKind::kBump:
        return outer ? ringOf(COLOR_3DLIGHT, COLOR_3DDKSHADOW) : ringOf(COLOR_3DDKSHADOW, COLOR_3DLIGHT);
    case EdgeKind::kButton:
        return outer ? ringOf(COLOR_BTNHIGHLIGHT, COLOR_3DDKSHADOW) : ringOf(COLOR_3DLIGHT, COLOR_BTNSHADOW);
    case EdgeKind::kButtonPushed:
        return outer ? ringOf(COLOR_3DDKSHADOW, COLOR_BTNHIGHLIGHT) : ringOf(COLOR_BTNSHADOW, COLOR_3DLIGHT);
    case EdgeKind::kFlat:
        return ringOf(COLOR_BTNSHADOW, COLOR_BTNSHADOW);
    }
    return {};
}

Rect drawEdge(Dc& dc, const Rect& r, EdgeKind kind)
{
    Rect ring = r;
    for (int32_t i = 0; i < edgeWidth(kind); ++i) {
        if (ring.isEmpty())
            return {};
        const EdgeColors colors = edgeRingColors(kind, i);
        dc.draw3dRect(ring, colors.topLeft, colors.bottomRight);
        ring = ring.inflatedBy(-1, -1);
    }
    return ring.isEmpty() ? Rect{} : ring;
}

void drawEtchedLine(Dc& dc, Point from, int32_t length, bool vertical)
{
    if (length <= 0)
        return;
    const Brush shadow = createSolidBrush(getSysColor(COLOR_BTNSHADOW));
    const Brush highlight = createSolidBrush(getSysColor(COLOR_BTNHIGHLIGHT));
    if (vertical) {
        dc.fillRect(Rect::fromXywh(from.x, from.y, 1, length), shadow);
        dc.fillRect(Rect::fromXywh(from.x + 1, from.y, 1, length), highlight);
    } else {
        dc.fillRect(Rect::fromXywh(from.x, from.y, length, 1), shadow);
        dc.fillRect(Rect::fromXywh(from.x, from.y + 1, length, 1), highlight);
    }
}

void drawEtchedText(Dc& dc, int32_t x, int32_t y, std::string_view text)
{
    const ColorRef color = dc.textColor();
    const int32_t mode = dc.setBkMode(TRANSPARENT);
    dc.setTextColor(getSysColor(COLOR_BTNHIGHLIGHT));
    dc.textOut(x + 1, y + 1, text);
    dc.setTextColor(getSysColor(COLOR_BTNSHADOW));
    dc.textOut(x, y, text);
    dc.setTextColor(color);
    dc.setBkMode(mode);
}

} // namespace pf
