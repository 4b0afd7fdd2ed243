#pragma once
// Points, sizes and half-open rectangles: a Rect covers [l, r) x [t, b), as on the platform the callers were
// written for, so a 10-wide rectangle at 0 has r == 10 and its last pixel column is 9.
#include <algorithm>
#include <cstdint>
#include <limits>

namespace pf {

struct Point {
    int32_t x = 0;
    int32_t y = 0;
    friend constexpr bool operator==(const Point&, const Point&) = default;
};

struct Size {
    int32_t cx = 0;
    int32_t cy = 0;
    friend constexpr bool operator==(const Size&, const Size&) = default;
};

// Saturates instead of wrapping: coordinates near the int32 limits stay ordered after an offset.
constexpr int32_t saturateToInt32(int64_t v)
{
    return static_cast<int32_t>(
        std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

struct Rect {
    int32_t l = 0;
    int32_t t = 0;
    int32_t r = 0; // excluded
    int32_t b = 0; // excluded

    static constexpr Rect fromXywh(int32_t x, int32_t y, int32_t w, int32_t h)
    {
        return {x, y, saturateToInt32(int64_t{x} + w), saturateToInt32(int64_t{y} + h)};
    }

    // 64-bit because r - l of two coordinates within +-2^31 does not fit in 32 bits.
    constexpr int64_t width() const { return int64_t{r} - l; }
    constexpr int64_t height() const { return int64_t{b} - t; }
    constexpr bool isEmpty() const { return r <= l || b <= t; }
    constexpr bool contains(Point p) const { return p.x >= l && p.x < r && p.y >= t && p.y < b; }
    constexpr bool containsRect(const Rect& o) const // an empty rectangle is contained everywhere
    {
        return o.isEmpty() || (o.l >= l && o.r <= r && o.t >= t && o.b <= b);
    }
    constexpr Point topLeft() const { return {l, t}; }

    constexpr Rect intersected(const Rect& o) const // empty results are returned as {0, 0, 0, 0}
    {
        const Rect out{std::max(l, o.l), std::max(t, o.t), std::min(r, o.r), std::min(b, o.b)};
        return out.isEmpty() ? Rect{} : out;
    }
    constexpr bool intersects(const Rect& o) const { return !intersected(o).isEmpty(); }
    constexpr Rect boundsWith(const Rect& o) const // the smallest rectangle holding both; empties ignored
    {
        if (isEmpty())
            return o.isEmpty() ? Rect{} : o;
        if (o.isEmpty())
            return *this;
        return {std::min(l, o.l), std::min(t, o.t), std::max(r, o.r), std::max(b, o.b)};
    }
    constexpr Rect offsetBy(int32_t dx, int32_t dy) const
    {
        return {saturateToInt32(int64_t{l} + dx), saturateToInt32(int64_t{t} + dy), saturateToInt32(int64_t{r} + dx),
                saturateToInt32(int64_t{b} + dy)};
    }
    constexpr Rect inflatedBy(int32_t dx, int32_t dy) const
    {
        return {saturateToInt32(int64_t{l} - dx), saturateToInt32(int64_t{t} - dy), saturateToInt32(int64_t{r} + dx),
                saturateToInt32(int64_t{b} + dy)};
    }
    constexpr Rect normalized() const // swaps reversed edges; the caller's half-open meaning is kept
    {
        return {std::min(l, r), std::min(t, b), std::max(l, r), std::max(t, b)};
    }

    friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

} // namespace pf
