#pragma once
// Lines. A line's pixel set depends only on its end points and pen, never on clipping: the bounds only choose which
// of its pixels are emitted, found by solving for the first and last step inside them. So a line drawn twice under
// an exclusive-or mix restores every pixel, and a line across +-2^30 costs no more than its visible part.
#include "platform/gfx/span_sink.h"

namespace pf {

enum class LinePattern { kSolid, kDot, kDash };

// The 1-pixel line from `from` towards `to`, `to` excluded: max(|dx|, |dy|) pixels, one per step of the major axis.
// The minor coordinate at step i is i * minor / major rounded to nearest, halves towards `from`. Dot is 3 on,
// 3 off and Dash 18 on, 6 off, counted in steps from `from`.
void rasterizeThinLine(Point64 from, Point64 to, LinePattern pattern, const RasterBounds& bounds, SpanSink& out);

// A band `width` pixels across centred on the line from `from` to `to`, square at both ends, `to`'s end excluded:
// the pixels p with 0 <= (p - from) . d < |d|^2 and -width/2 <= (p - from) x d / |d| < width/2.
void rasterizeWideLine(Point64 from, Point64 to, int32_t width, const RasterBounds& bounds, SpanSink& out);

} // namespace pf
