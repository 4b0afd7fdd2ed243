#include "render/software/colour_table.h"

namespace {

uint32_t Channel(uint32_t colour, int shift)
{
    return (colour >> shift) & 0xFF;
}

} // namespace

uint32_t BlendStereoTable(uint32_t key)
{
    const uint32_t i = (key >> 4) & 0xF, fi = key & 0xF;
    const uint32_t j = (key >> 20) & 0xF, fj = (key >> 16) & 0xF;
    const uint32_t k = (key >> 12) & 0xF, fk = (key >> 8) & 0xF;
    const uint32_t wi[2] = {16 - fi, fi};
    const uint32_t wj[2] = {16 - fj, fj};
    const uint32_t wk[2] = {16 - fk, fk};
    uint32_t sums[3] = {0, 0, 0}; // red, green, blue
    for (uint32_t di = 0; di < 2; ++di) {
        for (uint32_t dj = 0; dj < 2; ++dj) {
            for (uint32_t dk = 0; dk < 2; ++dk) {
                const uint32_t weight = wi[di] * wj[dj] * wk[dk];
                const uint32_t entry =
                    kStereoColourTable[((i + di) * kStereoTableSide + (j + dj)) * kStereoTableSide + (k + dk)];
                sums[0] += weight * Channel(entry, 16);
                sums[1] += weight * Channel(entry, 8);
                sums[2] += weight * Channel(entry, 0);
            }
        }
    }
    return ((sums[0] >> 12) << 16) | ((sums[1] >> 12) << 8) | (sums[2] >> 12);
}

uint32_t MixStereoPixel(uint32_t first, uint32_t second)
{
    const uint32_t brightness = ((Channel(second, 16) + Channel(second, 8)) * 38 + Channel(second, 0) * 180) >> 8;
    return BlendStereoTable(brightness | (first & 0xFFFF00));
}
