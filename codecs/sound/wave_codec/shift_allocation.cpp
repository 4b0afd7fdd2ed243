#include "codecs/sound/wave_codec/shift_allocation.h"

#include <algorithm>
#include <cmath>

namespace sound {
namespace {

constexpr double kNeighbourWeight = 0.3;
constexpr double kLargestQuantised = 32767.0;

// A coefficient index takes a share of how loud its neighbours at distance 1, 2 and 3 are, from indices 8, 16
// and 24 on: masking spreads upward in frequency.
double NeighbourTerm(const std::vector<double>& level, uint32_t k, uint32_t n)
{
    double term = 0.0;
    constexpr uint32_t kFirstIndex[] = {8, 16, 24};
    for (uint32_t distance = 1; distance <= 3; ++distance) {
        if (k < kFirstIndex[distance - 1])
            break;
        term += kNeighbourWeight * std::max(level[k - distance] - 9.0, 0.0);
        if (k < n - distance)
            term += kNeighbourWeight * std::max(level[k + distance] - 9.0, 0.0);
    }
    return term;
}

double ApplyQuality(double t, double level, uint32_t k, uint32_t quality)
{
    if (quality >= 40)
        return (100.0 - quality) * t / 60.0;
    if (k < 4)
        return t;
    return (level + 1.0 - t) * (40.0 - quality) * 0.025 + t;
}

int FinalShift(double t, double peak)
{
    int shift = std::max(0, static_cast<int>(std::lround(t)));
    while (shift < kLargestAllocatedShift && std::round(peak / std::ldexp(1.0, shift)) > kLargestQuantised)
        ++shift;
    return std::min(shift, kLargestAllocatedShift);
}

} // namespace

std::vector<int> AllocateShifts(std::span<const float> coefficients, uint32_t subBlocks, uint32_t n, uint32_t quality)
{
    std::vector<double> sum(n, 0.0);
    std::vector<double> peak(n, 0.0);
    for (uint32_t b = 0; b < subBlocks; ++b) {
        for (uint32_t k = 0; k < n; ++k) {
            const double magnitude = std::fabs(coefficients[static_cast<size_t>(b) * n + k]);
            sum[k] += magnitude;
            peak[k] = std::max(peak[k], magnitude);
        }
    }
    std::vector<double> level(n);
    double weighted = 0.0;
    for (uint32_t k = 0; k < n; ++k) {
        level[k] = std::log2(sum[k] / subBlocks + 1.0) + 1.0;
        weighted += 2.0 * (n - k) * level[k] / (static_cast<double>(n) * n);
    }
    const double loudness = std::max(weighted - 6.0, 0.0);
    const double exponent = 0.01 * quality + 0.2;

    std::vector<int> shifts(n);
    for (uint32_t k = 0; k < n; ++k) {
        double t = std::max(level[k] - 8.0, 0.0) + NeighbourTerm(level, k, n) + loudness;
        if (k >= 1)
            t += 5.0 * std::pow(static_cast<double>(k) / n, exponent);
        t = std::min(t, level[k] + 1.0);
        t = ApplyQuality(t, level[k], k, quality);
        shifts[k] = FinalShift(t, peak[k]);
    }
    return shifts;
}

} // namespace sound
