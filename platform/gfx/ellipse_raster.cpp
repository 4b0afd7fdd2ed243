#include "platform/gfx/ellipse_raster.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace pf {

namespace {

struct RowSpan {
    int64_t x0; // first pixel
    int64_t x1; // one past the last
};

class EllipseRows {
public:
    // The ellipse of the box shrunk by `inset` on every side (long double: coordinates reach +-2^31).
    EllipseRows(const EllipseBox& box, int64_t inset)
        : m_cx((static_cast<long double>(box.l) + box.r) / 2), m_cy((static_cast<long double>(box.t) + box.b) / 2),
          m_rx((static_cast<long double>(box.r) - box.l) / 2 - inset),
          m_ry((static_cast<long double>(box.b) - box.t) / 2 - inset)
    {
    }

    std::optional<RowSpan> row(int64_t y) const
    {
        if (m_rx <= 0 || m_ry <= 0)
            return std::nullopt;
        const long double v = (static_cast<long double>(y) + 0.5L - m_cy) / m_ry;
        const long double rest = 1.0L - v * v;
        if (rest < 0)
            return std::nullopt;
        const long double half = m_rx * std::sqrt(rest);
        const int64_t x0 = static_cast<int64_t>(std::ceil(m_cx - half - 0.5L));
        const int64_t x1 = static_cast<int64_t>(std::floor(m_cx + half - 0.5L)) + 1;
        if (x1 <= x0)
            return std::nullopt;
        return RowSpan{x0, x1};
    }

private:
    long double m_cx;
    long double m_cy;
    long double m_rx;
    long double m_ry;
};

// The pixels of `row` whose left, right, upper and lower neighbours are all inside.
std::optional<RowSpan> surroundedPart(const EllipseRows& rows, int64_t y)
{
    const std::optional<RowSpan> here = rows.row(y);
    const std::optional<RowSpan> above = rows.row(y - 1);
    const std::optional<RowSpan> below = rows.row(y + 1);
    if (!here || !above || !below)
        return std::nullopt;
    const int64_t x0 = std::max({here->x0 + 1, above->x0, below->x0});
    const int64_t x1 = std::min({here->x1 - 1, above->x1, below->x1});
    if (x1 <= x0)
        return std::nullopt;
    return RowSpan{x0, x1};
}

std::optional<RowSpan> interiorRow(const EllipseBox& box, int32_t penWidth, int64_t y)
{
    if (penWidth <= 0)
        return EllipseRows(box, 0).row(y);
    if (penWidth == 1)
        return surroundedPart(EllipseRows(box, 0), y);
    return EllipseRows(box, penWidth).row(y);
}

void emitClipped(SpanSink& out, const RasterBounds& bounds, int64_t y, int64_t x0, int64_t x1)
{
    x0 = std::max(x0, bounds.l);
    x1 = std::min(x1, bounds.r);
    if (x0 < x1)
        out.span(y, x0, x1);
}

} // namespace

void rasterizeEllipseInterior(const EllipseBox& box, int32_t penWidth, const RasterBounds& bounds, SpanSink& out)
{
    for (int64_t y = std::max(box.t, bounds.t); y < std::min(box.b, bounds.b); ++y)
        if (const std::optional<RowSpan> inner = interiorRow(box, penWidth, y))
            emitClipped(out, bounds, y, inner->x0, inner->x1);
}

void rasterizeEllipseOutline(const EllipseBox& box, int32_t penWidth, const RasterBounds& bounds, SpanSink& out)
{
    const EllipseRows filled(box, 0);
    for (int64_t y = std::max(box.t, bounds.t); y < std::min(box.b, bounds.b); ++y) {
        const std::optional<RowSpan> whole = filled.row(y);
        if (!whole)
            continue;
        const std::optional<RowSpan> inner = interiorRow(box, penWidth, y);
        if (!inner || inner->x0 >= whole->x1 || inner->x1 <= whole->x0) {
            emitClipped(out, bounds, y, whole->x0, whole->x1);
            continue;
        }
        emitClipped(out, bounds, y, whole->x0, inner->x0);
        emitClipped(out, bounds, y, inner->x1, whole->x1);
    }
}

} // namespace pf
