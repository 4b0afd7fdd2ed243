#include "render/software/float_bits.h"

#include <algorithm>
#include <bit>
#include <limits>

namespace {

constexpr uint32_t kSmallestExponent = 119; // 2^-8
constexpr uint32_t kLargestExponent = 181;  // below 2^55: the truncated value fits 64 bits with room

uint32_t ExponentField(float value)
{
    return (std::bit_cast<uint32_t>(value) >> 23) & 0xFF;
}

bool IsNegative(float value)
{
    return (std::bit_cast<uint32_t>(value) >> 31) != 0;
}

} // namespace

int32_t FloatToIntSaturated(float value)
{
    const uint32_t exponent = ExponentField(value);
    if (exponent < kSmallestExponent)
        return 0;
    if (exponent > kLargestExponent)
        return IsNegative(value) ? std::numeric_limits<int32_t>::min() : std::numeric_limits<int32_t>::max();
    const int64_t whole = static_cast<int64_t>(value);
    return static_cast<int32_t>(
        std::clamp<int64_t>(whole, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

int32_t FloatToIntLowBits(float value)
{
    const uint32_t exponent = ExponentField(value);
    if (exponent < kSmallestExponent || exponent > kLargestExponent)
        return 0;
    const int64_t whole = static_cast<int64_t>(value);
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(whole)));
}
