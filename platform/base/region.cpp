#include "platform/base/region.h"

#include <algorithm>

namespace pf {

namespace {

struct Span {
    int32_t l;
    int32_t r;
    friend bool operator==(const Span&, const Span&) = default;
};

// Rows [t, b) of one band share their spans.
struct Band {
    int32_t t;
    int32_t b;
    std::vector<Span> spans;
};

std::vector<Band> bandsOf(const std::vector<Rect>& rects)
{
    std::vector<Band> bands;
    for (const Rect& rect : rects) {
        if (bands.empty() || bands.back().t != rect.t)
            bands.push_back({rect.t, rect.b, {}});
        bands.back().spans.push_back({rect.l, rect.r});
    }
    return bands;
}

// The spans of the band covering row y, advancing a cursor that only moves down as y grows.
const std::vector<Span>* spansAt(const std::vector<Band>& bands, size_t& cursor, int32_t y)
{
    while (cursor < bands.size() && bands[cursor].b <= y)
        ++cursor;
    if (cursor < bands.size() && bands[cursor].t <= y)
        return &bands[cursor].spans;
    return nullptr;
}

template <class Keep> std::vector<Span> combineSpans(const std::vector<Span>* a, const std::vector<Span>* b, Keep keep)
{
    // Edges of both lists in x order; between consecutive edges each side is either inside or outside.
    std::vector<int32_t> xs;
    for (const std::vector<Span>* list : {a, b}) {
        if (list == nullptr)
            continue;
        for (const Span& s : *list) {
            xs.push_back(s.l);
            xs.push_back(s.r);
        }
    }
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());

    auto inside = [](const std::vector<Span>* list, size_t& cursor, int32_t x) {
        if (list == nullptr)
            return false;
        while (cursor < list->size() && (*list)[cursor].r <= x)
            ++cursor;
        return cursor < list->size() && (*list)[cursor].l <= x;
    };
    std::vector<Span> out;
    size_t cursorA = 0;
    size_t cursorB = 0;
    for (size_t i = 0; i + 1 < xs.size(); ++i) {
        const int32_t x0 = xs[i];
        const int32_t x1 = xs[i + 1];
        const bool inA = inside(a, cursorA, x0);
        const bool inB = inside(b, cursorB, x0);
        if (!keep(inA, inB))
            continue;
        if (!out.empty() && out.back().r == x0)
            out.back().r = x1;
        else
            out.push_back({x0, x1});
    }
    return out;
}

} // namespace

Region::Region(const Rect& rect)
{
    if (!rect.isEmpty())
        m_rects.push_back(rect);
}

Region Region::fromRects(std::span<const Rect> rects)
{
    Region out;
    for (const Rect& rect : rects)
        out.unite(rect);
    return out;
}

Rect Region::bounds() const
{
    Rect out;
    for (const Rect& rect : m_rects)
        out = out.boundsWith(rect);
    return out;
}

bool Region::contains(Point p) const
{
    for (const Rect& rect : m_rects) {
        if (rect.t > p.y)
            break; // bands are sorted by t: nothing further down can hold the row
        if (rect.contains(p))
            return true;
    }
    return false;
}

bool Region::intersects(const Rect& rect) const
{
    return std::any_of(m_rects.begin(), m_rects.end(), [&](const Rect& r) { return r.intersects(rect); });
}

int64_t Region::area() const
{
    int64_t total = 0;
    for (const Rect& rect : m_rects)
        total += rect.width() * rect.height();
    return total;
}

Region& Region::unite(const Region& other)
{
    if (other.isEmpty())
        return *this;
    if (isEmpty()) {
        m_rects = other.m_rects;
        return *this;
    }
    // A window invalidated again and again while a list fills: nothing to combine.
    if (m_rects.size() == 1 && other.m_rects.size() == 1 && m_rects[0].containsRect(other.m_rects[0]))
        return *this;
    m_rects = combine(m_rects, other.m_rects, Op::kUnion);
    return *this;
}

Region& Region::intersect(const Region& other)
{
    if (isEmpty() || other.isEmpty()) {
        m_rects.clear();
        return *this;
    }
    if (m_rects.size() == 1 && other.m_rects.size() == 1) { // two rectangles meet in one or none
        const Rect meet = m_rects[0].intersected(other.m_rects[0]);
        if (meet.isEmpty())
            m_rects.clear();
        else
            m_rects[0] = meet;
        return *this;
    }
    m_rects = combine(m_rects, other.m_rects, Op::kIntersect);
    return *this;
}

Region& Region::subtract(const Region& other)
{
    if (!isEmpty() && !other.isEmpty())
        m_rects = combine(m_rects, other.m_rects, Op::kSubtract);
    return *this;
}

Region& Region::offset(int32_t dx, int32_t dy)
{
    bool clamped = false;
    for (Rect& rect : m_rects) {
        const Rect moved = rect.offsetBy(dx, dy);
        clamped = clamped || moved.width() != rect.width() || moved.height() != rect.height();
        rect = moved;
    }
    if (clamped) {
        // Saturated edges may have squeezed rectangles flat or made bands meet: rebuild the canonical form.
        std::vector<Rect> rects;
        std::swap(rects, m_rects);
        for (const Rect& rect : rects)
            unite(rect);
    }
    return *this;
}

std::vector<Rect> Region::combine(const std::vector<Rect>& a, const std::vector<Rect>& b, Op op)
{
    const std::vector<Band> bandsA = bandsOf(a);
    const std::vector<Band> bandsB = bandsOf(b);
    std::vector<int32_t> ys;
    for (const std::vector<Band>* bands : {&bandsA, &bandsB}) {
        for (const Band& band : *bands) {
            ys.push_back(band.t);
            ys.push_back(band.b);
        }
    }
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());

    auto keep = [op](bool inA, bool inB) {
        switch (op) {
        case Op::kUnion:
            return inA || inB;
        case Op::kIntersect:
            return inA && inB;
        case Op::kSubtract:
            return inA && !inB;
        }
        return false;
    };
    std::vector<Band> out;
    size_t cursorA = 0;
    size_t cursorB = 0;
    for (size_t i = 0; i + 1 < ys.size(); ++i) {
        const int32_t y0 = ys[i];
        const int32_t y1 = ys[i + 1];
        std::vector<Span> spans = combineSpans(spansAt(bandsA, cursorA, y0), spansAt(bandsB, cursorB, y0), keep);
        if (spans.empty())
            continue;
        if (!out.empty() && out.back().b == y0 && out.back().spans == spans)
            out.back().b = y1; // same spans as the band above: one band
        else
            out.push_back({y0, y1, std::move(spans)});
    }
    std::vector<Rect> rects;
    for (const Band& band : out)
        for (const Span& span : band.spans)
            rects.push_back({span.l, band.t, span.r, band.b});
    return rects;
}

} // namespace pf
