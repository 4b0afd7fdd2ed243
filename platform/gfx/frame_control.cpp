#include "platform/gfx/frame_control.h"

#include "platform/base/gdi_constants.h"
#include "platform/gfx/dc.h"
#include "platform/gfx/edge.h"
#include "platform/gfx/gdi_objects.h"

#include <algorithm>
#include <vector>

namespace pf {

namespace {

Brush sysBrush(int32_t index)
{
    return createSolidBrush(getSysColor(index));
}

int32_t shorterSide(const Rect& r)
{
    return static_cast<int32_t>(std::clamp<int64_t>(std::min(r.width(), r.height()), 0, 4096));
}

// One pixel of a shape that is lit from the top left, in the frame's own coordinates.
struct ShapePixel {
    int32_t along; // across the rows of a thumb pointing down: y; the transposed axis when it points right
    int32_t across;
    int32_t colorIndex;
};

// The rows of a thumb pointing down, w across and h along: a body, then rows narrowing by one pixel each side.
// Every row's ends are its outline: left end highlight, then light; right end dark shadow, then shadow.
std::vector<ShapePixel> thumbOutline(int32_t w, int32_t h)
{
    std::vector<ShapePixel> out;
    const int32_t pointRows = std::min((w - 1) / 2, std::max(0, h - 2));
    for (int32_t y = 0; y < h; ++y) {
        const int32_t inset = std::max(0, y - (h - pointRows) + 1);
        const int32_t l = inset;
        const int32_t r = w - inset; // excluded
        if (r - l < 1)
            break;
        if (y == 0) {
            for (int32_t x = l; x < r - 1; ++x)
                out.push_back({y, x, COLOR_BTNHIGHLIGHT});
            out.push_back({y, r - 1, COLOR_3DDKSHADOW});
            continue;
        }
        out.push_back({y, l, COLOR_BTNHIGHLIGHT});
        if (r - l >= 4)
            out.push_back({y, l + 1, COLOR_3DLIGHT});
        for (int32_t x = l + 2; y == 1 && x < r - 2; ++x)
            out.push_back({y, x, COLOR_3DLIGHT});
        if (r - l >= 3)
            out.push_back({y, r - 2, COLOR_BTNSHADOW});
        if (r - l >= 2)
            out.push_back({y, r - 1, COLOR_3DDKSHADOW});
    }
    return out;
}

} // namespace

Rect drawPushButtonFrame(Dc& dc, const Rect& r, bool outlined, bool pushed)
{
    dc.fillRect(r, sysBrush(COLOR_BTNFACE));
    Rect inside = r;
    if (outlined) {
        const ColorRef frame = getSysColor(COLOR_WINDOWFRAME);
        dc.draw3dRect(inside, frame, frame);
        inside = inside.inflatedBy(-1, -1);
    }
    return drawEdge(dc, inside, pushed ? EdgeKind::kButtonPushed : EdgeKind::kButton);
}

int32_t checkMarkSide(int32_t controlHeight)
{
    return std::clamp(controlHeight * 13 / 16, std::min(controlHeight, 9), 20);
}

void drawCheckBox(Dc& dc, const Rect& box, int32_t check, bool greyWell, bool enabled)
{
    const bool indeterminate = check == 2;
    dc.fillRect(box, sysBrush(greyWell || indeterminate ? COLOR_BTNFACE : COLOR_WINDOW));
    const Rect well = drawEdge(dc, box, EdgeKind::kSunken);
    if (check == 0 || well.isEmpty())
        return;
    const Rect mark = well.inflatedBy(-1, -1);
    drawGlyph(dc, mark, Glyph::kTick, getSysColor(indeterminate || !enabled ? COLOR_BTNSHADOW : COLOR_BTNTEXT));
}

void drawRadioButton(Dc& dc, const Rect& box, bool checked, bool greyWell, bool enabled)
{
    const int32_t side = shorterSide(box);
    const Point o{box.l + static_cast<int32_t>((box.width() - side) / 2),
                  box.t + static_cast<int32_t>((box.height() - side) / 2)};
    const EdgeColors outer = edgeRingColors(EdgeKind::kSunken, 0);
    const EdgeColors inner = edgeRingColors(EdgeKind::kSunken, 1);
    const ColorRef well = getSysColor(greyWell ? COLOR_BTNFACE : COLOR_WINDOW);
    for (int32_t y = 0; y < side; ++y) {
        for (int32_t x = 0; x < side; ++x) {
            if (!discCovers(side, side, x, y))
                continue;
            const bool upperLeft = x + y < side - 1; // the anti-diagonal splits the lit half from the dark one
            ColorRef c = well;
            if (!discCovers(side, side - 2, x, y))
                c = upperLeft ? outer.topLeft : outer.bottomRight;
            else if (!discCovers(side, side - 4, x, y))
                c = upperLeft ? inner.topLeft : inner.bottomRight;
            dc.fillRect({o.x + x, o.y + y, o.x + x + 1, o.y + y + 1}, createSolidBrush(c));
        }
    }
    if (!checked)
        return;
    // The dot shares the well's centre: its diameter has the side's parity.
    int32_t dot = std::max(2, side / 3);
    if ((dot - side) % 2 != 0)
        ++dot;
    const int32_t at = (side - dot) / 2;
    drawGlyph(dc, Rect::fromXywh(o.x + at, o.y + at, dot, dot), Glyph::kDot,
              getSysColor(enabled ? COLOR_BTNTEXT : COLOR_BTNSHADOW));
}

void drawArrowButton(Dc& dc, const Rect& r, Glyph arrow, bool pushed, bool enabled, bool flatWhenPushed)
{
    dc.fillRect(r, sysBrush(COLOR_BTNFACE));
    if (pushed)
        drawEdge(dc, r, flatWhenPushed ? EdgeKind::kFlat : EdgeKind::kButtonPushed);
    else
        drawEdge(dc, r, EdgeKind::kButton);
    const Rect glyphBox = pushed ? r.offsetBy(1, 1) : r;
    if (enabled)
        drawGlyph(dc, glyphBox, arrow, getSysColor(COLOR_BTNTEXT));
    else
        drawEtchedGlyph(dc, glyphBox, arrow);
}

void drawPointedThumb(Dc& dc, const Rect& r, bool pointsRight, bool pushed)
{
    const int32_t w = static_cast<int32_t>(std::clamp<int64_t>(pointsRight ? r.height() : r.width(), 0, 4096));
    const int32_t h = static_cast<int32_t>(std::clamp<int64_t>(pointsRight ? r.width() : r.height(), 0, 4096));
    const auto place = [&](int32_t along, int32_t across) {
        return pointsRight ? Point{r.l + along, r.t + across} : Point{r.l + across, r.t + along};
    };
    const Brush face = sysBrush(pushed ? COLOR_3DLIGHT : COLOR_BTNFACE);
    const int32_t pointRows = std::min((w - 1) / 2, std::max(0, h - 2));
    for (int32_t y = 0; y < h; ++y) {
        const int32_t inset = std::max(0, y - (h - pointRows) + 1);
        if (w - 2 * inset < 1)
            break;
        const Point a = place(y, inset);
        const Point b = place(y, w - inset);
        dc.fillRect(pointsRight ? Rect{a.x, a.y, a.x + 1, b.y} : Rect{a.x, a.y, b.x, a.y + 1}, face);
    }
    for (const ShapePixel& p : thumbOutline(w, h)) {
        const Point at = place(p.along, p.across);
        dc.fillRect({at.x, at.y, at.x + 1, at.y + 1}, sysBrush(p.colorIndex));
    }
}

Rect scrollArrowRect(const Rect& bar, bool vertical, bool first)
{
    const int32_t breadth = static_cast<int32_t>(std::clamp<int64_t>(vertical ? bar.width() : bar.height(), 0, 4096));
    const int32_t length = static_cast<int32_t>(std::clamp<int64_t>(vertical ? bar.height() : bar.width(), 0, 1 << 30));
    const int32_t side = std::min(breadth, length / 2);
    if (vertical)
        return first ? Rect{bar.l, bar.t, bar.r, bar.t + side} : Rect{bar.l, bar.b - side, bar.r, bar.b};
    return first ? Rect{bar.l, bar.t, bar.l + side, bar.b} : Rect{bar.r - side, bar.t, bar.r, bar.b};
}

void drawScrollBar(Dc& dc, const ScrollBarLook& look)
{
    const Rect first = scrollArrowRect(look.bar, look.vertical, true);
    const Rect second = scrollArrowRect(look.bar, look.vertical, false);
    const Rect track = look.vertical ? Rect{look.bar.l, first.b, look.bar.r, second.t}
                                     : Rect{first.r, look.bar.t, second.l, look.bar.b};
    drawDitheredTrack(dc, track);
    drawArrowButton(dc, first, look.vertical ? Glyph::kArrowUp : Glyph::kArrowLeft, look.pushedArrow == 1, look.enabled,
                    true);
    drawArrowButton(dc, second, look.vertical ? Glyph::kArrowDown : Glyph::kArrowRight, look.pushedArrow == 2,
                    look.enabled, true);
    const Rect thumb = look.thumb.intersected(track);
    if (!look.enabled || thumb.isEmpty())
        return;
    dc.fillRect(thumb, sysBrush(COLOR_BTNFACE));
    drawEdge(dc, thumb, EdgeKind::kButton);
}

void drawDitheredTrack(Dc& dc, const Rect& r)
{
    if (r.isEmpty())
        return;
    dc.fillRect(r, sysBrush(COLOR_BTNFACE));
    const Brush light = sysBrush(COLOR_BTNHIGHLIGHT);
    for (int32_t y = r.t; y < r.b; ++y)
        for (int32_t x = r.l + ((r.l + y) & 1); x < r.r; x += 2)
            dc.fillRect({x, y, x + 1, y + 1}, light);
}

void drawSizeGrip(Dc& dc, const Rect& r)
{
    const int32_t side = shorterSide(r);
    const Brush shadow = sysBrush(COLOR_BTNSHADOW);
    const Brush highlight = sysBrush(COLOR_BTNHIGHLIGHT);
    // k counts diagonals from the corner pixel; each ridge is two shadow diagonals under a highlight one.
    for (int32_t k = 1; k < side - 1; ++k) {
        const int32_t m = k % 4;
        if (m == 0)
            continue;
        const Brush& brush = m == 3 ? highlight : shadow;
        for (int32_t i = 0; i <= k; ++i)
            dc.fillRect({r.r - 1 - i, r.b - 1 - (k - i), r.r - i, r.b - (k - i)}, brush);
    }
}

} // namespace pf
