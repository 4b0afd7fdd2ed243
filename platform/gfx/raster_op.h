#pragma once
// Raster operations reduced to one form. With the pen or pattern fixed, each result bit is 0, 1, the destination
// bit or its inverse, so every mix mode and every pattern-only raster operation is  dest = (dest & andMask) ^ xorMask.
// Operations that read a source pixel keep their eight-entry truth table.
#include "platform/base/gdi_constants.h"

#include <cstdint>

namespace pf {

struct PixelOp {
    uint32_t andMask = 0;
    uint32_t xorMask = 0;
    uint32_t apply(uint32_t dest) const { return (dest & andMask) ^ xorMask; }
};

namespace rop_detail {
constexpr uint32_t allIf(bool bit)
{
    return bit ? 0xFFFFFFFFu : 0u;
}
constexpr bool bitOf(uint32_t table, int index)
{
    return ((table >> index) & 1u) != 0;
}
} // namespace rop_detail

// Mix mode c (1..16) with pen pixel p: the result is truth table c - 1, indexed by (pen bit << 1) | dest bit.
// Byte 3 of the result is 0, as pen and brush drawing leave it.
constexpr PixelOp pixelOpForRop2(int32_t rop2, uint32_t pen)
{
    using namespace rop_detail;
    const uint32_t table = static_cast<uint32_t>(rop2 - 1) & 0xFu;
    const uint32_t andMask =
        (pen & allIf(bitOf(table, 2) != bitOf(table, 3))) | (~pen & allIf(bitOf(table, 0) != bitOf(table, 1)));
    const uint32_t xorMask = (pen & allIf(bitOf(table, 2))) | (~pen & allIf(bitOf(table, 0)));
    return {andMask & 0x00FFFFFFu, xorMask & 0x00FFFFFFu};
}

constexpr uint8_t rop3Table(uint32_t rop)
{
    return static_cast<uint8_t>(rop >> 16);
}
constexpr bool rop3UsesSource(uint32_t rop)
{
    const uint8_t t = rop3Table(rop);
    return ((t >> 2) & 0x33u) != (t & 0x33u); // the table differs somewhere between source 1 and source 0
}

// A raster operation evaluated per bit over pattern, source and destination, all four bytes.
constexpr uint32_t applyRop3(uint8_t table, uint32_t pattern, uint32_t source, uint32_t dest)
{
    uint32_t out = 0;
    for (int index = 0; index < 8; ++index) {
        if (((table >> index) & 1u) == 0)
            continue;
        const uint32_t p = (index & 4) != 0 ? pattern : ~pattern;
        const uint32_t s = (index & 2) != 0 ? source : ~source;
        const uint32_t d = (index & 1) != 0 ? dest : ~dest;
        out |= p & s & d;
    }
    return out;
}

// The same with the source fixed (0 for operations that read none): again of the and/xor form.
constexpr PixelOp pixelOpForRop3(uint32_t rop, uint32_t pattern, uint32_t source = 0)
{
    const uint8_t table = rop3Table(rop);
    const uint32_t whenZero = applyRop3(table, pattern, source, 0u);
    const uint32_t whenOne = applyRop3(table, pattern, source, 0xFFFFFFFFu);
    return {whenZero ^ whenOne, whenZero};
}

} // namespace pf
