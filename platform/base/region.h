#pragma once
// A set of pixels kept as y-banded disjoint rectangles: rows are cut into bands of equal horizontal spans, each band's
// rectangles are sorted by l, neither overlap nor touch, and vertically adjacent bands with identical spans are merged.
// The form is therefore unique, so two regions covering the same pixels compare equal.
#include "platform/base/rect.h"

#include <span>
#include <vector>

namespace pf {

class Region {
public:
    Region() = default;
    explicit Region(const Rect& rect);                    // an empty rectangle gives the empty region
    static Region fromRects(std::span<const Rect> rects); // the union; rectangles may overlap

    bool isEmpty() const { return m_rects.empty(); }
    Rect bounds() const; // {0, 0, 0, 0} when empty
    bool contains(Point p) const;
    bool intersects(const Rect& rect) const;
    const std::vector<Rect>& rects() const { return m_rects; } // banded order: by t, then by l
    int64_t area() const;                                      // pixel count

    Region& unite(const Region& other);
    Region& intersect(const Region& other);
    Region& subtract(const Region& other);
    Region& unite(const Rect& rect) { return unite(Region(rect)); }
    Region& intersect(const Rect& rect) { return intersect(Region(rect)); }
    Region& subtract(const Rect& rect) { return subtract(Region(rect)); }
    Region& offset(int32_t dx, int32_t dy); // saturates at the int32 limits; pixels pushed past merge

    friend bool operator==(const Region&, const Region&) = default;

private:
    enum class Op { kUnion, kIntersect, kSubtract };
    static std::vector<Rect> combine(const std::vector<Rect>& a, const std::vector<Rect>& b, Op op);

    std::vector<Rect> m_rects;
};

inline Region united(Region a, const Region& b)
{
    return a.unite(b);
}
inline Region intersected(Region a, const Region& b)
{
    return a.intersect(b);
}
inline Region subtracted(Region a, const Region& b)
{
    return a.subtract(b);
}

} // namespace pf
