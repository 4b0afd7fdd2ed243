#pragma once
// Quality settings and the linear quantisation of one wavelet band.
//
// A quality (0..99 on the lossy road) gives each band a limit, the largest quantised magnitude, and a threshold,
// a dead zone below which coefficients become zero. A band is scaled so that its extremes map to plus or minus
// its limit; the decoder needs only the band header (maximum, minimum, limit).
#include <array>
#include <cstdint>

#include "codecs/image/image_plane.h"

namespace cis {

constexpr int kMaxLevels = 5;
constexpr int kBandEntries = 31; // entries 3j + o of detail band j (0 = finest), 3L' for the low-pass band

struct PlaneSettings {
    std::array<uint16_t, kBandEntries> limits{};
    std::array<uint16_t, kBandEntries> thresholds{};
    uint16_t droppedLevels = 0; // finest levels the encoder leaves out
    uint16_t chromaShift = 0;   // 1: the plane has half the width and height, and one level less
};

struct EncoderSettings {
    int quality = 0;
    int levels = 0;
    std::array<PlaneSettings, 3> planes{}; // Y, I, Q
};

// Qualities outside 0..100 are clamped; 99 and 100 give limit 100 and no dead zone everywhere (100 itself takes
// the raw type before it gets here).
EncoderSettings SettingsFromQuality(int quality, int levels);

struct BandHeader {
    int16_t maximum = 0;
    int16_t minimum = 0;
    uint16_t limit = 0;
};

struct BandRegion {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Limit adjustment: the limit never exceeds the band's larger magnitude, and the side of the smaller magnitude is
// stretched to mirror the larger so that both sides share one scale where the limit allows it.
BandHeader AdjustBandLimit(int16_t maximum, int16_t minimum, uint16_t limit);

// Quantises the band in place to -limit..limit and returns its header.
BandHeader QuantiseBand(ImagePlane& plane, const BandRegion& band, uint16_t limit, uint16_t threshold);

// The decoder's scale for one band; a band of limit 0 decodes to zeros.
class BandDequantiser {
public:
    explicit BandDequantiser(const BandHeader& header);
    int16_t Value(int32_t q) const;

private:
    bool m_isZero;
    float m_stepPositive;
    float m_stepNegative;
};

} // namespace cis
