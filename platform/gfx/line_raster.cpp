#include "platform/gfx/line_raster.h"

#include "platform/gfx/wide_int.h"

#include <algorithm>
#include <cmath>

namespace pf {

namespace {

bool patternShows(LinePattern pattern, int64_t step)
{
    switch (pattern) {
    case LinePattern::kDot:
        return (step / 3) % 2 == 0;
    case LinePattern::kDash:
        return step % 24 < 18;
    default:
        return true;
    }
}

// Joins horizontally adjacent pixels of one row into one span before handing them on.
class RunJoiner {
public:
    explicit RunJoiner(SpanSink& out) : m_out(out) {}
    ~RunJoiner() { flush(); }
    void pixel(int64_t x, int64_t y)
    {
        if (m_open && y == m_y && (x == m_x1 || x + 1 == m_x0)) {
            m_x0 = std::min(m_x0, x);
            m_x1 = std::max(m_x1, x + 1);
            return;
        }
        flush();
        m_open = true;
        m_y = y;
        m_x0 = x;
        m_x1 = x + 1;
    }

private:
    void flush()
    {
        if (m_open)
            m_out.span(m_y, m_x0, m_x1);
        m_open = false;
    }
    SpanSink& m_out;
    bool m_open = false;
    int64_t m_y = 0;
    int64_t m_x0 = 0;
    int64_t m_x1 = 0;
};

// Steps i in [lo, hi] (inclusive) for which start + sign * i lies in [boundLo, boundHi).
void stepsInside(int64_t start, int sign, int64_t boundLo, int64_t boundHi, Int128& lo, Int128& hi)
{
    if (sign > 0) {
        lo = std::max<Int128>(lo, Int128{boundLo} - start);
        hi = std::min<Int128>(hi, Int128{boundHi} - 1 - start);
    } else {
        lo = std::max<Int128>(lo, Int128{start} - (Int128{boundHi} - 1));
        hi = std::min<Int128>(hi, Int128{start} - boundLo);
    }
}

} // namespace

void rasterizeThinLine(Point64 from, Point64 to, LinePattern pattern, const RasterBounds& bounds, SpanSink& out)
{
    const Int128 dx = Int128{to.x} - from.x;
    const Int128 dy = Int128{to.y} - from.y;
    const Int128 adx = dx < 0 ? -dx : dx;
    const Int128 ady = dy < 0 ? -dy : dy;
    const Int128 n = std::max(adx, ady);
    if (n == 0 || bounds.isEmpty())
        return;
    const bool xMajor = adx >= ady;
    const int64_t major0 = xMajor ? from.x : from.y;
    const int64_t minor0 = xMajor ? from.y : from.x;
    const int majorSign = (xMajor ? dx : dy) < 0 ? -1 : 1;
    const int minorSign = (xMajor ? dy : dx) < 0 ? -1 : 1;
    const Int128 minorLength = xMajor ? ady : adx;

    Int128 lo = 0;
    Int128 hi = n - 1;
    stepsInside(major0, majorSign, xMajor ? bounds.l : bounds.t, xMajor ? bounds.r : bounds.b, lo, hi);

    // The minor offset off(i) = floor((2 i m + n - 1) / 2n) must land inside the bounds too; off never decreases.
    Int128 offLo = 0;
    Int128 offHi = minorLength;
    stepsInside(minor0, minorSign, xMajor ? bounds.t : bounds.l, xMajor ? bounds.b : bounds.r, offLo, offHi);
    if (offLo > offHi)
        return;
    if (minorLength == 0) {
        if (offLo > 0)
            return;
    } else {
        if (offLo > 0)
            lo = std::max(lo, ceilDiv(2 * n * offLo - n + 1, 2 * minorLength));
        hi = std::min(hi, floorDiv(2 * n * offHi + n, 2 * minorLength));
    }
    if (lo > hi)
        return;

    const Int128 twoN = 2 * n;
    const Int128 numerator = 2 * lo * minorLength + n - 1;
    Int128 offset = numerator / twoN;
    Int128 remainder = numerator % twoN;
    RunJoiner joiner(out);
    for (Int128 i = lo; i <= hi; ++i) {
        if (patternShows(pattern, static_cast<int64_t>(i))) {
            const int64_t major = static_cast<int64_t>(major0 + majorSign * i);
            const int64_t minor = static_cast<int64_t>(minor0 + minorSign * offset);
            if (xMajor)
                joiner.pixel(major, minor);
            else
                joiner.pixel(minor, major);
        }
        remainder += 2 * minorLength;
        if (remainder >= twoN) {
            remainder -= twoN;
            ++offset;
        }
    }
}

namespace {

// Integer u with lo <= a * u + c <= hi (a != 0), as an inclusive range.
void solveLinear(Int128 a, Int128 c, Int128 lo, Int128 hi, Int128& uLo, Int128& uHi)
{
    if (a > 0) {
        uLo = std::max(uLo, ceilDiv(lo - c, a));
        uHi = std::min(uHi, floorDiv(hi - c, a));
    } else {
        uLo = std::max(uLo, ceilDiv(hi - c, a));
        uHi = std::min(uHi, floorDiv(lo - c, a));
    }
}

} // namespace

void rasterizeWideLine(Point64 from, Point64 to, int32_t width, const RasterBounds& bounds, SpanSink& out)
{
    const Int128 dx = Int128{to.x} - from.x;
    const Int128 dy = Int128{to.y} - from.y;
    const Int128 lengthSquared = dx * dx + dy * dy;
    if (lengthSquared == 0 || bounds.isEmpty() || width < 1)
        return;
    const long double length = std::sqrt(static_cast<long double>(lengthSquared));
    const long double halfAcross = static_cast<long double>(width) / 2.0L * length; // half the width, times |d|
    const long double spread =
        static_cast<long double>(width) / 2.0L * std::fabs(static_cast<long double>(dx)) / length;
    const long double top = std::floor(static_cast<long double>(std::min(from.y, to.y)) - spread) - 1;
    const long double bottom = std::ceil(static_cast<long double>(std::max(from.y, to.y)) + spread) + 1;
    const int64_t firstRow = std::max<int64_t>(bounds.t, static_cast<int64_t>(std::max<long double>(top, -9.2e18L)));
    const int64_t lastRow =
        std::min<int64_t>(bounds.b - 1, static_cast<int64_t>(std::min<long double>(bottom, 9.2e18L)));

    for (int64_t y = firstRow; y <= lastRow; ++y) {
        const Int128 ry = Int128{y} - from.y;
        Int128 uLo = Int128{bounds.l} - from.x;
        Int128 uHi = Int128{bounds.r} - 1 - from.x;
        // Along the line: 0 <= u dx + ry dy <= |d|^2 - 1.
        const Int128 along = ry * dy;
        if (dx != 0)
            solveLinear(dx, along, 0, lengthSquared - 1, uLo, uHi);
        else if (along < 0 || along > lengthSquared - 1)
            continue;
        // Across: -h <= u dy - ry dx < h, with h = width / 2 * |d| (not an integer in general).
        const long double across = static_cast<long double>(ry * dx);
        if (dy > 0) {
            const long double d = static_cast<long double>(dy);
            uLo = std::max<Int128>(uLo, static_cast<Int128>(std::ceil((across - halfAcross) / d)));
            uHi = std::min<Int128>(uHi, static_cast<Int128>(std::ceil((across + halfAcross) / d)) - 1);
        } else if (dy < 0) {
            const long double d = static_cast<long double>(dy);
            uLo = std::max<Int128>(uLo, static_cast<Int128>(std::floor((across + halfAcross) / d)) + 1);
            uHi = std::min<Int128>(uHi, static_cast<Int128>(std::floor((across - halfAcross) / d)));
        } else if (-across < -halfAcross || -across >= halfAcross) {
            continue;
        }
        if (uLo <= uHi)
            out.span(y, static_cast<int64_t>(from.x + uLo), static_cast<int64_t>(from.x + uHi + 1));
    }
}

} // namespace pf
