#pragma once
// Rasterisers describe shapes as horizontal runs of pixels; a sink receives them. Coordinates are 64-bit because
// logical coordinates near +-2^31 plus an origin no longer fit in 32 bits.
#include <cstdint>

namespace pf {

struct Point64 {
    int64_t x = 0;
    int64_t y = 0;
    friend bool operator==(const Point64&, const Point64&) = default;
};

class SpanSink {
public:
    virtual ~SpanSink() = default;
    virtual void span(int64_t y, int64_t x0, int64_t x1) = 0; // pixels [x0, x1) of row y; x1 > x0
};

// The rectangle rasterisers may emit into, half-open; work outside it is skipped, never stepped through.
struct RasterBounds {
    int64_t l = 0;
    int64_t t = 0;
    int64_t r = 0;
    int64_t b = 0;
    bool isEmpty() const { return r <= l || b <= t; }
};

} // namespace pf
