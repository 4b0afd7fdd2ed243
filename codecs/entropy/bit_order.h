#pragma once
// The coded streams store the first coded bit in bit 0 of a byte; the coder works most significant bit first, so
// bytes are mirrored on their way out and in.
#include <array>
#include <cstdint>

namespace arith_bits {

inline constexpr std::array<uint8_t, 256> kMirrored = [] {
    std::array<uint8_t, 256> table{};
    for (uint32_t b = 0; b < 256; ++b) {
        uint32_t m = 0;
        for (uint32_t bit = 0; bit < 8; ++bit)
            m |= ((b >> bit) & 1u) << (7 - bit);
        table[b] = static_cast<uint8_t>(m);
    }
    return table;
}();

// count <= 31
inline uint32_t LowBits(uint32_t count)
{
    return (1u << count) - 1;
}

} // namespace arith_bits
