#pragma once
// The codec's width rule, part of the stream format on both sides: the integer part of ln(n)/ln(2) + 0.999999.
// It falls one short of the exact ceiling only for n just above a large power of two; streams rely on it as is.
#include <cmath>
#include <cstdint>

namespace px {

inline uint32_t BitWidth(uint64_t n)
{
    if (n == 0)
        return 0; // ln(0) has no width; no stream asks for it, a damaged one must not reach undefined behaviour
    return static_cast<uint32_t>(std::log(static_cast<double>(n)) / std::log(2.0) + 0.999999);
}

} // namespace px
