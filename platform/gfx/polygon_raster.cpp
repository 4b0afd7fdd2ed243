#include "platform/gfx/polygon_raster.h"

#include "platform/base/gdi_constants.h"
#include "platform/gfx/wide_int.h"

#include <algorithm>
#include <vector>

namespace pf {

namespace {

struct Edge {
    Point64 top;    // smaller y
    Point64 bottom; // larger y; the row of `bottom` itself is not crossed
    int direction;  // +1 downwards in the caller's order, -1 upwards
};

struct Crossing {
    int64_t firstPixel; // ceil of the exact crossing
    int direction;
};

std::vector<Edge> edgesOf(std::span<const Point64> points)
{
    std::vector<Edge> edges;
    for (size_t i = 0; i < points.size(); ++i) {
        const Point64 a = points[i];
        const Point64 b = points[(i + 1) % points.size()];
        if (a.y == b.y)
            continue; // horizontal edges cross no row
        edges.push_back(a.y < b.y ? Edge{a, b, 1} : Edge{b, a, -1});
    }
    return edges;
}

int64_t firstPixelRightOf(const Edge& e, int64_t y)
{
    // x = top.x + (y - top.y) * (bottom.x - top.x) / (bottom.y - top.y), exactly, then rounded up.
    const Int128 offset = ceilDiv((Int128{y} - e.top.y) * (Int128{e.bottom.x} - e.top.x), Int128{e.bottom.y} - e.top.y);
    return clampToInt64(offset + e.top.x);
}

} // namespace

void rasterizePolygon(std::span<const Point64> points, int32_t fillMode, const RasterBounds& bounds, SpanSink& out)
{
    if (points.size() < 3 || bounds.isEmpty())
        return;
    const std::vector<Edge> edges = edgesOf(points);
    if (edges.empty())
        return;
    int64_t top = edges.front().top.y;
    int64_t bottom = edges.front().bottom.y;
    for (const Edge& e : edges) {
        top = std::min(top, e.top.y);
        bottom = std::max(bottom, e.bottom.y);
    }
    const int64_t firstRow = std::max(top, bounds.t);
    const int64_t endRow = std::min(bottom, bounds.b);

    std::vector<Crossing> crossings;
    for (int64_t y = firstRow; y < endRow; ++y) {
        crossings.clear();
        for (const Edge& e : edges)
            if (e.top.y <= y && y < e.bottom.y)
                crossings.push_back({firstPixelRightOf(e, y), e.direction});
        std::sort(crossings.begin(), crossings.end(),
                  [](const Crossing& a, const Crossing& b) { return a.firstPixel < b.firstPixel; });
        int winding = 0;
        for (size_t i = 0; i + 1 < crossings.size(); ++i) {
            winding += fillMode == WINDING ? crossings[i].direction : 1;
            const bool inside = fillMode == WINDING ? winding != 0 : (winding % 2) != 0;
            const int64_t x0 = std::max(crossings[i].firstPixel, bounds.l);
            const int64_t x1 = std::min(crossings[i + 1].firstPixel, bounds.r);
            if (inside && x0 < x1)
                out.span(y, x0, x1);
        }
    }
}

} // namespace pf
