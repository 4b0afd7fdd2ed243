#pragma once
// Ellipses inscribed in a half-open box [l, r) x [t, b): pixel (x, y) is inside when its centre (x + 0.5, y + 0.5)
// lies in the ellipse through the box's edges. The outline is the inside pixels not surrounded on all four sides
// by inside pixels (1-pixel pens) or the ring between the ellipse and one shrunk by the pen width; outline and
// interior never share a pixel.
#include "platform/gfx/span_sink.h"

namespace pf {

struct EllipseBox {
    int64_t l = 0;
    int64_t t = 0;
    int64_t r = 0;
    int64_t b = 0;
};

// penWidth 0: the whole ellipse (no outline will be drawn).
void rasterizeEllipseInterior(const EllipseBox& box, int32_t penWidth, const RasterBounds& bounds, SpanSink& out);
void rasterizeEllipseOutline(const EllipseBox& box, int32_t penWidth, const RasterBounds& bounds, SpanSink& out);

} // namespace pf
