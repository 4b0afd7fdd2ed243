#pragma once
// Quantisation on a bounding box: f = (c - min) / extent as a single float, q = round(S * f); back,
// c = q / S * extent + min in single precision. Rounding is half away from zero throughout the codec.
#include <cmath>
#include <cstdint>

namespace px {

constexpr uint32_t kPositionScaleKnee = 10; // t of S(b, t) for positions
constexpr uint32_t kTexCoordScaleKnee = 8;  // t of S(b, t) for texture coordinates

// S(b, t) = 2^b - 1 below the knee, else 2^b - 2^(b - t): 12-bit positions use 4092. 64-bit so that no width
// read from a stream can overflow it.
inline uint64_t QuantisationScale(uint32_t bits, uint32_t knee)
{
    const uint64_t full = uint64_t{1} << bits;
    return bits < knee ? full - 1 : full - (uint64_t{1} << (bits - knee));
}

// Half away from zero. NaN gives 0 and values beyond the 64-bit range are held at its ends, so no input can
// reach an undefined conversion.
inline int64_t RoundHalfAway(double x)
{
    constexpr double kLimit = 9.0e18;
    if (!(x == x))
        return 0;
    const double rounded = x >= 0 ? x + 0.5 : x - 0.5;
    return static_cast<int64_t>(rounded > kLimit ? kLimit : (rounded < -kLimit ? -kLimit : rounded));
}

// An extent of 0 (all values coincide) quantises everything to 0 instead of dividing by it.
inline int32_t Quantise(float value, float minimum, float extent, uint64_t scale)
{
    if (!(extent > 0.0f))
        return 0;
    const float f = (value - minimum) / extent;
    const int64_t q = RoundHalfAway(static_cast<double>(scale) * static_cast<double>(f));
    return static_cast<int32_t>(q < 0 ? 0 : (q > static_cast<int64_t>(scale) ? static_cast<int64_t>(scale) : q));
}

inline float Dequantise(int64_t q, float minimum, float extent, uint64_t scale)
{
    return static_cast<float>(q) / static_cast<float>(scale) * extent + minimum;
}

} // namespace px
