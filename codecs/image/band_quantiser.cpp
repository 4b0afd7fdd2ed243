#include "codecs/image/band_quantiser.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "codecs/image/quality_tables.h"

namespace cis {
namespace {

uint16_t Interpolate(uint16_t from, uint16_t to, int fraction)
{
    // The difference may be negative; the product is truncated toward zero.
    return static_cast<uint16_t>(from + (static_cast<int>(to) - static_cast<int>(from)) * fraction / 10);
}

} // namespace

EncoderSettings SettingsFromQuality(int quality, int levels)
{
    EncoderSettings settings;
    settings.quality = std::clamp(quality, 0, 100);
    settings.levels = levels;
    const int entries = std::min(3 * levels + 3, kTableEntries);
    const int row = settings.quality / 10;
    const int fraction = settings.quality % 10;
    for (int plane = 0; plane < 3; ++plane) {
        PlaneSettings& out = settings.planes[static_cast<size_t>(plane)];
        const auto& limits = kLimitTable[static_cast<size_t>(plane)];
        const auto& thresholds = kThresholdTable[static_cast<size_t>(plane)];
        for (int e = 0; e < entries; ++e) {
            const size_t entry = static_cast<size_t>(e);
            if (settings.quality >= 99) {
                out.limits[entry] = limits[kLimitRows - 1][entry];
                out.thresholds[entry] = thresholds[kThresholdRows - 1][entry];
            } else {
                const size_t r = static_cast<size_t>(row);
                out.limits[entry] = Interpolate(limits[r][entry], limits[r + 1][entry], fraction);
                out.thresholds[entry] = Interpolate(thresholds[r][entry], thresholds[r + 1][entry], fraction);
            }
        }
    }
    return settings;
}

BandHeader AdjustBandLimit(int16_t maximum, int16_t minimum, uint16_t limit)
{
    BandHeader header{maximum, minimum, limit};
    const int a = std::abs(static_cast<int>(maximum));
    const int b = std::abs(static_cast<int>(minimum));
    const bool aboveA = limit > a;
    const bool aboveB = limit > b;
    if (aboveA && aboveB) {
        if (a < b) {
            header.maximum = static_cast<int16_t>(-minimum);
            header.limit = static_cast<uint16_t>(b);
        } else {
            header.minimum = static_cast<int16_t>(-maximum);
            header.limit = static_cast<uint16_t>(a);
        }
    } else if (aboveA || aboveB) {
        if (a >= b)
            header.minimum = static_cast<int16_t>(-maximum);
        else
            header.maximum = static_cast<int16_t>(-minimum);
    }
    return header;
}

BandHeader QuantiseBand(ImagePlane& plane, const BandRegion& band, uint16_t limit, uint16_t threshold)
{
    int maximum = -30000;
    int minimum = 30000;
    for (int y = band.y; y < band.y + band.height; ++y) {
        const int16_t* row = plane.Row(y);
        for (int x = band.x; x < band.x + band.width; ++x) {
            maximum = std::max(maximum, static_cast<int>(row[x]));
            minimum = std::min(minimum, static_cast<int>(row[x]));
        }
    }
    const BandHeader header = AdjustBandLimit(static_cast<int16_t>(maximum), static_cast<int16_t>(minimum), limit);
    const float scalePositive = header.maximum != 0 ? static_cast<float>(header.limit) / header.maximum : 0.0f;
    const float scaleNegative = header.minimum != 0 ? -static_cast<float>(header.limit) / header.minimum : 0.0f;
    for (int y = band.y; y < band.y + band.height; ++y) {
        int16_t* row = plane.Row(y);
        for (int x = band.x; x < band.x + band.width; ++x) {
            const int v = row[x];
            double q = 0.0;
            if (std::abs(v) < threshold || v == 0)
                q = 0.0;
            else if (v > 0)
                q = std::trunc(v * static_cast<double>(scalePositive) + 0.5);
            else
                q = std::trunc(v * static_cast<double>(scaleNegative) - 0.5);
            row[x] = static_cast<int16_t>(q);
        }
    }
    return header;
}

BandDequantiser::BandDequantiser(const BandHeader& header)
    : m_isZero(header.limit == 0),
      m_stepPositive(header.limit == 0 ? 0.0f : static_cast<float>(header.maximum) / header.limit),
      m_stepNegative(header.limit == 0 ? 0.0f : static_cast<float>(header.minimum) / -static_cast<float>(header.limit))
{
}

int16_t BandDequantiser::Value(int32_t q) const
{
    if (m_isZero || q == 0)
        return 0;
    const float step = q > 0 ? m_stepPositive : m_stepNegative;
    return static_cast<int16_t>(static_cast<int32_t>(static_cast<float>(q) * step));
}

} // namespace cis
