#pragma once
// Filled polygons. Pixel (x, y) is inside when its point (x, y) is, by the even-odd (ALTERNATE) or non-zero
// (WINDING) rule; edges count for rows y0 <= y < y1 and a crossing at x covers pixels from ceil(x) on. So a polygon
// with corners (0, 0) and (10, 10) fills exactly [0, 10) x [0, 10), like a half-open rectangle.
#include "platform/gfx/span_sink.h"

#include <span>

namespace pf {

void rasterizePolygon(std::span<const Point64> points, int32_t fillMode, const RasterBounds& bounds, SpanSink& out);

} // namespace pf
