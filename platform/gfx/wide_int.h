#pragma once
// 128-bit helpers for rasterisers: products of two coordinate differences near 2^32 overflow 64 bits.
#include <cstdint>

namespace pf {

__extension__ typedef __int128 Int128;

inline Int128 floorDiv(Int128 a, Int128 b) // b != 0
{
    Int128 q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

inline Int128 ceilDiv(Int128 a, Int128 b) // b != 0
{
    Int128 q = a / b;
    if ((a % b != 0) && ((a < 0) == (b < 0)))
        ++q;
    return q;
}

inline int64_t clampToInt64(Int128 v)
{
    if (v > INT64_MAX)
        return INT64_MAX;
    if (v < INT64_MIN)
        return INT64_MIN;
    return static_cast<int64_t>(v);
}

} // namespace pf
