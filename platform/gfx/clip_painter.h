#pragma once
// The one place pixels are written for pens, brushes and patterns: spans are cut to the clip region's rectangles,
// which lie inside the surface, and each remaining pixel becomes (pixel & and) ^ xor.
#include "platform/base/region.h"
#include "platform/gfx/raster_op.h"
#include "platform/gfx/span_sink.h"
#include "platform/gfx/surface32.h"

#include <algorithm>

namespace pf {

class ClipPainter : public SpanSink {
public:
    ClipPainter(Surface32& surface, const Region& clip, const PixelOp& op) : m_surface(surface), m_clip(clip), m_op(op)
    {
    }

    void span(int64_t y, int64_t x0, int64_t x1) override
    {
        for (const Rect& rect : m_clip.rects()) {
            if (rect.t > y)
                break;
            if (y >= rect.b)
                continue;
            const int64_t from = std::max<int64_t>(x0, rect.l);
            const int64_t to = std::min<int64_t>(x1, rect.r);
            uint32_t* const row = m_surface.row(static_cast<int32_t>(y));
            for (int64_t x = from; x < to; ++x)
                row[x] = m_op.apply(row[x]);
        }
    }

private:
    Surface32& m_surface;
    const Region& m_clip; // surface coordinates, inside the surface
    PixelOp m_op;
};

inline RasterBounds rasterBoundsOf(const Rect& r)
{
    return {r.l, r.t, r.r, r.b};
}

} // namespace pf
