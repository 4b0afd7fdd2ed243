// Dc: lines and shapes.
#include "platform/gfx/dc.h"

#include "platform/gfx/clip_painter.h"
#include "platform/gfx/ellipse_raster.h"
#include "platform/gfx/line_raster.h"
#include "platform/gfx/polygon_raster.h"

#include <array>
#include <mutex>

namespace pf {

namespace {

LinePattern patternOf(const Pen& pen)
{
    if (pen.width > 1)
        return LinePattern::kSolid; // styled pens wider than one pixel draw solid
    switch (pen.style) {
    case PS_DOT:
        return LinePattern::kDot;
    case PS_DASH:
        return LinePattern::kDash;
    default:
        return LinePattern::kSolid;
    }
}

// Passes on the pixels whose device coordinates have an even sum: the dotted pattern of focus rectangles.
class CheckerFilter : public SpanSink {
public:
    CheckerFilter(SpanSink& out, Point origin) : m_out(out), m_origin(origin) {}
    void span(int64_t y, int64_t x0, int64_t x1) override
    {
        for (int64_t x = x0; x < x1; ++x)
            if (((x - m_origin.x) + (y - m_origin.y)) % 2 == 0)
                m_out.span(y, x, x + 1);
    }

private:
    SpanSink& m_out;
    Point m_origin;
};

// The four disjoint sides of a frame `thickness` pixels wide inside a surface rectangle.
std::array<Rect, 4> frameSides(const Rect& box, int32_t thickness)
{
    const int64_t w = std::min<int64_t>(thickness, box.height());
    const int32_t topEnd = saturateToInt32(int64_t{box.t} + w);
    const int32_t bottomStart = std::max(topEnd, saturateToInt32(int64_t{box.b} - thickness));
    const int32_t leftEnd = saturateToInt32(std::min<int64_t>(int64_t{box.l} + thickness, box.r));
    const int32_t rightStart = std::max(leftEnd, saturateToInt32(int64_t{box.r} - thickness));
    return {Rect{box.l, box.t, box.r, topEnd}, Rect{box.l, bottomStart, box.r, box.b},
            Rect{box.l, topEnd, leftEnd, bottomStart}, Rect{rightStart, topEnd, box.r, bottomStart}};
}

} // namespace

std::optional<PixelOp> Dc::penOp() const
{
    if (m_state.pen.style == PS_NULL || m_state.rop2 == R2_NOP)
        return std::nullopt;
    return pixelOpForRop2(m_state.rop2, pixelFromColorRef(m_state.pen.color));
}

std::optional<PixelOp> Dc::brushOp() const
{
    if (m_state.brush.isHollow() || m_state.rop2 == R2_NOP)
        return std::nullopt;
    return pixelOpForRop2(m_state.rop2, pixelFromColorRef(m_state.brush.color));
}

void Dc::strokePath(std::span<const Point64> points, bool closed, const PixelOp& op)
{
    ClipPainter painter(*m_surface, m_effectiveClip, op);
    const RasterBounds bounds = clipBounds();
    const Pen& pen = m_state.pen;
    const size_t segments = closed ? points.size() : points.size() - 1;
    for (size_t i = 0; i < segments; ++i) {
        const Point64 from = points[i];
        const Point64 to = points[(i + 1) % points.size()];
        if (pen.width > 1)
            rasterizeWideLine(from, to, pen.width, bounds, painter);
        else
            rasterizeThinLine(from, to, patternOf(pen), bounds, painter);
    }
}

void Dc::fillSurfaceRect(const Rect& surfaceRect, const PixelOp& op)
{
    for (const Rect& clip : m_effectiveClip.rects()) {
        const Rect part = clip.intersected(surfaceRect);
        for (int32_t y = part.t; y < part.b; ++y) {
            uint32_t* const row = m_surface->row(y);
            for (int32_t x = part.l; x < part.r; ++x)
                row[x] = op.apply(row[x]);
        }
    }
}

void Dc::strokeRectangleOutline(const Rect& box, const PixelOp& op)
{
    const Pen& pen = m_state.pen;
    if (patternOf(pen) != LinePattern::kSolid && box.width() >= 2 && box.height() >= 2) {
        // Walked as a closed path through the four corner pixels: each side stops before the next corner.
        const std::array<Point64, 4> corners = {Point64{box.l, box.t}, Point64{int64_t{box.r} - 1, box.t},
                                                Point64{int64_t{box.r} - 1, int64_t{box.b} - 1},
                                                Point64{box.l, int64_t{box.b} - 1}};
        strokePath(corners, true, op);
        return;
    }
    for (const Rect& side : frameSides(box, std::max(1, pen.width)))
        fillSurfaceRect(side, op);
}

bool Dc::lineTo(Point p)
{
    const Point from = moveTo(p);
    if (!admit(RasterUse::kMix, static_cast<uint32_t>(m_state.rop2)))
        return false;
    if (const std::optional<PixelOp> op = penOp()) {
        const std::lock_guard lock(m_surface->mutex());
        const std::array<Point64, 2> points = {toSurface(from), toSurface(p)};
        strokePath(points, false, *op);
    }
    return true;
}

bool Dc::polyline(std::span<const Point> points)
{
    if (points.size() < 2 || !admit(RasterUse::kMix, static_cast<uint32_t>(m_state.rop2)))
        return false;
    if (const std::optional<PixelOp> op = penOp()) {
        const std::lock_guard lock(m_surface->mutex());
        strokePath(toSurface(points), false, *op);
    }
    return true;
}

bool Dc::polygon(std::span<const Point> points)
{
    if (points.size() < 2 || !admit(RasterUse::kMix, static_cast<uint32_t>(m_state.rop2)))
        return false;
    const std::vector<Point64> surfacePoints = toSurface(points);
    const std::lock_guard lock(m_surface->mutex());
    if (const std::optional<PixelOp> op = brushOp()) {
        ClipPainter painter(*m_surface, m_effectiveClip, *op);
        rasterizePolygon(surfacePoints, m_state.polyFillMode, clipBounds(), painter);
    }
    if (const std::optional<PixelOp> op = penOp())
        strokePath(surfacePoints, true, *op);
    return true;
}

bool Dc::rectangle(const Rect& r)
{
    if (!admit(RasterUse::kMix, static_cast<uint32_t>(m_state.rop2)))
        return false;
    const Rect box = logicalToSurfaceRect(r.normalized());
    if (box.isEmpty())
        return true;
    const std::lock_guard lock(m_surface->mutex());
    const std::optional<PixelOp> pen = penOp();
    const std::optional<PixelOp> brush = brushOp();
    if (m_state.pen.style == PS_NULL) {
        // Without an outline the fill stops one pixel short on the right and at the bottom.
        if (brush)
            fillSurfaceRect({box.l, box.t, saturateToInt32(int64_t{box.r} - 1), saturateToInt32(int64_t{box.b} - 1)},
                            *brush);
        return true;
    }
    const int32_t w = std::max(1, m_state.pen.width);
    if (brush)
        fillSurfaceRect(box.inflatedBy(-w, -w), *brush);
    if (pen)
        strokeRectangleOutline(box, *pen);
    return true;
}

bool Dc::ellipse(const Rect& r)
{
    if (!admit(RasterUse::kMix, static_cast<uint32_t>(m_state.rop2)))
        return false;
    const Rect n = r.normalized();
    const Point64 a = toSurface({n.l, n.t});
    const Point64 b = toSurface({n.r, n.b});
    const EllipseBox box{a.x, a.y, b.x, b.y};
    const bool hasOutline = m_state.pen.style != PS_NULL;
    const int32_t penWidth = hasOutline ? std::max(1, m_state.pen.width) : 0;
    const std::lock_guard lock(m_surface->mutex());
    if (const std::optional<PixelOp> op = brushOp()) {
        ClipPainter painter(*m_surface, m_effectiveClip, *op);
        rasterizeEllipseInterior(box, penWidth, clipBounds(), painter);
    }
    if (const std::optional<PixelOp> op = penOp()) {
        ClipPainter painter(*m_surface, m_effectiveClip, *op);
        rasterizeEllipseOutline(box, penWidth, clipBounds(), painter);
    }
    return true;
}

bool Dc::fillRect(const Rect& r, const Brush& brush)
{
    if (!admit(RasterUse::kCopy, 0))
        return false;
    if (brush.isHollow())
        return true;
    const std::lock_guard lock(m_surface->mutex());
    fillSurfaceRect(logicalToSurfaceRect(r), PixelOp{0, pixelFromColorRef(brush.color)});
    return true;
}

void Dc::draw3dRect(const Rect& r, ColorRef topLeft, ColorRef bottomRight)
{
    const Brush light = createSolidBrush(topLeft);
    const Brush dark = createSolidBrush(bottomRight);
    const int32_t lastColumn = saturateToInt32(int64_t{r.r} - 1);
    const int32_t lastRow = saturateToInt32(int64_t{r.b} - 1);
    fillRect({r.l, r.t, lastColumn, saturateToInt32(int64_t{r.t} + 1)}, light);
    fillRect({r.l, r.t, saturateToInt32(int64_t{r.l} + 1), lastRow}, light);
    fillRect({lastColumn, r.t, r.r, r.b}, dark);
    fillRect({r.l, lastRow, r.r, r.b}, dark);
}

bool Dc::drawFocusRect(const Rect& r)
{
    if (!admit(RasterUse::kFocusRect, 0))
        return false;
    const Rect box = logicalToSurfaceRect(r);
    if (box.isEmpty())
        return true;
    const std::lock_guard lock(m_surface->mutex());
    ClipPainter painter(*m_surface, m_effectiveClip, PixelOp{0xFFFFFFFFu, kPixelRgbMask});
    CheckerFilter dotted(painter, m_origin);
    const Rect reach = m_effectiveClip.bounds();
    for (const Rect& side : frameSides(box, 1)) {
        const Rect part = side.intersected(reach);
        for (int32_t y = part.t; y < part.b; ++y)
            dotted.span(y, part.l, part.r);
    }
    return true;
}

ColorRef Dc::setPixel(Point p, ColorRef color)
{
    if (!admit(RasterUse::kCopy, 0))
        return CLR_INVALID;
    const Point64 s = toSurface(p);
    const std::lock_guard lock(m_surface->mutex());
    if (s.x < INT32_MIN || s.x > INT32_MAX || s.y < INT32_MIN || s.y > INT32_MAX ||
        !m_effectiveClip.contains({static_cast<int32_t>(s.x), static_cast<int32_t>(s.y)}))
        return CLR_INVALID;
    m_surface->setPixel(static_cast<int32_t>(s.x), static_cast<int32_t>(s.y), pixelFromColorRef(color));
    return color;
}

ColorRef Dc::getPixel(Point p) const
{
    if (m_surface == nullptr)
        return CLR_INVALID;
    const Point64 s = toSurface(p);
    const std::lock_guard lock(m_surface->mutex());
    if (s.x < INT32_MIN || s.x > INT32_MAX || s.y < INT32_MIN || s.y > INT32_MAX ||
        !m_effectiveClip.contains({static_cast<int32_t>(s.x), static_cast<int32_t>(s.y)}))
        return CLR_INVALID;
    return colorRefFromPixel(m_surface->pixel(static_cast<int32_t>(s.x), static_cast<int32_t>(s.y)));
}

} // namespace pf
