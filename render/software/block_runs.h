#pragma once
// Walking a row's dirty-block mask: bit k covers pixels k x 2^shift to (k + 1) x 2^shift - 1. Every masked row
// routine (clearing, halving, depth clearing, conversion) visits the same stretches this way.
#include <algorithm>
#include <bit>
#include <cstdint>

// Calls run(firstPixel, pixelCount) once per stretch of consecutive set blocks, within pixels [x, x + count) of
// the row. The mask is read from the block that holds x; the first block is shortened to start at x.
template <typename Run> void ForEachMaskedRun(uint32_t mask, uint32_t shift, int32_t x, int32_t count, Run&& run)
{
    if (count <= 0 || x < 0)
        return;
    const int64_t block = int64_t{1} << shift;
    const int64_t firstBlock = int64_t{x} >> shift;
    uint32_t bits = firstBlock < 32 ? mask >> firstBlock : 0;
    const int64_t end = int64_t{x} + count;
    int64_t position = x;
    int64_t blockLength = block - (x & (block - 1));
    while (bits != 0 && position < end) {
        if ((bits & 1) == 0) {
            const int zeros = std::countr_zero(bits);
            position += blockLength + (zeros - 1) * block;
            blockLength = block;
            bits >>= zeros;
            continue;
        }
        const int64_t start = position;
        while ((bits & 1) != 0 && position < end) {
            position += blockLength;
            blockLength = block;
            bits >>= 1;
        }
        run(static_cast<int32_t>(start), static_cast<int32_t>(std::min(position, end) - start));
    }
}
